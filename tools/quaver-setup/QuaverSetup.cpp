#include "tools/quaver-setup/QuaverSetup.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "iis/RWSiteList.h"
#include "platform/machine.h"
#include "platform/win.h"
#include "setup/ConsoleSetupUi.h"
#include "setup/IQVSetupCore.h"
#include "tools/quaver-setup/MediaDrive.h"

namespace fs = std::filesystem;

namespace quaver_setup {
namespace {

const char kUsage[] =
    "usage: quaver-setup --unattended --machine DIR --dir 'C:\\...' --mode isapi|pipeline "
    "[--sites 1,3|all] [--media DIR] [--no-backup] [--no-webroot-access] "
    "[--no-script-execution] [--desktop-icon] [--log FILE]";

struct Options {
  bool unattended = false;
  std::string machineDir;
  std::string dir;
  std::string mode;
  std::string sites = "all";
  std::string media;
  bool noBackup = false;
  bool noWebRootAccess = false;
  bool noScriptExecution = false;
  bool desktopIcon = false;
  std::string log;
};

void Describe(CLI::App& app, Options& o) {
  app.add_flag("--unattended", o.unattended, "Install without the wizard's window")->required();
  app.add_option("--machine", o.machineDir, "The simulated server (machine image)")->required();
  app.add_option("--dir", o.dir, "The base directory, e.g. 'C:\\Program Files'")->required();
  app.add_option("--mode", o.mode, "isapi (filter, metabase) or pipeline (module)")
      ->required()
      ->check(CLI::IsMember({"isapi", "pipeline"}));
  app.add_option("--sites", o.sites, "Site IDs to enable, comma-separated, or all");
  app.add_option("--media", o.media, "The folder with the package and license.txt");
  app.add_flag("--no-backup", o.noBackup, "Take no permanent IIS configuration backup");
  app.add_flag("--no-webroot-access", o.noWebRootAccess, "Leave the web roots' rights alone");
  app.add_flag("--no-script-execution", o.noScriptExecution,
               "Leave the websites' script permission alone (ISAPI mode)");
  app.add_flag("--desktop-icon", o.desktopIcon, "Put the control centre on the desktop");
  app.add_option("--log", o.log, "Write the report and the engine log to this host file");
}

std::string Widen(const CSPString& text) { return std::string(text.GetString(), text.GetLength()); }

CSPWString FromUtf8(const std::string& text) {
  CSPWString wide;
  CSPString(text.c_str()).Utf8ToWide(wide);
  return wide;
}

// Terminals want plain line feeds.
std::string ForTerminal(std::string text) {
  for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at)) {
    text.erase(at, 1);
  }
  return text;
}

// The websites page's choice: "all" enables the product everywhere (no site
// of its own), a list enables it on exactly those sites.
bool ChooseSites(const Options& o, IQVSetupCore& core, SetupUi& ui, std::ostream& err,
                 int& status) {
  RWSiteList list([&ui](const CSPWString& text, const CSPWString& caption, uint32_t flags) {
    ui.ShowMessageBox(nullptr, text, caption, flags);
  });
  if (!list.Load(static_cast<uint32_t>(core.extensibilityMode))) {
    status = kFailed;
    return false;
  }
  for (uint32_t i = 0; i < list.allSites.GetCount(); ++i)
    list.allSites.GetValueAt(i).enabled = false;
  list.enableAll = o.sites == "all";
  if (!list.enableAll) {
    std::stringstream ids(o.sites);
    std::string id;
    while (std::getline(ids, id, ',')) {
      RWSite* site = list.allSites.Lookup(FromUtf8(id));
      if (site == nullptr) {
        err << "quaver-setup: the server has no website with ID '" << id << "'\n" << kUsage << "\n";
        status = kUsageError;
        return false;
      }
      site->enabled = true;
    }
  }
  list.Save();
  core.selectedSites = list.enabledIds;
  return true;
}

void WriteLog(const std::string& path, const IQVSetupCore& core, std::ostream& err) {
  std::ofstream log(path, std::ios::binary);
  log << "REPORT\r\n" << Widen(core.report) << "\r\nENGINE LOG\r\n" << Widen(core.installLog);
  if (!log) err << "quaver-setup: cannot write the log file " << path << "\n";
}

int Report(const IQVSetupCore& core, std::ostream& out) {
  if (core.failed) {
    out << ForTerminal("IIS Quaver Pro v4.0 Setup failed.\r\n\r\n" + Widen(core.report)) << "\n";
    return kFailed;
  }
  if (core.report.GetLength() != 0) {
    out << ForTerminal(
               "IIS Quaver Pro v4.0 is installed successfully with the following "
               "omissions:\r\n\r\n" +
               Widen(core.report))
        << "\n";
    return kInstalledWithOmissions;
  }
  out << "IIS Quaver Pro v4.0 setup is completed succesfully!\n";
  return kInstalled;
}

int Install(const Options& o, std::ostream& out, std::ostream& err, bool drawProgress) {
  if (const int status = SelectImage(o.machineDir, err, kUsage)) return status;
  MediaDrive media;
  std::string error;
  if (!media.Mount(machine::RequireMachine().Root(),
                   o.media.empty() ? fs::current_path() : fs::path(o.media), error)) {
    err << "quaver-setup: " << error << "\n";
    return kFailed;
  }
  ConsoleSetupUi ui(err, drawProgress);
  IQVSetupCore core(&ui);
  core.installDir = FromUtf8(o.dir);
  core.extensibilityMode =
      o.mode == "pipeline" ? IQVSetupCore::ModePipeline : IQVSetupCore::ModeIsapi;
  core.createIisBackup = !o.noBackup;
  core.addWebRootAccess = !o.noWebRootAccess;
  core.allowScriptExecution = !o.noScriptExecution;
  core.createDesktopIcon = o.desktopIcon;
  int status = kFailed;
  if (!ChooseSites(o, core, ui, err, status)) return status;
  if (core.StartInstallation(&ui, &ui, &ui)) WaitForSingleObject(core.installThread, INFINITE);
  ui.FinishLine();
  if (!o.log.empty()) WriteLog(o.log, core, err);
  return Report(core, out);
}

}  // namespace

int SelectImage(const std::string& machineDir, std::ostream& err, const char* usage) {
  try {
    machine::SelectMachine(machineDir);
    return 0;
  } catch (const machine::MachineError& e) {
    err << "quaver-setup: " << e.what() << "\n";
  }
  // A folder that is no image at all was named wrongly; an image whose own
  // files are damaged is a server setup cannot work on.
  std::error_code ec;
  if (fs::exists(fs::symlink_status(fs::path(machineDir) / "machine.ini", ec))) return kFailed;
  err << usage << "\n";
  return kUsageError;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool drawProgress) {
  CLI::App app{"Installs IIS Quaver Pro without the wizard's window.", "quaver-setup"};
  Options o;
  Describe(app, o);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kInstalled;
  } catch (const CLI::ParseError& e) {
    err << "quaver-setup: " << e.what() << "\n" << kUsage << "\n";
    return kUsageError;
  }
  return Install(o, out, err, drawProgress);
}

}  // namespace quaver_setup
