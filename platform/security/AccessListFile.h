// security.sddl of an image as this process holds it, kept up to date
// through the file's journal, security.sddl.log (machine/JournaledFile.h):
// a change appends one line (an object's line as the file has it, or
// "remove file|key <name>", "remove-tree file|key <name>"), and another
// process's change costs what it appended. The journal is folded into
// security.sddl when it has grown.
//
// Callers hold the image's lock around every use.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/machine.h"
#include "platform/machine/JournaledFile.h"
#include "platform/security/SecurityStore.h"

namespace winsec {

class AccessListFile {
 public:
  explicit AccessListFile(const std::filesystem::path& machineRoot);
  // The selected image's, created anew when another image was selected.
  static AccessListFile& Of(const machine::Machine& image);

  // The access lists, brought up to date. Throws MachineError for a
  // malformed file.
  const SecurityStore& Read();
  // Each writes at once; throws MachineError. Read comes first under the
  // same lock.
  void Set(ObjectKind kind, std::u16string_view name, SecurityRecord record);
  bool Remove(ObjectKind kind, std::u16string_view name);
  bool RemoveWithDescendants(ObjectKind kind, std::u16string_view name);

  // Folds the journal of the image at `machineRoot` (machine::FoldJournals).
  static void FoldJournal(const std::filesystem::path& machineRoot);

 private:
  void Write(const std::string& line);

  std::filesystem::path root_;
  machine::JournaledFile file_;
  SecurityStore store_;
  bool loaded_ = false;
};

}  // namespace winsec
