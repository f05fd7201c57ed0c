// sc query | start | stop: the image's services through the service control
// manager, printed as Windows' sc.exe prints them.
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

#include "platform/services/ServiceRecord.h"
#include "platform/services/Services.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::ToolFailure;

std::string ServiceErrorText(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_INVALID_NAME:
      return "The specified service name is invalid.";
    case ERROR_INVALID_DATA:
      return machine::services::LastServicesError();
    case ERROR_INVALID_SERVICE_CONTROL:
      return "The requested control is not valid for this service.";
    case ERROR_SERVICE_ALREADY_RUNNING:
      return "An instance of the service is already running.";
    case ERROR_SERVICE_DISABLED:
      return "The service cannot be started, either because it is disabled or because it has no "
             "enabled devices associated with it.";
    case ERROR_SERVICE_DOES_NOT_EXIST:
      return "The specified service does not exist as an installed service.";
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
      return "The service cannot accept control messages at this time.";
    case ERROR_SERVICE_NOT_ACTIVE:
      return "The service has not been started.";
    default:
      return quaver_machine::WindowsErrorText(error);
  }
}

[[noreturn]] void FailSc(const char* call) {
  DWORD error = GetLastError();
  throw ToolFailure(std::string("[SC] ") + call + " FAILED " + std::to_string(error) + ":\n\n" +
                    ServiceErrorText(error));
}

// Closes a service handle at the end of the scope.
class Handle {
 public:
  explicit Handle(SC_HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

const char* StateText(DWORD state) {
  static const char* const names[] = {"UNKNOWN",       "STOPPED", "START_PENDING",
                                      "STOP_PENDING",  "RUNNING", "CONTINUE_PENDING",
                                      "PAUSE_PENDING", "PAUSED"};
  return state < std::size(names) ? names[state] : "UNKNOWN";
}

std::string TypeText(DWORD type) {
  std::ostringstream out;
  out << std::hex << type << "  "
      << (type == SERVICE_WIN32_OWN_PROCESS ? "WIN32_OWN_PROCESS" : "WIN32_SHARE_PROCESS");
  return out.str();
}

std::string ControlsText(DWORD accepted) {
  std::string text = "(";
  text += (accepted & SERVICE_ACCEPT_STOP) ? "STOPPABLE" : "NOT_STOPPABLE";
  text += (accepted & SERVICE_ACCEPT_PAUSE_CONTINUE) ? ", PAUSABLE" : ", NOT_PAUSABLE";
  text += (accepted & SERVICE_ACCEPT_SHUTDOWN) ? ", ACCEPTS_SHUTDOWN)" : ", IGNORES_SHUTDOWN)";
  return text;
}

void PrintStatus(const std::string& name, const SERVICE_STATUS& status) {
  std::cout << "\nSERVICE_NAME: " << name << "\n"
            << "        TYPE               : " << TypeText(status.dwServiceType) << "\n"
            << "        STATE              : " << status.dwCurrentState << "  "
            << StateText(status.dwCurrentState) << "\n"
            << "                                " << ControlsText(status.dwControlsAccepted) << "\n"
            << "        WIN32_EXIT_CODE    : " << status.dwWin32ExitCode << "  (0x" << std::hex
            << status.dwWin32ExitCode << std::dec << ")\n"
            << "        SERVICE_EXIT_CODE  : " << status.dwServiceSpecificExitCode << "  (0x"
            << std::hex << status.dwServiceSpecificExitCode << std::dec << ")\n"
            << "        CHECKPOINT         : 0x" << std::hex << status.dwCheckPoint << "\n"
            << "        WAIT_HINT          : 0x" << status.dwWaitHint << std::dec << "\n";
}

Handle OpenManager() {
  quaver_machine::UseMachine();
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) FailSc("OpenSCManager");
  return Handle(manager);
}

SC_HANDLE OpenNamed(const Handle& manager, const std::string& name) {
  std::u16string wide = machine::FromUtf8(name);
  SC_HANDLE service = OpenServiceW(manager.get(), wide.c_str(), SERVICE_ALL_ACCESS);
  if (!service) FailSc("OpenService");
  return service;
}

SERVICE_STATUS StatusOf(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) FailSc("QueryServiceStatus");
  return status;
}

void Query(const std::string& name, const std::string& state) {
  Handle manager = OpenManager();
  if (!name.empty()) {
    Handle service(OpenNamed(manager, name));
    PrintStatus(name, StatusOf(service.get()));
    return;
  }
  // Without a name, as sc.exe: the active services, or those that state= asks for.
  for (const std::string& each : machine::services::ServiceNames()) {
    Handle service(OpenNamed(manager, each));
    SERVICE_STATUS status = StatusOf(service.get());
    bool stopped = status.dwCurrentState == SERVICE_STOPPED;
    if (state == "all" || (state == "inactive") == stopped) PrintStatus(each, status);
  }
}

void Start(const std::string& name) {
  Handle manager = OpenManager();
  Handle service(OpenNamed(manager, name));
  if (!StartServiceW(service.get(), 0, nullptr)) FailSc("StartService");
  PrintStatus(name, StatusOf(service.get()));
}

void Stop(const std::string& name) {
  Handle manager = OpenManager();
  Handle service(OpenNamed(manager, name));
  SERVICE_STATUS status{};
  if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) FailSc("ControlService");
  PrintStatus(name, status);
}

// ---- sc qc ----------------------------------------------------------------------

const char* StartTypeText(const std::string& startType) {
  if (startType == "auto") return "2   AUTO_START";
  if (startType == "disabled") return "4   DISABLED";
  return "3   DEMAND_START";
}

