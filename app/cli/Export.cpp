// tempolog-cli export: a saved log, a backup or a recovered journal converted
// line by line. Lines are read as the window's Load reads them (CR, LF and
// CR LF each end a line; the timestamp in columns 1 to 19, the value from
// column 20 to the end of the line); a blank line holds no reading and is
// passed over. A last line without its line end is a line whose writing was
// cut short (a crash, a power cut, a full disk): it is told, never converted.
// The file is streamed: read in pieces of 1 MiB, converted lines handed on in
// pieces of about 1 MiB, so memory stays the same whatever the file's size. A
// line longer than 1 MiB is no reading; it is told as a bad line, its start
// and length kept, never the line itself.
#include <cerrno>
#include <cstdio>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/cli/LogReader.h"
#include "app/link/LogFormat.h"
#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"

namespace tempolog {
namespace {

// Output is handed on in pieces of about this size.
constexpr std::size_t kOutputPiece = 1 << 20;

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

// QuoteForMessage of a text of which only its first bytes are at hand.
std::string QuoteHead(std::string_view head, std::size_t size) {
  std::string quoted = QuoteForMessage(head.substr(0, kMessageTextBytes), kMessageTextBytes);
  if (size > kMessageTextBytes) quoted += "... (" + std::to_string(size) + " bytes)";
  return quoted;
}

// The file read in pieces. A failure to read is told as the failure to open
// it, in ReadFileShared's words.
class LogFile {
 public:
  explicit LogFile(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "rb")) {
    if (file_ == nullptr) Fail(errno);
  }
  ~LogFile() { std::fclose(file_); }
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  std::size_t Read(char* to, std::size_t most) {
    const std::size_t got = std::fread(to, 1, most, file_);
    if (got == 0 && std::ferror(file_)) Fail(errno);
    return got;
  }

 private:
  [[noreturn]] void Fail(int error) const {
    throw EFOpenError(
        FormatMessage("Cannot open file \"%s\". %s", {path_, SystemErrorText(error)}));
  }

  std::string path_;
  std::FILE* file_;
};

std::string_view TrimmedView(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}

int CannotWrite() {
  SayOnStderr("cannot write to standard output");
  return kExitFailed;
}

}  // namespace

int RunExport(const TExportOptions& options) { return ExportLog(options, WriteStdout); }

int ExportLog(const TExportOptions& options, const TOutputSink& sink) {
  const TFormatSettings& settings = CliTextSettings();
  const std::string influxTag = InfluxTagValue(options.port);
  LogTimes times;
  ReadingValues values;
  std::string output;
  bool allRead = true;
  try {
    LogFile file(options.file);
    LogLineReader reader([&](char* to, std::size_t most) { return file.Read(to, most); });
    output = FormatHeader(options.format);
    LogFileLine line;
    while (reader.Next(line)) {
      const auto where = [&] { return options.file + ":" + std::to_string(line.number) + ": "; };
      // The program writes a line and its CR LF in one write: a last line
      // without its LF (a lone CR included) was cut short, whatever it reads as.
      if (line.unfinished) {
        SayOnStderr(where() + "unfinished last line, without its line end; not converted: " +
                    (line.longLine != nullptr ? QuoteHead(line.longLine->head, line.longLine->size)
                                              : QuoteForMessage(line.text, kMessageTextBytes)));
        allRead = false;
        break;
      }
      const LongLine* longLine = line.longLine;
      // The columns as SplitLogLine trims them, without copying them. Of a
      // line too long to hold, its first bytes and its value's.
      std::string_view stamp = TrimmedView(line.text.substr(0, kLogTimestampWidth));
      std::string_view value = line.text.size() > kLogTimestampWidth
                                   ? TrimmedView(line.text.substr(kLogTimestampWidth))
                                   : std::string_view{};
      if (longLine != nullptr) {
        stamp = TrimmedView(std::string_view(longLine->head).substr(0, kLogTimestampWidth));
        value = std::string_view(longLine->valueHead).substr(0, longLine->ValueSize());
      }
      if (stamp.empty() && value.empty()) continue;  // a blank line holds no reading
      const auto tell = [&](const std::string& reason) {
        SayOnStderr(where() + reason + ": " +
                    (longLine != nullptr ? QuoteHead(longLine->head, longLine->size)
                                         : QuoteForMessage(line.text, kMessageTextBytes)));
        allRead = false;
      };
      // A value longer than what is kept of a huge line is no reading.
      const bool valueCut = longLine != nullptr && longLine->ValueSize() > value.size();
      TReading reading;
      try {
        const ZonedTime when = times.Read(settings, stamp);
        reading.local = when.local;
        reading.utcOffsetSeconds = when.utcOffsetSeconds;
        // What feeds other programs is read as strictly as a reply: a stored
        // value without digits is no reading.
        if (!valueCut) reading.value = values.Read(settings, value);
      } catch (const Exception& error) {
        tell(ShortReason(error.Message(), LogColumns{std::string(stamp), std::string(value)}));
        continue;
      }
      if (valueCut) {
        tell("'" + QuoteHead(value, longLine->ValueSize()) +
             "' is not a valid floating point value");
        continue;
      }
      AppendReading(output, options.format, reading, influxTag);
      if (output.size() >= kOutputPiece) {
        if (!sink(output)) return CannotWrite();
        output.clear();
      }
    }
  } catch (const Exception& error) {
    // The file could not be opened, or failed while being read: what was
    // handed on before stays, the rest is not.
    SayOnStderr(error.Message());
    return kExitFailed;
  }
  if (!sink(output)) return CannotWrite();
  return allRead ? kExitDone : kExitFailed;
}

}  // namespace tempolog
