#include "app/cli/Cli.h"

#include <cstdio>
#include <utility>

#include "app/cli/Console.h"
#include "serial/SerialPort.h"

namespace tempolog {

void SayOnStderr(const std::string& text) {
  const std::string line = "tempolog-cli: " + EscapeForMessage(text, false) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

bool WriteStdout(const std::string& bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return false;
  return std::fflush(stdout) == 0;
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
    case TCliCommand::None: break;
  }
  return kExitBadArguments;
}

}  // namespace tempolog
