// The Qt application object of a test program, set up once for all of its
// tests: the program's own application class (its guard and error box
// included), titled as the program titles itself, with a per-user data folder
// of its own, so that journals and backups of windows under test never land
// among the user's. Include this header in each test program that needs Qt
// (fonts, widgets, palettes, timers).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "framework/Application.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog::testing_support {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    dataHome_ = MakeTemporaryFolder("tempolog-data");
    SetEnvironment(kDataHomeVariable, dataHome_);
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

// Registers the environment once per test program, however many of its files
// include this header.
inline ::testing::Environment* const kApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace tempolog::testing_support
