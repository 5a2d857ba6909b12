// tempolog-cli export: a saved log, a backup or a recovered journal converted
// line by line. Lines are read as the window's Load reads them (CR, LF and
// CR LF each end a line; the timestamp in columns 1 to 19, the value in 20 to
// 39); a blank line holds no reading and is passed over.
#include <algorithm>

#include "app/cli/Cli.h"
#include "app/link/LogFormat.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"

namespace tempolog {
namespace {

// Output is written in pieces of about this size.
constexpr std::size_t kOutputPiece = 1 << 16;

}  // namespace

int RunExport(const TExportOptions& options) { return ExportLog(options, WriteStdout); }

int ExportLog(const TExportOptions& options, const TOutputSink& sink) {
  std::string bytes;
  try {
    bytes = ReadFileShared(options.file);
  } catch (const Exception& error) {
    SayOnStderr(error.Message());
    return kExitFailed;
  }
  const TFormatSettings& settings = CliTextSettings();
  std::string output = FormatHeader(options.format);
  bool allRead = true;
  std::size_t lineNumber = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
    const std::string_view line = std::string_view(bytes).substr(at, end - at);
    at = end;
    if (at < bytes.size() && bytes[at] == '\r') ++at;
    if (at < bytes.size() && bytes[at] == '\n' && (at == end || bytes[at - 1] == '\r')) ++at;
    ++lineNumber;
    if (TrimBlanks(line).empty()) continue;
    TReading reading;
    try {
      const LogColumns columns = SplitLogLine(line);
      const LogPoint point = ReadLogPoint(settings, columns.timestamp, columns.value);
      reading.local = DecodeDateTimeValue(point.when);
      reading.utcOffsetSeconds =
          static_cast<int>(SecondsAsIfUtc(reading.local) - LocalToUtcSeconds(reading.local));
      reading.value = point.value;
      reading.reply = columns.value;
    } catch (const Exception& error) {
      SayOnStderr(options.file + ":" + std::to_string(lineNumber) + ": " + error.Message() + ": " +
                  std::string(line));
      allRead = false;
      continue;
    }
    output += FormatReading(options.format, reading, options.port);
    if (output.size() >= kOutputPiece) {
      if (!sink(output)) break;
      output.clear();
    }
  }
  if (!sink(output)) {
    SayOnStderr("cannot write to standard output");
    return kExitFailed;
  }
  return allRead ? kExitDone : kExitFailed;
}

}  // namespace tempolog
