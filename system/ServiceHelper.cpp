#include "system/ServiceHelper.h"

namespace {

// The access both handles are opened with; it lacks SERVICE_PAUSE_CONTINUE.
constexpr DWORD kAllAccess = 0xF003F;
constexpr int kMaxPolls = 100;
constexpr DWORD kPollInterval = 500;

constexpr uint32_t Bit(uint32_t state) { return 1u << state; }

}  // namespace

// One control operation: the states in which it has nothing to do, how it
// asks the service, and the pending and target states it waits for.
struct ServiceHelper::Control {
  uint32_t doneStates;  // a bit per state
  DWORD request;        // a SERVICE_CONTROL_ code, or 0 for StartServiceW
  uint32_t pending;
  uint32_t target;

  bool Done(uint32_t state) const { return state < 32 && (doneStates & Bit(state)) != 0; }
};

namespace {

constexpr uint32_t kStopped = SERVICE_STOPPED, kStartPending = SERVICE_START_PENDING,
                   kStopPending = SERVICE_STOP_PENDING, kRunning = SERVICE_RUNNING,
                   kContinuePending = SERVICE_CONTINUE_PENDING,
                   kPausePending = SERVICE_PAUSE_PENDING, kPaused = SERVICE_PAUSED;

}  // namespace

ServiceHelper::~ServiceHelper() { Close(); }

bool ServiceHelper::Open(const char* serviceName) {
  if (manager) Close();
  manager = OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, kAllAccess);
  if (!manager) return false;
  service = OpenServiceA(manager, serviceName, kAllAccess);
  if (!service) {
    CloseServiceHandle(manager);
    manager = nullptr;
    return false;
  }
  return true;
}

bool ServiceHelper::Open(const CSPString& serviceName) { return Open(serviceName.GetString()); }

void ServiceHelper::Close() {
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  service = nullptr;
  manager = nullptr;
}

uint32_t ServiceHelper::GetState() const {
  if (!service) return 0;
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return 0;
  return status.dwCurrentState;
}

bool ServiceHelper::Request(const Control& control) {
  if (control.request == 0) return StartServiceW(service, 0, nullptr) != FALSE;
  SERVICE_STATUS status{};
  return ControlService(service, control.request, &status) != FALSE;
}

bool ServiceHelper::Run(const Control& control, bool wait) {
  if (!service) return false;
  if (control.Done(GetState())) return true;
  if (!Request(control)) return false;
  return !wait || WaitForState(control.pending, control.target);
}

bool ServiceHelper::Stop(bool wait) {
  static const Control stop{Bit(kStopped) | Bit(kStopPending), SERVICE_CONTROL_STOP, kStopPending,
                            kStopped};
  return Run(stop, wait);
}

bool ServiceHelper::Start(bool wait) {
  static const Control start{Bit(kStartPending) | Bit(kRunning) | Bit(kContinuePending), 0,
                             kStartPending, kRunning};
  return Run(start, wait);
}

bool ServiceHelper::Pause(bool wait) {
  static const Control pause{Bit(kPaused) | Bit(kPausePending) | Bit(kStopPending),
                             SERVICE_CONTROL_PAUSE, kPausePending, kPaused};
  return Run(pause, wait);
}

bool ServiceHelper::Continue(bool wait) {
  static const Control resume{Bit(kRunning) | Bit(kContinuePending) | Bit(kStartPending),
                              SERVICE_CONTROL_CONTINUE, kContinuePending, kRunning};
  return Run(resume, wait);
}

bool ServiceHelper::WaitForState(uint32_t pending, uint32_t target) const {
  uint32_t state = 0;
  for (int poll = 0; poll < kMaxPolls; ++poll) {
    state = GetState();
    if (state == 0) return false;
    if (state != pending) break;
    Sleep(kPollInterval);
  }
  return state == target;
}
