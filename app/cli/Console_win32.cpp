// The console on Windows: standard output and error in binary mode; for stop
// requests the console's control handler, which the system runs on a thread
// of its own, sets an event that the waits between ticks look at. Windows
// has no signal to reopen the log with, and standard output is written as
// before, waiting for it (a console or a file does not stall for long).
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

void InstallSignals() {
  StopEvent();
  SetConsoleCtrlHandler(OnControl, TRUE);
}

TSignalTaken WaitForSignal(int milliseconds, bool) {
  const DWORD wait = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  if (WaitForSingleObject(StopEvent(), wait) != WAIT_OBJECT_0) return {};
  return {TSignalAction::Stop, ""};
}

std::ptrdiff_t WriteStdoutNow(std::string_view bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return -1;
  if (std::fflush(stdout) != 0) return -1;
  return static_cast<std::ptrdiff_t>(bytes.size());
}

}  // namespace tempolog
