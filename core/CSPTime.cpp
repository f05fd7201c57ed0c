#include "core/CSPTime.h"

namespace {

// Floor division and its non-negative remainder, so that a negative component
// borrows from the next larger one instead of leaving a negative field.
int64_t FloorDiv(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  if (value % divisor < 0) --quotient;
  return quotient;
}

int32_t FloorMod(int64_t value, int64_t divisor) {
  return static_cast<int32_t>(value - FloorDiv(value, divisor) * divisor);
}

}  // namespace

CSPTime::CSPTime(int32_t second, int32_t minute, int32_t hour, int32_t half) {
  SetTime(second, minute, hour, half);
}

void CSPTime::SetTime(int32_t second, int32_t minute, int32_t hour, int32_t half) {
  // 64-bit sums: a carry added to an extreme component must not overflow.
  int64_t minutes = static_cast<int64_t>(minute) + FloorDiv(second, 60);
  int64_t hours = static_cast<int64_t>(hour) + FloorDiv(minutes, 60);
  if (half == 2) hours += 12;
  this->second = FloorMod(second, 60);
  this->minute = FloorMod(minutes, 60);
  this->hour = FloorMod(hours, 24);
}
