// A validated Gregorian calendar date with its day of the year and weekday.
#pragma once

#include <cstdint>

#include "core/CSPObject.h"

class CSPDate : public CSPObject {
 public:
  CSPDate() = default;
  // Throws OutOfRange for an impossible date, like SetDate.
  CSPDate(int32_t day, int32_t month, int32_t year);
  CSPDate(const CSPDate&) = default;
  CSPDate& operator=(const CSPDate&) = default;
  ~CSPDate() override = default;

  // An impossible date (month outside 1-12, day outside the month) is not
  // stored: the object becomes the empty date and OutOfRange is thrown,
  // whatever throwOnError says.
  void SetDate(int32_t day, int32_t month, int32_t year);

  int32_t GetYear() const { return year; }
  int32_t GetMonth() const { return month; }
  int32_t GetDay() const { return day; }
  int32_t GetDayOfYear() const { return dayOfYear; }
  int32_t GetWeekday() const { return weekday; }  // 0 = Sunday

  void Clear();
  bool IsEmpty() const { return month == 0 && day == 0; }

  // Year 0 is never a leap year.
  static bool IsLeapYear(int32_t year);
  static int32_t DaysInMonth(int32_t month, int32_t year);  // 0 for no such month
  // Days since the start of year 0 for a valid date; 1 January 2000 is 730484.
  static int64_t DayNumber(int32_t day, int32_t month, int32_t year);

 private:
  int32_t year = 0;
  int32_t month = 0;
  int32_t dayOfYear = 0;
  int32_t day = 0;
  int32_t weekday = 0;
};
