#include "platform/metabase/MetabaseService.h"

#include <cstring>

#include "platform/machine.h"
#include "platform/metabase/AppHostMetabase.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace metabase {
namespace {

constexpr DWORD kStoredAttributeMask = ~(METADATA_ISINHERITED | METADATA_PARTIAL_PATH);

HRESULT Win32(DWORD error) { return HRESULT_FROM_WIN32(error); }

// True when one path lies on the other's line of ancestors (or equals it).
bool OnSameLine(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    if (!machine::EqualNoCase(a[i], b[i])) return false;
  }
  return true;
}

bool MatchesType(const Property& property, DWORD dataType, DWORD userType) {
  return (dataType == ALL_METADATA || property.dataType == dataType) &&
         (userType == ALL_METADATA_USER_TYPE || property.userType == userType);
}

bool IsValidName(std::u16string_view name) {
  return !name.empty() && name.size() < METADATA_MAX_NAME_LEN &&
         name.find_first_of(u"/\\") == std::u16string_view::npos;
}

void CollectDataPaths(const Key& key, const std::u16string& relative, DWORD id, DWORD dataType,
                      std::vector<std::u16string>& paths) {
  const Property* property = key.FindProperty(id);
  if (property != nullptr && (dataType == ALL_METADATA || property->dataType == dataType)) {
    paths.push_back(relative);
  }
  for (const auto& child : key.Children()) {
    CollectDataPaths(*child, relative + child->Name() + u"/", id, dataType, paths);
  }
}

}  // namespace

fs::path HostPathOf(std::u16string_view windowsPath) {
  machine::ResolvedPath resolved;
  if (machine::ResolveWindowsPath(windowsPath, resolved) == ERROR_SUCCESS) return resolved.host;
  // Named through its parent: a missing folder is created by the write. A
  // folder refused for a link is refused again by the read or write itself,
  // which walk the path from the image root (machine.h).
  const size_t cut = windowsPath.find_last_of(u'\\');
  if (cut == std::u16string_view::npos || cut < 3) return fs::path();
  const fs::path parent = HostPathOf(windowsPath.substr(0, cut));
  if (parent.empty()) return fs::path();
  return parent / machine::ToUtf8(windowsPath.substr(cut + 1));
}

MetabaseService& MetabaseService::Instance() {
  static MetabaseService service;
  return service;
}

fs::path MetabaseService::MetabaseHostPath() const {
  return HostPathOf(appHost_ ? AppHostMetabaseFile() : std::u16string(kMetabaseFile));
}

fs::path MetabaseService::BackupHostFolder() const { return HostPathOf(kBackupFolder); }

Key* MetabaseService::FindKey(Key& root, const std::vector<std::u16string>& path) {
  Key* key = &root;
  for (const auto& piece : path) {
    key = key->FindChild(piece);
    if (key == nullptr) return nullptr;
  }
  return key;
}

HRESULT MetabaseService::Resolve(METADATA_HANDLE handle, std::u16string_view path, bool forWrite,
                                 Target& target) {
  if (handle == METADATA_MASTER_ROOT_HANDLE) {
    // The master root handle reads anywhere but was never opened for write.
    if (forWrite) return Win32(ERROR_ACCESS_DENIED);
    target.path.clear();
  } else {
    const auto it = handles_.find(handle);
    if (it == handles_.end() || Find(it->second.path) == nullptr) {
      return Win32(ERROR_INVALID_HANDLE);
    }
    if (forWrite && !it->second.write) return Win32(ERROR_ACCESS_DENIED);
    target.path = it->second.path;
  }
  for (auto& piece : SplitPath(path)) target.path.push_back(std::move(piece));
  target.key = Find(target.path);
  return S_OK;
}

