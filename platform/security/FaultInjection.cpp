#include "platform/security/FaultInjection.h"

#include <atomic>
#include <map>
#include <mutex>

namespace winsec {

namespace {

struct Armed {
  DWORD error;
  unsigned remaining;
};

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

std::map<Injectable, Armed>& Failures() {
  static std::map<Injectable, Armed> failures;
  return failures;
}

// Keeps the common path free of the lock while nothing is armed.
std::atomic<bool> anyArmed{false};

}  // namespace

void FailCall(Injectable function, DWORD error, unsigned nth) {
  std::lock_guard<std::mutex> guard(Lock());
  Failures()[function] = Armed{error, nth == 0 ? 1 : nth};
  anyArmed = true;
}

void ClearInjectedFailures() {
  std::lock_guard<std::mutex> guard(Lock());
  Failures().clear();
  anyArmed = false;
}

bool InjectedFailure(Injectable function, DWORD& error) {
  if (!anyArmed) return false;
  std::lock_guard<std::mutex> guard(Lock());
  auto it = Failures().find(function);
  if (it == Failures().end() || --it->second.remaining > 0) return false;
  error = it->second.error;
  Failures().erase(it);
  anyArmed = !Failures().empty();
  return true;
}

}  // namespace winsec
