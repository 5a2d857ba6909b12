// The output formats of tempolog-cli, exactly as the programs that read them
// expect:
//   log      the program's own log line (what the window's Load opens), CR LF
//   csv      RFC 4180: "local_time,value,time" header, CR LF line ends; the
//            local time in ISO 8601 with milliseconds and without an offset
//            (the form spreadsheets read as a date and time), the value, and
//            the time again with its offset from UTC (the instant, for
//            programs)
//   influx   InfluxDB line protocol: temperature,port=<name> value=<v> <ns>
//   prom     the Prometheus text format (the node exporter's textfile collector)
// Texts are the program's byte strings; where a format asks for UTF-8 (tag and
// label values) the bytes are taken as Latin-1 and converted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/textconv/TextConv.h"
#include "framework/core/Clock.h"

namespace tempolog {

enum class TOutputFormat { Log, Csv, Influx };

// The log's fixed text forms, as the window's TextSettings has them, without
// locale data (the program needs no Qt).
const TFormatSettings& CliTextSettings();

// One reading on its way out.
struct TReading {
  LocalTime local;           // local date and time it was taken (the log's)
  int utcOffsetSeconds = 0;  // the offset from UTC in force then
  double value = 0;          // as the chart holds it (single precision)
  std::string reply;         // the instrument's text, as the log keeps it
};

// The shortest decimal text that reads back as the same single-precision
// value: 23.5, -0.1, 1e+20.
std::string ValueText(double value);

// 2026-12-09T14:05:09.250+01:00 (Z is not used: +00:00 for UTC).
std::string IsoTimestamp(const LocalTime& local, int utcOffsetSeconds);

// Nanoseconds since 1970-01-01 00:00 UTC.
std::int64_t UnixNanoseconds(const LocalTime& local, int utcOffsetSeconds);

// The bytes of `latin1` as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// A CSV field, quoted (inner quotes doubled) when it holds a comma, a quote,
// CR or LF.
std::string CsvField(std::string_view text);

// A tag value of the line protocol: commas, equals signs and blanks escaped
// with a backslash, as UTF-8.
std::string InfluxTagValue(std::string_view text);

// A text from a file or an instrument as a message shows it: each byte
// outside printable ASCII as \xHH (\t, \r, \n for tab, CR and LF), a
// backslash as \\; cut after its first `maxBytes` bytes, with "... (N bytes)"
// (N the whole text's length) added, so a huge text is never echoed whole.
std::string QuoteForMessage(std::string_view text, std::size_t maxBytes);

// How much of a text from a file a message shows.
inline constexpr std::size_t kMessageTextBytes = 64;

// What a stream in `format` starts with: the CSV header line, else nothing.
std::string FormatHeader(TOutputFormat format);

// One reading as a line of `format`, with its line end (CR LF for log and
// csv, LF for influx). `port` names the influx tag; empty: no tag.
std::string FormatReading(TOutputFormat format, const TReading& reading, std::string_view port);

// FormatReading's line added to `out`, for a stream of many; `influxTag` is
// the tag value already escaped (InfluxTagValue), empty for none.
void AppendReading(std::string& out, TOutputFormat format, const TReading& reading,
                   std::string_view influxTag);

// `text` for a message line: CR, LF and tab as \r \n \t, every other byte
// below 0x20 and 0x7F as \xHH; with `plainAscii` also the bytes from 0x80 on
// as \xHH and a backslash as \\ (QuoteForMessage).
std::string EscapeForMessage(std::string_view text, bool plainAscii);

// --- Prometheus ---

// What the metrics file tells about one recording.
struct TPromState {
  std::string port;
  bool hasReading = false;      // the two gauges are written once there is one
  double lastValue = 0;         // the last reading
  std::int64_t lastTimeMs = 0;  // when it was taken, ms since 1970 UTC
  std::uint64_t readings = 0;
  std::uint64_t failedTicks = 0;  // ticks that brought no reading
};

// A label value: backslash, double quote and line feed escaped, as UTF-8.
std::string PromLabelValue(std::string_view text);

// The whole metrics file.
std::string PromText(const TPromState& state);

}  // namespace tempolog
