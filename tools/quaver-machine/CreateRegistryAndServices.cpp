// The registry and the services of a new image (create DIR [--iis VERSION]):
// the Software tree every Windows server has, the Windows release that
// carried the requested IIS version, InetStp with the IIS version, and
// services.ini with the web service running.
//
// The IIS configuration itself (the IIS 6 metabase, the IIS 7 and later
// application host) and the COM registrations of its administration objects
// come from the create hooks of those stand-ins, each in its own file of
// this folder; accounts come from the security hook.
#include <cstdio>
#include <string>

#include "platform/machine.h"
#include "platform/registry/RegistryObjects.h"
#include "tools/quaver-machine/Tool.h"

namespace {

// The Windows Server release an IIS version came with.
struct Release {
  const char* iis;  // empty: no IIS
  int major;
  int minor;
  const char* productName;
  const char* currentVersion;
  const char* build;
  const char* servicePack;  // empty: none
  int currentMajorNumber;   // 0: the release does not write it
};

constexpr Release kReleases[] = {
    {"", 0, 0, "Windows Server 2019 Standard", "6.3", "17763", "", 10},
    {"6", 6, 0, "Microsoft Windows Server 2003 R2", "5.2", "3790", "Service Pack 2", 0},
    {"7", 7, 0, "Windows Server (R) 2008 Standard", "6.0", "6002", "Service Pack 2", 0},
    {"7.5", 7, 5, "Windows Server 2008 R2 Standard", "6.1", "7601", "Service Pack 1", 0},
    {"8.5", 8, 5, "Windows Server 2012 R2 Standard", "6.3", "9600", "", 0},
    {"10", 10, 0, "Windows Server 2019 Standard", "6.3", "17763", "", 10},
};

const Release& ReleaseFor(const std::string& iis) {
  for (const Release& release : kReleases) {
    if (iis == release.iis) return release;
  }
  throw quaver_machine::CommandError("no registry is known for IIS " + iis);
}

// Registry export text, built key by key.
class RegText {
 public:
  RegText() : text_("Windows Registry Editor Version 5.00\n") {}

  RegText& Key(const std::string& path) {
    text_ += "\n[HKEY_" + path + "]\n";
    return *this;
  }
  RegText& String(const std::string& name, const std::string& value) {
    text_ += Quote(name) + "=" + Quote(value) + "\n";
    return *this;
  }
  RegText& Dword(const std::string& name, unsigned value) {
    char data[16];
    std::snprintf(data, sizeof data, "%08x", value);
    text_ += Quote(name) + "=dword:" + data + "\n";
    return *this;
  }
  const std::string& Text() const { return text_; }

 private:
  static std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
      if (c == '\\' || c == '"') quoted += '\\';
      quoted += c;
    }
    return quoted + "\"";
  }

  std::string text_;
};

std::string Environment(const char* name, const char* fallback) {
  return machine::RequireMachine().Settings().GetOr("environment", name, fallback);
}

void AddWindowsTree(RegText& reg, const Release& release) {
  const std::string programFiles = Environment("ProgramFiles", "C:\\Program Files");
  const std::string programFilesX86 = Environment("ProgramFiles(x86)", "C:\\Program Files (x86)");
  const std::string systemRoot = Environment("SystemRoot", "C:\\Windows");
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion")
      .String("ProgramFilesDir", programFiles)
      .String("CommonFilesDir", programFiles + "\\Common Files")
      .String("ProgramFilesDir (x86)", programFilesX86)
      .String("CommonFilesDir (x86)", programFilesX86 + "\\Common Files")
      .String("ProgramW6432Dir", programFiles)
      .String("CommonW6432Dir", programFiles + "\\Common Files");
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths");
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")
      .String("ProductName", release.productName)
      .String("CurrentVersion", release.currentVersion)
      .String("CurrentBuild", release.build)
      .String("CurrentBuildNumber", release.build)
      .String("InstallationType", "Server")
      .String("SystemRoot", systemRoot)
      .String("PathName", systemRoot)
      .String("RegisteredOwner", Environment("USERNAME", "Administrator"))
      .String("RegisteredOrganization", "");
  if (*release.servicePack) reg.String("CSDVersion", release.servicePack);
  if (release.currentMajorNumber) {
    reg.Dword("CurrentMajorVersionNumber", static_cast<unsigned>(release.currentMajorNumber))
        .Dword("CurrentMinorVersionNumber", 0);
  }
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Classes");
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Policies");
  // The 32-bit programs' view of the same settings.
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion")
      .String("ProgramFilesDir", programFilesX86)
      .String("CommonFilesDir", programFilesX86 + "\\Common Files");
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  reg.Key("LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName")
      .String("ComputerName", Environment("COMPUTERNAME", "QUAVER-SERVER"));
  reg.Key("LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment")
      .String("PROCESSOR_ARCHITECTURE", Environment("PROCESSOR_ARCHITECTURE", "AMD64"))
      .String("OS", "Windows_NT");
  reg.Key("CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion");
  reg.Key("CURRENT_USER\\Environment")
      .String("TEMP", Environment("TEMP", "C:\\Windows\\Temp"))
      .String("TMP", Environment("TMP", "C:\\Windows\\Temp"));
  reg.Key("USERS\\.DEFAULT\\Software");
}

