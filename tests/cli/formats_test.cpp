// tempolog-cli's output formats, their escaping, the reading of local times
// with zone rules, and the command line's refusals: one table, each row a
// text the program makes and the text it must be.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/cli/CliArguments.h"
#include "app/cli/CliFormats.h"
#include "app/link/LogFormat.h"

namespace tempolog {
namespace {

// Central European time in 2026: +02:00 from 29 March 01:00 UTC to 25 October
// 01:00 UTC, +01:00 around it.
int CentralEurope2026(std::int64_t utc) {
  return utc >= 1774746000 && utc < 1792890000 ? 7200 : 3600;
}

// ISO 8601 of a local time read with the rule above.
std::string ReadAsCentralEurope(const LocalTime& local) {
  const std::int64_t instant = LocalToUtcSeconds(local, CentralEurope2026);
  return IsoTimestamp(local, static_cast<int>(SecondsAsIfUtc(local) - instant));
}

TReading At(LocalTime local, int offset, double value, std::string reply = "23.5") {
  return {local, offset, value, std::move(reply)};
}

// What the command line makes of `args`: its refusal, or "ok" and the options.
std::string Refusal(const std::vector<std::string>& args) {
  const TCliArguments parsed = ParseCliArguments(args);
  if (!parsed.error.empty()) return parsed.error;
  const TRecordOptions& r = parsed.record;
  return "ok " + r.port + " " + std::to_string(r.periodSeconds) + " " + r.command + " " +
         std::to_string(r.count) + " " + std::to_string(static_cast<int>(r.format));
}

const LocalTime kDecember{2026, 12, 9, 14, 5, 9, 250};

struct Row {
  const char* name;
  std::function<std::string()> made;
  std::string expected;
};

TEST(CliFormats, EveryFormatAndRefusalExactly) {
  const TPromState prom{"lab \"A\"", true, 23.5, 1796821509250, 7, 2};
  const std::vector<Row> rows = {
      // --- log, CSV, line protocol
      {"log line as the window writes it",
       [] { return FormatReading(TOutputFormat::Log, At(kDecember, 3600, 23.5), "x"); },
       "2026-12-09 14:05:09\t23.5\r\n"},
      {"log line in the first second after midnight keeps its time",
       [] {
         return FormatReading(TOutputFormat::Log, At({2026, 12, 9, 0, 0, 0, 400}, 3600, 1), "");
       },
       "2026-12-09 00:00:00\t23.5\r\n"},
      {"csv header", [] { return FormatHeader(TOutputFormat::Csv); }, "local_time,value,time\r\n"},
      {"csv line: local time for spreadsheets, value, and the time with its offset",
       [] { return FormatReading(TOutputFormat::Csv, At(kDecember, 3600, 23.5), ""); },
       "2026-12-09T14:05:09.250,23.5,2026-12-09T14:05:09.250+01:00\r\n"},
      {"csv line west of UTC by half hours",
       [] { return FormatReading(TOutputFormat::Csv, At(kDecember, -12600, -0.5), ""); },
       "2026-12-09T14:05:09.250,-0.5,2026-12-09T14:05:09.250-03:30\r\n"},
      {"csv field quoted", [] { return CsvField("a,\"b\"\r\n"); }, "\"a,\"\"b\"\"\r\n\""},
      {"influx line escapes blank, comma and equals sign in the tag",
       [] { return FormatReading(TOutputFormat::Influx, At(kDecember, 3600, 23.5), "lab 1,a=b"); },
       "temperature,port=lab\\ 1\\,a\\=b value=23.5 1796821509250000000\n"},
      {"influx line without a port has no tag",
       [] { return FormatReading(TOutputFormat::Influx, At(kDecember, 0, 23.5), ""); },
       "temperature value=23.5 1796825109250000000\n"},
      {"influx tag in UTF-8", [] { return InfluxTagValue("t\xB0"); }, "t\xC2\xB0"},
      {"no header for influx", [] { return FormatHeader(TOutputFormat::Influx); }, ""},
      // --- values as the chart holds them
      {"a tenth in single precision prints as 0.1", [] { return ValueText(RoundToSingle(0.1L)); },
       "0.1"},
      {"large value", [] { return ValueText(RoundToSingle(1e20L)); }, "1e+20"},
      {"many digits keep only single precision",
       [] { return ValueText(RoundToSingle(23.456789012L)); }, "23.456789"},
      // --- texts quoted in messages
      {"quoted as it is", [] { return QuoteForMessage("23.5 C", 64); }, "23.5 C"},
      {"quoted with line ends, tab, control bytes and bytes beyond ASCII escaped",
       [] { return QuoteForMessage(std::string("a\r\n\tb\0\x1B\x7F\xB0", 9), 64); },
       "a\\r\\n\\tb\\x00\\x1B\\x7F\\xB0"},
      {"backslash escaped, quote kept", [] { return QuoteForMessage("\"\\", 64); }, "\"\\\\"},
      {"cut after so many bytes of the text", [] { return QuoteForMessage("abcdef", 3); },
       "abc... (6 bytes)"},
      {"not cut at exactly so many", [] { return QuoteForMessage("abc", 3); }, "abc"},
      {"cut never splits an escape", [] { return QuoteForMessage("\x01\x02\x03", 2); },
       "\\x01\\x02... (3 bytes)"},
      {"empty", [] { return QuoteForMessage("", 8); }, ""},
      // --- Prometheus
      {"prom label escapes backslash, quote and line feed",
       [] { return PromLabelValue("a\\b\"c\nd\xB5"); }, "a\\\\b\\\"c\\nd\xC2\xB5"},
      {"prom file", [&] { return PromText(prom); },
       "# HELP tempolog_temperature The last reading of the instrument.\n"
       "# TYPE tempolog_temperature gauge\n"
       "tempolog_temperature{port=\"lab \\\"A\\\"\"} 23.5\n"
       "# HELP tempolog_last_reading_timestamp_seconds When the last reading was taken, in "
       "seconds since 1970-01-01 00:00 UTC.\n"
       "# TYPE tempolog_last_reading_timestamp_seconds gauge\n"
       "tempolog_last_reading_timestamp_seconds{port=\"lab \\\"A\\\"\"} 1796821509.250\n"
       "# HELP tempolog_readings_total Readings recorded.\n"
       "# TYPE tempolog_readings_total counter\n"
       "tempolog_readings_total{port=\"lab \\\"A\\\"\"} 7\n"
       "# HELP tempolog_failed_ticks_total Recording ticks that brought no reading (no answer, a "
       "rejected reply, the instrument gone).\n"
       "# TYPE tempolog_failed_ticks_total counter\n"
       "tempolog_failed_ticks_total{port=\"lab \\\"A\\\"\"} 2\n"},
      {"prom file before the first reading has no gauge samples",
       [] {
         const std::string text = PromText(TPromState{"p", false, 0, 0, 0, 3});
         return std::to_string(text.find("tempolog_temperature{")) + " " +
                std::to_string(text.find("tempolog_last_reading_timestamp_seconds{"));
       },
       std::to_string(std::string::npos) + " " + std::to_string(std::string::npos)},
      // --- local times read with the zone rules
      {"winter",
       [] {
         return ReadAsCentralEurope({2026, 1, 15, 12, 0, 0, 0});
       },
       "2026-01-15T12:00:00.000+01:00"},
      {"summer",
       [] {
         return ReadAsCentralEurope({2026, 7, 1, 12, 0, 0, 0});
       },
       "2026-07-01T12:00:00.000+02:00"},
      {"repeated hour: the earlier offset",
       [] {
         return ReadAsCentralEurope({2026, 10, 25, 2, 30, 0, 0});
       },
       "2026-10-25T02:30:00.000+02:00"},
      {"just after the repeated hour",
       [] {
         return ReadAsCentralEurope({2026, 10, 25, 3, 0, 0, 0});
       },
       "2026-10-25T03:00:00.000+01:00"},
      {"skipped hour: the offset before the change",
       [] {
         return ReadAsCentralEurope({2026, 3, 29, 2, 30, 0, 0});
       },
       "2026-03-29T02:30:00.000+01:00"},
      {"first minute after the skipped hour",
       [] {
         return ReadAsCentralEurope({2026, 3, 29, 3, 0, 0, 0});
       },
       "2026-03-29T03:00:00.000+02:00"},
      {"a leap day before 1970",
       [] {
         return std::to_string(SecondsAsIfUtc({1968, 2, 29, 0, 0, 1, 0}));
       },
       "-58060799"},
      // --- the command line
      {"good record line",
       [] {
         return Refusal(
             {"record", "--port=sim0", "--period", "5", "--count", "3", "--format", "influx"});
       },
       "ok sim0 5 01X? 3 2"},
      {"no command", [] { return Refusal({}); }, "a command is missing"},
      {"unknown command", [] { return Refusal({"frob"}); }, "unknown command 'frob'"},
      {"record without a port", [] { return Refusal({"record"}); }, "--port is missing"},
      {"option without its value",
       [] {
         return Refusal({"record", "--port"});
       },
       "option --port needs a value"},
      {"period 0",
       [] {
         return Refusal({"record", "--port", "a", "--period", "0"});
       },
       "--period '0' is not a whole number from 1 to 86400"},
      {"period with a fraction",
       [] {
         return Refusal({"record", "--port=a", "--period=1.5"});
       },
       "--period '1.5' is not a whole number from 1 to 86400"},
      {"count below one",
       [] {
         return Refusal({"record", "--port=a", "--count=-1"});
       },
       "--count '-1' is not a whole number from 1 to 1000000000000"},
      {"unknown format",
       [] {
         return Refusal({"record", "--port", "a", "--format", "xml"});
       },
       "--format 'xml' is not one of log, csv, influx"},
      {"option twice",
       [] {
         return Refusal({"record", "--port", "a", "--port", "b"});
       },
       "option --port given twice"},
      {"one file for two outputs",
       [] {
         return Refusal({"record", "--port", "a", "--out", "f", "--prom", "f"});
       },
       "--out and --prom name the same file"},
      {"stray argument",
       [] {
         return Refusal({"record", "--port", "a", "x"});
       },
       "unexpected argument 'x'"},
      {"misspelt option",
       [] {
         return Refusal({"record", "--prt", "a"});
       },
       "unknown option '--prt'"},
      {"export without a file", [] { return Refusal({"export"}); },
       "the log file to convert is missing"},
      {"export to the log format",
       [] {
         return Refusal({"export", "f", "--format", "log"});
       },
       "--format 'log' is not one of csv, influx"},
      {"an influx tag with a line feed",
       [] {
         return Refusal({"record", "--port", "a\nb", "--format", "influx"});
       },
       "--port 'a\nb' holds a control byte, which a tag of the InfluxDB line protocol cannot "
       "carry"},
      {"an influx tag with a tab, on export",
       [] {
         return Refusal({"export", "f", "--format", "influx", "--port", "a\tb"});
       },
       "--port 'a\tb' holds a control byte, which a tag of the InfluxDB line protocol cannot "
       "carry"},
      {"a line feed in a port recorded as CSV",
       [] {
         return Refusal({"record", "--port", "a\nb", "--format", "csv"});
       },
       "ok a\nb 1 01X? 0 1"},
      {"ports takes no argument",
       [] {
         return Refusal({"ports", "x"});
       },
       "unexpected argument 'x'"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.made(), row.expected) << row.name;
  }
}

}  // namespace
}  // namespace tempolog
