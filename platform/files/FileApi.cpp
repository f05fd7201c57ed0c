// File handles: CreateFileA/W, ReadFile, WriteFile, SetFilePointer,
// GetFileSize, SetEndOfFile. A handle is an open host file inside the
// image; writes go straight to it (a handle is not an atomic replace).
//
// Deviations from Windows:
// - Share modes are accepted but not enforced: a second opener is never
//   refused with ERROR_SHARING_VIOLATION.
// - No overlapped I/O: a non-null OVERLAPPED fails with ERROR_INVALID_PARAMETER.
// - Attributes and flags (FILE_FLAG_*, FILE_ATTRIBUTE_*) and template files
//   are ignored; a directory cannot be opened (no FILE_FLAG_BACKUP_SEMANTICS).
// - Only regular files open: a pipe or device node in the image is refused
//   with ERROR_ACCESS_DENIED, and so is writing (or truncating) a file that
//   has other names (hard links), since one of them may be outside the
//   image; reading it is allowed.
#include "platform/win/fileapi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/files/HostErrors.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/security/ObjectSecurity.h"
#include "platform/text.h"
#include "platform/win/errors.h"

namespace {

class FileObject : public machine::KernelObject {
 public:
  FileObject(int fd, bool canRead, bool canWrite, bool appendOnly)
      : fd(fd), canRead(canRead), canWrite(canWrite), appendOnly(appendOnly) {}
  ~FileObject() override { ::close(fd); }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  const int fd;
  const bool canRead;
  const bool canWrite;
  const bool appendOnly;  // FILE_APPEND_DATA without FILE_WRITE_DATA
  std::mutex lock;        // one transfer or seek at a time per handle
};

// How often a name that keeps turning into a link is resolved again.
constexpr int kRetries = 8;

template <typename T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

std::shared_ptr<FileObject> FileOf(HANDLE handle) {
  return machine::LookupHandle<FileObject>(handle);
}

struct Rights {
  bool read;
  bool write;
  bool append;
};

Rights RightsOf(DWORD access) {
  Rights rights{};
  rights.read = (access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0;
  rights.write = (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA)) != 0;
  rights.append = !rights.write && (access & FILE_APPEND_DATA) != 0;
  return rights;
}

bool Modifies(DWORD disposition, const Rights& rights) {
  return rights.write || rights.append || disposition == CREATE_ALWAYS ||
         disposition == TRUNCATE_EXISTING;
}

// Host open flags for a disposition; the existence checks are done by the
// caller so that the Windows codes come out exactly. Truncation waits until
// the opened file has been checked (CheckOpened). Never through a link: the
// path was resolved with its links already, and a name that turned into a
// link since then fails with ELOOP.
int OpenFlags(DWORD disposition, const Rights& rights) {
  int flags =
      O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (Modifies(disposition, rights) ? O_RDWR : O_RDONLY);
  switch (disposition) {
    case CREATE_NEW:
      return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      return flags | O_CREAT;
    default:
      return flags;
  }
}

// What the host opened must be a regular file with one name when it is to
// be written.
DWORD CheckOpened(int fd, DWORD disposition, const Rights& rights) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return machine::files::FromErrno(errno);
  if (!S_ISREG(info.st_mode)) return ERROR_ACCESS_DENIED;
  if (Modifies(disposition, rights) && info.st_nlink > 1) return ERROR_ACCESS_DENIED;
  const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  if (truncates && ::ftruncate(fd, 0) != 0) return machine::files::FromErrno(errno);
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    return machine::files::FromErrno(errno);
  }
  return ERROR_SUCCESS;
}