void AddInetStp(RegText& reg, const Release& release) {
  const std::string systemRoot = Environment("SystemRoot", "C:\\Windows");
  const std::string version = std::to_string(release.major) + "." + std::to_string(release.minor);
  reg.Key("LOCAL_MACHINE\\SOFTWARE\\Microsoft\\InetStp")
      .Dword("MajorVersion", static_cast<unsigned>(release.major))
      .Dword("MinorVersion", static_cast<unsigned>(release.minor))
      .String("InstallPath", systemRoot + "\\system32\\inetsrv")
      .String("PathWWWRoot", Environment("SystemDrive", "C:") + "\\inetpub\\wwwroot")
      .String("SetupString", "IIS " + version)
      .String("VersionString", "Version " + version);
  if (release.major >= 7) {
    // The role services whose modules applicationHost.config lists.
    reg.Key("LOCAL_MACHINE\\SOFTWARE\\Microsoft\\InetStp\\Components")
        .Dword("W3SVC", 1)
        .Dword("WAS", 1)
        .Dword("StaticContent", 1)
        .Dword("DefaultDocument", 1)
        .Dword("DirectoryBrowse", 1)
        .Dword("HttpErrors", 1)
        .Dword("HttpLogging", 1)
        .Dword("RequestFiltering", 1)
        .Dword("HttpCompressionStatic", 1)
        .Dword("ISAPIFilter", 1)
        .Dword("ISAPIExtensions", 1)
        .Dword("CGI", 1);
  }
}

constexpr const char* kServicesHeader =
    "; Services of the simulated server. The format is described in\n"
    "; platform/services/ServiceRecord.h; the stand-in keeps State and\n"
    "; PendingSince up to date as services start and stop.\n";

constexpr const char* kEventLog =
    "\n[EventLog]\nDisplayName = Windows Event Log\nType = share\nStartType = auto\n"
    "State = running\nAccepts = shutdown\n";

constexpr const char* kAdminService =
    "\n[IISADMIN]\nDisplayName = IIS Admin Service\nType = own\nStartType = auto\n"
    "State = running\nAccepts = stop, shutdown\nStartPendingMs = 1000\nStopPendingMs = 1500\n";

constexpr const char* kActivationService =
    "\n[WAS]\nDisplayName = Windows Process Activation Service\nType = share\nStartType = demand\n"
    "State = running\nAccepts = stop, shutdown\nStartPendingMs = 1000\nStopPendingMs = 1500\n";

constexpr const char* kWebService =
    "\n[W3SVC]\nDisplayName = World Wide Web Publishing Service\nType = share\nStartType = auto\n"
    "State = running\nAccepts = stop, pause, shutdown\nStartPendingMs = 1500\n"
    "StopPendingMs = 2000\nPausePendingMs = 500\nContinuePendingMs = 500\n";

void CreateRegistryAndServices(const quaver_machine::CreateRequest& request) {
  const Release& release = ReleaseFor(request.iisVersion);
  RegText reg;
  AddWindowsTree(reg, release);
  if (release.major) AddInetStp(reg, release);
  machine::registry::ImportRegFile(reg.Text(), "the base registry of create");

  std::string services = kServicesHeader;
  services += kEventLog;
  if (release.major == 6) services += kAdminService;
  if (release.major >= 7) services += kActivationService;
  if (release.major) services += kWebService;
  machine::WriteFileAtomically(machine::RequireMachine().File("services.ini"), services);
}

const bool registered =
    quaver_machine::RegisterCreateHook("registry-and-services", CreateRegistryAndServices);

}  // namespace
