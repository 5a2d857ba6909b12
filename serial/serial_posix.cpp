// The POSIX serial backend (Linux; builds on macOS and the BSDs).
//
// What it uses: open with O_NOCTTY | O_NONBLOCK, TIOCEXCL plus an advisory
// flock so that a port already held refuses a second opener (root included),
// raw termios built from the line-settings record, poll() with millisecond
// bounds in place of the comm-event waits, FIONREAD / TIOCOUTQ for queue
// counts, tcflush for purging, TIOCOUTQ then tcdrain for flushing,
// TIOCMGET / TIOCMBIS / TIOCMBIC for the modem lines, TIOCSBRK / TIOCCBRK.
//
// What it cannot do: there is no driver input-queue size to set (SetupQueues
// succeeds without effect), no line-error word (errors arrive inside the data
// stream, so the flags are always 0), no XON/XOFF limits (kept only in the
// record), no 1.5 stop bits (two are set), and mark/space parity only where the
// platform has CMSPAR. A pseudo-terminal has no modem lines: those calls fail
// and the failure is recorded like any other.
//
// A device that vanishes hangs the terminal up: poll reports POLLHUP, read
// returns 0 and ioctls fail with EIO. Every wait here ends at once on that.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/PosixSysCalls.h"
#include "serial/SerialBackend.h"

namespace tempolog {

namespace {

#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif

#ifdef CRTSCTS
constexpr tcflag_t kHardwareFlow = CRTSCTS;
#else
constexpr tcflag_t kHardwareFlow = 0;
#endif

#ifdef O_CLOEXEC
constexpr int kCloseOnExec = O_CLOEXEC;
#else
constexpr int kCloseOnExec = 0;
#endif

struct BaudEntry {
  uint32_t rate;
  speed_t code;
};

// The rates this platform names.
const BaudEntry kBaudRates[] = {
    {50, B50},           {75, B75},     {110, B110},   {134, B134},     {150, B150},
    {200, B200},         {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

bool BaudCode(uint32_t rate, speed_t& code) {
  for (const BaudEntry& e : kBaudRates)
    if (e.rate == rate) {
      code = e.code;
      return true;
    }
  return false;
}

uint32_t BaudRate(speed_t code) {
  for (const BaudEntry& e : kBaudRates)
    if (e.code == code) return e.rate;
  return 0;
}

uint32_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms =
      static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

// A zero-length sleep does nothing here: every wait of this backend blocks in
// poll, and giving the processor away before it only adds scheduler latency
// to each query on a busy machine.
void SleepFor(int32_t ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) == -1 && errno == EINTR) {
  }
}

// Milliseconds left until `deadline`, never negative.
int32_t Remaining(uint32_t start, int32_t bound) {
  const int64_t left = int64_t{bound} - int64_t{TickSpan(start, MonotonicMs())};
  return left > 0 ? static_cast<int32_t>(left) : 0;
}

// Puts a terminal in raw mode: no line editing, echo, signals or byte
// translation, reads that return at once. The line settings stay.
void MakeRaw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

class PosixBackend final : public SerialBackend {
 public:
  int LastError() override { return error_; }
  void ResetLastError() override { error_ = 0; }

  intptr_t OpenDevice(const std::string& path, bool lock) override {
    PosixSysCalls& sys = SysCalls();
    int fd = -1;
    do {
      fd = sys.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | kCloseOnExec);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) return Fail(errno);
    termios t{};
    if (sys.tcgetattr(fd, &t) == -1) {  // a regular file, a pipe, a non-terminal device
      const int e = errno;
      sys.close(fd);
      return Fail(e == EINVAL ? ENOTTY : e);
    }
    // The advisory lock comes first: it also stops root, and a refused
    // opener must not leave the exclusive flag on someone else's port.
    if (lock && sys.flock(fd, LOCK_EX | LOCK_NB) == -1) {
      const int e = errno;
      sys.close(fd);
      return Fail(e == EWOULDBLOCK || e == EAGAIN ? EBUSY : e);
    }
    exclusive_ = sys.ioctl(fd, TIOCEXCL, nullptr) == 0;
    return fd;
  }

  bool CloseDevice(intptr_t handle) override {
    PosixSysCalls& sys = SysCalls();
    const int fd = static_cast<int>(handle);
    if (exclusive_) sys.ioctl(fd, TIOCNXCL, nullptr);
    exclusive_ = false;
    sys.flock(fd, LOCK_UN);
    if (sys.close(fd) == -1 && errno != EINTR) return Refuse(errno);
    return true;
  }

