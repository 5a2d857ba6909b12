// The process's console: output taken byte for byte, and the requests to stop
// a recording: SIGINT and SIGTERM on POSIX systems,
// Ctrl+C, Ctrl+Break and the console closing on Windows. Once installed, a
// request never interrupts an exchange with the instrument: it is only seen
// where the recorder looks for it, between ticks.
#pragma once

namespace tempolog {

// Standard output and standard error take bytes as they are: no line end is
// changed (Windows would turn LF into CR LF).
void UseBinaryOutput();

// From now on a stop request is held for StopRequested / WaitForStop instead
// of ending the process. (POSIX: the two signals are blocked, and a closed
// standard output makes writes fail instead of raising SIGPIPE.) Call before
// any other thread starts.
void InstallStopSignals();

// True once a stop was requested.
bool StopRequested();

// Waits up to `milliseconds` for a stop request; true when there is one.
bool WaitForStop(int milliseconds);

}  // namespace tempolog
