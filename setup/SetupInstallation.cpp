// The installation procedure: from the chosen directory, mode, websites and
// options to an installed product and its report, or to a roll-back. It
// runs once, on a thread of its own.
#include "core/CSPFile.h"
#include "iis/FilterPriorities.h"
#include "iis/IISHelper.h"
#include "package/CreateDirectoryPath.h"
#include "package/Update.h"
#include "setup/IQVSetupCore.h"
#include "system/ServiceHelper.h"

namespace {

constexpr uint32_t kError = SetupUi::FlagIconError;
const char16_t kTempBackup[] = u"Quaver Setup Temp Backup";
const char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";
constexpr int32_t kFixedSteps = 12;
constexpr int32_t kWebRootSteps = 5;
constexpr int32_t kScriptExecutionSteps = 1;
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kBothConnections = IISHelper::ConnectMetabase | IISHelper::ConnectAppHost;

void ConnectForBackup(IISHelper& iis, int32_t mode) {
  iis.Connect(static_cast<uint32_t>(mode));
  if (mode == IQVSetupCore::ModePipeline) iis.OpenConfigPath(kAppHostPath);
}

bool IsDirectory(const CSPWString& path) {
  const DWORD attributes = GetFileAttributesW(as_wcstr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Balances the thread's COM initialisation on every way out.
class ComApartment {
 public:
  ComApartment() : initialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised) CoUninitialize();
  }
  bool initialised;
};

}  // namespace

bool IQVSetupCore::StartInstallation(SetupUi* newSheet, SetupUi* newProgressBar,
                                     SetupUi* newPercentLabel) {
  sheet = newSheet;
  progressBar = newProgressBar;
  percentLabel = newPercentLabel;
  installThread = CreateThread(nullptr, 0, InstallThreadProc, this, 0, nullptr);
  if (installThread != nullptr) return true;
  // Without a thread nothing would ever press Next: the installation ends
  // here as failed and the wizard moves on to show it.
  Message(u"Cannot start the installation.", u"Fatal error", kError);
  failed = true;
  if (sheet != nullptr) sheet->PressNext();
  return false;
}

DWORD WINAPI IQVSetupCore::InstallThreadProc(LPVOID state) {
  IQVSetupCore* core = static_cast<IQVSetupCore*>(state);
  core->failed = false;
  if (!core->Installation()) core->failed = true;
  if (core->sheet != nullptr) core->sheet->PressNext();
  return 0;
}

bool IQVSetupCore::Installation() {
  // The engine reports each component to this run's progress bar.
  class SetupUpdate : public Update {
   public:
    explicit SetupUpdate(IQVSetupCore* owner) : owner(owner) {}
    void StepProgress(int32_t steps) override { owner->StepProgress(steps); }

   private:
    IQVSetupCore* owner;
  };

  ComApartment apartment;
  if (!apartment.initialised) {
    Message(u"Cannot initialize COM.\r\nSetup cannot continue.", u"Fatal error.", kError);
    return false;
  }
  if (!IsDirectory(installDir)) {
    Message(u"The path you provided is invalid or does not exist.\n Please, select another path.",
            u"Invalid path", kError);
    return false;
  }
  if (installDir.GetAt(installDir.GetLength() - 1) != u'\\') installDir += u"\\";
  rootDir = installDir + u"Corvane\\";
  installDir += u"Corvane\\Quaver\\";

  SetupUpdate engine(this);
  CSPBuffer package;
  package.throwOnError = false;
  CSPFile file;
  file.throwOnError = false;
  if (!file.Open(CSPWString(u"Quaver_") + u"Pro_v" + u"4.0.9.cvsp", CSPFile::modeRead)) {
    Message(u"Setup cannot open installation file.", u"File error", kError);
    return false;
  }
  if (!file.Read(package, 0)) {
    Message(u"Setup cannot read from installation file.", u"File error", kError);
    return false;
  }
  file.Close();
  if (!PrepareEngine(engine, package)) return false;
  if (!PrepareMachine()) return false;
  return RunPackage(engine, package);
}