HRESULT MetabaseService::ResolveExisting(METADATA_HANDLE handle, std::u16string_view path,
                                         bool forWrite, Target& target) {
  HRESULT hr = Sync();
  if (SUCCEEDED(hr)) hr = Resolve(handle, path, forWrite, target);
  if (FAILED(hr)) return hr;
  return target.key != nullptr ? S_OK : Win32(ERROR_PATH_NOT_FOUND);
}

bool MetabaseService::Conflicts(const std::vector<std::u16string>& path, bool write) const {
  for (const auto& [number, handle] : handles_) {
    if ((write || handle.write) && OnSameLine(path, handle.path)) return true;
  }
  return false;
}

bool MetabaseService::HasWriteHandle() const {
  for (const auto& entry : handles_) {
    if (entry.second.write) return true;
  }
  return false;
}

HRESULT MetabaseService::OpenKey(METADATA_HANDLE base, std::u16string_view path, DWORD access,
                                 METADATA_HANDLE& opened, const void* owner) {
  opened = 0;
  if ((access & (METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE)) == 0) {
    return E_INVALIDARG;
  }
  std::lock_guard<std::mutex> hold(lock_);
  HRESULT hr = Sync();
  Target target;
  if (SUCCEEDED(hr)) hr = Resolve(base, path, false, target);
  if (FAILED(hr)) return hr;
  if (target.key == nullptr) return Win32(ERROR_PATH_NOT_FOUND);
  const bool write = (access & METADATA_PERMISSION_WRITE) != 0;
  // Deviation: a conflicting handle fails at once instead of after the
  // time-out (see iadmw.h).
  if (Conflicts(target.path, write)) return Win32(ERROR_PATH_BUSY);
  opened = nextHandle_++;
  if (nextHandle_ == METADATA_MASTER_ROOT_HANDLE) nextHandle_ = 1;
  handles_[opened] = Handle{target.path, write, owner};
  return S_OK;
}

HRESULT MetabaseService::CloseKey(METADATA_HANDLE handle) {
  std::lock_guard<std::mutex> hold(lock_);
  if (handles_.erase(handle) != 1) return Win32(ERROR_INVALID_HANDLE);
  return Flush();
}

void MetabaseService::CloseHandlesOf(const void* owner) {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = handles_.begin(); it != handles_.end();) {
    it = it->second.owner == owner ? handles_.erase(it) : std::next(it);
  }
  Flush();
}

HRESULT MetabaseService::AddKey(METADATA_HANDLE handle, std::u16string_view path) {
  std::lock_guard<std::mutex> hold(lock_);
  HRESULT hr = Sync();
  Target target;
  if (SUCCEEDED(hr)) hr = Resolve(handle, path, true, target);
  if (FAILED(hr)) return hr;
  if (target.key != nullptr) return Win32(ERROR_ALREADY_EXISTS);
  for (const auto& piece : SplitPath(path)) {
    if (!IsValidName(piece)) return Win32(ERROR_INVALID_NAME);
  }
  if (target.path.size() > kMaxKeyDepth) return Win32(ERROR_INVALID_NAME);
  // Missing keys on the way are created too.
  return Apply([path = target.path](Key& root) {
    Key* key = &root;
    for (const auto& piece : path) {
      Key* next = key->FindChild(piece);
      key = next != nullptr ? next : &key->AddChild(piece);
    }
  });
}

HRESULT MetabaseService::DeleteKey(METADATA_HANDLE handle, std::u16string_view path) {
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, true, target); FAILED(hr)) return hr;
  // Deviation: a handle cannot delete its own key; Windows would leave it
  // pointing at nothing.
  if (SplitPath(path).empty()) return E_INVALIDARG;
  return Apply([path = target.path](Key& root) {
    Key* parent = FindKey(root, std::vector<std::u16string>(path.begin(), path.end() - 1));
    if (parent != nullptr) parent->RemoveChild(path.back());
  });
}

