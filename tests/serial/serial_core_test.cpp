// The parts of the serial port object that need no device: name parsing, the
// line-settings record, error texts and recording, the exception, tick
// arithmetic, line-end search, comma text, the limiter, line-error decoding
// and the transfer paths driven through a scripted backend.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <system_error>

#include "serial/SerialBackend.h"
#include "serial/SerialPort.h"

namespace tempolog {
namespace {

// The system's own wording of one of its error numbers, as an error text
// shows it: without trailing blanks, control characters or full stops.
std::string SystemWording(int code) {
  std::string text = std::system_category().message(code);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

// A backend without a device: a port that opens, reads from `incoming`,
// collects writes in `sent`, and fails or stalls as a test tells it to.
class FakeBackend : public SerialBackend {
 public:
  std::string incoming, sent;
  uint32_t lineFlags = 0;  // reported once after the next transfer
  TransferEnd writeEnd = TransferEnd::Done;
  int failError = 0;  // errno for every call when non-zero
  uint32_t tick = 1000;
  std::vector<int32_t> sleeps;
  TLineSettings driver{};
  int error = 0;

  int LastError() override { return error; }
  void ResetLastError() override { error = 0; }
  intptr_t OpenDevice(const std::string& path, bool) override {
    if (path == "/dev/missing") return Fail(ENOENT) ? -1 : -1;
    return 7;
  }
  bool CloseDevice(intptr_t) override { return true; }
  void PrepareDevice(intptr_t, int32_t) override {}
  bool SetupQueues(intptr_t, int32_t, int32_t) override { return Ok(); }
  bool GetLineSettings(intptr_t h, TLineSettings& s) override {
    if (h == -1) return Fail(EBADF);
    if (!Ok()) return false;
    s = driver;
    return true;
  }
  bool SetLineSettings(intptr_t h, const TLineSettings& s) override {
    if (h == -1) return Fail(EBADF);
    if (!Ok()) return false;
    driver = s;
    return true;
  }
  bool GetModemStatus(intptr_t, uint32_t& s) override {
    s = MS_CTS_ON;
    return Ok();
  }
  bool EscapeFunction(intptr_t, int) override { return Ok(); }
  bool SetBreak(intptr_t, bool) override { return Ok(); }
  bool Purge(intptr_t, uint32_t) override { return Ok(); }
  bool Flush(intptr_t, int32_t) override { return Ok(); }
  bool ClearError(intptr_t, uint32_t& flags, int32_t& in, int32_t& out) override {
    if (!Ok()) return false;
    flags = lineFlags;
    lineFlags = 0;
    in = static_cast<int32_t>(incoming.size());
    out = 0;
    return true;
  }
  bool InputWaiting(intptr_t, int32_t& in) override {
    if (!Ok()) return false;
    in = static_cast<int32_t>(incoming.size());
    return true;
  }
  bool HasLineErrorWord() override { return true; }
  TransferEnd Write(intptr_t, const void* b, int32_t n, int32_t, int32_t& done) override {
    done = 0;
    if (!Ok()) return TransferEnd::Failed;
    if (writeEnd == TransferEnd::Done) {
      sent.append(static_cast<const char*>(b), static_cast<std::size_t>(n));
      done = n;
    }
    return writeEnd;
  }
  TransferEnd Read(intptr_t, void* b, int32_t n, int32_t, int32_t& done) override {
    if (!Ok()) return TransferEnd::Failed;
    done = std::min<int32_t>(n, static_cast<int32_t>(incoming.size()));
    std::memcpy(b, incoming.data(), static_cast<std::size_t>(done));
    incoming.erase(0, static_cast<std::size_t>(done));
    return TransferEnd::Done;
  }
  int WaitEvent(intptr_t, uint32_t mask, int32_t timeout) override {
    if (!Ok()) return -1;
    if (mask == EV_TXEMPTY) return 1;
    if (incoming.empty()) tick += static_cast<uint32_t>(timeout);  // nothing comes
    return incoming.empty() ? 0 : 1;
  }
  bool WaitMissesQueuedInput() override { return true; }
  uint32_t TickMs() override { return tick; }
  void SleepMs(int32_t ms) override {
    if (ms > 0) sleeps.push_back(ms);
    tick += static_cast<uint32_t>(ms);
  }
  bool DriverTogglesRts() override { return false; }
  uint16_t PortAddress(intptr_t) override { return 0; }
  bool TransmitterEmpty(uint16_t) override { return true; }

 private:
  bool Ok() { return failError == 0 || Fail(failError); }
  bool Fail(int e) {
    error = e;
    return false;
  }
};

struct Harness {
  std::vector<std::pair<THookSerialReason, std::string>> hooks;  // outlives the port
  FakeBackend* fake;
  TSerialPort port;
  Harness() : fake(new FakeBackend), port(std::unique_ptr<SerialBackend>(fake)) {
    port.OnStatus = [this](TSerialPort*, THookSerialReason r, const std::string& v) {
      hooks.emplace_back(r, v);
    };
  }
};

TEST(SerialCore, NewObjectHasItsDefaults) {
  TSerialPort port;
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.LastErrorText, "OK");
  EXPECT_EQ(port.Handle, -1);
  EXPECT_EQ(port.ReceiveQueueSize, 4096);
  EXPECT_EQ(port.DeadlockTimeout, 30000);
  EXPECT_EQ(port.AtTimeout, 1000);
  EXPECT_TRUE(port.InterPacketTimeout);
  EXPECT_TRUE(port.LinuxLock);
  EXPECT_FALSE(port.RaiseExcept);
  EXPECT_FALSE(port.Connected);
  EXPECT_EQ(port.PortNumber, -1);
  EXPECT_EQ(port.LineSettings, TLineSettings{});
  EXPECT_EQ(port.VersionText(), "tempolog serial 1.0");
}

TEST(SerialCore, ParsePortNumber) {
  const struct {
    const char* name;
    int32_t number;
  } rows[] = {
      {"COM1", 0},
      {"com1", 0},
      {"COM12", 11},
      {"COM", -1},
      {"COMX", -1},
      {"COM0", -1},
      {"/dev/ttyS0", 0},
      {"/dev/ttyS2", 2},
      {"/dev/ttySx", -2},
      {"/dev/ttyS", -2},
      {"\\\\.\\COM3", -1},
      {"/dev/ttyUSB0", -1},
      {"/dev/ttys003", 3},
      {"ttyUSB0", -1},
      {"", -1},
      {"COM99999999999", -1},
  };
  TSerialPort port;
  for (const auto& row : rows) {
    port.ParsePortNumber(row.name);
    EXPECT_EQ(port.PortNumber, row.number) << row.name;
  }
}

TEST(SerialCore, BuildLineSettings) {
  const struct {
    const char* what;
    int baud, bits;
    char parity;
    int stop;
    bool soft, hard;
    uint8_t driverParity, wantParity;
    uint32_t wantFlags;
  } rows[] = {
      {"monitor", 2400, 8, 'N', 0, false, false, 0, NOPARITY, 0x1011},
      {"lower case", 2400, 8, 'n', 0, false, false, 2, NOPARITY, 0x1011},
      {"odd", 9600, 7, 'O', 1, false, false, 0, ODDPARITY, 0x1013},
      {"even", 9600, 7, 'e', 2, false, false, 0, EVENPARITY, 0x1013},
      {"mark", 9600, 8, 'M', 0, false, false, 0, MARKPARITY, 0x1013},
      {"space", 9600, 8, 's', 0, false, false, 0, SPACEPARITY, 0x1013},
      {"unknown keeps driver", 9600, 8, 'X', 0, false, false, 2, EVENPARITY, 0x1013},
      {"unknown, driver none", 9600, 8, 'X', 0, false, false, 0, NOPARITY, 0x1011},
      {"soft flow", 2400, 8, 'N', 0, true, false, 0, NOPARITY, 0x1311},
      {"hard flow", 2400, 8, 'N', 0, false, true, 0, NOPARITY, 0x2015},
  };
  for (const auto& row : rows) {
    TLineSettings s{};
    s.Parity = row.driverParity;
    s.Flags = 0xFFFFFFFF;  // every bit read from the driver is dropped
    BuildLineSettings(s, row.baud, row.bits, row.parity, row.stop, row.soft, row.hard, 4096);
    EXPECT_EQ(s.Parity, row.wantParity) << row.what;
    EXPECT_EQ(s.Flags, row.wantFlags) << row.what;
    EXPECT_EQ(s.BaudRate, static_cast<uint32_t>(row.baud)) << row.what;
    EXPECT_EQ(s.ByteSize, row.bits) << row.what;
    EXPECT_EQ(s.StopBits, row.stop) << row.what;
    EXPECT_EQ(s.XonChar, 17) << row.what;
    EXPECT_EQ(s.XoffChar, 19) << row.what;
    EXPECT_EQ(s.XonLim, 1024) << row.what;
    EXPECT_EQ(s.XoffLim, 1024) << row.what;
    EXPECT_EQ(s.DCBlength, 28u) << row.what;
  }
}

TEST(SerialCore, ErrorTexts) {
  const struct {
    int32_t code;
    const char* text;
  } rows[] = {
      {0, "OK"},
      {9991, "Port owned by other process"},
      {9992, "Instance already in use"},
      {9993, "Wrong parameter at call"},
      {9994, "Instance not yet connected"},
      {9995, "No device answer detected"},
      {9996, "Maximal buffer length exceeded"},
      {9997, "Timeout during operation"},
      {9998, "Reading of data failed"},
      {9999, "Receive framing error"},
      {10000, "Receive Overrun Error"},
      {10001, "Receive Queue overflow"},
      {10002, "Receive Parity Error"},
      {10003, "Tranceive Queue is full"},
      {123456, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(TSerialPort::GetErrorDesc(row.code), row.text) << row.code;
  // Other numbers are the system's: errno values on POSIX systems, Win32
  // error codes on Windows, each worded as the system words it.
  for (const int32_t code : {ENOENT, EBUSY}) {
    ASSERT_FALSE(SystemWording(code).empty()) << code;
    EXPECT_EQ(TSerialPort::GetErrorDesc(code), SystemWording(code)) << code;
  }
}

TEST(SerialCore, DecodeLineErrorsLastFlagInOrderWins) {
  const struct {
    uint32_t flags;
    int32_t code;
  } rows[] = {
      {CE_FRAME, 9999},
      {CE_OVERRUN, 10000},
      {CE_RXOVER, 10001},
      {CE_RXPARITY, 10002},
      {CE_TXFULL, 10003},
      {CE_FRAME | CE_RXPARITY, 10002},
      {CE_FRAME | CE_OVERRUN, 10000},
      {CE_RXOVER | CE_TXFULL | CE_FRAME, 10003},
      {CE_BREAK, 0},
  };
  for (const auto& row : rows) {
    TSerialPort port;
    port.DecodeLineErrors(row.flags);
    EXPECT_EQ(port.LastErrorCode, row.code) << std::hex << row.flags;
    EXPECT_EQ(port.LastErrorText, "OK") << "the text is left alone";
  }
}

TEST(SerialCore, TickSpan) {
  const struct {
    uint32_t from, to, span;
  } rows[] = {
      {100, 100, 0},
      {90, 100, 10},
      {100, 90, 10},
      {0xFFFFFFF0u, 16, 32},
      {0x7FFFFFFFu, 0x80000000u, 1},
      {0, 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const auto& row : rows)
    EXPECT_EQ(TickSpan(row.from, row.to), row.span) << row.from << " -> " << row.to;
}

TEST(SerialCore, FindLineEnd) {
  const struct {
    const char* text;
    int pos;
    const char* found;
  } rows[] = {
      {"", -1, ""},        {"abc", -1, ""},   {"ab\r\ncd", 3, "\r\n"}, {"ab\n\rcd", 3, "\n\r"},
      {"ab\r", 3, "\r"},   {"ab\n", 3, "\n"}, {"\r\r", 1, "\r"},       {"\n\n", 1, "\n"},
      {"a\rb\n", 2, "\r"},
  };
  for (const auto& row : rows) {
    std::string found = "junk";
    EXPECT_EQ(FindLineEnd(row.text, found), row.pos) << row.text;
    EXPECT_EQ(found, row.found) << row.text;
  }
}

TEST(SerialCore, CommaTextQuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CommaText({}), "");
  EXPECT_EQ(CommaText({"ttyS0", "ttyUSB0"}), "ttyS0,ttyUSB0");
  EXPECT_EQ(CommaText({"my port", "a,b", "say \"hi\"", std::string("x\tz")}),
            "\"my port\",\"a,b\",\"say \"\"hi\"\"\",\"x\tz\"");
}

TEST(SerialCore, SplitCommaTextSplitsLikeThePortListIsWritten) {
  using Items = std::vector<std::string>;
  struct Row {
    const char* name;
    std::string text;
    Items items;
  } rows[] = {
      {"empty text", "", {}},
      {"one name", "COM1", {"COM1"}},
      {"no ports after offline", "offline,", {"offline", ""}},
      {"several names", "offline,COM1,COM3", {"offline", "COM1", "COM3"}},
      {"blanks separate too", "a b\tc", {"a", "b", "c"}},
      {"blanks around commas", " a , b ", {"a", "b"}},
      {"empty item between commas", "a,,b", {"a", "", "b"}},
      {"lone comma", ",", {"", ""}},
      {"quoted item keeps commas and blanks", "\"a, b\",c", {"a, b", "c"}},
      {"doubled quote", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
      {"unterminated quote runs to the end", "\"open, end", {"open, end"}},
      {"bytes after a closing quote start an item", "\"a\"b", {"a", "b"}},
      {"control bytes are blanks",
       "a\x01\x1f"
       "b",
       {"a", "b"}},
      {"NUL belongs to its item", std::string("a\0b,c", 5), {std::string("a\0b", 3), "c"}},
      {"8-bit bytes belong to their item", "\xE9t\xE9", {"\xE9t\xE9"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SplitCommaText(row.text), row.items);
  }
}

// Every list the port list can write (one lone empty name aside, written as
// the empty text, which is the empty list) reads back as the same names.
TEST(SerialCore, CommaTextReadsBackAsTheSameItems) {
  using Items = std::vector<std::string>;
  const Items lists[] = {
      {},
      {"ttyS0"},
      {"", ""},
      {"ttyS0", "", "ttyUSB0"},
      {"my port", "a,b", "say \"hi\"", "\"", "\"\""},
      {"x\tz", "\x01\x1f", " lead", "trail ", ","},
      {std::string("a\0b", 3), "\xE9t\xE9", "\x7F"},
  };
  for (const Items& items : lists) {
    const std::string text = CommaText(items);
    EXPECT_EQ(SplitCommaText(text), items) << text;
  }
}

TEST(SerialCore, RaiseExceptThrowsWithCodeAndTextAndKeepsThePair) {
  const struct {
    int32_t code;
    std::string message;
  } rows[] = {
      {9997, "Communication error 9997: Timeout during operation"},
      {9994, "Communication error 9994: Instance not yet connected"},
      {ENOENT, "Communication error 2: " + SystemWording(ENOENT)},
      {123456, "Communication error 123456: "},
  };
  for (const auto& row : rows) {
    TSerialPort port;
    port.RaiseExcept = true;
    try {
      port.FailWith(row.code);
      ADD_FAILURE() << "no exception for " << row.code;
    } catch (const ESerialError& e) {
      EXPECT_EQ(e.Message(), row.message);
      EXPECT_EQ(e.ErrorNumber, row.code);
      EXPECT_EQ(e.ErrorText, TSerialPort::GetErrorDesc(row.code));
      EXPECT_EQ(port.LastErrorCode, row.code);
    }
  }
  TSerialPort quiet;
  EXPECT_NO_THROW(quiet.FailWith(9997));
  EXPECT_EQ(quiet.LastErrorCode, 9997);
}

TEST(SerialCore, TransfersOnAClosedPortDoNothing) {
  Harness h;
  h.fake->incoming = "data";
  char buffer[4];
  EXPECT_EQ(h.port.WriteBuffer("x", 1), 0);
  EXPECT_EQ(h.port.LastErrorCode, 9994);
  EXPECT_EQ(h.port.ReadUntil(1000, "\r\n"), "");
  EXPECT_EQ(h.port.ReadBuffer(buffer, 4, 10), 0);
  EXPECT_EQ(h.port.ReadByteValue(10), 0);
  EXPECT_EQ(h.port.LastErrorCode, 9994);
  EXPECT_EQ(h.fake->sent, "");
  EXPECT_EQ(h.fake->incoming, "data");
  EXPECT_TRUE(h.hooks.empty());
}

TEST(SerialCore, ConfigureOnAClosedPortRecordsTheInvalidHandle) {
  Harness h;
  h.port.Configure(2400, 8, 'N', 0, false, false);
  EXPECT_EQ(h.port.LastErrorCode, EBADF);
}

TEST(SerialCore, ConfigureStoresWhatItBuilt) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  ASSERT_EQ(h.port.LastErrorCode, 0);
  h.fake->driver.Parity = EVENPARITY;
  h.port.Configure(2400, 8, 'X', 0, false, false);
  EXPECT_EQ(h.port.LastErrorCode, 0);
  EXPECT_EQ(h.fake->driver.Parity, EVENPARITY);
  EXPECT_EQ(h.fake->driver.Flags, 0x1013u);
  EXPECT_EQ(h.port.LineSettings, h.fake->driver);
}

TEST(SerialCore, OpenMissingPortReportsNothing) {
  Harness h;
  h.port.OpenPort("/dev/missing");
  EXPECT_EQ(h.port.LastErrorCode, ENOENT);
  EXPECT_EQ(h.port.Handle, -1);
  EXPECT_FALSE(h.port.Connected);
  EXPECT_TRUE(h.hooks.empty());
}

TEST(SerialCore, OpenTwiceKeepsTheFirstConnection) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.port.OpenPort("/dev/other");
  EXPECT_EQ(h.port.LastErrorCode, 9992);
  EXPECT_EQ(h.port.PortPath, "/dev/fake");
  h.port.WriteText("ok");
  EXPECT_EQ(h.port.LastErrorCode, 0);
  EXPECT_EQ(h.fake->sent, "ok");
}

TEST(SerialCore, RequiredLineOffFailsTheOpenButStillReports) {
  Harness h;
  h.port.TestDSR = true;  // the fake shows CTS only
  h.port.OpenPort("/dev/fake");
  EXPECT_EQ(h.port.LastErrorCode, 9995);
  EXPECT_EQ(h.port.Handle, -1);
  EXPECT_FALSE(h.port.Connected);
  ASSERT_EQ(h.hooks.size(), 1u);
  EXPECT_EQ(h.hooks[0].first, HR_Connect);
  h.port.TestDSR = false;
  h.port.TestCTS = true;
  h.port.OpenPort("/dev/fake");
  EXPECT_EQ(h.port.LastErrorCode, 0);
  EXPECT_TRUE(h.port.Connected);
}

TEST(SerialCore, CloseNeverOpenedReportsEmptyPath) {
  Harness h;
  h.port.ClosePort();
  ASSERT_EQ(h.hooks.size(), 1u);
  EXPECT_EQ(h.hooks[0], std::make_pair(HR_SerialClose, std::string()));
  EXPECT_EQ(h.port.LastErrorCode, 0);
}

TEST(SerialCore, LineErrorsAfterAWriteAreRecordedAndRaised) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.fake->lineFlags = CE_FRAME | CE_RXPARITY;
  h.port.WriteText("abc");
  EXPECT_EQ(h.port.LastErrorCode, 10002);
  h.port.RaiseExcept = true;
  h.fake->lineFlags = CE_RXOVER;
  try {
    h.port.WriteText("abc");
    ADD_FAILURE() << "no exception";
  } catch (const ESerialError& e) {
    EXPECT_EQ(e.Message(), "Communication error 10001: Receive Queue overflow");
  }
  EXPECT_EQ(h.hooks.size(), 2u) << "the raise comes before the report";
}

TEST(SerialCore, StalledWriteTimesOut) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.fake->writeEnd = TransferEnd::TimedOut;
  h.hooks.clear();
  h.port.WriteText("abc");
  EXPECT_EQ(h.port.LastErrorCode, 9997);
  ASSERT_EQ(h.hooks.size(), 1u);
  EXPECT_EQ(h.hooks[0], std::make_pair(HR_WriteCount, std::string("0")));
}

TEST(SerialCore, RtsToggleKeepsTheErrorOfTheSend) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.port.SetRtsToggle(true);
  EXPECT_TRUE(h.port.RtsToggle);
  h.fake->writeEnd = TransferEnd::TimedOut;
  h.port.WriteText("abc");
  EXPECT_EQ(h.port.LastErrorCode, 9997);
  EXPECT_EQ(h.port.LastErrorText, "Timeout during operation");
}

TEST(SerialCore, ThrottleWaitsForTheScheduleAndReportsIt) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.port.SetSpeedLimit(100);  // 100 bytes per second
  EXPECT_EQ(h.port.SendLimit, 100);
  EXPECT_EQ(h.port.ReceiveLimit, 100);
  h.hooks.clear();
  h.port.WriteText(std::string(50, 'x'));  // first send: no wait, next in 500 ms
  h.fake->tick += 200;
  h.port.WriteText(std::string(10, 'x'));  // 300 ms still to wait
  ASSERT_EQ(h.fake->sleeps, std::vector<int32_t>{300});
  EXPECT_EQ(h.hooks[1], std::make_pair(HR_Wait, std::string("300")));
  EXPECT_EQ(h.fake->sent.size(), 60u);
}

