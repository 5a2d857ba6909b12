#include "app/link/InstrumentLink.h"

#include <cstring>

#include "app/textconv/TextConv.h"

namespace tempolog {

// The port's limit counts what it holds with the line end: a reply of
// kMaxReplyLength bytes and its CR LF fit.
void PrepareLinkPort(TSerialPort& port) {
  port.MaxLineLength = kMaxReplyLength + static_cast<std::int32_t>(std::strlen(kReplyEnd));
}

std::string QueryInstrument(TSerialPort& port, std::string_view command) {
  // Bytes that came after the previous exchange ended (a stray byte after its
  // CR LF, the rest of an over-long burst, a reply later than its time-out)
  // answer no request of ours: the reply must be read from an empty port.
  if (port.Connected) port.PurgeAll();
  std::string request(command);
  request += '\r';
  port.WriteText(request);
  return TrimBlanks(port.ReadUntil(kReplyTimeoutMs, kReplyEnd));
}

bool TInstrumentLink::Open(const std::string& name) {
  name_ = name;
  identity_ = PortIdentity(name);
  place_ = PortPlace(name);
  away_ = false;
  otherAtName_ = false;
  return OpenByName();
}

std::string TInstrumentLink::OwnPort() const {
  if (!identity_.empty())
    if (std::string port = PortWithIdentity(identity_); !port.empty()) return port;
  // No identity, or not one that tells the adapter from a twin present now.
  return PortAtPlace(place_);
}

bool TInstrumentLink::Reopen() {
  otherAtName_ = false;
  if (identity_.empty() && place_.empty()) return OpenByName();
  // The name alone says nothing: after two adapters swapped their names, or
  // while another one took the old name, it is another adapter's.
  const std::string own = OwnPort();
  if (own.empty()) {
    port_.ClosePort();
    otherAtName_ = !PortPlace(name_).empty();
    return false;
  }
  name_ = own;
  return OpenByName();
}

bool TInstrumentLink::OpenByName() {
  port_.ClosePort();
  port_.OpenPort(SerialDevicePath(name_));
  const bool opened = port_.Connected;
  const std::int32_t openError = port_.LastErrorCode;
  port_.Configure(2400, 8, 'N', 0, false, false);
  // Why the open failed matters more than the closed port's Configure.
  if (!opened) port_.SetError(openError);
  return opened;
}

void TInstrumentLink::Close() {
  away_ = false;
  otherAtName_ = false;
  port_.ClosePort();
}

void TInstrumentLink::WaitForDevice() {
  away_ = true;
  port_.ClosePort();
}

bool TInstrumentLink::NoteGone() {
  if (!DeviceGone(port_.LastErrorCode)) return false;
  away_ = true;
  port_.ClosePort();
  return true;
}

TTickResult TInstrumentLink::Tick(std::string_view command) {
  TTickResult tick;
  const auto exchange = [&] {
    tick.lastReply = QueryInstrument(port_, command);
    tick.error = port_.LastErrorCode;
    return tick.lastReply;
  };
  if (away_) {
    const bool otherTold = otherAtName_;
    // Its answer to the reopened port is the tick's first reply.
    Reopen();
    tick.otherAdapter = otherAtName_ && !otherTold;
    if (exchange().empty() || tick.error != 0) {
      port_.ClosePort();
      return tick;
    }
    away_ = false;
    tick.cameBack = true;
  } else if (exchange().empty() || tick.error != 0) {
    if (NoteGone()) {
      tick.outcome = TTickOutcome::Gone;
    } else if (tick.error == ErrBufferExceeded) {
      // The instrument answered, too much: that is what happened, not silence.
      tick.outcome = TTickOutcome::TooLong;
    }
    return tick;
  }
  // Only the second reply is the reading.
  const std::string reading = exchange();
  if (NoteGone()) {
    tick.outcome = TTickOutcome::Gone;
  } else if (tick.error == ErrBufferExceeded) {
    tick.outcome = TTickOutcome::TooLong;
  } else if (!reading.empty()) {
    tick.outcome = TTickOutcome::Reading;
    tick.reading = reading;
  }
  return tick;
}

}  // namespace tempolog
