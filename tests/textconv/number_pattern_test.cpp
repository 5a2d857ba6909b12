// The number pattern engine: sections, placeholders, grouping, exponents,
// rounding and the general fallback.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"

namespace tempolog {
namespace {

using namespace std::string_literals;

TFormatSettings Settings(char thousands = ',', char decimal = '.') {
  TFormatSettings fs;
  fs.thousandSeparator = thousands;
  fs.decimalSeparator = decimal;
  return fs;
}

struct Row {
  std::string pattern;
  long double value;
  std::string expected;
};

void ExpectRows(const TFormatSettings& fs, std::initializer_list<Row> rows) {
  for (const auto& row : rows) {
    SCOPED_TRACE("pattern \"" + row.pattern + "\" value " +
                 std::to_string(static_cast<double>(row.value)));
    EXPECT_EQ(FormatNumberPattern(fs, row.pattern, row.value), row.expected);
  }
}

TEST(FormatNumberPattern, ChartLabelPatterns) {
  ExpectRows(Settings(),
             {
                 {"#00.0", 5, "05.0"},
                 {"#00.0", 0, "00.0"},
                 {"#00.0", -0.04L, "00.0"},
                 {"#00.0", -0.06L, "-00.1"},
                 {"#00.0", 123.4L, "123.4"},
                 {"#00.0", 12345.6L, "12345.6"},
                 {"#00.0", -5, "-05.0"},
                 {",#00.0", 1234.5L, "1,234.5"},
                 {",#00.0", 1234567.5L, "1,234,567.5"},
                 {",#00.0", 12.5L, "12.5"},
                 {",#00.0", -1234.5L, "-1,234.5"},
                 {"###0.#", 0.25L, "0.3"},
                 {"###0.#", 23, "23"},
                 {"###0.#", 23.5L, "23.5"},
                 {"###0.#", -0.04L, "0"},
                 {"0.00E+00", 12345, "1.23E+04"},
                 {"0.00E+00", -12345, "-1.23E+04"},
                 {"0.00E+00", 0, "0.00E+00"},
                 {"0.00E+00", 1e18L, "1.00E+18"},  // scientific sections have no 1e18 limit
             });
}

TEST(FormatNumberPattern, RoundsHalfAwayFromZeroOnDecimalDigits) {
  ExpectRows(Settings(),
             {
                 {"0", 2.5L, "3"},
                 {"0", -2.5L, "-3"},
                 {"0", 3.5L, "4"},
                 {"0", 0.5L, "1"},
                 {"0", 0.49L, "0"},
                 {"#", 0.5L, "1"},
                 {"#", 0.4L, ""},  // rounds to zero, and "#" prints no insignificant digit
                 {"0.00", 0.125L, "0.13"},
                 {"0.00", -0.125L, "-0.13"},
                 {"0.0", 999.75L, "999.8"},
                 {"0.0", 9.96875L, "10.0"},  // carry through the nines
                 {"0", 99.5L, "100"},
                 {"0", 0.9999L, "1"},
                 {"0.000", 0.0625L, "0.063"},
                 {"0.000", 0.0624L, "0.062"},
                 {"0.000", 0.0004L, "0.000"},
                 {"0.##", 1.999L, "2"},
             });
}

TEST(FormatNumberPattern, SectionsQuotesAndLiterals) {
  ExpectRows(Settings(),
             {
                 {"0.0;(0.0)", -5, "(5.0)"},  // the negative section prints no sign of its own
                 {"0.0;(0.0)", 5, "5.0"},
                 {"0.0;(0.0)", 0, "0.0"},
                 {"0.0;(0.0);zero", 0, "zero"},
                 {"0.0;(0.0);zero", -0.0L, "zero"},  // negative zero rounds to the zero section
                 {"0.0;(0.0)", -0.0L, "0.0"},
                 {"0.0;(0.0);zero", -0.01L, "zero"},
                 {"0.0", -0.01L, "0.0"},     // rounds to zero: no minus sign
                 {"0.0;;zero", -5, "-5.0"},  // an empty section means the first
                 {";(0)", -5, "(5)"},        // a chosen section stands even when the first is empty
                 {";;'z'", 0, "z"},
                 {";(0);", -5, "(5)"},
                 {";(0)", 0, "0"},           // missing zero section, empty first: general form
                 {";(0)", -0.01L, "-0.01"},  // rounds to zero, no zero section, empty first
                 {";;'z'", -5, "-5"},
                 {"0.0;-0.0;", 0, "0.0"},
                 {"0;1;2;3", 0, "2"},  // a fourth section is never used
                 {"0' \xB0"
                  "C'",
                  23,
                  "23 \xB0"
                  "C"},
                 {"'#'0", 5, "#5"},
                 {"\"a;b\"0;x", 5, "a;b5"},  // ";" inside quotes does not separate
                 {"\"a;b\"0;x", -5, "x"},
                 {"0 'abc", 5, "5 abc"},  // an unclosed quote runs to the end
                 {"0 'a;b", -5, "-5 a;b"},
                 {"[0]", 7, "[7]"},
                 {"0E0", 5, "0E5"},  // "E" without a sign is a literal
                 {"0\0"s, 5, "5\0"s},
             });
}

TEST(FormatNumberPattern, Exponents) {
  ExpectRows(Settings(),
             {
                 {"0.0E-00", 12345, "1.2E04"},
                 {"0.0E-0", 0.00012L, "1.2E-4"},
                 {"0.0E+0", 0.00012L, "1.2E-4"},
                 {"0E+000000", 5, "5E+0000"},  // at most four exponent digits are asked for
                 {"0e+0", 5, "5e+0"},
                 {"0E+", 5, "5E+0"},
                 {"00.0E+00", 12345, "12.3E+03"},
                 {"#.##E+0", 1.5L, "1.5E+0"},
                 {"0.0E+0", 1e-300L, "1.0E-300"},
                 {"0.0E+0", 1e4000L, "1.0E+4000"},
             });
}

TEST(FormatNumberPattern, Grouping) {
  ExpectRows(Settings(), {
                             {",0", 1234567, "1,234,567"},
                             {"#,##0.00", 1234567.891L, "1,234,567.89"},
                             {"#,##0", 100000000000000000.0L, "100,000,000,000,000,000"},
                             {"#,##0", 999, "999"},
                             {"#,##0", -1000, "-1,000"},
                             {"#", 123456789012345678.0L, "123456789012345678"},
                             {"0000000", 123, "0000123"},
                             {",0000000", 123, "0,000,123"},
                         });
  ExpectRows(Settings('\0'), {{",#00.0", 1234.5L, "1234.5"}});
  ExpectRows(Settings(' ', ','), {{",#00.0", 1234.5L, "1 234,5"}, {"0.0", 23.5L, "23,5"}});
}

TEST(FormatNumberPattern, FallsBackToTheGeneralForm) {
  const long double inf = std::numeric_limits<long double>::infinity();
  ExpectRows(Settings(), {
                             {"#00.0", 1e18L, "1E18"},
                             {"#00.0", -1e18L, "-1E18"},
                             {"#00.0", 999999999999999999.6L, "1E18"},  // rounds up to 1e18
                             {"#00.0", inf, "INF"},
                             {"#00.0", -inf, "-INF"},
                             {"#00.0", std::numeric_limits<long double>::quiet_NaN(), "NAN"},
                             {"0.00E+00", inf, "INF"},
                             {"", 23.5L, "23.5"},
                             {";0", 23.5L, "23.5"},
                             {"", 0, "0"},
                             {"", -0.0L, "0"},
                             {"", 123456789012345.0L, "123456789012345"},
                             {"", 1e15L, "1E15"},
                             {"", 1234567890123456.0L, "1.23456789012346E15"},
                             {"", 0.001L, "0.001"},
                             {"", 0.0001L, "0.0001"},
                             {"", 0.00001L, "1E-5"},
                             {"", -1.5e-7L, "-1.5E-7"},
                             {"", 1.0L / 3, "0.333333333333333"},
                             {"", 100, "100"},
                             {"", 1e-4940L, "0"},  // below the normal range counts as zero
                             {"", std::numeric_limits<long double>::max(), "1.18973149535723E4932"},
                         });
  ExpectRows(Settings(',', ','), {{"", 23.5L, "23,5"}});
}

TEST(FormatNumberPattern, PatternLengthLimit) {
  EXPECT_NO_THROW(FormatNumberPattern(Settings(), std::string(224, '#'), 5));
  EXPECT_EQ(FormatNumberPattern(Settings(), std::string(224, '#'), 5), "5");
  try {
    FormatNumberPattern(Settings(), std::string(225, '#'), 5);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Format string too long");
  }
  EXPECT_THROW(FormatNumberPattern(Settings(), std::string(100000, '0'), 5), EConvertError);
}

TEST(FormatNumberPattern, OutputStaysWithin256Bytes) {
  // 223 grouped zeros would write 297 bytes.
  const std::string grouped = "," + std::string(223, '0');
  const std::string text = FormatNumberPattern(Settings(), grouped, 1);
  EXPECT_EQ(text.size(), 256u);
  EXPECT_EQ(text.substr(0, 4), "0,00");
  EXPECT_EQ(text.back(), '0');
  // A large number with many literal bytes.
  const std::string literal = "0" + std::string(223, 'x');
  EXPECT_EQ(FormatNumberPattern(Settings(), literal, -999999999999999999.0L).size(), 242u);
}

TEST(FormatNumberPattern, AnyBytesNeverCrash) {
  // Every byte in every position of a short pattern, with awkward values.
  const long double values[] = {
      0, -0.0L, 1, -1, 0.5L, 1e17L, 1e30L, 1e-30L, std::numeric_limits<long double>::infinity()};
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    for (const std::string& pattern :
         {std::string(1, c), std::string("0") + c + "0", std::string("#") + c,
          c + std::string("E+0"), std::string("0.") + c + ";" + c}) {
      for (long double v : values)
        EXPECT_LE(FormatNumberPattern(Settings(), pattern, v).size(), 256u);
    }
  }
}

}  // namespace
}  // namespace tempolog