HRESULT MetabaseService::DeleteChildKeys(METADATA_HANDLE handle, std::u16string_view path) {
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, true, target); FAILED(hr)) return hr;
  return Apply([path = target.path](Key& root) {
    Key* key = FindKey(root, path);
    while (key != nullptr && !key->Children().empty()) {
      key->RemoveChild(key->Children().front()->Name());
    }
  });
}

HRESULT MetabaseService::EnumKeys(METADATA_HANDLE handle, std::u16string_view path, DWORD index,
                                  std::u16string& name) {
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, false, target); FAILED(hr)) return hr;
  if (index >= target.key->Children().size()) return Win32(ERROR_NO_MORE_ITEMS);
  name = target.key->Children()[index]->Name();
  return S_OK;
}

HRESULT MetabaseService::RenameKey(METADATA_HANDLE handle, std::u16string_view path,
                                   std::u16string_view newName) {
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, true, target); FAILED(hr)) return hr;
  if (SplitPath(path).empty() || !IsValidName(newName)) return E_INVALIDARG;
  std::vector<std::u16string> parentPath(target.path.begin(), target.path.end() - 1);
  const Key* sibling = Find(parentPath)->FindChild(newName);
  if (sibling != nullptr && sibling != target.key) return Win32(ERROR_ALREADY_EXISTS);
  return Apply([path = target.path, name = std::u16string(newName)](Key& root) {
    Key* key = FindKey(root, path);
    Key* parent = FindKey(root, std::vector<std::u16string>(path.begin(), path.end() - 1));
    const Key* sibling = parent != nullptr ? parent->FindChild(name) : nullptr;
    if (key != nullptr && (sibling == nullptr || sibling == key)) {
      parent->RenameChild(key->Name(), name);
    }
  });
}

HRESULT MetabaseService::SetData(METADATA_HANDLE handle, std::u16string_view path,
                                 const METADATA_RECORD& record) {
  Property property;
  property.id = record.dwMDIdentifier;
  property.attributes = record.dwMDAttributes & kStoredAttributeMask;
  property.userType = record.dwMDUserType;
  property.dataType = record.dwMDDataType;
  HRESULT hr =
      NormalizeData(record.dwMDDataType, record.pbMDData, record.dwMDDataLen, property.data);
  if (FAILED(hr)) return hr;
  std::lock_guard<std::mutex> hold(lock_);
  hr = Sync();
  Target target;
  if (SUCCEEDED(hr)) hr = Resolve(handle, path, true, target);
  if (FAILED(hr)) return hr;
  if (target.key == nullptr) return Win32(ERROR_PATH_NOT_FOUND);
  return Apply([path = target.path, property = std::move(property)](Key& root) {
    if (Key* key = FindKey(root, path)) key->SetProperty(property);
  });
}

// The nearest value at or above the path (the path itself excluded) that
// its key lets inherit.
const Property* MetabaseService::FindInherited(const std::vector<std::u16string>& path, DWORD id) {
  std::vector<std::u16string> ancestor = path;
  while (!ancestor.empty()) {
    ancestor.pop_back();
    const Key* key = Find(ancestor);
    const Property* property = key != nullptr ? key->FindProperty(id) : nullptr;
    if (property != nullptr) {
      return (property->attributes & METADATA_INHERIT) != 0 ? property : nullptr;
    }
  }
  return nullptr;
}

HRESULT MetabaseService::FillRecord(const Property& property, bool inherited,
                                    METADATA_RECORD& record, DWORD& required) const {
  const DWORD size = static_cast<DWORD>(property.data.size());
  if (record.dwMDDataLen < size) {
    required = size;
    return Win32(ERROR_INSUFFICIENT_BUFFER);
  }
  if (record.pbMDData == nullptr) return E_INVALIDARG;
  const bool reportInherited = (record.dwMDAttributes & METADATA_ISINHERITED) != 0;
  record.dwMDIdentifier = property.id;
  record.dwMDAttributes = property.attributes;
  if (reportInherited && inherited) record.dwMDAttributes |= METADATA_ISINHERITED;
  record.dwMDUserType = property.userType;
  record.dwMDDataType = property.dataType;
  record.dwMDDataLen = size;
  if (size > 0) std::memcpy(record.pbMDData, property.data.data(), size);
  return S_OK;
}

