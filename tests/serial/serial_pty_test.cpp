// The serial port object on real pseudo-terminals: the test plays the
// instrument on the master side of a pair that each fixture opens itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "serial/PosixSysCalls.h"
#include "serial/SerialPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// CPU time this process has used, in ms.
int64_t CpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override {
    port.OnStatus = [this](TSerialPort*, THookSerialReason r, const std::string& v) {
      hooks.emplace_back(r, v);
    };
    port.OpenPort(pty.SlavePath());
    ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
    port.Configure(2400, 8, 'N', 0, false, false);
    ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
    hooks.clear();
  }

  std::vector<std::pair<THookSerialReason, std::string>> hooks;  // outlives the port
  PtyPair pty;
  TSerialPort port;
};

TEST_F(SerialPty, ReplySplitByAGapKeepsTheRestForTheNextRead) {
  pty.Send("23.5");
  std::thread later = pty.SendLater("\r\nxyz", 100);
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "23.5");
  later.join();
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.LineBuffer, "xyz");
  pty.Send("\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "xyz");
  EXPECT_EQ(port.LineBuffer, "");
}

TEST_F(SerialPty, NoReplyTimesOutAndKeepsThePartialBytes) {
  pty.Send("23.");
  const auto start = Clock::now();
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "");
  const int64_t took = MsSince(start);
  EXPECT_EQ(port.LastErrorCode, 9997);
  EXPECT_EQ(port.LastErrorText, "Timeout during operation");
  EXPECT_FALSE(DeviceGone(port.LastErrorCode)) << "a silent device is still there";
  EXPECT_EQ(port.LineBuffer, "23.");
  EXPECT_GE(took, 900);
  EXPECT_LT(took, 3000);
  pty.Send("5\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "23.5");
}

TEST_F(SerialPty, ConvertLineEndDropsTheLateLineFeed) {
  port.ConvertLineEnd = true;
  pty.Send("A\r");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "A");
  EXPECT_TRUE(port.PendingCR);
  pty.Send("\nB\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "B");
  pty.Send("C\nD\n\rE\r");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "C");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "D");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "E");
}

TEST_F(SerialPty, OtherTerminatorIsSearchedExactly) {
  port.ConvertLineEnd = true;
  pty.Send("a\rb;c\r\n;");
  EXPECT_EQ(port.ReadUntil(1000, ";"), "a\rb");
  EXPECT_EQ(port.ReadUntil(1000, ";"), "c\r\n");
  pty.Send("x;");
  EXPECT_EQ(port.ReadUntil(1000, "\n"), "");  // ConvertLineEnd applies to CR LF only
  EXPECT_EQ(port.LastErrorCode, 9997);
}

TEST_F(SerialPty, TerminatorSplitAcrossChunksIsFound) {
  pty.Send("12<E");
  std::thread later = pty.SendLater("ND>rest", 50);
  EXPECT_EQ(port.ReadUntil(1000, "<END>"), "12");
  later.join();
  EXPECT_EQ(port.LineBuffer, "rest");
}

