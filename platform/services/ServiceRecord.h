// One service of the simulated server as services.ini describes it:
//
//   [W3SVC]
//   DisplayName = World Wide Web Publishing Service
//   Type = share                 own | share (its own process or a shared one)
//   StartType = auto             auto | demand | disabled
//   State = running              stopped | start pending | stop pending |
//                                running | continue pending | pause pending | paused
//   Accepts = stop, pause        the controls it takes besides interrogation
//   StartPendingMs = 1500        how long each transition stays pending
//   StopPendingMs = 2000         (missing: 0, the transition ends at once)
//   PausePendingMs = 500
//   ContinuePendingMs = 500
//   Hang = none                  none | start | stop | pause | continue: that
//                                transition never ends
//   FailsToStart = no            yes: a start ends stopped, as when the
//                                service's process gives up while starting
//   PendingSince = 1700000000000 written by the stand-in: when the pending
//                                state began, on the clock of platform/clock.h
//
// A pending state ends by itself once its time has passed; reading the state
// computes that, nothing needs to run meanwhile. A pending state without
// PendingSince counts as having begun long ago.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/machine.h"
#include "platform/win/winsvc.h"

namespace machine::services {

// "stop pending" for SERVICE_STOP_PENDING; empty for an unknown state.
std::string_view StateName(DWORD state);
// 0 for an unknown name.
DWORD StateFromName(std::string_view name);

// The section of services.ini naming the service, in the file's case; empty
// when there is none. Service names match without regard to case.
std::string FindService(const IniFile& file, std::string_view name);

class ServiceRecord {
 public:
  // `section` must exist in `file`, which outlives the record.
  ServiceRecord(IniFile& file, std::string section);

  const std::string& Name() const { return section_; }
  // The status at time `now`. Throws MachineError for a malformed setting.
  SERVICE_STATUS Status(uint64_t now) const;
  DWORD State(uint64_t now) const { return Status(now).dwCurrentState; }
  // SERVICE_ACCEPT_STOP or SERVICE_ACCEPT_PAUSE_CONTINUE.
  bool Accepts(DWORD acceptFlag) const;
  bool Disabled() const;
  // Enters a pending state now; a transition that takes no time (and does
  // not hang) ends at once in its target state.
  void Begin(DWORD pendingState, uint64_t now);

 private:
  // Throws MachineError naming the file and line of the key.
  [[noreturn]] void Malformed(std::string_view key, const std::string& what) const;
  std::string Setting(std::string_view key, std::string_view fallback) const;
  uint64_t Number(std::string_view key) const;
  DWORD StoredState() const;
  bool Hangs(std::string_view transitionName) const;
  DWORD AcceptedControls() const;
  DWORD TargetOf(DWORD pendingState, DWORD usualTarget) const;

  IniFile& file_;
  std::string section_;
};

}  // namespace machine::services