HRESULT MetabaseService::GetData(METADATA_HANDLE handle, std::u16string_view path,
                                 METADATA_RECORD& record, DWORD& required) {
  std::lock_guard<std::mutex> hold(lock_);
  HRESULT hr = Sync();
  Target target;
  if (SUCCEEDED(hr)) hr = Resolve(handle, path, false, target);
  if (FAILED(hr)) return hr;
  const bool inherit = (record.dwMDAttributes & METADATA_INHERIT) != 0;
  const bool partial = inherit && (record.dwMDAttributes & METADATA_PARTIAL_PATH) != 0;
  if (target.key == nullptr && !partial) return Win32(ERROR_PATH_NOT_FOUND);
  const Property* own =
      target.key != nullptr ? target.key->FindProperty(record.dwMDIdentifier) : nullptr;
  const Property* found = own;
  if (found == nullptr && inherit) found = FindInherited(target.path, record.dwMDIdentifier);
  if (found == nullptr || !MatchesType(*found, record.dwMDDataType, record.dwMDUserType)) {
    return MD_ERROR_DATA_NOT_FOUND;
  }
  return FillRecord(*found, found != own, record, required);
}

HRESULT MetabaseService::DeleteData(METADATA_HANDLE handle, std::u16string_view path, DWORD id,
                                    DWORD dataType) {
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, true, target); FAILED(hr)) return hr;
  const Property* property = target.key->FindProperty(id);
  if (property == nullptr || !MatchesType(*property, dataType, ALL_METADATA_USER_TYPE)) {
    return MD_ERROR_DATA_NOT_FOUND;
  }
  return Apply([path = target.path, id](Key& root) {
    if (Key* key = FindKey(root, path)) key->RemoveProperty(id);
  });
}

HRESULT MetabaseService::EnumData(METADATA_HANDLE handle, std::u16string_view path,
                                  METADATA_RECORD& record, DWORD index, DWORD& required) {
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, false, target); FAILED(hr)) return hr;
  // Deviation: only the key's own data is enumerated, whatever the
  // attributes ask for.
  DWORD seen = 0;
  for (const Property& property : target.key->Properties()) {
    if (!MatchesType(property, record.dwMDDataType, record.dwMDUserType)) continue;
    if (seen++ == index) return FillRecord(property, false, record, required);
  }
  return Win32(ERROR_NO_MORE_ITEMS);
}

HRESULT MetabaseService::GetDataPaths(METADATA_HANDLE handle, std::u16string_view path, DWORD id,
                                      DWORD dataType, std::vector<std::u16string>& paths) {
  if (dataType >= INVALID_END_METADATA) return E_INVALIDARG;
  std::lock_guard<std::mutex> hold(lock_);
  Target target;
  if (const HRESULT hr = ResolveExisting(handle, path, false, target); FAILED(hr)) return hr;
  // Relative to the handle's key, in the keys' own spelling.
  std::u16string relative = u"/";
  const Key* key =
      handle == METADATA_MASTER_ROOT_HANDLE ? root_.get() : Find(handles_[handle].path);
  for (const auto& piece : SplitPath(path)) {
    key = key->FindChild(piece);
    relative += key->Name() + u"/";
  }
  paths.clear();
  CollectDataPaths(*target.key, relative, id, dataType, paths);
  return S_OK;
}

HRESULT MetabaseService::SaveData() {
  std::lock_guard<std::mutex> hold(lock_);
  const HRESULT hr = Sync();
  if (FAILED(hr)) return hr;
  if (HasWriteHandle()) return Win32(ERROR_PATH_BUSY);
  // The file is rewritten even when nothing changed, so that a save is
  // also visible there.
  return Flush(true);
}

}  // namespace metabase
