// TSerialPort: the platform-independent part. Every call on the port itself
// goes through the SerialBackend; everything here runs without one.
#include "serial/SerialPort.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

#include "serial/SerialBackend.h"

namespace tempolog {

namespace {

const char* const kCR = "\r";
const std::string kCRLF = "\r\n";
constexpr int32_t kStreamBlock = 8192;

// Reads `text` as a whole decimal integer (optional sign); false when it is
// not one or does not fit 32 bits.
bool ReadDecimal(const std::string& text, int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{1} << 31) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Int32Bytes(uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return bytes;
}

uint32_t Int32FromBytes(const std::string& bytes) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  return v;
}

uint32_t SwapBytes(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

// Restores a flag when the scope ends, on every path.
class RestoreFlag {
 public:
  RestoreFlag(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~RestoreFlag() { flag_ = saved_; }
  RestoreFlag(const RestoreFlag&) = delete;
  RestoreFlag& operator=(const RestoreFlag&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

// ------------------------------------------------------- support functions

bool operator==(const TLineSettings& a, const TLineSettings& b) {
  return a.DCBlength == b.DCBlength && a.BaudRate == b.BaudRate && a.Flags == b.Flags &&
         a.wReserved == b.wReserved && a.XonLim == b.XonLim && a.XoffLim == b.XoffLim &&
         a.ByteSize == b.ByteSize && a.Parity == b.Parity && a.StopBits == b.StopBits &&
         a.XonChar == b.XonChar && a.XoffChar == b.XoffChar && a.ErrorChar == b.ErrorChar &&
         a.EofChar == b.EofChar && a.EvtChar == b.EvtChar && a.wReserved1 == b.wReserved1;
}

void BuildLineSettings(TLineSettings& s, int Baud, int DataBits, char Parity, int StopBits,
                       bool SoftFlow, bool HardFlow, int ReceiveQueueSize) {
  s.DCBlength = sizeof(TLineSettings);
  s.BaudRate = static_cast<uint32_t>(Baud);
  s.ByteSize = static_cast<uint8_t>(DataBits);
  switch (Parity) {
    case 'N':
    case 'n': s.Parity = NOPARITY; break;
    case 'O':
    case 'o': s.Parity = ODDPARITY; break;
    case 'E':
    case 'e': s.Parity = EVENPARITY; break;
    case 'M':
    case 'm': s.Parity = MARKPARITY; break;
    case 'S':
    case 's': s.Parity = SPACEPARITY; break;
    default: break;  // keeps the driver's parity
  }
  s.StopBits = static_cast<uint8_t>(StopBits);
  s.XonChar = 17;
  s.XoffChar = 19;
  s.XonLim = s.XoffLim = static_cast<uint16_t>(ReceiveQueueSize / 4);
  uint32_t flags = fBinary | DTR_CONTROL_ENABLE;
  if (SoftFlow) flags |= fOutX | fInX;
  flags |= HardFlow ? (fOutxCtsFlow | RTS_CONTROL_HANDSHAKE) : RTS_CONTROL_ENABLE;
  if (s.Parity != NOPARITY) flags |= fParity;
  s.Flags = flags;
}

uint32_t TickSpan(uint32_t Old, uint32_t New) {
  if (New == Old) return 0;
  if (Old <= New) return New - Old;
  const uint32_t half = uint32_t{1} << 31;
  Old += half;
  New += half;
  if (Old <= New) return New - Old;
  return Old - New;
}

int FindLineEnd(const std::string& Text, std::string& Found) {
  Found.clear();
  for (std::size_t i = 0; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c != '\r' && c != '\n') continue;
    Found.assign(1, c);
    if (i + 1 < Text.size()) {
      const char next = Text[i + 1];
      if ((c == '\r' && next == '\n') || (c == '\n' && next == '\r')) Found += next;
    }
    return static_cast<int>(i + 1);
  }
  return -1;
}

std::string CommaText(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    const std::string& item = items[i];
    const bool quote = std::any_of(item.begin(), item.end(), [](char c) {
      return static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"';
    });
    if (!quote) {
      out += item;
      continue;
    }
    out += '"';
    for (char c : item) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

namespace {

bool IsSeparatorBlank(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsSeparatorBlank(text[pos])) ++pos;
}

// Reads a quoted item starting at the opening quote; leaves `pos` after the
// closing quote (or at the end of an unterminated one).
std::string ReadQuoted(std::string_view text, std::size_t& pos) {
  std::string item;
  ++pos;  // opening quote
  while (pos < text.size()) {
    if (text[pos] == '"') {
      if (pos + 1 < text.size() && text[pos + 1] == '"') {
        item += '"';
        pos += 2;
        continue;
      }
      ++pos;  // closing quote
      break;
    }
    item += text[pos++];
  }
  return item;
}

std::string ReadPlain(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && !IsSeparatorBlank(text[pos]) && text[pos] != ',') ++pos;
  return std::string(text.substr(start, pos - start));
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> items;
  std::size_t pos = 0;
  SkipBlanks(text, pos);
  while (pos < text.size()) {
    items.push_back(text[pos] == '"' ? ReadQuoted(text, pos) : ReadPlain(text, pos));
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ',') {
      if (pos + 1 == text.size()) items.emplace_back();
      ++pos;
      SkipBlanks(text, pos);
    }
  }
  return items;
}

// ---------------------------------------------------------- construction

TSerialPort::TSerialPort() : TSerialPort(MakePlatformBackend()) {}

TSerialPort::TSerialPort(std::unique_ptr<SerialBackend> backend) : backend_(std::move(backend)) {
  SetError(0);
}

TSerialPort::~TSerialPort() {
  // A destructor must not throw: close quietly, hook failures included.
  RaiseExcept = false;
  try {
    ClosePort();
  } catch (...) {
  }
}

// ---------------------------------------------------------------- errors

std::string TSerialPort::GetErrorDesc(int32_t Code) {
  switch (Code) {
    case 0: return "OK";
    case ErrPortOwned: return "Port owned by other process";
    case ErrAlreadyInUse: return "Instance already in use";
    case ErrWrongParameter: return "Wrong parameter at call";
    case ErrNotConnected: return "Instance not yet connected";
    case ErrNoDeviceAnswer: return "No device answer detected";
    case ErrBufferExceeded: return "Maximal buffer length exceeded";
    case ErrTimeout: return "Timeout during operation";
    case ErrReadFailed: return "Reading of data failed";
    case ErrFraming: return "Receive framing error";
    case ErrOverrun: return "Receive Overrun Error";
    case ErrRxQueueOverflow: return "Receive Queue overflow";
    case ErrParity: return "Receive Parity Error";
    case ErrTxQueueFull: return "Tranceive Queue is full";
    default: break;
  }
  std::string text = SystemErrorMessage(Code);
  while (!text.empty()) {
    const unsigned char last = static_cast<unsigned char>(text.back());
    if (last > ' ' && last != 0x7F && last != '.') break;
    text.pop_back();
  }
  return text;
}

void TSerialPort::SetError(int32_t Code) {
  LastErrorCode = Code;
  LastErrorText = GetErrorDesc(Code);
}

int32_t TSerialPort::CheckSystemResult(int32_t Result) {
  const int32_t code = Result == -1 ? backend_->LastError() : 0;
  SetError(code);
  return code;
}

void TSerialPort::RaiseIfError() {
  if (!RaiseExcept || LastErrorCode == 0) return;
  std::string text = GetErrorDesc(LastErrorCode);
  std::string message = "Communication error " + std::to_string(LastErrorCode) + ": " + text;
  throw ESerialError(LastErrorCode, std::move(text), std::move(message));
}

void TSerialPort::FailWith(int32_t Code) {
  SetError(Code);
  RaiseIfError();
}

void TSerialPort::DecodeLineErrors(uint32_t Flags) {
  if (Flags & CE_FRAME) LastErrorCode = ErrFraming;
  if (Flags & CE_OVERRUN) LastErrorCode = ErrOverrun;
  if (Flags & CE_RXOVER) LastErrorCode = ErrRxQueueOverflow;
  if (Flags & CE_RXPARITY) LastErrorCode = ErrParity;
  if (Flags & CE_TXFULL) LastErrorCode = ErrTxQueueFull;
}

void TSerialPort::ReportStatus(THookSerialReason Reason, const std::string& Value) {
  if (OnStatus) OnStatus(this, Reason, Value);
}

// ------------------------------------------------------ port and settings

void TSerialPort::ParsePortNumber(const std::string& Name) {
  PortNumber = -1;
  const std::string upper = UpperAscii(Name);
  int32_t n = 0;
  if (upper.rfind("COM", 0) == 0) PortNumber = (ReadDecimal(Name.substr(3), n) ? n : 0) - 1;
  if (upper.rfind("/DEV/TTYS", 0) == 0) PortNumber = ReadDecimal(Name.substr(9), n) ? n : -2;
}

void TSerialPort::OpenPort(const std::string& Name) {
  if (Connected) {
    FailWith(ErrAlreadyInUse);
    return;
  }
  LineBuffer.clear();
  PortPath = Name;
  ParsePortNumber(Name);
  backend_->ResetLastError();
  if (PortNumber != -1) PortPath = PortNumberPath(PortNumber, Name);
  Handle = backend_->OpenDevice(PortPath, LinuxLock);
  CheckSystemResult(Handle == -1 ? -1 : 0);
  RaiseIfError();
  if (LastErrorCode != 0) {
    Handle = -1;
    return;
  }
  backend_->PrepareDevice(Handle, ReceiveQueueSize);
  PortAddress = ReadPortAddress();
  SetError(0);
  if (!ModemLinesReady()) {
    SetError(ErrNoDeviceAnswer);
    backend_->CloseDevice(Handle);
    Handle = -1;
    PortNumber = -1;
  } else {
    Connected = true;
    SetRtsLine(true);
    SetDtrLine(true);
    PurgeAll();
  }
  RaiseIfError();
  ReportStatus(HR_Connect, PortPath);
}

void TSerialPort::ClosePort() {
  if (Handle != -1) {
    // The handle is released even when the purge raises (a vanished device
    // fails every call): otherwise the port could never be closed again.
    try {
      PurgeAll();
    } catch (...) {
      backend_->CloseDevice(Handle);
      Connected = false;
      Handle = -1;
      PortNumber = -1;
      throw;
    }
    SetRtsLine(false);
    SetDtrLine(false);
    backend_->CloseDevice(Handle);
  }
  Connected = false;
  Handle = -1;
  PortNumber = -1;
  SetError(0);
  ReportStatus(HR_SerialClose, PortPath);
}

void TSerialPort::Configure(int Baud, int DataBits, char Parity, int StopBits, bool SoftFlow,
                            bool HardFlow) {
  LineSettings = TLineSettings{};
  FetchLineSettings();
  BuildLineSettings(LineSettings, Baud, DataBits, Parity, StopBits, SoftFlow, HardFlow,
                    ReceiveQueueSize);
  StoreLineSettings();
}

void TSerialPort::FetchLineSettings() {
  SetError(0);
  if (!backend_->GetLineSettings(Handle, LineSettings)) CheckSystemResult(-1);
  RaiseIfError();
}

void TSerialPort::StoreLineSettings() {
  SetError(0);
  if (!backend_->SetLineSettings(Handle, LineSettings)) CheckSystemResult(-1);
  RaiseIfError();
}

void TSerialPort::SetReceiveQueueSize(int32_t Size) {
  backend_->SetupQueues(Handle, Size, 0);
  FetchLineSettings();
  LineSettings.XonLim = LineSettings.XoffLim = static_cast<uint16_t>(Size / 4);
  StoreLineSettings();
  ReceiveQueueSize = Size;
}

uint16_t TSerialPort::ReadPortAddress() { return backend_->PortAddress(Handle); }

bool TSerialPort::TransmitterIdle(uint16_t Address) { return backend_->TransmitterEmpty(Address); }

uint32_t TSerialPort::ReadModemStatus() {
  uint32_t status = 0;
  SetError(0);
  if (!backend_->GetModemStatus(Handle, status)) {
    status = 0;
    CheckSystemResult(-1);
  }
  RaiseIfError();
  ModemStatusWord = status;
  return status;
}

bool TSerialPort::DsrActive() { return (ReadModemStatus() & MS_DSR_ON) != 0; }
bool TSerialPort::CtsActive() { return (ReadModemStatus() & MS_CTS_ON) != 0; }
bool TSerialPort::RingActive() { return (ReadModemStatus() & MS_RING_ON) != 0; }
bool TSerialPort::CarrierActive() { return (ReadModemStatus() & MS_RLSD_ON) != 0; }

void TSerialPort::SetDtrLine(bool On) { backend_->EscapeFunction(Handle, On ? SETDTR : CLRDTR); }
void TSerialPort::SetRtsLine(bool On) { backend_->EscapeFunction(Handle, On ? SETRTS : CLRRTS); }

void TSerialPort::SetRtsToggle(bool On) {
  SetError(0);
  if (backend_->DriverTogglesRts()) {
    FetchLineSettings();
    LineSettings.Flags &= ~RTS_CONTROL_MASK;
    if (On) LineSettings.Flags |= RTS_CONTROL_TOGGLE;
    StoreLineSettings();
    return;
  }
  RtsToggle = On;
  if (On) SetRtsLine(false);
}

void TSerialPort::SendBreak(int32_t Duration) {
  backend_->SetBreak(Handle, true);
  backend_->SleepMs(std::max<int32_t>(Duration, 0));
  SetError(0);
  if (!backend_->SetBreak(Handle, false)) CheckSystemResult(-1);
}

bool TSerialPort::ModemLinesReady() {
  if (TestDSR && !DsrActive()) return false;
  if (TestCTS && !CtsActive()) return false;
  return true;
}

bool TSerialPort::PortNotReady() {
  if (!Connected) {
    FailWith(ErrNotConnected);
    return true;
  }
  if (!ModemLinesReady()) {
    FailWith(ErrNoDeviceAnswer);
    return true;
  }
  return false;
}

void TSerialPort::FlushOutput() {
  SetError(0);
  if (!backend_->Flush(Handle, DeadlockTimeout)) CheckSystemResult(-1);
  RaiseIfError();
}

void TSerialPort::PurgeAll() {
  SetError(0);
  if (!backend_->Purge(Handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
    CheckSystemResult(-1);
  // Whatever was received is gone, so a line end seen before the purge has no
  // partner left to drop either.
  LineBuffer.clear();
  PendingCR = PendingLF = false;
  RaiseIfError();
}

void TSerialPort::SetSpeedLimit(int32_t BytesPerSecond) {
  SendLimit = BytesPerSecond;
  ReceiveLimit = BytesPerSecond;
}

std::string TSerialPort::VersionText() { return "tempolog serial 1.0"; }

// ------------------------------------------------------------- transfers

void TSerialPort::ThrottleTransfer(int32_t Count, int32_t Limit, uint32_t& NextTime) {
  if (Limit <= 0) return;
  // The schedule is compared as a signed distance so that a wrap of the tick
  // counter never turns into a wait of weeks; a schedule never set (0) never
  // waits.
  const uint32_t now = backend_->TickMs();
  const int32_t wait = static_cast<int32_t>(NextTime - now);
  if (NextTime != 0 && wait > 0) {
    ReportStatus(HR_Wait, std::to_string(wait));
    backend_->SleepMs(wait);
  }
  const double span = static_cast<double>(std::max(Count, 0)) / Limit * 1000.0;
  const uint64_t ms = span >= 1e18 ? 0 : static_cast<uint64_t>(span);
  NextTime = static_cast<uint32_t>(ms + backend_->TickMs());
}

void TSerialPort::RecordTransfer(TransferEnd end) {
  switch (end) {
    case TransferEnd::Done: SetError(0); break;
    case TransferEnd::TimedOut: SetError(ErrTimeout); break;
    case TransferEnd::Failed: CheckSystemResult(-1); break;
  }
  if (!backend_->HasLineErrorWord()) return;
  uint32_t flags = 0;
  int32_t in = 0, out = 0;
  if (backend_->ClearError(Handle, flags, in, out) && flags != 0) DecodeLineErrors(flags);
}

int32_t TSerialPort::WriteBuffer(const void* Buffer, int32_t Count) {
  int32_t written = 0;
  if (PortNotReady()) return 0;
  Count = std::max(Count, 0);
  ThrottleTransfer(Count, SendLimit, NextSendTime);
  if (RtsToggle) {
    FlushOutput();
    SetRtsLine(true);
  }
  SetError(0);
  RecordTransfer(backend_->Write(Handle, Buffer, Count, DeadlockTimeout, written));
  if (RtsToggle) {
    // Dropping RTS after the send must not wipe out how the send itself ended.
    const int32_t code = LastErrorCode;
    const std::string text = LastErrorText;
    FlushOutput();
    WaitWritable(255);
    SetRtsLine(false);
    if (code != 0) {
      LastErrorCode = code;
      LastErrorText = text;
    }
  }
  RaiseIfError();
  ReportStatus(HR_WriteCount, std::to_string(written));
  return written;
}

void TSerialPort::WriteByteValue(uint8_t Value) { WriteBuffer(&Value, 1); }

void TSerialPort::WriteText(const std::string& Text) {
  WriteBuffer(Text.data(), static_cast<int32_t>(std::min<std::size_t>(Text.size(), INT32_MAX)));
}

void TSerialPort::WriteInt32(int32_t Value) { WriteText(Int32Bytes(static_cast<uint32_t>(Value))); }

void TSerialPort::WriteCountedText(const std::string& Text) {
  WriteInt32(static_cast<int32_t>(Text.size()));
  if (LastErrorCode == 0) WriteText(Text);  // a frame without its length is useless
}

void TSerialPort::WriteStreamRaw(std::istream& Stream) {
  std::vector<char> block(kStreamBlock);
  for (;;) {
    Stream.read(block.data(), kStreamBlock);
    const std::streamsize got = Stream.gcount();
    if (got <= 0) break;
    WriteText(std::string(block.data(), static_cast<std::size_t>(got)));
    // On a stalled port each block would wait DeadlockTimeout again.
    if (LastErrorCode != 0) break;
  }
}

namespace {
int32_t StreamRest(std::istream& Stream) {
  const std::streampos position = Stream.tellg();
  if (position < 0) return 0;
  Stream.seekg(0, std::ios::end);
  const std::streampos size = Stream.tellg();
  Stream.seekg(position);
  return static_cast<int32_t>(std::max<std::streamoff>(size - position, 0));
}
}  // namespace

void TSerialPort::WriteStreamCounted(std::istream& Stream) {
  WriteInt32(StreamRest(Stream));
  if (LastErrorCode == 0) WriteStreamRaw(Stream);
}

void TSerialPort::WriteStreamCountedBE(std::istream& Stream) {
  WriteInt32(static_cast<int32_t>(SwapBytes(static_cast<uint32_t>(StreamRest(Stream)))));
  if (LastErrorCode == 0) WriteStreamRaw(Stream);
}

int32_t TSerialPort::ReadRaw(void* Buffer, int32_t Count) {
  int32_t got = 0;
  if (PortNotReady()) return 0;
  Count = std::max(Count, 0);
  ThrottleTransfer(Count, ReceiveLimit, NextReceiveTime);
  SetError(0);
  RecordTransfer(backend_->Read(Handle, Buffer, Count, DeadlockTimeout, got));
  RaiseIfError();
  ReportStatus(HR_ReadCount, std::to_string(got));
  return got;
}

int32_t TSerialPort::BytesWaiting() {
  // The line-error flags that come with the count are dropped here.
  int32_t in = 0;
  int32_t n = 0;
  if (backend_->InputWaiting(Handle, in)) {
    SetError(0);
    n = in;
  } else {
    CheckSystemResult(-1);
  }
  RaiseIfError();
  return n;
}

int32_t TSerialPort::BytesUnsent() {
  uint32_t flags = 0;
  int32_t in = 0, out = 0;
  SetError(0);
  if (!backend_->ClearError(Handle, flags, in, out)) {
    out = 0;
    CheckSystemResult(-1);
  }
  RaiseIfError();
  return out;
}

int32_t TSerialPort::BytesAvailable() {
  if (!LineBuffer.empty())
    return static_cast<int32_t>(std::min<std::size_t>(LineBuffer.size(), INT32_MAX));
  return BytesWaiting();
}

bool TSerialPort::WaitForCommEvent(uint32_t Mask, int32_t Timeout) {
  SetError(0);
  if (Mask == EV_RXCHAR && backend_->WaitMissesQueuedInput()) {
    if (BytesWaiting() > 0) return true;
    if (LastErrorCode != 0) return false;  // the port itself failed
  }
  const int r = backend_->WaitEvent(Handle, Mask, std::max(Timeout, 0));
  if (r < 0) {
    CheckSystemResult(-1);
    RaiseIfError();
    return false;
  }
  return r > 0;
}

bool TSerialPort::WaitReadable(int32_t Timeout) { return WaitReadableFrom(Timeout, false); }

bool TSerialPort::WaitReadableFrom(int32_t Timeout, bool queueEmpty) {
  bool ready = !queueEmpty && BytesWaiting() > 0;
  if (!ready && LastErrorCode == 0) {
    ready = WaitForCommEvent(EV_RXCHAR, Timeout);
    // A failed wait keeps its error; a plain time-out looks once more.
    if (!ready && LastErrorCode == 0) ready = BytesWaiting() > 0;
  }
  if (ready) ReportStatus(HR_CanRead, std::string());
  return ready;
}

bool TSerialPort::WaitWritable(int32_t Timeout) {
  bool ready = BytesUnsent() == 0;
  if (LastErrorCode != 0) return false;
  if (!ready) ready = WaitForCommEvent(EV_TXEMPTY, Timeout);
  if (ready && !backend_->DriverTogglesRts()) {
    const uint32_t start = backend_->TickMs();
    while (!TransmitterIdle(PortAddress) && TickSpan(start, backend_->TickMs()) <= 255)
      backend_->SleepMs(0);
  }
  if (ready) ReportStatus(HR_CanWrite, std::string());
  return ready;
}

bool TSerialPort::WaitReadableOrBuffered(int32_t Timeout) {
  if (!LineBuffer.empty()) return true;
  return WaitReadable(Timeout);
}

std::string TSerialPort::ReadChunk(int32_t Timeout) {
  std::string result;
  if (PortNotReady()) return result;
  SetError(0);
  if (!LineBuffer.empty()) {
    result.swap(LineBuffer);
  } else {
    backend_->SleepMs(0);
    int32_t n = BytesWaiting();
    // A port whose queue cannot even be read (a vanished device) keeps that
    // error instead of waiting for data that cannot come.
    if (LastErrorCode == 0 && n <= 0) {
      if (WaitReadableFrom(Timeout, true)) {
        n = BytesWaiting();
        if (LastErrorCode == 0 && n == 0) SetError(ErrTimeout);
      } else if (LastErrorCode == 0) {
        SetError(ErrTimeout);
      }
    }
    if (LastErrorCode == 0 && n > 0) {
      result.resize(static_cast<std::size_t>(n));
      const int32_t got = ReadRaw(result.data(), n);
      result.resize(static_cast<std::size_t>(std::max(got, 0)));
    }
  }
  RaiseIfError();
  return result;
}

namespace {

uint32_t PortTick(TSerialPort& port) { return port.Backend().TickMs(); }

// Takes chunks until `Count` bytes arrived, handing each piece to `take`.
// Bytes of the last chunk beyond Count go back to LineBuffer.
template <typename Take>
int32_t ReadCounted(TSerialPort& port, int32_t Count, int32_t Timeout, Take take) {
  int32_t got = 0;
  for (;;) {
    const uint32_t start = PortTick(port);
    std::string chunk = port.ReadChunk(Timeout);
    const int32_t n = static_cast<int32_t>(std::min<std::size_t>(chunk.size(), Count - got));
    take(chunk.data(), n, got);
    got += n;
    if (static_cast<std::size_t>(n) < chunk.size()) port.LineBuffer = chunk.substr(n);
    if (port.LastErrorCode != 0 || got >= Count) break;
    if (port.InterPacketTimeout) continue;
    Timeout -= static_cast<int32_t>(TickSpan(start, PortTick(port)));
    if (Timeout <= 0) {
      port.SetError(ErrTimeout);
      break;
    }
  }
  return got;
}

}  // namespace

int32_t TSerialPort::ReadBuffer(void* Buffer, int32_t Count, int32_t Timeout) {
  if (PortNotReady()) return 0;
  SetError(0);
  if (Count <= 0) return 0;
  char* out = static_cast<char*>(Buffer);
  return ReadCounted(*this, Count, Timeout, [out](const char* bytes, int32_t n, int32_t at) {
    std::memcpy(out + at, bytes, static_cast<std::size_t>(n));
  });
}

std::string TSerialPort::ReadText(int32_t Count, int32_t Timeout) {
  if (PortNotReady()) return std::string();
  SetError(0);
  if (Count < 1) return std::string();
  // The text grows with what arrives, so a bogus count from the line never
  // reserves gigabytes up front. When the read fails, the bytes it took go
  // back to the front of LineBuffer for the next read.
  std::string text;
  try {
    ReadCounted(*this, Count, Timeout,
                [&text](const char* bytes, int32_t n, int32_t) { text.append(bytes, n); });
  } catch (...) {
    LineBuffer.insert(0, text);
    throw;
  }
  if (LastErrorCode != 0) {
    LineBuffer.insert(0, text);
    return std::string();
  }
  return text;
}

uint8_t TSerialPort::ReadByteValue(int32_t Timeout) {
  if (PortNotReady()) return 0;
  SetError(0);
  if (LineBuffer.empty()) LineBuffer = ReadChunk(Timeout);
  uint8_t value = 0;
  if (LastErrorCode == 0 && !LineBuffer.empty()) {
    value = static_cast<uint8_t>(LineBuffer[0]);
    LineBuffer.erase(0, 1);
  }
  RaiseIfError();
  return value;
}

std::string TSerialPort::ReadUntil(int32_t Timeout, const std::string& Terminator) {
  std::string result;
  if (PortNotReady()) return result;
  SetError(0);
  if (Terminator.empty()) return result;
  std::size_t termLen = Terminator.size();
  const bool lineEndMode = ConvertLineEnd && Terminator == kCRLF;
  std::string pending;
  int64_t pos = 0;          // from 1; 0 or less: not found
  std::size_t scanned = 0;  // bytes of pending already searched in vain
  for (;;) {
    const uint32_t start = backend_->TickMs();
    try {
      pending += ReadChunk(Timeout);
    } catch (...) {
      LineBuffer.insert(0, pending);  // nothing received is lost
      throw;
    }
    if (LastErrorCode != 0) break;
    pos = 0;
    if (!pending.empty()) {
      if (lineEndMode) {
        if (PendingCR && pending[0] == '\n') pending.erase(0, 1);
        if (PendingLF && !pending.empty() && pending[0] == '\r') pending.erase(0, 1);
        PendingCR = PendingLF = false;
        std::string found;
        pos = FindLineEnd(pending, found);
        termLen = found.size();
        PendingCR = found == kCR;
        PendingLF = found == "\n";
      } else {
        // Only the new bytes (and a terminator straddling the old end) can
        // hold the first occurrence.
        const std::size_t from = scanned >= termLen ? scanned - termLen + 1 : 0;
        const std::size_t at = pending.find(Terminator, from);
        pos = at == std::string::npos ? 0 : static_cast<int64_t>(at) + 1;
        termLen = Terminator.size();
        scanned = pending.size();
      }
    }
    if (MaxLineLength != 0 && static_cast<int64_t>(pending.size()) > MaxLineLength) {
      SetError(ErrBufferExceeded);
      break;
    }
    if (pos > 0) break;
    if (InterPacketTimeout) continue;
    Timeout -= static_cast<int32_t>(TickSpan(start, backend_->TickMs()));
    if (Timeout <= 0) {
      SetError(ErrTimeout);
      break;
    }
  }
  if (pos > 0) {
    result = pending.substr(0, static_cast<std::size_t>(pos - 1));
    pending.erase(0, static_cast<std::size_t>(pos - 1) + termLen);
  }
  LineBuffer = std::move(pending);
  RaiseIfError();
  return result;
}

std::string TSerialPort::ReadLine(int32_t Timeout) {
  std::string line = ReadUntil(Timeout, kCRLF);
  return LastErrorCode == 0 ? line : std::string();
}

int32_t TSerialPort::ReadInt32(int32_t Timeout) {
  const std::string bytes = ReadText(4, Timeout);
  if (LastErrorCode != 0 || bytes.size() != 4) return 0;
  return static_cast<int32_t>(Int32FromBytes(bytes));
}

std::string TSerialPort::ReadCountedText(int32_t Timeout) {
  const int32_t length = ReadInt32(Timeout);
  if (LastErrorCode != 0) return std::string();
  return ReadText(length, Timeout);
}

void TSerialPort::ReadStreamUntilError(std::ostream& Stream, int32_t Timeout) {
  for (;;) {
    const std::string chunk = ReadChunk(Timeout);
    if (LastErrorCode != 0) break;
    Stream.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
}

void TSerialPort::ReadStreamSized(std::ostream& Stream, int32_t Timeout, int32_t Size) {
  if (Size <= 0) return;
  for (int32_t blocks = Size / kStreamBlock; blocks > 0; --blocks) {
    const std::string block = ReadText(kStreamBlock, Timeout);
    if (LastErrorCode != 0) return;
    Stream.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  const int32_t rest = Size % kStreamBlock;
  if (rest > 0) {
    const std::string block = ReadText(rest, Timeout);
    if (LastErrorCode != 0) return;
    Stream.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

void TSerialPort::ReadStreamCounted(std::ostream& Stream, int32_t Timeout) {
  const int32_t size = ReadInt32(Timeout);
  if (LastErrorCode != 0) return;
  ReadStreamSized(Stream, Timeout, size);
}

void TSerialPort::ReadStreamCountedBE(std::ostream& Stream, int32_t Timeout) {
  const int32_t size = static_cast<int32_t>(SwapBytes(static_cast<uint32_t>(ReadInt32(Timeout))));
  if (LastErrorCode != 0) return;
  ReadStreamSized(Stream, Timeout, size);
}

// ------------------------------------------------------- modem commands

std::string TSerialPort::ModemExchange(const std::string& Command, int32_t lineTimeout, bool dial) {
  std::string result;
  ModemReplyOk = false;
  RestoreFlag lineEnds(ConvertLineEnd, true);
  WriteText(Command + kCR);
  for (;;) {
    const std::string line = ReadLine(lineTimeout);
    if (line != Command) result += line + kCRLF;
    if (!dial) {
      if (line == "OK") {
        ModemReplyOk = true;
        break;
      }
      if (line == "ERROR" || LastErrorCode != 0) break;
      continue;
    }
    if (line == "NO CARRIER" || line == "ERROR" || line == "BUSY" || line == "NO DIALTONE") break;
    if (line.rfind("CONNECT", 0) == 0) {
      ModemReplyOk = true;
      break;
    }
    if (LastErrorCode != 0) break;
  }
  return result;
}

std::string TSerialPort::ModemCommand(const std::string& Command) {
  return ModemExchange(Command, AtTimeout, false);
}

std::string TSerialPort::ModemDial(const std::string& Command) {
  const int64_t wait = int64_t{AtTimeout} * 90;
  return ModemExchange(Command,
                       static_cast<int32_t>(std::clamp<int64_t>(wait, INT32_MIN, INT32_MAX)), true);
}

}  // namespace tempolog
