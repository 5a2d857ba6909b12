// Shared by the window and monitor tests: one application object for the
// whole test program, titled as the program titles itself.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "framework/Application.h"

namespace tempolog::testing {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "tempolog-test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<TApplication>(argc, argv);
    SetApplicationTitle("tempolog");
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<TApplication> application_;
};

// Registers the environment once per test program.
inline const bool kApplicationRegistered [[maybe_unused]] =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment) != nullptr;

}  // namespace tempolog::testing
