// What tests need of their process' environment on every platform: a fresh
// temporary folder, and environment variables set for the code under test.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#ifdef _WIN32
#include "tests/support/TestEnvironment_win32.h"
#else
#include "tests/support/TestEnvironment_posix.h"
#endif

namespace tempolog::testing_support {

// A new, empty folder in the system's temporary folder, named <stem>-<random>,
// open to its owner only (as mkdtemp makes it); the caller removes it.
inline std::string MakeTemporaryFolder(const std::string& stem) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path top = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder = top / (stem + "-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(folder, error)) {
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace, error);
      return folder.string();
    }
  }
  throw std::runtime_error("no temporary folder could be made for " + stem);
}

}  // namespace tempolog::testing_support
