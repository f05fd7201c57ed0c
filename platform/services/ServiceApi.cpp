// The service control manager over services.ini. Every call runs under the
// image's lock and brings the services up to date (ServiceFile.h), and a
// call that changed a service records it before the lock is let go, so
// several processes share one state of the services.
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/handles.h"
#include "platform/machine.h"
#include "platform/services/ServiceFile.h"
#include "platform/services/ServiceRecord.h"
#include "platform/services/Services.h"
#include "platform/text.h"
#include "platform/win.h"

namespace machine::services {

namespace {

// Stand-in rule: without a selected image there is no service manager.
constexpr DWORD kNoMachine = ERROR_PATH_NOT_FOUND;
// Windows limits service names to 256 characters.
constexpr size_t kMaxServiceName = 256;

struct ScObject : HandleObject {
  std::filesystem::path machine;
  DWORD access = 0;
};
struct ScManager : ScObject {};
struct ScService : ScObject {
  std::string name;  // the section of services.ini
};

std::string& LastErrorText() {
  thread_local std::string text;
  return text;
}

// Runs a call under the machine's lock. The body returns a Windows error
// code; a malformed services.ini becomes ERROR_INVALID_DATA, its text kept
// for LastServicesError.
template <typename Body>
DWORD Guarded(Body body) {
  Machine* machine = CurrentMachine();
  if (!machine) return kNoMachine;
  std::lock_guard<machine::ImageLock> lock(machine->Lock());
  try {
    return body(*machine);
  } catch (const MachineError& error) {
    LastErrorText() = error.what();
    return ERROR_INVALID_DATA;
  }
}

BOOL Result(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

template <typename T>
std::shared_ptr<T> Lookup(SC_HANDLE handle, const Machine& machine) {
  auto object = LookupHandle<T>(reinterpret_cast<HANDLE>(handle));
  if (!object || object->machine != machine.Root()) return nullptr;
  return object;
}

bool IsLocalMachineName(const Machine& machine, std::u16string_view name) {
  while (!name.empty() && name.front() == u'\\') name.remove_prefix(1);
  if (name.empty()) return true;
  std::string computer = machine.Settings().GetOr("environment", "COMPUTERNAME", "");
  return EqualNoCase(name, FromUtf8(computer)) || EqualNoCase(name, u"localhost") || name == u".";
}

bool IsValidServiceName(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxServiceName &&
         name.find_first_of(u"/\\") == std::u16string_view::npos;
}

DWORD RequiredRight(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_PARAMCHANGE:
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
      return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE:
      return SERVICE_INTERROGATE;
    default:
      return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
  }
}

// The flag of SERVICE_STATUS.dwControlsAccepted that lets a service take
// the control; 0 for controls no flag announces.
DWORD AcceptFlagOf(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      return SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_PARAMCHANGE:
      return SERVICE_ACCEPT_PARAMCHANGE;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
      return SERVICE_ACCEPT_NETBINDCHANGE;
    default:
      return 0;
  }
}

// The control's effect on a service that can take controls now. The service
// decides by the controls its status accepts at this moment, which are none
// while a pause or continue is pending. Returns the error Windows reports
// when the service refuses it.
DWORD ApplyControl(ServiceRecord& service, DWORD control, const SERVICE_STATUS& status,
                   uint64_t now) {
  if (control == SERVICE_CONTROL_INTERROGATE) return ERROR_SUCCESS;
  const DWORD flag = AcceptFlagOf(control);
  // No simulated service handles controls of its own.
  if (flag == 0 || (status.dwControlsAccepted & flag) == 0) return ERROR_INVALID_SERVICE_CONTROL;
  const DWORD state = status.dwCurrentState;
  if (control == SERVICE_CONTROL_STOP) {
    service.Begin(SERVICE_STOP_PENDING, now);
  } else if (control == SERVICE_CONTROL_PAUSE && state != SERVICE_PAUSED) {
    service.Begin(SERVICE_PAUSE_PENDING, now);
  } else if (control == SERVICE_CONTROL_CONTINUE && state == SERVICE_PAUSED) {
    service.Begin(SERVICE_CONTINUE_PENDING, now);
  }
  // Parameter and binding changes leave the state as it is.
  return ERROR_SUCCESS;
}

}  // namespace

std::string LastServicesError() { return LastErrorText(); }

}  // namespace machine::services

using namespace machine;
using namespace machine::services;

SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                                DWORD dwDesiredAccess) {
  SC_HANDLE handle = nullptr;
  DWORD error = Guarded([&](Machine& machine) -> DWORD {
    if (lpMachineName && !IsLocalMachineName(machine, lpMachineName)) {
      return RPC_S_SERVER_UNAVAILABLE;
    }
    if (lpDatabaseName && !EqualNoCase(lpDatabaseName, SERVICES_ACTIVE_DATABASEW)) {
      return ERROR_DATABASE_DOES_NOT_EXIST;
    }
    auto manager = std::make_shared<ScManager>();
    manager->machine = machine.Root();
    manager->access = dwDesiredAccess;
    handle = reinterpret_cast<SC_HANDLE>(RegisterHandle(manager));
    return ERROR_SUCCESS;
  });
  Result(error);
  return handle;
}

