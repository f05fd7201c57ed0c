// The metabase of the simulated server: one per process, shared by every
// admin base object, as the IIS Admin service is shared by every client on
// Windows. It is bound to the selected machine image and kept in
// C:\Windows\System32\inetsrv\MetaBase.xml. Changes take effect at once for
// every connection of the process and reach the file, as on Windows, when
// they are saved: on SaveData, on closing a key, and when a connection goes
// away; so a run of changes under one open key costs one write. A file
// changed behind the service's back (by another process, the machine tool,
// a test) is read again before the next call, and the changes not yet
// written are laid over it again, so neither side's are lost; the file is
// written under the image's lock that other processes honour. On IIS 7 and
// later with the metabase compatibility, applicationHost.config takes the
// file's place (AppHostMetabase.h). Backups are
// files "<name>.MD<version>" in C:\Windows\System32\inetsrv\MetaBack\.
//
// The methods are those of IMSAdminBaseW with the COM plumbing removed;
// they answer the same HRESULTs. Safe to call from several threads.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/metabase/MetabaseKey.h"
#include "platform/win.h"

namespace metabase {

inline constexpr char16_t kMetabaseFile[] = u"C:\\Windows\\System32\\inetsrv\\MetaBase.xml";
inline constexpr char16_t kBackupFolder[] = u"C:\\Windows\\System32\\inetsrv\\MetaBack";

// The host file of a Windows path in the selected image, also when folders
// on the way do not exist yet; empty without a selected image.
std::filesystem::path HostPathOf(std::u16string_view windowsPath);

struct BackupInfo {
  std::u16string name;
  DWORD version = 0;
  FILETIME time = {};
};

class MetabaseService {
 public:
  static MetabaseService& Instance();

  // `owner` marks the handle so that Release of the admin base object that
  // opened it can close it, as the service's client rundown does.
  HRESULT OpenKey(METADATA_HANDLE base, std::u16string_view path, DWORD access,
                  METADATA_HANDLE& opened, const void* owner);
  HRESULT CloseKey(METADATA_HANDLE handle);
  void CloseHandlesOf(const void* owner);

  HRESULT AddKey(METADATA_HANDLE handle, std::u16string_view path);
  HRESULT DeleteKey(METADATA_HANDLE handle, std::u16string_view path);
  HRESULT DeleteChildKeys(METADATA_HANDLE handle, std::u16string_view path);
  HRESULT EnumKeys(METADATA_HANDLE handle, std::u16string_view path, DWORD index,
                   std::u16string& name);
  HRESULT RenameKey(METADATA_HANDLE handle, std::u16string_view path, std::u16string_view newName);

  HRESULT SetData(METADATA_HANDLE handle, std::u16string_view path, const METADATA_RECORD& record);
  HRESULT GetData(METADATA_HANDLE handle, std::u16string_view path, METADATA_RECORD& record,
                  DWORD& required);
  HRESULT DeleteData(METADATA_HANDLE handle, std::u16string_view path, DWORD id, DWORD dataType);
  HRESULT EnumData(METADATA_HANDLE handle, std::u16string_view path, METADATA_RECORD& record,
                   DWORD index, DWORD& required);
  // Paths relative to the handle's key, each "/.../" ("/" for that key).
  HRESULT GetDataPaths(METADATA_HANDLE handle, std::u16string_view path, DWORD id, DWORD dataType,
                       std::vector<std::u16string>& paths);

  HRESULT SaveData();
  // A copy of the whole metabase as every connection sees it now, saved or
  // not (for explorers and checks).
  HRESULT CopyTree(std::unique_ptr<Key>& copy);
  HRESULT Backup(std::u16string_view name, DWORD version, DWORD flags);
  HRESULT Restore(std::u16string_view name, DWORD version, DWORD flags);
  HRESULT EnumBackups(std::u16string_view name, DWORD index, BackupInfo& found);
  HRESULT DeleteBackup(std::u16string_view name, DWORD version);

 private:
  MetabaseService() = default;

  struct Handle {
    std::vector<std::u16string> path;
    bool write = false;
    const void* owner = nullptr;
  };
  // A change made since the file was last written, to lay over the file
  // again when another process has replaced it.
  using Change = std::function<void(Key& root)>;
  // The key a handle and a relative path name; null when it does not exist.
  struct Target {
    std::vector<std::u16string> path;
    Key* key = nullptr;
  };

  HRESULT Sync();
  HRESULT Load();
  // Makes the change to the tree and keeps it until it is written.
  HRESULT Apply(Change change);
  // Writes the changes not yet written, under the image lock and over the
  // file as it is then; without `always`, S_OK at once when there are none.
  HRESULT Flush(bool always = false);
  // Writes the tree as it is, whatever the file holds now (a restore).
  HRESULT Persist();
  void ReplaceTree(std::unique_ptr<Key> root);
  // Writes the tree to the file, or into the application host.
  HRESULT WriteTree();
  // The metabase file, or the application host's when the metabase maps
  // onto it (AppHostMetabase.h).
  std::filesystem::path MetabaseHostPath() const;
  std::filesystem::path BackupHostFolder() const;

  HRESULT Resolve(METADATA_HANDLE handle, std::u16string_view path, bool forWrite, Target& target);
  // Sync, then Resolve; a missing key is ERROR_PATH_NOT_FOUND.
  HRESULT ResolveExisting(METADATA_HANDLE handle, std::u16string_view path, bool forWrite,
                          Target& target);
  Key* Find(const std::vector<std::u16string>& path) { return FindKey(*root_, path); }
  static Key* FindKey(Key& root, const std::vector<std::u16string>& path);
  bool Conflicts(const std::vector<std::u16string>& path, bool write) const;
  bool HasWriteHandle() const;
  const Property* FindInherited(const std::vector<std::u16string>& path, DWORD id);
  HRESULT FillRecord(const Property& property, bool inherited, METADATA_RECORD& record,
                     DWORD& required) const;

  std::vector<BackupInfo> ListBackups(std::u16string_view name) const;
  std::filesystem::path BackupFile(std::u16string_view name, DWORD version) const;
  HRESULT WriteBackup(std::u16string_view name, DWORD version);

  std::mutex lock_;
  std::filesystem::path boundRoot_;
  bool appHost_ = false;
  std::string stamp_;  // machine::StampOf of the file as last read or written
  std::vector<Change> unsaved_;
  std::unique_ptr<Key> root_;
  HRESULT loadResult_ = S_OK;
  std::map<METADATA_HANDLE, Handle> handles_;
  METADATA_HANDLE nextHandle_ = 1;
};

}  // namespace metabase
