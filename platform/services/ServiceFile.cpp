#include "platform/services/ServiceFile.h"

#include <memory>
#include <utility>

namespace machine::services {

namespace {

constexpr char kFileName[] = "services.ini";
constexpr char kJournalName[] = "services.ini.log";

}  // namespace

ServiceFile::ServiceFile(const std::filesystem::path& machineRoot)
    : root_(machineRoot), file_(machineRoot / kFileName) {}

ServiceFile& ServiceFile::Of(const Machine& image) {
  static std::unique_ptr<ServiceFile> current;
  if (!current || current->root_ != image.Root()) current.reset(new ServiceFile(image.Root()));
  return *current;
}

IniFile& ServiceFile::Read() {
  if (!loaded_) file_.Forget();
  loaded_ = false;
  JournaledFile::Changes changes = file_.Refresh();
  if (changes.whole) ini_ = IniFile::Parse(changes.base, kFileName);
  for (const std::string& record : changes.records) Apply(record);
  loaded_ = true;
  return ini_;
}

// Set before Remove keeps every setting the record shares with the file on
// its line, so hand-written comments stay where they were.
void ServiceFile::Apply(const std::string& record) {
  const IniFile change = IniFile::Parse(record, kJournalName);
  for (const std::string& section : change.Sections()) {
    for (const auto& [key, value] : change.Entries(section)) ini_.Set(section, key, value);
    for (const auto& entry : ini_.Entries(section)) {
      if (change.Get(section, entry.first) == nullptr) ini_.Remove(section, entry.first);
    }
  }
}

void ServiceFile::Write(std::string_view section) {
  const std::string* name = ini_.SectionName(section);
  if (name == nullptr)
    throw MachineError("services.ini: no service [" + std::string(section) + "]");
  std::string record = "[" + *name + "]\n";
  for (const auto& [key, value] : ini_.Entries(section)) record += key + "=" + value + "\n";
  try {
    file_.Append(record, [this] { return ini_.Serialize(); });
  } catch (...) {
    // What is held never reached the file: read it again next time.
    loaded_ = false;
    throw;
  }
}

void ServiceFile::FoldJournal(const std::filesystem::path& machineRoot) {
  Machine* current = CurrentMachine();
  std::unique_ptr<ServiceFile> other;
  ServiceFile* file = nullptr;
  if (current && current->Root() == machineRoot) {
    file = &Of(*current);
  } else {
    other = std::make_unique<ServiceFile>(machineRoot);
    file = other.get();
  }
  // A file without a journal is left as it is, even when malformed.
  if (!InspectFile(file->file_.Journal()).exists) return;
  file->Read();
  file->file_.Fold([file] { return file->ini_.Serialize(); });
}

}  // namespace machine::services
