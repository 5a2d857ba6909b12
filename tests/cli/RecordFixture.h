// The fixture of the tests that run tempolog-cli as a whole program against a
// thermometer the test plays on a pseudo-terminal: a folder of its own (also
// the runtime folder where the program finds the test's virtual ports), the
// program started with its standard output and error in files there, and
// waits with a time limit.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/Instrument.h"
#include "tests/support/FileContents.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using testing::Instrument;
using testing_support::ReadAll;

bool WaitFor(const std::function<bool()>& done, int ms = 8000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::size_t Lines(const std::string& text) {
  std::size_t n = 0;
  for (const char c : text) n += c == '\n';
  return n;
}

// A folder of its own, which is also the runtime folder where the program
// finds the test's virtual ports.
class CliRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_support::MakeTemporaryFolder("tempolog-cli");
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    instrument_ = std::make_unique<Instrument>(dir_ + "/tempolog/ports", "lab");
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    instrument_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Starts tempolog-cli with `args`; its output goes to files of the folder
  // (standard output to `stdoutFd` instead, when given: a pipe the test
  // holds). It inherits no other descriptor: a copy of the instrument's side
  // of the terminal would keep the port from hanging up when the instrument
  // vanishes.
  void Start(const std::vector<std::string>& args, const char* program = TEMPOLOG_CLI,
             int stdoutFd = -1) {
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
      const int fd = std::stoi(entry.path().filename().string());
      if (fd > 2) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (stdoutFd >= 0) {
      posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
    } else {
      posix_spawn_file_actions_addopen(&files, 1, Out().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
    }
    posix_spawn_file_actions_addopen(&files, 2, Err().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(posix_spawn(&pid_, program, &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
  }

  // The exit status, or -1 when it did not end by exiting within `ms` (it is
  // killed then).
  int Wait(int ms = 10000) {
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int Run(const std::vector<std::string>& args) {
    Start(args);
    return Wait();
  }

  std::string Out() const { return dir_ + "/stdout"; }
  std::string Err() const { return dir_ + "/stderr"; }
  std::string Path(const char* name) const { return dir_ + "/" + name; }

  std::string dir_;
  std::unique_ptr<Instrument> instrument_;
  pid_t pid_ = -1;
};

}  // namespace
}  // namespace tempolog
