// The console on Windows: standard output and error in binary mode; for stop
// requests the console's control handler, which the system runs on a thread
// of its own, sets an event that the waits between ticks look at. Windows
// has no signal to reopen the log with, and standard output is written as
// before, waiting for it (a console or a file does not stall for long). The
// service's stop control sets the same event (StopRecording); a service
// outlives the user's session, so a log-off is no stop request. A service
// has no standard output (the C run-time cannot even reopen it), so its
// readings are dropped there (DropStandardOutput).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "app/cli/Console.h"
#include "app/cli/Service.h"

namespace tempolog {
namespace {

bool dropStdout = false;

HANDLE StopEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

BOOL WINAPI OnControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT: SetEvent(StopEvent()); return TRUE;
    case CTRL_LOGOFF_EVENT: return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void UseBinaryOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void InstallSignals() {
  StopEvent();
  SetConsoleCtrlHandler(OnControl, TRUE);
}

void StopRecording() { SetEvent(StopEvent()); }

TSignalTaken WaitForSignal(int milliseconds, bool) {
  const DWORD wait = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  if (WaitForSingleObject(StopEvent(), wait) != WAIT_OBJECT_0) return {};
  return {TSignalAction::Stop, ""};
}

void DropStandardOutput() { dropStdout = true; }

std::ptrdiff_t WriteStdoutNow(std::string_view bytes) {
  if (dropStdout) return static_cast<std::ptrdiff_t>(bytes.size());
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return -1;
  if (std::fflush(stdout) != 0) return -1;
  return static_cast<std::ptrdiff_t>(bytes.size());
}

}  // namespace tempolog
