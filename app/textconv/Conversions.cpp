// The fixed text forms of the log: timestamps, the clock, readings, the
// recording period, and trimming of replies and log columns.
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/textconv/TextConv.h"
#include "app/textconv/TextConvDetail.h"
#include "framework/core/Clock.h"
#include "framework/core/Exceptions.h"

namespace tempolog {
namespace {

using detail::IsDigit;

[[noreturn]] void Fail(std::string_view message, std::string_view text) {
  throw EConvertError(FormatMessage(message, {text}));
}

constexpr std::string_view kBadDateTime = "'%s' is not a valid date and time";
constexpr std::string_view kBadFloat = "'%s' is not a valid floating point value";
constexpr std::string_view kBadInteger = "'%s' is not a valid integer value";

// Past 21 significant digits a further digit can change an extended value by
// no more than its rounding; such digits only move the decimal point, so a
// long run of digits cannot overflow the accumulator.
constexpr long double kAccumulatorLimit = 1e21L;
// Exponent digits are read while the exponent so far is below this.
constexpr int kExponentReadLimit = 500;

// ---- Timestamps ---------------------------------------------------------------

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The field order that the short date form gives: the first of D, E, Y, M.
DateOrder OrderOf(std::string_view shortDate) {
  for (char c : shortDate) {
    switch (detail::AsciiUpper(c)) {
      case 'D': return DateOrder::DayMonthYear;
      case 'E':
      case 'Y': return DateOrder::YearMonthDay;
      case 'M': return DateOrder::MonthDayYear;
      default: break;
    }
  }
  return DateOrder::MonthDayYear;
}

// Walks a timestamp text; each step either advances or reports failure and
// leaves the position where the caller can restore it.
class TimestampScanner {
 public:
  TimestampScanner(const TFormatSettings& fs, std::string_view text) : fs_(fs), text_(text) {}

  void Restart() { pos_ = 0; }
  bool AtEnd() const { return pos_ >= text_.size(); }

  // Reads a date at the position; on success the position is past it.
  bool ReadDate(double& value);
  // Reads a time of day at the position.
  bool ReadTime(double& value);

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  // Digits while the value so far is below 1000 (so at most four when they
  // make 1000 or more, any number of leading zeros otherwise).
  bool ReadNumber(int& value, std::size_t& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos_ < text_.size() && IsDigit(text_[pos_]) && value < 1000) {
      value = value * 10 + (text_[pos_] - '0');
      ++pos_;
      ++digits;
    }
    return digits > 0;
  }
  bool ReadNumber(int& value) {
    std::size_t digits = 0;
    return ReadNumber(value, digits);
  }
  bool ReadSeparator(char separator) {
    SkipBlanks();
    if (separator == '\0' || pos_ >= text_.size() || text_[pos_] != separator) return false;
    ++pos_;
    return true;
  }
  // A separator if present; the position is unchanged when it is not.
  bool TrySeparator(char separator) {
    const std::size_t saved = pos_;
    if (ReadSeparator(separator)) return true;
    pos_ = saved;
    return false;
  }
  bool ReadMarker(int& marker);  // 0 none, 1 AM, 2 PM
  bool MatchMarker(std::string_view marker) {
    if (marker.empty() || text_.size() - pos_ < marker.size()) return false;
    if (!detail::SameTextIgnoringCase(text_.substr(pos_, marker.size()), marker)) return false;
    pos_ += marker.size();
    return true;
  }

