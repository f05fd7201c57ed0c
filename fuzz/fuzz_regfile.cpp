// A registry export file as the image's hive loader and `reg import` read
// it (UTF-16LE with its mark, UTF-8, REGEDIT4). What loads must be written
// back, both as the image keeps a hive and as an export for Windows, and
// read again to the same tree: a rewrite never changes a name or a byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/machine.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/Utf.h"

namespace {

using machine::registry::Hive;
using machine::registry::RegNode;

bool SameTree(const RegNode& a, const RegNode& b) {
  if (a.Name() != b.Name() || a.Values().size() != b.Values().size() ||
      a.ChildCount() != b.ChildCount()) {
    return false;
  }
  for (size_t i = 0; i < a.Values().size(); ++i) {
    const auto& x = a.Values()[i];
    const auto& y = b.Values()[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  auto left = a.Children();
  auto right = b.Children();
  for (size_t i = 0; i < left.size(); ++i) {
    if (!SameTree(*left[i], *right[i])) return false;
  }
  return true;
}

// The export of the whole hive as `reg export HKLM` writes it for Windows.
std::string ExportText(const RegNode& root) {
  std::u16string text(machine::registry::kRegFileHeader);
  text += u"\r\n\r\n";
  machine::registry::AppendKeyText(root, root.Name(), u"\r\n", text);
  return machine::registry::EncodeUtf16File(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::shared_ptr<RegNode> loaded;
  try {
    loaded = machine::registry::ReadHive(Hive::LocalMachine, bytes, "HKLM.reg");
  } catch (const machine::MachineError&) {
    return 0;
  }
  // The hive file is UTF-8 text; a unit that cannot be UTF-8 must have been escaped.
  std::string hive;
  if (!machine::text::EncodeUtf8(machine::registry::HiveFileText(*loaded, Hive::LocalMachine),
                                 hive)) {
    std::abort();
  }
  for (const std::string& rewritten : {hive, ExportText(*loaded)}) {
    std::shared_ptr<RegNode> again;
    try {
      again = machine::registry::ReadHive(Hive::LocalMachine, rewritten, "rewritten.reg");
    } catch (const machine::MachineError&) {
      std::abort();
    }
    if (!SameTree(*loaded, *again)) std::abort();
  }
  return 0;
}
