// The calendar behind TDateTimeValue: proleptic Gregorian days counted from
// 1899-12-30, the time of day as a fraction.
#include <cmath>
#include <cstdint>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"

namespace tempolog {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Day numbers relative to 1970-01-01 of the value's day 0, 1899-12-30.
constexpr std::int64_t kDay0 = -25'569;
// Values further from day 0 than this are not decoded (they would not fit
// the millisecond arithmetic); they read as day 0.
constexpr double kDecodeLimit = 1e8;

// Days from 1970-01-01 to a proleptic Gregorian date (any year).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t z, LocalTime& t) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2));
}

// Whole milliseconds of a value, or 0 when it cannot be decoded.
std::int64_t ValueMilliseconds(TDateTimeValue value) {
  if (!std::isfinite(value) || std::fabs(value) > kDecodeLimit) return 0;
  return std::llround(value * static_cast<double>(kMsPerDay));
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTimeValue& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) - kDay0);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTimeValue& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    return false;
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  result = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  return true;
}

bool TryEncodeDateTimeValue(const LocalTime& parts, TDateTimeValue& result) {
  TDateTimeValue date = 0;
  TDateTimeValue time = 0;
  if (!TryEncodeDate(parts.year, parts.month, parts.day, date) ||
      !TryEncodeTime(parts.hour, parts.minute, parts.second, parts.millisecond, time))
    return false;
  result = date >= 0 ? date + time : date - time;
  return true;
}

TDateTimeValue EncodeDateTimeValue(const LocalTime& parts) {
  TDateTimeValue result = 0;
  if (!TryEncodeDateTimeValue(parts, result)) throw EConvertError("Invalid date or time value");
  return result;
}

TDateTimeValue EncodeDateTimeValue(int year, int month, int day, int hour, int minute, int second,
                                   int millisecond) {
  return EncodeDateTimeValue(LocalTime{year, month, day, hour, minute, second, millisecond});
}

LocalTime DecodeDateTimeValue(TDateTimeValue value) {
  const std::int64_t total = ValueMilliseconds(value);
  // Before day 0 the time of day is subtracted, so it is the magnitude's
  // remainder, and the day number truncates towards zero.
  const std::int64_t days = total / kMsPerDay;
  std::int64_t ms = (total < 0 ? -total : total) % kMsPerDay;
  LocalTime t;
  CivilFromDays(days + kDay0, t);
  t.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  t.second = static_cast<int>(ms % 60);
  ms /= 60;
  t.minute = static_cast<int>(ms % 60);
  t.hour = static_cast<int>(ms / 60);
  return t;
}

int DayOfWeekIndex(TDateTimeValue value) {
  // Day 0, 1899-12-30, was a Saturday.
  const std::int64_t days = ValueMilliseconds(value) / kMsPerDay;
  return static_cast<int>(((days % 7) + 7 + 6) % 7);
}

TDateTimeValue NowValue() {
  TDateTimeValue result = 0;
  TryEncodeDateTimeValue(ClockNow(), result);
  return result;
}

}  // namespace tempolog
