// The log line and the plotted value of a reading.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/link/LogFormat.h"
#include "framework/core/Exceptions.h"

namespace tempolog {
namespace {

TEST(LogFormatTest, EveryLogLineCarriesTheFullTimestamp) {
  const TFormatSettings settings = MakeTextSettings();
  struct Row {
    const char* name;
    LocalTime when;
    std::string line;
  } rows[] = {
      {"an ordinary second", {2024, 3, 5, 7, 4, 9, 0}, "2024-03-05 07:04:09\t23.5"},
      {"the first second after midnight", {2024, 3, 5, 0, 0, 0, 400}, "2024-03-05 00:00:00\t23.5"},
      {"one second after midnight", {2024, 3, 5, 0, 0, 1, 0}, "2024-03-05 00:00:01\t23.5"},
      {"last second of the year", {2023, 12, 31, 23, 59, 59, 999}, "2023-12-31 23:59:59\t23.5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(LogLine(settings, EncodeDateTimeValue(row.when), "23.5"), row.line);
  }
}

TEST(LogFormatTest, SplitsTheColumnsLoadReads) {
  struct Row {
    const char* name;
    std::string line, timestamp, value;
  } rows[] = {
      {"a written line", "2024-03-05 07:04:09\t23.5", "2024-03-05 07:04:09", "23.5"},
      {"a value longer than 19 characters is read to the end of the line",
       "2024-03-05 07:04:09\t340282350000000000000000000000000000000", "2024-03-05 07:04:09",
       "340282350000000000000000000000000000000"},
      {"what follows blanks after the value belongs to it",
       "2024-03-05 07:04:09\t23.5" + std::string(16, ' ') + "x", "2024-03-05 07:04:09",
       "23.5" + std::string(16, ' ') + "x"},
      {"blanks after the value trimmed", "2024-03-05 07:04:09\t-1.25   ", "2024-03-05 07:04:09",
       "-1.25"},
      {"short line", "2024-03-05", "2024-03-05", ""},
      {"empty line", "", "", ""},
      {"blanks trimmed", "  2024-03-05 07:04\t  1.5  ", "2024-03-05 07:04", "1.5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const LogColumns columns = SplitLogLine(row.line);
    EXPECT_EQ(columns.timestamp, row.timestamp);
    EXPECT_EQ(columns.value, row.value);
  }
  // A line the program writes, with a reply of up to 19 characters, reads as
  // it did when the value was taken from columns 20 to 39 alone.
  const TFormatSettings settings = MakeTextSettings();
  const TDateTimeValue when = EncodeDateTimeValue({2024, 3, 5, 7, 4, 9, 0});
  for (const std::string reply :
       {"5", "-0.5", "23.5", "+1.5e1", ".", "1 ", "12345678901234567.5", "1234567890123456789",
        "-123456789012345678", "1.5E+10           7"}) {
    SCOPED_TRACE(reply);
    const std::string line = LogLine(settings, when, reply);
    EXPECT_EQ(SplitLogLine(line).value, TrimBlanks(std::string_view(line).substr(19, 20)));
  }
}

TEST(LogFormatTest, ReadingsAreRoundedToSinglePrecision) {
  struct Row {
    const char* name;
    long double value;
    double expected;
  } rows[] = {
      {"exact", 23.5L, 23.5},
      {"rounded", 0.1L, static_cast<double>(0.1f)},
      {"negative", -40.25L, -40.25},
      {"largest single", static_cast<long double>(FLT_MAX), static_cast<double>(FLT_MAX)},
      {"just rounds down to the largest", 0x1.fffffefp127L, static_cast<double>(FLT_MAX)},
      {"tiny becomes denormal or zero", 1e-50L, 0.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RoundToSingle(row.value), row.expected);
  }
}

TEST(LogFormatTest, ValuesBeyondTheSingleRangeOverflow) {
  for (long double value : {1e39L, -1e39L, 0x1.ffffffp127L, 1e4000L}) {
    SCOPED_TRACE(static_cast<double>(value));
    try {
      RoundToSingle(value);
      ADD_FAILURE() << "no overflow";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Floating point overflow");
    }
  }
}

// A reply is a reading only with a digit before its exponent marker and one
// after the marker's sign; the rest is ParseNumber's rule. Empty expected:
// refused with ParseNumber's message.
TEST(LogFormatTest, AReplyReadsAsAReadingOnlyWithItsDigits) {
  const TFormatSettings settings = MakeTextSettings();
  struct Row {
    std::string reply;
    std::optional<double> value;
  } rows[] = {
      {"23.5", 23.5},    {" -0.5 ", -0.5}, {"+1.5e1", 15}, {"5.", 5},  {".5", 0.5},
      {"-.25E+1", -2.5}, {"1e-1", 0.1f},   {"007", 7},     {".", {}},  {"-.", {}},
      {"+.", {}},        {".e5", {}},      {" . ", {}},    {"1e", {}}, {"5e+", {}},
      {"23.5e", {}},     {"e5", {}},       {"", {}},       {"-", {}},  {"1e+ 5", {}},
      {"23,5", {}},      {"1.5.", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("'" + row.reply + "'");
    if (row.value) {
      EXPECT_EQ(ReadingValue(settings, row.reply), *row.value);
      continue;
    }
    try {
      ReadingValue(settings, row.reply);
      ADD_FAILURE() << "read as a number";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + row.reply + "' is not a valid floating point value");
    }
  }
}

// Load's reading of many lines: the same X and Y, bit for bit, as the column
// split and ReadLogPoint give line by line, whatever road a line takes.
std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

TEST(LogFormatTest, ReadingManyLinesGivesWhatEachLineReadsAlone) {
  const TFormatSettings settings = MakeTextSettings();
  struct Row {
    const char* name;
    std::string line;
    bool reads;
  } rows[] = {
      {"a written line", "2024-03-05 07:04:09\t23.5", true},
      {"negative value", "2024-03-05 07:04:09\t-40.25", true},
      {"negative zero keeps its sign", "2024-03-05 07:04:09\t-0.0", true},
      {"plus sign", "2024-03-05 07:04:09\t+23.5", true},
      {"value rounded to single", "2024-03-05 07:04:09\t0.1", true},
      {"value of eight bytes", "2024-03-05 07:04:09\t23.45678", true},
      {"long value", "2024-03-05 07:04:09\t340282350000000000000000000000000000000", true},
      {"exponent", "2024-03-05 07:04:09\t2.35e1", true},
      {"blanks around the value", "2024-03-05 07:04:09\t  23.5 \x01", true},
      {"no tab", "2024-03-05 07:04:09 23.5", true},
      {"value straight after the seconds", "2024-03-05 07:04:0923.5", true},
      {"29 February of a leap year", "2024-02-29 23:59:59\t1", true},
      {"the first day", "1899-12-30 00:00:00\t1", true},
      {"before the first day (time subtracted)", "1899-12-29 12:00:00\t1", true},
      {"year 1", "0001-01-01 00:00:01\t1", true},
      {"year 9999", "9999-12-31 23:59:59\t1", true},
      {"blank before the timestamp", " 2024-03-05 07:04:09\t23.5", false},
      {"one-digit month", "2024-3-05 07:04:09\t23.5", true},
      {"time with milliseconds in the value column", "2024-03-05 07:04:09.5\t23.5", false},
      {"29 February of a common year", "2023-02-29 10:00:00\t1", false},
      {"month 13", "2024-13-05 10:00:00\t1", false},
      {"day 0", "2024-03-00 10:00:00\t1", false},
      {"year 0", "0000-03-05 10:00:00\t1", false},
      {"hour 24", "2024-03-05 24:00:00\t1", false},
      {"minute 60", "2024-03-05 23:60:00\t1", false},
      {"second 60", "2024-03-05 23:59:60\t1", false},
      {"decimal comma", "2024-03-05 07:04:09\t23,5", false},
      {"empty value", "2024-03-05 07:04:09\t", false},
      {"beyond the single range", "2024-03-05 07:04:09\t1e39", false},
      {"NUL in the value", std::string("2024-03-05 07:04:09\t23\0.5", 25), false},
      {"date alone", "2024-03-05\t23.5", false},
      {"empty line", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    double x = 0;
    double y = 0;
    const auto line = [&](std::size_t) { return std::string_view(row.line); };
    const std::size_t read = ReadLogPoints(settings, line, 1, &x, &y, 1);
    ASSERT_EQ(read, row.reads ? 1u : 0u);
    if (!row.reads) continue;
    const LogColumns columns = SplitLogLine(row.line);
    const LogPoint alone = ReadLogPoint(settings, columns.timestamp, columns.value);
    EXPECT_EQ(Bits(x), Bits(alone.when));
    EXPECT_EQ(Bits(y), Bits(alone.value));
    // The same value read again (now remembered) is the same.
    ASSERT_EQ(ReadLogPoints(settings, line, 1, &x, &y, 1), 1u);
    EXPECT_EQ(Bits(y), Bits(alone.value));
  }
  // Worked out by hand: 2024-03-05 is day 45356, 07:04:09 is 25449 s.
  double x = 0;
  double y = 0;
  ReadLogPoints(
      settings, [&](std::size_t) { return std::string_view(rows[0].line); }, 1, &x, &y, 1);
  EXPECT_EQ(x, 45356 + 25449 / 86400.0);
  EXPECT_EQ(y, 23.5);
}

TEST(LogFormatTest, ReadingOnSeveralThreadsStopsAtTheFirstLineThatDoesNotRead) {
  const TFormatSettings settings = MakeTextSettings();
  struct Row {
    const char* name;
    std::vector<std::size_t> badLines;
    std::size_t read;
  } rows[] = {
      {"all read", {}, 9},
      {"a bad line in the last part", {7}, 7},
      {"bad lines in the first and the last part", {1, 8}, 1},
      {"a bad line first in the second part", {3, 6}, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> lines;
    for (int i = 0; i < 9; ++i)
      lines.push_back("2024-03-05 07:04:0" + std::to_string(i) + "\t2" + std::to_string(i));
    for (const std::size_t bad : row.badLines) lines[bad] = "x";
    std::vector<double> xs(9, -1);
    std::vector<double> ys(9, -1);
    const auto line = [&](std::size_t i) { return std::string_view(lines[i]); };
    ASSERT_EQ(ReadLogPoints(settings, line, 9, xs.data(), ys.data(), 3), row.read);
    for (std::size_t i = 0; i < row.read; ++i) {
      EXPECT_EQ(ys[i], 20.0 + static_cast<double>(i));
      EXPECT_EQ(xs[i], 45356 + (25440 + static_cast<double>(i)) / 86400.0);
    }
  }
}

}  // namespace
}  // namespace tempolog
