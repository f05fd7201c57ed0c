// Start-menu shortcuts: "RSHC" removes one from the all-users or the
// current user's Programs folder.
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
  bool found = SHGetPathFromIDListW(location, path) != FALSE;
  ILFree(location);
  if (!found) return false;
  folder = path;
  if (folder.GetLength() == 0 || folder.GetAt(folder.GetLength() - 1) != u'\\') folder += u"\\";
  return true;
}

}  // namespace

bool UpdateComponent::RunRemoveShortcut() {
  const CSPWString folderName(Text("SHORTCUT_FOLDER"));
  const CSPWString fileName(Text("SHORTCUT_FILENAME"));
  logText = CSPString("REMOVE SHORTCUT: ") + Text("SHORTCUT_FOLDER") + "\\" +
            Text("SHORTCUT_FILENAME");
  CSPWString user, common;
  if (!ProgramsFolder(CSIDL_PROGRAMS, user)) {
    return Fail("Cannot retrieve Start|Programs folder location");
  }
  if (!ProgramsFolder(CSIDL_COMMON_PROGRAMS, common)) {
    return Fail("Cannot retrieve Start|Programs common folder location");
  }
  user += folderName;
  common += folderName;
  if (!DeleteFileW((common + u"\\" + fileName).GetString())) {
    DWORD commonError = GetLastError();
    if (!DeleteFileW((user + u"\\" + fileName).GetString())) {
      DWORD userError = GetLastError();
      if (commonError != kFileInvalid && userError != kFileInvalid) {
        return Fail("Cannot remove program shortcut");
      }
    }
  }
  // Each folder goes only when nothing else is left in it.
  RemoveDirectoryW(user.GetString());
  RemoveDirectoryW(common.GetString());
  return true;
}
