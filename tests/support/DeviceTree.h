// Made-up device trees for the port list: a kernel tree ("sys/...") and a
// device folder ("dev/...") below a temporary root, removed with the object.
// Shared by the port list's tests and the monitor's.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "tests/support/TestEnvironment.h"

namespace tempolog::testing {

class DeviceTree {
 public:
  DeviceTree() { root_ = testing_support::MakeTemporaryFolder("device-tree"); }
  ~DeviceTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  DeviceTree(const DeviceTree&) = delete;
  DeviceTree& operator=(const DeviceTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Dev() const { return root_ + "/dev"; }
  std::string Sys() const { return root_ + "/sys"; }

  // Makes the folder and its parents; the last one gets `mode`.
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
  void Remove(const std::string& relative) const {
    std::error_code ignored;
    std::filesystem::remove_all(root_ + "/" + relative, ignored);
  }

  // A tty entry: with a driver or not, and for legacy ports a UART type.
  void Tty(const std::string& name, bool driver, const char* type = nullptr) const {
    Folder("sys/class/tty/" + name);
    if (driver) Folder("sys/class/tty/" + name + "/device/driver");
    if (type) File("sys/class/tty/" + name + "/type", type);
  }

  // A USB serial adapter plugged in at hub port `usbPort` (its own folder in
  // the kernel's tree), with `serial` as its serial number ("" for none),
  // whose interface `interface` carries tty `tty`; the system's link in
  // dev/serial/by-id, named `byId`, points at the tty's node dev/<tty>. As the
  // kernel and the system lay them out.
  void UsbAdapter(const std::string& usbPort, const std::string& serial, int interface,
                  const std::string& tty, const std::string& byId) const {
    const std::string device = "sys/devices/usb1/" + usbPort;
    const std::string iface = device + "/" + usbPort + ":1." + std::to_string(interface);
    Folder(iface + "/" + tty + "/driver");
    File(device + "/idVendor", "0403\n");
    File(device + "/idProduct", "6001\n");
    if (!serial.empty()) File(device + "/serial", serial + "\n");
    File(iface + "/bInterfaceNumber", "0" + std::to_string(interface) + "\n");
    File(iface + "/" + tty + "/port_number", "0\n");
    Folder("sys/class/tty/" + tty);
    Link("sys/class/tty/" + tty + "/device", "../../../devices/usb1/" + usbPort + "/" + usbPort +
                                                 ":1." + std::to_string(interface) + "/" + tty);
    Folder("dev/serial/by-id");
    // The node, unless a test put its own there (a link to a pseudo-terminal).
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(Dev() + "/" + tty, error)))
      File("dev/" + tty, "");
    Remove("dev/serial/by-id/" + byId);
    Link("dev/serial/by-id/" + byId, "../../" + tty);
  }
  // The adapter at `usbPort` with its tty is pulled out; the system's link
  // `byId` goes with it.
  void Unplug(const std::string& usbPort, const std::string& tty, const std::string& byId) const {
    Remove("sys/devices/usb1/" + usbPort);
    Remove("sys/class/tty/" + tty);
    Remove("dev/" + tty);
    Remove("dev/serial/by-id/" + byId);
  }

 private:
  std::string root_;
};

}  // namespace tempolog::testing