  void PrepareDevice(intptr_t handle, int32_t) override {
    termios t{};
    const int fd = static_cast<int>(handle);
    if (SysCalls().tcgetattr(fd, &t) == -1) return;
    MakeRaw(t);
    SysCalls().tcsetattr(fd, &t);
  }

  bool SetupQueues(intptr_t handle, int32_t, int32_t) override {
    termios t{};
    if (SysCalls().tcgetattr(static_cast<int>(handle), &t) == -1) return Refuse(errno);
    return true;
  }

  bool GetLineSettings(intptr_t handle, TLineSettings& s) override {
    termios t{};
    if (SysCalls().tcgetattr(static_cast<int>(handle), &t) == -1) return Refuse(errno);
    TLineSettings r = stored_;  // fields termios does not hold
    r.DCBlength = sizeof(TLineSettings);
    r.BaudRate = BaudRate(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
      case CS5: r.ByteSize = 5; break;
      case CS6: r.ByteSize = 6; break;
      case CS7: r.ByteSize = 7; break;
      default: r.ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB)) r.Parity = NOPARITY;
    else if (kStickParity && (t.c_cflag & kStickParity))
      r.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else r.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    r.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    uint32_t flags = fBinary | DTR_CONTROL_ENABLE;
    if ((t.c_cflag & PARENB) && (t.c_iflag & INPCK)) flags |= fParity;
    if (t.c_iflag & IXON) flags |= fOutX;
    if (t.c_iflag & IXOFF) flags |= fInX;
    const bool hardware = kHardwareFlow && (t.c_cflag & kHardwareFlow) == kHardwareFlow;
    flags |= hardware ? (fOutxCtsFlow | RTS_CONTROL_HANDSHAKE) : RTS_CONTROL_ENABLE;
    r.Flags = flags;
    r.XonChar = static_cast<char>(t.c_cc[VSTART]);
    r.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    s = r;
    return true;
  }

  bool SetLineSettings(intptr_t handle, const TLineSettings& s) override {
    const int fd = static_cast<int>(handle);
    termios t{};
    if (SysCalls().tcgetattr(fd, &t) == -1) return Refuse(errno);
    speed_t speed{};
    if (!BaudCode(s.BaudRate, speed)) return Refuse(EINVAL);
    tcflag_t size = 0;
    switch (s.ByteSize) {
      case 5: size = CS5; break;
      case 6: size = CS6; break;
      case 7: size = CS7; break;
      case 8: size = CS8; break;
      default: return Refuse(EINVAL);
    }
    tcflag_t parity = 0;
    switch (s.Parity) {
      case NOPARITY: break;
      case ODDPARITY: parity = PARENB | PARODD; break;
      case EVENPARITY: parity = PARENB; break;
      case MARKPARITY:
      case SPACEPARITY:
        if (!kStickParity) return Refuse(EINVAL);
        parity = PARENB | kStickParity | (s.Parity == MARKPARITY ? PARODD : 0);
        break;
      default: return Refuse(EINVAL);
    }
    if (s.StopBits > TWOSTOPBITS) return Refuse(EINVAL);
    const bool hardware =
        (s.Flags & fOutxCtsFlow) || (s.Flags & RTS_CONTROL_MASK) == RTS_CONTROL_HANDSHAKE;
    if (hardware && !kHardwareFlow) return Refuse(EINVAL);

    MakeRaw(t);
    t.c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | kStickParity | kHardwareFlow);
    t.c_cflag |=
        size | parity | (s.StopBits != ONESTOPBIT ? CSTOPB : 0) | (hardware ? kHardwareFlow : 0);
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
    if ((s.Flags & fParity) && parity) t.c_iflag |= INPCK;
    if (s.Flags & fOutX) t.c_iflag |= IXON;
    if (s.Flags & fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (SysCalls().tcsetattr(fd, &t) == -1) return Refuse(errno);
    stored_ = s;
    return true;
  }

  bool GetModemStatus(intptr_t handle, uint32_t& status) override {
    int bits = 0;
    if (SysCalls().ioctl(static_cast<int>(handle), TIOCMGET, &bits) == -1) return Refuse(errno);
    status = 0;
    if (bits & TIOCM_CTS) status |= MS_CTS_ON;
    if (bits & TIOCM_DSR) status |= MS_DSR_ON;
    if (bits & TIOCM_RNG) status |= MS_RING_ON;
    if (bits & TIOCM_CAR) status |= MS_RLSD_ON;
    return true;
  }

