// The instrument link looking for an adapter that went away, on made-up
// /dev and /sys trees whose device nodes are pseudo-terminals played by the
// test: adapter A's thermometer answers 11.1, every other adapter's 77.8, so
// a reading taken from the wrong adapter shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/link/InstrumentLink.h"
#include "serial/SerialPort.h"
#include "tests/app/Instrument.h"
#include "tests/support/DeviceTree.h"
#include "tests/support/PortTreeOverride.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {
namespace {

using testing::DeviceTree;
using testing::Instrument;

struct Adapter {
  std::string usbPort;  // the hub port it is plugged in at
  std::string serial;   // "" for none
  std::string byId;     // the system's link name for it
};

// An adapter's thermometer on the pseudo-terminal behind dev/<tty>, then the
// adapter itself in the trees (in this order: the tree keeps a node that is
// already there).
std::unique_ptr<Instrument> Plug(const DeviceTree& tree, const Adapter& adapter,
                                 const std::string& tty, const std::string& value) {
  auto instrument = std::make_unique<Instrument>(tree.Dev(), tty);
  instrument->SetScript([value](int, const std::string&) { return value + "\r\n"; });
  tree.UsbAdapter(adapter.usbPort, adapter.serial, 0, tty, adapter.byId);
  return instrument;
}

TEST(InstrumentLink, AnAdapterThatWentAwayIsTakenBackOnlyWhenItIsSurelyTheSame) {
  const std::string a1 = "usb-FTDI_FT232R_USB_UART_A1-if00-port0";
  const std::string b2 = "usb-FTDI_FT232R_USB_UART_B2-if00-port0";
  const std::string plain = "usb-FTDI_FT232R_USB_UART-if00-port0";  // no serial number
  const Adapter one{"1-1", "A1", a1}, other{"1-2", "B2", b2};
  // Twins: one serial number (so one link name) for two adapters.
  const Adapter twinA{"1-1", "S7", a1}, twinB{"1-2", "S7", a1};
  const Adapter plainA{"1-1", "", plain}, plainB{"1-2", "", plain};
  struct Row {
    const char* name;
    Adapter a, b;
    bool bAtOpen;          // B is plugged in as ttyUSB1 when the link opens A's ttyUSB0
    bool together;         // after both were away, B (as ttyUSB0) and A come back before a tick
    bool aReturns;         // A comes back as ttyUSB1
    int told;              // ticks that say another adapter is under the old name
    std::string followed;  // where A is read in the end; "" while it is waited for
  } rows[] = {
      {"two adapters swap their names", one, other, true, false, true, 1, "ttyUSB1"},
      {"twins swap their names", twinA, twinB, true, false, true, 1, "ttyUSB1"},
      {"a twin takes the name as A comes back", twinA, twinB, false, true, true, 0, "ttyUSB1"},
      {"adapters without a serial swap names", plainA, plainB, true, false, true, 1, "ttyUSB1"},
      {"the old name reused while A is away", one, other, false, false, false, 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DeviceTree tree;
    const TPortTreeOverride trees({tree.Dev(), tree.Sys()});
    auto a = Plug(tree, row.a, "ttyUSB0", "11.1");
    std::unique_ptr<Instrument> b;
    if (row.bAtOpen) b = Plug(tree, row.b, "ttyUSB1", "77.8");
    TSerialPort port;
    PrepareLinkPort(port);
    TInstrumentLink link(port);
    ASSERT_TRUE(link.Open("ttyUSB0"));

    std::vector<std::string> readings;
    int told = 0;
    TTickResult tick;
    const auto takeTick = [&] {
      tick = link.Tick("01X?");
      if (tick.outcome == TTickOutcome::Reading) readings.push_back(tick.reading);
      told += tick.otherAdapter;
    };
    takeTick();
    ASSERT_EQ(tick.reading, "11.1");

    // Both pulled out; the link notices at its next tick.
    a.reset();
    tree.Unplug(row.a.usbPort, "ttyUSB0", row.a.byId);
    if (b) {
      b.reset();
      tree.Unplug(row.b.usbPort, "ttyUSB1", row.b.byId);
    }
    takeTick();
    ASSERT_EQ(tick.outcome, TTickOutcome::Gone);

    // B comes back first, under A's old name.
    const auto bBack = Plug(tree, row.b, "ttyUSB0", "77.8");
    if (!row.together)
      for (int i = 0; i < 3; ++i) takeTick();
    std::unique_ptr<Instrument> aBack;
    if (row.aReturns) aBack = Plug(tree, row.a, "ttyUSB1", "11.1");
    takeTick();
    takeTick();

    EXPECT_TRUE(bBack->Requests().empty()) << "B was asked";
    for (const std::string& reading : readings) EXPECT_EQ(reading, "11.1");
    EXPECT_EQ(told, row.told);
    if (row.followed.empty()) {
      EXPECT_NE(tick.outcome, TTickOutcome::Reading);
      EXPECT_TRUE(link.Away());
    } else {
      EXPECT_EQ(tick.outcome, TTickOutcome::Reading);
      EXPECT_EQ(tick.reading, "11.1");
      EXPECT_EQ(link.PortName(), row.followed);
    }
  }
}

// A reply up to the link's limit with its CR LF is a reply; one byte more, in
// either exchange, is an over-long reply and told as one, never as silence.
TEST(InstrumentLink, RepliesUpToTheLimitAreRepliesAndLongerOnesAreTooLong) {
  struct Row {
    std::size_t first, second;  // bytes of the tick's two replies
    TTickOutcome outcome;
    std::size_t requests;
  } rows[] = {
      {4, 255, TTickOutcome::Reading, 2}, {4, 256, TTickOutcome::Reading, 2},
      {256, 4, TTickOutcome::Reading, 2}, {4, 257, TTickOutcome::TooLong, 2},
      {257, 4, TTickOutcome::TooLong, 1}, {300, 4, TTickOutcome::TooLong, 1},
  };
  const std::string folder = testing_support::MakeTemporaryFolder("tempolog-link");
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.first) + " then " + std::to_string(row.second) + " bytes");
    Instrument instrument(folder, "lab");
    instrument.SetScript([&](int n, const std::string&) {
      return std::string(n == 1 ? row.first : row.second, '7') + "\r\n";
    });
    TSerialPort port;
    PrepareLinkPort(port);
    TInstrumentLink link(port);
    ASSERT_TRUE(link.Open(folder + "/lab"));
    const TTickResult tick = link.Tick("01X?");
    EXPECT_EQ(tick.outcome, row.outcome);
    EXPECT_EQ(tick.reading.size(), row.outcome == TTickOutcome::Reading ? row.second : 0u);
    EXPECT_EQ(instrument.Requests().size(), row.requests);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tempolog
