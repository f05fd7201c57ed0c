// The metabase file reader (IIS 6's MetaBase.xml and the older <Metabase>
// form). Whatever it accepts is written again, and what it writes must read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/machine.h"
#include "platform/metabase/MetabaseXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<metabase::Key> root;
  try {
    root = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  } catch (const machine::MachineError&) {
    return 0;
  }
  if (root == nullptr) std::abort();
  const std::string written = metabase::SerializeMetabaseXml(*root);
  try {
    metabase::ParseMetabaseXml(written, "MetaBase.xml");
  } catch (const machine::MachineError&) {
    std::abort();
  }
  return 0;
}
