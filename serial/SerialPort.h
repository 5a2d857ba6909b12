// The serial port object: one port opened exclusively, its line settings, the
// modem lines, buffered transfers with millisecond time-outs, error codes with
// their texts, the optional exception and the status hook.
//
// Sections:
//   1. Error codes, ESerialError, the status hook types
//   2. TLineSettings (the line-settings record that Configure builds)
//   3. Support functions (ticks, line-end search, port names, the port list)
//   4. TSerialPort
//
// Every operation blocks the calling thread until it completes, times out or
// fails, and records its outcome in LastErrorCode / LastErrorText (0 / "OK" on
// success). With RaiseExcept on, a failure also throws ESerialError.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Exceptions.h"

namespace tempolog {

class SerialBackend;
enum class TransferEnd;
class TSerialPort;

// ---------------------------------------------------------------- 1. errors

// The class's own error codes; every other non-zero code is a system error
// number (errno on POSIX, GetLastError on Windows).
enum : int32_t {
  ErrPortOwned = 9991,        // "Port owned by other process" (text only)
  ErrAlreadyInUse = 9992,     // OpenPort on a connected object
  ErrWrongParameter = 9993,   // "Wrong parameter at call" (text only)
  ErrNotConnected = 9994,     // transfer on a port that is not open
  ErrNoDeviceAnswer = 9995,   // a line required by TestDSR / TestCTS is off
  ErrBufferExceeded = 9996,   // pending text longer than MaxLineLength
  ErrTimeout = 9997,          // no data in time, or a stalled driver transfer
  ErrReadFailed = 9998,       // "Reading of data failed" (text only)
  ErrFraming = 9999,          // line errors reported by the driver
  ErrOverrun = 10000,
  ErrRxQueueOverflow = 10001,
  ErrParity = 10002,
  ErrTxQueueFull = 10003,
};

// Line-error flags of the driver's error word (as ClearCommError reports them).
enum : uint32_t {
  CE_RXOVER = 0x1,
  CE_OVERRUN = 0x2,
  CE_RXPARITY = 0x4,
  CE_FRAME = 0x8,
  CE_BREAK = 0x10,
  CE_TXFULL = 0x100,
};

// Thrown by RaiseIfError when RaiseExcept is on: message
// "Communication error <code>: <text>".
class ESerialError : public Exception {
 public:
  ESerialError(int32_t code, std::string text, std::string message)
      : Exception(std::move(message)), ErrorNumber(code), ErrorText(std::move(text)) {}
  int32_t ErrorNumber;
  std::string ErrorText;
};

// Why the status hook is called (ordinals 0 to 6).
enum THookSerialReason {
  HR_SerialClose,
  HR_Connect,
  HR_CanRead,
  HR_CanWrite,
  HR_ReadCount,
  HR_WriteCount,
  HR_Wait,
};

// The status hook: called synchronously in the middle of the reporting
// operation; an exception thrown by it leaves that operation.
using THookSerialStatus =
    std::function<void(TSerialPort* Sender, THookSerialReason Reason, const std::string& Value)>;

// ------------------------------------------------------- 2. line settings

// The line-settings record, field for field the driver's record on Windows;
// the POSIX backend translates it to and from termios.
struct TLineSettings {
  uint32_t DCBlength = 0;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;  // the flag word, bits below
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;    // NOPARITY .. SPACEPARITY
  uint8_t StopBits = 0;  // ONESTOPBIT .. TWOSTOPBITS
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
};
bool operator==(const TLineSettings& a, const TLineSettings& b);

// Bits of TLineSettings::Flags.
enum : uint32_t {
  fBinary = 0x1,
  fParity = 0x2,
  fOutxCtsFlow = 0x4,
  fOutxDsrFlow = 0x8,
  DTR_CONTROL_ENABLE = 0x10,
  DTR_CONTROL_HANDSHAKE = 0x20,
  DTR_CONTROL_MASK = 0x30,
  fDsrSensitivity = 0x40,
  fTXContinueOnXoff = 0x80,
  fOutX = 0x100,
  fInX = 0x200,
  fErrorChar = 0x400,
  fNull = 0x800,
  RTS_CONTROL_ENABLE = 0x1000,
  RTS_CONTROL_HANDSHAKE = 0x2000,
  RTS_CONTROL_TOGGLE = 0x3000,
  RTS_CONTROL_MASK = 0x3000,
  fAbortOnError = 0x4000,
};
enum : uint8_t { NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4 };
enum : uint8_t { ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2 };

// Modem status bits (ModemStatusWord).
enum : uint32_t { MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80 };
// Line functions for the backend's Escape.
enum : int { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };
// Purge masks.
enum : uint32_t { PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8 };
// Event masks for WaitForCommEvent.
enum : uint32_t { EV_RXCHAR = 1, EV_TXEMPTY = 4 };

// Rebuilds `settings` the way Configure does (everything but the driver
// calls): baud, data bits, parity letter, stop-bit code, flow control, XON/XOFF
// characters and limits, and the flag word. (2400, 8, 'N', 0, false, false)
// gives the flag word 0x1011.
void BuildLineSettings(TLineSettings& settings, int Baud, int DataBits, char Parity, int StopBits,
                       bool SoftFlow, bool HardFlow, int ReceiveQueueSize);

// ---------------------------------------------------- 3. support functions

// Monotonic millisecond tick, low 32 bits.
uint32_t CurrentTickMs();
// Milliseconds from Old to New across a wrap of the 32-bit counter; a
// backward step gives its size. TickSpan(2^32-16, 16) == 32.
uint32_t TickSpan(uint32_t Old, uint32_t New);
// Position (from 1) of the first CR or LF in Text, or -1; Found receives that
// byte, or both bytes when CR LF or LF CR stand there.
int FindLineEnd(const std::string& Text, std::string& Found);

// The device path for a port name as the port chooser shows it: "COMn" is
// "/dev/ttyS(n-1)", a name starting with "/" is a path as it stands, a virtual
// port's name is its link, any other name is looked up in "/dev/". (On
// Windows: "\\.\" followed by the name.)
std::string SerialDevicePath(const std::string& name);

// The machine's serial ports as comma text (items with blanks, control bytes,
// commas or quotes are quoted, inner quotes doubled): the real devices in
// natural name order, then the virtual ports by link name.
std::string ListSerialPorts();
// The same, reading the device tree below `sysfsRoot` (normally "/sys") and
// the virtual ports in `virtualPortDir` (empty: none).
std::string ListSerialPorts(const std::string& sysfsRoot, const std::string& virtualPortDir);
// The per-user folder of virtual ports: $XDG_RUNTIME_DIR/tempolog/ports, or
// /tmp/tempolog-<uid>/ports. Empty on platforms without virtual ports.
std::string VirtualPortFolder();
// True when `folder` and its parent belong to the user and no one else can
// write to them (the only case in which virtual ports are read from it).
bool VirtualPortFolderIsSafe(const std::string& folder);
// Items joined as comma text by the rules above.
std::string CommaText(const std::vector<std::string>& items);
// Splits comma text into its items, the reverse of CommaText. Items are
// separated by commas and by runs of bytes of code 1 to 32 (which are
// dropped); an item in double quotes may hold commas and blanks, a doubled
// quote inside it standing for one quote (an unterminated quote runs to the
// end of the text); a comma at the very end adds one empty item. Any other
// byte, NUL included, belongs to its item.
std::vector<std::string> SplitCommaText(std::string_view text);

// True when an error code left by a transfer or an open says the device itself
// is gone (unplugged adapter, hung-up terminal, vanished path), as opposed to a
// silent instrument, a bad reply or a port held by someone else. Such a port
// may come back under the same name once the device is plugged in again.
bool DeviceGone(int32_t code);

// ---------------------------------------------------------- 4. TSerialPort

class TSerialPort {
 public:
  TSerialPort();
  // Uses `backend` in place of the platform's (tests use fakes).
  explicit TSerialPort(std::unique_ptr<SerialBackend> backend);
  virtual ~TSerialPort();
  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  // Fields, in declaration order, with their values after construction.
  THookSerialStatus OnStatus;          // status hook, unassigned
  intptr_t Handle = -1;                // the open port; -1 when closed
  int32_t Tag = 0;                     // free for the owner
  std::string PortPath;                // device path last opened
  int32_t LastErrorCode = 0;           // 0 success, else an error code
  std::string LastErrorText = "OK";    // text of the code last recorded
  std::string LineBuffer;              // received bytes not yet handed out
  bool RaiseExcept = false;            // throw ESerialError on failure
  int32_t ReceiveQueueSize = 4096;     // input queue size asked of the driver
  uint32_t ModemStatusWord = 0;        // from the last ReadModemStatus
  bool RtsToggle = false;              // RTS raised by the class around each send
  int32_t DeadlockTimeout = 30000;     // ms, longest wait for one driver transfer
  bool Connected = false;              // the port is open and ready
  bool TestDSR = false;                // DSR must be on
  bool TestCTS = false;                // CTS must be on
  bool PendingCR = false;              // last line end was a lone CR
  bool PendingLF = false;              // last line end was a lone LF
  int32_t MaxLineLength = 0;           // limit of a terminated read, 0 none
  bool LinuxLock = true;               // take the advisory port lock on POSIX
  int32_t SendLimit = 0;               // bytes per second, <= 0 unlimited
  uint32_t NextSendTime = 0;           // tick of the next allowed send
  int32_t ReceiveLimit = 0;            // bytes per second, <= 0 unlimited
  uint32_t NextReceiveTime = 0;        // tick of the next allowed receive
  bool ConvertLineEnd = false;         // CR LF also matches CR, LF, LF CR
  bool ModemReplyOk = false;           // outcome of ModemCommand / ModemDial
  int32_t AtTimeout = 1000;            // ms per modem reply line
  bool InterPacketTimeout = true;      // time-out applies to each chunk
  int32_t PortNumber = -1;             // zero-based, from the port name
  uint16_t PortAddress = 0;            // UART base address (legacy systems)
  TLineSettings LineSettings{};        // as last read from or written to the driver

