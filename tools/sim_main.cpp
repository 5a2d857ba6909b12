// tempolog-sim: a thermometer on a pseudo-terminal, registered as a virtual
// serial port so that tempolog lists it and opens it like a real adapter.
// The link is removed when the simulator ends, on SIGINT and SIGTERM too.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "serial/SerialPort.h"
#include "tools/SimInstrument.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

using Clock = std::chrono::steady_clock;

struct Pending {
  Clock::time_point due;
  std::string bytes;
};

bool MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
  std::fprintf(stderr, "tempolog-sim: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
  return false;
}

// Creates the per-user port folder and the link NAME -> slave path. A stale
// link (its device gone) is replaced; a live one belongs to another
// simulator and is left alone.
bool Register(const std::string& folder, const std::string& link, const std::string& target) {
  const std::size_t slash = folder.find_last_of('/');
  if (!MakeFolder(folder.substr(0, slash)) || !MakeFolder(folder)) return false;
  if (!tempolog::VirtualPortFolderIsSafe(folder)) {
    std::fprintf(stderr, "tempolog-sim: %s must belong to you and be writable by no one else\n",
                 folder.c_str());
    return false;
  }
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    struct stat device {};
    if (S_ISLNK(st.st_mode) && stat(link.c_str(), &device) == 0 && S_ISCHR(device.st_mode)) {
      std::fprintf(stderr, "tempolog-sim: port %s is already in use\n", link.c_str());
      return false;
    }
    if (!S_ISLNK(st.st_mode)) {
      std::fprintf(stderr, "tempolog-sim: %s is in the way\n", link.c_str());
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "tempolog-sim: cannot create %s: %s\n", link.c_str(),
                 std::strerror(errno));
    return false;
  }
  return true;
}

void Unregister(const std::string& link, const std::string& target) {
  char buffer[4096];
  const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n > 0 && std::string(buffer, static_cast<std::size_t>(n)) == target) unlink(link.c_str());
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) return false;  // nobody reads: drop the rest
      continue;
    }
    return false;
  }
  return true;
}

// The simulator's end of one pseudo-terminal, registered under the port name.
struct Terminal {
  int master = -1;
  int keeper = -1;  // the slave side, held open
  std::string slave;
  std::string link;
};

// Makes a new pseudo-terminal and registers it as the virtual port `name`.
bool Plug(const std::string& name, Terminal& t) {
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0) {
    std::fprintf(stderr, "tempolog-sim: no pseudo-terminal: %s\n", std::strerror(errno));
    return false;
  }
  const char* slaveName = ptsname(t.master);
  if (!slaveName) {
    std::fprintf(stderr, "tempolog-sim: no pseudo-terminal name\n");
    return false;
  }
  t.slave = slaveName;
  fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK);
  // Holding the slave side open keeps the line up between the monitor's
  // opens and closes, and lets the simulator set raw mode once.
  t.keeper = open(t.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios attributes{};
  if (t.keeper >= 0 && tcgetattr(t.keeper, &attributes) == 0) {
    cfmakeraw(&attributes);
    cfsetspeed(&attributes, B2400);
    tcsetattr(t.keeper, TCSANOW, &attributes);
  }
  const std::string folder = tempolog::VirtualPortFolder();
  t.link = folder + "/" + name;
  if (!Register(folder, t.link, t.slave)) return false;
  std::printf("tempolog-sim: port %s at %s (link %s)\n", name.c_str(), t.slave.c_str(),
              t.link.c_str());
  std::fflush(stdout);
  return true;
}

// Pulls the adapter out: the link goes and the terminal hangs up.
void Unplug(Terminal& t) {
  if (!t.link.empty()) Unregister(t.link, t.slave);
  if (t.keeper >= 0) close(t.keeper);
  if (t.master >= 0) close(t.master);
  t = Terminal{};
}

// Answers requests on `master` until a signal comes (false) or the
// instrument vanishes (true).
bool Serve(tempolog::SimInstrument& instrument, int master, Clock::time_point start) {
  Clock::time_point nextPiece = Clock::now();
  std::deque<Pending> pending;
  bool vanished = false;
  while (!g_stop && !vanished) {
    const Clock::time_point now = Clock::now();
    int wait = 200;
    if (!pending.empty())
      wait = static_cast<int>(std::max<int64_t>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(pending.front().due - now)
                 .count()));
    if (instrument.Streaming()) wait = std::min(wait, 100);
    pollfd p{master, POLLIN, 0};
    const int r = poll(&p, 1, wait);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (p.revents & POLLIN)) {
      char buffer[4096];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        for (const tempolog::SimAction& a :
             instrument.Receive(std::string_view(buffer, static_cast<std::size_t>(n)), seconds)) {
          if (a.vanish) {
            vanished = true;
            break;
          }
          if (!a.reply.empty())
            pending.push_back({Clock::now() + std::chrono::milliseconds(a.delayMs), a.reply});
        }
      }
    } else if (r > 0 && (p.revents & (POLLHUP | POLLERR))) {
      usleep(50000);  // no reader on the slave side right now
    }
    while (!vanished && !pending.empty() && pending.front().due <= Clock::now()) {
      SendAll(master, pending.front().bytes);
      pending.pop_front();
    }
    if (!vanished && instrument.Streaming() && Clock::now() >= nextPiece) {
      SendAll(master, instrument.StreamPiece());
      nextPiece = Clock::now() + std::chrono::milliseconds(66);  // about 2400 baud
    }
  }
  return vanished;
}

// Sleeps `ms` milliseconds unless a signal asks to stop first.
void Pause(int ms) {
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (!g_stop && nanosleep(&left, &left) == -1 && errno == EINTR) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tempolog;
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("tempolog-sim %s\n", TEMPOLOG_VERSION);
    return 0;
  }
  SimOptions options;
  bool help = false;
  std::string error;
  if (!ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc), options, help, error)) {
    std::fprintf(stderr, "tempolog-sim: %s\n%s", error.c_str(), SimUsage().c_str());
    return 2;
  }
  if (help) {
    std::fputs(SimUsage().c_str(), stdout);
    return 0;
  }

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  SimInstrument instrument(options);
  const Clock::time_point start = Clock::now();
  // With --return-after the adapter is plugged in again after each vanishing.
  for (;;) {
    Terminal terminal;
    if (!Plug(options.name, terminal)) {
      Unplug(terminal);
      return 1;
    }
    const bool vanished = Serve(instrument, terminal.master, start);
    Unplug(terminal);
    if (!vanished) break;
    std::printf("tempolog-sim: vanished after %d requests\n", options.vanishAfter);
    std::fflush(stdout);
    if (options.returnAfterMs < 0) break;
    Pause(options.returnAfterMs);
    if (g_stop) break;
    instrument.Return();
  }
  return 0;
}
