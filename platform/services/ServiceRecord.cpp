#include "platform/services/ServiceRecord.h"

#include <algorithm>
#include <cctype>

namespace machine::services {

namespace {

struct NamedState {
  DWORD state;
  std::string_view name;
};

constexpr NamedState kStates[] = {
    {SERVICE_STOPPED, "stopped"},
    {SERVICE_START_PENDING, "start pending"},
    {SERVICE_STOP_PENDING, "stop pending"},
    {SERVICE_RUNNING, "running"},
    {SERVICE_CONTINUE_PENDING, "continue pending"},
    {SERVICE_PAUSE_PENDING, "pause pending"},
    {SERVICE_PAUSED, "paused"},
};

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Checkpoints advance once per this many milliseconds of a pending state.
constexpr uint64_t kCheckPointStep = 500;

}  // namespace

namespace {

struct Transition {
  DWORD pending;
  DWORD target;
  std::string_view durationKey;
  std::string_view name;  // as Hang names it
};

constexpr Transition kTransitions[] = {
    {SERVICE_START_PENDING, SERVICE_RUNNING, "StartPendingMs", "start"},
    {SERVICE_STOP_PENDING, SERVICE_STOPPED, "StopPendingMs", "stop"},
    {SERVICE_CONTINUE_PENDING, SERVICE_RUNNING, "ContinuePendingMs", "continue"},
    {SERVICE_PAUSE_PENDING, SERVICE_PAUSED, "PausePendingMs", "pause"},
};

const Transition* TransitionOf(DWORD pendingState) {
  for (const Transition& transition : kTransitions) {
    if (transition.pending == pendingState) return &transition;
  }
  return nullptr;
}

}  // namespace

std::string_view StateName(DWORD state) {
  for (const auto& entry : kStates) {
    if (entry.state == state) return entry.name;
  }
  return {};
}

DWORD StateFromName(std::string_view name) {
  for (const auto& entry : kStates) {
    if (SameText(entry.name, Trim(name))) return entry.state;
  }
  return 0;
}

std::string FindService(const IniFile& file, std::string_view name) {
  const std::string* section = file.SectionName(name);
  return section != nullptr ? *section : std::string();
}

ServiceRecord::ServiceRecord(IniFile& file, std::string section)
    : file_(file), section_(std::move(section)) {}

void ServiceRecord::Malformed(std::string_view key, const std::string& what) const {
  throw MachineError(file_.Where(section_, key, "services.ini") + ": [" + section_ + "] " + what);
}

std::string ServiceRecord::Setting(std::string_view key, std::string_view fallback) const {
  return file_.GetOr(section_, key, fallback);
}

uint64_t ServiceRecord::Number(std::string_view key) const {
  std::string text = Setting(key, "0");
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 19) {
    Malformed(key, std::string(key) + " = \"" + text + "\" is not a number of milliseconds");
  }
  return std::stoull(text);
}

DWORD ServiceRecord::StoredState() const {
  std::string name = Setting("State", "stopped");
  DWORD state = StateFromName(name);
  if (!state) {
    Malformed("State", "State = \"" + name + "\" is not a service state");
  }
  return state;
}

bool ServiceRecord::Hangs(std::string_view transitionName) const {
  std::string hang = Setting("Hang", "none");
  if (SameText(hang, transitionName)) return true;
  if (SameText(hang, "none")) return false;
  for (const Transition& transition : kTransitions) {
    if (SameText(hang, transition.name)) return false;
  }
  Malformed("Hang", "Hang = \"" + hang + "\" is not none, start, stop, pause or continue");
}

DWORD ServiceRecord::AcceptedControls() const {
  std::string list = Setting("Accepts", "stop");
  DWORD accepted = 0;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    std::string_view item = Trim(std::string_view(list).substr(start, comma - start));
    if (SameText(item, "stop")) {
      accepted |= SERVICE_ACCEPT_STOP;
    } else if (SameText(item, "pause")) {
      accepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
    } else if (SameText(item, "shutdown")) {
      accepted |= SERVICE_ACCEPT_SHUTDOWN;
    } else if (!item.empty()) {
      Malformed("Accepts", "Accepts: unknown control \"" + std::string(item) + "\"");
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return accepted;
}

bool ServiceRecord::Accepts(DWORD acceptFlag) const {
  return (AcceptedControls() & acceptFlag) != 0;
}

DWORD ServiceRecord::TargetOf(DWORD pendingState, DWORD usualTarget) const {
  std::string fails = Setting("FailsToStart", "no");
  if (!SameText(fails, "no") && !SameText(fails, "yes")) {
    Malformed("FailsToStart", "FailsToStart = \"" + fails + "\" is not yes or no");
  }
  if (pendingState == SERVICE_START_PENDING && SameText(fails, "yes")) return SERVICE_STOPPED;
  return usualTarget;
}

bool ServiceRecord::Disabled() const {
  return SameText(Setting("StartType", "demand"), "disabled");
}

SERVICE_STATUS ServiceRecord::Status(uint64_t now) const {
  SERVICE_STATUS status{};
  status.dwServiceType = SameText(Setting("Type", "share"), "own") ? SERVICE_WIN32_OWN_PROCESS
                                                                   : SERVICE_WIN32_SHARE_PROCESS;
  status.dwCurrentState = StoredState();
  DWORD accepted = AcceptedControls();
  if (const Transition* transition = TransitionOf(status.dwCurrentState)) {
    uint64_t since = Number("PendingSince");
    uint64_t duration = Number(transition->durationKey);
    uint64_t elapsed = now > since ? now - since : 0;
    if (!Hangs(transition->name) && elapsed >= duration) {
      status.dwCurrentState = TargetOf(transition->pending, transition->target);
    } else {
      // A service reports progress while pending and takes no controls.
      status.dwCheckPoint = static_cast<DWORD>(1 + elapsed / kCheckPointStep);
      status.dwWaitHint = static_cast<DWORD>(std::min<uint64_t>(duration, 0xFFFFFFFFu));
      accepted = 0;
    }
  }
  if (status.dwCurrentState == SERVICE_STOPPED) accepted = 0;
  status.dwControlsAccepted = accepted;
  return status;
}

void ServiceRecord::Begin(DWORD pendingState, uint64_t now) {
  const Transition* transition = TransitionOf(pendingState);
  if (!transition) return;
  if (!Hangs(transition->name) && Number(transition->durationKey) == 0) {
    file_.Set(section_, "State", StateName(TargetOf(pendingState, transition->target)));
    file_.Remove(section_, "PendingSince");
    return;
  }
  file_.Set(section_, "State", StateName(pendingState));
  file_.Set(section_, "PendingSince", std::to_string(now));
}

}  // namespace machine::services
