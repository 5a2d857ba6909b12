// Stop requests on POSIX systems: SIGINT and SIGTERM stay blocked and
// pending, and the waits between ticks take them with sigtimedwait. No
// handler runs, so nothing can interrupt an exchange halfway.
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <ctime>

#include "app/cli/Console.h"

namespace tempolog {
namespace {

bool stopped = false;

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

// POSIX systems change no byte of what is written.
void UseBinaryOutput() {}

void InstallStopSignals() {
  const sigset_t set = StopSet();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return WaitForStop(0); }

bool WaitForStop(int milliseconds) {
  if (stopped) return true;
  const sigset_t set = StopSet();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now());
    const long long ns = left.count() > 0 ? left.count() : 0;
    const timespec wait{static_cast<std::time_t>(ns / 1000000000),
                        static_cast<long>(ns % 1000000000)};
    if (sigtimedwait(&set, nullptr, &wait) > 0) {
      stopped = true;
      return true;
    }
    // Woken by another signal: wait for what is left.
    if (errno != EINTR || ns == 0) return false;
  }
}

}  // namespace tempolog
