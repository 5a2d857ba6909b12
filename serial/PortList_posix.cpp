// The port list and port names on POSIX systems.
//
// Real ports come from the kernel's device tree (/sys/class/tty on Linux):
// every tty with a device driver behind it, except legacy 8250 ports ("ttyS")
// whose UART type is 0 (unknown), which are placeholders without hardware.
// Where there is no such tree (macOS, the BSDs) the list holds only the
// virtual ports.
//
// Virtual ports are symbolic links to character devices (pseudo-terminals of
// tempolog-sim, for example) in a per-user folder; the folder is read only
// when it and its parent belong to the user and no one else can write there.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/SerialPort.h"

namespace tempolog {

namespace {

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// Natural order: runs of digits compare by value, so ttyS2 comes before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = a[i] >= '0' && a[i] <= '9';
    const bool db = b[j] >= '0' && b[j] <= '9';
    if (da && db) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9') ++ei;
      while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9') ++ej;
      std::size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;  // leading zeros do not count
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int c = a.compare(si, ei - si, b, sj, ej - sj);
      if (c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  return a < b;
}

// A legacy 8250 port slot has a UART only when its type is not 0.
bool HasUart(const std::string& entry) {
  std::ifstream in(entry + "/type");
  long type = 0;
  return static_cast<bool>(in >> type) && type != 0;
}

bool OwnedAndPrivate(const std::string& folder) {
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool IsVirtualPort(const std::string& link) {
  struct stat st {};
  if (lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  return stat(link.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Canonical(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return std::string();
  std::string result = resolved;
  std::free(resolved);
  return result;
}

// Where a symbolic link points, taken from the link's folder without following
// further links ("../../ttyUSB0" in /dev/serial/by-id is /dev/ttyUSB0); empty
// when `link` is none.
std::string LinkTarget(const std::string& link) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::read_symlink(link, error);
  if (error) return std::string();
  if (target.is_absolute()) return target.lexically_normal().string();
  return (std::filesystem::path(link).parent_path() / target).lexically_normal().string();
}

// The first line of a kernel attribute file; empty when there is none.
std::string Attribute(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// The USB adapter behind the kernel's tty `tty`, as the kernel's tree shows it.
struct TAdapter {
  bool found = false;  // false for a tty of no USB device
  std::string vendor, product, serial, interface, port;
  std::string socket;  // the USB device's folder: the bus and hub ports it hangs off
};

TAdapter AdapterOf(const std::string& sysfs, const std::string& tty) {
  TAdapter adapter;
  const std::string root = Canonical(sysfs);
  std::string path = Canonical(sysfs + "/class/tty/" + tty + "/device");
  if (root.empty() || path.empty()) return adapter;
  adapter.port = Attribute(path + "/port_number");
  // Up from the tty's device to the USB device it hangs off, inside the tree.
  while (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
         path[root.size()] == '/') {
    if (Exists(path + "/idVendor")) {
      adapter.found = true;
      adapter.vendor = Attribute(path + "/idVendor");
      adapter.product = Attribute(path + "/idProduct");
      adapter.serial = Attribute(path + "/serial");
      adapter.socket = BaseName(path);
      return adapter;
    }
    if (adapter.interface.empty()) adapter.interface = Attribute(path + "/bInterfaceNumber");
    path.erase(path.find_last_of('/'));
  }
  return TAdapter();
}

// What tells the USB adapter behind the kernel's tty `tty` from every other:
// its USB device's vendor, product and serial number, then the interface and
// the port on it. Empty for a tty of no USB device, and for an adapter
// without a serial number (nothing tells two of its kind apart).
std::string AdapterKey(const std::string& sysfs, const std::string& tty) {
  const TAdapter adapter = AdapterOf(sysfs, tty);
  if (!adapter.found || adapter.serial.empty()) return std::string();
  return adapter.vendor + "\n" + adapter.product + "\n" + adapter.serial + "\n" +
         adapter.interface + "\n" + adapter.port;
}

// Where and what the adapter behind `tty` is: its socket, vendor, product,
// serial number (maybe none), interface and port. Empty for a tty of no USB
// device.
std::string AdapterPlace(const std::string& sysfs, const std::string& tty) {
  const TAdapter adapter = AdapterOf(sysfs, tty);
  if (!adapter.found) return std::string();
  return adapter.socket + "\n" + adapter.vendor + "\n" + adapter.product + "\n" + adapter.serial +
         "\n" + adapter.interface + "\n" + adapter.port;
}

// The kernel's tty name behind port `name` (as the port list shows it, or a
// device path); empty when it names none.
std::string TtyOf(const std::string& name) {
  const TPortTrees& trees = PortTrees();
  // A name as the port list shows it is the kernel's tty name; a path
  // elsewhere (typed, or a link) is followed to its device node.
  const std::string path = SerialDevicePath(name);
  std::string tty = BaseName(path);
  if (path != trees.dev + "/" + tty) tty = BaseName(Canonical(path));
  return PlainName(tty) ? tty : std::string();
}

// The adapter key of `tty` when no other tty present has the same; else empty.
std::string UniqueAdapterKey(const std::string& sysfs, const std::string& tty) {
  const std::string key = AdapterKey(sysfs, tty);
  if (key.empty()) return key;
  for (const std::string& other : FolderEntries(sysfs + "/class/tty"))
    if (other != tty && AdapterKey(sysfs, other) == key) return std::string();
  return key;
}

}  // namespace

std::string VirtualPortFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/tempolog/ports";
  return "/tmp/tempolog-" + std::to_string(geteuid()) + "/ports";
}

bool VirtualPortFolderIsSafe(const std::string& folder) {
  if (!OwnedAndPrivate(folder)) return false;
  const std::size_t slash = folder.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return true;
  return OwnedAndPrivate(folder.substr(0, slash));
}

std::string ListSerialPorts(const std::string& sysfsRoot, const std::string& virtualPortDir) {
  std::vector<std::string> devices;
  const std::string ttys = sysfsRoot + "/class/tty";
  for (const std::string& name : FolderEntries(ttys)) {
    const std::string entry = ttys + "/" + name;
    if (!Exists(entry + "/device/driver")) continue;
    if (name.rfind("ttyS", 0) == 0 && !HasUart(entry)) continue;
    devices.push_back(name);
  }
  std::sort(devices.begin(), devices.end(), NaturalLess);

  std::vector<std::string> links;
  if (!virtualPortDir.empty() && VirtualPortFolderIsSafe(virtualPortDir)) {
    for (const std::string& name : FolderEntries(virtualPortDir))
      if (IsVirtualPort(virtualPortDir + "/" + name)) links.push_back(name);
    std::sort(links.begin(), links.end(), NaturalLess);
  }
  devices.insert(devices.end(), links.begin(), links.end());
  return CommaText(devices);
}

std::string ListSerialPorts() { return ListSerialPorts(PortTrees().sysfs, VirtualPortFolder()); }

std::string SerialDevicePath(const std::string& name) {
  const std::string upper = [&] {
    std::string u = name.substr(0, 3);
    for (char& c : u) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return u;
  }();
  if (upper == "COM" && name.size() > 3 &&
      std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const long n = name.size() > 12 ? 0 : std::strtol(name.c_str() + 3, nullptr, 10);
    if (n >= 1) return PortTrees().dev + "/ttyS" + std::to_string(n - 1);
  }
  if (!name.empty() && name[0] == '/') return name;
  if (PlainName(name)) {
    const std::string folder = VirtualPortFolder();
    const std::string link = folder + "/" + name;
    if (IsVirtualPort(link) && VirtualPortFolderIsSafe(folder)) return link;
  }
  return PortTrees().dev + "/" + name;
}

// --- adapter identities ------------------------------------------------------
// The system's links in /dev/serial/by-id name USB adapters by vendor, product
// and serial number. One is followed only when the kernel's tree shows that
// its adapter has a serial number and no twin present.

std::string PortIdentity(const std::string& name) {
  const TPortTrees& trees = PortTrees();
  const std::string tty = TtyOf(name);
  if (tty.empty() || UniqueAdapterKey(trees.sysfs, tty).empty()) return std::string();
  const std::string byId = trees.dev + "/serial/by-id";
  std::vector<std::string> links = FolderEntries(byId);
  std::sort(links.begin(), links.end());
  for (const std::string& link : links)
    if (BaseName(LinkTarget(byId + "/" + link)) == tty) return link;
  return std::string();
}

std::string PortWithIdentity(const std::string& identity) {
  const TPortTrees& trees = PortTrees();
  if (!PlainName(identity)) return std::string();
  const std::string tty = BaseName(LinkTarget(trees.dev + "/serial/by-id/" + identity));
  if (!PlainName(tty) || UniqueAdapterKey(trees.sysfs, tty).empty()) return std::string();
  return tty;
}

std::string PortPlace(const std::string& name) {
  const std::string tty = TtyOf(name);
  return tty.empty() ? std::string() : AdapterPlace(PortTrees().sysfs, tty);
}

std::string PortAtPlace(const std::string& place) {
  if (place.empty()) return std::string();
  const std::string sysfs = PortTrees().sysfs;
  for (const std::string& tty : FolderEntries(sysfs + "/class/tty"))
    if (AdapterPlace(sysfs, tty) == place) return tty;
  return std::string();
}

}  // namespace tempolog
