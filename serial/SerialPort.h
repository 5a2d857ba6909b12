// The serial port object: one port opened exclusively, its line settings, the
// modem lines, buffered transfers with millisecond time-outs, error codes with
// their texts, the optional exception and the status hook.
//
// Sections:
//   1. Error codes, ESerialError, the status hook types
//   2. TLineSettings (the line-settings record that Configure builds)
//   3. Support functions (ticks, line-end search, port names, the port list)
//   4. TSerialPort: construction, its fields, then its operations grouped by
//      purpose (opening, line settings, modem lines, sending, receiving,
//      waits, buffers, speed limit, modem commands, errors, platform)
//
// Every operation blocks the calling thread until it completes, times out or
// fails, and records its outcome in LastErrorCode / LastErrorText (0 / "OK" on
// success). With RaiseExcept on, a failure also throws ESerialError.
//
// Typical use (the monitor's query; `port` is a TSerialPort, `name` an item of
// ListSerialPorts):
//   port.OpenPort(SerialDevicePath(name));           // a missing port: the system's code
//   port.Configure(2400, 8, 'N', 0, false, false);   // 2400 baud 8N1, no flow control
//   port.WriteText("01X?\r");                        // the request, ended by CR
//   const std::string reply = port.ReadLine(1000);   // up to CR LF; empty after 1 s of silence
//   if (port.LastErrorCode != 0) port.ClosePort();   // 9997: no answer; see DeviceGone
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/Exceptions.h"

namespace tempolog {

class SerialBackend;
enum class TransferEnd;
class TSerialPort;

// ---------------------------------------------------------------- 1. errors

// The class's own error codes; every other non-zero code is a system error
// number (errno on POSIX, GetLastError on Windows).
enum : int32_t {
  ErrPortOwned = 9991,       // "Port owned by other process" (text only)
  ErrAlreadyInUse = 9992,    // OpenPort on a connected object
  ErrWrongParameter = 9993,  // "Wrong parameter at call" (text only)
  ErrNotConnected = 9994,    // transfer on a port that is not open
  ErrNoDeviceAnswer = 9995,  // a line required by TestDSR / TestCTS is off
  ErrBufferExceeded = 9996,  // pending text longer than MaxLineLength
  ErrTimeout = 9997,         // no data in time, or a stalled driver transfer
  ErrReadFailed = 9998,      // "Reading of data failed" (text only)
  ErrFraming = 9999,         // line errors reported by the driver
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
// port's name is its link, any other name is looked up in "/dev/" (the
// device folder of PortTrees()). (On Windows: "\\.\" followed by the name.)
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
// The folders the port list and the adapter identities read: the device
// nodes ("/dev") and the kernel's device tree ("/sys"). Tests put made-up
// trees in their place with SetPortTrees (set on one thread while no port is
// being listed or named). Windows reads neither.
struct TPortTrees {
  std::string dev = "/dev";
  std::string sysfs = "/sys";
};
const TPortTrees& PortTrees();
void SetPortTrees(TPortTrees trees);

// A USB serial adapter that is plugged in again can come back under another
// device name (ttyUSB0 becomes ttyUSB1 while something still holds the old
// node). Where the platform names the adapter itself, these two find it again.
//
// The stable identity of the adapter behind port `name` (as the port list
// shows it, or a device path): on Linux the name of its link in
// /dev/serial/by-id, which the system makes from the adapter's vendor, product
// and serial number. Empty when the port has none, and also when the adapter
// could be taken for another: one without a serial number, or one of two
// present with the same vendor, product, serial number, interface and port.
// Always empty on Windows, whose COM names already stay with their adapter.
std::string PortIdentity(const std::string& name);
// The port name (as the port list shows it) that now carries `identity`, by
// the same rules; empty when no port does, or when the adapter there could be
// taken for another.
std::string PortWithIdentity(const std::string& identity);
// Where the adapter behind port `name` is plugged in, and what it says it is:
// on Linux its USB socket (bus and hub ports), vendor, product and serial
// number (maybe none), interface and port. Unlike the identity it is there
// for an adapter without a serial number and for twins, which their sockets
// tell apart; it changes when the adapter is plugged in elsewhere. Empty for
// a port of no USB adapter, and always on Windows.
std::string PortPlace(const std::string& name);
// The port name (as the port list shows it) of the adapter at `place`; empty
// when none is plugged in there, or another kind of adapter is.
std::string PortAtPlace(const std::string& place);
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
  // Each operation records its outcome as the top of this file says, a failure
  // as a code of section 1 or the system's error number; its line below names
  // the codes and results peculiar to it. A transfer on a port that is not
  // ready (PortNotReady) returns its empty result at once.

