// tempolog-cli service on POSIX systems: there is none; systemd's unit
// tempolog-cli@PORT records a port from boot on.
#include "app/cli/Cli.h"
#include "app/cli/Service.h"

namespace tempolog {

int RunService(const TServiceOptions&) {
  SayOnStderr(
      "the service command exists only on Windows; here the systemd unit tempolog-cli@PORT "
      "records a port from boot on: systemctl enable --now tempolog-cli@ttyUSB0 (man "
      "tempolog-cli, FILES)");
  return kExitBadArguments;
}

bool ServiceTakesMessages(const std::string&) { return false; }

}  // namespace tempolog