TEST(SerialCore, ThrottleAcrossTheTickWrapNeverWaitsLong) {
  Harness h;
  uint32_t next = 0xFFFFFF00u;
  h.fake->tick = 0x100;  // the counter wrapped long after the schedule
  h.port.ThrottleTransfer(10, 100, next);
  EXPECT_TRUE(h.fake->sleeps.empty());
  EXPECT_EQ(next, 0x100u + 100u);
}

TEST(SerialCore, ReadUntilOverallTimeoutWithoutInterPacket) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.port.InterPacketTimeout = false;
  h.fake->incoming = "23";
  EXPECT_EQ(h.port.ReadUntil(1000, "\r\n"), "");
  EXPECT_EQ(h.port.LastErrorCode, 9997);
  EXPECT_EQ(h.port.LineBuffer, "23");
}

TEST(SerialCore, ReadTextThatTimesOutKeepsItsBytes) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.fake->incoming = "ab";
  EXPECT_EQ(h.port.ReadText(4, 100), "");
  EXPECT_EQ(h.port.LastErrorCode, 9997);
  EXPECT_EQ(h.port.LineBuffer, "ab");
  h.fake->incoming = "cd";
  EXPECT_EQ(h.port.ReadText(4, 100), "abcd");
}

TEST(SerialCore, HugeCountedTextLengthDoesNotReserveIt) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.fake->incoming = std::string("\xFF\xFF\xFF\x7F", 4) + "short";
  EXPECT_EQ(h.port.ReadCountedText(50), "");
  EXPECT_EQ(h.port.LastErrorCode, 9997);
  EXPECT_EQ(h.port.LineBuffer, "short");
}

