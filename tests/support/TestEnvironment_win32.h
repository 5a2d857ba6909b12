// The Windows half of TestEnvironment.h.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tempolog::testing_support {

// The variable that names the user's data folder, under which the program
// keeps its journals and backups.
inline constexpr const char* kDataHomeVariable = "APPDATA";

inline void SetEnvironment(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
}

// An empty value removes the variable from the process' environment.
inline void UnsetEnvironment(const char* name) { _putenv_s(name, ""); }

// A folder where an installed program lives and which the system keeps, made
// if missing (an installer makes it; Wine lets anyone write there, so only
// the program's own care keeps it clean).
inline std::string InstalledProgramFolder() {
  const char* top = std::getenv("ProgramFiles");
  const std::string folder = std::string(top != nullptr ? top : "C:\\Program Files") + "\\tempolog";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

}  // namespace tempolog::testing_support