TEST_F(SerialPty, MaxLineLengthWinsEvenWhenTheTerminatorCame) {
  port.MaxLineLength = 4;
  pty.Send("12345\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "12345");
  EXPECT_EQ(port.LastErrorCode, 9996);
  EXPECT_EQ(port.LastErrorText, "Maximal buffer length exceeded");
}

TEST_F(SerialPty, EndlessBytesWithoutLineEndStopAtMaxLineLength) {
  port.MaxLineLength = 64;
  std::atomic<bool> stop{false};
  std::thread spew([&] {
    while (!stop) {
      pty.Send(std::string(16, 'z'));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "");
  stop = true;
  spew.join();
  EXPECT_EQ(port.LastErrorCode, 9996);
  EXPECT_GT(port.LineBuffer.size(), 64u);
}

TEST_F(SerialPty, EmptyTerminatorReturnsAtOnce) {
  EXPECT_EQ(port.ReadUntil(1000, ""), "");
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(SerialPty, RaiseExceptOnTimeout) {
  port.RaiseExcept = true;
  try {
    port.ReadUntil(200, "\r\n");
    FAIL() << "no exception";
  } catch (const ESerialError& e) {
    EXPECT_EQ(e.Message(), "Communication error 9997: Timeout during operation");
    EXPECT_EQ(e.ErrorNumber, 9997);
    EXPECT_EQ(e.ErrorText, "Timeout during operation");
  }
  EXPECT_EQ(port.LastErrorCode, 9997);
}

TEST_F(SerialPty, RaisedTimeoutKeepsThePartialLine) {
  port.RaiseExcept = true;
  pty.Send("23.");
  EXPECT_THROW(port.ReadUntil(200, "\r\n"), ESerialError);
  EXPECT_EQ(port.LineBuffer, "23.");
}

TEST_F(SerialPty, HookReportsForOpenWriteReadClose) {
  std::vector<std::pair<THookSerialReason, std::string>> seen;  // outlives the port
  TSerialPort other;
  other.OnStatus = [&](TSerialPort* sender, THookSerialReason r, const std::string& v) {
    EXPECT_EQ(sender, &other);
    seen.emplace_back(r, v);
  };
  port.ClosePort();
  other.OpenPort(pty.SlavePath());
  other.WriteText("01X?\r");
  EXPECT_EQ(pty.Receive(), "01X?\r");
  std::thread later = pty.SendLater("23.5\r\n", 50);
  EXPECT_EQ(other.ReadUntil(1000, "\r\n"), "23.5");
  later.join();
  other.WriteText("");
  other.ClosePort();
  const std::vector<std::pair<THookSerialReason, std::string>> expected = {
      {HR_Connect, pty.SlavePath()}, {HR_WriteCount, "5"}, {HR_CanRead, ""},
      {HR_ReadCount, "6"},           {HR_WriteCount, "0"}, {HR_SerialClose, pty.SlavePath()},
  };
  EXPECT_EQ(seen, expected);
}

TEST_F(SerialPty, ReadByteValueTakesFromTheBufferFirst) {
  port.LineBuffer = "AB";
  EXPECT_EQ(port.ReadByteValue(100), 'A');
  EXPECT_EQ(port.LineBuffer, "B");
  EXPECT_EQ(port.ReadByteValue(100), 'B');
  pty.Send(std::string("\0Z", 2));
  EXPECT_EQ(port.ReadByteValue(1000), 0);
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.ReadByteValue(1000), 'Z');
  EXPECT_EQ(port.ReadByteValue(100), 0);
  EXPECT_EQ(port.LastErrorCode, 9997);
}

TEST_F(SerialPty, EveryByteValuePassesUnchanged) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  port.WriteText(all);
  EXPECT_EQ(port.LastErrorCode, 0);
  std::string got;
  while (got.size() < all.size()) {
    const std::string more = pty.Receive();
    if (more.empty()) break;
    got += more;
  }
  EXPECT_EQ(got, all);
  pty.Send(all);
  EXPECT_EQ(port.ReadText(256, 1000), all);
  pty.Send(std::string("a\0b\r\n", 5));
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), std::string("a\0b", 3));
}

