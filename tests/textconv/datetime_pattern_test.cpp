// The date-time pattern engine: fields, the minute/month rule, twelve-hour
// markers, inserted forms, quotes and the output bound.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "app/textconv/TextConv.h"

namespace tempolog {
namespace {

using namespace std::string_literals;

// Tuesday 5 March 2024, 07:04:09.005
const TDateTimeValue kMorning = EncodeDateTimeValue(2024, 3, 5, 7, 4, 9, 5);
// Sunday 15 December 2024, 13:45:30.250
const TDateTimeValue kAfternoon = EncodeDateTimeValue(2024, 12, 15, 13, 45, 30, 250);
const TDateTimeValue kMidnight = EncodeDateTimeValue(2024, 3, 5, 0, 30, 0, 0);
const TDateTimeValue kNoon = EncodeDateTimeValue(2024, 3, 5, 12, 0, 0, 0);

TFormatSettings Settings() {
  TFormatSettings fs;  // English names, "yyyy-mm-dd", "hh:nn:ss"
  fs.dateSeparator = '/';
  fs.timeSeparator = ':';
  fs.shortDateFormat = "dd/mm/yyyy";
  fs.longDateFormat = "dddd d mmmm yyyy";
  fs.shortTimeFormat = "hh:nn";
  fs.longTimeFormat = "hh:nn:ss";
  fs.timeAMString = "rano";
  fs.timePMString = "po";
  return fs;
}

struct Row {
  std::string pattern;
  TDateTimeValue value;
  std::string expected;
};

void ExpectRows(const TFormatSettings& fs, std::initializer_list<Row> rows) {
  for (const auto& row : rows) {
    SCOPED_TRACE("pattern \"" + row.pattern + "\"");
    EXPECT_EQ(FormatDateTimePattern(fs, row.pattern, row.value), row.expected);
  }
}

TEST(FormatDateTimePattern, Fields) {
  ExpectRows(Settings(), {
                             {"dd.MM.yy hh:mm", kMorning, "05.03.24 07:04"},
                             {"d", kMorning, "5"},
                             {"dd", kMorning, "05"},
                             {"ddd", kMorning, "Tue"},
                             {"dddd", kAfternoon, "Sunday"},
                             {"m", kMorning, "3"},
                             {"mm", kMorning, "03"},
                             {"mmm", kAfternoon, "Dec"},
                             {"mmmm", kMorning, "March"},
                             {"mmmmmmm", kMorning, "March"},
                             {"y", kMorning, "24"},
                             {"yy", kMorning, "24"},
                             {"yyy", kMorning, "2024"},
                             {"yyyyy", kMorning, "2024"},
                             {"yyyy", EncodeDateTimeValue(24, 1, 1), "0024"},
                             {"yy", EncodeDateTimeValue(2007, 1, 1), "07"},
                             {"h", kMorning, "7"},
                             {"hh", kMorning, "07"},
                             {"hhhh", kMorning, "07"},
                             {"n", kMorning, "4"},
                             {"nn", kMorning, "04"},
                             {"nnn", kMorning, "04"},
                             {"s", kMorning, "9"},
                             {"ss", kMorning, "09"},
                             {"z", kMorning, "5"},
                             {"zz", kMorning, "05"},
                             {"zzz", kMorning, "005"},
                             {"zzzz", kAfternoon, "250"},
                             {"AAA", kMorning, "Tue"},
                             {"aaaa", kMorning, "Tuesday"},
                             {"e", kMorning, "2024"},  // era year of the Gregorian era
                             {"g", kMorning, ""},
                             {"DD-MM-YYYY", kMorning, "05-03-2024"},  // letters in any case
                             {"dd/mm/yyyy", EncodeDateTimeValue(2024, 2, 29), "29/02/2024"},
                             {"dd/mm/yyyy hh:nn", -1.25, "29/12/1899 06:00"},
                         });
}

TEST(FormatDateTimePattern, MinutesOrMonth) {
  ExpectRows(Settings(),
             {
                 {"hh:mm", kAfternoon, "13:45"},
                 {"h:m", kAfternoon, "13:45"},
                 {"hh mm", kAfternoon, "13 45"},
                 {"hh dd mm", kAfternoon, "13 15 12"},  // a day field in between: the month
                 {"hh x mm", kAfternoon, "13 x 12"},    // any letter in between
                 {"hh'x'mm", kAfternoon, "13x45"},      // quoted text is no letter field
                 {"mm hh", kAfternoon, "12 13"},
                 {"hh:mm:mm", kAfternoon, "13:45:12"},  // only the first run after the hour
                 {"hhmm", kAfternoon, "1345"},
                 {"HH:MM", kAfternoon, "13:45"},
                 {"hh:Mm", kAfternoon, "13:4512"},  // runs are exact in case
             });
}

TEST(FormatDateTimePattern, TwelveHourMarkers) {
  ExpectRows(Settings(),
             {
                 {"h am/pm", kMidnight, "12 am"},
                 {"h am/pm", kNoon, "12 pm"},
                 {"h AM/PM", kAfternoon, "1 PM"},
                 {"h Am/pM", kAfternoon, "1 pM"},  // letters as written
                 {"h Am/pM", kMorning, "7 Am"},
                 {"h a/p", kAfternoon, "1 p"},
                 {"h A/P", kMorning, "7 A"},
                 {"h AMPM", kAfternoon, "1 po"},
                 {"h ampm", kMorning, "7 rano"},
                 {"AMPM h", kAfternoon, "po 1"},  // a marker earlier in the pattern
                 {"hh:nn", kAfternoon, "13:45"},
                 {"h h AMPM", kAfternoon, "13 1 po"},    // another hour comes first
                 {"h'h'AMPM", kAfternoon, "1hpo"},       // quoted text is skipped
                 {"h ab AMPM", kAfternoon, "13 ab po"},  // the first "a" starts no marker
                 {"h a", kAfternoon, "13 a"},
                 {"hh AMPM", kMidnight, "12 rano"},
                 {"hh A/P", EncodeDateTimeValue(2024, 3, 5, 9, 0, 0), "09 A"},
             });
}

TEST(FormatDateTimePattern, InsertedForms) {
  ExpectRows(Settings(), {
                             {"c", kMorning, "05/03/2024 07:04:09"},
                             {"c", EncodeDateTimeValue(2024, 3, 5, 0, 0, 0, 999), "05/03/2024"},
                             {"", kMorning, "05/03/2024 07:04:09"},  // an empty pattern means "c"
                             {"ddddd", kMorning, "05/03/2024"},
                             {"dddddd", kMorning, "Tuesday 5 March 2024"},
                             {"t", kMorning, "07:04"},
                             {"tt", kMorning, "07:04:09"},
                             {"[c]", kMidnight, "[05/03/2024 00:30:00]"},
                         });
  // Forms that refer to forms: the second level is left out.
  TFormatSettings fs = Settings();
  fs.shortDateFormat = "d c t|";
  fs.longTimeFormat = "hh tt ddddd";
  ExpectRows(fs, {
                     {"c", kMorning, "5  | 07  "},
                     {"ddddd", kMorning, "5  |"},
                     {"tt", kMorning, "07  "},
                 });
}

TEST(FormatDateTimePattern, SeparatorsQuotesAndLiterals) {
  TFormatSettings fs = Settings();
  ExpectRows(fs, {
                     {"yyyy/mm/dd", kMorning, "2024/03/05"},
                     {"'hh'\"mm\"", kMorning, "hhmm"},
                     {"'it''s'", kMorning, "its"},
                     {"'abc", kMorning, "abc"},  // an unclosed quote runs to the end
                     {"b x q", kMorning, "b x q"},
                     {"\xB0 \0"s, kMorning, "\xB0 \0"s},
                     {"[dd]", kMorning, "[05]"},
                 });
  fs.dateSeparator = '-';
  fs.timeSeparator = '.';
  ExpectRows(fs, {{"yyyy/mm/dd hh:nn", kMorning, "2024-03-05 07.04"}});
  fs.dateSeparator = '\0';
  fs.timeSeparator = '\0';
  ExpectRows(fs, {{"yyyy/mm/dd hh:nn", kMorning, "20240305 0704"}});
}

TEST(FormatDateTimePattern, OutputIsCutAt256Bytes) {
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "yyyy ";
  EXPECT_EQ(FormatDateTimePattern(Settings(), pattern, kMorning).size(), 256u);
  EXPECT_EQ(FormatDateTimePattern(Settings(), std::string(300, 'x'), kMorning),
            std::string(256, 'x'));
  TFormatSettings fs = Settings();
  fs.longDateFormat = std::string(1000, 'q');
  EXPECT_EQ(FormatDateTimePattern(fs, "dddddd dddddd", kMorning).size(), 256u);
}

TEST(FormatDateTimePattern, LongAndOddPatternsNeverCrash) {
  for (char c : std::string("hHaAmMdDyYnNsSzZtTcCeEgG'\"/:; \0\xFF"s)) {
    const std::string pattern(100000, c);
    EXPECT_LE(FormatDateTimePattern(Settings(), pattern, kAfternoon).size(), 256u);
  }
  // Every byte after an hour field and before a marker.
  for (int b = 0; b < 256; ++b) {
    const std::string pattern = "h" + std::string(1, static_cast<char>(b)) + "am/pm";
    EXPECT_LE(FormatDateTimePattern(Settings(), pattern, kAfternoon).size(), 256u);
  }
  EXPECT_EQ(
      FormatDateTimePattern(Settings(), "dd/mm/yyyy", std::numeric_limits<double>::infinity()),
      "30/12/1899");
}

}  // namespace
}  // namespace tempolog
