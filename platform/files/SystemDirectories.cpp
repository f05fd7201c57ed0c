// GetSystemDirectoryW and GetWindowsDirectoryW (platform/win/sysinfoapi.h).
#include <algorithm>

#include "platform/shell/ShellFolders.h"
#include "platform/win.h"

namespace {

UINT CopyFolder(int csidl, LPWSTR buffer, UINT size) {
  std::u16string path;
  if (FAILED(shell::SpecialFolderPath(csidl, path))) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  const auto length = static_cast<UINT>(path.size());
  if (buffer == nullptr || size <= length) return length + 1;
  std::copy(path.begin(), path.end(), buffer);
  buffer[length] = 0;
  return length;
}

}  // namespace

UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  return CopyFolder(CSIDL_SYSTEM, lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  return CopyFolder(CSIDL_WINDOWS, lpBuffer, uSize);
}
