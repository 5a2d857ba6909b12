// The log line and the plotted value of a reading.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

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
      {"value cut after column 39", "2024-03-05 07:04:09\t12345678901234567890123",
       "2024-03-05 07:04:09", "1234567890123456789"},
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

}  // namespace
}  // namespace tempolog
