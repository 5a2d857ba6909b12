// The Windows half of ChildTest.h: the copy is started with CreateProcess from
// the program's own file, told through an anonymous pipe whose write handle
// it inherits, and killed with TerminateProcess.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/support/TestEnvironment.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog::testing_support {

class ChildTest {
 public:
  // Runs this test program again with only `test` (disabled ones included);
  // the environment variable `pipeVariable` tells the copy the pipe's handle.
  ChildTest(const std::string& test, const char* pipeVariable) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&read_, &write, &inherited, 0))
      throw std::runtime_error("no pipe for the child test");
    // Only the write end goes to the child: with its read end the pipe would
    // never end for the test when the child does.
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string(self, length) + "\" --gtest_filter=" + test +
                          " --gtest_also_run_disabled_tests";
    SetEnvironment(pipeVariable, std::to_string(reinterpret_cast<std::uintptr_t>(write)));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const BOOL ok = CreateProcessA(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &started);
    UnsetEnvironment(pipeVariable);
    CloseHandle(write);
    if (!ok) {
      CloseHandle(read_);
      throw std::runtime_error("the child test did not start");
    }
    CloseHandle(started.hThread);
    child_ = started.hProcess;
  }

  ~ChildTest() {
    if (child_ != nullptr) Kill();
    CloseHandle(read_);
  }

  ChildTest(const ChildTest&) = delete;
  ChildTest& operator=(const ChildTest&) = delete;

  // What the child told within `milliseconds`: empty when nothing came,
  // nothing at all once its end of the pipe is closed. An anonymous pipe
  // cannot be waited on, so it is looked at every 10 ms.
  std::optional<std::string> Read(int milliseconds) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr)) return std::nullopt;
      if (available > 0) break;
      if (GetTickCount64() >= until) return std::string();
      Sleep(10);
    }
    char buffer[256];
    DWORD n = 0;
    if (!ReadFile(read_, buffer, sizeof buffer, &n, nullptr) || n == 0) return std::nullopt;
    return std::string(buffer, n);
  }

  // Kills the child without warning and waits for its end; true when it
  // ended by the kill (its exit code is the kill's own). Wine lets go of the
  // child's file locks as it ends; Windows says it may take a moment longer.
  bool Kill() {
    const BOOL killed = TerminateProcess(child_, kKilledExitCode);
    WaitForSingleObject(child_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child_, &code);
    CloseHandle(child_);
    child_ = nullptr;
    return killed && code == kKilledExitCode;
  }

 private:
  // No test program ends with this code of itself.
  static constexpr UINT kKilledExitCode = 0xDEAD;

  HANDLE read_ = nullptr;
  HANDLE child_ = nullptr;
};

// In the child: writes `bytes` to the pipe `pipeVariable` names; false when
// there is none or the write fails.
inline bool TellParent(const char* pipeVariable, std::string_view bytes) {
  const char* named = std::getenv(pipeVariable);
  if (named == nullptr) return false;
  const HANDLE out = reinterpret_cast<HANDLE>(std::strtoull(named, nullptr, 10));
  while (!bytes.empty()) {
    DWORD n = 0;
    if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) || n == 0)
      return false;
    bytes.remove_prefix(n);
  }
  return true;
}

}  // namespace tempolog::testing_support