  // ---------------------------------------------------------- construction
  // A closed port on the platform's backend; LastErrorCode 0, LastErrorText "OK".
  TSerialPort();
  // The same on `backend` in place of the platform's (tests use fakes).
  explicit TSerialPort(std::unique_ptr<SerialBackend> backend);
  // Closes the port (HR_SerialClose reported); never throws, not even for the hook.
  virtual ~TSerialPort();
  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  // ------------------------------------------------------------ properties
  // Fields, in declaration order, with their values after construction.
  THookSerialStatus OnStatus;        // status hook, unassigned
  intptr_t Handle = -1;              // the open port; -1 when closed
  int32_t Tag = 0;                   // free for the owner
  std::string PortPath;              // device path last opened
  int32_t LastErrorCode = 0;         // 0 success, else an error code
  std::string LastErrorText = "OK";  // text of the code last recorded
  std::string LineBuffer;            // received bytes not yet handed out
  bool RaiseExcept = false;          // throw ESerialError on failure
  int32_t ReceiveQueueSize = 4096;   // input queue size asked of the driver
  uint32_t ModemStatusWord = 0;      // from the last ReadModemStatus
  bool RtsToggle = false;            // RTS raised by the class around each send
  int32_t DeadlockTimeout = 30000;   // ms, longest wait for one driver transfer
  bool Connected = false;            // the port is open and ready
  bool TestDSR = false;              // DSR must be on
  bool TestCTS = false;              // CTS must be on
  bool PendingCR = false;            // last line end was a lone CR
  bool PendingLF = false;            // last line end was a lone LF
  int32_t MaxLineLength = 0;         // limit of a terminated read, 0 none
  bool LinuxLock = true;             // take the advisory port lock on POSIX
  int32_t SendLimit = 0;             // bytes per second, <= 0 unlimited
  uint32_t NextSendTime = 0;         // tick of the next allowed send
  int32_t ReceiveLimit = 0;          // bytes per second, <= 0 unlimited
  uint32_t NextReceiveTime = 0;      // tick of the next allowed receive
  bool ConvertLineEnd = false;       // CR LF also matches CR, LF, LF CR
  bool ModemReplyOk = false;         // outcome of ModemCommand / ModemDial
  int32_t AtTimeout = 1000;          // ms per modem reply line
  bool InterPacketTimeout = true;    // time-out applies to each chunk
  int32_t PortNumber = -1;           // zero-based, from the port name
  uint16_t PortAddress = 0;          // UART base address (legacy systems)
  TLineSettings LineSettings{};      // as last read from or written to the driver

  // --------------------------------------------------- opening and closing
  // Opens Name exclusively, RTS/DTR on, purged; 9992 if already open, 9995 if a tested line is off.
  virtual void OpenPort(const std::string& Name);
  // OpenPort under its plain name.
  void Open(const std::string& Name) { OpenPort(Name); }
  // Closes the port if open (RTS, DTR off); always ends with code 0 and an HR_SerialClose report.
  virtual void ClosePort();
  // ClosePort under its plain name.
  void Close() { ClosePort(); }
  // PortNumber from Name: COMn gives n-1, /dev/ttySn gives n (-2 if n is no number), else -1.
  virtual void ParsePortNumber(const std::string& Name);
  // False when TestDSR or TestCTS is on and that line is off; reads no line when both are off.
  virtual bool ModemLinesReady();
  // The guard of every transfer: true after FailWith(9994) when closed, or 9995 (ModemLinesReady).
  virtual bool PortNotReady();

