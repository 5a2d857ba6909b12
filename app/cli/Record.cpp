// tempolog-cli record: the window's recording ticks without the window.
//
// Every period (counted from the start, so a slow tick delays none after it;
// ticks missed meanwhile are skipped, never piled up) the link takes one tick.
// A reading goes, in this order, to the --out file (one write, then flushed
// to the disk; held while the file cannot take it), to standard output (flushed) and to the --prom
// file (a temporary file renamed over the old one). What happens to the instrument is told on
// standard error once per change: gone, back, no answer, answering again; rejected replies when
// they start (the first one quoted) and when they stop (with how many ticks were rejected).
//
// Standard output never holds up a tick: what its reader does not take at
// once waits in a bounded queue (TStdoutQueue), written as the reader takes
// it while the recorder waits between ticks. The signals are taken in those
// waits too (Console.h says which ones, and what each asks): a stop ends the
// recording once the tick under way is over, SIGHUP reopens the --out file by
// its name, so that logrotate can move it away.
//
// At the start, a port name that is no terminal device, or a port that
// another program holds, ends the run before any file is touched; a name
// that no port has (yet) is told with the ports there are, and waited for,
// so that a service started before its adapter records once it comes. When
// the recording ends, the --prom file it kept is removed: a collector then
// exports no reading that no one takes any more.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "app/cli/Cli.h"
#include "app/cli/Console.h"
#include "app/cli/OutFile.h"
#include "app/cli/PortPlace.h"
#include "app/link/InstrumentLink.h"
#include "app/link/LogFormat.h"
#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"

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
  try {
    ReplaceFileUnflushed(path, text);
  } catch (const Exception& failure) {
    return failure.Message();
  }
  return {};
}

// What the recorder last told of the instrument. Missing: a port name that
// named no port at the start, waited for.
enum class TLinkState { Unknown, Answering, Silent, Gone, Missing };

// "1 rejected tick", "2 rejected ticks".
std::string RejectedTicks(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " rejected tick" : " rejected ticks");
}

std::string Readings(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " reading" : " readings");
}

// How many bytes of lines may wait for standard output while its reader does
// not take them: TEMPOLOG_STDOUT_QUEUE, else 1 MiB (with the 64 KiB a pipe
// holds, hours of readings at one a second).
std::size_t StdoutQueueLimit() {
  const char* text = std::getenv("TEMPOLOG_STDOUT_QUEUE");
  if (text == nullptr || *text < '0' || *text > '9') return std::size_t(1) << 20;
  return static_cast<std::size_t>(std::strtoull(text, nullptr, 10));
}

// How long the lines still waiting for standard output at the end may take.
constexpr std::chrono::milliseconds kStdoutLastChance{500};

class TRecorder {
 public:
  explicit TRecorder(const TRecordOptions& options) : o_(options), link_(port_) {
    PrepareLinkPort(port_);
    prom_.port = o_.port;
  }

  int Run() {
    InstallSignals();
    const int status = StartAndLoop();
    FinishStdout();
    if (rejectedTicks_ > 0)
      SayOnStderr(o_.port + ": replies still rejected at the end, after " +
                  RejectedTicks(rejectedTicks_));
    if (!unfiled_.empty())
      SayOnStderr(o_.out + ": " + Readings(unfiled_.size()) +
                  " held for it could not be written and are lost");
    RemoveProm();
    return status;
  }

 private:
  using Clock = std::chrono::steady_clock;

  // Milliseconds from now to `until`, rounded up: waking a little early
  // would take the tick twice.
  static int MillisecondsTo(Clock::time_point until) {
    const auto left = until - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  }

  int StartAndLoop() {
    if (!OpenPort()) return kExitFailed;
    if (!o_.out.empty()) {
      out_ = TOutFile::Open(o_.out);
      if (!out_) return kExitFailed;
    }
    if (!WriteProm(true)) return kExitFailed;
    if (!stdout_.Add(FormatHeader(o_.format))) return StdoutFailed();
    return Loop();
  }

