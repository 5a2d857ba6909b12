#include "app/cli/CliArguments.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "app/link/InstrumentLink.h"

namespace tempolog {
namespace {

constexpr std::int64_t kLongestPeriod = 86400;  // one reading a day
constexpr std::int64_t kLargestCount = 1'000'000'000'000;

// A whole number from `low` to `high`, digits only.
std::optional<std::int64_t> WholeNumber(const std::string& text, std::int64_t low,
                                        std::int64_t high) {
  if (text.empty() || text.size() > 13) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<TOutputFormat> FormatNamed(const std::string& name, bool logAllowed) {
  if (name == "csv") return TOutputFormat::Csv;
  if (name == "influx") return TOutputFormat::Influx;
  if (name == "log" && logAllowed) return TOutputFormat::Log;
  return std::nullopt;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The port names the tag of the influx lines, whose format has no way to
// carry a control byte (a line feed would split the point in two lines).
std::string InfluxPortProblem(TOutputFormat format, const std::string& port) {
  if (format != TOutputFormat::Influx) return {};
  for (const char c : port) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return "--port " + Quoted(port) +
             " holds a control byte, which a tag of the InfluxDB line protocol cannot carry";
  }
  return {};
}

// One option of a command: reads its value into the options or says why not.
using OptionReader = std::function<std::string(const std::string& value)>;

std::string NumberReader(const std::string& option, const std::string& value, std::int64_t high,
                         std::int64_t& target) {
  const std::optional<std::int64_t> number = WholeNumber(value, 1, high);
  if (!number)
    return option + " " + Quoted(value) + " is not a whole number from 1 to " +
           std::to_string(high);
  target = *number;
  return {};
}

// Walks the arguments of one command: its options (each once) and its
// positional arguments (at most `positionals`).
std::string ReadCommand(const std::vector<std::string>& args, bool& help,
                        const std::map<std::string, OptionReader>& options,
                        std::vector<std::string>& positionals, std::size_t mostPositionals) {
  std::set<std::string> seen;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      if (positionals.size() == mostPositionals) return "unexpected argument " + Quoted(arg);
      positionals.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const auto option = options.find(name);
    if (option == options.end()) return "unknown option " + Quoted(name);
    if (!seen.insert(name).second) return "option " + name + " given twice";
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return "option " + name + " needs a value";
    }
    std::string error = option->second(value);
    if (!error.empty()) return error;
  }
  return {};
}

// An option whose value is a text; `missing` says why an empty one is refused
// (none: an empty text is taken).
OptionReader TextOption(std::string& target, const char* missing = nullptr) {
  return [&target, missing](const std::string& v) -> std::string {
    if (v.empty() && missing != nullptr) return missing;
    target = v;
    return {};
  };
}

// --format, taking the names of `choices` ("log, csv, influx" or "csv, influx").
OptionReader FormatOption(TOutputFormat& target, const char* choices) {
  const bool logAllowed = std::string_view(choices).substr(0, 3) == "log";
  return [&target, choices, logAllowed](const std::string& v) -> std::string {
    const std::optional<TOutputFormat> format = FormatNamed(v, logAllowed);
    if (!format) return "--format " + Quoted(v) + " is not one of " + choices;
    target = *format;
    return {};
  };
}

OptionReader NumberOption(const char* name, std::int64_t high, std::int64_t& target) {
  return
      [name, high, &target](const std::string& v) { return NumberReader(name, v, high, target); };
}

std::string ReadRecord(const std::vector<std::string>& args, TCliArguments& parsed) {
  TRecordOptions& o = parsed.record;
  o.command = kDefaultCommand;
  std::int64_t period = o.periodSeconds;
  const std::map<std::string, OptionReader> options = {
      {"--port", TextOption(o.port, "--port needs a port name")},
      {"--period", NumberOption("--period", kLongestPeriod, period)},
      {"--command", TextOption(o.command)},
      {"--out", TextOption(o.out, "--out needs a file name")},
      {"--format", FormatOption(o.format, "log, csv, influx")},
      {"--prom", TextOption(o.prom, "--prom needs a file name")},
      {"--count", NumberOption("--count", kLargestCount, o.count)},
      {"--duration", NumberOption("--duration", kLargestCount, o.durationSeconds)},
  };
  std::vector<std::string> positionals;
  std::string error = ReadCommand(args, parsed.help, options, positionals, 0);
  o.periodSeconds = static_cast<int>(period);
  if (!error.empty() || parsed.help) return error;
  if (o.port.empty()) return "--port is missing";
  if (!o.out.empty() && o.out == o.prom) return "--out and --prom name the same file";
  return InfluxPortProblem(o.format, o.port);
}

std::string ReadExport(const std::vector<std::string>& args, TCliArguments& parsed) {
  TExportOptions& o = parsed.exportOptions;
  const std::map<std::string, OptionReader> options = {
      {"--format", FormatOption(o.format, "csv, influx")},
      {"--port", TextOption(o.port, "--port needs a port name")},
  };
  std::vector<std::string> positionals;
  std::string error = ReadCommand(args, parsed.help, options, positionals, 1);
  if (!error.empty() || parsed.help) return error;
  if (positionals.empty()) return "the log file to convert is missing";
  o.file = positionals.front();
  return InfluxPortProblem(o.format, o.port);
}

// tempolog-cli service install|remove|run: the action, then the port (and
// for a recording, its period and command). The port names the service and
// its files, so it must make a Windows file name.
std::string ReadService(const std::vector<std::string>& args, TCliArguments& parsed) {
  TServiceOptions& o = parsed.service;
  TRecordOptions& r = o.record;
  r.command = kDefaultCommand;
  const std::string action = args.size() > 1 ? args[1] : "";
  if (action == "install") o.action = TServiceAction::Install;
  if (action == "remove") o.action = TServiceAction::Remove;
  if (action == "run") o.action = TServiceAction::Run;
  std::int64_t period = r.periodSeconds;
  std::map<std::string, OptionReader> options = {
      {"--port", TextOption(r.port, "--port needs a port name")}};
  if (o.action != TServiceAction::Remove) {
    options.emplace("--period", NumberOption("--period", kLongestPeriod, period));
    options.emplace("--command", TextOption(r.command));
  }
  std::vector<std::string> positionals;
  std::string error = ReadCommand(args, parsed.help, options, positionals, 1);
  r.periodSeconds = static_cast<int>(period);
  if (!error.empty() || parsed.help) return error;
  if (o.action == TServiceAction::None)
    return action.empty() || action[0] == '-' ? "the action (install, remove or run) is missing"
                                              : "unknown action " + Quoted(action);
  if (r.port.empty()) return "--port is missing";
  const std::string name = PortFileName(r.port);
  const auto unfit = [](char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
  };
  if (name.empty() || name == "." || name == ".." || std::any_of(name.begin(), name.end(), unfit))
    return "--port " + Quoted(r.port) + " makes no file name for the service's log";
  return {};
}

}  // namespace

