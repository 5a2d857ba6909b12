// Timestamps, readings, periods and trimming in the log's fixed text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Clock.h"
#include "framework/core/Exceptions.h"
#include "tests/support/ClockOverride.h"

namespace tempolog {
namespace {

using namespace std::string_literals;

// The log's forms; nothing here reads locale data.
const TFormatSettings& Text() {
  static const TFormatSettings settings = LogTextForms(TFormatSettings{});
  return settings;
}

// The exception message of a conversion, or "" when it succeeds.
template <typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "";
}

constexpr LocalTime kYear2026{2026, 6, 15, 12, 0, 0, 0};

// Expected times as dates: the encoding is pinned against literal day numbers
// in the calendar tests.
TDateTimeValue At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
  return EncodeDateTimeValue(y, m, d, h, n, s, ms);
}

// ---- ParseTimestamp -------------------------------------------------------------

struct TimestampRow {
  std::string text;
  TDateTimeValue expected;
};

TEST(ParseTimestamp, ReadsDatesAndTimes) {
  ClockOverride clock(kYear2026);
  const TimestampRow rows[] = {
      {"2024-03-05 07:04:09", At(2024, 3, 5, 7, 4, 9)},
      {"2024-03-05", At(2024, 3, 5)},
      {"07:04", At(1899, 12, 30, 7, 4)},
      {"24-03-05 07:04:09", At(2024, 3, 5, 7, 4, 9)},
      {"2024-03-05 07:04:09xyz", At(2024, 3, 5, 7, 4, 9)},
      {"2024-03-05 07:04:09\t12.5", At(2024, 3, 5, 7, 4, 9)},  // a log line's first column
      {"  2024 - 03 - 05   07 : 04 : 09", At(2024, 3, 5, 7, 4, 9)},
      {"2024-03-05-", At(2024, 3, 5)},  // trailing date separator
      {"2024-03-05 ", At(2024, 3, 5)},
      {"2024-02-29", At(2024, 2, 29)},  // leap day
      {"2000-02-29", At(2000, 2, 29)},  // leap century
      {"0001-01-01", At(1, 1, 1)},
      {"9999-12-31 23:59:59.999", At(9999, 12, 31, 23, 59, 59, 999)},
      {"03-05", At(2026, 3, 5)},           // no year: the current one
      {"76-01-01", At(1976, 1, 1)},        // window starts 50 years back
      {"75-12-31", At(2075, 12, 31)},      // ... and ends 49 years ahead
      {"7-1-1", At(2007, 1, 1)},           // one digit is a short year too
      {"024-1-1", At(24, 1, 1)},           // three digits are taken as written
      {"00002024-03-05", At(2024, 3, 5)},  // leading zeros are not a short year
      {std::string(100000, '0') + "1-1-1", At(1, 1, 1)},
      {"2024-03-05 7", At(2024, 3, 5, 7)},
      {"2024-03-05 07:04:09.5", At(2024, 3, 5, 7, 4, 9, 5)},  // milliseconds read as a number
      {"2024-03-05 12:30 AM", At(2024, 3, 5, 0, 30)},
      {"2024-03-05 12:30 pm", At(2024, 3, 5, 12, 30)},
      {"2024-03-05 pm 1:05", At(2024, 3, 5, 13, 5)},
      {"AM 12:00:01", At(1899, 12, 30, 0, 0, 1)},
      {"23:59:59.999", At(1899, 12, 30, 23, 59, 59, 999)},
      {"1899-12-29 06:00", -1.25},  // before day 0 the time is subtracted
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_DOUBLE_EQ(ParseTimestamp(Text(), row.text), row.expected);
  }
}

TEST(ParseTimestamp, RejectsBadTextQuotingAllOfIt) {
  ClockOverride clock(kYear2026);
  const std::string rows[] = {
      "",
      " ",
      "2024-03-05x",          // a letter straight after the date
      "2024-02-30 10:00:00",  // no such day
      "2023-02-29",           // not a leap year
      "1900-02-29",           // century not divisible by 400
      "2024-13-01",
      "2024-00-10",
      "10000-01-01",
      "0000-01-01",
      "2024-03-05 24:00",
      "2024-03-05 10:60",
      "2024-03-05 10:",  // separator without a number
      "2024-03-05 10:00:",
      "2024-03-05 10:00:00.",
      "2024-03-05 10:00:00.1000",
      "2024-03-05 13:00 PM",  // a marked hour runs 1 to 12
      "2024-03-05 0:00 AM",
      "2024-",
      "12:00 x",  // a time alone must use up the text
      "abc",
      "2024/03/05",
      "\0"s,
      "2024-03-05\0 10:00"s,
      std::string(100000, '9'),
      std::string(100000, '0') + "x",
  };
  for (const auto& text : rows) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(MessageOf([&] { ParseTimestamp(Text(), text); }),
              "'" + text + "' is not a valid date and time");
  }
}