  // Opens the port at the start. False, with a message, when the recording
  // cannot start on it; true when it is open or waited for.
  bool OpenPort() {
    if (link_.Open(o_.port)) return true;
    const std::int32_t code = port_.LastErrorCode;
    const std::string path = SerialDevicePath(o_.port);
    switch (PortPlace(path, code)) {
      case TPortPlace::NotATerminal:
        SayOnStderr(o_.port + (path != o_.port ? " (" + path + ")" : std::string()) +
                    ": not a terminal device, so no serial port");
        return false;
      case TPortPlace::Missing: {
        std::string ports;
        for (const std::string& name : SerialPortNames())
          ports += (ports.empty() ? "ports now: " : ", ") + name;
        SayOnStderr(o_.port + ": no such port (" + (ports.empty() ? "no serial port now" : ports) +
                    "); waiting for it, looking every " + std::to_string(o_.periodSeconds) + " s");
        link_.WaitForDevice();
        state_ = TLinkState::Missing;
        return true;
      }
      case TPortPlace::TerminalDevice: break;
    }
    switch (LinkErrorKind(code)) {
      case TLinkErrorKind::Denied:
        SayOnStderr(o_.port + ": " + TSerialPort::GetErrorDesc(code) +
                    " (on Linux the user must be in the group \"dialout\")");
        return false;
      case TLinkErrorKind::Busy:
        SayOnStderr(o_.port + ": held by another program (" + TSerialPort::GetErrorDesc(code) +
                    ")");
        return false;
      default:
        link_.WaitForDevice();
        ChangeState(TLinkState::Gone, code);
        return true;
    }
  }

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
      const auto ticksDone = (Clock::now() - start) / period + 1;
      const Clock::time_point next = std::min(start + ticksDone * period, deadline);
      if (const std::optional<int> end = WaitUntil(next)) return *end;
      if (Clock::now() >= deadline) return kExitDone;
    }
  }

  // Takes every signal that came and waits until `until`, writing what waits
  // for standard output as it takes it. The exit status when a signal or
  // standard output ends the recording.
  std::optional<int> WaitUntil(Clock::time_point until) {
    bool forStdout = true;
    for (;;) {
      const std::size_t waiting = stdout_.Waiting();
      const TSignalTaken taken = WaitForSignal(MillisecondsTo(until), forStdout && waiting > 0);
      if (!stdout_.Flush()) return StdoutFailed();
      if (taken.action != TSignalAction::None) {
        if (const std::optional<int> end = Act(taken)) return end;
        continue;
      }
      if (Clock::now() >= until) return std::nullopt;
      // Woken as writable, standard output took nothing: it is tried again
      // at the next tick, not in a busy loop.
      if (stdout_.Waiting() == waiting) forStdout = false;
    }
  }

  // What a signal asks; the exit status when it ends the recording.
  std::optional<int> Act(const TSignalTaken& taken) {
    switch (taken.action) {
      case TSignalAction::None: break;
      case TSignalAction::Stop:
        if (!taken.name.empty()) SayOnStderr("ended by " + taken.name);
        return kExitDone;
      case TSignalAction::StopFailed: SayOnStderr("ended by " + taken.name); return kExitFailed;
      case TSignalAction::Reopen: Reopen(); break;
      case TSignalAction::Ignore: SayOnStderr(taken.name + " ignored"); break;
    }
    return std::nullopt;
  }

  // SIGHUP: the --out file is closed and opened again by its name, so that
  // the next line goes to the file now at that name (logrotate's new one).
  void Reopen() {
    if (o_.out.empty()) {
      SayOnStderr("SIGHUP ignored: no --out file to reopen");
      return;
    }
    // It writes what it holds first, or tells it lost.
    out_.reset();
    reopenTold_.clear();
    TryReopen();
  }

  // Opens the --out file after a SIGHUP. While that fails, the readings are
  // held for it and every tick tries again; the same failure is told once.
  void TryReopen() {
    const std::string told = HoldStderr([&] { out_ = TOutFile::Open(o_.out); });
    if (!out_) {
      if (told != reopenTold_) {
        WriteStderr(told);
        SayOnStderr(o_.out +
                    ": not reopened; its readings are held, and it is tried again at "
                    "every tick");
      }
      reopenTold_ = told;
      return;
    }
    WriteStderr(told);
    std::string text = o_.out + ": reopened";
    if (!unfiled_.empty())
      text += ", with the " + Readings(unfiled_.size() + unfiledDropped_) + " held meanwhile";
    if (unfiledDropped_ > 0)
      text += " but the oldest " + std::to_string(unfiledDropped_) + " dropped";
    SayOnStderr(text);
    for (const std::string& line : unfiled_) out_->Append(line);
    unfiled_.clear();
    unfiledDropped_ = 0;
  }

  // The lines still waiting for standard output get a short last chance.
  void FinishStdout() {
    const Clock::time_point end = Clock::now() + kStdoutLastChance;
    while (stdout_.Waiting() > 0 && Clock::now() < end) {
      const TSignalAction action = WaitForSignal(MillisecondsTo(end), true).action;
      if (!stdout_.Flush() || action == TSignalAction::Stop || action == TSignalAction::StopFailed)
        break;
    }
    stdout_.Abandon();
  }

  // False when an output failed: the recording cannot keep its promises.
  bool TakeTick() {
    // Readings held while the --out file could not be written or reopened go
    // first, and so do the lines waiting for standard output.
    if (!o_.out.empty() && !out_) TryReopen();
    if (out_) out_->WriteHeld();
    if (!stdout_.Flush()) {
      StdoutFailed();
      return false;
    }
    const TTickResult tick = link_.Tick(o_.command);
    if (tick.otherAdapter)
      SayOnStderr(o_.port + ": another adapter is now at " + link_.PortName() +
                  "; not reading it, still looking for this one");
    switch (tick.outcome) {
      case TTickOutcome::Reading: return Record(tick.reading);
      case TTickOutcome::TooLong:
        ChangeState(TLinkState::Answering, 0);
        // The over-long line when its end came with it, else what came of it,
        // which the port keeps until the next exchange discards it.
        return Rejected("longer than " + std::to_string(kMaxReplyLength) + " bytes: '" +
                        QuoteForMessage(tick.lastReply.empty() ? port_.LineBuffer : tick.lastReply,
                                        kMessageTextBytes) +
                        "'");
      case TTickOutcome::Gone:
        RejectionsOver();
        ChangeState(TLinkState::Gone, tick.error);
        break;
      case TTickOutcome::NoReading:
        RejectionsOver();
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
      reading.value = ReadingValue(CliTextSettings(), reply);
    } catch (const EConvertError&) {
      // Its message holds the reply as it came.
      return Rejected("'" + QuoteForMessage(reply, kMessageTextBytes) +
                      "' is not a valid floating point value");
    } catch (const Exception& error) {
      return Rejected("'" + QuoteForMessage(reply, kMessageTextBytes) + "': " + error.Message());
    }
    RejectionsOver();
    const ZonedTime now = ClockNowZoned();
    reading.local = now.local;
    reading.utcOffsetSeconds = now.utcOffsetSeconds;
    reading.reply = reply;
    // A line the file cannot take now is held, and the recording goes on.
    if (!o_.out.empty()) {
      std::string line = FormatReading(TOutputFormat::Log, reading, o_.port);
      if (out_) {
        out_->Append(line);
      } else {
        // For the file a SIGHUP could not reopen yet.
        unfiled_.push_back(std::move(line));
        if (unfiled_.size() > kMaxHeldReadings) {
          unfiled_.pop_front();
          ++unfiledDropped_;
        }
      }
    }
    if (!stdout_.Add(FormatReading(o_.format, reading, o_.port))) {
      StdoutFailed();
      return false;
    }
    ++prom_.readings;
    prom_.hasReading = true;
    prom_.lastValue = reading.value;
    prom_.lastTimeMs = UnixNanoseconds(reading.local, reading.utcOffsetSeconds) / 1000000;
    return WriteProm(false);
  }

  // A tick whose reply was rejected for `why`. The first of a run is told;
  // the others are counted until a tick ends the run.
  bool Rejected(const std::string& why) {
    if (rejectedTicks_++ == 0)
      SayOnStderr(o_.port + ": reply rejected: " + why +
                  "; told again when replies are no longer rejected");
    ++prom_.failedTicks;
    return WriteProm(false);
  }

  // A tick brought a reading, or no reply to reject: a run of rejected
  // replies is over.
  void RejectionsOver() {
    if (rejectedTicks_ == 0) return;
    SayOnStderr(o_.port + ": replies no longer rejected, after " + RejectedTicks(rejectedTicks_));
    rejectedTicks_ = 0;
  }

  // Tells a change of the instrument's state; `code` says why it failed.
  void ChangeState(TLinkState state, std::int32_t code) {
    if (state == state_) return;
    // A port missing at the start is already told as waited for.
    if (state == TLinkState::Gone && state_ == TLinkState::Missing) return;
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
        if (was == TLinkState::Missing) SayOnStderr(o_.port + ": found");
        break;
      case TLinkState::Missing:
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
      promWritten_ = true;
      return true;
    }
    if (!promFailing_) SayOnStderr(failure);
    promFailing_ = true;
    return !first;
  }

  // Removes the metrics file this recording wrote.
  void RemoveProm() {
    if (!promWritten_) return;
    std::error_code error;
    if (!fs::remove(o_.prom, error) && error)
      SayOnStderr(FormatMessage("Cannot delete file \"%s\". %s", {o_.prom, error.message()}));
  }

  int StdoutFailed() {
    SayOnStderr("cannot write to standard output");
    return kExitFailed;
  }

  const TRecordOptions& o_;
  TSerialPort port_;
  TInstrumentLink link_;
  std::unique_ptr<TOutFile> out_;
  std::deque<std::string> unfiled_;  // readings for an --out file not reopened yet
  std::uint64_t unfiledDropped_ = 0;
  std::string reopenTold_;  // how the last reopening failed
  TStdoutQueue stdout_{StdoutQueueLimit(), WriteStdoutNow, SayOnStderr};
  TPromState prom_;
  bool promFailing_ = false;
  bool promWritten_ = false;  // by this recording, at least once
  TLinkState state_ = TLinkState::Unknown;
  std::uint64_t rejectedTicks_ = 0;  // in a row, up to the last tick
};

}  // namespace

int RunRecord(const TRecordOptions& options) {
  TRecorder recorder(options);
  return recorder.Run();
}

}  // namespace tempolog
