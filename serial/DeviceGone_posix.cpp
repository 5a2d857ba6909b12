// Which errno values mean that the device behind a port is gone. A hang-up
// (the backend reports it as EIO), a USB adapter pulled out (EIO, ENODEV), a
// pseudo-terminal whose other side closed (EIO, ENXIO on reopening) and a
// device node or virtual-port link that disappeared (ENOENT) all count.
#include <cerrno>

#include "serial/SerialPort.h"

namespace tempolog {

bool DeviceGone(int32_t code) {
  switch (code) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case ENOENT: return true;
    default: return false;
  }
}

}  // namespace tempolog
