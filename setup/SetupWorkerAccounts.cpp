// The accounts IIS worker processes run under, read from the metabase or
// the application host, and the read and execute rights they get on the
// chosen websites' root directories.
#include "core/ExpandEnvVars.h"
#include "iis/IISHelper.h"
#include "setup/IQVSetupCore.h"

namespace {

constexpr uint32_t kError = SetupUi::FlagIconError;
constexpr uint32_t kWarning = SetupUi::FlagIconWarning;
const char16_t kSystemError[] = u"System error";
const char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";
const char16_t kPoolsSection[] = u"system.applicationHost/applicationPools";
constexpr uint32_t kKeyType = 1002;
constexpr uint32_t kVirtualRootPath = 3001;
constexpr uint32_t kWamUserName = 7501;
constexpr uint32_t kPoolIdentityType = 9021;
constexpr uint32_t kReadExecuteAttributes = 0x1 | 0x20 | 0x80;
constexpr uint32_t kGenericReadExecute = 0xA0000000;
constexpr uint32_t kSubfoldersAndFilesInherit = 3;
// AppPoolIdentityType of a pool running as "IIS AppPool\<pool>".
constexpr uint32_t kPoolOwnIdentity = 4;

// Standard account of a metabase identity type 0 to 2 (3 names a user).
const int32_t kStandardOfIdentity[] = {WSUser::LocalSystem, WSUser::Service,
                                       WSUser::NetworkService};

// A pool running as its own identity has the virtual account
// "IIS AppPool\<pool>". Looked up on the local system: the domain part of
// that name is no computer, so WSUser::SetName cannot be used for it.
bool ResolvePoolAccount(const CSPWString& poolName, WSUser& account) {
  const CSPWString fullName = u"IIS AppPool\\" + poolName;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  char16_t domain[256];
  DWORD domainSize = 256;
  SID_NAME_USE use = SidTypeUnknown;
  return LookupAccountNameW(nullptr, as_wcstr(fullName), sid, &sidSize, as_wcstr(domain),
                            &domainSize, &use) &&
         account.SetSid(sid) && account.GetName().GetLength() > 0;
}

// The pool a metabase path names ("/LM/W3SVC/AppPools/<pool>/"), or empty
// for any other key, the pool defaults "AppPools" among them.
CSPWString PoolNameOfPath(const CSPWString& path) {
  uint32_t end = path.GetLength();
  while (end > 0 && path.GetAt(end - 1) == u'/') --end;
  uint32_t start = end;
  while (start > 0 && path.GetAt(start - 1) != u'/') --start;
  if (start == 0 || start == end) return CSPWString();
  uint32_t parentStart = start - 1;
  while (parentStart > 0 && path.GetAt(parentStart - 1) != u'/') --parentStart;
  if (path.Mid(parentStart, start - 1 - parentStart).CompareNoCase(u"AppPools") != 0) {
    return CSPWString();
  }
  return path.Mid(start, end - start);
}

}  // namespace

bool IQVSetupCore::CollectWorkerAccounts() {
  return extensibilityMode == ModePipeline ? CollectAppHostAccounts() : CollectMetabaseAccounts();
}

bool IQVSetupCore::GrantWebRootAccess() {
  return extensibilityMode == ModePipeline ? GrantAppHostWebRoots() : GrantMetabaseWebRoots();
}

// Connects to the metabase and opens "/LM/W3SVC", with the message of each
// failure.
bool IQVSetupCore::OpenWebService(IISHelper& iis, const char16_t* openFailure) {
  if (!iis.Connect(IISHelper::ConnectMetabase)) {
    Message(u"Cannot connect to IIS metabase", kSystemError, kError);
    return false;
  }
  if (!iis.OpenKey(u"/LM/W3SVC")) {
    Message(openFailure, kSystemError, kError);
    return false;
  }
  return true;
}

bool IQVSetupCore::AddWorkerAccount(const WSUser& account) {
  return workerAccounts.SetAt(account.GetName(), account);
}

bool IQVSetupCore::AddWorkerGroup(const char16_t* name) {
  WSUser group;
  if (!group.SetName(name)) {
    Message(CSPWString(u"Cannot resolve user ") + name, kSystemError, kError);
    return false;
  }
  return AddWorkerAccount(group);
}