TEST_F(SerialPty, FramedTransfersRoundTrip) {
  const std::string text("counted\0text", 12);
  std::string data(20000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  const std::size_t total = 4 + 4 + text.size() + 2 * (4 + data.size()) + 1;
  std::string wire;
  std::thread collect([&] {  // the instrument takes what comes while the port sends
    while (wire.size() < total) {
      const std::string more = pty.Receive();
      if (more.empty()) return;
      wire += more;
    }
  });
  port.WriteInt32(-2);
  port.WriteCountedText(text);
  std::istringstream in1(data), in2(data);
  port.WriteStreamCounted(in1);
  port.WriteStreamCountedBE(in2);
  port.WriteByteValue(0x42);
  collect.join();
  ASSERT_EQ(port.LastErrorCode, 0);
  ASSERT_EQ(wire.size(), total);
  EXPECT_EQ(wire.substr(0, 4), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(wire.substr(8 + text.size() + 4 + data.size(), 4), std::string("\0\0\x4E\x20", 4));
  std::thread echo([&] { pty.Send(wire); });
  EXPECT_EQ(port.ReadInt32(1000), -2);
  EXPECT_EQ(port.ReadCountedText(1000), text);
  std::ostringstream out1, out2;
  port.ReadStreamCounted(out1, 1000);
  port.ReadStreamCountedBE(out2, 1000);
  EXPECT_EQ(port.ReadByteValue(1000), 0x42);
  echo.join();
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(out1.str(), data);
  EXPECT_EQ(out2.str(), data);
  std::ostringstream rest;
  pty.Send("tail");
  port.ReadStreamUntilError(rest, 100);
  EXPECT_EQ(rest.str(), "tail");
  EXPECT_EQ(port.LastErrorCode, 9997);
}

TEST_F(SerialPty, ConfigureReadsBackFromTheTerminal) {
  // A pseudo-terminal keeps speed, stop bits and flow control but always
  // runs 8 data bits without parity: those are checked without a device.
  const struct {
    int baud, bits;
    char parity;
    int stop;
    bool soft, hard;
    uint8_t wantStop;
  } rows[] = {
      {2400, 8, 'N', 0, false, false, ONESTOPBIT},  {9600, 7, 'E', 2, true, false, TWOSTOPBITS},
      {115200, 8, 'O', 0, false, true, ONESTOPBIT}, {19200, 8, 'M', 0, false, false, ONESTOPBIT},
      {19200, 8, 'S', 0, false, false, ONESTOPBIT},
  };
  for (const auto& row : rows) {
    port.Configure(row.baud, row.bits, row.parity, row.stop, row.soft, row.hard);
    EXPECT_EQ(port.LastErrorCode, 0) << row.baud << row.parity << " " << port.LastErrorText;
    port.FetchLineSettings();
    const TLineSettings& s = port.LineSettings;
    EXPECT_EQ(s.BaudRate, static_cast<uint32_t>(row.baud)) << row.baud;
    EXPECT_EQ(s.StopBits, row.wantStop) << row.baud;
    EXPECT_EQ((s.Flags & fOutX) != 0, row.soft) << row.baud;
    EXPECT_EQ((s.Flags & fInX) != 0, row.soft) << row.baud;
    EXPECT_EQ((s.Flags & RTS_CONTROL_MASK) == RTS_CONTROL_HANDSHAKE, row.hard) << row.baud;
    EXPECT_EQ(s.XonChar, 17);
    EXPECT_EQ(s.XoffChar, 19);
    EXPECT_EQ(s.XonLim, 1024) << "kept from the last record stored";
  }
  port.Configure(12345, 8, 'N', 0, false, false);  // no such rate
  EXPECT_EQ(port.LastErrorCode, EINVAL);
  port.Configure(2400, 9, 'N', 0, false, false);
  EXPECT_EQ(port.LastErrorCode, EINVAL);
  port.Configure(2400, 8, 'N', 0, false, false);
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(SerialPty, ModemLinesOfAPseudoTerminalFailCleanly) {
  port.ReadModemStatus();
  EXPECT_NE(port.LastErrorCode, 0) << "a pseudo-terminal has no modem lines";
  EXPECT_FALSE(port.LastErrorText.empty());
  port.SetDtrLine(false);
  port.SetRtsLine(true);
  port.SendBreak(1);
  port.FlushOutput();
  EXPECT_EQ(port.LastErrorCode, 0);
  port.PurgeAll();
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.BytesUnsent(), 0);
  EXPECT_TRUE(port.WaitWritable(100));
  port.WriteText("still fine\r");
  EXPECT_EQ(pty.Receive(), "still fine\r");
}

TEST_F(SerialPty, PurgeDiscardsReceivedBytesAndTheBuffer) {
  pty.Send("old");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  port.LineBuffer = "older";
  port.PendingCR = true;  // a lone CR ended the last line
  EXPECT_EQ(port.BytesAvailable(), 5);
  port.PurgeAll();
  EXPECT_EQ(port.LineBuffer, "");
  EXPECT_FALSE(port.PendingCR) << "its partner went with the purge";
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_FALSE(port.WaitReadableOrBuffered(50));
}

// The device vanishes: the master side closes while a read waits.
TEST_F(SerialPty, VanishingDeviceEndsTheReadAtOnceAndEveryLaterCallFails) {
  pty.Send("23.");
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pty.CloseMaster();
  });
  const auto start = Clock::now();
  const int64_t cpuBefore = CpuMs();
  EXPECT_EQ(port.ReadUntil(5000, "\r\n"), "");
  const int64_t took = MsSince(start);
  unplug.join();
  EXPECT_LT(took, 2500) << "the read must end when the device goes";
  EXPECT_EQ(port.LastErrorCode, EIO) << port.LastErrorText;
  EXPECT_EQ(port.LineBuffer, "23.") << "what came before stays";

  // Later operations fail at once, without waiting or spinning.
  const auto later = Clock::now();
  port.WriteText("01X?\r");
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_EQ(port.ReadUntil(5000, "\r\n"), "");
  EXPECT_NE(port.LastErrorCode, 0);
  EXPECT_EQ(port.ReadUntil(5000, "\r\n"), "");
  EXPECT_EQ(port.LastErrorCode, EIO);
  char buffer[4];
  EXPECT_EQ(port.ReadBuffer(buffer, 4, 5000), 3) << "hands out the 23. it had";
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_EQ(port.ReadBuffer(buffer, 4, 5000), 0);
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_FALSE(port.WaitReadable(5000));
  EXPECT_FALSE(port.WaitWritable(5000));
  port.Configure(2400, 8, 'N', 0, false, false);
  EXPECT_NE(port.LastErrorCode, 0);
  EXPECT_LT(MsSince(later), 2500);
  EXPECT_LT(CpuMs() - cpuBefore, 500) << "no busy loop";

  port.RaiseExcept = true;
  EXPECT_THROW(port.ReadUntil(5000, "\r\n"), ESerialError);
  port.RaiseExcept = false;
  port.ClosePort();
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.Handle, -1);

  PtyPair fresh;  // a new adapter plugged in
  port.OpenPort(fresh.SlavePath());
  ASSERT_EQ(port.LastErrorCode, 0);
  fresh.Send("24.0\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "24.0");
}

