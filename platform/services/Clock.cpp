#include "platform/clock.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/win/synchapi.h"

namespace machine {

namespace {

std::atomic<ManualClock*> manual{nullptr};

uint64_t WallNow() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace

uint64_t ClockNow() {
  ManualClock* clock = manual.load();
  return clock ? clock->Now() : WallNow();
}

void ClockSleep(uint32_t milliseconds) {
  ManualClock* clock = manual.load();
  if (!clock) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return;
  }
  ++clock->sleeps_;
  clock->slept_ += milliseconds;
  clock->now_ += milliseconds;
}

ManualClock::ManualClock() : now_(WallNow()) {
  ManualClock* expected = nullptr;
  if (!manual.compare_exchange_strong(expected, this)) {
    throw std::logic_error("a manual clock is already installed");
  }
}

ManualClock::~ManualClock() { manual.store(nullptr); }

}  // namespace machine

// Sleep(INFINITE) on the wall clock would never return; nothing here asks
// for it, and the manual clock simply adds the value.
void WINAPI Sleep(DWORD dwMilliseconds) { machine::ClockSleep(dwMilliseconds); }
