// The product's registration: the product key (in both registry views on
// IIS 7 and later), its removal on roll-back, the uninstall entry and the
// uninstall package file.
#include "core/CSPFile.h"
#include "iis/IISHelper.h"
#include "setup/IQVSetupCore.h"
#include "system/RegKey.h"

namespace {

constexpr uint32_t kError = SetupUi::FlagIconError;
const char16_t kFatal[] = u"Fatal error";
const char16_t kCannotOpen[] = u"Cannot open registry key.\nSetup cannot continue.";
const char16_t kCannotCreate[] = u"Cannot create registry key.\nSetup cannot continue.";
const char16_t kCannotSet[] = u"Cannot set registry values.\nSetup cannot continue.";

CSPWString WithBackslash(const CSPWString& dir) {
  if (dir.GetLength() > 0 && dir.GetAt(dir.GetLength() - 1) == u'\\') return dir;
  return dir + u"\\";
}

}  // namespace

bool IQVSetupCore::WriteProductValues(RegKey& key) {
  if (key.SetStringValue(u"RootDir", rootDir) && key.SetStringValue(u"ProductDir", installDir) &&
      key.SetStringValue(u"RewriteConfigFile", WithBackslash(installDir) + u"Quaver.txt") &&
      key.SetDwordValue(u"ExtensibilityMode", static_cast<uint32_t>(extensibilityMode))) {
    return true;
  }
  Message(kCannotSet, kFatal, kError);
  return false;
}

// The 32-bit view's copy of the product key, below `software`.
bool IQVSetupCore::CreateProductKey(const char16_t* software) {
  RegKey parent;
  RegKey maker;
  RegKey product;
  if (!parent.Open(software, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS)) {
    Message(kCannotOpen, kFatal, kError);
    return false;
  }
  if (!parent.CreateSubKey(maker, u"Corvane", KEY_ALL_ACCESS, &securityAttributes) ||
      !maker.CreateSubKey(product, u"Quaver", KEY_ALL_ACCESS, &securityAttributes)) {
    Message(kCannotCreate, kFatal, kError);
    return false;
  }
  return WriteProductValues(product);
}

bool IQVSetupCore::RegisterProduct() {
  RegKey software;
  RegKey maker;
  RegKey product;
  if (!software.Open(u"Software", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS)) {
    Message(kCannotOpen, kFatal, kError);
    return false;
  }
  StepProgress(0);
  if (!software.CreateSubKey(maker, u"Corvane", KEY_ALL_ACCESS, &securityAttributes)) {
    Message(kCannotCreate, kFatal, kError);
    return false;
  }
  StepProgress(0);
  if (!maker.CreateSubKey(product, u"Quaver", KEY_ALL_ACCESS, &securityAttributes)) {
    Message(kCannotCreate, kFatal, kError);
    return false;
  }
  StepProgress(0);
  if (!WriteProductValues(product)) return false;
  IISHelper iis;
  if (iis.GetMajorVersion() > 6 && !CreateProductKey(u"Software\\Wow6432Node")) return false;
  StepProgress(3);
  return true;
}

void IQVSetupCore::UnregisterProduct() {
  HKEY software = nullptr;
  HKEY maker = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, as_wcstr(u"Software"), 0, KEY_ALL_ACCESS, &software) ==
          ERROR_SUCCESS &&
      RegOpenKeyExW(software, as_wcstr(u"Corvane"), 0, KEY_ALL_ACCESS, &maker) == ERROR_SUCCESS) {
    RegDeleteKeyW(maker, as_wcstr(u"Quaver"));
    DWORD subKeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(maker, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subKeys == 0 && values == 0) {
      RegDeleteKeyW(software, as_wcstr(u"Corvane"));
    }
  }
  if (maker != nullptr) RegCloseKey(maker);
  if (software != nullptr) RegCloseKey(software);
  StepProgress(-1);
}

bool IQVSetupCore::RegisterUninstall() {
  RegKey uninstall;
  RegKey entry;
  if (!uninstall.Open(kUninstallKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS) ||
      !uninstall.CreateSubKey(entry, kProductName, KEY_ALL_ACCESS, &securityAttributes)) {
    return false;
  }
  StepProgress(0);
  if (!entry.SetStringValue(u"DisplayName", kProductName) ||
      !entry.SetStringValue(u"UninstallString", installDir + u"Uninstall.exe")) {
    return false;
  }
  StepProgress(0);
  return true;
}

bool IQVSetupCore::WriteUninstallList(const CSPBuffer& buffer) {
  CSPFile file;
  file.throwOnError = false;
  if (!file.Create(installDir + u"Uninstall.cvsp", CSPFile::modeWrite) || !file.SeekToBegin() ||
      !file.Truncate() || !file.Write(buffer)) {
    return false;
  }
  file.Close();
  StepProgress(0);
  return true;
}

bool IQVSetupCore::CreateDesktopIcon() {
  PIDLIST_ABSOLUTE location = nullptr;
  char16_t desktop[MAX_PATH] = {};
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &location))) return false;
  const bool found = SHGetPathFromIDListW(location, as_wcstr(desktop));
  ILFree(location);
  if (!found) return false;
  CSPWString linkPath = WithBackslash(CSPWString(desktop)) + u"IIS Quaver Control Center.lnk";
  const CSPWString target = installDir + u"iquaverctlld.exe";
  void* object = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, &object))) {
    return false;
  }
  IShellLinkW* link = static_cast<IShellLinkW*>(object);
  IPersistFile* file = nullptr;
  const bool saved =
      SUCCEEDED(link->SetDescription(as_wcstr(u"IIS Quaver Control Center"))) &&
      SUCCEEDED(link->SetIconLocation(as_wcstr(target), 0)) &&
      SUCCEEDED(link->SetWorkingDirectory(as_wcstr(installDir))) &&
      SUCCEEDED(link->SetPath(as_wcstr(target))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Save(as_wcstr(linkPath), TRUE));
  if (file != nullptr) file->Release();
  link->Release();
  return saved;
}