std::string PortFileName(const std::string& port) {
  const std::size_t slash = port.find_last_of("\\/");
  return slash == std::string::npos ? port : port.substr(slash + 1);
}

TCliArguments ParseCliArguments(const std::vector<std::string>& args) {
  TCliArguments parsed;
  if (args.empty()) {
    parsed.error = "a command is missing";
    return parsed;
  }
  const std::string& name = args.front();
  if (name == "--help" || name == "-h") {
    parsed.help = true;
  } else if (name == "--version") {
    parsed.version = true;
    if (args.size() > 1) parsed.error = "unexpected argument " + Quoted(args[1]);
  } else if (name == "ports") {
    parsed.command = TCliCommand::Ports;
    std::vector<std::string> none;
    parsed.error = ReadCommand(args, parsed.help, {}, none, 0);
  } else if (name == "record") {
    parsed.command = TCliCommand::Record;
    parsed.error = ReadRecord(args, parsed);
  } else if (name == "export") {
    parsed.command = TCliCommand::Export;
    parsed.error = ReadExport(args, parsed);
  } else if (name == "service") {
    parsed.command = TCliCommand::Service;
    parsed.error = ReadService(args, parsed);
  } else {
    parsed.error = "unknown command " + Quoted(name);
  }
  return parsed;
}

