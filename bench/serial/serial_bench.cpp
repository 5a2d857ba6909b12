// One query exactly as the monitor makes it (WriteText of "01X?" and CR, then
// ReadUntil with 1000 ms and CR LF) against a pseudo-terminal whose other side
// answers at once from a thread, beside a bare write/poll/read loop on the same
// kind of pair. Each reports the median round trip in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "serial/SerialPort.h"
#include "tests/support/PtyPair.h"

namespace {

using tempolog::PtyPair;
using Clock = std::chrono::steady_clock;

// The instrument: answers every CR-ended request with "23.5" CR LF at once.
class Answerer {
 public:
  explicit Answerer(const PtyPair& pty) : pty_(pty), thread_([this] { Run(); }) {}
  ~Answerer() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    char buffer[256];
    while (!stop_) {
      pollfd p{pty_.Master(), POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(pty_.Master(), buffer, sizeof buffer);
      for (ssize_t i = 0; i < n; ++i)
        if (buffer[i] == '\r') pty_.Send("23.5\r\n");
    }
  }
  const PtyPair& pty_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

double Median(std::vector<double>& us);

void ReportMedian(benchmark::State& state, std::vector<double>& us) {
  if (!us.empty()) state.counters["median_us"] = Median(us);
}

void BM_MonitorQuery(benchmark::State& state) {
  PtyPair pty;
  Answerer answerer(pty);
  tempolog::TSerialPort port;
  port.OpenPort(pty.SlavePath());
  port.Configure(2400, 8, 'N', 0, false, false);
  if (port.LastErrorCode != 0) {
    state.SkipWithError(port.LastErrorText.c_str());
    return;
  }
  std::vector<double> us;
  us.reserve(100000);
  for (auto _ : state) {
    const auto start = Clock::now();
    port.WriteText("01X?\r");
    const std::string reply = port.ReadUntil(1000, "\r\n");
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    if (reply != "23.5") {
      state.SkipWithError("wrong reply");
      break;
    }
  }
  ReportMedian(state, us);
}
BENCHMARK(BM_MonitorQuery)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// A raw file descriptor on the slave side, in raw mode.
int OpenRaw(const PtyPair& pty) {
  const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// One query with bare system calls; returns the reply.
std::string BareQuery(int fd, std::string& got) {
  char buffer[256];
  got.clear();
  if (::write(fd, "01X?\r", 5) != 5) return got;
  while (got.find("\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) break;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

double Median(std::vector<double>& us) {
  if (us.empty()) return 0;
  std::nth_element(us.begin(), us.begin() + us.size() / 2, us.end());
  return us[us.size() / 2];
}

void BM_BareLoop(benchmark::State& state) {
  PtyPair pty;
  Answerer answerer(pty);
  const int fd = OpenRaw(pty);
  std::vector<double> us;
  us.reserve(100000);
  std::string got;
  for (auto _ : state) {
    const auto start = Clock::now();
    BareQuery(fd, got);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    if (got != "23.5\r\n") {
      state.SkipWithError("wrong reply");
      break;
    }
  }
  ::close(fd);
  ReportMedian(state, us);
}
BENCHMARK(BM_BareLoop)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Both in one loop, one query of each in turn, so that both see the same
// load of the machine: the fairest comparison on a shared computer.
void BM_SideBySide(benchmark::State& state) {
  PtyPair portPty, barePty;
  Answerer portAnswerer(portPty), bareAnswerer(barePty);
  tempolog::TSerialPort port;
  port.OpenPort(portPty.SlavePath());
  port.Configure(2400, 8, 'N', 0, false, false);
  const int fd = OpenRaw(barePty);
  std::vector<double> portUs, bareUs;
  std::string got;
  for (auto _ : state) {
    auto start = Clock::now();
    port.WriteText("01X?\r");
    const std::string reply = port.ReadUntil(1000, "\r\n");
    portUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    start = Clock::now();
    BareQuery(fd, got);
    bareUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    if (reply != "23.5" || got != "23.5\r\n") {
      state.SkipWithError("wrong reply");
      break;
    }
  }
  ::close(fd);
  const double portMedian = Median(portUs), bareMedian = Median(bareUs);
  state.counters["port_median_us"] = portMedian;
  state.counters["bare_median_us"] = bareMedian;
  state.counters["ratio"] = bareMedian > 0 ? portMedian / bareMedian : 0;
}
BENCHMARK(BM_SideBySide)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
