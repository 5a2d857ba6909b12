// tempolog-cli: the program entry.
#include <exception>
#include <string>
#include <vector>

#include "app/cli/Cli.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return tempolog::RunCli(args);
  } catch (const std::exception& error) {
    // Out of memory, or a failure no command expected.
    tempolog::SayOnStderr(error.what());
    return tempolog::kExitFailed;
  }
}