bool IQVSetupCore::CollectMetabaseAccounts() {
  IISHelper iis;
  if (!OpenWebService(iis, u"Cannot open IIS metabase key \"/LM/W3SVC\"")) return false;
  if (!AddWorkerGroup(iis.GetMajorVersion() == 6 ? u"IIS_WPG" : u"IIS_IUSRS")) return false;
  CSPList<CSPWString> paths;
  if (!iis.GetDataPaths(kWamUserName, paths, u"")) {
    Message(u"Cannot retrieve WAM users from IIS metabase", kSystemError, kError);
    return false;
  }
  uint32_t attributes = 0;
  uint32_t userType = 0;
  for (uint32_t i = 0; i < paths.GetCount(); ++i) {
    const CSPWString& path = paths.GetAt(i);
    CSPWString name;
    if (!iis.GetStringData(kWamUserName, name, attributes, userType, path)) {
      Message(u"Cannot retrieve WAM user from IIS metabase key \"/LM/W3SVC/" + path + u"\"",
              kSystemError, kError);
      return false;
    }
    if (workerAccounts.Lookup(name) != nullptr) continue;
    WSUser user;
    if (user.SetName(name)) {
      AddWorkerAccount(user);
    } else {
      Message(u"Cannot resolve user " + name +
                  u"\r\n\r\nPlease, run the diagnostics tool in IIS Quaver\r\n"
                  u"Control Center after installation is finished",
              u"Unknown user", kWarning);
    }
  }
  paths.RemoveAll(true);
  if (!iis.GetDataPaths(kPoolIdentityType, paths, u"")) {
    Message(u"Cannot retrieve Application Pool Identity Types from IIS metabase", kSystemError,
            kError);
    return false;
  }
  for (uint32_t i = 0; i < paths.GetCount(); ++i) {
    const CSPWString& path = paths.GetAt(i);
    uint32_t type = 0;
    if (!iis.GetDwordData(kPoolIdentityType, type, attributes, userType, path)) {
      Message(
          u"Cannot retrieve Application Pool Identity Type from IIS metabase key "
          u"\"/LM/W3SVC/" +
              path + u"\"",
          kSystemError, kError);
      return false;
    }
    // Since IIS 7.5 a pool runs as its own virtual account by default, and
    // the compatibility layer reports that as identity type 4. Refusing it
    // would leave every such pool without rights.
    if (type == kPoolOwnIdentity && iis.GetMajorVersion() >= 7) {
      const CSPWString poolName = PoolNameOfPath(path);
      if (poolName.GetLength() == 0) continue;  // the defaults: covered by IIS_IUSRS
      WSUser account;
      if (!ResolvePoolAccount(poolName, account)) {
        Message(u"Cannot resolve user IIS AppPool\\" + poolName, kSystemError, kError);
        return false;
      }
      if (workerAccounts.Lookup(account.GetName()) == nullptr) AddWorkerAccount(account);
      continue;
    }
    if (type > 3) {
      Message(u"Invalid Application Pool Identity Type value in key \"" + path + u"\"",
              kSystemError, kWarning);
      continue;
    }
    if (type == 3) continue;
    WSUser account;
    const int32_t id = kStandardOfIdentity[type];
    if (!account.SetStandardUser(id)) {
      Message(u"The system cannot resolve the standard user with ID = " + CSPWString(id),
              kSystemError, kError);
      return false;
    }
    if (workerAccounts.Lookup(account.GetName()) == nullptr) AddWorkerAccount(account);
  }
  return true;
}

