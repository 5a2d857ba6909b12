#include "app/cli/CliFormats.h"

#include <algorithm>
#include <array>
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

// The two digits of each number from 0 to 99.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int n = 0; n < 100; ++n) {
    pairs[2 * n] = static_cast<char>('0' + n / 10);
    pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}();

// `number` (0 to 99) as two decimal digits at `to`; the place after them.
char* PutTwoDigits(char* to, int number) {
  to[0] = kDigitPairs[2 * number];
  to[1] = kDigitPairs[2 * number + 1];
  return to + 2;
}

// The shortest decimal text of the single-precision value at `to`; the place after it.
char* PutValue(char* to, double value) {
  return std::to_chars(to, to + 32, static_cast<float>(value)).ptr;
}

// IsoTimestamp's text at `to` without its offset (room for 48 bytes); the
// place after it.
char* PutLocalIso(char* to, const LocalTime& t) {
  const auto twoDigits = [](int n) { return n >= 0 && n <= 99; };
  if (t.year < 0 || t.year > 9999 || !twoDigits(t.month) || !twoDigits(t.day) ||
      !twoDigits(t.hour) || !twoDigits(t.minute) || !twoDigits(t.second) || t.millisecond < 0 ||
      t.millisecond > 999) {
    const std::string text = IsoTimestamp(t, 0);
    return std::copy(text.begin(), text.end() - 6, to);
  }
  to = PutTwoDigits(to, t.year / 100);
  to = PutTwoDigits(to, t.year % 100);
  *to++ = '-';
  to = PutTwoDigits(to, t.month);
  *to++ = '-';
  to = PutTwoDigits(to, t.day);
  *to++ = 'T';
  to = PutTwoDigits(to, t.hour);
  *to++ = ':';
  to = PutTwoDigits(to, t.minute);
  *to++ = ':';
  to = PutTwoDigits(to, t.second);
  *to++ = '.';
  *to++ = static_cast<char>('0' + t.millisecond / 100);
  return PutTwoDigits(to, t.millisecond % 100);
}

// The offset IsoTimestamp's text ends with ("+01:00") at `to`; the place after it.
char* PutOffset(char* to, int utcOffsetSeconds) {
  const int offsetMinutes = std::abs(utcOffsetSeconds) / 60;
  if (offsetMinutes / 60 > 99) {
    const std::string text = IsoTimestamp(LocalTime{}, utcOffsetSeconds);
    return std::copy(text.begin() + 23, text.end(), to);
  }
  *to++ = utcOffsetSeconds < 0 ? '-' : '+';
  to = PutTwoDigits(to, offsetMinutes / 60);
  *to++ = ':';
  return PutTwoDigits(to, offsetMinutes % 60);
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
    case TOutputFormat::Csv: {
      // No field ever holds a comma, a quote or a line end: no quoting. The
      // third field is the first with the offset added.
      end = PutLocalIso(end, reading.local);
      const std::string_view local(line, static_cast<std::size_t>(end - line));
      *end++ = ',';
      end = PutValue(end, reading.value);
      *end++ = ',';
      end = std::copy(local.begin(), local.end(), end);
      end = PutOffset(end, reading.utcOffsetSeconds);
      *end++ = '\r';
      *end++ = '\n';
      break;
    }
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
