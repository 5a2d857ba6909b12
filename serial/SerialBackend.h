// The operating-system side of TSerialPort: the few calls it makes on a port
// handle. One implementation per platform file (serial_posix.cpp,
// serial_win32.cpp) behind MakePlatformBackend(); tests may pass their own.
//
// Calls that can fail return false (or -1 as a handle) and leave the system
// error number where LastError() reads it, as the platform's thread error value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/SerialPort.h"

namespace tempolog {

// How a driver transfer with a bounded wait ended.
enum class TransferEnd {
  Done,      // finished; `done` holds the count moved
  TimedOut,  // still not finished after the bound; the backend purged it
  Failed,    // the system refused it; LastError() holds why
};

class SerialBackend {
 public:
  virtual ~SerialBackend() = default;

  // The thread's system error value, and its reset to 0.
  virtual int LastError() = 0;
  virtual void ResetLastError() = 0;

  // Opens the port device exclusively; -1 on failure. `lock` takes the
  // advisory lock beside the exclusive open where the platform has one.
  virtual intptr_t OpenDevice(const std::string& path, bool lock) = 0;
  virtual bool CloseDevice(intptr_t handle) = 0;
  // Prepares a new handle: no event mask, input queue size, reads that return
  // at once. Failures are ignored by the caller.
  virtual void PrepareDevice(intptr_t handle, int32_t receiveQueueSize) = 0;
  virtual bool SetupQueues(intptr_t handle, int32_t inputSize, int32_t outputSize) = 0;

  virtual bool GetLineSettings(intptr_t handle, TLineSettings& settings) = 0;
  virtual bool SetLineSettings(intptr_t handle, const TLineSettings& settings) = 0;

  virtual bool GetModemStatus(intptr_t handle, uint32_t& status) = 0;
  // SETRTS, CLRRTS, SETDTR or CLRDTR.
  virtual bool EscapeFunction(intptr_t handle, int function) = 0;
  virtual bool SetBreak(intptr_t handle, bool on) = 0;
  virtual bool Purge(intptr_t handle, uint32_t mask) = 0;
  // Waits until the driver has sent its output, at most `deadlockMs`.
  virtual bool Flush(intptr_t handle, int32_t deadlockMs) = 0;
  // Line-error flags (cleared in the driver) and both queue counts.
  virtual bool ClearError(intptr_t handle, uint32_t& flags, int32_t& inQueue,
                          int32_t& outQueue) = 0;

  // The input-queue count alone (what BytesWaiting needs, often).
  virtual bool InputWaiting(intptr_t handle, int32_t& inQueue) = 0;
  // False when the driver never reports line errors apart from the data, so
  // there is no error word to look at after each transfer.
  virtual bool HasLineErrorWord() = 0;

  // Moves up to `count` bytes, waiting at most `deadlockMs` for the driver.
  virtual TransferEnd Write(intptr_t handle, const void* buffer, int32_t count, int32_t deadlockMs,
                            int32_t& done) = 0;
  virtual TransferEnd Read(intptr_t handle, void* buffer, int32_t count, int32_t deadlockMs,
                           int32_t& done) = 0;

  // Waits at most `timeoutMs` for the events of `mask` (EV_RXCHAR received
  // data, EV_TXEMPTY output queue empty). Returns 1 when they came, 0 on
  // time-out, -1 when the port failed (LastError() holds why; a device that
  // vanished reports its hang-up here at once rather than waiting).
  virtual int WaitEvent(intptr_t handle, uint32_t mask, int32_t timeoutMs) = 0;
  // True when WaitEvent(EV_RXCHAR) does not fire for bytes that were queued
  // before it began (so the caller must look at the queue first).
  virtual bool WaitMissesQueuedInput() = 0;

  virtual uint32_t TickMs() = 0;
  virtual void SleepMs(int32_t ms) = 0;

  // True when the driver toggles RTS itself (otherwise the class raises RTS
  // around each send); true also means no direct UART access is needed.
  virtual bool DriverTogglesRts() = 0;
  virtual uint16_t PortAddress(intptr_t handle) = 0;
  virtual bool TransmitterEmpty(uint16_t address) = 0;
};

// The backend of the platform this program was built for.
std::unique_ptr<SerialBackend> MakePlatformBackend();

// The device path OpenPort uses for a parsed port number (PortNumber not -1);
// `name` is the name OpenPort was given.
std::string PortNumberPath(int32_t portNumber, const std::string& name);

// The system's message for an error number, untrimmed; empty when the system
// has none.
std::string SystemErrorMessage(int code);

}  // namespace tempolog