  const TFormatSettings& fs_;
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool TimestampScanner::ReadMarker(int& marker) {
  marker = 0;
  if (pos_ >= text_.size()) return false;
  if (MatchMarker(fs_.timeAMString) || MatchMarker("AM")) {
    marker = 1;
  } else if (MatchMarker(fs_.timePMString) || MatchMarker("PM")) {
    marker = 2;
  } else {
    return false;
  }
  SkipBlanks();
  return true;
}

bool TimestampScanner::ReadDate(double& value) {
  int numbers[3] = {0, 0, 0};
  std::size_t digits[3] = {0, 0, 0};
  if (!ReadNumber(numbers[0], digits[0]) || !ReadSeparator(fs_.dateSeparator) ||
      !ReadNumber(numbers[1], digits[1]))
    return false;

  const DateOrder order = OrderOf(fs_.shortDateFormat);
  int year = 0;
  int month = 0;
  int day = 0;
  if (TrySeparator(fs_.dateSeparator)) {
    if (!ReadNumber(numbers[2], digits[2])) return false;
    int yearIndex = 2;
    switch (order) {
      case DateOrder::YearMonthDay:
        yearIndex = 0;
        month = numbers[1];
        day = numbers[2];
        break;
      case DateOrder::DayMonthYear:
        day = numbers[0];
        month = numbers[1];
        break;
      case DateOrder::MonthDayYear:
        month = numbers[0];
        day = numbers[1];
        break;
    }
    year = numbers[yearIndex];
    if (digits[yearIndex] <= 2) {
      // A two-digit year lands in the hundred years that start `window`
      // years before the current one.
      const int start = ClockNow().year - fs_.twoDigitYearCenturyWindow;
      year += start / 100 * 100;
      if (year < start) year += 100;
    }
  } else {
    // Month and day only: the current year.
    if (order == DateOrder::DayMonthYear) {
      day = numbers[0];
      month = numbers[1];
    } else {
      month = numbers[0];
      day = numbers[1];
    }
    year = ClockNow().year;
  }
  TrySeparator(fs_.dateSeparator);
  SkipBlanks();
  return TryEncodeDate(year, month, day, value);
}

bool TimestampScanner::ReadTime(double& value) {
  int marker = 0;
  const bool leadingMarker = ReadMarker(marker);
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  if (!ReadNumber(hour)) return false;
  if (TrySeparator(fs_.timeSeparator)) {
    if (!ReadNumber(minute)) return false;
    if (TrySeparator(fs_.timeSeparator)) {
      if (!ReadNumber(second)) return false;
      if (TrySeparator(fs_.decimalSeparator) && !ReadNumber(millisecond)) return false;
    }
  }
  if (!leadingMarker) {
    SkipBlanks();
    ReadMarker(marker);
  }
  if (marker != 0) {
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) hour = 0;
    if (marker == 2) hour += 12;
  }
  SkipBlanks();
  return TryEncodeTime(hour, minute, second, millisecond, value);
}

// ---- Numbers ------------------------------------------------------------------

// Reads a reading; false when the text is not a number.
bool ReadFloat(const TFormatSettings& fs, std::string_view text, long double& result) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  long double accumulator = 0;
  long long scale = 0;  // power of ten the accumulated digits are multiplied by
  bool consumed = false;
  while (i < n && IsDigit(text[i])) {
    if (accumulator < kAccumulatorLimit) accumulator = accumulator * 10 + (text[i] - '0');
    else ++scale;  // a digit too far down to matter still moves the point
    ++i;
    consumed = true;
  }
  const char point = fs.decimalSeparator;
  if (point != '\0' && i < n && text[i] == point) {
    ++i;
    consumed = true;
    while (i < n && IsDigit(text[i])) {
      if (accumulator < kAccumulatorLimit) {
        accumulator = accumulator * 10 + (text[i] - '0');
        --scale;
      }
      ++i;
    }
  }
  if (!consumed) return false;

  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    int exponent = 0;
    while (i < n && IsDigit(text[i]) && exponent < kExponentReadLimit)
      exponent = exponent * 10 + (text[i++] - '0');
    scale += negativeExponent ? -exponent : exponent;
  }
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return false;

  long double value = detail::ScaleByPowerOfTen(accumulator, scale);
  if (!std::isfinite(value)) return false;
  result = negative ? -value : value;
  return true;
}

// Reads a recording period; false when the text is not an integer.
bool ReadInteger(std::string_view text, std::int32_t& result) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && text[i] == ' ') ++i;
  if (i >= n) return false;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }

  if (hex) {
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; i < n; ++i, ++digits) {
      const char c = text[i];
      int digit = 0;
      if (IsDigit(c)) digit = c - '0';
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else return false;
      if (digits == 8) return false;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    if (digits == 0) return false;
    // Eight hex digits wrap into the signed range; a sign negates that.
    if (negative) value = 0u - value;
    result = static_cast<std::int32_t>(value);
    return true;
  }

  std::int64_t value = 0;
  const std::size_t first = i;
  for (; i < n; ++i) {
    if (!IsDigit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return false;
  }
  if (i == first) return false;
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return false;
  result = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

std::string FormatTimestamp(const TFormatSettings& fs, TDateTimeValue value) {
  return FormatDateTimePattern(fs, "c", value);
}

std::string FormatClockTime(const TFormatSettings& fs, TDateTimeValue value) {
  // An empty form shows nothing (an empty pattern alone would mean "c").
  if (fs.longTimeFormat.empty()) return {};
  return FormatDateTimePattern(fs, fs.longTimeFormat, value);
}

TDateTimeValue ParseTimestamp(const TFormatSettings& fs, std::string_view text) {
  TimestampScanner scanner(fs, text);
  double date = 0;
  if (scanner.ReadDate(date)) {
    double time = 0;
    if (scanner.AtEnd()) return date;
    // Bytes after a time that reads are ignored.
    if (scanner.ReadTime(time)) return date >= 0 ? date + time : date - time;
  }
  scanner.Restart();
  double time = 0;
  if (scanner.ReadTime(time) && scanner.AtEnd()) return time;
  Fail(kBadDateTime, text);
}

long double ParseNumber(const TFormatSettings& fs, std::string_view text) {
  long double value = 0;
  if (!ReadFloat(fs, text, value)) Fail(kBadFloat, text);
  return value;
}

std::int32_t ParseInteger(std::string_view text) {
  std::int32_t value = 0;
  if (!ReadInteger(text, value)) Fail(kBadInteger, text);
  return value;
}

std::string TrimBlanks(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return std::string(text.substr(first, last - first));
}

}  // namespace tempolog
