// tempolog-cli service on Windows: the service control manager's protocol.
//
// `service run` hands the main thread to StartServiceCtrlDispatcher, which
// calls ServiceMain on a thread of its own and the control handler on the
// main thread. ServiceMain reports the service running and runs the recorder
// of `tempolog-cli record`; the stop and shutdown controls set the recorder's
// stop event (Console_win32.cpp), which its waits between ticks look at, as
// Ctrl+C does in a console: the tick under way ends, the log keeps whole
// lines, the Prometheus file is removed, and the service reports itself
// stopped (exit code 0, or the service-specific code 1 after a failure, which
// the failure actions restart after 10 s).
//
// The service has no console: its readings on standard output go to NUL (they
// are in the log), its messages to the Application event log (source
// "tempolog", one event per message) and, with their time, to
// tempolog-NAME.messages.log beside the log, which is kept to about 1 MiB
// (the one before it is tempolog-NAME.messages.log.old).
//
// Its folder, %ProgramData%\tempolog, is for SYSTEM and the Administrators
// alone, as the Linux service's logs are for its user and root: `install`
// makes it so (owner and protected access list) and refuses a folder that is
// a link; `run` makes it so when it has to create it. The service runs as
// LocalSystem, which may open every serial port.
//
// Not here: a message table for the events (the Event Viewer shows each
// message's text after its note that the description of event 1 is missing).
//
// Our headers come before <windows.h>, whose macros carry the names of their
// constants.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/cli/Service.h"
#include "framework/core/Clock.h"
#include "serial/SerialPort.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
// clang-format on

