// Controls one Windows service through the service control manager: the
// installation stops the web service ("W3SVC") before it replaces the
// product's files and starts it again afterwards.
//
// States are Windows' values: 1 stopped, 2 start pending, 3 stop pending,
// 4 running, 5 continue pending, 6 pause pending, 7 paused; 0 stands for
// unknown (no service open, or the query failed).
#pragma once

#include <cstdint>

#include "core/CSPString.h"
#include "platform/win.h"

class ServiceHelper {
 public:
  ServiceHelper() = default;
  // Closes the handles still held.
  virtual ~ServiceHelper();
  ServiceHelper(const ServiceHelper&) = delete;
  ServiceHelper& operator=(const ServiceHelper&) = delete;

  // Opens the local service control manager and the named service, both with
  // SC_MANAGER_ALL_ACCESS / 0xF003F, which allows querying, starting and
  // stopping but not pausing. True when both handles were obtained.
  bool Open(const CSPString& serviceName);
  bool Open(const char* serviceName);
  void Close();

  uint32_t GetState() const;

  // Each succeeds at once when the service is already where the operation
  // leads (or on its way there); otherwise it sends its request and, with
  // `wait`, waits for the pending state to end in the target state.
  bool Stop(bool wait);
  bool Start(bool wait);
  bool Pause(bool wait);
  bool Continue(bool wait);

  // Polls up to 100 times, 500 ms apart, while the service is in `pending`;
  // true when the last state read is `target`.
  bool WaitForState(uint32_t pending, uint32_t target) const;

 private:
  struct Control;
  bool Run(const Control& control, bool wait);
  bool Request(const Control& control);

  SC_HANDLE manager = nullptr;
  SC_HANDLE service = nullptr;
};