bool IQVSetupCore::CollectAppHostAccounts() {
  IISHelper iis;
  if (!iis.Connect(IISHelper::ConnectAppHost)) {
    Message(u"Cannot connect to IIS configuration", kSystemError, kError);
    return false;
  }
  if (!iis.SetConfigPath(kAppHostPath)) {
    Message(u"Cannot open IIS configuration path \"MACHINE/WEBROOT/APPHOST\"", kSystemError,
            kError);
    return false;
  }
  if (!AddWorkerGroup(u"IIS_IUSRS")) return false;
  const char16_t* failure = u"Cannot open configuration section for application pools";
  if (!iis.OpenSection(kPoolsSection, u"")) {
    Message(failure, kSystemError, kError);
    return false;
  }
  if (!iis.EnterChildElement(u"applicationPoolDefaults")) {
    Message(u"Cannot open configuration section for application pool defaults", kSystemError,
            kError);
    return false;
  }
  if (!iis.EnterChildElement(u"processModel")) {
    Message(u"Cannot open configuration section for application pool default process model",
            kSystemError, kError);
    return false;
  }
  WSUser defaults;
  if (!ResolvePoolIdentity(iis, defaults, u"(default)")) return false;
  if (defaults.GetSid() != nullptr) AddWorkerAccount(defaults);
  if (!iis.OpenSection(kPoolsSection, u"")) {
    Message(failure, kSystemError, kError);
    return false;
  }
  return CollectPoolAccounts(iis);
}

bool IQVSetupCore::CollectPoolAccounts(IISHelper& iis) {
  uint32_t count = 0;
  if (!iis.GetElementCount(count)) {
    Message(u"Cannot retrieve number of application pools", kSystemError, kError);
    return false;
  }
  IAppHostElement* pools = nullptr;
  iis.GetSection(pools);
  for (uint32_t i = 0; i < count; ++i) {
    iis.SetSection(pools);
    CSPWString element;
    CSPWString name;
    if (!iis.SelectElement(i) || !iis.GetElementName(element) ||
        !iis.GetElementPropertyString(u"name", name)) {
      Message(u"Cannot retrieve application pool #" + CSPWString(i), kSystemError, kError);
      continue;
    }
    if (element != u"add") continue;
    if (!iis.EnterElement() || !iis.EnterChildElement(u"processModel")) {
      Message(u"Cannot retrieve process model for application pool " + name, kSystemError, kError);
      continue;
    }
    WSUser account;
    if (ResolvePoolIdentity(iis, account, name) && account.GetSid() != nullptr) {
      AddWorkerAccount(account);
    }
  }
  if (pools != nullptr) pools->Release();
  return true;
}

bool IQVSetupCore::ResolvePoolIdentity(IISHelper& iis, WSUser& account,
                                       const CSPWString& poolName) {
  CSPWString type;
  if (!iis.GetSectionPropertyString(u"identityType", type)) {
    Message(u"Cannot retrieve identity type for application pool " + poolName, kSystemError,
            kError);
    return false;
  }
  struct Standard {
    const char16_t* type;
    int32_t id;
    const char16_t* failure;
  };
  static const Standard kStandards[] = {
      {u"NetworkService", WSUser::NetworkService, u"Cannot resolve standard user NETWORK SERVICE"},
      {u"LocalSystem", WSUser::LocalSystem, u"Cannot resolve standard user SYSTEM"},
      {u"LocalService", WSUser::Service, u"Cannot resolve standard user SERVICE"},
  };
  for (const Standard& standard : kStandards) {
    if (type != standard.type) continue;
    if (account.SetStandardUser(standard.id)) return true;
    Message(standard.failure, kSystemError, kError);
    return false;
  }
  if (type == u"SpecificUser") {
    CSPWString userName;
    if (!iis.GetSectionPropertyString(u"userName", userName)) {
      Message(u"Cannot retrieve user name for application pool " + poolName, kSystemError, kError);
      return false;
    }
    if (account.SetName(userName)) return true;
    Message(u"Cannot resolve standard user " + userName, kSystemError, kError);
    return false;
  }
  if (type == u"ApplicationPoolIdentity") {
    // The defaults name no pool: their pools are covered by IIS_IUSRS, and
    // each pool adds its own account below. The caller adds nothing for a
    // principal without SID.
    if (poolName == u"(default)") return true;
    if (ResolvePoolAccount(poolName, account)) return true;
    Message(u"Cannot resolve user IIS AppPool\\" + poolName, kSystemError, kError);
    return false;
  }
  Message(u"Wrong identity type is specified for application pool " + poolName, kSystemError,
          kError);
  return false;
}

