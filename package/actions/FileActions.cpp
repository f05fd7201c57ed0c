// Actions on files and directories: "FILE", "RFIL", "CDIR", "RDIR".
#include "core/CSPBuffer.h"
#include "core/CSPFile.h"
#include "package/CreateDirectoryPath.h"
#include "package/UpdateComponent.h"
#include "platform/win.h"

namespace {

bool AlreadyThere(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool MakeLevel(const CSPWString& path) {
  if (CreateDirectoryW(as_wcstr(path.GetString()), nullptr)) return true;
  DWORD error = GetLastError();
  // A drive root answers access denied rather than "exists".
  return error == ERROR_ACCESS_DENIED || AlreadyThere(error);
}

}  // namespace

bool CreateDirectoryPath(const CSPWString& path) {
  // Most calls name a folder that is there already, or one whose parent is:
  // one call settles those. Anything else takes the walk, which gives the
  // same answer for them.
  if (CreateDirectoryW(as_wcstr(path.GetString()), nullptr) || AlreadyThere(GetLastError()))
    return true;
  const uint32_t length = path.GetLength();
  uint32_t i = 0;
  for (;;) {
    uint32_t slash = path.Find(u"\\", i);
    if (slash == CSPWString::kNotFound) break;
    if (slash == i) {  // leading and doubled backslashes
      ++i;
      continue;
    }
    if (!MakeLevel(path.Mid(0, slash))) return false;
    i = slash + 1;
    if (i == length) return true;
  }
  if (CreateDirectoryW(as_wcstr(path.GetString()), nullptr)) return true;
  return AlreadyThere(GetLastError());
}

bool UpdateComponent::RunCreateFile() {
  CSPWString directory = ResolveDirectory("PATH", true);
  CSPWString file = ResolveFile("FILENAME", directory);
  logText = CSPString("CREATE FILE: ") + file;
  if (!CreateDirectoryPath(directory)) return Fail("File system error. Cannot create directory.");
  CSPFile output;
  output.throwOnError = false;
  if ((Options() & kKeepExisting) != 0 &&
      output.Open(file, CSPFile::modeRead | CSPFile::modeWrite)) {
    return true;
  }
  if (!output.Create(file, CSPFile::modeWrite)) {
    return Fail("File system error. Cannot create file.");
  }
  const ComponentVariable* data = record.GetChild("DATA");
  bool written = output.SeekToBegin() && output.Truncate();
  if (written && data->GetBytes().GetSize() != 0) written = output.Write(data->GetBytes());
  output.Close();
  if (!written) return Fail("File system error. Cannot write file data.");
  return true;
}

bool UpdateComponent::RunRemoveFile() {
  CSPWString directory = ResolveDirectory("PATH", true);
  CSPWString file = ResolveFile("FILENAME", directory);
  logText = CSPString("REMOVE FILE: ") + file;
  if (DeleteFileW(as_wcstr(file.GetString())) || GetLastError() == ERROR_FILE_NOT_FOUND)
    return true;
  return Fail("File system error. Cannot remove file.");
}

bool UpdateComponent::RunCreateDirectory() {
  CSPWString directory = ResolveDirectory("PATH", false);
  logText = CSPString("CREATE DIRECTORY: ") + directory;
  if (CreateDirectoryPath(directory)) return true;
  return Fail("File system error. Cannot create directory.");
}

bool UpdateComponent::RunRemoveDirectory() {
  CSPWString directory = ResolveDirectory("PATH", false);
  logText = CSPString("REMOVE DIRECTORY: ") + directory;
  if (RemoveDirectoryW(as_wcstr(directory.GetString())) || GetLastError() == ERROR_FILE_NOT_FOUND) {
    return true;
  }
  return Fail("File system error. Cannot remove directory.");
}
