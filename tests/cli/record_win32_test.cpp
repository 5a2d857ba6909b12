// tempolog-cli on Windows against a simulated thermometer: scripts/wintest
// runs tempolog-sim on a pseudo-terminal, maps it to a COM port of Wine's,
// lists it in the registry key of serial ports and names it in
// TEMPOLOG_TEST_PORT; without it these tests are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/FileContents.h"

namespace tempolog {
namespace {

std::string TestPort() {
  const char* port = std::getenv("TEMPOLOG_TEST_PORT");
  return port != nullptr ? port : "";
}

using testing_support::ReadAll;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// tempolog-cli.exe of the same build: app\cli\ beside this test's tests\cli\.
std::string CliPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "..\\..\\app\\cli\\tempolog-cli.exe";
}

struct Result {
  DWORD exitCode = 9999;
  std::string out, err;
};

// Runs tempolog-cli.exe with `args`, its output into files beside it.
Result RunCli(const std::string& args) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const auto file = [&](const char* name) {
    return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE out = file("cli-stdout.txt");
  HANDLE err = file("cli-stderr.txt");
  STARTUPINFOA start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = out;
  start.hStdError = err;
  PROCESS_INFORMATION process{};
  std::string line = "\"" + CliPath() + "\" " + args;
  Result result;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                     &process)) {
    WaitForSingleObject(process.hProcess, 30000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    result.err = "CreateProcess failed with error " + std::to_string(GetLastError()) + "; ";
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = ReadAll("cli-stdout.txt");
  result.err += ReadAll("cli-stderr.txt");
  return result;
}

TEST(CliRecordWin32, RecordsListsAndWaitsForAMissingPort) {
  if (TestPort().empty())
    GTEST_SKIP()
        << "TEMPOLOG_TEST_PORT names no port with a simulated thermometer (scripts/wintest)";
  const std::string port = TestPort();
  std::remove("cli-record.log");
  std::remove("cli-record.prom");

  const Result ports = RunCli("ports");
  EXPECT_EQ(ports.exitCode, 0u) << ports.err;
  EXPECT_NE(ports.out.find(port + "\n"), std::string::npos) << ports.out;

  const Result record =
      RunCli("record --port " + port +
             " --count 2 --format csv --out cli-record.log --prom cli-record.prom");
  EXPECT_EQ(record.exitCode, 0u) << record.err;
  EXPECT_EQ(record.out.rfind("local_time,value,time\r\n", 0), 0u) << record.out;
  EXPECT_EQ(Count(record.out, "\r\n"), 3u) << record.out;
  const std::string log = ReadAll("cli-record.log");
  EXPECT_EQ(Count(log, "\t"), 2u) << log;
  EXPECT_EQ(Count(log, "\r\n"), 2u) << log;
  // The metrics file goes with the recording.
  EXPECT_EQ(GetFileAttributesA("cli-record.prom"), INVALID_FILE_ATTRIBUTES);

  // A port that is not there: told once with the ports there are, looked for
  // every period, no reading.
  const Result missing = RunCli("record --port COM42 --duration 2");
  EXPECT_EQ(missing.exitCode, 0u) << missing.err;
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err.rfind("tempolog-cli: COM42: no such port (ports now: ", 0), 0u)
      << missing.err;
  EXPECT_NE(missing.err.find(port), std::string::npos) << missing.err;
  EXPECT_EQ(Count(missing.err, "\n"), 1u) << missing.err;

  const Result bad = RunCli("record --port " + port + " --period 0 --out cli-never.log");
  EXPECT_EQ(bad.exitCode, 2u);
  EXPECT_EQ(GetFileAttributesA("cli-never.log"), INVALID_FILE_ATTRIBUTES);
}

// A simulated thermometer that vanishes after 6 requests and comes back 4 s
// later (scripts/wintest maps it to TEMPOLOG_TEST_VANISHING_PORT): Wine fails
// the calls on its closed pseudo-terminal, which must be told as gone, looked
// for every period, and recorded again once it is back, never waited on for
// good. The window takes its ticks through the same link.
TEST(CliRecordWin32, APortThatVanishesIsToldGoneAndRecordedAgainWhenBack) {
  const char* vanishing = std::getenv("TEMPOLOG_TEST_VANISHING_PORT");
  if (vanishing == nullptr) GTEST_SKIP() << "TEMPOLOG_TEST_VANISHING_PORT names no port";
  const std::string port = vanishing;
  const Result record = RunCli("record --port " + port + " --duration 12");
  EXPECT_EQ(record.exitCode, 0u) << record.err;
  const std::size_t gone = record.err.find(port + ": gone (");
  const std::size_t back = record.err.find(port + ": back");
  ASSERT_NE(gone, std::string::npos) << record.err;
  ASSERT_NE(back, std::string::npos) << record.err;
  EXPECT_LT(gone, back) << record.err;
  // Three readings before it vanished, more after it came back.
  EXPECT_GE(Count(record.out, "\t"), 4u) << record.out;
}

}  // namespace
}  // namespace tempolog
