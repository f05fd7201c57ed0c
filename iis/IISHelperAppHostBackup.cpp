// The configuration-file half of the backups: a copy of the file beside it,
// named after the file's path, the backup name and ".back".
#include "core/CSPBuffer.h"
#include "core/CSPFile.h"
#include "iis/ComText.h"
#include "iis/IISHelper.h"

namespace {

// The whole of `from` into `to`, replacing what `to` held. The source is
// read before the target is touched, so a missing source leaves the target
// as it was.
bool CopyWholeFile(const CSPWString& from, const CSPWString& to) {
  CSPFile source;
  source.throwOnError = false;
  CSPBuffer bytes;
  bytes.throwOnError = false;
  if (!source.Open(from, CSPFile::modeRead) || !source.Read(bytes, 0) ||
      source.GetLastCount() != bytes.GetSize()) {
    return false;
  }
  source.Close();
  CSPFile target;
  target.throwOnError = false;
  return target.Create(to, CSPFile::modeWrite) && target.Write(bytes) &&
         target.GetLastCount() == bytes.GetSize();
}

}  // namespace

// True when there is no configuration file to back up: the metabase half
// may still have work to do.
bool IISHelper::BackupConfigFile(const CSPWString& name, FileBackup step) {
  if (!appHostConnected || configFile == nullptr) return true;
  BSTR path = nullptr;
  if (FAILED(configFile->get_FilePath(&path))) return false;
  const CSPWString file = ComText::Take(path);
  const CSPWString backup = file + u"." + name + u".back";
  switch (step) {
    case FileBackup::Take:
      return CopyWholeFile(file, backup);
    case FileBackup::Restore:
      return CopyWholeFile(backup, file);
    case FileBackup::Delete:
      return DeleteFileW(as_wcstr(backup)) != FALSE;
  }
  return false;
}
