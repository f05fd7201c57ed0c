// sc query | start | stop: the image's services through the service control
// manager, printed as Windows' sc.exe prints them.
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

#include "platform/services/Services.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::CommandError;

std::string ServiceErrorText(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_NAME: return "The specified service name is invalid.";
    case ERROR_INVALID_DATA: return machine::services::LastServicesError();
    case ERROR_INVALID_SERVICE_CONTROL: return "The requested control is not valid for this service.";
    case ERROR_SERVICE_ALREADY_RUNNING: return "An instance of the service is already running.";
    case ERROR_SERVICE_DISABLED:
      return "The service cannot be started, either because it is disabled or because it has no "
             "enabled devices associated with it.";
    case ERROR_SERVICE_DOES_NOT_EXIST:
      return "The specified service does not exist as an installed service.";
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
      return "The service cannot accept control messages at this time.";
    case ERROR_SERVICE_NOT_ACTIVE: return "The service has not been started.";
    default: return quaver_machine::WindowsErrorText(error);
  }
}

[[noreturn]] void FailSc(const char* call) {
  DWORD error = GetLastError();
  throw CommandError(std::string("[SC] ") + call + " FAILED " + std::to_string(error) + ":\n\n" +
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
  static const char* const names[] = {"UNKNOWN",      "STOPPED",          "START_PENDING",
                                      "STOP_PENDING", "RUNNING",          "CONTINUE_PENDING",
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

void AddServiceCommands(CLI::App& app) {
  CLI::App* sc = app.add_subcommand("sc", "Query, start and stop the image's services, as sc.exe does");
  sc->require_subcommand(1);

  // sc.exe's own syntax: "sc query NAME" or "sc query state= all".
  static std::vector<std::string> queryArgs;
  CLI::App* query = sc->add_subcommand("query", "Status of a service, or of the active ones");
  query->add_option("ARGS", queryArgs, "NAME, or state= active|inactive|all")->expected(0, 2);
  query->callback([] {
    if (queryArgs.size() == 2 && queryArgs[0] == "state=") {
      if (queryArgs[1] != "active" && queryArgs[1] != "inactive" && queryArgs[1] != "all") {
        throw CommandError("state= takes active, inactive or all");
      }
      Query("", queryArgs[1]);
    } else if (queryArgs.size() <= 1) {
      Query(queryArgs.empty() ? "" : queryArgs[0], "active");
    } else {
      throw CommandError("sc query takes NAME, or state= active|inactive|all");
    }
  });

  static std::string startName;
  CLI::App* start = sc->add_subcommand("start", "Start a service");
  start->add_option("NAME", startName, "Service name")->required();
  start->callback([] { Start(startName); });

  static std::string stopName;
  CLI::App* stop = sc->add_subcommand("stop", "Ask a service to stop");
  stop->add_option("NAME", stopName, "Service name")->required();
  stop->callback([] { Stop(stopName); });
}

const bool registered = quaver_machine::RegisterCommands("sc", AddServiceCommands);

}  // namespace
