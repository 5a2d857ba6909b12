// The calendar helpers: month lengths, encoding and decoding dates and times.
#include <gtest/gtest.h>

#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Clock.h"
#include "framework/core/Exceptions.h"
#include "tests/support/ClockOverride.h"

namespace tempolog {
namespace {

TEST(Calendar, LeapYearsAndMonthLengths) {
  struct Row {
    int year, month, days;
  };
  const Row rows[] = {{2024, 2, 29}, {2023, 2, 28}, {1900, 2, 28},  {2000, 2, 29}, {2100, 2, 28},
                      {2024, 1, 31}, {2024, 4, 30}, {2024, 12, 31}, {2024, 0, 0},  {2024, 13, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.year) + "-" + std::to_string(row.month));
    EXPECT_EQ(DaysInMonth(row.year, row.month), row.days);
  }
}

TEST(Calendar, EncodesAndDecodes) {
  struct Row {
    LocalTime parts;
    TDateTimeValue value;
    int dayOfWeek;  // 0 = Sunday
  };
  const Row rows[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0, 6},       {{1899, 12, 31, 12, 0, 0, 0}, 1.5, 0},
      {{1899, 12, 29, 6, 0, 0, 0}, -1.25, 5},     {{1900, 1, 1, 0, 0, 0, 0}, 2.0, 1},
      {{2024, 3, 5, 0, 0, 0, 0}, 45356.0, 2},     {{1, 1, 1, 0, 0, 0, 0}, -693593.0, 1},
      {{9999, 12, 31, 0, 0, 0, 0}, 2958465.0, 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_DOUBLE_EQ(EncodeDateTimeValue(row.parts), row.value);
    const LocalTime t = DecodeDateTimeValue(row.value);
    EXPECT_EQ(t.year, row.parts.year);
    EXPECT_EQ(t.month, row.parts.month);
    EXPECT_EQ(t.day, row.parts.day);
    EXPECT_EQ(t.hour, row.parts.hour);
    EXPECT_EQ(t.minute, row.parts.minute);
    EXPECT_EQ(DayOfWeekIndex(row.value), row.dayOfWeek);
  }
  const LocalTime t = DecodeDateTimeValue(EncodeDateTimeValue(2024, 3, 5, 23, 59, 59, 999));
  EXPECT_EQ(t.hour * 10000000 + t.minute * 100000 + t.second * 1000 + t.millisecond, 235959999);
}

TEST(Calendar, RejectsFieldsOutOfRange) {
  const LocalTime rows[] = {
      {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},   {2023, 2, 29, 0, 0, 0, 0},
      {2024, 4, 31, 0, 0, 0, 0}, {2024, 1, 1, 24, 0, 0, 0},   {2024, 1, 1, 0, 60, 0, 0},
      {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000}, {2024, 1, 1, -1, 0, 0, 0},
  };
  for (const auto& parts : rows) {
    TDateTimeValue value = 7;
    EXPECT_FALSE(TryEncodeDateTimeValue(parts, value));
    EXPECT_EQ(value, 7);
    EXPECT_THROW(EncodeDateTimeValue(parts), EConvertError);
  }
}

TEST(Calendar, NowReadsTheClock) {
  ClockOverride clock(LocalTime{2024, 3, 5, 7, 4, 9, 500});
  // Day 45356 and 7 h 4 min 9.5 s of its 86400 s.
  EXPECT_DOUBLE_EQ(NowValue(), 45356 + 25449.5 / 86400);
}

}  // namespace
}  // namespace tempolog