TEST(ParseTimestamp, TwoDigitYearWindowFollowsTheClock) {
  struct Row {
    int currentYear;
    std::string text;
    int year;
  };
  const Row rows[] = {
      {2026, "24-01-01", 2024}, {2026, "76-01-01", 1976}, {2026, "75-01-01", 2075},
      {2000, "49-01-01", 2049}, {2000, "50-01-01", 1950}, {2099, "49-01-01", 2049},
      {2099, "48-01-01", 2148}, {2026, "00-01-01", 2000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text + " in " + std::to_string(row.currentYear));
    ClockOverride clock(LocalTime{row.currentYear, 1, 1, 0, 0, 0, 0});
    EXPECT_EQ(DecodeDateTimeValue(ParseTimestamp(Text(), row.text)).year, row.year);
  }
}

TEST(ParseTimestamp, FieldOrderFollowsTheShortDateForm) {
  ClockOverride clock(kYear2026);
  struct Row {
    std::string shortDate;
    std::string text;
    TDateTimeValue expected;
  };
  const Row rows[] = {
      {"dd/mm/yyyy", "05/03/2024", At(2024, 3, 5)}, {"d/m/y", "05/03", At(2026, 3, 5)},
      {"mm/dd/yyyy", "03/05/2024", At(2024, 3, 5)}, {"M/d/yy", "03/05", At(2026, 3, 5)},
      {"yyyy/mm/dd", "2024/03/05", At(2024, 3, 5)}, {"ee/mm/dd", "2024/03/05", At(2024, 3, 5)},
      {"", "03/05/2024", At(2024, 3, 5)},  // none of the letters: month first
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.shortDate + " " + row.text);
    TFormatSettings fs = Text();
    fs.dateSeparator = '/';
    fs.shortDateFormat = row.shortDate;
    EXPECT_DOUBLE_EQ(ParseTimestamp(fs, row.text), row.expected);
  }
}

TEST(ParseTimestamp, AcceptsTheSettingsMarkerTexts) {
  TFormatSettings fs = Text();
  fs.timeAMString = "rano";
  fs.timePMString = "po";
  EXPECT_DOUBLE_EQ(ParseTimestamp(fs, "po 3:00"), At(1899, 12, 30, 15));
  EXPECT_DOUBLE_EQ(ParseTimestamp(fs, "3:00 RANO"), At(1899, 12, 30, 3));
  EXPECT_DOUBLE_EQ(ParseTimestamp(fs, "3:00 pm"), At(1899, 12, 30, 15));  // the plain markers too
}

// ---- FormatTimestamp and FormatClockTime ------------------------------------------

TEST(FormatTimestamp, WritesTheLogForm) {
  struct Row {
    TDateTimeValue value;
    std::string expected;
  };
  const Row rows[] = {
      {At(2024, 3, 5, 7, 4, 9), "2024-03-05 07:04:09"},
      {At(2024, 3, 5, 0, 0, 0, 400), "2024-03-05"},  // milliseconds do not count
      {At(2024, 3, 5, 0, 0, 1), "2024-03-05 00:00:01"},
      {At(2024, 3, 5), "2024-03-05"},
      {At(2024, 3, 5, 23, 59, 59, 999), "2024-03-05 23:59:59"},
      {At(2024, 3, 5, 23, 59, 59, 999) + 0.6 / 86400000.0, "2024-03-06"},  // rounds to the next day
      {At(1, 1, 1, 12), "0001-01-01 12:00:00"},
      {At(9999, 12, 31, 23, 59, 59), "9999-12-31 23:59:59"},
      {-1.25, "1899-12-29 06:00:00"},
      {std::nan(""), "1899-12-30"},  // an undecodable value never crashes
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(FormatTimestamp(Text(), row.value), row.expected);
  }
}

TEST(FormatClockTime, WritesHoursMinutesSeconds) {
  EXPECT_EQ(FormatClockTime(Text(), At(2024, 3, 5, 7, 4, 9)), "07:04:09");
  EXPECT_EQ(FormatClockTime(Text(), At(2024, 3, 5)), "00:00:00");
  EXPECT_EQ(FormatClockTime(Text(), At(2024, 3, 5, 23, 59, 59, 499)), "23:59:59");
  TFormatSettings fs = Text();
  fs.longTimeFormat.clear();
  EXPECT_EQ(FormatClockTime(fs, At(2024, 3, 5, 7, 4, 9)), "");
}

TEST(FormatTimestamp, RoundTripsThroughParseTimestamp) {
  ClockOverride clock(kYear2026);
  for (TDateTimeValue v : {At(2024, 3, 5, 7, 4, 9), At(2024, 2, 29), At(1900, 3, 1, 23, 59, 59),
                           At(1899, 12, 29, 12, 0, 1)}) {
    const std::string text = FormatTimestamp(Text(), v);
    SCOPED_TRACE(text);
    EXPECT_DOUBLE_EQ(ParseTimestamp(Text(), text), v);
  }
}

// ---- ParseNumber ----------------------------------------------------------------