bool IQVSetupCore::PrepareEngine(Update& engine, const CSPBuffer& package) {
  engine.sites = selectedSites;
  if (extensibilityMode == ModeIsapi) {
    RefreshPriorities(engine.priorities, true,
                      [this](const CSPWString& text, const CSPWString& caption, uint32_t flags) {
                        Message(text, caption, flags);
                      });
  }
  engine.basePath = installDir;
  engine.makeBackup = createIisBackup;
  engine.productName = kProductName;
  engine.extensibilityMode = static_cast<uint32_t>(extensibilityMode);
  engine.productKey = kProductKey;
  engine.SetPackageData(package);
  if (!engine.Parse()) {
    Message(CSPWString(engine.GetErrorText()), CSPWString(engine.GetErrorTitle()), kError);
    return false;
  }
  int32_t high = static_cast<int32_t>(engine.componentCount) + kFixedSteps;
  if (addWebRootAccess) high += kWebRootSteps;
  if (allowScriptExecution && extensibilityMode == ModeIsapi) high += kScriptExecutionSteps;
  if (progressBar != nullptr) {
    progressBar->SetProgressRange(0, high);
    progressBar->SetProgressStep(1);
  }
  return true;
}

bool IQVSetupCore::PrepareMachine() {
  if (CheckIisVersion() == 0 || !CheckDiskSpace() || !PrepareSecurity() || !CreateDirectories()) {
    return false;
  }
  if (!RegisterProduct()) {
    RemoveDirectories();
    return false;
  }
  return true;
}

bool IQVSetupCore::RunPackage(Update& engine, const CSPBuffer& package) {
  ServiceHelper webService;
  webService.Open("W3SVC");
  const uint32_t serviceState = webService.GetState();
  if (serviceState != kServiceStopped) webService.Stop(true);
  RemoveModulesFolder(installDir + u"Modules");
  IISHelper iis;
  ConnectForBackup(iis, extensibilityMode);
  iis.Backup(kTempBackup);
  iis.Disconnect(kBothConnections);

  const bool executed = engine.Execute();
  if (serviceState != kServiceStopped) webService.Start(false);
  report = engine.GetFailureLog();
  installLog = engine.GetLog();
  if (!executed) {
    // A failure of the engine itself (mode, connection, facts) leaves no
    // component line; the report must still say why.
    if (report.GetLength() == 0) {
      report = engine.GetErrorTitle() + ": " + engine.GetErrorText() + "\r\n";
    }
    RollBack(engine, iis);
    return false;
  }
  if (!KeepPackageCopy(package)) {
    RollBack(engine, iis);
    return false;
  }
  ConnectForBackup(iis, extensibilityMode);
  iis.DeleteBackup(kTempBackup);
  iis.Disconnect(kBothConnections);
  ApplyOptions(engine, iis);
  return true;
}

bool IQVSetupCore::KeepPackageCopy(const CSPBuffer& package) {
  CreateDirectoryPath(installDir + u"Updates");
  CSPFile copy;
  copy.throwOnError = false;
  if (!copy.Create(installDir + u"Updates" + u"\\" + u"Update_4.0.9.cvsp", CSPFile::modeWrite)) {
    report += "File system error: Setup cannot create backup of the installation file.";
    return false;
  }
  if (!copy.Write(package)) {
    report += "File system error: Setup cannot write backup of the installation file.";
    return false;
  }
  return true;
}

void IQVSetupCore::RollBack(Update& engine, IISHelper& iis) {
  engine.Rollback();
  RemoveDirectories();
  UnregisterProduct();
  ConnectForBackup(iis, extensibilityMode);
  iis.Restore(kTempBackup);
  iis.DeleteBackup(kTempBackup);
  iis.Disconnect(kBothConnections);
}

void IQVSetupCore::ApplyOptions(Update& engine, IISHelper& iis) {
  if (!RegisterUninstall()) report += "CREATE UNINSTALL REGISTRY KEYS: FAILED\r\n";
  CSPBuffer uninstall;
  uninstall.throwOnError = false;
  if (!engine.WriteUninstallPackage(uninstall, true) || !WriteUninstallList(uninstall)) {
    report += "CREATE UNINSTALL LIST FILE: FAILED\r\n";
  }
  if (addWebRootAccess && !GrantWebRootAccess()) {
    report += "ADD IIS ACCESS RIGHTS FOR WEB ROOT: FAILED\r\n";
  }
  if (extensibilityMode == ModeIsapi && allowScriptExecution && !AllowScriptExecution()) {
    report += "SET ALLOW SCRIPT EXECUTION: FAILED\r\n";
  }
  if (createDesktopIcon && !CreateDesktopIcon()) report += "CREATE DESKTOP ICON: FAILED\r\n";
  IntegratePhp(iis);
}
