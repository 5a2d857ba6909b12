// Settings records from locale data.
#include <gtest/gtest.h>

#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Clock.h"
#include "framework/core/Exceptions.h"

namespace tempolog {
namespace {

TEST(MakeTextSettings, FixesTheLogFormsOverPolishLocaleData) {
  const TFormatSettings fs = MakeTextSettings();
  EXPECT_EQ(fs.decimalSeparator, '.');
  EXPECT_EQ(fs.dateSeparator, '-');
  EXPECT_EQ(fs.timeSeparator, ':');
  EXPECT_EQ(fs.shortDateFormat, "yyyy-mm-dd");
  EXPECT_EQ(fs.shortTimeFormat, "hh:nn:ss");
  EXPECT_EQ(fs.longTimeFormat, "hh:nn:ss");
  EXPECT_EQ(fs.twoDigitYearCenturyWindow, 50);
  // Polish locale data, turned into single bytes.
  EXPECT_EQ(fs.timeAMString, "AM");
  EXPECT_EQ(fs.timePMString, "PM");
  EXPECT_EQ(fs.thousandSeparator, '\xA0');
  EXPECT_EQ(fs.listSeparator, ';');
  EXPECT_EQ(fs.currencyString, "zl");
  EXPECT_EQ(fs.currencyDecimals, 2);
  EXPECT_EQ(fs.currencyFormat, 3);  // "1,00 zl"
  EXPECT_EQ(fs.longDateFormat, "dddd, d MMMM yyyy");
  EXPECT_EQ(fs.longMonthNames[0], "styczen");
  EXPECT_EQ(fs.longMonthNames[9], "pazdziernik");
  EXPECT_EQ(fs.shortMonthNames[2], "mar");
  EXPECT_EQ(fs.longDayNames[0], "niedziela");  // Sunday first
  EXPECT_EQ(fs.longDayNames[3], "sroda");
  EXPECT_EQ(fs.longDayNames[6], "sobota");
}

TEST(LocaleFormatSettings, TakesSeparatorsFormsAndNames) {
  struct Row {
    std::string locale;
    char decimal, thousands, date, time;
    std::string shortDate, shortTime, longTime;
  };
  const Row rows[] = {
      {"en_US", '.', ',', '/', ':', "M/d/yy", "h:mm AMPM", "h:mm:ss AMPM"},
      {"de_DE", ',', '.', '.', ':', "dd.MM.yy", "hh:mm", "hh:mm:ss"},
      {"fr_FR", ',', ' ', '/', ':', "dd/MM/yyyy", "hh:mm", "hh:mm:ss"},  // narrow no-break space
      {"pl_PL", ',', '\xA0', '.', ':', "d.MM.yyyy", "hh:mm", "hh:mm:ss"},
      {"ko_KR", '.', ',', '.', ':', "yy. M. d.", "AMPM h:mm", "AMPM h:mm:ss"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.locale);
    const TFormatSettings fs = LocaleFormatSettings(row.locale);
    EXPECT_EQ(fs.decimalSeparator, row.decimal);
    EXPECT_EQ(fs.thousandSeparator, row.thousands);
    EXPECT_EQ(fs.dateSeparator, row.date);
    EXPECT_EQ(fs.timeSeparator, row.time);
    EXPECT_EQ(fs.shortDateFormat, row.shortDate);
    EXPECT_EQ(fs.shortTimeFormat, row.shortTime);
    EXPECT_EQ(fs.longTimeFormat, row.longTime);
  }
}

TEST(LocaleFormatSettings, LocaleDatesFormatAsWritten) {
  const TDateTimeValue v = EncodeDateTimeValue(2024, 3, 5, 15, 4, 9);
  const TFormatSettings us = LocaleFormatSettings("en_US");
  EXPECT_EQ(FormatDateTimePattern(us, "c", v), "3/5/24 3:04:09 PM");
  EXPECT_EQ(FormatDateTimePattern(us, "dddddd", v), "Tuesday, March 5, 2024");
  const TFormatSettings de = LocaleFormatSettings("de_DE");
  EXPECT_EQ(FormatDateTimePattern(de, "c", v), "05.03.24 15:04:09");
  EXPECT_EQ(FormatNumberPattern(de, ",#00.0", 1234.5L), "1.234,5");
}

TEST(ProcessFormatSettings, ComesFromTheUserLocale) {
  const TFormatSettings fs = ProcessFormatSettings();
  EXPECT_NE(fs.decimalSeparator, '\0');
  EXPECT_FALSE(fs.shortDateFormat.empty());
  EXPECT_EQ(fs.longTimeFormat.find(":mm:ss") != std::string::npos, true);
  // Unknown names fall back to the user's locale too.
  EXPECT_EQ(LocaleFormatSettings("xx_nowhere").shortDateFormat, fs.shortDateFormat);
}

}  // namespace
}  // namespace tempolog
