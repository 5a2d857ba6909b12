// Stop requests on Windows: the console's control handler, which the system
// runs on a thread of its own, sets an event that the waits between ticks
// look at.
#include <windows.h>

#include "app/cli/StopSignals.h"

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

void InstallStopSignals() {
  StopEvent();
  SetConsoleCtrlHandler(OnControl, TRUE);
}

bool StopRequested() { return WaitForStop(0); }

bool WaitForStop(int milliseconds) {
  return WaitForSingleObject(StopEvent(), static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

}  // namespace tempolog