std::string CliUsage(TCliCommand command) {
  switch (command) {
    case TCliCommand::Ports:
      return "Usage: tempolog-cli ports\n"
             "Lists the machine's serial ports, one name a line, as the window's port list "
             "shows them.\n";
    case TCliCommand::Record:
      return "Usage: tempolog-cli record --port NAME [--period S] [--command TEXT] [--out FILE]\n"
             "                          [--format log|csv|influx] [--prom FILE] [--count N]\n"
             "                          [--duration S]\n"
             "Queries the instrument on the port every period as the window's recording does\n"
             "(two exchanges; the second reply is the reading) and writes every reading.\n"
             "  --port NAME      the serial port, as \"tempolog-cli ports\" lists it, or its\n"
             "                   path, such as /dev/serial/by-id/... (required; a name no port\n"
             "                   has is waited for)\n"
             "  --period S       seconds from one reading to the next, 1 to 86400 (default 1)\n"
             "  --command TEXT   the request, sent with a CR after it (default 01X?)\n"
             "  --out FILE       append every reading to FILE in the log format the window\n"
             "                   loads (created when missing; on the disk within a second)\n"
             "  --format F       standard output: log (default), csv or influx\n"
             "  --prom FILE      keep FILE up to date in the Prometheus text format (removed\n"
             "                   when the recording ends)\n"
             "  --count N        stop after N readings\n"
             "  --duration S     stop after S seconds\n"
             "SIGINT or SIGTERM ends the recording once the exchange under way is over.\n"
             "Exit status: 0 done, 1 a failure at run time, 2 bad arguments.\n";
    case TCliCommand::Export:
      return "Usage: tempolog-cli export FILE [--format csv|influx] [--port NAME]\n"
             "Converts a saved log, a backup or a recovered journal to standard output.\n"
             "  --format F       csv (default) or influx\n"
             "  --port NAME      the port tag of the influx lines (default: no tag)\n"
             "Local times in the log are read with the machine's time zone rules.\n"
             "Exit status: 0 done, 1 a line that does not read or a file that cannot be read,\n"
             "2 bad arguments.\n";
    case TCliCommand::Service:
      return "Usage: tempolog-cli service install --port NAME [--period S] [--command TEXT]\n"
             "       tempolog-cli service remove --port NAME\n"
             "       tempolog-cli service run --port NAME [--period S] [--command TEXT]\n"
             "Windows only: records a port from boot on as the Windows service\n"
             "tempolog-cli-NAME, one per port (on Linux the systemd unit tempolog-cli@NAME).\n"
             "The log is %ProgramData%\\tempolog\\tempolog-NAME.log, the Prometheus file\n"
             "tempolog-NAME.prom beside it (removed when the service stops); messages go to\n"
             "the Application event log, source tempolog, and to tempolog-NAME.messages.log.\n"
             "  install          register the service, started at boot (needs an administrator;\n"
             "                   \"net start tempolog-cli-NAME\" starts it now)\n"
             "  remove           stop the service and remove it; its files stay\n"
             "  run              what the service control manager starts\n"
             "  --port NAME      the serial port, such as COM3 (required)\n"
             "  --period S       seconds from one reading to the next, 1 to 86400 (default 1)\n"
             "  --command TEXT   the request, sent with a CR after it (default 01X?)\n"
             "Exit status: 0 done, 1 a failure at run time, 2 bad arguments or a system\n"
             "other than Windows.\n";
    case TCliCommand::None: break;
  }
  return "Usage: tempolog-cli COMMAND [OPTIONS]\n"
         "Records a thermometer on a serial port without a window, and converts its logs.\n"
         "Commands:\n"
         "  ports     list the serial ports\n"
         "  record    record the instrument's readings\n"
         "  export    convert a saved log to CSV or InfluxDB line protocol\n"
         "  service   record at boot as a Windows service\n"
         "\"tempolog-cli COMMAND --help\" shows the options of a command,\n"
         "\"tempolog-cli --version\" the program's version.\n"
         "Exit status: 0 done, 1 a failure at run time, 2 bad arguments.\n";
}

}  // namespace tempolog
