#include "app/cli/Cli.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "app/cli/Console.h"
#include "app/cli/Service.h"
#include "serial/SerialPort.h"

namespace tempolog {

namespace {

// Where SayOnStderr's lines go while HoldStderr runs its work.
std::string* heldStderr = nullptr;

std::string Lines(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

}  // namespace

void SayOnStderr(const std::string& text) {
  const std::string line = "tempolog-cli: " + EscapeForMessage(text, false) + "\n";
  if (heldStderr != nullptr) {
    *heldStderr += line;
    return;
  }
  WriteStderr(line);
}

void WriteStderr(const std::string& lines) {
  if (ServiceTakesMessages(lines)) return;
  std::fwrite(lines.data(), 1, lines.size(), stderr);
  std::fflush(stderr);
}

std::string HoldStderr(const std::function<void()>& work) {
  std::string lines;
  std::string* const outer = std::exchange(heldStderr, &lines);
  struct Restore {
    std::string* outer;
    ~Restore() { heldStderr = outer; }
  } restore{outer};
  work();
  return lines;
}

bool WriteStdout(const std::string& bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return false;
  return std::fflush(stdout) == 0;
}

TStdoutQueue::TStdoutQueue(std::size_t limit, TWrite write, TSay say)
    : limit_(limit), write_(std::move(write)), say_(std::move(say)) {}

bool TStdoutQueue::Add(std::string_view line) {
  if (!Flush()) return false;
  if (line.empty()) return true;
  std::size_t taken = 0;
  if (lines_.empty()) {
    const std::ptrdiff_t written = write_(line);
    if (written < 0) return !(failed_ = true);
    taken = static_cast<std::size_t>(written);
    if (taken == line.size()) {
      Taken();
      return true;
    }
  }
  if (taken == 0 && waiting_ + line.size() > limit_) {
    if (dropped_++ == 0)
      say_("standard output is not taking the lines; those that find no room in the " +
           std::to_string(limit_) + " bytes waiting for it are dropped");
    return true;
  }
  if (lines_.empty()) front_ = taken;
  lines_.emplace_back(line);
  waiting_ += line.size();
  return true;
}

bool TStdoutQueue::Flush() {
  if (failed_) return false;
  if (lines_.empty()) return true;
  while (!lines_.empty()) {
    const std::string& line = lines_.front();
    const std::ptrdiff_t written = write_(std::string_view(line).substr(front_));
    if (written < 0) return !(failed_ = true);
    front_ += static_cast<std::size_t>(written);
    if (front_ < line.size()) return true;
    waiting_ -= line.size();
    front_ = 0;
    lines_.pop_front();
  }
  Taken();
  return true;
}

// Standard output has taken every line that waited: a run of drops is over.
void TStdoutQueue::Taken() {
  if (dropped_ == 0) return;
  say_("standard output takes the lines again; " + Lines(dropped_) + " dropped");
  dropped_ = 0;
}

void TStdoutQueue::Abandon() {
  if (failed_ || (lines_.empty() && dropped_ == 0)) return;
  std::string text = "standard output did not take every line to the end: ";
  if (dropped_ > 0) text += Lines(dropped_) + " dropped" + (lines_.empty() ? "" : ", ");
  if (!lines_.empty()) text += Lines(lines_.size()) + " waiting for it lost";
  if (front_ > 0) text += " (the first of them written in part)";
  say_(text);
  lines_.clear();
  waiting_ = front_ = 0;
  dropped_ = 0;
}

std::vector<std::string> SerialPortNames() {
  std::vector<std::string> names;
  for (std::string& name : SplitCommaText(ListSerialPorts())) {
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

int RunPorts() {
  std::string list;
  for (const std::string& name : SerialPortNames()) list += name + "\n";
  if (WriteStdout(list)) return kExitDone;
  SayOnStderr("cannot write to standard output");
  return kExitFailed;
}

int RunCli(const std::vector<std::string>& args) {
  UseBinaryOutput();
  const TCliArguments parsed = ParseCliArguments(args);
  if (!parsed.error.empty()) {
    SayOnStderr(parsed.error);
    const std::string usage = CliUsage(parsed.command);
    std::fwrite(usage.data(), 1, usage.size(), stderr);
    return kExitBadArguments;
  }
  if (parsed.help) return WriteStdout(CliUsage(parsed.command)) ? kExitDone : kExitFailed;
  if (parsed.version)
    return WriteStdout(std::string("tempolog-cli ") + TEMPOLOG_VERSION + "\n") ? kExitDone
                                                                               : kExitFailed;
  switch (parsed.command) {
    case TCliCommand::Ports: return RunPorts();
    case TCliCommand::Record: return RunRecord(parsed.record);
    case TCliCommand::Export: return RunExport(parsed.exportOptions);
    case TCliCommand::Service: return RunService(parsed.service);
    case TCliCommand::None: break;
  }
  return kExitBadArguments;
}

}  // namespace tempolog
