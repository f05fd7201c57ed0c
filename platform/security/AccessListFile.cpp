#include "platform/security/AccessListFile.h"

#include <memory>

namespace winsec {

namespace {

constexpr char kFileName[] = "security.sddl";

bool IsEmpty(const SecurityRecord& record) {
  return !record.owner && !record.group && !record.dacl.present && !record.sacl.present;
}

}  // namespace

AccessListFile::AccessListFile(const std::filesystem::path& machineRoot)
    : root_(machineRoot), file_(machineRoot / kFileName) {}

AccessListFile& AccessListFile::Of(const machine::Machine& image) {
  static std::unique_ptr<AccessListFile> current;
  if (!current || current->root_ != image.Root()) current.reset(new AccessListFile(image.Root()));
  return *current;
}

const SecurityStore& AccessListFile::Read() {
  if (!loaded_) file_.Forget();
  loaded_ = false;
  machine::JournaledFile::Changes changes = file_.Refresh();
  if (changes.whole) store_ = SecurityStore::Parse(changes.base, kFileName);
  std::string lines;
  for (const std::string& record : changes.records) lines += record;
  if (!lines.empty()) store_.ApplyJournal(lines, file_.Journal().filename().string());
  loaded_ = true;
  return store_;
}

void AccessListFile::Write(const std::string& line) {
  try {
    file_.Append(line, [this] { return store_.Serialize(); });
  } catch (...) {
    // What is in memory never reached the file: read it again next time.
    loaded_ = false;
    throw;
  }
}

void AccessListFile::Set(ObjectKind kind, std::u16string_view name, SecurityRecord record) {
  if (IsEmpty(record)) {
    Remove(kind, name);
    return;
  }
  std::string line = SecurityStore::Line(kind, name, record);
  store_.Edit(kind, name) = std::move(record);
  Write(line);
}

bool AccessListFile::Remove(ObjectKind kind, std::u16string_view name) {
  if (!store_.Remove(kind, name)) return false;
  Write(SecurityStore::RemovalLine(kind, name, false));
  return true;
}

bool AccessListFile::RemoveWithDescendants(ObjectKind kind, std::u16string_view name) {
  if (!store_.RemoveWithDescendants(kind, name)) return false;
  Write(SecurityStore::RemovalLine(kind, name, true));
  return true;
}

void AccessListFile::FoldJournal(const std::filesystem::path& machineRoot) {
  machine::Machine* current = machine::CurrentMachine();
  std::unique_ptr<AccessListFile> other;
  AccessListFile* file = nullptr;
  if (current && current->Root() == machineRoot) {
    file = &Of(*current);
  } else {
    other = std::make_unique<AccessListFile>(machineRoot);
    file = other.get();
  }
  // A file without a journal is left as it is, even when malformed.
  if (!machine::InspectFile(file->file_.Journal()).exists) return;
  file->Read();
  file->file_.Fold([file] { return file->store_.Serialize(); });
}

}  // namespace winsec