TEST(ParseNumber, ReadsReadings) {
  struct Row {
    std::string text;
    long double expected;
  };
  const Row rows[] = {
      {" 23.5 ", 23.5L},
      {"23.5", 23.5L},
      {"+1.5e1", 15.0L},
      {".", 0.0L},
      {"-.", -0.0L},
      {"1E", 1.0L},
      {"1e+", 1.0L},
      {"-12", -12.0L},
      {"0.125", 0.125L},
      {"1e-3", 1e-3L},
      {"2.5E3", 2500.0L},
      {"123456789012345678", 123456789012345678.0L},
      {"0." + std::string(100000, '0') + "1", 0.0L},  // far below the smallest value
      {"1.5" + std::string(100000, '0'), 1.5L},       // trailing zeros cannot overflow
      {std::string(5000, '0') + "7", 7.0L},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 40));
    const long double value = ParseNumber(Text(), row.text);
    EXPECT_EQ(value, row.expected);
    EXPECT_EQ(std::signbit(value), std::signbit(row.expected));
  }
}

TEST(ParseNumber, ExtremesStayWithinRounding) {
  struct Row {
    std::string text;
    long double expected;
  };
  const Row rows[] = {
      {"1" + std::string(400, '0') + "e-400", 1.0L},
      {"0." + std::string(400, '0') + "1e401", 1.0L},
      {"1e4932", 1e4932L},
      {"1e499", 1e499L},
      {"123456789012345678901234567890", 123456789012345678901234567890.0L},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 40));
    const long double value = ParseNumber(Text(), row.text);
    EXPECT_LE(std::fabs(value - row.expected), std::fabs(row.expected) * 1e-17L);
  }
  EXPECT_GT(ParseNumber(Text(), "1e-4940"), 0.0L);  // below the normal range, still read
}

TEST(ParseNumber, RejectsBadTextQuotingAllOfIt) {
  const std::string rows[] = {
      "",
      " ",
      "-",
      "+",
      "23,5",
      "23.5\t",
      "\t23.5",
      "23.5\r\n",
      "1 000",
      "1.2.3",
      "abc",
      "e5",
      "1e5000",                // the exponent stops at 500, leaving a digit unread
      "1e4933",                // overflows
      std::string(5000, '9'),  // overflows
      "--1",
      "0x10",
      "23.5\0"s,
      "\xB0"
      "C",
      std::string(100000, ' ') + "x",
  };
  for (const auto& text : rows) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(MessageOf([&] { ParseNumber(Text(), text); }),
              "'" + text + "' is not a valid floating point value");
  }
}

TEST(ParseNumber, ErrorBoxTextEndsWithAFullStop) {
  EXPECT_EQ(ErrorBoxText(MessageOf([] { ParseNumber(Text(), "abc"); })),
            "'abc' is not a valid floating point value.");
  EXPECT_EQ(MessageOf([] { ParseNumber(Text(), ""); }), "'' is not a valid floating point value");
}

TEST(ParseNumber, UsesTheSettingsDecimalSeparator) {
  TFormatSettings fs = Text();
  fs.decimalSeparator = ',';
  EXPECT_EQ(ParseNumber(fs, "23,5"), 23.5L);
  EXPECT_THROW(ParseNumber(fs, "23.5"), EConvertError);
}

// ---- ParseInteger ---------------------------------------------------------------

TEST(ParseInteger, ReadsPeriods) {
  struct Row {
    std::string text;
    std::int32_t expected;
  };
  const Row rows[] = {
      {" 5", 5},
      {"012", 12},
      {"$10", 16},
      {"x1f", 31},
      {"X1F", 31},
      {"0x10", 16},
      {"0X10", 16},
      {"-$10", -16},
      {"+7", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$7FFFFFFF", 2147483647},
      {"$FFFFFFFF", -1},
      {"-$FFFFFFFF", 1},
      {"$80000000", -2147483647 - 1},
      {"0", 0},
      {"-0", 0},
      {std::string(100000, '0') + "9", 9},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 40));
    EXPECT_EQ(ParseInteger(row.text), row.expected);
  }
}

TEST(ParseInteger, RejectsBadTextQuotingAllOfIt) {
  const std::string rows[] = {
      "",     " ",   "5 ", "2147483648", "-2147483649", "99999999999999999999",
      "$",    "0x",  "x",  "$123456789", "1.5",         "1e3",
      "--1",  "+-1", "$G", "12a",        "\0"s,         "5\0"s,
      "\xFF",
  };
  for (const auto& text : rows) {
    SCOPED_TRACE(text);
    EXPECT_EQ(MessageOf([&] { ParseInteger(text); }),
              "'" + text + "' is not a valid integer value");
  }
}

// ---- TrimBlanks -----------------------------------------------------------------

TEST(TrimBlanks, DropsControlBytesAndBlanksAtTheEnds) {
  struct Row {
    std::string text;
    std::string expected;
  };
  const Row rows[] = {
      {"23.5\r\n", "23.5"},
      {" \t23.5 \x1F", "23.5"},
      {"\0 a b \0"s, "a b"},
      {"a\0b"s, "a\0b"s},
      {"\r\n\t ", ""},
      {"", ""},
      {"\xA0x\xA0", "\xA0x\xA0"},  // bytes above 32 stay
      {"!", "!"},
      {std::string(100000, '\n') + "x" + std::string(100000, ' '), "x"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(TrimBlanks(row.text), row.expected);
  }
}

}  // namespace
}  // namespace tempolog
