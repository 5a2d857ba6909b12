// The POSIX half of SystemColors.h: Qt's application palette.
#pragma once

#include "framework/Colors.h"

namespace tempolog::testing_support {

// The colour of system colour `index` outside Windows: `inPalette`, the
// colour Qt's application palette holds for it.
inline TColor PlatformSystemColor(int /*index*/, TColor inPalette) { return inPalette; }

}  // namespace tempolog::testing_support