  bool EscapeFunction(intptr_t handle, int function) override {
    int bits = 0;
    unsigned long request = TIOCMBIS;
    switch (function) {
      case SETRTS: bits = TIOCM_RTS; break;
      case CLRRTS:
        bits = TIOCM_RTS;
        request = TIOCMBIC;
        break;
      case SETDTR: bits = TIOCM_DTR; break;
      case CLRDTR:
        bits = TIOCM_DTR;
        request = TIOCMBIC;
        break;
      default: return Refuse(EINVAL);
    }
    if (SysCalls().ioctl(static_cast<int>(handle), request, &bits) == -1) return Refuse(errno);
    return true;
  }

  bool SetBreak(intptr_t handle, bool on) override {
    if (SysCalls().ioctl(static_cast<int>(handle), on ? TIOCSBRK : TIOCCBRK, nullptr) == -1)
      return Refuse(errno);
    return true;
  }

  bool Purge(intptr_t handle, uint32_t mask) override {
    const bool out = mask & (PURGE_TXABORT | PURGE_TXCLEAR);
    const bool in = mask & PURGE_RXCLEAR;  // an aborted read leaves the data
    if (!out && !in) return Check(static_cast<int>(handle));
    const int queue = out && in ? TCIOFLUSH : out ? TCOFLUSH : TCIFLUSH;
    if (SysCalls().tcflush(static_cast<int>(handle), queue) == -1) return Refuse(errno);
    return true;
  }

  bool Flush(intptr_t handle, int32_t deadlockMs) override {
    // tcdrain alone could wait for ever on a stalled line: wait for the
    // queue to empty with a bound first, then for the last byte to leave.
    const int fd = static_cast<int>(handle);
    const uint32_t start = MonotonicMs();
    for (;;) {
      int unsent = 0;
      if (SysCalls().ioctl(fd, TIOCOUTQ, &unsent) == -1) return Refuse(errno);
      if (unsent <= 0) break;
      if (Remaining(start, deadlockMs) == 0) return Refuse(ETIMEDOUT);
      SleepFor(1);
    }
    while (SysCalls().tcdrain(fd) == -1) {
      if (errno != EINTR) return Refuse(errno);
    }
    return true;
  }

  bool ClearError(intptr_t handle, uint32_t& flags, int32_t& inQueue, int32_t& outQueue) override {
    const int fd = static_cast<int>(handle);
    int in = 0, out = 0;
    if (SysCalls().ioctl(fd, FIONREAD, &in) == -1) return Refuse(errno);
    if (SysCalls().ioctl(fd, TIOCOUTQ, &out) == -1) return Refuse(errno);
    flags = 0;
    inQueue = in;
    outQueue = out;
    return true;
  }

  bool InputWaiting(intptr_t handle, int32_t& inQueue) override {
    int in = 0;
    if (SysCalls().ioctl(static_cast<int>(handle), FIONREAD, &in) == -1) return Refuse(errno);
    inQueue = in;
    return true;
  }

  bool HasLineErrorWord() override { return false; }

  TransferEnd Write(intptr_t handle, const void* buffer, int32_t count, int32_t deadlockMs,
                    int32_t& done) override {
    const int fd = static_cast<int>(handle);
    const char* bytes = static_cast<const char*>(buffer);
    const uint32_t start = MonotonicMs();
    done = 0;
    while (done < count) {
      const long n = SysCalls().write(fd, bytes + done, static_cast<std::size_t>(count - done));
      if (n > 0) {
        done += static_cast<int32_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        Fail(errno);
        return TransferEnd::Failed;
      }
      const int r = WaitFor(fd, POLLOUT, Remaining(start, deadlockMs));
      if (r < 0) return TransferEnd::Failed;
      if (r == 0) {
        SysCalls().tcflush(fd, TCOFLUSH);
        return TransferEnd::TimedOut;
      }
    }
    return TransferEnd::Done;
  }

  TransferEnd Read(intptr_t handle, void* buffer, int32_t count, int32_t deadlockMs,
                   int32_t& done) override {
    const int fd = static_cast<int>(handle);
    const uint32_t start = MonotonicMs();
    done = 0;
    if (count <= 0) return TransferEnd::Done;
    for (;;) {
      const long n = SysCalls().read(fd, buffer, static_cast<std::size_t>(count));
      if (n > 0) {
        done = static_cast<int32_t>(n);
        return TransferEnd::Done;
      }
      if (n == 0) {  // end of file: the other side hung up
        Fail(EIO);
        return TransferEnd::Failed;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        Fail(errno);
        return TransferEnd::Failed;
      }
      const int r = WaitFor(fd, POLLIN, Remaining(start, deadlockMs));
      if (r < 0) return TransferEnd::Failed;
      if (r == 0) return TransferEnd::TimedOut;
    }
  }

