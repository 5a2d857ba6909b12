#include "app/cli/CliFormats.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "app/link/LogFormat.h"

namespace tempolog {
namespace {

// The line the window writes for the reading, with its CR LF.
std::string LogText(const TReading& reading) {
  return LogLine(CliTextSettings(), EncodeDateTimeValue(reading.local), reading.reply) + "\r\n";
}

// `number` (0 to 9999) as `digits` decimal digits at `to`; the place after them.
char* PutDigits(char* to, int number, int digits) {
  for (int i = digits - 1; i >= 0; --i, number /= 10) to[i] = static_cast<char>('0' + number % 10);
  return to + digits;
}

// The shortest decimal text of the single-precision value at `to`; the place after it.
char* PutValue(char* to, double value) {
  return std::to_chars(to, to + 32, static_cast<float>(value)).ptr;
}

// IsoTimestamp's text at `to` (room for 48 bytes), without the offset when
// `utcOffsetSeconds` is null; the place after it. Four-digit years are
// written in place, others through IsoTimestamp.
char* PutIsoTimestamp(char* to, const LocalTime& t, const int* utcOffsetSeconds) {
  if (t.year < 0 || t.year > 9999) {
    const std::string text = IsoTimestamp(t, utcOffsetSeconds ? *utcOffsetSeconds : 0);
    return std::copy(text.begin(), text.end() - (utcOffsetSeconds ? 0 : 6), to);
  }
  to = PutDigits(to, t.year, 4);
  *to++ = '-';
  to = PutDigits(to, t.month, 2);
  *to++ = '-';
  to = PutDigits(to, t.day, 2);
  *to++ = 'T';
  to = PutDigits(to, t.hour, 2);
  *to++ = ':';
  to = PutDigits(to, t.minute, 2);
  *to++ = ':';
  to = PutDigits(to, t.second, 2);
  *to++ = '.';
  to = PutDigits(to, t.millisecond, 3);
  if (utcOffsetSeconds == nullptr) return to;
  const int offsetMinutes = std::abs(*utcOffsetSeconds) / 60;
  *to++ = *utcOffsetSeconds < 0 ? '-' : '+';
  to = PutDigits(to, offsetMinutes / 60, 2);
  *to++ = ':';
  return PutDigits(to, offsetMinutes % 60, 2);
}

void Metric(std::string& text, const char* name, const char* type, const char* help,
            const std::string& labels, const std::string* value) {
  text += "# HELP ";
  text += name;
  text += ' ';
  text += help;
  text += "\n# TYPE ";
  text += name;
  text += ' ';
  text += type;
  text += '\n';
  if (value == nullptr) return;
  text += name;
  text += labels;
  text += ' ';
  text += *value;
  text += '\n';
}

}  // namespace

const TFormatSettings& CliTextSettings() {
  static const TFormatSettings settings = LogTextForms(TFormatSettings{});
  return settings;
}

std::string ValueText(double value) {
  char text[32];
  return std::string(text, PutValue(text, value));
}

std::string IsoTimestamp(const LocalTime& t, int utcOffsetSeconds) {
  const int offsetMinutes = std::abs(utcOffsetSeconds) / 60;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year, t.month,
                t.day, t.hour, t.minute, t.second, t.millisecond, utcOffsetSeconds < 0 ? '-' : '+',
                offsetMinutes / 60, offsetMinutes % 60);
  return text;
}

std::int64_t UnixNanoseconds(const LocalTime& local, int utcOffsetSeconds) {
  const std::int64_t seconds = SecondsAsIfUtc(local) - utcOffsetSeconds;
  return seconds * 1000000000 + std::int64_t{local.millisecond} * 1000000;
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string utf8;
  utf8.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string InfluxTagValue(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == ',' || c == '=' || c == ' ') escaped += '\\';
    escaped += c;
  }
  return Latin1ToUtf8(escaped);
}

std::string QuoteForMessage(std::string_view text, std::size_t maxBytes) {
  std::string quoted = EscapeForMessage(text.substr(0, maxBytes), true);
  if (text.size() > maxBytes) quoted += "... (" + std::to_string(text.size()) + " bytes)";
  return quoted;
}

std::string FormatHeader(TOutputFormat format) {
  return format == TOutputFormat::Csv ? "local_time,value,time\r\n" : "";
}

void AppendReading(std::string& out, TOutputFormat format, const TReading& reading,
                   std::string_view influxTag) {
  char line[128];
  char* end = line;
  switch (format) {
    case TOutputFormat::Csv:
      // No field ever holds a comma, a quote or a line end: no quoting.
      end = PutIsoTimestamp(end, reading.local, nullptr);
      *end++ = ',';
      end = PutValue(end, reading.value);
      *end++ = ',';
      end = PutIsoTimestamp(end, reading.local, &reading.utcOffsetSeconds);
      *end++ = '\r';
      *end++ = '\n';
      break;
    case TOutputFormat::Influx:
      out += "temperature";
      if (!influxTag.empty()) {
        out += ",port=";
        out += influxTag;
      }
      end = std::copy_n(" value=", 7, end);
      end = PutValue(end, reading.value);
      *end++ = ' ';
      end = std::to_chars(end, end + 24, UnixNanoseconds(reading.local, reading.utcOffsetSeconds))
                .ptr;
      *end++ = '\n';
      break;
    case TOutputFormat::Log: out += LogText(reading); return;
  }
  out.append(line, end);
}

std::string FormatReading(TOutputFormat format, const TReading& reading, std::string_view port) {
  std::string line;
  AppendReading(line, format, reading, InfluxTagValue(port));
  return line;
}

std::string PromLabelValue(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    if (c == '\n') {
      escaped += "\\n";
      continue;
    }
    escaped += c;
  }
  return Latin1ToUtf8(escaped);
}

std::string PromText(const TPromState& state) {
  const std::string labels = "{port=\"" + PromLabelValue(state.port) + "\"}";
  std::string text;
  const std::string value = ValueText(state.lastValue);
  char time[32];
  std::snprintf(time, sizeof time, "%lld.%03lld", static_cast<long long>(state.lastTimeMs / 1000),
                static_cast<long long>(state.lastTimeMs % 1000));
  const std::string timeText = time;
  const std::string readings = std::to_string(state.readings);
  const std::string failed = std::to_string(state.failedTicks);
  Metric(text, "tempolog_temperature", "gauge", "The last reading of the instrument.", labels,
         state.hasReading ? &value : nullptr);
  Metric(text, "tempolog_last_reading_timestamp_seconds", "gauge",
         "When the last reading was taken, in seconds since 1970-01-01 00:00 UTC.", labels,
         state.hasReading ? &timeText : nullptr);
  Metric(text, "tempolog_readings_total", "counter", "Readings recorded.", labels, &readings);
  Metric(text, "tempolog_failed_ticks_total", "counter",
         "Recording ticks that brought no reading (no answer, a rejected reply, the instrument "
         "gone).",
         labels, &failed);
  return text;
}

std::string EscapeForMessage(std::string_view text, bool plainAscii) {
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\r': escaped += "\\r"; continue;
      case '\n': escaped += "\\n"; continue;
      case '\t': escaped += "\\t"; continue;
      case '\\':
        if (plainAscii) escaped += '\\';
        break;
      default:
        if (byte < 0x20 || byte == 0x7F || (plainAscii && byte > 0x7F)) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", byte);
          escaped += hex;
          continue;
        }
    }
    escaped += c;
  }
  return escaped;
}

}  // namespace tempolog
