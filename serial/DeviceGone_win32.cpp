// Which system error numbers mean that the device behind a port is gone: a
// USB adapter pulled out makes the driver fail its handle's calls with one of
// these, and a port name that is no longer there fails to open with the first
// two. Wine fails the calls on a pseudo-terminal whose other end closed with
// "not ready", and an adapter that is not ready does nothing but fail either:
// the port is closed and opened again until it answers.
//
// Our header comes before <windows.h>, whose macros carry the names of its
// constants.
#include "serial/SerialPort.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {

bool DeviceGone(int32_t code) {
  switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_OPERATION_ABORTED:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED: return true;
    default: return false;
  }
}

}  // namespace tempolog
