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

double RoundToSingle(long double value) {
  // Values from this boundary on round beyond the largest single (ties go to
  // the even neighbour, which is the overflow).
  constexpr long double kOverflowBoundary = 0x1.ffffffp127L;
  if (!(std::fabs(value) < kOverflowBoundary)) throw Exception("Floating point overflow");
  return static_cast<double>(static_cast<float>(value));
}

}  // namespace tempolog
