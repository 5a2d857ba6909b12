// tempolog-cli: records the thermometer without a window and converts logs.
// A thin front end over the instrument link: the command line, the output
// formats, the stop signals.
//
//   RunCli     the whole program: reads the arguments and runs a command
//              (or tells the program's version)
//   RunPorts   tempolog-cli ports
//   RunRecord  tempolog-cli record
//   RunExport  tempolog-cli export
//
// Output goes to standard output, messages (each "tempolog-cli: " and one
// line) to standard error. Exit status: 0 done, 1 a failure at run time, 2
// bad arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/CliArguments.h"

namespace tempolog {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;

// The arguments after the program's name.
int RunCli(const std::vector<std::string>& args);

int RunPorts();
// The machine's serial ports as RunPorts lists them.
std::vector<std::string> SerialPortNames();
int RunRecord(const TRecordOptions& options);
int RunExport(const TExportOptions& options);

// Where converted lines go, in pieces; false when they could not be taken.
using TOutputSink = std::function<bool(const std::string& bytes)>;

// The conversion of RunExport, its output given to `sink` (RunExport's is
// standard output); messages about lines that do not read go to standard error.
int ExportLog(const TExportOptions& options, const TOutputSink& sink);

// One message line on standard error: "tempolog-cli: " and `text`, control
// bytes shown as EscapeForMessage shows them.
void SayOnStderr(const std::string& text);

// Writes `bytes` to standard output and flushes them; false when that fails.
bool WriteStdout(const std::string& bytes);

// Runs `work` with the lines SayOnStderr would write kept and returned
// instead, as they would have been written (to tell a failure that repeats at
// every tick once); WriteStderr writes them.
std::string HoldStderr(const std::function<void()>& work);
void WriteStderr(const std::string& lines);

// Standard output of a recording, which a reader that stops reading must not
// hold up. A line is written as far as standard output takes it at once; the
// rest of it, and the lines after it, wait (up to `limit` bytes, but a line
// begun is always finished before anything else is written) and Flush writes
// them. A line that finds no room is dropped whole. Dropping is told when it
// starts, and when standard output has taken everything waiting again (with
// how many lines were dropped).
class TStdoutQueue {
 public:
  // Writes what standard output takes of the bytes at once: how many it
  // took, or -1 when it failed.
  using TWrite = std::function<std::ptrdiff_t(std::string_view)>;
  using TSay = std::function<void(const std::string&)>;

  TStdoutQueue(std::size_t limit, TWrite write, TSay say);

  // Writes, queues or drops `line`; false when standard output failed (then
  // and from then on).
  bool Add(std::string_view line);
  // Writes what waits as far as standard output takes it; false when it failed.
  bool Flush();
  // Bytes waiting to be written.
  std::size_t Waiting() const { return waiting_ - front_; }
  // Gives up what still waits (at the end), telling it as lost.
  void Abandon();

 private:
  void Taken();

  std::size_t limit_;
  TWrite write_;
  TSay say_;
  std::deque<std::string> lines_;  // waiting, the first perhaps begun
  std::size_t front_ = 0;          // bytes of the first one written
  std::size_t waiting_ = 0;        // bytes of the lines waiting, whole
  std::uint64_t dropped_ = 0;      // since dropping started
  bool failed_ = false;
};

}  // namespace tempolog
