#include <gtest/gtest.h>

#include "core/CSPDate.h"
#include "core/CSPDateTime.h"
#include "core/CSPException.h"
#include "core/CSPTime.h"

namespace {

const int32_t kOutOfRange = CSPSystemException::OutOfRange;

struct DateCase {
  int32_t day, month, year;
  int32_t weekday, dayOfYear;
};

class ValidDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(ValidDate, DerivesWeekdayAndDayOfYear) {
  const DateCase& c = GetParam();
  CSPDate date(c.day, c.month, c.year);
  EXPECT_EQ(date.GetDay(), c.day);
  EXPECT_EQ(date.GetMonth(), c.month);
  EXPECT_EQ(date.GetYear(), c.year);
  EXPECT_EQ(date.GetWeekday(), c.weekday);
  EXPECT_EQ(date.GetDayOfYear(), c.dayOfYear);
  EXPECT_FALSE(date.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Calendar, ValidDate,
                         ::testing::Values(DateCase{29, 2, 2000, 2, 60},    // leap by 400
                                           DateCase{31, 12, 2008, 3, 366},  // leap year end
                                           DateCase{1, 1, 2000, 6, 1},
                                           DateCase{1, 3, 1900, 4, 60},  // 1900 is common
                                           DateCase{31, 12, 1900, 1, 365},
                                           DateCase{1, 3, 2100, 1, 60},
                                           DateCase{15, 6, 2024, 6, 167}, DateCase{1, 1, 1, 1, 1},
                                           DateCase{31, 12, 0, 0, 365}));  // year 0 is common

struct BadDate {
  int32_t day, month, year;
};

class ImpossibleDate : public ::testing::TestWithParam<BadDate> {};

TEST_P(ImpossibleDate, ThrowsOutOfRangeAndLeavesEmptyDate) {
  const BadDate& c = GetParam();
  CSPDate date(14, 7, 2009);
  date.throwOnError = false;  // never consulted: an impossible date always throws
  try {
    date.SetDate(c.day, c.month, c.year);
    FAIL() << "no exception";
  } catch (const CSPSystemException& e) {
    EXPECT_EQ(e.GetCode(), kOutOfRange);
  }
  EXPECT_TRUE(date.IsEmpty());
  EXPECT_EQ(date.GetYear(), 0);
  EXPECT_EQ(date.GetDayOfYear(), 0);
  EXPECT_EQ(date.GetWeekday(), 0);
}

INSTANTIATE_TEST_SUITE_P(Calendar, ImpossibleDate,
                         ::testing::Values(BadDate{29, 2, 1900}, BadDate{29, 2, 2100},
                                           BadDate{29, 2, 0}, BadDate{1, 13, 2009},
                                           BadDate{1, 0, 2009}, BadDate{1, -3, 2009},
                                           BadDate{0, 5, 2009}, BadDate{-1, 5, 2009},
                                           BadDate{31, 4, 2009}, BadDate{32, 1, 2009}));

// Walks every day from the last day of firstYear - 1 through lastYear: each
// day's weekday and day of the year must follow from the previous day's, so a
// slip in any leap rule or month table shows up at the day it happens.
void WalkDays(int32_t firstYear, int32_t lastYear) {
  CSPDate previous(31, 12, firstYear - 1);
  for (int32_t year = firstYear; year <= lastYear; ++year) {
    for (int32_t month = 1; month <= 12; ++month) {
      for (int32_t day = 1; day <= CSPDate::DaysInMonth(month, year); ++day) {
        CSPDate date(day, month, year);
        ASSERT_EQ(date.GetWeekday(), (previous.GetWeekday() + 1) % 7)
            << day << '.' << month << '.' << year;
        int32_t expectedDayOfYear = month == 1 && day == 1 ? 1 : previous.GetDayOfYear() + 1;
        ASSERT_EQ(date.GetDayOfYear(), expectedDayOfYear) << day << '.' << month << '.' << year;
        previous = date;
      }
    }
    ASSERT_EQ(previous.GetDayOfYear(), CSPDate::IsLeapYear(year) ? 366 : 365) << year;
  }
}

TEST(CalendarWalk, ConsecutiveDaysAdvanceWeekdayAndDayOfYear) { WalkDays(1600, 2401); }

// Across year 0 (always common) and the cycles of the years before it.
TEST(CalendarWalk, YearsBeforeOneKeepTheWeekdaysContinuous) { WalkDays(-801, 1); }

TEST(CalendarWalk, DayNumberOfFirstJanuary2000) {
  EXPECT_EQ(CSPDate::DayNumber(1, 1, 2000), 730484);
}

TEST(DateValue, ClearAndCopy) {
  CSPDate date;
  EXPECT_TRUE(date.IsEmpty());
  date.SetDate(29, 2, 2000);
  CSPDate copy(date);
  date.Clear();
  EXPECT_TRUE(date.IsEmpty());
  EXPECT_EQ(date.GetYear(), 0);
  EXPECT_EQ(copy.GetDay(), 29);
  EXPECT_EQ(copy.GetWeekday(), 2);
  EXPECT_EQ(copy.GetDayOfYear(), 60);
}

struct TimeCase {
  int32_t second, minute, hour, half;
  int32_t expectedHour, expectedMinute, expectedSecond;
};

class TimeCarry : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeCarry, NormalisesComponents) {
  const TimeCase& c = GetParam();
  CSPTime time(c.second, c.minute, c.hour, c.half);
  EXPECT_EQ(time.GetHour(), c.expectedHour);
  EXPECT_EQ(time.GetMinute(), c.expectedMinute);
  EXPECT_EQ(time.GetSecond(), c.expectedSecond);
}

INSTANTIATE_TEST_SUITE_P(
    SetTime, TimeCarry,
    ::testing::Values(TimeCase{75, 10, 25, 0, 1, 11, 15}, TimeCase{0, 30, 11, 2, 23, 30, 0},
                      TimeCase{60, 59, 0, 0, 1, 0, 0}, TimeCase{59, 59, 23, 0, 23, 59, 59},
                      TimeCase{0, 0, 12, 2, 0, 0, 0},
                      TimeCase{0, 0, 5, 1, 5, 0, 0},  // only 2 means p.m.
                      // A negative component borrows instead of
                      // leaving a negative field.
                      TimeCase{-1, 0, 0, 0, 23, 59, 59},
                      TimeCase{0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 2, 0, 21, 7}));

TEST(TimeValue, NewTimeIsMidnightAndCopiesKeepFields) {
  CSPTime time;
  EXPECT_EQ(time.GetHour(), 0);
  EXPECT_EQ(time.GetMinute(), 0);
  EXPECT_EQ(time.GetSecond(), 0);
  time.SetTime(5, 6, 7, 0);
  CSPTime copy;
  copy = time;
  EXPECT_EQ(copy.GetHour(), 7);
  EXPECT_EQ(copy.GetMinute(), 6);
  EXPECT_EQ(copy.GetSecond(), 5);
}

TEST(DateTimeValue, DefaultIsEmptyMidnightWithUndeterminedDst) {
  CSPDateTime value;
  EXPECT_TRUE(value.GetDate().IsEmpty());
  EXPECT_EQ(value.GetTime().GetHour(), 0);
  EXPECT_EQ(value.GetIsDst(), -1);
  CSPDateTime copy(value);
  EXPECT_EQ(copy.GetIsDst(), -1);
}

TEST(DateTimeValue, GivenDstIsKeptAndCopied) {
  CSPDateTime summer(CSPDate(1, 7, 2009), CSPTime(0, 0, 12, 0), 1);
  CSPDateTime copy;
  copy = summer;
  EXPECT_EQ(copy.GetIsDst(), 1);
  EXPECT_EQ(copy.GetDate().GetMonth(), 7);
  EXPECT_EQ(copy.GetTime().GetHour(), 12);
  CSPDateTime winter(0, 30, 8, 15, 1, 2009, 0);
  EXPECT_EQ(winter.GetIsDst(), 0);
  EXPECT_EQ(winter.GetTime().GetMinute(), 30);
  EXPECT_EQ(winter.GetDate().GetDay(), 15);
}

TEST(DateTimeValue, NegativeDstIsDetermined) {
  CSPDateTime value(0, 0, 12, 1, 7, 2009, -1);
  EXPECT_GE(value.GetIsDst(), 0);
  EXPECT_EQ(value.GetDate().GetYear(), 2009);
}

TEST(DateTimeValue, ImpossibleDateInComponentsThrows) {
  try {
    CSPDateTime value(0, 0, 0, 30, 2, 2009, 0);
    FAIL() << "no exception";
  } catch (const CSPSystemException& e) {
    EXPECT_EQ(e.GetCode(), kOutOfRange);
  }
}

}  // namespace
