// Shared by the window and monitor tests: one application object for the
// whole test program, titled as the program titles itself, and a per-user
// data folder of its own, so that the windows' journals never land among the
// user's.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "framework/Application.h"

namespace tempolog::testing {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/tempolog-data-XXXXXX";
    if (mkdtemp(pattern) != nullptr) {
      dataHome_ = pattern;
      setenv("XDG_DATA_HOME", pattern, 1);
    }
    static int argc = 1;
    static char name[] = "tempolog-test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<TApplication>(argc, argv);
    SetApplicationTitle("tempolog");
  }
  void TearDown() override {
    application_.reset();
    std::error_code ignored;
    if (!dataHome_.empty()) std::filesystem::remove_all(dataHome_, ignored);
  }

 private:
  std::unique_ptr<TApplication> application_;
  std::string dataHome_;
};

// Registers the environment once per test program.
inline const bool kApplicationRegistered [[maybe_unused]] =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment) != nullptr;

}  // namespace tempolog::testing
