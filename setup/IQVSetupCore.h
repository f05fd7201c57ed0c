// The setup state shared by the wizard's pages and the installation, and the
// installation's procedures: the checks and the product directory, the
// product's registration, the IIS worker accounts and web-root rights,
// script execution and PHP, and the installation procedure itself, which
// runs once on a thread of its own.
//
// Everything shown goes through `sheet` (SetupUi): message boxes without
// owner, and, once the installation has started, the progress bar and its
// percentage text (`progressBar`, `percentLabel`) and "press Next".
#pragma once

#include <cstdint>

#include "core/CSPBuffer.h"
#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPString.h"
#include "platform/win.h"
#include "security/WSAccessList.h"
#include "security/WSSecurityDescriptor.h"
#include "security/WSUser.h"
#include "setup/SetupUi.h"

class IISHelper;
class RegKey;
class Update;

class IQVSetupCore {
 public:
  // Values of extensibilityMode.
  static constexpr int32_t ModeNone = 0;
  static constexpr int32_t ModeIsapi = 1;     // ISAPI filter, metabase
  static constexpr int32_t ModePipeline = 2;  // native module, application host
  static constexpr int32_t ModeChoose = 3;    // both offered, none chosen yet

  // `ui` receives the message boxes until StartInstallation names the sheet;
  // without one they go to the error stream.
  explicit IQVSetupCore(SetupUi* ui = nullptr);
  // The state holds the thread's handle and a descriptor that points into
  // itself.
  IQVSetupCore(const IQVSetupCore&) = delete;
  IQVSetupCore& operator=(const IQVSetupCore&) = delete;
  virtual ~IQVSetupCore();

  // Installation procedure.
  bool StartInstallation(SetupUi* sheet, SetupUi* progressBar, SetupUi* percentLabel);
  static DWORD WINAPI InstallThreadProc(LPVOID state);
  bool Installation();
  void StepProgress(int32_t count);

  // Checks and the product directory.
  bool IsValidDirectory(const CSPWString& path);
  CSPWString GetDefaultBaseDir();
  bool BrowseForDirectory(CSPWString& path);
  uint32_t CheckIisVersion();
  bool CheckDiskSpace();
  bool PrepareSecurity();
  bool CreateDirectories();
  void RemoveDirectories();
  bool RemoveModulesFolder(const CSPWString& path);

  // Product registration.
  bool RegisterProduct();
  void UnregisterProduct();
  bool RegisterUninstall();
  bool WriteUninstallList(const CSPBuffer& buffer);
  bool CreateDesktopIcon();

  // IIS worker accounts and web-root rights.
  bool CollectWorkerAccounts();
  bool GrantWebRootAccess();
  bool ResolvePoolIdentity(IISHelper& iis, WSUser& account, const CSPWString& poolName);

  // Script execution and PHP.
  bool AllowScriptExecution();
  void IntegratePhp(IISHelper& iis);
  bool FindPhpInRegistry(CSPString& dir);
  void FindPhpInMetabase(IISHelper& iis, CSPList<CSPString>& list);
  void FindPhpInAppHost(IISHelper& iis, CSPList<CSPString>& list);

  // Shows a message box without owner window.
  int32_t Message(const CSPWString& text, const CSPWString& caption, uint32_t flags);

  SetupUi* sheet = nullptr;
  CSPWString installDir;
  bool createDesktopIcon = false;
  bool createIisBackup = true;
  bool addWebRootAccess = true;
  bool allowScriptExecution = true;
  bool isapiAvailable = false;
  bool pipelineAvailable = false;
  int32_t extensibilityMode = ModeNone;
  CSPList<CSPWString> selectedSites;
  bool failed = false;
  CSPWString rootDir;
  CSPString report;
  SetupUi* progressBar = nullptr;
  SetupUi* percentLabel = nullptr;
  WSSecurityDescriptor securityDescriptor;
  SECURITY_ATTRIBUTES securityAttributes{};
  WSAccessList accessList;
  CSPMap<CSPWString, WSUser> workerAccounts;
  HANDLE installThread = nullptr;
  // The package engine's log of the last installation, for a log file of an
  // unattended run (the wizard shows only `report`).
  CSPString installLog;

 private:
  bool OpenWebService(IISHelper& iis, const char16_t* openFailure);
  bool CollectMetabaseAccounts();
  bool CollectAppHostAccounts();
  bool CollectPoolAccounts(IISHelper& iis);
  bool AddWorkerAccount(const WSUser& account);
  bool AddWorkerGroup(const char16_t* name);
  bool AddStandardAccount(int32_t id);
  bool GrantMetabaseWebRoots();
  bool GrantAppHostWebRoots();
  bool GrantDirectory(const CSPWString& directory);
  bool WriteProductValues(RegKey& key);
  bool CreateProductKey(const char16_t* software);
  bool RaiseScriptPermission(IISHelper& iis, const CSPWString& site);
  bool PrepareEngine(Update& engine, const CSPBuffer& package);
  bool PrepareMachine();
  bool RunPackage(Update& engine, const CSPBuffer& package);
  bool KeepPackageCopy(const CSPBuffer& package);
  void RollBack(Update& engine, IISHelper& iis);
  void ApplyOptions(Update& engine, IISHelper& iis);
};

// Product name and keys the installation and its operations share.
extern const char16_t kProductName[];   // "IIS Quaver"
extern const char16_t kProductKey[];    // "Software\Corvane\Quaver"
extern const char16_t kUninstallKey[];  // "...\CurrentVersion\Uninstall"

// The clean-up of a PHP path found in IIS (quotes dropped, "/" made "\",
// %NAME% expanded, lower-case), cut after its last backslash and added to
// the list; nothing is added when it has no backslash after its first
// character.
void CleanPhpPath(const CSPWString& path, CSPList<CSPString>& list);