TEST(SerialCore, ModemCommandCollectsRepliesAndRestoresLineEnds) {
  const struct {
    const char* what;
    const char* reply;
    bool dial, ok;
    const char* result;
  } rows[] = {
      {"ok", "AT\r\r\nOK\r\n", false, true, "\r\nOK\r\n"},
      {"error", "ERROR\r\n", false, false, "ERROR\r\n"},
      {"silence", "", false, false, "\r\n"},
      {"connect", "ATD1\rCONNECT 9600\r\n", true, true, "CONNECT 9600\r\n"},
      {"busy", "\r\nBUSY\r\n", true, false, "\r\nBUSY\r\n"},
  };
  for (const auto& row : rows) {
    Harness h;
    h.port.OpenPort("/dev/fake");
    h.fake->incoming = row.reply;
    const std::string command = row.dial ? "ATD1" : "AT";
    const std::string got = row.dial ? h.port.ModemDial(command) : h.port.ModemCommand(command);
    EXPECT_EQ(got, row.result) << row.what;
    EXPECT_EQ(h.port.ModemReplyOk, row.ok) << row.what;
    EXPECT_FALSE(h.port.ConvertLineEnd) << row.what;
    EXPECT_EQ(h.fake->sent, command + "\r") << row.what;
  }
}

