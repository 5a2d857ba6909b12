// The colour a system colour index has where the program takes its system
// colours from: checks of the program's colours compare with it.
#pragma once

#ifdef _WIN32
#include "tests/support/SystemColors_win32.h"
#else
#include "tests/support/SystemColors_posix.h"
#endif
