// The process's console: output taken byte for byte; standard output written
// without waiting for its reader; and the signals a recording takes (POSIX:
// SIGINT, SIGTERM, SIGHUP and the others listed in Console_posix.cpp; Windows:
// Ctrl+C, Ctrl+Break and the console closing). Once installed, a signal never
// interrupts an exchange with the instrument: it is only seen where the
// recorder waits for it, between ticks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tempolog {

// Standard output and standard error take bytes as they are: no line end is
// changed (Windows would turn LF into CR LF).
void UseBinaryOutput();

// What a signal asks of a recording.
enum class TSignalAction {
  None,        // no signal came
  Stop,        // end the recording (status 0)
  StopFailed,  // end the recording as a failure (status 1): a limit was reached
  Reopen,      // reopen the --out file by its name (SIGHUP)
  Ignore,      // tell it and go on
};

struct TSignalTaken {
  TSignalAction action = TSignalAction::None;
  // "SIGHUP"; empty for the usual stop requests (SIGINT, SIGTERM, Ctrl+C),
  // which need no word on standard error.
  std::string name;
};

// From now on the signals are held for WaitForSignal instead of acting on the
// process. (POSIX: they are blocked; a closed standard output makes writes
// fail instead of raising SIGPIPE, and a file grown past the size limit
// makes them fail instead of raising SIGXFSZ.) Call before any other thread
// starts.
void InstallSignals();

// Waits up to `milliseconds` for a signal and takes the first one that came.
// When `forStdout`, returns early (action None) once standard output can take
// bytes again. Signals that came together are taken by the next calls.
TSignalTaken WaitForSignal(int milliseconds, bool forStdout);

// Writes what standard output takes of `bytes` at once, never waiting for its
// reader (Windows: waits, as a console or file never stalls for long).
// Returns the number of bytes taken (0 when it takes none now), or -1 when
// standard output failed (a closed pipe, a full disk).
std::ptrdiff_t WriteStdoutNow(std::string_view bytes);

}  // namespace tempolog
