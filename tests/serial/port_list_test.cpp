// The port list over small fake device trees, the virtual-port folder rules,
// and the mapping from port names to device paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "serial/SerialPort.h"

namespace tempolog {
namespace {

class Tree {
 public:
  Tree() {
    char name[] = "/tmp/port-list-XXXXXX";
    root_ = mkdtemp(name);
  }
  ~Tree() { std::system(("rm -rf '" + root_ + "'").c_str()); }
  const std::string& root() const { return root_; }

  void Folder(const std::string& relative, mode_t mode = 0755) const {
    std::string path = root_;
    std::size_t from = 0;
    while (from <= relative.size()) {
      const std::size_t slash = relative.find('/', from);
      path = root_ + "/" + relative.substr(0, slash);
      mkdir(path.c_str(), mode);
      if (slash == std::string::npos) break;
      from = slash + 1;
    }
    chmod(path.c_str(), mode);
  }
  void File(const std::string& relative, const std::string& text) const {
    std::ofstream(root_ + "/" + relative) << text;
  }
  void Link(const std::string& relative, const std::string& target) const {
    symlink(target.c_str(), (root_ + "/" + relative).c_str());
  }
  // A tty entry: with a driver or not, and for legacy ports a UART type.
  void Tty(const std::string& name, bool driver, const char* type = nullptr) const {
    Folder("sys/class/tty/" + name);
    if (driver) Folder("sys/class/tty/" + name + "/device/driver");
    if (type) File("sys/class/tty/" + name + "/type", type);
  }

 private:
  std::string root_;
};

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

}  // namespace
}  // namespace tempolog
