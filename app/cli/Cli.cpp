#include "app/cli/Cli.h"

#include <cstdio>

#include "app/cli/Console.h"
#include "serial/SerialPort.h"

namespace tempolog {

void SayOnStderr(const std::string& text) {
  std::string line = "tempolog-cli: ";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      line += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      line += escaped;
    } else {
      line += c;
    }
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

bool WriteStdout(const std::string& bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return false;
  return std::fflush(stdout) == 0;
}

int RunPorts() {
  std::string list;
  for (const std::string& name : SplitCommaText(ListSerialPorts())) {
    if (!name.empty()) list += name + "\n";
  }
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
  switch (parsed.command) {
    case TCliCommand::Ports: return RunPorts();
    case TCliCommand::Record: return RunRecord(parsed.record);
    case TCliCommand::Export: return RunExport(parsed.exportOptions);
    case TCliCommand::None: break;
  }
  return kExitBadArguments;
}

}  // namespace tempolog
