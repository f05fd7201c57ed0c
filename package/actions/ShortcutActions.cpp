// Start-menu shortcuts: "CSHC" makes one in the all-users Programs folder
// through the shell link object, "RSHC" removes one from there or from the
// current user's Programs folder.
#include <vector>

#include "iis/ComRef.h"
#include "package/UpdateComponent.h"
#include "platform/win.h"

namespace {

// Windows' own "file invalid" answer for a shortcut it cannot delete; it
// does not count as a failure of the removal.
const DWORD kFileInvalid = 1006;

// The Programs folder named by `csidl`, with a final backslash.
bool ProgramsFolder(int csidl, CSPWString& folder) {
  PIDLIST_ABSOLUTE location = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &location))) return false;
  char16_t path[MAX_PATH] = {};
  bool found = SHGetPathFromIDListW(location, as_wcstr(path)) != FALSE;
  ILFree(location);
  if (!found) return false;
  folder = path;
  if (folder.GetLength() == 0 || folder.GetAt(folder.GetLength() - 1) != u'\\') folder += u"\\";
  return true;
}

// The shortcut's file name is the package's 8-bit text in the server's
// ANSI code page.
CSPWString FromAnsi(const CSPString& text) {
  const int length = static_cast<int>(text.GetLength());
  if (length == 0) return CSPWString();
  int units = MultiByteToWideChar(CP_ACP, 0, text.GetString(), length, nullptr, 0);
  if (units <= 0) return CSPWString(text);
  std::vector<char16_t> wide(static_cast<size_t>(units) + 1, u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.GetString(), length, as_wcstr(wide.data()), units);
  return CSPWString(wide.data());
}

}  // namespace

bool UpdateComponent::RunCreateShortcut() {
  CSPWString directory = ResolveDirectory("TARGET_PATH", true);
  CSPWString target = ResolveFile("TARGET_FILENAME", directory);
  logText = CSPString("CREATE SHORTCUT: ") + Text("SHORTCUT_FOLDER") + "\\" +
            Text("SHORTCUT_FILENAME") + " target: " + target;
  CSPWString folder;
  if (!ProgramsFolder(CSIDL_COMMON_PROGRAMS, folder)) {
    return Fail("Cannot retrieve Start|Programs folder location");
  }
  folder += CSPWString(Text("SHORTCUT_FOLDER"));
  if (!CreateDirectoryW(as_wcstr(folder.GetString()), nullptr)) {
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
      return Fail("Cannot create program shortcut");
    }
  }
  folder += u"\\";
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Out())))) {
    return Fail("Cannot create program shortcut object");
  }
  const CSPWString description(Text("DESCRIPTION"));
  if (FAILED(link->SetDescription(as_wcstr(description.GetString()))) ||
      FAILED(link->SetIconLocation(as_wcstr(target.GetString()), 0)) ||
      FAILED(link->SetWorkingDirectory(as_wcstr(directory.GetString()))) ||
      FAILED(link->SetPath(as_wcstr(target.GetString())))) {
    return Fail("Cannot initialize program shortcut object");
  }
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())))) {
    return Fail("Cannot create program shortcut file object");
  }
  const CSPWString path = folder + FromAnsi(Text("SHORTCUT_FILENAME"));
  if (FAILED(file->Save(as_wcstr(path.GetString()), TRUE)))
    return Fail("Cannot save program shortcut file");
  return true;
}

bool UpdateComponent::RunRemoveShortcut() {
  const CSPWString folderName(Text("SHORTCUT_FOLDER"));
  const CSPWString fileName(Text("SHORTCUT_FILENAME"));
  logText =
      CSPString("REMOVE SHORTCUT: ") + Text("SHORTCUT_FOLDER") + "\\" + Text("SHORTCUT_FILENAME");
  CSPWString user, common;
  if (!ProgramsFolder(CSIDL_PROGRAMS, user)) {
    return Fail("Cannot retrieve Start|Programs folder location");
  }
  if (!ProgramsFolder(CSIDL_COMMON_PROGRAMS, common)) {
    return Fail("Cannot retrieve Start|Programs common folder location");
  }
  user += folderName;
  common += folderName;
  if (!DeleteFileW(as_wcstr((common + u"\\" + fileName).GetString()))) {
    DWORD commonError = GetLastError();
    if (!DeleteFileW(as_wcstr((user + u"\\" + fileName).GetString()))) {
      DWORD userError = GetLastError();
      if (commonError != kFileInvalid && userError != kFileInvalid) {
        return Fail("Cannot remove program shortcut");
      }
    }
  }
  // Each folder goes only when nothing else is left in it.
  RemoveDirectoryW(as_wcstr(user.GetString()));
  RemoveDirectoryW(as_wcstr(common.GetString()));
  return true;
}
