// tempolog-cli record: the window's recording ticks without the window.
//
// Every period (counted from the start, so a slow tick delays none after it;
// ticks missed meanwhile are skipped, never piled up) the link takes one tick.
// A reading goes, in this order, to the --out file (one write, then flushed
// to the disk), to standard output (flushed) and to the --prom file (a
// temporary file renamed over the old one). What happens to the instrument is
// told on standard error once per change: gone, back, no answer, answering
// again; a rejected reply each time.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>

#include "app/cli/Cli.h"
#include "app/cli/Console.h"
#include "app/link/InstrumentLink.h"
#include "app/link/LogFormat.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/LockedFile.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

// An unfinished last line longer than this is no log line cut short: the file
// is left alone.
constexpr std::uintmax_t kLongestTornLine = 4096;

bool ReadsAsLogLine(std::string_view line) {
  try {
    const LogColumns columns = SplitLogLine(line);
    ReadLogPoint(CliTextSettings(), columns.timestamp, columns.value);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// The --out file: appended to under its lock, one write per line, each line
// flushed to the disk before the next tick.
class TOutFile {
 public:
  // Opens (or creates) the file and mends its end; a message on standard
  // error and nothing returned when it cannot be used.
  static std::unique_ptr<TOutFile> Open(const std::string& path) {
    std::unique_ptr<TLockedFile> file;
    try {
      file = TLockedFile::OpenAppend(path);
    } catch (const Exception& error) {
      SayOnStderr(error.Message());
      return nullptr;
    }
    if (!file) {
      SayOnStderr(path + " is being written by another program");
      return nullptr;
    }
    auto out = std::unique_ptr<TOutFile>(new TOutFile(path, std::move(file)));
    if (!out->MendEnd()) return nullptr;
    return out;
  }

  // False, with a message, when the line could not be written or flushed.
  bool Append(const std::string& line) {
    const std::string bytes = pending_ + line;
    int error = file_->Append(bytes);
    if (error == 0) error = file_->Sync();
    if (error == 0) {
      pending_.clear();
      return true;
    }
    SayOnStderr(FormatMessage("Cannot write file \"%s\". %s", {path_, SystemErrorText(error)}));
    return false;
  }

 private:
  TOutFile(std::string path, std::unique_ptr<TLockedFile> file)
      : path_(std::move(path)), file_(std::move(file)) {}

  // A file whose last line has no line end (a power cut during an earlier
  // recording, or a log saved so by the window) must not get the next line
  // glued onto it. A last line that reads as a log line is kept and ended; a
  // piece of one is removed (told on standard error with its bytes), since
  // Load would stop at it or plot a wrong value.
  bool MendEnd() {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path_, error);
    if (error || size == 0) return true;
    std::ifstream in(path_, std::ios::binary);
    const std::uintmax_t start = size > kLongestTornLine + 1 ? size - kLongestTornLine - 1 : 0;
    std::string tail(static_cast<std::size_t>(size - start), '\0');
    in.seekg(static_cast<std::streamoff>(start));
    if (!in.read(tail.data(), static_cast<std::streamsize>(tail.size()))) {
      SayOnStderr("cannot read the end of " + path_);
      return false;
    }
    const std::size_t lastBreak = tail.find_last_of("\r\n");
    const std::string unfinished =
        lastBreak == std::string::npos ? tail : tail.substr(lastBreak + 1);
    if (unfinished.empty()) {
      // A CR whose LF was not written yet.
      if (tail.back() == '\r') pending_ = "\n";
      return true;
    }
    if (lastBreak == std::string::npos && start > 0) {
      SayOnStderr(path_ + " does not end with a log line; nothing is appended to it");
      return false;
    }
    if (ReadsAsLogLine(unfinished)) {
      pending_ = "\r\n";
      return true;
    }
    if (const int failed = file_->Truncate(size - unfinished.size()); failed != 0) {
      SayOnStderr(FormatMessage("Cannot write file \"%s\". %s", {path_, SystemErrorText(failed)}));
      return false;
    }
    SayOnStderr(path_ +
                ": removed the unfinished last line an earlier recording left: " + unfinished);
    if (lastBreak != std::string::npos && tail[lastBreak] == '\r') pending_ = "\n";
    return true;
  }

  std::string path_;
  std::unique_ptr<TLockedFile> file_;
  std::string pending_;  // what the end of the file needs before the next line
};

// Replaces the metrics file: the text goes to a temporary file beside it
// (whose name a collector of "*.prom" files passes over), which is renamed
// over the old one, so a reader sees the old file or the new one, whole.
// Not flushed to the disk: the file is rewritten every tick, and flushing it
// each time would wear out a small computer's memory card for nothing (after
// a power cut the next tick writes it anew). Returns why it failed, or nothing.
std::string ReplaceMetricsFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp" + std::to_string(CurrentProcessId());
  errno = 0;
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
    // The stream keeps no reason; the system's last error number is it.
    const int reason = errno;
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return FormatMessage("Cannot create file \"%s\". %s", {path, SystemErrorText(reason)});
  }
  out.close();
  std::error_code error;
  fs::rename(temporary, path, error);
  if (!error) return {};
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return FormatMessage("Cannot write file \"%s\". %s", {path, error.message()});
}

// What the recorder last told of the instrument.
enum class TLinkState { Unknown, Answering, Silent, Gone };

class TRecorder {
 public:
  explicit TRecorder(const TRecordOptions& options) : o_(options), link_(port_) {
    PrepareLinkPort(port_);
    prom_.port = o_.port;
  }

