// System colours on Windows: the system's own table, as the desktop's colour
// scheme sets it. A COLORREF holds red in its lowest byte, as a TColor does.
#include <windows.h>

#include "framework/Colors.h"

namespace tempolog {

TColor SystemColor(unsigned index) {
  return static_cast<TColor>(GetSysColor(static_cast<int>(index))) & 0xFFFFFFu;
}

}  // namespace tempolog
