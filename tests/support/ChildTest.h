// A copy of the test program running one test of its own in a process of its
// own, which tells the test lines through a pipe and is killed without warning
// when the test is done with it: how a test sees what a program killed in the
// middle of its work leaves behind.
//
//   ChildTest           the test's side: starts the copy, reads what it
//                       tells, kills it
//   TellParent          the copy's side: writes to the pipe it was given
//   ReadChildLines      waits for a number of lines the copy told
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include "tests/support/ChildTest_win32.h"
#else
#include "tests/support/ChildTest_posix.h"
#endif

namespace tempolog::testing_support {

// The first `count` lines (without their LF) the child tells, fewer when it
// ends or `patience` runs out before.
inline std::vector<std::string> ReadChildLines(ChildTest& child, std::size_t count,
                                               std::chrono::seconds patience) {
  std::vector<std::string> lines;
  std::string pending;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
    const std::optional<std::string> told = child.Read(1000);
    if (!told) break;
    pending += *told;
    for (std::size_t end; lines.size() < count && (end = pending.find('\n')) != std::string::npos;
         pending.erase(0, end + 1))
      lines.push_back(pending.substr(0, end));
  }
  return lines;
}

}  // namespace tempolog::testing_support
