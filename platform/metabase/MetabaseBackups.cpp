// Backups of the metabase: copies of the metabase file named
// "<name>.MD<version>" in the backup folder, as IIS 6 keeps them.
#include <algorithm>

#include "platform/files/FileTimes.h"
#include "platform/machine.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace metabase {
namespace {

constexpr char16_t kDefaultBackupName[] = u"MDBackUp";
constexpr char kVersionMark[] = ".MD";

HRESULT Win32(DWORD error) { return HRESULT_FROM_WIN32(error); }

bool IsValidBackupName(std::u16string_view name) {
  return name.size() <= MD_BACKUP_MAX_LEN &&
         name.find_first_of(u"/\\*.?\"&!@#$%^()=+|`~") == std::u16string_view::npos;
}

// "<name>.MD<digits>" -> name and version.
bool ParseBackupFileName(const std::string& file, std::u16string& name, DWORD& version) {
  const size_t mark = file.rfind(kVersionMark);
  if (mark == std::string::npos || mark + 3 >= file.size() || file.size() - mark > 7) {
    return false;
  }
  DWORD value = 0;
  for (size_t i = mark + 3; i < file.size(); ++i) {
    if (file[i] < '0' || file[i] > '9') return false;
    value = value * 10 + static_cast<DWORD>(file[i] - '0');
  }
  if (value > MD_BACKUP_MAX_VERSION) return false;
  name = machine::FromUtf8(file.substr(0, mark));
  version = value;
  return IsValidBackupName(name);
}

const BackupInfo* Highest(const std::vector<BackupInfo>& backups) {
  const BackupInfo* highest = nullptr;
  for (const BackupInfo& backup : backups) {
    if (highest == nullptr || backup.version > highest->version) highest = &backup;
  }
  return highest;
}

const BackupInfo* WithVersion(const std::vector<BackupInfo>& backups, DWORD version) {
  if (version == MD_BACKUP_HIGHEST_VERSION) return Highest(backups);
  for (const BackupInfo& backup : backups) {
    if (backup.version == version) return &backup;
  }
  return nullptr;
}

}  // namespace

// Backups of one name (all of them for an empty name), ordered by name and
// version.
std::vector<BackupInfo> MetabaseService::ListBackups(std::u16string_view name) const {
  std::vector<BackupInfo> backups;
  const fs::path folder = BackupHostFolder();
  if (folder.empty()) return backups;
  for (const machine::FolderEntry& entry : machine::ListFolderEntries(folder)) {
    BackupInfo info;
    if (!entry.isFile) continue;
    if (!ParseBackupFileName(entry.name, info.name, info.version)) continue;
    if (!name.empty() && !machine::EqualNoCase(info.name, name)) continue;
    info.time = machine::files::FileTimeOf(entry.modified);
    backups.push_back(info);
  }
  std::sort(backups.begin(), backups.end(), [](const BackupInfo& a, const BackupInfo& b) {
    const int order = machine::CompareNoCase(a.name, b.name);
    return order != 0 ? order < 0 : a.version < b.version;
  });
  return backups;
}

fs::path MetabaseService::BackupFile(std::u16string_view name, DWORD version) const {
  return BackupHostFolder() / (machine::ToUtf8(name) + kVersionMark + std::to_string(version));
}

HRESULT MetabaseService::WriteBackup(std::u16string_view name, DWORD version) {
  try {
    std::lock_guard<machine::ImageLock> hold(machine::RequireMachine().Lock());
    machine::WriteFileAtomically(BackupFile(name, version), SerializeMetabaseXml(*root_));
  } catch (const machine::MachineError&) {
    return Win32(ERROR_WRITE_FAULT);
  }
  return S_OK;
}

