// security.sddl of an image: every line read must be written back and read
// again to the same text, and what an object shows (inheritance down from
// its parents) must be worked out for every object of the file. The same
// text is also read as security.sddl.log, the journal of later changes, over
// a small tree of access lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/security/Sddl.h"
#include "platform/security/SecurityStore.h"
#include "platform/text.h"

namespace {

// The objects a file names, taken from its own lines.
void ShowEveryObject(const winsec::SecurityStore& store, std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    size_t first = line.find(' ');
    size_t last = line.rfind(' ');
    if (first == std::string_view::npos || last <= first) continue;
    auto kind = line.substr(0, first) == "file" ? winsec::ObjectKind::File
                                                : winsec::ObjectKind::RegistryKey;
    std::u16string name = machine::FromUtf8(line.substr(first + 1, last - first - 1));
    store.Effective(kind, name, true);
    store.Effective(kind, name, false);
  }
}

// Journal lines replace or remove objects of what the file held; what is
// left must be written and read back as any file.
void CheckJournal(std::string_view text) {
  winsec::SecurityStore store = winsec::SecurityStore::Parse(
      "file C:\\a D:P(A;OICI;FA;;;BA)\nfile C:\\a\\b D:(A;;FR;;;BU)\n"
      "file C:\\ab D:P\nkey MACHINE\\SOFTWARE\\a D:P(A;CI;KA;;;BA)\n",
      "security.sddl");
  try {
    store.ApplyJournal(text, "security.sddl.log");
  } catch (const machine::MachineError&) {
    return;
  }
  const std::string written = store.Serialize();
  try {
    if (winsec::SecurityStore::Parse(written, "rewritten").Serialize() != written) std::abort();
  } catch (const machine::MachineError&) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // One descriptor on its own, as the conversion functions read it.
  winsec::SecurityRecord record;
  std::string error;
  if (winsec::ParseSddl(text, record, error)) {
    for (auto style :
         {winsec::RightsStyle::File, winsec::RightsStyle::Key, winsec::RightsStyle::Any}) {
      std::string written = winsec::FormatSddl(record, style);
      winsec::SecurityRecord again;
      if (!winsec::ParseSddl(written, again, error) ||
          winsec::FormatSddl(again, style) != written) {
        std::abort();
      }
    }
  }
  CheckJournal(text);
  winsec::SecurityStore store;
  try {
    store = winsec::SecurityStore::Parse(text, "security.sddl");
  } catch (const machine::MachineError&) {
    return 0;
  }
  std::string written = store.Serialize();
  try {
    if (winsec::SecurityStore::Parse(written, "rewritten").Serialize() != written) std::abort();
  } catch (const machine::MachineError&) {
    std::abort();
  }
  ShowEveryObject(store, written);
  return 0;
}
