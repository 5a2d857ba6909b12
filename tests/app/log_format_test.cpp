// The log line and the plotted value of a reading.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <optional>

#include "app/link/LogFormat.h"
#include "framework/Exceptions.h"

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

}  // namespace
}  // namespace tempolog
