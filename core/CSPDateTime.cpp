#include "core/CSPDateTime.h"

#include <climits>
#include <ctime>

CSPDateTime::CSPDateTime(const CSPDate& date, const CSPTime& time, int32_t isDst)
    : date(date), time(time), isDst(isDst) {
  if (isDst < 0) DetermineDst();
}

CSPDateTime::CSPDateTime(int32_t second, int32_t minute, int32_t hour, int32_t day, int32_t month,
                         int32_t year, int32_t isDst)
    : date(day, month, year), time(second, minute, hour, 0), isDst(isDst) {
  if (isDst < 0) DetermineDst();
}

void CSPDateTime::DetermineDst() {
  isDst = -1;
  // tm_year counts from 1900; a year that does not fit cannot be asked about.
  if (date.GetYear() < INT_MIN + 1900) return;
  std::tm local{};
  local.tm_sec = time.GetSecond();
  local.tm_min = time.GetMinute();
  local.tm_hour = time.GetHour();
  local.tm_mday = date.GetDay();
  local.tm_mon = date.GetMonth() - 1;
  local.tm_year = date.GetYear() - 1900;
  local.tm_isdst = -1;
  if (std::mktime(&local) == static_cast<std::time_t>(-1)) return;
  isDst = local.tm_isdst;
}
