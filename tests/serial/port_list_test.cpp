// The port list over small fake device trees, the virtual-port folder rules,
// the mapping from port names to device paths, and adapters followed to a
// new device name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "serial/SerialPort.h"
#include "tests/support/DeviceTree.h"
#include "tests/support/PortTreeOverride.h"

namespace tempolog {
namespace {

using Tree = testing::DeviceTree;

TEST(PortList, RealDevicesInNaturalOrderWithoutPhantomUarts) {
  Tree t;
  t.Tty("ttyUSB0", true);
  t.Tty("ttyACM0", true);
  t.Tty("ttyS0", true, "4\n");
  t.Tty("ttyS1", true, "0\n");  // 8250 slots without a UART
  t.Tty("ttyS2", true, "0\n");
  t.Tty("ttyS10", true, "4\n");
  t.Tty("ttyS3", true);  // no type at all: no UART either
  t.Tty("tty0", false);  // virtual console: no device driver
  t.Tty("console", false);
  t.Tty("ttyUSB10", true);
  t.Tty("ttyUSB2", true);
  EXPECT_EQ(ListSerialPorts(t.root() + "/sys", ""),
            "ttyACM0,ttyS0,ttyS10,ttyUSB0,ttyUSB2,ttyUSB10");
}

TEST(PortList, NoTreeAndNoFolderGiveAnEmptyList) {
  Tree t;
  EXPECT_EQ(ListSerialPorts(t.root() + "/nothing", t.root() + "/none"), "");
}

TEST(PortList, VirtualPortsFollowTheDevices) {
  Tree t;
  t.Tty("ttyUSB0", true);
  t.Folder("run/tempolog/ports", 0700);
  chmod((t.root() + "/run/tempolog").c_str(), 0700);
  const std::string ports = "run/tempolog/ports";
  t.Link(ports + "/sim10", "/dev/null");
  t.Link(ports + "/sim2", "/dev/null");
  t.Link(ports + "/my port", "/dev/null");
  t.File(ports + "/plain", "x");
  t.Link(ports + "/to-file", t.root() + "/" + ports + "/plain");
  t.Link(ports + "/dangling", "/dev/no-such-device");
  const std::string folder = t.root() + "/" + ports;
  EXPECT_TRUE(VirtualPortFolderIsSafe(folder));
  EXPECT_EQ(ListSerialPorts(t.root() + "/sys", folder), "ttyUSB0,\"my port\",sim2,sim10");
}

TEST(PortList, FoldersOthersCanWriteOrOwnAreIgnored) {
  const struct {
    const char* what;
    mode_t parent, ports;
    bool foreignOwner;
  } rows[] = {
      {"private", 0700, 0700, false},          {"group may write", 0700, 0770, false},
      {"anyone may write", 0700, 0777, false}, {"parent writable by all", 0777, 0700, false},
      {"someone else's", 0700, 0700, true},
  };
  for (const auto& row : rows) {
    if (row.foreignOwner && geteuid() != 0) continue;  // only root can give a folder away
    Tree t;
    t.Folder("p/ports", row.ports);
    chmod((t.root() + "/p").c_str(), row.parent);
    const std::string folder = t.root() + "/p/ports";
    t.Link("p/ports/sim0", "/dev/null");
    if (row.foreignOwner) {
      ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    }
    const bool safe = row.parent == 0700 && row.ports == 0700 && !row.foreignOwner;
    EXPECT_EQ(VirtualPortFolderIsSafe(folder), safe) << row.what;
    EXPECT_EQ(ListSerialPorts(t.root(), folder), safe ? "sim0" : "") << row.what;
  }
  Tree t;
  t.Folder("real/ports", 0700);
  chmod((t.root() + "/real").c_str(), 0700);
  t.Link("alias", t.root() + "/real/ports");
  EXPECT_FALSE(VirtualPortFolderIsSafe(t.root() + "/alias")) << "a link is not the folder";
}

TEST(PortList, DevicePathOfANameAsTheChooserShowsIt) {
  Tree t;
  t.Folder("xdg/tempolog/ports", 0700);
  chmod((t.root() + "/xdg").c_str(), 0700);
  chmod((t.root() + "/xdg/tempolog").c_str(), 0700);
  t.Link("xdg/tempolog/ports/sim0", "/dev/null");
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string savedValue = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", (t.root() + "/xdg").c_str(), 1);
  EXPECT_EQ(VirtualPortFolder(), t.root() + "/xdg/tempolog/ports");
  const struct {
    std::string name, path;
  } rows[] = {
      {"COM1", "/dev/ttyS0"},       {"com3", "/dev/ttyS2"},
      {"COM12", "/dev/ttyS11"},     {"COM0", "/dev/COM0"},
      {"COMX", "/dev/COMX"},        {"/dev/pts/3", "/dev/pts/3"},
      {"/dev/ttyS2", "/dev/ttyS2"}, {"ttyUSB0", "/dev/ttyUSB0"},
      {"pts/4", "/dev/pts/4"},      {"sim0", t.root() + "/xdg/tempolog/ports/sim0"},
      {"sim1", "/dev/sim1"},        {"", "/dev/"},
  };
  for (const auto& row : rows) EXPECT_EQ(SerialDevicePath(row.name), row.path) << row.name;
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(VirtualPortFolder(), "/tmp/tempolog-" + std::to_string(geteuid()) + "/ports");
  if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
}

TEST(PortList, AnAdapterIsFollowedToItsNewNameOnlyWhenNothingElseCouldBeIt) {
  const std::string a1 = "usb-FTDI_FT232R_USB_UART_A1-if00-port0";
  const std::string b2 = "usb-FTDI_FT232R_USB_UART_B2-if00-port0";
  const std::string d1 = "usb-FTDI_Dual_RS232_D1-if01-port0";
  const auto plugA1 = [&](const Tree& t) { t.UsbAdapter("1-1", "A1", 0, "ttyUSB0", a1); };
  const auto unplugA1 = [&](const Tree& t) { t.Unplug("1-1", "ttyUSB0", a1); };
  struct Row {
    const char* name;
    std::function<void(const Tree&)> before, after;
    std::string port;      // whose identity is taken before
    std::string identity;  // expected
    std::string followed;  // the port that carries it after
  } rows[] = {
      {"the same adapter back under a new name", plugA1,
       [&](const Tree& t) {
         unplugA1(t);
         t.UsbAdapter("1-2", "A1", 0, "ttyUSB1", a1);
       },
       "ttyUSB0", a1, "ttyUSB1"},
      {"named by its device path", plugA1, nullptr, "", a1, "ttyUSB0"},
      {"still where it was", plugA1, nullptr, "ttyUSB0", a1, "ttyUSB0"},
      {"gone and not back", plugA1, unplugA1, "ttyUSB0", a1, ""},
      {"another adapter under the new name", plugA1,
       [&](const Tree& t) {
         unplugA1(t);
         t.UsbAdapter("1-2", "B2", 0, "ttyUSB1", b2);
       },
       "ttyUSB0", a1, ""},
      {"an adapter without a serial number",
       [&](const Tree& t) { t.UsbAdapter("1-1", "", 0, "ttyUSB0", a1); }, nullptr, "ttyUSB0", "",
       ""},
      {"an identical twin plugged in already",
       [&](const Tree& t) {
         plugA1(t);
         t.UsbAdapter("1-2", "A1", 0, "ttyUSB1", a1);
       },
       nullptr, "ttyUSB1", "", ""},
      {"an identical twin plugged in meanwhile", plugA1,
       [&](const Tree& t) {
         unplugA1(t);
         t.UsbAdapter("1-2", "A1", 0, "ttyUSB1", a1);
         t.UsbAdapter("1-3", "A1", 0, "ttyUSB2", a1);
       },
       "ttyUSB0", a1, ""},
      {"the second port of a two-port adapter",
       [&](const Tree& t) {
         t.UsbAdapter("1-1", "D1", 0, "ttyUSB0", "usb-FTDI_Dual_RS232_D1-if00-port0");
         t.UsbAdapter("1-1", "D1", 1, "ttyUSB1", d1);
       },
       [&](const Tree& t) {
         t.Unplug("1-1", "ttyUSB0", "usb-FTDI_Dual_RS232_D1-if00-port0");
         t.Unplug("1-1", "ttyUSB1", d1);
         t.UsbAdapter("1-1", "D1", 0, "ttyUSB2", "usb-FTDI_Dual_RS232_D1-if00-port0");
         t.UsbAdapter("1-1", "D1", 1, "ttyUSB3", d1);
       },
       "ttyUSB1", d1, "ttyUSB3"},
      {"a port on the board", [&](const Tree& t) { t.Tty("ttyS0", true, "4\n"); }, nullptr, "ttyS0",
       "", ""},
      {"a name that is no port", plugA1, nullptr, "../ttyUSB0", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Tree t;
    const TPortTreeOverride trees({t.Dev(), t.Sys()});
    row.before(t);
    const std::string port = row.port.empty() ? t.Dev() + "/serial/by-id/" + a1 : row.port;
    EXPECT_EQ(PortIdentity(port), row.identity);
    if (row.after) row.after(t);
    EXPECT_EQ(PortWithIdentity(row.identity), row.followed);
  }
}

}  // namespace
}  // namespace tempolog
