// The stand-in's clock. Simulated processes that take time (a service
// starting or stopping) are measured on it, and Sleep waits on it. It is the
// wall clock, in milliseconds since 1970, so that times written into the
// image by one process mean the same to the next; a test may install a
// ManualClock, after which Sleep returns at once and only moves that clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace machine {

uint64_t ClockNow();
// What Sleep does: waits on the wall clock, or advances the manual one.
void ClockSleep(uint32_t milliseconds);

// Replaces the wall clock for its lifetime; one at a time per process. It
// starts at the wall clock's time so that times already in an image stay
// meaningful.
class ManualClock {
 public:
  ManualClock();
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  uint64_t Now() const { return now_.load(); }
  void Advance(uint64_t milliseconds) { now_ += milliseconds; }
  // How often Sleep was called, and for how long in total.
  uint64_t Sleeps() const { return sleeps_.load(); }
  uint64_t Slept() const { return slept_.load(); }

 private:
  friend void ClockSleep(uint32_t milliseconds);
  std::atomic<uint64_t> now_;
  std::atomic<uint64_t> sleeps_{0};
  std::atomic<uint64_t> slept_{0};
};

}  // namespace machine