  // Text of a code: fixed for 0 and 9991-10003, else the system's message
  // without trailing blanks, control bytes and periods (empty if none).
  static std::string GetErrorDesc(int32_t Code);

  // Virtual operations.
  virtual void DecodeLineErrors(uint32_t Flags);
  virtual uint16_t ReadPortAddress();
  virtual bool TransmitterIdle(uint16_t Address);
  virtual void SetReceiveQueueSize(int32_t Size);
  virtual bool DsrActive();
  virtual void SetDtrLine(bool On);
  virtual bool CtsActive();
  virtual void SetRtsLine(bool On);
  virtual bool CarrierActive();
  virtual bool RingActive();
  virtual void ReportStatus(THookSerialReason Reason, const std::string& Value);
  virtual void ParsePortNumber(const std::string& Name);
  virtual bool PortNotReady();
  virtual bool ModemLinesReady();
  virtual void ThrottleTransfer(int32_t Count, int32_t Limit, uint32_t& NextTime);
  virtual void SetSpeedLimit(int32_t BytesPerSecond);
  virtual std::string VersionText();
  virtual void ClosePort();
  virtual void Configure(int Baud, int DataBits, char Parity, int StopBits, bool SoftFlow,
                         bool HardFlow);
  virtual void OpenPort(const std::string& Name);
  virtual void StoreLineSettings();
  virtual void FetchLineSettings();
  virtual int32_t WriteBuffer(const void* Buffer, int32_t Count);
  virtual void WriteByteValue(uint8_t Value);
  virtual void WriteText(const std::string& Text);
  virtual void WriteInt32(int32_t Value);
  virtual void WriteCountedText(const std::string& Text);
  virtual void WriteStreamRaw(std::istream& Stream);
  virtual void WriteStreamCounted(std::istream& Stream);
  virtual void WriteStreamCountedBE(std::istream& Stream);
  virtual int32_t ReadRaw(void* Buffer, int32_t Count);
  virtual int32_t ReadBuffer(void* Buffer, int32_t Count, int32_t Timeout);
  virtual std::string ReadText(int32_t Count, int32_t Timeout);
  virtual std::string ReadChunk(int32_t Timeout);
  virtual uint8_t ReadByteValue(int32_t Timeout);
  virtual std::string ReadUntil(int32_t Timeout, const std::string& Terminator);
  virtual std::string ReadLine(int32_t Timeout);
  virtual int32_t ReadInt32(int32_t Timeout);
  virtual std::string ReadCountedText(int32_t Timeout);
  virtual void ReadStreamUntilError(std::ostream& Stream, int32_t Timeout);
  virtual void ReadStreamSized(std::ostream& Stream, int32_t Timeout, int32_t Size);
  virtual void ReadStreamCounted(std::ostream& Stream, int32_t Timeout);
  virtual void ReadStreamCountedBE(std::ostream& Stream, int32_t Timeout);
  virtual int32_t BytesWaiting();
  virtual int32_t BytesAvailable();
  virtual int32_t BytesUnsent();
  virtual void SetRtsToggle(bool On);
  virtual void FlushOutput();
  // Discards both driver queues, LineBuffer and the pending line-end state.
  virtual void PurgeAll();
  virtual bool WaitReadable(int32_t Timeout);
  virtual bool WaitWritable(int32_t Timeout);
  virtual bool WaitReadableOrBuffered(int32_t Timeout);
  virtual uint32_t ReadModemStatus();
  virtual void SendBreak(int32_t Duration);
  virtual std::string ModemCommand(const std::string& Command);
  virtual std::string ModemDial(const std::string& Command);
  virtual int32_t CheckSystemResult(int32_t Result);
  virtual void RaiseIfError();
  virtual void SetError(int32_t Code);
  virtual void FailWith(int32_t Code);

  // Shorter names for the last-error pair.
  int32_t ErrorCode() const { return LastErrorCode; }
  const std::string& ErrorText() const { return LastErrorText; }
  // The plain names of the open and close operations.
  void Open(const std::string& Name) { OpenPort(Name); }
  void Close() { ClosePort(); }

  SerialBackend& Backend() { return *backend_; }

 private:
  bool WaitForCommEvent(uint32_t Mask, int32_t Timeout);
  // WaitReadable; `queueEmpty` skips its first look at a queue just seen empty.
  bool WaitReadableFrom(int32_t Timeout, bool queueEmpty);
  // Records how a driver transfer ended, then any line errors it caused.
  void RecordTransfer(TransferEnd end);
  std::string ModemExchange(const std::string& Command, int32_t lineTimeout, bool dial);

  std::unique_ptr<SerialBackend> backend_;
};

}  // namespace tempolog
