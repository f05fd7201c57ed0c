// ShellExecuteW: records the request in shell.log and answers for the file
// named (platform/win/shellapi.h).
#include "platform/paths.h"
#include "platform/shell/ShellLog.h"
#include "platform/win.h"

namespace {

// Windows' value for a started program: any value above 32.
constexpr long kStarted = 42;

bool IsRelative(std::u16string_view file) {
  const bool drive = file.size() >= 2 && file[1] == u':';
  const bool rooted = !file.empty() && (file[0] == u'\\' || file[0] == u'/');
  return !drive && !rooted;
}

bool FileExists(const std::u16string& file, const std::u16string& directory) {
  if (file.empty()) return false;
  std::u16string path = file;
  if (IsRelative(file) && !directory.empty()) {
    path = directory;
    if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
    path += file;
  }
  machine::ResolvedPath resolved;
  return machine::ResolveWindowsPath(path, resolved) == ERROR_SUCCESS && resolved.exists;
}

std::u16string Text(LPCWSTR value) { return value == nullptr ? std::u16string() : value; }

}  // namespace

HINSTANCE WINAPI ShellExecuteW(HWND, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                               LPCWSTR lpDirectory, int nShowCmd) {
  shell::ShellRequest request;
  request.verb = Text(lpOperation);
  request.file = Text(lpFile);
  request.parameters = Text(lpParameters);
  request.directory = Text(lpDirectory);
  request.showCommand = nShowCmd;
  request.result = FileExists(request.file, request.directory) ? kStarted : SE_ERR_FNF;
  try {
    shell::AppendShellRequest(request);
  } catch (const std::exception&) {
    // Nothing was recorded, so nothing was started.
    SetLastError(ERROR_ACCESS_DENIED);
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_ACCESSDENIED));
  }
  if (request.result != kStarted) SetLastError(ERROR_FILE_NOT_FOUND);
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(request.result));
}