SC_HANDLE WINAPI OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
  SC_HANDLE handle = nullptr;
  DWORD error = Guarded([&](Machine& machine) -> DWORD {
    if (!Lookup<ScManager>(hSCManager, machine)) return ERROR_INVALID_HANDLE;
    if (!lpServiceName || !IsValidServiceName(lpServiceName)) return ERROR_INVALID_NAME;
    IniFile& file = ServiceFile::Of(machine).Read();
    std::string section = FindService(file, ToUtf8(lpServiceName));
    if (section.empty()) return ERROR_SERVICE_DOES_NOT_EXIST;
    auto service = std::make_shared<ScService>();
    service->machine = machine.Root();
    service->access = dwDesiredAccess;
    service->name = section;
    handle = reinterpret_cast<SC_HANDLE>(RegisterHandle(service));
    return ERROR_SUCCESS;
  });
  Result(error);
  return handle;
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  if (!lpServiceName) return OpenServiceW(hSCManager, nullptr, dwDesiredAccess);
  std::u16string name = FromAnsi(lpServiceName);
  return OpenServiceW(hSCManager, name.c_str(), dwDesiredAccess);
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  if (!UnregisterHandleOf<ScObject>(reinterpret_cast<HANDLE>(hSCObject))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

namespace {

// Runs `body` on the service behind the handle after checking the handle and
// the right it needs; records the service when `body` changed it.
template <typename Body>
DWORD WithService(SC_HANDLE handle, DWORD right, Body body) {
  return Guarded([&](Machine& machine) -> DWORD {
    auto service = Lookup<ScService>(handle, machine);
    if (!service) return ERROR_INVALID_HANDLE;
    if ((service->access & right) != right) return ERROR_ACCESS_DENIED;
    ServiceFile& services = ServiceFile::Of(machine);
    IniFile& file = services.Read();
    std::string section = FindService(file, service->name);
    // The service was removed from the image while the handle was open.
    if (section.empty()) return ERROR_SERVICE_DOES_NOT_EXIST;
    ServiceRecord record(file, section);
    const auto before = file.Entries(section);
    DWORD error = ERROR_SUCCESS;
    try {
      error = body(record, ClockNow());
    } catch (...) {
      services.Forget();  // the change in memory never reached the file
      throw;
    }
    if (file.Entries(section) != before) services.Write(section);
    return error;
  });
}

}  // namespace

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  if (!lpServiceStatus) return Result(ERROR_INVALID_PARAMETER);
  return Result(WithService(hService, SERVICE_QUERY_STATUS,
                            [&](ServiceRecord& service, uint64_t now) -> DWORD {
                              *lpServiceStatus = service.Status(now);
                              return ERROR_SUCCESS;
                            }));
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  if (!lpServiceStatus) return Result(ERROR_INVALID_PARAMETER);
  DWORD right = RequiredRight(dwControl);
  if (!right) return Result(ERROR_INVALID_PARAMETER);
  return Result(WithService(hService, right, [&](ServiceRecord& service, uint64_t now) -> DWORD {
    const SERVICE_STATUS status = service.Status(now);
    const DWORD state = status.dwCurrentState;
    DWORD error = ERROR_SUCCESS;
    if (state == SERVICE_STOPPED) {
      error = ERROR_SERVICE_NOT_ACTIVE;
    } else if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) {
      error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    } else {
      error = ApplyControl(service, dwControl, status, now);
    }
    // Windows fills in the latest status on success and on these refusals.
    *lpServiceStatus = service.Status(now);
    return error;
  }));
}

BOOL WINAPI StartServiceW(SC_HANDLE hService, DWORD, LPCWSTR*) {
  return Result(
      WithService(hService, SERVICE_START, [&](ServiceRecord& service, uint64_t now) -> DWORD {
        if (service.Disabled()) return ERROR_SERVICE_DISABLED;
        if (service.State(now) != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
        service.Begin(SERVICE_START_PENDING, now);
        return ERROR_SUCCESS;
      }));
}

std::vector<std::string> machine::services::ServiceNames() {
  Machine& machine = RequireMachine();
  std::lock_guard<machine::ImageLock> lock(machine.Lock());
  return ServiceFile::Of(machine).Read().Sections();
}

IniFile machine::services::ReadServices() {
  Machine& machine = RequireMachine();
  std::lock_guard<machine::ImageLock> lock(machine.Lock());
  return ServiceFile::Of(machine).Read();
}

bool machine::services::AddService(
    const std::string& name, const std::vector<std::pair<std::string, std::string>>& settings) {
  Machine& machine = RequireMachine();
  std::lock_guard<machine::ImageLock> lock(machine.Lock());
  ServiceFile& services = ServiceFile::Of(machine);
  IniFile& file = services.Read();
  if (!FindService(file, name).empty()) return false;
  try {
    for (const auto& [key, value] : settings) file.Set(name, key, value);
  } catch (...) {
    services.Forget();
    throw;
  }
  services.Write(name);
  return true;
}
