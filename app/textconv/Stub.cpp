// Temporary bodies so that dependants link while the conversions are written.
#include "app/textconv/TextConv.h"

namespace tempolog {
TFormatSettings MakeTextSettings() { return {}; }
TFormatSettings ProcessFormatSettings() { return {}; }
TFormatSettings LocaleFormatSettings(std::string_view) { return {}; }
std::string FormatTimestamp(const TFormatSettings&, TDateTimeValue) { return {}; }
std::string FormatClockTime(const TFormatSettings&, TDateTimeValue) { return {}; }
TDateTimeValue ParseTimestamp(const TFormatSettings&, std::string_view) { return 0; }
long double ParseNumber(const TFormatSettings&, std::string_view) { return 0; }
std::int32_t ParseInteger(std::string_view) { return 0; }
std::string TrimBlanks(std::string_view t) { return std::string(t); }
std::string FormatNumberPattern(const TFormatSettings&, std::string_view, long double) { return {}; }
std::string FormatDateTimePattern(const TFormatSettings&, std::string_view, TDateTimeValue) { return {}; }
bool IsLeapYear(int) { return false; }
int DaysInMonth(int, int) { return 0; }
bool TryEncodeDate(int, int, int, TDateTimeValue&) { return false; }
bool TryEncodeTime(int, int, int, int, TDateTimeValue&) { return false; }
bool TryEncodeDateTimeValue(const LocalTime&, TDateTimeValue&) { return false; }
TDateTimeValue EncodeDateTimeValue(const LocalTime&) { return 0; }
TDateTimeValue EncodeDateTimeValue(int, int, int, int, int, int, int) { return 0; }
LocalTime DecodeDateTimeValue(TDateTimeValue) { return {}; }
int DayOfWeekIndex(TDateTimeValue) { return 0; }
TDateTimeValue NowValue() { return 0; }
}  // namespace tempolog
