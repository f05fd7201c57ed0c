// The checks before an installation and the product directory: IIS version,
// free space, the access list of the product, the two directory levels and
// their removal, the old modules folder, and the install path page's
// directory helpers.
#include "iis/IISHelper.h"
#include "setup/IQVSetupCore.h"

namespace {

constexpr uint32_t kError = SetupUi::FlagIconError;
constexpr uint64_t kMinimumFreeBytes = 2000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kSubfoldersAndFilesInherit = 3;
const char16_t kFatal[] = u"Fatal error";
const char16_t kUninstallObject[] =
    u"MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\IIS Quaver";

bool IsDirectory(const CSPWString& path) {
  const DWORD attributes = GetFileAttributesW(as_wcstr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreatedOrThere(const CSPWString& path, LPSECURITY_ATTRIBUTES security) {
  return CreateDirectoryW(as_wcstr(path), security) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool SystemFolderFits(char16_t (&buffer)[MAX_PATH]) {
  const UINT length = GetSystemDirectoryW(as_wcstr(buffer), MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

}  // namespace

bool IQVSetupCore::IsValidDirectory(const CSPWString& path) {
  if (IsDirectory(path)) return true;
  Message(u"The path you provided is invalid or does not exist.\nPlease, select another path.",
          u"Invalid path", kError);
  return false;
}

bool IQVSetupCore::BrowseForDirectory(CSPWString& path) {
  if (sheet == nullptr) return false;
  CSPWString chosen;
  if (!sheet->BrowseForFolder(u"Select the installastion directory", chosen)) return false;
  path = chosen;
  return true;
}

uint32_t IQVSetupCore::CheckIisVersion() {
  IISHelper iis;
  const uint32_t version = iis.GetMajorVersion();
  if (version < 6) {
    Message(u"This product can run only on IIS 6 or later.\r\nSetup cannot continue",
            u"Wrong version", kError);
    return 0;
  }
  if (!iis.Connect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost)) {
    Message(u"IIS is not installed on your system.\r\nSetup cannot continue", kFatal, kError);
    return 0;
  }
  return version;
}

bool IQVSetupCore::CheckDiskSpace() {
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER free{};
  const CSPWString drive =
      installDir.Mid(0, installDir.GetLength() < 2 ? installDir.GetLength() : 2);
  if (!GetDiskFreeSpaceExW(as_wcstr(drive), &available, &total, &free)) {
    Message(u"Cannot retrieve disk free space information.\nSetup cannot continue.", kFatal,
            kError);
    return false;
  }
  StepProgress(0);
  if (free.QuadPart < kMinimumFreeBytes) {
    Message(u"Insufficient disk free space.\nSetup cannot continue.", kFatal, kError);
    return false;
  }
  return true;
}

bool IQVSetupCore::AddStandardAccount(int32_t id) {
  WSUser account;
  if (!account.SetStandardUser(id)) {
    Message(u"Cannot initialize File Security information:\r\n\r\n" +
                CSPWString(account.GetLastErrorText()) + u"\r\n\r\nSetup cannot continue.",
            kFatal, kError);
    return false;
  }
  workerAccounts.SetAt(account.GetName(), account);
  return true;
}

bool IQVSetupCore::PrepareSecurity() {
  if (!CollectWorkerAccounts()) return false;
  if (!AddStandardAccount(WSUser::Administrators) || !AddStandardAccount(WSUser::Users)) {
    return false;
  }
  for (uint32_t i = 0; i < workerAccounts.GetCount(); ++i) {
    if (!accessList.AddAccess(workerAccounts.GetValueAt(i), GRANT_ACCESS, kGenericAll,
                              kSubfoldersAndFilesInherit)) {
      Message(u"Cannot set File Security information:\r\n\r\n" +
                  CSPWString(accessList.GetLastErrorText()) + u"\r\n\r\nSetup cannot continue.",
              kFatal, kError);
      return false;
    }
  }
  if (!securityDescriptor.SetDacl(accessList)) {
    Message(u"Cannot set File Security information:\r\n\r\n" +
                CSPWString(securityDescriptor.GetLastErrorText()) +
                u"\r\n\r\nSetup cannot continue.",
            kFatal, kError);
    return false;
  }
  StepProgress(0);
  securityAttributes.nLength = sizeof securityAttributes;
  securityAttributes.lpSecurityDescriptor = securityDescriptor.GetDescriptor();
  securityAttributes.bInheritHandle = TRUE;
  // The uninstall key does not exist on a first installation: Windows then
  // refuses the write, which is no error here.
  if (!accessList.SaveToObject(kUninstallObject, WSAccessList::RegistryKey, WSAccessList::Dacl,
                               WSAccessList::Protected)) {
    Message(u"Cannot set Registry Security information.\r\nSetup cannot continue.", kFatal, kError);
    return false;
  }
  return true;
}

bool IQVSetupCore::CreateDirectories() {
  const char16_t* failure = u"Cannot create installation directory.\nSetup cannot continue.";
  if (!CreatedOrThere(rootDir, nullptr) || !CreatedOrThere(installDir, &securityAttributes)) {
    Message(failure, kFatal, kError);
    return false;
  }
  if (!accessList.SaveToObject(installDir, WSAccessList::FileObject, WSAccessList::Dacl,
                               WSAccessList::Protected)) {
    Message(u"Cannot set security settings for installation directory.\nSetup cannot continue.",
            kFatal, kError);
    return false;
  }
  StepProgress(0);
  return true;
}

void IQVSetupCore::RemoveDirectories() {
  RemoveDirectoryW(as_wcstr(rootDir + u"\\Quaver"));
  StepProgress(-1);
  RemoveDirectoryW(as_wcstr(rootDir));
  StepProgress(-1);
}

bool IQVSetupCore::RemoveModulesFolder(const CSPWString& path) {
  WIN32_FIND_DATAW entry{};
  HANDLE listing = FindFirstFileW(as_wcstr(path + u"\\*.*"), &entry);
  if (listing == INVALID_HANDLE_VALUE) return false;
  do {
    const CSPWString name(as_u16cstr(entry.cFileName));
    const CSPWString full = path + u"\\" + name;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if (name != u"." && name != u"..") RemoveModulesFolder(full);
    } else {
      DeleteFileW(as_wcstr(full));
    }
  } while (FindNextFileW(listing, &entry));
  FindClose(listing);
  RemoveDirectoryW(as_wcstr(path));
  return true;
}

CSPWString IQVSetupCore::GetDefaultBaseDir() {
  char16_t buffer[MAX_PATH] = {};
  // The system folder stands in when there is no Program Files folder; with
  // neither, the field starts empty rather than with a half-written path.
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, as_wcstr(buffer))) &&
      !SystemFolderFits(buffer)) {
    buffer[0] = u'\0';
  }
  return CSPWString(buffer);
}
