#include "platform/files/WholeFiles.h"

namespace machine::files {

DWORD ReadWindowsFile(const std::u16string& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  const DWORD size = GetFileSize(file, nullptr);
  bytes.assign(size == INVALID_FILE_SIZE ? 0 : size, '\0');
  DWORD read = 0;
  const bool ok = size != INVALID_FILE_SIZE && ReadFile(file, bytes.data(), size, &read, nullptr) &&
                  read == size;
  const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  return ok || error != ERROR_SUCCESS ? error : ERROR_READ_FAULT;
}

DWORD WriteWindowsFile(const std::u16string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (!ok && error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
  CloseHandle(file);
  if (!ok) DeleteFileW(path.c_str());
  return error;
}

}  // namespace machine::files
