// Translation of host errno values into Win32 error codes, in one place so
// every file function reports the same code for the same failure.
#pragma once

#include <cerrno>

#include "platform/win/errors.h"

namespace machine::files {

// `missing` is what ENOENT means at the call site: usually
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND where a folder was expected.
inline DWORD FromErrno(int error, DWORD missing = ERROR_FILE_NOT_FOUND) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return missing;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ELOOP:
      return ERROR_CANT_RESOLVE_FILENAME;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EIO:
      return ERROR_GEN_FAILURE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace machine::files