TEST(SerialCore, HookExceptionLeavesTheOperation) {
  Harness h;
  h.port.OnStatus = [](TSerialPort*, THookSerialReason r, const std::string&) {
    if (r == HR_Connect) throw std::runtime_error("hook");
  };
  EXPECT_THROW(h.port.OpenPort("/dev/fake"), std::runtime_error);
  EXPECT_TRUE(h.port.Connected);
}

TEST(SerialCore, DestructorSwallowsFailuresOfTheClose) {
  auto* fake = new FakeBackend;
  {
    TSerialPort port{std::unique_ptr<SerialBackend>(fake)};
    port.OpenPort("/dev/fake");
    port.RaiseExcept = true;
    port.OnStatus = [](TSerialPort*, THookSerialReason, const std::string&) {
      throw std::runtime_error("hook");
    };
    fake->failError = EIO;
  }
  SUCCEED();
}

TEST(SerialCore, ClosePortReleasesTheHandleEvenWhenThePurgeRaises) {
  Harness h;
  h.port.OpenPort("/dev/fake");
  h.port.RaiseExcept = true;
  h.fake->failError = EIO;
  EXPECT_THROW(h.port.ClosePort(), ESerialError);
  EXPECT_EQ(h.port.Handle, -1);
  EXPECT_FALSE(h.port.Connected);
  h.fake->failError = 0;
  EXPECT_NO_THROW(h.port.OpenPort("/dev/fake"));
  EXPECT_TRUE(h.port.Connected);
}

}  // namespace
}  // namespace tempolog
