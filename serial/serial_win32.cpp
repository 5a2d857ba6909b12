// The Win32 serial backend: the mirror image of serial_posix.cpp.
//
// What it uses: CreateFileA with FILE_FLAG_OVERLAPPED and share mode 0 (the
// port is exclusive by itself), the DCB line-settings record (laid out exactly
// like TLineSettings), SetupComm, SetCommTimeouts, comm events, overlapped
// reads and writes with bounded waits, ClearCommError, EscapeCommFunction,
// PurgeComm, FlushFileBuffers, FormatMessageA, the performance counter.
//
// What it does not do: direct UART access of Windows 9x (the NT family needs
// none, so PortAddress is 0 and the transmitter counts as idle), lock files
// (share mode 0 refuses a second opener already).
//
// Our headers come before <windows.h>: its macros (NOPARITY, SETRTS, ...)
// carry the same names as the constants of SerialPort.h.
#include "serial/SerialBackend.h"
#include "serial/SerialPort.h"

#define NOMINMAX 1  // the value libstdc++ of mingw-w64 gives it: no redefinition
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

namespace tempolog {

namespace {

static_assert(sizeof(DCB) == sizeof(TLineSettings), "the line settings mirror the DCB");

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

uint32_t PerformanceTickMs() {
  LARGE_INTEGER frequency{}, counter{};
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) return GetTickCount();
  QueryPerformanceCounter(&counter);
  const long double ms = static_cast<long double>(counter.QuadPart) /
                         static_cast<long double>(frequency.QuadPart) * 1000.0L;
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

class Win32Backend final : public SerialBackend {
 public:
  int LastError() override { return static_cast<int>(GetLastError()); }
  void ResetLastError() override { SetLastError(0); }

  intptr_t OpenDevice(const std::string& path, bool) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    return reinterpret_cast<intptr_t>(h);
  }

  bool CloseDevice(intptr_t handle) override { return CloseHandle(AsHandle(handle)) != 0; }

  void PrepareDevice(intptr_t handle, int32_t receiveQueueSize) override {
    HANDLE h = AsHandle(handle);
    SetCommMask(h, 0);
    SetupComm(h, static_cast<DWORD>(receiveQueueSize), 0);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 65535;  // bounds a stalled read only
    SetCommTimeouts(h, &timeouts);
  }

  bool SetupQueues(intptr_t handle, int32_t inputSize, int32_t outputSize) override {
    return SetupComm(AsHandle(handle), static_cast<DWORD>(inputSize),
                     static_cast<DWORD>(outputSize)) != 0;
  }

  bool GetLineSettings(intptr_t handle, TLineSettings& s) override {
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(AsHandle(handle), &dcb)) return false;
    std::memcpy(static_cast<void*>(&s), &dcb, sizeof dcb);
    return true;
  }

  bool SetLineSettings(intptr_t handle, const TLineSettings& s) override {
    DCB dcb;
    std::memcpy(&dcb, &s, sizeof dcb);
    return SetCommState(AsHandle(handle), &dcb) != 0;
  }

  bool GetModemStatus(intptr_t handle, uint32_t& status) override {
    DWORD bits = 0;
    if (!GetCommModemStatus(AsHandle(handle), &bits)) return false;
    status = bits;
    return true;
  }

  bool EscapeFunction(intptr_t handle, int function) override {
    return EscapeCommFunction(AsHandle(handle), static_cast<DWORD>(function)) != 0;
  }

  bool SetBreak(intptr_t handle, bool on) override {
    return (on ? SetCommBreak(AsHandle(handle)) : ClearCommBreak(AsHandle(handle))) != 0;
  }

  bool Purge(intptr_t handle, uint32_t mask) override {
    return PurgeComm(AsHandle(handle), mask) != 0;
  }

  bool Flush(intptr_t handle, int32_t) override { return FlushFileBuffers(AsHandle(handle)) != 0; }

