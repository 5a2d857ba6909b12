// What stands at a port's path on Windows: a COM name that no device carries
// fails to open as a file that is not found. Whether something else opened is
// a serial port shows only when the port is used.
//
// Our header comes before <windows.h>, whose macros carry the names of its
// constants.
#include "app/cli/PortPlace.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {

TPortPlace PortPlace(const std::string&, std::int32_t openError) {
  switch (static_cast<DWORD>(openError)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return TPortPlace::Missing;
    default: return TPortPlace::TerminalDevice;
  }
}

}  // namespace tempolog
