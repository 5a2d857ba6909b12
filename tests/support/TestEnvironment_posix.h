// The POSIX half of TestEnvironment.h.
#pragma once

#include <stdlib.h>

#include <string>

namespace tempolog::testing_support {

// The variable that names the user's data folder, under which the program
// keeps its journals and backups.
inline constexpr const char* kDataHomeVariable = "XDG_DATA_HOME";

inline void SetEnvironment(const char* name, const std::string& value) {
  setenv(name, value.c_str(), 1);
}

inline void UnsetEnvironment(const char* name) { unsetenv(name); }

// A folder where an installed program lives and which the system keeps.
inline std::string InstalledProgramFolder() { return "/usr/bin"; }

}  // namespace tempolog::testing_support
