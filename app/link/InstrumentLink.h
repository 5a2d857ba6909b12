// The instrument link: what the window and tempolog-cli both do to talk to the
// thermometer on a serial port. Plain C++, no Qt.
//
//   constants     the reply time-out, the reply length limit, the default command
//   error kinds   a system error sorted into gone, busy, denied, timed out
//   one exchange  QueryInstrument: stale bytes discarded, command and CR sent,
//                 the reply read up to CR LF and trimmed
//   the link      TInstrumentLink: a port opened by name at 2400 8N1, the
//                 two-exchange tick of a recording, and a device that went
//                 away looked for again under its name
//
// Threads and overlapping calls: a link and the TSerialPort it drives belong
// to one thread at a time. No two calls on one link, or on its port, may
// overlap; every call blocks its caller until the exchange ends (each read
// waits up to 1000 ms for the next byte). Links on different ports share
// nothing and may run on different threads at once. The window drives its
// link from its own thread, in its handlers and timer ticks; tempolog-cli
// from its main thread. Nothing here starts a thread, takes a lock or calls
// back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "serial/SerialPort.h"

namespace tempolog {

// ------------------------------------------------------------- constants

// The longest reply a query accepts; a device that sends more without ending
// the line ends the read with an error instead of holding its caller.
inline constexpr std::int32_t kMaxReplyLength = 256;
// How long a read waits for the next byte of a reply.
inline constexpr std::int32_t kReplyTimeoutMs = 1000;
// What ends a reply.
inline constexpr const char* kReplyEnd = "\r\n";
// The request the window starts with.
inline constexpr const char* kDefaultCommand = "01X?";

// ---------------------------------------------------------- error kinds

// What a serial error code means to a caller deciding what to do next.
enum class TLinkErrorKind {
  None,      // 0: success
  Gone,      // the device itself is gone (unplugged, hung up, no such port)
  Busy,      // another program holds the port
  Denied,    // the user may not open the port (on Linux: not in "dialout")
  TimedOut,  // the instrument did not answer in time
  Other,     // anything else: a bad reply, a driver error
};
TLinkErrorKind LinkErrorKind(std::int32_t code);

// --------------------------------------------------------- one exchange

// Gives a new port object the link's reply length limit.
void PrepareLinkPort(TSerialPort& port);

// One request/reply exchange: discards whatever the port received since the
// last exchange, sends `command` and CR, reads up to CR LF (kReplyTimeoutMs
// per wait); returns the blank-trimmed reply, empty when nothing usable came.
// Checks no error itself: judge success by a non-empty reply and
// port.LastErrorCode == 0.
std::string QueryInstrument(TSerialPort& port, std::string_view command);

// ------------------------------------------------------------- the link

// How one recording tick ended.
enum class TTickOutcome {
  Reading,    // the second reply is the reading (not empty)
  NoReading,  // no answer, an empty second reply, or the device still away
  TooLong,    // a reply of the tick was cut short at the length limit
  Gone,       // the device went away during this tick; the port is closed
};

struct TTickResult {
  TTickOutcome outcome = TTickOutcome::NoReading;
  std::string reading;     // the second reply, when outcome is Reading
  bool cameBack = false;   // the device, away before, answered this tick
  std::string lastReply;   // the reply of the tick's last exchange
  std::int32_t error = 0;  // the port's error code after the tick's last exchange
  // While the device is away: another adapter now sits under the port's
  // name, and the link will not read it. True on the first tick that finds
  // it there, so that callers can say so once.
  bool otherAdapter = false;
};

class TInstrumentLink {
 public:
  // Drives `port`, which must outlive the link.
  explicit TInstrumentLink(TSerialPort& port) : port_(port) {}

  // Closes whatever was open, then opens the port called `name` (as the port
  // list shows it) and sets 2400 baud, 8 data bits, no parity, one stop bit,
  // no flow control (set even when the open failed, as the window always
  // did). Remembers the name for Reopen and ends any wait for a device that
  // went away. True when the port is open; the error stays in the port.
  bool Open(const std::string& name);

  // Opens the remembered port again: the one place where a device that went
  // away is looked for. A port of a USB adapter is opened only when that
  // adapter is there: under the name that carries its identity (PortIdentity;
  // its old name, or a new one when it came back under another), or else
  // under the name of the port at its place (PortPlace: the same socket, and
  // the same vendor, product and serial number), which tells apart adapters
  // without a serial number and twins with one serial number. Until then the
  // port stays closed, whatever adapter is under the old name now. A port of
  // no USB adapter (or one missing when it was opened) is opened by its name.
  // The name found is remembered from then on. True when the port is open.
  bool Reopen();

  // Closes the port and ends any wait for a device that went away.
  void Close();

  // Closes the port and waits for the device, as after it went away: each
  // later tick reopens the port by name (for a port that is missing when a
  // recording starts).
  void WaitForDevice();

  // One recording tick, as the window's recording timer takes it:
  //   1. the first exchange (after a Reopen when the device is away); no
  //      answer ends the tick, a device gone ends it and starts the wait;
  //   2. the second exchange: its reply is the reading.
  // A reply cut at the length limit is no reading. The port is closed while
  // the device is away, and each later tick reopens it by name.
  TTickResult Tick(std::string_view command);

  // The device went away and is waited for.
  bool Away() const { return away_; }
  // The port's name as the port list shows it: the one opened, or the one
  // its adapter was followed to.
  const std::string& PortName() const { return name_; }
  TSerialPort& Port() { return port_; }

 private:
  // After a failed exchange: when the device is gone, closes the port and
  // starts the wait. True in that case.
  bool NoteGone();
  // Closes whatever was open, opens name_ and sets the line.
  bool OpenByName();
  // The port that now carries the remembered adapter; empty when none does.
  std::string OwnPort() const;

  TSerialPort& port_;
  std::string name_;
  std::string identity_;  // of name_'s adapter when it was opened; may be empty
  std::string place_;     // of name_'s adapter when it was opened; may be empty
  bool away_ = false;
  // While away: another adapter is under name_, and a tick said so.
  bool otherAtName_ = false;
};

}  // namespace tempolog
