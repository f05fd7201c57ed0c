// GetDiskFreeSpaceExW: the figure of machine.ini [disk] FreeBytes when it is
// set (so a full disk can be simulated), otherwise the real free space of the
// file system that holds the image. Every drive of the image reports the same.
#include <sys/statvfs.h>

#include <charconv>

#include "platform/files/HostErrors.h"
#include "platform/machine.h"
#include "platform/paths.h"
#include "platform/win/errors.h"
#include "platform/win/fileapi.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Stand-in rule: a FreeBytes that is not a plain decimal number fails the
// call with ERROR_INVALID_DATA rather than inventing a figure.
bool ConfiguredFreeBytes(const std::string& text, ULONGLONG& bytes) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, bytes);
  return result.ec == std::errc() && result.ptr == end && !text.empty();
}

}  // namespace

BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName,
                                PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  machine::Machine* image = machine::CurrentMachine();
  if (image == nullptr) return Fail(ERROR_PATH_NOT_FOUND);
  const std::u16string directory =
      lpDirectoryName != nullptr ? std::u16string(lpDirectoryName) : machine::CurrentDirectory();
  machine::ResolvedPath path;
  if (const DWORD error = machine::ResolveWindowsPath(directory, path)) return Fail(error);
  if (!path.exists) return Fail(ERROR_PATH_NOT_FOUND);
  if (!path.isDirectory) return Fail(ERROR_DIRECTORY);
  const machine::UniqueFd folder(machine::OpenResolvedFolder(path));
  struct statvfs fs {};
  if (!folder.Valid() || ::fstatvfs(folder.Get(), &fs) != 0) {
    return Fail(machine::files::FromErrno(errno));
  }
  ULONGLONG available = static_cast<ULONGLONG>(fs.f_bavail) * fs.f_frsize;
  ULONGLONG total = static_cast<ULONGLONG>(fs.f_blocks) * fs.f_frsize;
  ULONGLONG free = static_cast<ULONGLONG>(fs.f_bfree) * fs.f_frsize;
  std::lock_guard<machine::ImageLock> guard(image->Lock());
  if (const std::string* configured = image->Settings().Get("disk", "FreeBytes")) {
    ULONGLONG bytes = 0;
    if (!ConfiguredFreeBytes(*configured, bytes)) return Fail(ERROR_INVALID_DATA);
    available = free = bytes;
    if (total < bytes) total = bytes;
  }
  if (lpFreeBytesAvailableToCaller != nullptr) lpFreeBytesAvailableToCaller->QuadPart = available;
  if (lpTotalNumberOfBytes != nullptr) lpTotalNumberOfBytes->QuadPart = total;
  if (lpTotalNumberOfFreeBytes != nullptr) lpTotalNumberOfFreeBytes->QuadPart = free;
  return TRUE;
}
