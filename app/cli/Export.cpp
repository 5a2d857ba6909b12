// tempolog-cli export: a saved log, a backup or a recovered journal converted
// line by line. Lines are read as the window's Load reads them (CR, LF and
// CR LF each end a line; the timestamp in columns 1 to 19, the value from
// column 20 to the end of the line); a blank line holds no reading and is
// passed over. A last line without its line end is a line whose writing was
// cut short (a crash, a power cut, a full disk): it is told, never converted.
#include <algorithm>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/link/LogFormat.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"

namespace tempolog {
namespace {

// Output is written in pieces of about this size.
constexpr std::size_t kOutputPiece = 1 << 16;

// Why a line does not read, escaped, the column text it quotes (which may be
// the rest of a huge line) cut short as the line is.
std::string ShortReason(const std::string& reason, const LogColumns& columns) {
  for (const std::string* column : {&columns.timestamp, &columns.value}) {
    const std::string quoted = "'" + *column + "'";
    if (reason.compare(0, quoted.size(), quoted) != 0) continue;
    return "'" + QuoteForMessage(*column, kMessageTextBytes) + "'" +
           QuoteForMessage(std::string_view(reason).substr(quoted.size()), reason.size());
  }
  return QuoteForMessage(reason, reason.size());
}

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
    const std::size_t start = at;
    const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
    const std::string_view line = std::string_view(bytes).substr(at, end - at);
    at = end;
    if (at < bytes.size() && bytes[at] == '\r') ++at;
    if (at < bytes.size() && bytes[at] == '\n' && (at == end || bytes[at - 1] == '\r')) ++at;
    ++lineNumber;
    const std::string where = options.file + ":" + std::to_string(lineNumber) + ": ";
    // The program writes a line and its CR LF in one write: a last line
    // without its LF (a lone CR included) was cut short, whatever it reads as.
    if (at == bytes.size() && bytes.back() != '\n') {
      SayOnStderr(where + "unfinished last line, without its line end; not converted: " +
                  QuoteForMessage(std::string_view(bytes).substr(start), kMessageTextBytes));
      allRead = false;
      break;
    }
    if (TrimBlanks(line).empty()) continue;
    TReading reading;
    const LogColumns columns = SplitLogLine(line);
    try {
      reading.local = DecodeDateTimeValue(ParseTimestamp(settings, columns.timestamp));
      reading.utcOffsetSeconds =
          static_cast<int>(SecondsAsIfUtc(reading.local) - LocalToUtcSeconds(reading.local));
      // What feeds other programs is read as strictly as a reply: a stored
      // value without digits is no reading.
      reading.value = ReadingValue(settings, columns.value);
      reading.reply = columns.value;
    } catch (const Exception& error) {
      SayOnStderr(where + ShortReason(error.Message(), columns) + ": " +
                  QuoteForMessage(line, kMessageTextBytes));
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
