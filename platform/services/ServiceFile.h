// services.ini of an image as this process holds it, kept up to date through
// the file's journal, services.ini.log (machine/JournaledFile.h). A change
// to a service appends the service's whole section:
//
//   [W3SVC]
//   State=stop pending
//   PendingSince=1700000000000
//   ...
//
// and a reader makes its section hold exactly those settings (a key the
// record lacks was removed), so a change costs the size of one service, not
// of the file, and another process's change costs what it appended. The
// journal is folded into services.ini when it has grown.
//
// Callers hold the image's lock around every use.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/machine.h"
#include "platform/machine/JournaledFile.h"

namespace machine::services {

class ServiceFile {
 public:
  explicit ServiceFile(const std::filesystem::path& machineRoot);
  // The selected image's, created anew when another image was selected.
  static ServiceFile& Of(const Machine& image);

  // The services, brought up to date. Throws MachineError for a malformed
  // file or journal.
  IniFile& Read();
  // What Read handed out was changed and the change will not be written:
  // the next Read reads everything again.
  void Forget() { loaded_ = false; }
  // Records the section as Read's file now holds it. Throws MachineError.
  void Write(std::string_view section);

  // Folds the journal of the image at `machineRoot` (machine::FoldJournals).
  static void FoldJournal(const std::filesystem::path& machineRoot);

 private:
  void Apply(const std::string& record);

  std::filesystem::path root_;
  JournaledFile file_;
  IniFile ini_;
  bool loaded_ = false;
};

}  // namespace machine::services
