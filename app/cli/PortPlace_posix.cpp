// What stands at a port's path on POSIX systems: a serial port is a character
// device that takes terminal settings. The serial class reports a device that
// does not take them (/dev/null, a printer) as ENOTTY.
#include <sys/stat.h>

#include <cerrno>

#include "app/cli/PortPlace.h"

namespace tempolog {

TPortPlace PortPlace(const std::string& devicePath, std::int32_t openError) {
  struct stat st {};
  if (stat(devicePath.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? TPortPlace::Missing : TPortPlace::TerminalDevice;
  if (!S_ISCHR(st.st_mode) || openError == ENOTTY) return TPortPlace::NotATerminal;
  return TPortPlace::TerminalDevice;
}

}  // namespace tempolog
