// The console on Windows: standard output and error in binary mode; for stop
// requests the console's control handler, which the system runs on a thread
// of its own, sets an event that the waits between ticks look at.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "app/cli/Console.h"

namespace tempolog {
namespace {

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
    default: return FALSE;
  }
}

}  // namespace

void UseBinaryOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void InstallStopSignals() {
  StopEvent();
  SetConsoleCtrlHandler(OnControl, TRUE);
}

bool StopRequested() { return WaitForStop(0); }

bool WaitForStop(int milliseconds) {
  const DWORD wait = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  return WaitForSingleObject(StopEvent(), wait) == WAIT_OBJECT_0;
}

}  // namespace tempolog