  // --------------------------------------------------------- line settings
  // Reads the driver's settings, rebuilds them as BuildLineSettings does, writes them back.
  virtual void Configure(int Baud, int DataBits, char Parity, int StopBits, bool SoftFlow,
                         bool HardFlow);
  // Reads the driver's line settings into LineSettings.
  virtual void FetchLineSettings();
  // Writes LineSettings to the driver; a value it refuses leaves the system's error code.
  virtual void StoreLineSettings();
  // Resizes the driver's input queue, sets the XON/XOFF limits to Size / 4, stores Size.
  virtual void SetReceiveQueueSize(int32_t Size);

  // ----------------------------------------------- modem lines and control
  // The modem status bits (MS_..._ON), also kept in ModemStatusWord; 0 on failure.
  virtual uint32_t ReadModemStatus();
  // DSR is on (reads the modem status).
  virtual bool DsrActive();
  // CTS is on (reads the modem status).
  virtual bool CtsActive();
  // The ring indicator is on (reads the modem status).
  virtual bool RingActive();
  // Carrier detect (RLSD) is on (reads the modem status).
  virtual bool CarrierActive();
  // Raises (On) or drops DTR; records no error.
  virtual void SetDtrLine(bool On);
  // Raises (On) or drops RTS; records no error.
  virtual void SetRtsLine(bool On);
  // RTS up only while sending: by the driver where it can, else by WriteBuffer (RtsToggle).
  virtual void SetRtsToggle(bool On);
  // Holds a break for Duration ms; records only a failure to end it and never throws.
  virtual void SendBreak(int32_t Duration);

  // --------------------------------------------------------------- sending
  // Sends Count bytes; returns the count the driver took; reports HR_WriteCount.
  virtual int32_t WriteBuffer(const void* Buffer, int32_t Count);
  // Sends one byte.
  virtual void WriteByteValue(uint8_t Value);
  // Sends the bytes of Text (an empty text is a write of 0 bytes).
  virtual void WriteText(const std::string& Text);
  // Sends Value as 4 bytes, least significant first.
  virtual void WriteInt32(int32_t Value);
  // Sends the length as WriteInt32, then Text (not after a failed length).
  virtual void WriteCountedText(const std::string& Text);
  // Sends the stream from its position to its end in 8192-byte blocks; stops at an error.
  virtual void WriteStreamRaw(std::istream& Stream);
  // Sends the length of the stream's rest as WriteInt32, then WriteStreamRaw.
  virtual void WriteStreamCounted(std::istream& Stream);
  // WriteStreamCounted with the length most significant byte first.
  virtual void WriteStreamCountedBE(std::istream& Stream);

  // ------------------------------------------------------------- receiving
  // Reads take LineBuffer first and leave there what they do not hand out.
  // Timeout (ms) bounds each wait for a chunk, or the whole read with
  // InterPacketTimeout off; silence past it gives 9997.
  //
  // One driver read of at most Count bytes; returns the count read; reports HR_ReadCount.
  virtual int32_t ReadRaw(void* Buffer, int32_t Count);
  // LineBuffer, else what the driver holds or first receives within Timeout; empty on 9997.
  virtual std::string ReadChunk(int32_t Timeout);
  // Count bytes into Buffer; returns how many came (fewer after an error or a time-out).
  virtual int32_t ReadBuffer(void* Buffer, int32_t Count, int32_t Timeout);
  // Count bytes as text; empty on error, the bytes taken going back to LineBuffer.
  virtual std::string ReadText(int32_t Count, int32_t Timeout);
  // One byte; 0 on error.
  virtual uint8_t ReadByteValue(int32_t Timeout);
  // Text before Terminator, which is dropped; empty on a time-out; 9996 beyond MaxLineLength.
  virtual std::string ReadUntil(int32_t Timeout, const std::string& Terminator);
  // ReadUntil(Timeout, CR LF), but empty whenever LastErrorCode is not 0.
  virtual std::string ReadLine(int32_t Timeout);
  // 4 bytes, least significant first; 0 on error.
  virtual int32_t ReadInt32(int32_t Timeout);
  // A ReadInt32 length, then that many bytes; empty on error.
  virtual std::string ReadCountedText(int32_t Timeout);
  // Copies chunks to Stream until an error (normally 9997 once the line goes quiet).
  virtual void ReadStreamUntilError(std::ostream& Stream, int32_t Timeout);
  // Copies Size bytes to Stream in 8192-byte blocks, stopping at an error; none if Size <= 0.
  virtual void ReadStreamSized(std::ostream& Stream, int32_t Timeout, int32_t Size);
  // A ReadInt32 length, then ReadStreamSized of it.
  virtual void ReadStreamCounted(std::ostream& Stream, int32_t Timeout);
  // ReadStreamCounted with the length most significant byte first.
  virtual void ReadStreamCountedBE(std::ostream& Stream, int32_t Timeout);

