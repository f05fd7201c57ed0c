#include "core/CSPDate.h"

#include "core/CSPThrow.h"

namespace {

const int32_t kMonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days of the months before `month` in a common year.
int32_t DaysBeforeMonth(int32_t month) {
  int32_t days = 0;
  for (int32_t m = 1; m < month; ++m) days += kMonthLengths[m - 1];
  return days;
}

int64_t FloorDiv(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  if (value % divisor < 0) --quotient;
  return quotient;
}

// A day number known to be a Sunday.
const int64_t kSundayDayNumber = 730478;

}  // namespace

CSPDate::CSPDate(int32_t day, int32_t month, int32_t year) { SetDate(day, month, year); }

bool CSPDate::IsLeapYear(int32_t year) {
  if (year == 0) return false;
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t CSPDate::DaysInMonth(int32_t month, int32_t year) {
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kMonthLengths[month - 1];
}

int64_t CSPDate::DayNumber(int32_t day, int32_t month, int32_t year) {
  // The leap days before the year, counted with floor division so that the
  // count stays right for years before 0. Year 0 is common (IsLeapYear), so
  // it and every earlier year get back the leap day the cycles credit to it;
  // without that, year 0 would be 366 days long and every weekday before it
  // one day off.
  int64_t previous = static_cast<int64_t>(year) - 1;
  int64_t leapDays = FloorDiv(previous, 4) + FloorDiv(previous, 400) - FloorDiv(previous, 100);
  if (year <= 0) ++leapDays;
  int64_t number = static_cast<int64_t>(year) * 365 + leapDays + DaysBeforeMonth(month) + day - 1;
  if (month > 2 && IsLeapYear(year)) ++number;
  return number;
}

void CSPDate::SetDate(int32_t day, int32_t month, int32_t year) {
  if (day < 1 || day > DaysInMonth(month, year)) {
    Clear();
    CSPThrowOutOfRange();
  }
  int64_t number = DayNumber(day, month, year);
  int64_t sinceSunday = (number - kSundayDayNumber) % 7;
  if (sinceSunday < 0) sinceSunday += 7;
  this->year = year;
  this->month = month;
  this->day = day;
  // The day number's offset from the year's first day is the day of the year.
  dayOfYear = static_cast<int32_t>(number - DayNumber(1, 1, year)) + 1;
  weekday = static_cast<int32_t>(sinceSunday);
}

void CSPDate::Clear() {
  year = 0;
  month = 0;
  dayOfYear = 0;
  day = 0;
  weekday = 0;
}