// The stand-in keeps a service's configuration in services.ini; sc qc shows
// what it holds there as sc.exe shows a service's configuration.
void QueryConfig(const std::string& name) {
  Handle manager = OpenManager();
  Handle service(OpenNamed(manager, name));
  const machine::IniFile file = machine::services::ReadServices();
  const std::string section = machine::services::FindService(file, name);
  const bool own = file.GetOr(section, "Type", "own") == "own";
  std::cout << "[SC] QueryServiceConfig SUCCESS\n\n"
            << "SERVICE_NAME: " << section << "\n"
            << "        TYPE               : "
            << TypeText(own ? SERVICE_WIN32_OWN_PROCESS : SERVICE_WIN32_SHARE_PROCESS) << "\n"
            << "        START_TYPE         : "
            << StartTypeText(file.GetOr(section, "StartType", "demand")) << "\n"
            << "        ERROR_CONTROL      : 1   NORMAL\n"
            << "        BINARY_PATH_NAME   : " << file.GetOr(section, "BinaryPath", "") << "\n"
            << "        LOAD_ORDER_GROUP   : \n"
            << "        TAG                : 0\n"
            << "        DISPLAY_NAME       : " << file.GetOr(section, "DisplayName", section)
            << "\n"
            << "        DEPENDENCIES       : \n"
            << "        SERVICE_START_NAME : LocalSystem\n";
}

// ---- command line -------------------------------------------------------------

constexpr const char* kUsage =
    "DESCRIPTION:\n"
    "        SC is a command line program used for communicating with the\n"
    "        Service Control Manager and services.\n"
    "USAGE:\n"
    "        sc <command> [service name] <option1> <option2>...\n\n"
    "        Commands:\n"
    "          query-----------Queries the status for a service, or\n"
    "                          enumerates the status for types of services.\n"
    "          qc--------------Queries the configuration information for a service.\n"
    "          start-----------Starts a service.\n"
    "          stop------------Sends a STOP request to a service.\n\n"
    "QUERY options:\n"
    "        sc query [service name]\n"
    "        sc query state= active|inactive|all\n";

struct Operation {
  const char* name;
  const char* usage;
  void (*run)(const std::vector<std::string>& args);
};

void RunNamed(const std::vector<std::string>& args, void (*act)(const std::string&),
              const char* usage) {
  if (args.size() != 1) throw ToolFailure(usage, ToolFailure::kUsage);
  act(args[0]);
}

constexpr const char* kQueryUsage =
    "DESCRIPTION:\n        Obtains and displays information about the specified service,\n"
    "        or the services in a given state.\n"
    "USAGE:\n        sc query [service name]\n        sc query state= active|inactive|all";
constexpr const char* kQcUsage =
    "DESCRIPTION:\n        Queries the configuration information for a service.\n"
    "USAGE:\n        sc qc [service name]";
constexpr const char* kStartUsage =
    "DESCRIPTION:\n        Starts a service running.\nUSAGE:\n        sc start [service name]";
constexpr const char* kStopUsage =
    "DESCRIPTION:\n        Sends a STOP control request to a service.\n"
    "USAGE:\n        sc stop [service name]";

// sc.exe's own syntax: "sc query NAME" or "sc query state= all" (the option
// name carries its "=", the value is the next word).
void RunQuery(const std::vector<std::string>& args) {
  if (args.empty()) return Query("", "active");
  if (args.size() == 1 && args[0].find('=') == std::string::npos) return Query(args[0], "active");
  if (args.size() == 2 && args[0] == "state=") {
    if (args[1] != "active" && args[1] != "inactive" && args[1] != "all") {
      throw ToolFailure("ERROR:  Invalid Option: state= takes active, inactive or all\n" +
                            std::string(kQueryUsage),
                        ToolFailure::kUsage);
    }
    return Query("", args[1]);
  }
  throw ToolFailure(kQueryUsage, ToolFailure::kUsage);
}

const Operation kOperations[] = {
    {"query", kQueryUsage, RunQuery},
    {"qc", kQcUsage, [](const std::vector<std::string>& a) { RunNamed(a, QueryConfig, kQcUsage); }},
    {"start", kStartUsage,
     [](const std::vector<std::string>& a) { RunNamed(a, Start, kStartUsage); }},
    {"stop", kStopUsage, [](const std::vector<std::string>& a) { RunNamed(a, Stop, kStopUsage); }},
};

void Run(const std::vector<std::string>& args) {
  if (args.empty()) throw ToolFailure(kUsage, ToolFailure::kUsage);
  if (quaver_machine::IsHelpWord(args[0])) {
    std::cout << kUsage;
    return;
  }
  for (const Operation& operation : kOperations) {
    if (args[0] != operation.name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& word : rest) {
      if (quaver_machine::IsHelpWord(word)) {
        std::cout << operation.usage << "\n";
        return;
      }
    }
    return operation.run(rest);
  }
  throw ToolFailure("ERROR:  Unrecognized command \"" + args[0] + "\"\n\n" + kUsage,
                    ToolFailure::kUsage);
}

void AddServiceCommands(CLI::App& app) {
  CLI::App* sc =
      app.add_subcommand("sc", "Query, start and stop the image's services, as sc.exe does");
  sc->footer(kUsage);
  sc->prefix_command();
  sc->fallthrough(false);  // everything after "sc" is its own
  sc->callback([sc] { Run(sc->remaining()); });
}

const bool registered = quaver_machine::RegisterCommands("sc", AddServiceCommands);

}  // namespace
