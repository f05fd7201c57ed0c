// Actions that go through the shell and the system modules: "EXEC" (write
// a file and start it) and "SLNK" (a symbolic link).
#include "package/CreateDirectoryPath.h"
#include "package/UpdateComponent.h"
#include "platform/win.h"

namespace {

// CreateSymbolicLinkW is looked up at run time: older servers lack it.
using CreateSymbolicLinkFunction = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

// ShellExecuteW answers a value above 32 for a started program.
const INT_PTR kShellExecuteFailed = 32;

}  // namespace

bool UpdateComponent::RunExecuteFile() {
  CSPWString directory = ResolveDirectory("PATH", true);
  CSPWString file = ResolveFile("FILENAME", directory);
  bool written = RunCreateFile();
  logText = CSPString("EXECUTE FILE: ") + file;
  if (!written) return false;
  HINSTANCE started = ShellExecuteW(nullptr, as_wcstr(u"Open"), as_wcstr(file.GetString()), nullptr,
                                    nullptr, SW_HIDE);
  if (reinterpret_cast<INT_PTR>(started) > kShellExecuteFailed) return true;
  return Fail("Cannot execute command file");
}

bool UpdateComponent::RunCreateSymbolicLink() {
  CSPWString directory = ResolveDirectory("PATH", true);
  CSPWString link = ResolveFile("FILENAME", directory);
  CSPWString target = ResolveFile("TARGET", directory);
  logText = CSPString("CREATE SYMLINK: ") + link + " ==> " + target;
  if (!CreateDirectoryPath(directory)) return Fail("File system error. Cannot create directory.");
  if (GetFileAttributesW(as_wcstr(link.GetString())) != INVALID_FILE_ATTRIBUTES) {
    if ((Options() & kKeepExisting) != 0) return true;
    DeleteFileW(as_wcstr(link.GetString()));
  }
  HMODULE kernel = LoadLibraryW(as_wcstr(u"Kernel32.dll"));
  if (kernel == nullptr) return FailAlways("System error. Cannot load Kernel32.dll.");
  // Through void(*)(), which matches any function type, since the SDK's
  // FARPROC has a result that the export's type does not share.
  auto create = reinterpret_cast<CreateSymbolicLinkFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "CreateSymbolicLinkW")));
  if (create == nullptr) {
    FreeLibrary(kernel);
    return FailAlways("System error. Cannot load function CreateSymbolicLinkW from Kernel32.dll.");
  }
  bool created = create(as_wcstr(link.GetString()), as_wcstr(target.GetString()), 0) != 0;
  FreeLibrary(kernel);
  if (!created) return Fail("File system error. Cannot create symbolic link.");
  return true;
}
