// The measurement log's line form and the value a reading is plotted with.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "app/textconv/TextConv.h"

namespace tempolog {

// Columns of a log line: the timestamp in 1 to 19, a tab in 20, the reply from 21.
inline constexpr std::size_t kLogTimestampWidth = 19;

// The timestamp of a log line: always the full date and time, 19 characters.
// (The plain timestamp text leaves the time out in the first second after
// midnight, which would make such a line unreadable when the log is loaded.)
std::string LogTimestamp(const TFormatSettings& settings, TDateTimeValue when);

// One log line without its line break: timestamp, tab, reply.
std::string LogLine(const TFormatSettings& settings, TDateTimeValue when, std::string_view reply);

// The two column texts Load reads from a log line: the blank-trimmed columns 1
// to 19 and 20 to the end of the line (shorter lines give what they have).
// The value is read whole, however long: a reply longer than 19 characters
// must not be read as the number its first characters make.
struct LogColumns {
  std::string timestamp;
  std::string value;
};
LogColumns SplitLogLine(std::string_view line);

// A log line's point as Load plots it: X from the timestamp text, Y from the
// value text rounded to single precision. Throws EConvertError for a text
// that does not read, Exception "Floating point overflow" for a value beyond
// the single-precision range.
struct LogPoint {
  TDateTimeValue when = 0;
  double value = 0;
};
LogPoint ReadLogPoint(const TFormatSettings& settings, std::string_view timestampText,
                      std::string_view valueText);

// The value of an instrument's reply as the chart holds it: ParseNumber's
// reading, rounded to single precision, of a reply that holds a number. A
// reply cut short or garbled in its exponent or mantissa reads as a believable
// temperature to ParseNumber ("." and "-." as 0, "23.5e" as 23.5), so a reply
// is refused here when no digit stands before its exponent marker, or none
// after the marker and its sign. Throws EConvertError "'<reply>' is not a
// valid floating point value" as ParseNumber does, Exception "Floating point
// overflow" as RoundToSingle does.
double ReadingValue(const TFormatSettings& settings, std::string_view reply);

// Reads the points of log lines [0, count), each as ReadLogPoint of the two
// columns SplitLogLine gives, bit for bit, into xs and ys; stops before the
// first line that does not read. Returns the lines read (count when all did).
// `line(i)` gives line i without its line break; it is called from up to
// `threads` threads at once, on line-aligned parts of the lines, and must not
// change anything. Lines of the exact form "yyyy-mm-dd hh:nn:ss<TAB>value"
// are read by a short road of their own where the settings allow it.
using LogLineAt = std::function<std::string_view(std::size_t index)>;
std::size_t ReadLogPoints(const TFormatSettings& settings, const LogLineAt& line, std::size_t count,
                          double* xs, double* ys, unsigned threads);

// The threads ReadLogPoints is worth giving for `count` lines on this machine.
unsigned LogReadingThreads(std::size_t count);

// A reading as the chart holds it: rounded to single precision (to nearest,
// ties to even) and kept as a double. Throws Exception "Floating point overflow"
// when the value lies beyond the single-precision range.
double RoundToSingle(long double value);

}  // namespace tempolog