  int Run() {
    InstallStopSignals();
    if (!o_.out.empty()) {
      out_ = TOutFile::Open(o_.out);
      if (!out_) return kExitFailed;
    }
    if (!WriteProm(true)) return kExitFailed;
    if (!link_.Open(o_.port)) {
      const std::int32_t code = port_.LastErrorCode;
      if (LinkErrorKind(code) == TLinkErrorKind::Denied) {
        SayOnStderr(o_.port + ": " + TSerialPort::GetErrorDesc(code) +
                    " (on Linux the user must be in the group \"dialout\")");
        return kExitFailed;
      }
      link_.WaitForDevice();
      ChangeState(TLinkState::Gone, code);
    }
    if (!WriteStdout(FormatHeader(o_.format))) return StdoutFailed();
    return Loop();
  }

 private:
  using Clock = std::chrono::steady_clock;

  int Loop() {
    const Clock::time_point start = Clock::now();
    const auto period = std::chrono::seconds(o_.periodSeconds);
    const Clock::time_point deadline = o_.durationSeconds > 0
                                           ? start + std::chrono::seconds(o_.durationSeconds)
                                           : Clock::time_point::max();
    for (;;) {
      if (!TakeTick()) return kExitFailed;
      if (o_.count > 0 && std::int64_t(prom_.readings) >= o_.count) return kExitDone;
      // The next tick on the grid from the start, skipping those missed.
      const Clock::time_point now = Clock::now();
      const auto ticksDone = (now - start) / period + 1;
      Clock::time_point next = start + ticksDone * period;
      next = std::min(next, deadline);
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
      // Rounded up: waking a little early would take the tick twice.
      if (WaitForStop(static_cast<int>(std::max<std::int64_t>(wait.count() + 1, 0))))
        return kExitDone;
      if (Clock::now() >= deadline) return kExitDone;
    }
  }

  // False when an output failed: the recording cannot keep its promises.
  bool TakeTick() {
    const TTickResult tick = link_.Tick(o_.command);
    if (tick.otherAdapter)
      SayOnStderr(o_.port + ": another adapter is now at " + link_.PortName() +
                  "; not reading it, still looking for this one");
    switch (tick.outcome) {
      case TTickOutcome::Reading: return Record(tick.reading);
      case TTickOutcome::TooLong:
        ChangeState(TLinkState::Answering, 0);
        SayOnStderr(o_.port + ": reply rejected: longer than " + std::to_string(kMaxReplyLength) +
                    " bytes");
        break;
      case TTickOutcome::Gone: ChangeState(TLinkState::Gone, tick.error); break;
      case TTickOutcome::NoReading:
        ChangeState(link_.Away() ? TLinkState::Gone : TLinkState::Silent, tick.error);
        break;
    }
    ++prom_.failedTicks;
    return WriteProm(false);
  }

  bool Record(const std::string& reply) {
    ChangeState(TLinkState::Answering, 0);
    TReading reading;
    try {
      reading.value = RoundToSingle(ParseNumber(CliTextSettings(), reply));
    } catch (const Exception& error) {
      SayOnStderr(o_.port + ": reply rejected: " + error.Message());
      ++prom_.failedTicks;
      return WriteProm(false);
    }
    const ZonedTime now = ClockNowZoned();
    reading.local = now.local;
    reading.utcOffsetSeconds = now.utcOffsetSeconds;
    reading.reply = reply;
    if (out_ && !out_->Append(FormatReading(TOutputFormat::Log, reading, o_.port))) return false;
    if (!WriteStdout(FormatReading(o_.format, reading, o_.port))) {
      StdoutFailed();
      return false;
    }
    ++prom_.readings;
    prom_.hasReading = true;
    prom_.lastValue = reading.value;
    prom_.lastTimeMs = UnixNanoseconds(reading.local, reading.utcOffsetSeconds) / 1000000;
    return WriteProm(false);
  }

  // Tells a change of the instrument's state; `code` says why it failed.
  void ChangeState(TLinkState state, std::int32_t code) {
    if (state == state_) return;
    const TLinkState was = std::exchange(state_, state);
    const std::string reason = code != 0 ? " (" + TSerialPort::GetErrorDesc(code) + ")" : "";
    switch (state) {
      case TLinkState::Gone:
        SayOnStderr(o_.port + ": gone" + reason + "; looking for it every " +
                    std::to_string(o_.periodSeconds) + " s");
        break;
      case TLinkState::Silent: SayOnStderr(o_.port + ": no answer" + reason); break;
      case TLinkState::Answering:
        if (was == TLinkState::Gone) SayOnStderr(o_.port + ": back");
        if (was == TLinkState::Silent) SayOnStderr(o_.port + ": answering again");
        break;
      case TLinkState::Unknown: break;
    }
  }

  // The metrics file after each tick. At the start a failure ends the
  // recording; later ones are told once, and the next ticks try again.
  bool WriteProm(bool first) {
    if (o_.prom.empty()) return true;
    const std::string failure = ReplaceMetricsFile(o_.prom, PromText(prom_));
    if (failure.empty()) {
      if (promFailing_) SayOnStderr(o_.prom + ": written again");
      promFailing_ = false;
      return true;
    }
    if (!promFailing_) SayOnStderr(failure);
    promFailing_ = true;
    return !first;
  }

  int StdoutFailed() {
    SayOnStderr("cannot write to standard output");
    return kExitFailed;
  }

  const TRecordOptions& o_;
  TSerialPort port_;
  TInstrumentLink link_;
  std::unique_ptr<TOutFile> out_;
  TPromState prom_;
  bool promFailing_ = false;
  TLinkState state_ = TLinkState::Unknown;
};

}  // namespace

int RunRecord(const TRecordOptions& options) {
  TRecorder recorder(options);
  return recorder.Run();
}

}  // namespace tempolog
