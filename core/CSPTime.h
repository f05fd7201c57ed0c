// A time of day, kept normalised to 00:00:00 .. 23:59:59.
#pragma once

#include <cstdint>

#include "core/CSPObject.h"

class CSPTime : public CSPObject {
 public:
  CSPTime() = default;
  CSPTime(int32_t second, int32_t minute, int32_t hour, int32_t half);
  CSPTime(const CSPTime&) = default;
  CSPTime& operator=(const CSPTime&) = default;
  ~CSPTime() override = default;

  // Overflowing seconds carry into minutes and minutes into hours; the hour
  // wraps at midnight. half 2 means "p.m." and adds 12 hours. Never fails.
  void SetTime(int32_t second, int32_t minute, int32_t hour, int32_t half);

  int32_t GetHour() const { return hour; }
  int32_t GetMinute() const { return minute; }
  int32_t GetSecond() const { return second; }

 private:
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
};
