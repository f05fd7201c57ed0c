#include "platform/metabase/AdminBase.h"

#include <cstring>
#include <vector>

#include "platform/metabase/MetabaseService.h"

namespace metabase {
namespace {

// Windows takes a null path as the handle's own key.
std::u16string_view PathOf(LPCWSTR path) {
  return path == nullptr ? std::u16string_view() : std::u16string_view(path);
}

MetabaseService& Service() { return MetabaseService::Instance(); }

}  // namespace

HRESULT CreateAdminBase(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  AdminBase* object = new AdminBase();
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

AdminBase::~AdminBase() { Service().CloseHandlesOf(this); }

HRESULT AdminBase::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMSAdminBase_W) {
    *ppvObject = static_cast<IMSAdminBaseW*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG AdminBase::AddRef() { return ++references_; }

ULONG AdminBase::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT AdminBase::AddKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) {
  return Service().AddKey(hMDHandle, PathOf(pszMDPath));
}

HRESULT AdminBase::DeleteKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) {
  return Service().DeleteKey(hMDHandle, PathOf(pszMDPath));
}

HRESULT AdminBase::DeleteChildKeys(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) {
  return Service().DeleteChildKeys(hMDHandle, PathOf(pszMDPath));
}

HRESULT AdminBase::EnumKeys(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath, LPWSTR pszMDName,
                            DWORD dwMDEnumObjectIndex) {
  if (pszMDName == nullptr) return E_INVALIDARG;
  std::u16string name;
  const HRESULT hr = Service().EnumKeys(hMDHandle, PathOf(pszMDPath), dwMDEnumObjectIndex, name);
  if (FAILED(hr)) return hr;
  // The service keeps names shorter than METADATA_MAX_NAME_LEN; the check
  // keeps a broken store from writing past the caller's buffer.
  if (name.size() >= METADATA_MAX_NAME_LEN) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
  std::memcpy(pszMDName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  return S_OK;
}

HRESULT AdminBase::RenameKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath, LPCWSTR pszMDNewName) {
  if (pszMDNewName == nullptr) return E_INVALIDARG;
  return Service().RenameKey(hMDHandle, PathOf(pszMDPath), pszMDNewName);
}

HRESULT AdminBase::SetData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                           PMETADATA_RECORD pmdrMDData) {
  if (pmdrMDData == nullptr) return E_INVALIDARG;
  return Service().SetData(hMDHandle, PathOf(pszMDPath), *pmdrMDData);
}

HRESULT AdminBase::GetData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                           PMETADATA_RECORD pmdrMDData, DWORD* pdwMDRequiredDataLen) {
  if (pmdrMDData == nullptr || pdwMDRequiredDataLen == nullptr) return E_INVALIDARG;
  return Service().GetData(hMDHandle, PathOf(pszMDPath), *pmdrMDData, *pdwMDRequiredDataLen);
}

HRESULT AdminBase::DeleteData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath, DWORD dwMDIdentifier,
                              DWORD dwMDDataType) {
  return Service().DeleteData(hMDHandle, PathOf(pszMDPath), dwMDIdentifier, dwMDDataType);
}

HRESULT AdminBase::EnumData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                            PMETADATA_RECORD pmdrMDData, DWORD dwMDEnumDataIndex,
                            DWORD* pdwMDRequiredDataLen) {
  if (pmdrMDData == nullptr || pdwMDRequiredDataLen == nullptr) return E_INVALIDARG;
  return Service().EnumData(hMDHandle, PathOf(pszMDPath), *pmdrMDData, dwMDEnumDataIndex,
                            *pdwMDRequiredDataLen);
}

HRESULT AdminBase::GetDataPaths(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath, DWORD dwMDIdentifier,
                                DWORD dwMDDataType, DWORD dwMDBufferSize, WCHAR* pszBuffer,
                                DWORD* pdwMDRequiredBufferSize) {
  if (pdwMDRequiredBufferSize == nullptr || (pszBuffer == nullptr && dwMDBufferSize > 0)) {
    return E_INVALIDARG;
  }
  std::vector<std::u16string> paths;
  const HRESULT hr =
      Service().GetDataPaths(hMDHandle, PathOf(pszMDPath), dwMDIdentifier, dwMDDataType, paths);
  if (FAILED(hr)) return hr;
  // A multi-string: each path with its terminator, then one more (an empty
  // answer is the closing terminator alone).
  std::u16string list;
  for (const auto& path : paths) list += path + u'\0';
  list += u'\0';
  if (dwMDBufferSize < list.size()) {
    *pdwMDRequiredBufferSize = static_cast<DWORD>(list.size());
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(pszBuffer, list.data(), list.size() * sizeof(char16_t));
  return S_OK;
}

HRESULT AdminBase::OpenKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath, DWORD dwMDAccessRequested,
                           DWORD, PMETADATA_HANDLE phMDNewHandle) {
  if (phMDNewHandle == nullptr) return E_INVALIDARG;
  return Service().OpenKey(hMDHandle, PathOf(pszMDPath), dwMDAccessRequested, *phMDNewHandle, this);
}

HRESULT AdminBase::CloseKey(METADATA_HANDLE hMDHandle) { return Service().CloseKey(hMDHandle); }

HRESULT AdminBase::SaveData() { return Service().SaveData(); }

HRESULT AdminBase::Backup(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion, DWORD dwMDFlags) {
  return Service().Backup(PathOf(pszMDBackupLocation), dwMDVersion, dwMDFlags);
}

HRESULT AdminBase::Restore(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion, DWORD dwMDFlags) {
  return Service().Restore(PathOf(pszMDBackupLocation), dwMDVersion, dwMDFlags);
}

HRESULT AdminBase::EnumBackups(LPWSTR pszMDBackupLocation, DWORD* pdwMDVersion,
                               PFILETIME pftMDBackupTime, DWORD dwMDEnumIndex) {
  if (pszMDBackupLocation == nullptr || pdwMDVersion == nullptr || pftMDBackupTime == nullptr) {
    return E_INVALIDARG;
  }
  BackupInfo found;
  const HRESULT hr = Service().EnumBackups(pszMDBackupLocation, dwMDEnumIndex, found);
  if (FAILED(hr)) return hr;
  std::memcpy(pszMDBackupLocation, found.name.c_str(), (found.name.size() + 1) * sizeof(char16_t));
  *pdwMDVersion = found.version;
  *pftMDBackupTime = found.time;
  return S_OK;
}

HRESULT AdminBase::DeleteBackup(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion) {
  return Service().DeleteBackup(PathOf(pszMDBackupLocation), dwMDVersion);
}

}  // namespace metabase
