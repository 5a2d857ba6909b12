// The command line of tempolog-cli: sub-commands, their options, the usage
// texts. Reading the arguments touches nothing: a bad command line is found
// before any file or port is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/cli/CliFormats.h"

namespace tempolog {

enum class TCliCommand { None, Ports, Record, Export, Service };

struct TRecordOptions {
  std::string port;
  int periodSeconds = 1;
  std::string command;  // the request, without its CR
  std::string out;      // empty: none
  TOutputFormat format = TOutputFormat::Log;
  std::string prom;                  // empty: none
  std::int64_t count = 0;            // readings; 0: no limit
  std::int64_t durationSeconds = 0;  // 0: no limit
};

struct TExportOptions {
  std::string file;
  TOutputFormat format = TOutputFormat::Csv;
  std::string port;  // the influx tag; empty: none
};

// tempolog-cli service ACTION: the recorder as a Windows service, one per port.
enum class TServiceAction { None, Install, Remove, Run };

struct TServiceOptions {
  TServiceAction action = TServiceAction::None;
  TRecordOptions record;  // its port, period and command
};

struct TCliArguments {
  TCliCommand command = TCliCommand::None;
  bool help = false;     // --help: show the command's usage
  bool version = false;  // --version (as the only argument): show the program's version
  std::string error;     // not empty: the arguments are bad, and this says why
  TRecordOptions record;
  TExportOptions exportOptions;
  TServiceOptions service;
};

// Reads the arguments after the program's name. Options take their value as
// the next argument or after "=" (--period=5).
TCliArguments ParseCliArguments(const std::vector<std::string>& args);

// The name a port's service and files take: its last path component ("COM3"
// of "\\.\COM3").
std::string PortFileName(const std::string& port);

// The usage of a command; of the program for TCliCommand::None.
std::string CliUsage(TCliCommand command);

}  // namespace tempolog