namespace tempolog {
namespace {

namespace fs = std::filesystem;

// SYSTEM and the Administrators: everything; no one else; nothing inherited
// from %ProgramData%, whose users may create files there.
constexpr const char* kFolderAccess = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr std::uintmax_t kMessagesFileLimit = 1 << 20;
constexpr DWORD kStopWaitHintMs = 15000;
// Restarts after a failure: after 10 s, every time (the last action repeats).
constexpr DWORD kRestartDelayMs = 10000;

std::string SystemError(DWORD code) { return TSerialPort::GetErrorDesc(static_cast<int>(code)); }

std::string ServiceName(const TRecordOptions& o) { return "tempolog-cli-" + PortFileName(o.port); }

// The service's files in `folder`, without their extension. Not named after
// the port alone: Windows takes "COM3.log", as any name whose part before the
// first dot is a device's, for the device COM3.
std::string FilesOf(const std::string& folder, const TRecordOptions& o) {
  return folder + "\\tempolog-" + PortFileName(o.port);
}

// %ProgramData%\tempolog, or empty when Windows names no such folder.
std::string ServiceFolder() {
  char path[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
    return {};
  return std::string(path) + "\\tempolog";
}

// Makes the folder, or (`resecure`) gives one that is there the service's
// owner and access list. Empty, or why it failed.
std::string PrepareFolder(const std::string& folder, bool resecure) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kFolderAccess, SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return folder + ": " + SystemError(GetLastError());
  std::string failure;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  if (!CreateDirectoryA(folder.c_str(), &attributes)) {
    const DWORD created = GetLastError();
    const DWORD kind = GetFileAttributesA(folder.c_str());
    if (created != ERROR_ALREADY_EXISTS || kind == INVALID_FILE_ATTRIBUTES) {
      failure = folder + ": " + SystemError(created);
    } else if ((kind & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
               (kind & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      failure = folder + ": not a folder but a link or a file; remove it first";
    } else if (resecure) {
      BOOL present = FALSE, defaulted = FALSE;
      PACL acl = nullptr;
      PSID owner = nullptr;
      GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
      GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
      const DWORD set =
          SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                    PROTECTED_DACL_SECURITY_INFORMATION,
                                owner, nullptr, acl, nullptr);
      if (set != ERROR_SUCCESS) failure = folder + ": access not restricted: " + SystemError(set);
    }
  }
  LocalFree(descriptor);
  return failure;
}

// One argument of a command line as the C run-time reads it back: quoted,
// with backslashes doubled where a quote follows them.
std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

// A handle of the service control manager, closed with it.
struct TScHandle {
  SC_HANDLE handle;
  explicit TScHandle(SC_HANDLE h) : handle(h) {}
  ~TScHandle() {
    if (handle != nullptr) CloseServiceHandle(handle);
  }
  TScHandle(const TScHandle&) = delete;
  TScHandle& operator=(const TScHandle&) = delete;
};

// Tells why the service control manager refused, with advice for the usual
// case; returns kExitFailed.
int Refused(const std::string& what, DWORD code) {
  SayOnStderr(what + ": " + SystemError(code) +
              (code == ERROR_ACCESS_DENIED
                   ? " (run it from a command prompt started as administrator)"
                   : ""));
  return kExitFailed;
}

// ---- install and remove -------------------------------------------------

// The source "tempolog" of the Application event log, which tells the Event
// Viewer what kinds of events the service reports.
std::string RegisterTempologSource() {
  HKEY key = nullptr;
  const LONG made = RegCreateKeyExA(
      HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\tempolog", 0,
      nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (made != ERROR_SUCCESS) return "event log source tempolog: " + SystemError(made);
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  const LONG set = RegSetValueExA(key, "TypesSupported", 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&types), sizeof types);
  RegCloseKey(key);
  return set == ERROR_SUCCESS ? "" : "event log source tempolog: " + SystemError(set);
}

int Install(const TRecordOptions& o) {
  const std::string name = ServiceName(o);
  const TScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (manager.handle == nullptr) return Refused("the service control manager", GetLastError());
  const std::string folder = ServiceFolder();
  if (folder.empty()) {
    SayOnStderr("Windows names no folder for programs' data (%ProgramData%)");
    return kExitFailed;
  }
  if (const std::string failure = PrepareFolder(folder, true); !failure.empty()) {
    SayOnStderr(failure);
    return kExitFailed;
  }
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  const std::string command = Quote(program) + " service run --port " + Quote(o.port) +
                              " --period " + std::to_string(o.periodSeconds) + " --command " +
                              Quote(o.command);
  const std::string display = "tempolog recording of the thermometer on " + o.port;
  const TScHandle service(CreateServiceA(manager.handle, name.c_str(), display.c_str(),
                                         SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                         SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
                                         nullptr, nullptr, nullptr, nullptr, nullptr));
  if (service.handle == nullptr) {
    const DWORD code = GetLastError();
    if (code != ERROR_SERVICE_EXISTS) return Refused(name, code);
    SayOnStderr(name + ": already installed (\"tempolog-cli service remove --port " + o.port +
                "\" removes it)");
    return kExitFailed;
  }
  std::string description = "Records the thermometer on serial port " + o.port + " into " +
                            FilesOf(folder, o) + ".log (tempolog-cli).";
  SERVICE_DESCRIPTIONA text{description.data()};
  SC_ACTION restart[] = {{SC_ACTION_RESTART, kRestartDelayMs}};
  SERVICE_FAILURE_ACTIONSA actions{86400, nullptr, nullptr, 1, restart};
  // A recorder that ends with status 1 has failed as much as one that crashed.
  SERVICE_FAILURE_ACTIONS_FLAG onStatus{TRUE};
  if (!ChangeServiceConfig2A(service.handle, SERVICE_CONFIG_DESCRIPTION, &text))
    SayOnStderr(name + ": description not set: " + SystemError(GetLastError()));
  if (!ChangeServiceConfig2A(service.handle, SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
    SayOnStderr(name + ": restart after a failure not set: " + SystemError(GetLastError()));
  else if (!ChangeServiceConfig2A(service.handle, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onStatus))
    SayOnStderr(name +
                ": restart after a failure set for a crash only: " + SystemError(GetLastError()));
  if (const std::string failure = RegisterTempologSource(); !failure.empty()) SayOnStderr(failure);
  return WriteStdout(name + " installed, started at boot (\"net start " + name +
                     "\" starts it now); it records into " + folder + "\n")
             ? kExitDone
             : kExitFailed;
}

int Remove(const TRecordOptions& o) {
  const std::string name = ServiceName(o);
  const TScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.handle == nullptr) return Refused("the service control manager", GetLastError());
  const TScHandle service(
      OpenServiceA(manager.handle, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (service.handle == nullptr) {
    const DWORD code = GetLastError();
    if (code != ERROR_SERVICE_DOES_NOT_EXIST) return Refused(name, code);
    SayOnStderr(name + ": no such service");
    return kExitFailed;
  }
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service.handle, &status) && status.dwCurrentState != SERVICE_STOPPED) {
    ControlService(service.handle, SERVICE_CONTROL_STOP, &status);
    // Its tick under way ends first: a few seconds at most.
    for (int i = 0; i < 300 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
      Sleep(100);
      if (!QueryServiceStatus(service.handle, &status)) break;
    }
    if (status.dwCurrentState != SERVICE_STOPPED)
      SayOnStderr(name + ": did not stop within 30 s; removed once it stops");
  }
  if (!DeleteService(service.handle)) return Refused(name, GetLastError());
  const std::string folder = ServiceFolder();
  return WriteStdout(name + " removed; its files stay in " + folder + "\n") ? kExitDone
                                                                            : kExitFailed;
}

// ---- run ------------------------------------------------------------------

// The service's state, shared by ServiceMain and the control handler.
struct TServiceState {
  std::mutex mutex;
  const TServiceOptions* options = nullptr;
  std::string name;
  SERVICE_STATUS_HANDLE handle = nullptr;
  SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
  // Messages: the event source, and the file beside the log.
  HANDLE eventSource = nullptr;
  std::string messagesFile;
  DWORD eventFailure = ERROR_SUCCESS;  // of the last message, told once
};

TServiceState state;

void Report(DWORD current, DWORD exitCode = NO_ERROR) {
  const std::lock_guard<std::mutex> lock(state.mutex);
  SERVICE_STATUS& s = state.status;
  s.dwCurrentState = current;
  s.dwControlsAccepted =
      current == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  s.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  s.dwServiceSpecificExitCode = exitCode;
  const bool pending = current == SERVICE_START_PENDING || current == SERVICE_STOP_PENDING;
  s.dwCheckPoint = pending ? s.dwCheckPoint + 1 : 0;
  s.dwWaitHint = pending ? kStopWaitHintMs : 0;
  SetServiceStatus(state.handle, &s);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING);
      StopRecording();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// Appends one message with its time to the messages file; the file grown
// past its limit becomes the old one first.
void FileMessage(const std::string& text) {
  if (state.messagesFile.empty()) return;
  std::error_code error;
  if (fs::file_size(state.messagesFile, error) >= kMessagesFileLimit && !error)
    fs::rename(state.messagesFile, state.messagesFile + ".old", error);
  const ZonedTime now = ClockNowZoned();
  std::ofstream(state.messagesFile, std::ios::binary | std::ios::app)
      << IsoTimestamp(now.local, now.utcOffsetSeconds) << ' ' << text << "\r\n";
}

// One message: an event, and a line of the messages file.
void Message(const std::string& text) {
  const char* strings[] = {text.c_str()};
  const bool reported = ReportEventA(state.eventSource, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1,
                                     0, strings, nullptr) != FALSE;
  const DWORD failure = reported ? ERROR_SUCCESS : GetLastError();
  FileMessage(text);
  if (failure != state.eventFailure && failure != ERROR_SUCCESS)
    FileMessage("(not in the event log: " + SystemError(failure) + ")");
  state.eventFailure = failure;
}

void WINAPI ServiceMain(DWORD, char**) {
  state.handle = RegisterServiceCtrlHandlerExA(state.name.c_str(), OnControl, nullptr);
  if (state.handle == nullptr) return;
  Report(SERVICE_START_PENDING);
  const TRecordOptions& o = state.options->record;
  DropStandardOutput();
  state.eventSource = RegisterEventSourceA(nullptr, "tempolog");
  const std::string folder = ServiceFolder();
  const std::string failure =
      folder.empty() ? "Windows names no folder for programs' data" : PrepareFolder(folder, false);
  if (!failure.empty()) {
    SayOnStderr(failure);
    Report(SERVICE_STOPPED, kExitFailed);
    return;
  }
  const std::string path = FilesOf(folder, o);
  state.messagesFile = path + ".messages.log";
  TRecordOptions record = o;
  record.out = path + ".log";
  record.prom = path + ".prom";
  SayOnStderr("recording " + o.port + " every " + std::to_string(o.periodSeconds) + " s into " +
              record.out);
  Report(SERVICE_RUNNING);
  const int status = RunRecord(record);
  SayOnStderr("recording of " + o.port + " ended" + (status == kExitDone ? "" : " by a failure"));
  Report(SERVICE_STOPPED, static_cast<DWORD>(status));
}

int Run(const TServiceOptions& options) {
  state.options = &options;
  state.name = ServiceName(options.record);
  SERVICE_TABLE_ENTRYA table[] = {{state.name.data(), ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherA(table)) return kExitDone;
  const DWORD code = GetLastError();
  if (code != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return Refused(state.name, code);
  SayOnStderr("\"service run\" is started by the service control manager as the service " +
              state.name +
              " (\"tempolog-cli service install\" registers it); in a console, "
              "\"tempolog-cli record\" records");
  return kExitFailed;
}

}  // namespace

int RunService(const TServiceOptions& options) {
  switch (options.action) {
    case TServiceAction::Install: return Install(options.record);
    case TServiceAction::Remove: return Remove(options.record);
    case TServiceAction::Run: return Run(options);
    case TServiceAction::None: break;
  }
  return kExitBadArguments;
}

bool ServiceTakesMessages(const std::string& lines) {
  if (state.handle == nullptr) return false;
  constexpr std::string_view kPrefix = "tempolog-cli: ";
  std::size_t start = 0;
  while (start < lines.size()) {
    std::size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    std::string_view line = std::string_view(lines).substr(start, end - start);
    if (line.substr(0, kPrefix.size()) == kPrefix) line.remove_prefix(kPrefix.size());
    Message(std::string(line));
    start = end + 1;
  }
  return true;
}

}  // namespace tempolog
