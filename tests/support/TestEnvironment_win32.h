// The Windows half of TestEnvironment.h.
#pragma once

#include <stdlib.h>

#include <string>

namespace tempolog::testing_support {

// The variable that names the user's data folder, under which the program
// keeps its journals and backups.
inline constexpr const char* kDataHomeVariable = "APPDATA";

inline void SetEnvironment(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
}

// An empty value removes the variable from the process' environment.
inline void UnsetEnvironment(const char* name) { _putenv_s(name, ""); }

}  // namespace tempolog::testing_support