  bool ClearError(intptr_t handle, uint32_t& flags, int32_t& inQueue, int32_t& outQueue) override {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(AsHandle(handle), &errors, &stat)) return false;
    flags = errors;
    inQueue = static_cast<int32_t>(stat.cbInQue);
    outQueue = static_cast<int32_t>(stat.cbOutQue);
    return true;
  }

  bool InputWaiting(intptr_t handle, int32_t& inQueue) override {
    uint32_t flags = 0;
    int32_t out = 0;
    return ClearError(handle, flags, inQueue, out);
  }

  bool HasLineErrorWord() override { return true; }

  TransferEnd Write(intptr_t handle, const void* buffer, int32_t count, int32_t deadlockMs,
                    int32_t& done) override {
    return Transfer(handle, const_cast<void*>(buffer), count, deadlockMs, done, true);
  }

  TransferEnd Read(intptr_t handle, void* buffer, int32_t count, int32_t deadlockMs,
                   int32_t& done) override {
    return Transfer(handle, buffer, count, deadlockMs, done, false);
  }

  // A wait may end before its time without the event: Wine's driver ends
  // every wait on a pseudo-terminal at once (it cannot read modem lines
  // there), and a driver also ends one whose mask changes. Such an end is no
  // time-out: the wait goes on for the rest of its time, and since a new wait
  // sees only characters that arrive after it starts, the queues are looked
  // at between the waits.
  int WaitEvent(intptr_t handle, uint32_t mask, int32_t timeoutMs) override {
    const uint32_t start = PerformanceTickMs();
    for (;;) {
      const uint32_t spent = PerformanceTickMs() - start;
      const int32_t left =
          spent >= static_cast<uint32_t>(timeoutMs) ? 0 : timeoutMs - static_cast<int32_t>(spent);
      const int result = WaitOnce(handle, mask, left);
      if (result != 0 || left == 0) return result;
      uint32_t flags = 0;
      int32_t in = 0, out = 0;
      if (ClearError(handle, flags, in, out) &&
          ((mask == EV_RXCHAR && in > 0) || (mask == EV_TXEMPTY && out == 0)))
        return 1;
      Sleep(1);  // a driver that ends each wait at once is not spun on
    }
  }

  bool WaitMissesQueuedInput() override { return true; }

  uint32_t TickMs() override { return PerformanceTickMs(); }
  void SleepMs(int32_t ms) override { Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms)); }
  bool DriverTogglesRts() override { return true; }  // the NT family
  uint16_t PortAddress(intptr_t) override { return 0; }
  bool TransmitterEmpty(uint16_t) override { return true; }

 private:
  int WaitOnce(intptr_t handle, uint32_t mask, int32_t timeoutMs) {
    HANDLE h = AsHandle(handle);
    Pending* wait = Pending::Make(0);
    if (!wait) return -1;
    SetCommMask(h, mask);
    int result = 0;
    DWORD error = 0;
    if (WaitCommEvent(h, &wait->received, &wait->ov)) {
      result = (wait->received & mask) == mask ? 1 : 0;
    } else if (GetLastError() == ERROR_IO_PENDING) {
      WaitForSingleObject(wait->ov.hEvent, static_cast<DWORD>(timeoutMs));
      SetCommMask(h, 0);  // ends a wait still pending
      if (!wait->Finish(h)) {
        // The driver holds on to the wait: the device is as good as gone.
        SetCommMask(h, 0);
        SetLastError(ERROR_OPERATION_ABORTED);
        return -1;
      }
      result = (wait->received & mask) == mask ? 1 : 0;
    } else {
      result = -1;
    }
    error = GetLastError();
    SetCommMask(h, 0);
    wait->Free();
    if (result < 0) SetLastError(error);
    return result;
  }

  // An overlapped operation with what the driver may still write to while it
  // runs: its record, its event, and for a transfer a buffer of its own (the
  // caller's data is copied in and out). It lives on the heap so that an
  // operation the driver never lets go of (Wine's serial driver on a
  // pseudo-terminal whose other end closed) can be abandoned: its memory is
  // then kept for good, and the caller gets an error instead of a wait
  // without end.
  struct Pending {
    OVERLAPPED ov;
    DWORD received = 0;  // comm events, for a wait
    std::vector<char> buffer;

    static Pending* Make(std::size_t bytes) {
      auto* p = new (std::nothrow) Pending();
      if (!p) return nullptr;
      std::memset(&p->ov, 0, sizeof p->ov);
      p->ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      if (!p->ov.hEvent) {
        delete p;
        return nullptr;
      }
      p->buffer.resize(bytes);
      return p;
    }
    void Free() {
      CloseHandle(ov.hEvent);
      delete this;
    }
    // After the operation was told to stop: waits for the driver to let go
    // of it, at most twice kLetGoMs, cancelling it in between. False, with the
    // record kept for good, when it never did.
    bool Finish(HANDLE h) {
      if (WaitForSingleObject(ov.hEvent, kLetGoMs) != WAIT_OBJECT_0) {
        CancelIoEx(h, &ov);
        if (WaitForSingleObject(ov.hEvent, kLetGoMs) != WAIT_OBJECT_0) return false;
      }
      return true;
    }
  };
  static constexpr DWORD kLetGoMs = 1000;

  // One overlapped transfer waited for at most `deadlockMs`; one the driver
  // does not finish then is purged and waited for until it lets go.
  TransferEnd Transfer(intptr_t handle, void* buffer, int32_t count, int32_t deadlockMs,
                       int32_t& done, bool write) {
    HANDLE h = AsHandle(handle);
    done = 0;
    Pending* transfer = Pending::Make(static_cast<std::size_t>(count > 0 ? count : 0));
    if (!transfer) return TransferEnd::Failed;
    if (write && count > 0) std::memcpy(transfer->buffer.data(), buffer, transfer->buffer.size());
    DWORD moved = 0;
    const BOOL ok = write ? WriteFile(h, transfer->buffer.data(), static_cast<DWORD>(count), &moved,
                                      &transfer->ov)
                          : ReadFile(h, transfer->buffer.data(), static_cast<DWORD>(count), &moved,
                                     &transfer->ov);
    TransferEnd end = TransferEnd::Done;
    DWORD error = 0;
    if (!ok && (error = GetLastError()) != ERROR_IO_PENDING) {
      end = TransferEnd::Failed;
    } else if (!ok) {
      bool timedOut = false;
      if (WaitForSingleObject(transfer->ov.hEvent, static_cast<DWORD>(deadlockMs)) ==
          WAIT_TIMEOUT) {
        PurgeComm(h, write ? PURGE_TXABORT : PURGE_RXABORT);
        timedOut = true;
        if (!transfer->Finish(h)) {
          // Never let go: the device is as good as gone.
          SetLastError(ERROR_OPERATION_ABORTED);
          return TransferEnd::Failed;
        }
      }
      // A transfer that completed with an error (an adapter pulled out) is a
      // failure, not a transfer of 0 bytes.
      const BOOL finished = GetOverlappedResult(h, &transfer->ov, &moved, FALSE);
      error = GetLastError();
      end = timedOut ? TransferEnd::TimedOut : finished ? TransferEnd::Done : TransferEnd::Failed;
    }
    done = static_cast<int32_t>(moved);
    if (!write && moved > 0) std::memcpy(buffer, transfer->buffer.data(), moved);
    transfer->Free();
    if (end == TransferEnd::Failed) SetLastError(error);
    return end;
  }
};

}  // namespace

std::unique_ptr<SerialBackend> MakePlatformBackend() { return std::make_unique<Win32Backend>(); }

uint32_t CurrentTickMs() { return PerformanceTickMs(); }

std::string PortNumberPath(int32_t portNumber, const std::string&) {
  return "\\\\.\\COM" + std::to_string(portNumber + 1);
}

std::string SystemErrorMessage(int code) {
  char buffer[256] = {};
  const DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, n);
}

}  // namespace tempolog
