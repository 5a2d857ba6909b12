// The kinds of serial errors on Windows: GetLastError values. A COM port that
// another program holds fails to open with "access denied"; Windows has no
// per-user permission on serial ports, so that code means busy.
//
// Our header comes before <windows.h>, whose macros carry the names of its
// constants.
#include "app/link/InstrumentLink.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {

TLinkErrorKind LinkErrorKind(std::int32_t code) {
  if (code == 0) return TLinkErrorKind::None;
  if (DeviceGone(code)) return TLinkErrorKind::Gone;
  if (code == ErrTimeout) return TLinkErrorKind::TimedOut;
  switch (static_cast<DWORD>(code)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return TLinkErrorKind::Busy;
    default: return TLinkErrorKind::Other;
  }
}

}  // namespace tempolog
