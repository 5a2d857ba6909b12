// The Win32 serial backend and port list against a simulated thermometer.
// scripts/wintest runs tempolog-sim on a pseudo-terminal, maps it to a COM
// port of Wine's, lists that port in the registry key of serial ports and
// names it in TEMPOLOG_TEST_PORT; without it these tests are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "serial/SerialPort.h"

// After our header: the macros of <windows.h> carry the names of its constants.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {
namespace {

std::string TestPort() {
  const char* port = std::getenv("TEMPOLOG_TEST_PORT");
  return port != nullptr ? port : "";
}

#define REQUIRE_TEST_PORT()                                \
  if (TestPort().empty())                                  \
  GTEST_SKIP() << "TEMPOLOG_TEST_PORT names no port with " \
                  "a simulated thermometer (scripts/wintest)"

// Opens the port as the program does: 2400 baud, 8N1, no flow control.
void OpenLikeTheProgram(TSerialPort& port) {
  port.OpenPort(SerialDevicePath(TestPort()));
  ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
  port.Configure(2400, 8, 'N', 0, false, false);
  ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
  ASSERT_TRUE(port.Connected);
}

TEST(SerialWin32, ListsTheRegisteredPorts) {
  REQUIRE_TEST_PORT();
  const std::string ports = "," + ListSerialPorts() + ",";
  EXPECT_NE(ports.find("," + TestPort() + ","), std::string::npos) << ports;
}

TEST(SerialWin32, QueriesTheInstrumentAndReadsItsLines) {
  REQUIRE_TEST_PORT();
  TSerialPort port;
  OpenLikeTheProgram(port);
  const std::regex reading("-?[0-9]+\\.[0-9]");
  for (int i = 0; i < 3; ++i) {
    port.WriteText("01X?\r");
    ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
    const std::string reply = port.ReadUntil(1000, "\r\n");
    EXPECT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
    EXPECT_TRUE(std::regex_match(reply, reading)) << reply;
  }
  // Nothing asked, nothing answered: the wait ends with a time-out.
  EXPECT_EQ(port.ReadUntil(200, "\r\n"), "");
  EXPECT_EQ(port.LastErrorCode, ErrTimeout);
  port.ClosePort();
  EXPECT_FALSE(port.Connected);
}

TEST(SerialWin32, AMissingPortIsAnErrorWithTheSystemText) {
  TSerialPort port;
  port.OpenPort(SerialDevicePath("COM250"));
  EXPECT_NE(port.LastErrorCode, 0);
  EXPECT_FALSE(port.LastErrorText.empty());
  EXPECT_FALSE(port.Connected);
}

// What a port whose device went away fails with: a USB adapter pulled out
// makes its driver fail the open handle's calls with one of the first codes,
// and its name then fails to open; Wine fails the calls on a pseudo-terminal
// whose other end closed with "not ready". None of the others means
// the device is gone: a busy port, a time-out, a bad parameter.
TEST(SerialWin32, ErrorsOfADeviceThatWentAway) {
  struct Row {
    const char* name;
    DWORD code;
    bool gone;
  } rows[] = {
      {"unplugged: bad command", ERROR_BAD_COMMAND, true},
      {"unplugged: general failure", ERROR_GEN_FAILURE, true},
      {"unplugged: operation aborted", ERROR_OPERATION_ABORTED, true},
      {"unplugged: device not connected", ERROR_DEVICE_NOT_CONNECTED, true},
      {"unplugged: device removed", ERROR_DEVICE_REMOVED, true},
      {"unplugged: no such device", ERROR_DEV_NOT_EXIST, true},
      {"name gone: file not found", ERROR_FILE_NOT_FOUND, true},
      {"name gone: path not found", ERROR_PATH_NOT_FOUND, true},
      {"Wine, other end closed: not ready", ERROR_NOT_READY, true},
      {"busy", ERROR_ACCESS_DENIED, false},
      {"time-out", ERROR_SEM_TIMEOUT, false},
      {"bad parameter", ERROR_INVALID_PARAMETER, false},
      {"success", ERROR_SUCCESS, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DeviceGone(static_cast<std::int32_t>(row.code)), row.gone);
  }
}

}  // namespace
}  // namespace tempolog
