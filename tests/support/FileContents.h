// Whole files read and written in one go, byte for byte, by tests of every
// platform.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace tempolog::testing_support {

// The file's bytes; nothing when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tempolog::testing_support