DWORD CheckDisposition(DWORD disposition, const machine::ResolvedPath& path) {
  if (path.exists && disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
  if (path.exists && path.isDirectory) return ERROR_ACCESS_DENIED;
  if (!path.exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
    return ERROR_FILE_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

}  // namespace

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) {
  if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW ||
      dwCreationDisposition > TRUNCATE_EXISTING) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  const Rights rights = RightsOf(dwDesiredAccess);
  if (dwCreationDisposition == TRUNCATE_EXISTING && !rights.write) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  machine::ResolvedPath path;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    if (const DWORD error = machine::ResolveWindowsPath(lpFileName, path)) {
      return Fail(error, INVALID_HANDLE_VALUE);
    }
    if (const DWORD error = CheckDisposition(dwCreationDisposition, path)) {
      return Fail(error, INVALID_HANDLE_VALUE);
    }
    fd = ::openat(path.target.folder->Get(), path.target.name.c_str(),
                  OpenFlags(dwCreationDisposition, rights), 0644);
    // A name swapped for a link since it was resolved: resolved again, so
    // the link is followed by the image's rules or refused.
    if (fd < 0 && errno == ELOOP && attempt < kRetries) continue;
    if (fd < 0) {
      const DWORD error = errno == EEXIST  ? ERROR_FILE_EXISTS
                          : errno == ELOOP ? ERROR_ACCESS_DENIED
                                           : machine::files::FromErrno(errno);
      return Fail(error, INVALID_HANDLE_VALUE);
    }
  }
  if (const DWORD error = CheckOpened(fd, dwCreationDisposition, rights)) {
    ::close(fd);
    return Fail(error, INVALID_HANDLE_VALUE);
  }
  // Security attributes apply only to a file this call creates, as on Windows.
  if (!path.exists) {
    if (const DWORD error = winsec::RecordNewObjectSecurity(winsec::ObjectKind::File, path.windows,
                                                            lpSecurityAttributes)) {
      ::close(fd);
      ::unlinkat(path.target.folder->Get(), path.target.name.c_str(), 0);
      return Fail(error, INVALID_HANDLE_VALUE);
    }
  }
  HANDLE handle = machine::RegisterHandle(
      std::make_shared<FileObject>(fd, rights.read, rights.write, rights.append));
  const bool reportsExisting =
      dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
  SetLastError(reportsExisting && path.exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  if (lpFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  const std::u16string name = machine::FromAnsi(lpFileName);
  return CreateFileW(name.c_str(), dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                     dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  if (lpOverlapped != nullptr || lpNumberOfBytesRead == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  *lpNumberOfBytesRead = 0;
  const auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!file->canRead) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (lpBuffer == nullptr && nNumberOfBytesToRead > 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::lock_guard<std::mutex> guard(file->lock);
  auto* out = static_cast<char*>(lpBuffer);
  DWORD done = 0;
  // At the end of the file the read succeeds with what was there, possibly 0 bytes.
  while (done < nNumberOfBytesToRead) {
    const ssize_t n = ::read(file->fd, out + done, nNumberOfBytesToRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *lpNumberOfBytesRead = done;
      return Fail(machine::files::FromErrno(errno), FALSE);
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  *lpNumberOfBytesRead = done;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  if (lpOverlapped != nullptr || lpNumberOfBytesWritten == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  *lpNumberOfBytesWritten = 0;
  const auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!file->canWrite && !file->appendOnly) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (lpBuffer == nullptr && nNumberOfBytesToWrite > 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::lock_guard<std::mutex> guard(file->lock);
  if (file->appendOnly) ::lseek(file->fd, 0, SEEK_END);
  const auto* in = static_cast<const char*>(lpBuffer);
  DWORD done = 0;
  while (done < nNumberOfBytesToWrite) {
    const ssize_t n = ::write(file->fd, in + done, nNumberOfBytesToWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *lpNumberOfBytesWritten = done;
      return Fail(n < 0 ? machine::files::FromErrno(errno) : ERROR_DISK_FULL, FALSE);
    }
    done += static_cast<DWORD>(n);
  }
  *lpNumberOfBytesWritten = done;
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  const auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
  if (dwMoveMethod > FILE_END) return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  // With a high part the two form one signed 64-bit distance; without, the
  // low part alone is signed.
  const int64_t distance =
      lpDistanceToMoveHigh != nullptr
          ? static_cast<int64_t>(
                (static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                static_cast<uint32_t>(lDistanceToMove))
          : static_cast<int64_t>(lDistanceToMove);
  std::lock_guard<std::mutex> guard(file->lock);
  int64_t base = 0;
  if (dwMoveMethod == FILE_CURRENT) {
    base = ::lseek(file->fd, 0, SEEK_CUR);
  } else if (dwMoveMethod == FILE_END) {
    struct stat st {};
    base = ::fstat(file->fd, &st) == 0 ? st.st_size : -1;
  }
  if (base < 0) return Fail(machine::files::FromErrno(errno), INVALID_SET_FILE_POINTER);
  int64_t target = 0;
  if (__builtin_add_overflow(base, distance, &target)) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  if (target < 0) return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
  if (lpDistanceToMoveHigh == nullptr && target > 0xFFFFFFFFll) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  if (::lseek(file->fd, target, SEEK_SET) < 0) {
    return Fail(machine::files::FromErrno(errno), INVALID_SET_FILE_POINTER);
  }
  const auto low = static_cast<DWORD>(static_cast<uint64_t>(target) & 0xFFFFFFFFu);
  if (lpDistanceToMoveHigh != nullptr) {
    *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  }
  // A real position whose low part looks like the failure value.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
  return low;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  const auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
  struct stat st {};
  if (::fstat(file->fd, &st) != 0) return Fail(machine::files::FromErrno(errno), INVALID_FILE_SIZE);
  const auto size = static_cast<uint64_t>(st.st_size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  const auto low = static_cast<DWORD>(size & 0xFFFFFFFFu);
  if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
  return low;
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  const auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!file->canWrite) return Fail(ERROR_ACCESS_DENIED, FALSE);
  std::lock_guard<std::mutex> guard(file->lock);
  const off_t position = ::lseek(file->fd, 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(file->fd, position) != 0) {
    return Fail(machine::files::FromErrno(errno), FALSE);
  }
  return TRUE;
}
