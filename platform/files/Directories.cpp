// Directory and name functions: CreateDirectoryW, RemoveDirectoryW,
// DeleteFileW, GetFileAttributesW, Get/SetCurrentDirectoryW.
//
// Deviations from Windows: DeleteFileW removes a file even while a handle to
// it is open (Windows refuses unless it was opened with FILE_SHARE_DELETE);
// attributes other than directory, archive and reparse point are not kept.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/files/CurrentDirectory.h"
#include "platform/files/HostErrors.h"
#include "platform/paths.h"
#include "platform/security/ObjectSecurity.h"
#include "platform/win/errors.h"
#include "platform/win/fileapi.h"

namespace {

template <typename T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// Removes the link itself, never what it names. Deviation: a link that
// leads out of the image or nowhere is removed by DeleteFileW and
// RemoveDirectoryW alike, as its kind cannot be known.
BOOL RemoveLink(const machine::ResolvedPath& link) {
  if (::unlinkat(link.entry.folder->Get(), link.entry.name.c_str(), 0) != 0) {
    return Fail(machine::files::FromErrno(errno), FALSE);
  }
  return TRUE;
}

// Windows keeps the current directory open, so it cannot be removed.
bool IsCurrentDirectory(const machine::ResolvedPath& folder) {
  machine::ResolvedPath current;
  return machine::ResolveWindowsPath(machine::CurrentDirectory(), current) == ERROR_SUCCESS &&
         current.exists && current.target.info.st_dev == folder.target.info.st_dev &&
         current.target.info.st_ino == folder.target.info.st_ino;
}

// The object is gone whatever the access lists say: a record that cannot be
// forgotten now (security.sddl unreadable) is replaced when a new object
// takes the name, so the removal still succeeds.
void ForgetRemoved(const machine::ResolvedPath& path) {
  static_cast<void>(winsec::ForgetObjectSecurity(winsec::ObjectKind::File, path.windows));
}

}  // namespace

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  if (lpPathName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  machine::ResolvedPath path;
  if (const DWORD error = machine::ResolveWindowsPath(lpPathName, path)) return Fail(error, FALSE);
  if (path.exists) return Fail(ERROR_ALREADY_EXISTS, FALSE);
  const int folder = path.target.folder->Get();
  if (::mkdirat(folder, path.target.name.c_str(), 0755) != 0) {
    return Fail(machine::files::FromErrno(errno, ERROR_PATH_NOT_FOUND), FALSE);
  }
  // A new folder never inherits an old one's recorded access list.
  const DWORD error =
      winsec::RecordNewObjectSecurity(winsec::ObjectKind::File, path.windows, lpSecurityAttributes);
  if (error != ERROR_SUCCESS) {
    ::unlinkat(folder, path.target.name.c_str(), AT_REMOVEDIR);
    return Fail(error, FALSE);
  }
  return TRUE;
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
  if (lpPathName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  machine::ResolvedPath path;
  if (const DWORD error = machine::ResolveWindowsPath(lpPathName, path)) {
    return path.isLink ? RemoveLink(path) : Fail(error, FALSE);
  }
  if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (path.isRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (!path.isDirectory) return Fail(ERROR_DIRECTORY, FALSE);
  // A link to a folder is removed itself, never the folder it names.
  if (path.isLink) return RemoveLink(path);
  if (IsCurrentDirectory(path)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
  if (::unlinkat(path.target.folder->Get(), path.target.name.c_str(), AT_REMOVEDIR) != 0) {
    const int error = errno == EEXIST ? ENOTEMPTY : errno;
    return Fail(machine::files::FromErrno(error), FALSE);
  }
  ForgetRemoved(path);
  return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  if (lpFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  machine::ResolvedPath path;
  if (const DWORD error = machine::ResolveWindowsPath(lpFileName, path)) {
    return path.isLink ? RemoveLink(path) : Fail(error, FALSE);
  }
  if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (path.isDirectory) return Fail(ERROR_ACCESS_DENIED, FALSE);
  // The name itself: a link goes, what it names stays.
  if (::unlinkat(path.entry.folder->Get(), path.entry.name.c_str(), 0) != 0) {
    return Fail(machine::files::FromErrno(errno), FALSE);
  }
  ForgetRemoved(path);
  return TRUE;
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  if (lpFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, INVALID_FILE_ATTRIBUTES);
  machine::ResolvedPath path;
  if (const DWORD error = machine::ResolveWindowsPath(lpFileName, path)) {
    return Fail(error, INVALID_FILE_ATTRIBUTES);
  }
  if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  DWORD attributes = path.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (path.isLink) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes;
}

// Stand-in rule: without a selected machine there is no current directory,
// and the call fails with ERROR_PATH_NOT_FOUND.
DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
  const std::u16string current = machine::CurrentDirectory();
  if (current.empty()) return Fail(ERROR_PATH_NOT_FOUND, DWORD{0});
  const auto needed = static_cast<DWORD>(current.size() + 1);
  if (lpBuffer == nullptr || nBufferLength < needed) return needed;
  std::memcpy(lpBuffer, current.c_str(), needed * sizeof(WCHAR));
  return needed - 1;
}

// The directory is kept in full form with the names in the caller's case, as
// Windows keeps it.
BOOL WINAPI SetCurrentDirectoryW(LPCWSTR lpPathName) {
  if (lpPathName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  machine::ResolvedPath path;
  if (const DWORD error = machine::ResolveWindowsPath(lpPathName, path)) return Fail(error, FALSE);
  if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (!path.isDirectory) return Fail(ERROR_DIRECTORY, FALSE);
  std::u16string full;
  if (const DWORD error = machine::FullWindowsPath(lpPathName, full)) return Fail(error, FALSE);
  machine::files::SetCurrentDirectoryUnchecked(full);
  return TRUE;
}