bool IQVSetupCore::GrantDirectory(const CSPWString& directory) {
  WSAccessList list;
  if (!list.LoadFromObject(directory, WSAccessList::FileObject, WSAccessList::Dacl)) {
    Message(u"Cannot retrieve security information for directory " + directory, kSystemError,
            kError);
    return false;
  }
  for (uint32_t i = 0; i < workerAccounts.GetCount(); ++i) {
    const WSUser& account = workerAccounts.GetValueAt(i);
    WSAccessEntry granted(account, GRANT_ACCESS, 0, 0);
    if (list.GetEffectiveRights(granted) &&
        (granted.permissions & kReadExecuteAttributes) == kReadExecuteAttributes) {
      continue;
    }
    if (!list.AddAccess(account, GRANT_ACCESS, kGenericReadExecute, kSubfoldersAndFilesInherit)) {
      Message(u"Cannot add access rights for user " + account.GetName(), kSystemError, kError);
      return false;
    }
  }
  if (!list.SaveToObject(directory, WSAccessList::FileObject, WSAccessList::Dacl,
                         WSAccessList::KeepProtection)) {
    Message(u"Cannot add access rights for user group IIS_WPG on directory " + directory,
            kSystemError, kError);
    return false;
  }
  return true;
}

bool IQVSetupCore::GrantMetabaseWebRoots() {
  IISHelper iis;
  if (!OpenWebService(iis, u"Cannot open IIS metabase")) return false;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  for (uint32_t i = 0; i < selectedSites.GetCount(); ++i) {
    const CSPWString& id = selectedSites.GetAt(i);
    CSPWString type;
    CSPWString directory;
    if (!iis.GetStringData(kKeyType, type, attributes, userType, id)) {
      Message(u"Cannot open IIS website metabase information", kSystemError, kError);
      return false;
    }
    if (type.CompareNoCase(u"IIsWebServer") != 0) continue;
    if (!iis.GetStringData(kVirtualRootPath, directory, attributes, userType, id + u"/Root")) {
      continue;
    }
    // On IIS 7 and later the metabase shows the application host's paths,
    // which keep their %SystemDrive% references; IIS 6 paths hold none.
    if (!GrantDirectory(ExpandEnvVars(directory))) return false;
  }
  iis.Disconnect(IISHelper::ConnectMetabase);
  StepProgress(5);
  return true;
}

bool IQVSetupCore::GrantAppHostWebRoots() {
  IISHelper iis;
  if (!iis.Connect(IISHelper::ConnectAppHost) || !iis.OpenConfigPath(kAppHostPath)) {
    Message(u"Cannot open IIS configuration", kSystemError, kError);
    return false;
  }
  CSPList<IISHelper::Site> sites;
  if (!iis.GetSites(sites)) {
    Message(u"Cannot retrieve IIS websites", kSystemError, kError);
    return false;
  }
  if (!iis.OpenSection(u"system.applicationHost/sites", u"")) {
    Message(u"Cannot open IIS sites section", kSystemError, kError);
    return false;
  }
  IAppHostElement* section = nullptr;
  iis.GetSection(section);
  bool granted = true;
  for (uint32_t i = 0; granted && i < sites.GetCount(); ++i) {
    const IISHelper::Site& site = sites.GetAt(i);
    bool chosen = false;
    for (uint32_t j = 0; !chosen && j < selectedSites.GetCount(); ++j) {
      chosen = selectedSites.GetAt(j) == site.id;
    }
    if (!chosen) continue;
    iis.SetSection(section);
    const char16_t* failure = nullptr;
    CSPWString directory;
    if (!iis.FindElement(site.name, u"site", u"name", 0)) {
      failure = u"Cannot open configuration for site ";
    } else if (!iis.EnterElement() || !iis.FindElement(u"/", u"application", u"path", 0)) {
      failure = u"Cannot open root application configuration for site ";
    } else if (!iis.EnterElement() || !iis.FindElement(u"/", u"virtualDirectory", u"path", 0)) {
      failure = u"Cannot open root virtual directory configuration for site ";
    } else if (!iis.GetElementPropertyString(u"physicalPath", directory)) {
      failure = u"Cannot retrieve root physical path for site ";
    }
    if (failure != nullptr) {
      Message(failure + site.name, kSystemError, kError);
      granted = false;
    } else {
      granted = GrantDirectory(ExpandEnvVars(directory));
    }
  }
  if (section != nullptr) section->Release();
  if (!granted) return false;
  iis.Disconnect(IISHelper::ConnectAppHost);
  StepProgress(5);
  return true;
}
