#include "app/link/LogFormat.h"

#include <cmath>

#include "framework/Exceptions.h"

namespace tempolog {

std::string LogTimestamp(const TFormatSettings& settings, TDateTimeValue when) {
  std::string stamp = FormatTimestamp(settings, when);
  if (stamp.size() < kLogTimestampWidth) {
    // Midnight: the timestamp came as the date alone; add the time of day.
    stamp += ' ';
    stamp += FormatClockTime(settings, when);
  }
  return stamp;
}

std::string LogLine(const TFormatSettings& settings, TDateTimeValue when, std::string_view reply) {
  std::string line = LogTimestamp(settings, when);
  line += '\t';
  line += reply;
  return line;
}

LogColumns SplitLogLine(std::string_view line) {
  const std::string_view stamp = line.substr(0, kLogTimestampWidth);
  const std::string_view value =
      line.size() > kLogTimestampWidth ? line.substr(kLogTimestampWidth) : std::string_view{};
  return {TrimBlanks(stamp), TrimBlanks(value)};
}

LogPoint ReadLogPoint(const TFormatSettings& settings, std::string_view timestampText,
                      std::string_view valueText) {
  const TDateTimeValue when = ParseTimestamp(settings, timestampText);
  return {when, RoundToSingle(ParseNumber(settings, valueText))};
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number ParseNumber would read has a digit in its mantissa and, when it
// has an exponent marker, a digit after the marker's sign. Only the shape is
// looked at: what else is wrong with the text ParseNumber finds.
bool HasDigitsWhereNeeded(const TFormatSettings& settings, std::string_view text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return false;
  const auto skipDigits = [&] {
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at - start;
  };
  if (text[at] == '+' || text[at] == '-') ++at;
  std::size_t digits = skipDigits();
  if (at < text.size() && text[at] == settings.decimalSeparator) {
    ++at;
    digits += skipDigits();
  }
  if (digits == 0) return false;
  if (at == text.size() || (text[at] != 'e' && text[at] != 'E')) return true;
  ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  return skipDigits() > 0;
}

}  // namespace

double ReadingValue(const TFormatSettings& settings, std::string_view reply) {
  if (!HasDigitsWhereNeeded(settings, reply))
    throw EConvertError(FormatMessage("'%s' is not a valid floating point value", {reply}));
  return RoundToSingle(ParseNumber(settings, reply));
}

double RoundToSingle(long double value) {
  // Values from this boundary on round beyond the largest single (ties go to
  // the even neighbour, which is the overflow).
  constexpr long double kOverflowBoundary = 0x1.ffffffp127L;
  if (!(std::fabs(value) < kOverflowBoundary)) throw Exception("Floating point overflow");
  return static_cast<double>(static_cast<float>(value));
}

}  // namespace tempolog
