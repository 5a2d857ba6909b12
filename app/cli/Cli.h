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

#include <functional>
#include <string>
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

}  // namespace tempolog
