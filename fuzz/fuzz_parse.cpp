// Parse of a whole package held in memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "package/Update.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CSPBuffer bytes;
  bytes.Set(data, static_cast<uint32_t>(size));
  Update engine;
  engine.SetPackageData(bytes);
  if (engine.Parse()) {
    // A parsed package holds every component it announced.
    if (engine.GetComponentCount() != engine.componentCount || !engine.IsParsed()) std::abort();
  } else if (engine.IsParsed()) {
    std::abort();
  }
  return 0;
}
