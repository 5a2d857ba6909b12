// Text forms of timestamps and numbers, and the two pattern engines.
//
// Sections:
//   1. TDateTimeValue and the settings record TFormatSettings
//   2. The settings records: TextSettings (log, clock, replies) and the
//      process-wide settings from the user's locale (chart labels)
//   3. The fixed text forms: timestamps, clock, numbers, integers, trimming
//   4. The pattern engines: number patterns ("#00.0") and date-time
//      patterns ("dd.MM.yy hh:mm")
//   5. Calendar helpers: encoding and decoding TDateTimeValue
//
// Every text is a byte string; any byte may occur, NUL included. Parse
// failures throw EConvertError whose message quotes the whole input.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/core/Clock.h"

namespace tempolog {

// ---- 1. Types ---------------------------------------------------------------

// A date and time: days since 1899-12-30 00:00, the fraction is the time of
// day. For dates before 1899-12-30 the time of day is subtracted from the
// (negative) day number, so -1.25 is 1899-12-29 06:00.
using TDateTimeValue = double;

// Separators, forms and names that the conversions and pattern engines read.
// A separator character of '\0' means "no separator". Forms are date-time
// patterns (section 4). Day names start with Sunday. The default record is a
// neutral one: "." decimal point, "," grouping, ISO dates, 24-hour times,
// English names.
struct TFormatSettings {
  std::uint8_t currencyFormat = 0;  // placement of the currency text
  std::uint8_t negCurrFormat = 1;   // placement of sign and currency text
  char thousandSeparator = ',';
  char decimalSeparator = '.';
  std::uint8_t currencyDecimals = 2;
  char dateSeparator = '-';  // replaces "/" in date patterns
  char timeSeparator = ':';  // replaces ":" in time patterns
  char listSeparator = ',';
  std::string currencyString = "$";
  std::string shortDateFormat = "yyyy-mm-dd";  // also decides the order when dates are read
  std::string longDateFormat = "dddd, d mmmm yyyy";
  std::string timeAMString = "AM";
  std::string timePMString = "PM";
  std::string shortTimeFormat = "hh:nn";
  std::string longTimeFormat = "hh:nn:ss";
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> longMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::uint16_t twoDigitYearCenturyWindow = 50;  // see ParseTimestamp
};

// ---- 2. Settings records ----------------------------------------------------

// The main window's fixed TextSettings: Polish locale data, then decimal point
// ".", date separator "-", time separator ":", short date "yyyy-mm-dd", short
// and long time "hh:nn:ss", two-digit-year window 50. Locale texts are turned
// into Latin-1 bytes; a character outside Latin-1 becomes its unaccented
// Latin-1 letter when it has one, else it is dropped.
TFormatSettings MakeTextSettings();

// The record with the log's fixed forms of MakeTextSettings laid over it: the
// separators, forms and two-digit-year window above; names, currency and the
// other fields stay. Needs no locale data.
TFormatSettings LogTextForms(TFormatSettings base);

// The process-wide settings taken from the user's locale (QLocale::system()),
// used for the chart's labels. Computed once, on first call.
TFormatSettings ProcessFormatSettings();

// Builds a settings record from any Qt locale identifier such as "pl_PL" or
// "en_US" (for tests and for the two functions above). An unknown name gives
// the user's locale.
TFormatSettings LocaleFormatSettings(std::string_view localeName);

// ---- 3. Fixed text forms ----------------------------------------------------

// "yyyy-mm-dd hh:nn:ss" with TextSettings; the date alone at a time of day
// whose hour, minute and second are all 0. Never fails.
std::string FormatTimestamp(const TFormatSettings&, TDateTimeValue);

// The long time form ("hh:nn:ss" with TextSettings). Never fails.
std::string FormatClockTime(const TFormatSettings&, TDateTimeValue);

// A date with an optional time, or a time alone. Throws EConvertError
// "'<text>' is not a valid date and time".
TDateTimeValue ParseTimestamp(const TFormatSettings&, std::string_view);

// A decimal number with the settings' decimal separator and optional
// exponent, blanks (code 32) allowed around it. Throws EConvertError
// "'<text>' is not a valid floating point value".
long double ParseNumber(const TFormatSettings&, std::string_view);

// A signed 32-bit decimal or hexadecimal ("$", "x", "0x") integer, leading
// blanks allowed. Throws EConvertError "'<text>' is not a valid integer value".
std::int32_t ParseInteger(std::string_view);

// The text without leading and trailing bytes of code 0 to 32.
std::string TrimBlanks(std::string_view);

// ---- 4. Pattern engines -----------------------------------------------------

// Formats a number with a pattern of up to three sections (positive;
// negative; zero). Throws EConvertError "Format string too long" for a
// pattern over 224 bytes. The result is at most 256 bytes.
std::string FormatNumberPattern(const TFormatSettings&, std::string_view pattern,
                                long double value);

// Formats a date and time with a pattern ("" means "c"). The result is cut
// at 256 bytes. Never fails.
std::string FormatDateTimePattern(const TFormatSettings&, std::string_view pattern, TDateTimeValue);

// ---- 5. Calendar helpers ----------------------------------------------------

bool IsLeapYear(int year);             // proleptic Gregorian
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// Encodes a date (year 1..9999) and a time of day (hour 0..23, minute and
// second 0..59, millisecond 0..999). The Try forms return false on a field
// out of range; EncodeDateTimeValue throws EConvertError then.
bool TryEncodeDate(int year, int month, int day, TDateTimeValue& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTimeValue& result);
bool TryEncodeDateTimeValue(const LocalTime& parts, TDateTimeValue& result);
TDateTimeValue EncodeDateTimeValue(const LocalTime& parts);
TDateTimeValue EncodeDateTimeValue(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0, int millisecond = 0);

// Splits a value into its fields, rounded to the nearest millisecond.
// Non-finite values and values beyond a hundred million days read as 0
// (1899-12-30 00:00). Years outside 1..9999 are decoded on the same calendar.
LocalTime DecodeDateTimeValue(TDateTimeValue value);

// Day of the week of a value: 0 = Sunday ... 6 = Saturday.
int DayOfWeekIndex(TDateTimeValue value);

// The clock's current local time (ClockNow()) as a value.
TDateTimeValue NowValue();

}  // namespace tempolog