  // ----------------------------------------------------------------- waits
  // True (reporting HR_CanRead) once received bytes wait in the driver, within Timeout ms.
  virtual bool WaitReadable(int32_t Timeout);
  // True at once when LineBuffer holds bytes, else WaitReadable.
  virtual bool WaitReadableOrBuffered(int32_t Timeout);
  // True (reporting HR_CanWrite) once the output queue is empty, within Timeout ms.
  virtual bool WaitWritable(int32_t Timeout);

  // --------------------------------------------------- buffers and purging
  // Bytes in the driver's input queue (its line-error flags are dropped); 0 on failure.
  virtual int32_t BytesWaiting();
  // LineBuffer's length when it holds bytes, else BytesWaiting.
  virtual int32_t BytesAvailable();
  // Bytes in the driver's output queue; 0 on failure.
  virtual int32_t BytesUnsent();
  // Waits until the driver has sent all its output.
  virtual void FlushOutput();
  // Discards both driver queues, LineBuffer and the pending line-end state.
  virtual void PurgeAll();

  // ----------------------------------------------------------- speed limit
  // Limits sending and receiving to BytesPerSecond each; 0 or less: unlimited.
  virtual void SetSpeedLimit(int32_t BytesPerSecond);
  // With Limit > 0: sleeps until NextTime (reporting HR_Wait), books Count bytes at Limit/s.
  virtual void ThrottleTransfer(int32_t Count, int32_t Limit, uint32_t& NextTime);

  // -------------------------------------------------------- modem commands
  // Sends Command and CR, returns the reply lines (not the echo) up to "OK" or "ERROR".
  virtual std::string ModemCommand(const std::string& Command);
  // ModemCommand for dialling: AtTimeout x 90 per line, up to "CONNECT..." or a failure line.
  virtual std::string ModemDial(const std::string& Command);

  // ----------------------------------------------------- errors and status
  // Text of Code: fixed for 0 and 9991-10003, else the system's message, trimmed (may be empty).
  static std::string GetErrorDesc(int32_t Code);
  // Records Code and its text in LastErrorCode / LastErrorText.
  virtual void SetError(int32_t Code);
  // Records the platform's last error when Result is -1, else 0; returns the code recorded.
  virtual int32_t CheckSystemResult(int32_t Result);
  // Throws ESerialError for LastErrorCode when RaiseExcept is on and the code is not 0.
  virtual void RaiseIfError();
  // SetError(Code), then RaiseIfError.
  virtual void FailWith(int32_t Code);
  // LastErrorCode from driver line-error flags (9999-10003, last match wins); text unchanged.
  virtual void DecodeLineErrors(uint32_t Flags);
  // Calls OnStatus when assigned; whatever it throws leaves the calling operation.
  virtual void ReportStatus(THookSerialReason Reason, const std::string& Value);
  // LastErrorCode under a shorter name.
  int32_t ErrorCode() const { return LastErrorCode; }
  // LastErrorText under a shorter name.
  const std::string& ErrorText() const { return LastErrorText; }

  // -------------------------------------------------- platform and version
  // The UART base address where the platform gives it (legacy Windows), else 0.
  virtual uint16_t ReadPortAddress();
  // The UART at Address has sent its last byte (legacy Windows); true elsewhere.
  virtual bool TransmitterIdle(uint16_t Address);
  // The fixed text "tempolog serial 1.0".
  virtual std::string VersionText();
  // The backend that makes every platform call.
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
