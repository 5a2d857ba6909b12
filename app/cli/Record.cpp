// tempolog-cli record: the window's recording ticks without the window.
//
// Every period (counted from the start, so a slow tick delays none after it;
// ticks missed meanwhile are skipped, never piled up) the link takes one tick.
// A reading goes, in this order, to the --out file (one write, then flushed
// to the disk; held while the file cannot take it), to standard output (flushed) and to the --prom
// file (a temporary file renamed over the old one). What happens to the instrument is told on
// standard error once per change: gone, back, no answer, answering again; a rejected reply each
// time.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>

#include "app/cli/Cli.h"
#include "app/cli/Console.h"
#include "app/cli/OutFile.h"
#include "app/link/InstrumentLink.h"
#include "app/link/LogFormat.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/LockedFile.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

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
    // Readings held while the --out file could not be written go first.
    if (out_) out_->WriteHeld();
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
    // A line the file cannot take now is held, and the recording goes on.
    if (out_) out_->Append(FormatReading(TOutputFormat::Log, reading, o_.port));
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