TEST_F(SerialPty, DeviceGoneBeforeTheQueryFailsTheWrite) {
  pty.CloseMaster();
  const auto start = Clock::now();
  port.WriteText("01X?\r");
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_EQ(port.ReadUntil(5000, "\r\n"), "");
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_TRUE(DeviceGone(port.LastErrorCode));
  EXPECT_LT(MsSince(start), 2500) << "no waiting for a device that is gone";
}

// ------------------------------------------------------------- opening

class TempFolder {
 public:
  TempFolder() { path_ = testing_support::MakeTemporaryFolder("serial-test"); }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(SerialOpen, BadTargetsGiveClearErrorsAndNoReport) {
  TempFolder folder;
  const std::string file = folder.path() + "/plain.txt";
  std::ofstream(file) << "not a port";
  // `gone`: the error says the device is not there (it may come back).
  const struct {
    std::string path;
    int error;
    bool gone;
  } rows[] = {
      {"/dev/no-such-port", ENOENT, true},
      {folder.path(), EISDIR, false},
      {file, ENOTTY, false},
      {"/dev/null", ENOTTY, false},
      {"", ENOENT, true},
  };
  for (const auto& row : rows) {
    TSerialPort port;
    int reports = 0;
    port.OnStatus = [&](TSerialPort*, THookSerialReason, const std::string&) { ++reports; };
    port.OpenPort(row.path);
    EXPECT_EQ(port.LastErrorCode, row.error) << row.path;
    EXPECT_EQ(DeviceGone(port.LastErrorCode), row.gone) << row.path;
    EXPECT_EQ(port.Handle, -1) << row.path;
    EXPECT_FALSE(port.Connected) << row.path;
    EXPECT_EQ(reports, 0) << row.path;
  }
  EXPECT_EQ(TSerialPort::GetErrorDesc(ENOENT), "No such file or directory");
}

TEST(SerialOpen, APortAlreadyHeldRefusesASecondOpener) {
  if (geteuid() != 0) GTEST_SKIP() << "checks that even root is refused, and drops to nobody";
  PtyPair pty;
  TSerialPort first, second;
  first.OpenPort(pty.SlavePath());
  ASSERT_EQ(first.LastErrorCode, 0);
  second.OpenPort(pty.SlavePath());  // root passes the exclusive flag: the lock stops it
  EXPECT_EQ(second.LastErrorCode, EBUSY);
  EXPECT_EQ(second.Handle, -1);
  EXPECT_EQ(TSerialPort::GetErrorDesc(EBUSY), "Device or resource busy");
  first.WriteText("still mine\r");  // the refused opener did not disturb the holder
  EXPECT_EQ(pty.Receive(), "still mine\r");

  // An unprivileged opener is stopped by the exclusive flag itself.
  chmod(pty.SlavePath().c_str(), 0666);
  auto openAsNobody = [&]() -> int {
    const pid_t child = fork();
    if (child == 0) {
      const passwd* nobody = getpwnam("nobody");
      const uid_t uid = nobody ? nobody->pw_uid : 65534;
      if (setgid(uid) != 0 || setuid(uid) != 0) _exit(100);
      const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      _exit(fd >= 0 ? 0 : errno);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(openAsNobody(), EBUSY);
  second.LinuxLock = false;  // without the lock, root would get through
  first.ClosePort();
  EXPECT_EQ(openAsNobody(), 0) << "closing clears the exclusive flag";
  second.LinuxLock = true;
  second.OpenPort(pty.SlavePath());
  EXPECT_EQ(second.LastErrorCode, 0);
}

// --------------------------------------------------------- system seam

class SerialSeam : public SerialPty {
 protected:
  SysCallsOverride seam;
  PosixSysCalls real = RealSysCalls();
};

TEST_F(SerialSeam, InterruptedAndShortWritesStillSendEverything) {
  int calls = 0;
  seam.calls().write = [&](int fd, const void* b, std::size_t n) -> long {
    ++calls;
    if (calls % 3 == 1) {
      errno = EINTR;
      return -1;
    }
    if (calls % 3 == 2) {
      errno = EAGAIN;
      return -1;
    }
    return real.write(fd, b, std::min<std::size_t>(n, 2));  // short writes
  };
  seam.calls().poll = [&](int fd, short ev, int ms, short& rev) {
    if (calls == 2) {  // one interrupted wait as well
      errno = EINTR;
      ++calls;
      return -1;
    }
    return real.poll(fd, ev, ms, rev);
  };
  port.WriteText("01X?\r");
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(pty.Receive(), "01X?\r");
}

TEST_F(SerialSeam, InterruptedReadIsRetried) {
  int reads = 0;
  seam.calls().read = [&](int fd, void* b, std::size_t n) -> long {
    if (reads++ < 2) {
      errno = reads == 1 ? EINTR : EAGAIN;
      return -1;
    }
    return real.read(fd, b, n);
  };
  pty.Send("23.5\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "23.5");
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(SerialSeam, InputOutputErrorsAreRecorded) {
  seam.calls().read = [](int, void*, std::size_t) -> long {
    errno = EIO;
    return -1;
  };
  pty.Send("23.5\r\n");
  EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "");
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_EQ(port.LastErrorText, "Input/output error");
  seam.calls().write = [](int, const void*, std::size_t) -> long {
    errno = EIO;
    return -1;
  };
  EXPECT_EQ(port.WriteBuffer("x", 1), 0);
  EXPECT_EQ(port.LastErrorCode, EIO);
}

TEST_F(SerialSeam, WriteThatNeverDrainsTimesOut) {
  seam.calls().write = [](int, const void*, std::size_t) -> long {
    errno = EAGAIN;
    return -1;
  };
  seam.calls().poll = [](int, short, int ms, short& rev) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
    rev = 0;
    return 0;
  };
  port.DeadlockTimeout = 100;
  const auto start = Clock::now();
  EXPECT_EQ(port.WriteBuffer("abc", 3), 0);
  EXPECT_EQ(port.LastErrorCode, 9997);
  EXPECT_LT(MsSince(start), 2500);
}

TEST_F(SerialSeam, QueueCountThatFailsEndsTheReadWithItsError) {
  seam.calls().ioctl = [&](int fd, unsigned long request, void* arg) {
    if (request == FIONREAD) {
      errno = EIO;
      return -1;
    }
    return real.ioctl(fd, request, arg);
  };
  const auto start = Clock::now();
  EXPECT_EQ(port.ReadUntil(5000, "\r\n"), "");
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_LT(MsSince(start), 2500);
}

}  // namespace
}  // namespace tempolog