HRESULT MetabaseService::Backup(std::u16string_view name, DWORD version, DWORD flags) {
  if (!IsValidBackupName(name)) return E_INVALIDARG;
  if (version > MD_BACKUP_MAX_VERSION && version != MD_BACKUP_NEXT_VERSION &&
      version != MD_BACKUP_HIGHEST_VERSION) {
    return E_INVALIDARG;
  }
  if (name.empty()) name = kDefaultBackupName;
  std::lock_guard<std::mutex> hold(lock_);
  HRESULT hr = Sync();
  if (FAILED(hr)) return hr;
  const std::vector<BackupInfo> existing = ListBackups(name);
  const BackupInfo* highest = Highest(existing);
  // Backup names match ignoring case; keep the spelling already on disk.
  if (!existing.empty()) name = existing.front().name;
  if (version == MD_BACKUP_NEXT_VERSION) {
    version = highest == nullptr ? 0 : highest->version + 1;
    if (version > MD_BACKUP_MAX_VERSION) return E_INVALIDARG;
  } else if (version == MD_BACKUP_HIGHEST_VERSION) {
    version = highest == nullptr ? 0 : highest->version;
  } else if (WithVersion(existing, version) != nullptr && (flags & MD_BACKUP_OVERWRITE) == 0) {
    return Win32(ERROR_ALREADY_EXISTS);
  }
  HRESULT saved = S_OK;
  if ((flags & MD_BACKUP_SAVE_FIRST) != 0) {
    // Saving fails while a key is open for writing; a forced backup holds
    // the changes all the same, as it is made from the metabase in memory.
    saved = HasWriteHandle() ? Win32(ERROR_PATH_BUSY) : Flush();
    if (FAILED(saved) && (flags & MD_BACKUP_FORCE_BACKUP) == 0) return saved;
  }
  hr = WriteBackup(name, version);
  if (FAILED(hr)) return hr;
  return FAILED(saved) ? MD_WARNING_SAVE_FAILED : S_OK;
}

HRESULT MetabaseService::Restore(std::u16string_view name, DWORD version, DWORD) {
  if (!IsValidBackupName(name)) return E_INVALIDARG;
  if (name.empty()) name = kDefaultBackupName;
  std::lock_guard<std::mutex> hold(lock_);
  // A metabase file that cannot be read is what a restore repairs, so its
  // state does not matter here; only an image must be selected.
  if (machine::CurrentMachine() == nullptr) return MD_ERROR_NOT_INITIALIZED;
  Sync();
  const std::vector<BackupInfo> backups = ListBackups(name);
  const BackupInfo* backup = WithVersion(backups, version);
  if (backup == nullptr) return MD_ERROR_INVALID_VERSION;
  std::unique_ptr<Key> restored;
  try {
    const fs::path file = BackupFile(backup->name, backup->version);
    restored = ParseMetabaseXml(machine::ReadWholeFile(file), file.string());
  } catch (const machine::MachineError&) {
    return Win32(ERROR_INVALID_DATA);
  }
  // Restoring restarts the service on Windows: every open handle is gone.
  ReplaceTree(std::move(restored));
  loadResult_ = S_OK;
  return Persist();
}

HRESULT MetabaseService::EnumBackups(std::u16string_view name, DWORD index, BackupInfo& found) {
  std::lock_guard<std::mutex> hold(lock_);
  if (machine::CurrentMachine() == nullptr) return MD_ERROR_NOT_INITIALIZED;
  const std::vector<BackupInfo> backups = ListBackups(name);
  if (index >= backups.size()) return Win32(ERROR_NO_MORE_ITEMS);
  found = backups[index];
  return S_OK;
}

HRESULT MetabaseService::DeleteBackup(std::u16string_view name, DWORD version) {
  if (!IsValidBackupName(name)) return E_INVALIDARG;
  std::lock_guard<std::mutex> hold(lock_);
  if (machine::CurrentMachine() == nullptr) return MD_ERROR_NOT_INITIALIZED;
  if (name.empty()) return Win32(ERROR_FILE_NOT_FOUND);
  const std::vector<BackupInfo> backups = ListBackups(name);
  const BackupInfo* backup = WithVersion(backups, version);
  if (backup == nullptr) return Win32(ERROR_FILE_NOT_FOUND);
  std::lock_guard<machine::ImageLock> hold2(machine::RequireMachine().Lock());
  if (!machine::RemoveFile(BackupFile(backup->name, backup->version))) {
    return Win32(ERROR_ACCESS_DENIED);
  }
  return S_OK;
}

}  // namespace metabase
