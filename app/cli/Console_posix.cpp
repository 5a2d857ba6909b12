// The console on POSIX systems.
//
// Signals: every signal that would end the process by default and that
// comes from outside (another process, the terminal, a limit of the system)
// is blocked and stays pending while the recorder works, so nothing can
// interrupt an exchange halfway. The waits between ticks take them: at once
// with sigtimedwait, and while they wait in pselect, which unblocks them for
// its own duration and whose handler only marks the signal as come. What each
// one asks is in kRules below:
//   SIGINT, SIGTERM                 stop, quietly (the usual requests)
//   SIGALRM, SIGVTALRM, SIGPROF     stop, told: a timer that ran out
//   SIGXCPU                         stop as a failure: processor time limit
//   SIGHUP                          reopen the --out file (logrotate)
//   SIGUSR1, SIGUSR2, SIGPOLL,      told and ignored: they mean nothing here,
//   SIGPWR, SIGSTKFLT, real-time    and a stray one must not end a recording
// SIGPIPE and SIGXFSZ are ignored: the write that raised them fails instead
// (a closed standard output; a log grown past the file size limit, which is
// held like a full disk). Left as they are: SIGQUIT (quit with a core dump,
// to look into a recorder that hangs) and the signals of a fault in the
// program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS).
//
// Standard output: its open file description is shared with whoever else
// holds it (the shell's terminal, standard error on the same terminal or
// journal stream), so it is made non-blocking for the length of one write
// only, never left so for them.
#include <fcntl.h>
#include <signal.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/cli/Console.h"

namespace tempolog {
namespace {

struct TSignalRule {
  int number;
  const char* name;
  TSignalAction action;
};

const TSignalRule kRules[] = {
    {SIGINT, "", TSignalAction::Stop},
    {SIGTERM, "", TSignalAction::Stop},
    {SIGALRM, "SIGALRM", TSignalAction::Stop},
    {SIGVTALRM, "SIGVTALRM", TSignalAction::Stop},
    {SIGPROF, "SIGPROF", TSignalAction::Stop},
    {SIGXCPU, "SIGXCPU", TSignalAction::StopFailed},
    {SIGHUP, "SIGHUP", TSignalAction::Reopen},
    {SIGUSR1, "SIGUSR1", TSignalAction::Ignore},
    {SIGUSR2, "SIGUSR2", TSignalAction::Ignore},
    {SIGPOLL, "SIGPOLL", TSignalAction::Ignore},
#ifdef SIGPWR
    {SIGPWR, "SIGPWR", TSignalAction::Ignore},
#endif
#ifdef SIGSTKFLT
    {SIGSTKFLT, "SIGSTKFLT", TSignalAction::Ignore},
#endif
};

sigset_t held;  // the signals of kRules and the real-time ones
// Marked by the handler, which runs only inside pselect.
volatile sig_atomic_t caught[NSIG] = {};

extern "C" void OnSignal(int number) {
  if (number > 0 && number < NSIG) caught[number] = 1;
}

// The number of a signal that came, taken; 0 when none is there.
int TakeSignal() {
  for (int number = 1; number < NSIG; ++number) {
    if (caught[number] != 0) {
      caught[number] = 0;
      return number;
    }
  }
  const timespec now{0, 0};
  const int number = sigtimedwait(&held, nullptr, &now);
  return number > 0 ? number : 0;
}

TSignalTaken Taken(int number) {
  for (const TSignalRule& rule : kRules) {
    if (rule.number == number) return {rule.action, rule.name};
  }
  if (number >= SIGRTMIN && number <= SIGRTMAX)
    return {TSignalAction::Ignore, "SIGRTMIN+" + std::to_string(number - SIGRTMIN)};
  return {};
}

}  // namespace

// POSIX systems change no byte of what is written.
void UseBinaryOutput() {}

void InstallSignals() {
  sigemptyset(&held);
  for (const TSignalRule& rule : kRules) sigaddset(&held, rule.number);
  for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) sigaddset(&held, number);
  sigprocmask(SIG_BLOCK, &held, nullptr);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  action.sa_mask = held;
  for (int number = 1; number < NSIG; ++number) {
    if (sigismember(&held, number) == 1) sigaction(number, &action, nullptr);
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

TSignalTaken WaitForSignal(int milliseconds, bool forStdout) {
  if (const int number = TakeSignal(); number != 0) return Taken(number);
  const int ms = milliseconds > 0 ? milliseconds : 0;
  const timespec wait{ms / 1000, (ms % 1000) * 1000000L};
  fd_set writable;
  FD_ZERO(&writable);
  if (forStdout) FD_SET(STDOUT_FILENO, &writable);
  // The signals held are open for the wait alone.
  sigset_t open;
  sigprocmask(SIG_SETMASK, nullptr, &open);
  for (int number = 1; number < NSIG; ++number) {
    if (sigismember(&held, number) == 1) sigdelset(&open, number);
  }
  // Ends with the time, a signal (EINTR) or standard output ready; a closed
  // one (EBADF) ends it too, and the next write tells the failure.
  pselect(forStdout ? STDOUT_FILENO + 1 : 0, nullptr, forStdout ? &writable : nullptr, nullptr,
          &wait, &open);
  return Taken(TakeSignal());
}

std::ptrdiff_t WriteStdoutNow(std::string_view bytes) {
  const int flags = fcntl(STDOUT_FILENO, F_GETFL);
  if (flags < 0) return -1;
  const bool blocking = (flags & O_NONBLOCK) == 0;
  if (blocking) fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
  ssize_t written = 0;
  do {
    written = write(STDOUT_FILENO, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  const int error = errno;
  if (blocking) fcntl(STDOUT_FILENO, F_SETFL, flags);
  if (written >= 0) return written;
  return error == EAGAIN || error == EWOULDBLOCK ? 0 : -1;
}

}  // namespace tempolog
