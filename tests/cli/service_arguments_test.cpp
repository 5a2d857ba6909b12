// The command line of tempolog-cli service: what each action takes, and the
// ports that make no name for the service's files. One table: the arguments
// after "service", and what the command line makes of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/CliArguments.h"

namespace tempolog {
namespace {

// The refusal, or "ACTION PORT PERIOD COMMAND NAME" (NAME: the port's file name).
std::string Made(std::vector<std::string> args) {
  args.insert(args.begin(), "service");
  const TCliArguments parsed = ParseCliArguments(args);
  if (!parsed.error.empty()) return parsed.error;
  if (parsed.help) return "help";
  const char* actions[] = {"none", "install", "remove", "run"};
  const TRecordOptions& r = parsed.service.record;
  return std::string(actions[static_cast<int>(parsed.service.action)]) + " " + r.port + " " +
         std::to_string(r.periodSeconds) + " " + r.command + " " + PortFileName(r.port);
}

struct Row {
  std::vector<std::string> args;
  std::string expected;
};

TEST(CliServiceArguments, EveryActionAndRefusal) {
  const std::vector<Row> rows = {
      {{"install", "--port", "COM3"}, "install COM3 1 01X? COM3"},
      {{"install", "--port=COM3", "--period", "10", "--command", "02X?"},
       "install COM3 10 02X? COM3"},
      {{"run", "--port", "\\\\.\\COM12", "--period=60"}, "run \\\\.\\COM12 60 01X? COM12"},
      {{"remove", "--port", "COM3"}, "remove COM3 1 01X? COM3"},
      {{"install", "--help"}, "help"},
      {{"--help"}, "help"},
      {{}, "the action (install, remove or run) is missing"},
      {{"--port", "COM3"}, "the action (install, remove or run) is missing"},
      {{"start", "--port", "COM3"}, "unknown action 'start'"},
      {{"install"}, "--port is missing"},
      {{"install", "--port", "COM3", "COM4"}, "unexpected argument 'COM4'"},
      {{"remove", "--port", "COM3", "--period", "5"}, "unknown option '--period'"},
      {{"install", "--port", "COM3", "--period", "0"},
       "--period '0' is not a whole number from 1 to 86400"},
      {{"install", "--port", "COM3", "--out", "x.log"}, "unknown option '--out'"},
      {{"install", "--port", "a:b"}, "--port 'a:b' makes no file name for the service's log"},
      {{"install", "--port", "COM3\\"}, "--port 'COM3\\' makes no file name for the service's log"},
      {{"install", "--port", ".."}, "--port '..' makes no file name for the service's log"},
      {{"run", "--port", "CO\tM3"}, "--port 'CO\tM3' makes no file name for the service's log"},
  };
  for (const Row& row : rows) {
    std::string args;
    for (const std::string& arg : row.args) args += " " + arg;
    EXPECT_EQ(Made(row.args), row.expected) << "service" << args;
  }
}

}  // namespace
}  // namespace tempolog
