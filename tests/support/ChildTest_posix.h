// The POSIX half of ChildTest.h: the copy is spawned from /proc/self/exe,
// told through a pipe whose descriptor it inherits, and killed with SIGKILL.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace tempolog::testing_support {

class ChildTest {
 public:
  // Runs this test program again with only `test` (disabled ones included);
  // the environment variable `pipeVariable` tells the copy the pipe's
  // descriptor.
  ChildTest(const std::string& test, const char* pipeVariable) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("no pipe for the child test");
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    read_ = fds[0];
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=" + test;
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
    SetEnvironment(pipeVariable, std::to_string(fds[1]));
    const int spawned = posix_spawn(&child_, self.c_str(), nullptr, nullptr, argv, environ);
    UnsetEnvironment(pipeVariable);
    close(fds[1]);
    if (spawned != 0) {
      close(read_);
      throw std::runtime_error("the child test did not start");
    }
  }

  ~ChildTest() {
    if (child_ != 0) Kill();
    close(read_);
  }

  ChildTest(const ChildTest&) = delete;
  ChildTest& operator=(const ChildTest&) = delete;

  // What the child told within `milliseconds`: empty when nothing came,
  // nothing at all once its end of the pipe is closed.
  std::optional<std::string> Read(int milliseconds) {
    pollfd p{read_, POLLIN, 0};
    if (poll(&p, 1, milliseconds) <= 0) return std::string();
    char buffer[256];
    const ssize_t n = read(read_, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
  }

  // Kills the child without warning and waits for its end; true when it
  // ended by the kill (not before it, of itself).
  bool Kill() {
    kill(child_, SIGKILL);
    int status = 0;
    const pid_t ended = waitpid(child_, &status, 0);
    child_ = 0;
    return ended > 0 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

 private:
  int read_ = -1;
  pid_t child_ = 0;
};

// In the child: writes `bytes` to the pipe `pipeVariable` names; false when
// there is none or the write fails.
inline bool TellParent(const char* pipeVariable, std::string_view bytes) {
  const char* named = getenv(pipeVariable);
  if (named == nullptr) return false;
  const int out = atoi(named);
  while (!bytes.empty()) {
    const ssize_t n = write(out, bytes.data(), bytes.size());
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace tempolog::testing_support
