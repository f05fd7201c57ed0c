// A calendar date with a time of day and its daylight-saving state.
#pragma once

#include <cstdint>

#include "core/CSPDate.h"
#include "core/CSPTime.h"

class CSPDateTime {
 public:
  CSPDateTime() = default;
  // A negative isDst asks for the local daylight-saving state of that moment
  // to be determined; it stays -1 when the C library cannot tell.
  CSPDateTime(const CSPDate& date, const CSPTime& time, int32_t isDst);
  // Throws OutOfRange for an impossible date.
  CSPDateTime(int32_t second, int32_t minute, int32_t hour, int32_t day, int32_t month,
              int32_t year, int32_t isDst);
  CSPDateTime(const CSPDateTime&) = default;
  CSPDateTime& operator=(const CSPDateTime&) = default;
  virtual ~CSPDateTime() = default;

  CSPDate& GetDate() { return date; }
  const CSPDate& GetDate() const { return date; }
  CSPTime& GetTime() { return time; }
  const CSPTime& GetTime() const { return time; }
  // -1 not determined, 0 standard time, positive daylight-saving time.
  int32_t GetIsDst() const { return isDst; }

 private:
  void DetermineDst();

  CSPDate date;
  CSPTime time;
  int32_t isDst = -1;
};
