// What stands at a port's device path when the port will not open at the
// start of a recording: the recorder waits for a port that may still come,
// and gives up on a name that can never be one.
#pragma once

#include <cstdint>
#include <string>

namespace tempolog {

enum class TPortPlace {
  Missing,        // nothing by that name: no device node, no virtual port
  NotATerminal,   // a regular file, a folder, a device that is no terminal
  TerminalDevice  // a device that failed to open for another reason
};

// `devicePath` is the port's path (SerialDevicePath), `openError` the code the
// failed open left in the port.
TPortPlace PortPlace(const std::string& devicePath, std::int32_t openError);

}  // namespace tempolog
