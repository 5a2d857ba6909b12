// The Windows half of SystemColors.h: the system's own table.
#pragma once

#include "framework/Colors.h"

// user32's GetSysColor, declared as <windows.h> declares it; the header itself
// is left out, as its macros (near, far, TextOut) would rename the tests' own
// names.
extern "C" __declspec(dllimport) unsigned long __stdcall GetSysColor(int index);

namespace tempolog::testing_support {

// The system's current colour of `index`; the application palette plays no
// part, so `inPalette` (what Qt's palette holds for it) is not used.
inline TColor PlatformSystemColor(int index, TColor /*inPalette*/) {
  return static_cast<TColor>(GetSysColor(index)) & 0xFFFFFFu;
}

}  // namespace tempolog::testing_support
