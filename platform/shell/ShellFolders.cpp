// SHGetSpecialFolderLocation, SHGetPathFromIDListW, SHGetFolderPathW and
// ILFree over the [folders] of machine.ini (platform/win/shlobj.h). Both
// folder functions take CSIDL_FLAG_CREATE and CSIDL_FLAG_DONT_VERIFY.
#include "platform/shell/ShellFolders.h"

#include <cstring>

#include "platform/machine.h"
#include "platform/shell/ItemIdList.h"
#include "platform/text.h"

namespace {

struct FolderName {
  int csidl;
  const char* key;
};

constexpr FolderName kFolders[] = {
    {CSIDL_DESKTOP, "DESKTOP"},
    {CSIDL_PROGRAMS, "PROGRAMS"},
    {CSIDL_PERSONAL, "PERSONAL"},
    {CSIDL_STARTUP, "STARTUP"},
    {CSIDL_STARTMENU, "STARTMENU"},
    {CSIDL_DESKTOPDIRECTORY, "DESKTOPDIRECTORY"},
    {CSIDL_FONTS, "FONTS"},
    {CSIDL_COMMON_STARTMENU, "COMMON_STARTMENU"},
    {CSIDL_COMMON_PROGRAMS, "COMMON_PROGRAMS"},
    {CSIDL_COMMON_STARTUP, "COMMON_STARTUP"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "COMMON_DESKTOPDIRECTORY"},
    {CSIDL_APPDATA, "APPDATA"},
    {CSIDL_LOCAL_APPDATA, "LOCAL_APPDATA"},
    {CSIDL_COMMON_APPDATA, "COMMON_APPDATA"},
    {CSIDL_WINDOWS, "WINDOWS"},
    {CSIDL_SYSTEM, "SYSTEM"},
    {CSIDL_PROGRAM_FILES, "PROGRAM_FILES"},
    {CSIDL_PROFILE, "PROFILE"},
    {CSIDL_SYSTEMX86, "SYSTEMX86"},
    {CSIDL_PROGRAM_FILESX86, "PROGRAM_FILESX86"},
    {CSIDL_PROGRAM_FILES_COMMON, "PROGRAM_FILES_COMMON"},
    {CSIDL_PROGRAM_FILES_COMMONX86, "PROGRAM_FILES_COMMONX86"},
    {CSIDL_COMMON_DOCUMENTS, "COMMON_DOCUMENTS"},
};

bool IsDirectory(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates the folder and its missing parents, as CSIDL_FLAG_CREATE does.
bool CreateFolderPath(const std::u16string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\') continue;
    const std::u16string part = path.substr(0, i);
    if (!IsDirectory(part) && !CreateDirectoryW(part.c_str(), nullptr)) return false;
  }
  return true;
}

// The folder's path, checked (or created) as the CSIDL flags ask.
HRESULT ExistingFolder(int csidl, std::u16string& path) {
  if (const HRESULT hr = shell::SpecialFolderPath(csidl, path); FAILED(hr)) return hr;
  if ((csidl & CSIDL_FLAG_DONT_VERIFY) || IsDirectory(path)) return S_OK;
  if ((csidl & CSIDL_FLAG_CREATE) && CreateFolderPath(path)) return S_OK;
  return E_FAIL;
}

}  // namespace

namespace shell {

HRESULT SpecialFolderPath(int csidl, std::u16string& path) {
  const machine::Machine* image = machine::CurrentMachine();
  if (image == nullptr) return E_FAIL;
  const int folder = csidl & ~CSIDL_FLAG_MASK;
  if ((csidl & CSIDL_FLAG_MASK & ~(CSIDL_FLAG_CREATE | CSIDL_FLAG_DONT_VERIFY)) != 0) {
    return E_INVALIDARG;
  }
  for (const FolderName& entry : kFolders) {
    if (entry.csidl != folder) continue;
    const std::string* value = image->Settings().Get("folders", entry.key);
    if (value == nullptr || value->empty()) return E_INVALIDARG;
    path = machine::FromUtf8(*value);
    return S_OK;
  }
  return E_INVALIDARG;
}

}  // namespace shell

HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl, PIDLIST_ABSOLUTE* ppidl) {
  if (ppidl == nullptr) return E_INVALIDARG;
  *ppidl = nullptr;
  std::u16string path;
  if (const HRESULT hr = ExistingFolder(csidl, path); FAILED(hr)) return hr;
  *ppidl = shell::NewItemIdList(path);
  return *ppidl == nullptr ? E_OUTOFMEMORY : S_OK;
}

BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
  if (pszPath == nullptr) return FALSE;
  *pszPath = 0;
  std::u16string path;
  if (pidl == nullptr) return FALSE;
  if (pidl->mkid.cb == 0) {
    if (FAILED(shell::SpecialFolderPath(CSIDL_DESKTOP, path))) return FALSE;
  } else if (!shell::PathOfItemIdList(pidl, path)) {
    return FALSE;
  }
  if (path.size() >= MAX_PATH) return FALSE;
  std::memcpy(pszPath, path.c_str(), (path.size() + 1) * sizeof(char16_t));
  return TRUE;
}

HRESULT WINAPI SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD dwFlags, LPWSTR pszPath) {
  if (pszPath == nullptr) return E_INVALIDARG;
  *pszPath = 0;
  if (dwFlags != SHGFP_TYPE_CURRENT && dwFlags != SHGFP_TYPE_DEFAULT) return E_INVALIDARG;
  std::u16string path;
  if (const HRESULT hr = ExistingFolder(csidl, path); FAILED(hr)) return hr;
  if (path.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  std::memcpy(pszPath, path.c_str(), (path.size() + 1) * sizeof(char16_t));
  return S_OK;
}

void WINAPI ILFree(PIDLIST_RELATIVE pidl) { CoTaskMemFree(pidl); }