  int WaitEvent(intptr_t handle, uint32_t mask, int32_t timeoutMs) override {
    const int fd = static_cast<int>(handle);
    if (mask == EV_RXCHAR) return WaitFor(fd, POLLIN, timeoutMs);
    if (mask == EV_TXEMPTY) {
      // No event tells that the output queue ran empty: look every few ms.
      const uint32_t start = MonotonicMs();
      for (;;) {
        int unsent = 0;
        if (SysCalls().ioctl(fd, TIOCOUTQ, &unsent) == -1) return Fail(errno);
        if (unsent <= 0) return 1;
        const int32_t left = Remaining(start, timeoutMs);
        if (left == 0) return 0;
        SleepFor(std::min<int32_t>(left, 2));
      }
    }
    Fail(EINVAL);
    return -1;
  }

  bool WaitMissesQueuedInput() override { return false; }  // poll sees queued bytes

  uint32_t TickMs() override { return MonotonicMs(); }
  void SleepMs(int32_t ms) override { SleepFor(ms); }
  bool DriverTogglesRts() override { return false; }
  uint16_t PortAddress(intptr_t) override { return 0; }
  bool TransmitterEmpty(uint16_t) override { return true; }

 private:
  int Fail(int e) {
    error_ = e != 0 ? e : EIO;
    return -1;
  }

  bool Refuse(int e) {
    Fail(e);
    return false;
  }

  bool Check(int fd) {
    termios t{};
    if (SysCalls().tcgetattr(fd, &t) == -1) return Refuse(errno);
    return true;
  }

  // Waits for `events` at most `timeoutMs`: 1 ready, 0 time-out, -1 failed.
  // A hang-up or error condition without the wanted event fails at once.
  int WaitFor(int fd, short events, int32_t timeoutMs) {
    const uint32_t start = MonotonicMs();
    for (;;) {
      short revents = 0;
      const int r = SysCalls().poll(fd, events, Remaining(start, timeoutMs), revents);
      if (r < 0) {
        if (errno == EINTR) continue;
        return Fail(errno);
      }
      if (r == 0) return 0;
      if (revents & POLLNVAL) return Fail(EBADF);
      if (revents & (POLLHUP | POLLERR)) return Fail(EIO);
      if (revents & events) return 1;
      if (Remaining(start, timeoutMs) == 0) return 0;
    }
  }

  int error_ = 0;
  bool exclusive_ = false;
  TLineSettings stored_{};
};

int RealPoll(int fd, short events, int timeoutMs, short& revents) {
  pollfd p{fd, events, 0};
  const int r = ::poll(&p, 1, timeoutMs);
  revents = p.revents;
  return r;
}

// glibc's strerror_r returns the text; the POSIX one fills the buffer.
[[maybe_unused]] const char* ErrorTextFrom(const char* text, const char*) { return text; }
[[maybe_unused]] const char* ErrorTextFrom(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}

}  // namespace

PosixSysCalls RealSysCalls() {
  PosixSysCalls c;
  c.open = [](const char* path, int flags) { return ::open(path, flags); };
  c.close = [](int fd) { return ::close(fd); };
  c.read = [](int fd, void* b, std::size_t n) { return static_cast<long>(::read(fd, b, n)); };
  c.write = [](int fd, const void* b, std::size_t n) {
    return static_cast<long>(::write(fd, b, n));
  };
  c.poll = RealPoll;
  c.ioctl = [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); };
  c.tcgetattr = [](int fd, void* t) { return ::tcgetattr(fd, static_cast<termios*>(t)); };
  c.tcsetattr = [](int fd, const void* t) {
    return ::tcsetattr(fd, TCSANOW, static_cast<const termios*>(t));
  };
  c.tcflush = [](int fd, int queue) { return ::tcflush(fd, queue); };
  c.tcdrain = [](int fd) { return ::tcdrain(fd); };
  c.flock = [](int fd, int op) { return ::flock(fd, op); };
  return c;
}

PosixSysCalls& SysCalls() {
  static PosixSysCalls calls = RealSysCalls();
  return calls;
}

std::unique_ptr<SerialBackend> MakePlatformBackend() { return std::make_unique<PosixBackend>(); }

uint32_t CurrentTickMs() { return MonotonicMs(); }

std::string PortNumberPath(int32_t portNumber, const std::string& name) {
  // A name that is already a path names its device exactly (paths are
  // case-sensitive here: /dev/ttys003 is not /dev/ttyS3).
  if (!name.empty() && name[0] == '/') return name;
  return "/dev/ttyS" + std::to_string(portNumber);
}

std::string SystemErrorMessage(int code) {
  char buffer[256] = {};
  std::string text = ErrorTextFrom(strerror_r(code, buffer, sizeof buffer), buffer);
  if (text.rfind("Unknown error", 0) == 0) return std::string();
  return text;
}

}  // namespace tempolog
