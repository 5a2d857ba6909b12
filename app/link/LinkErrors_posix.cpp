// The kinds of serial errors on POSIX systems: errno values as the serial
// backend records them (a port held by another program is EBUSY there, its
// lock included).
#include <cerrno>

#include "app/link/InstrumentLink.h"

namespace tempolog {

TLinkErrorKind LinkErrorKind(std::int32_t code) {
  if (code == 0) return TLinkErrorKind::None;
  if (DeviceGone(code)) return TLinkErrorKind::Gone;
  switch (code) {
    case EBUSY: return TLinkErrorKind::Busy;
    case EACCES:
    case EPERM: return TLinkErrorKind::Denied;
    case ErrTimeout: return TLinkErrorKind::TimedOut;
    default: return TLinkErrorKind::Other;
  }
}

}  // namespace tempolog
