// The port list and port names on Windows: the serial ports the system
// registers under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, in the
// order the registry enumerates them. There are no virtual ports here.
#include "serial/SerialPort.h"

#define NOMINMAX 1  // the value libstdc++ of mingw-w64 gives it: no redefinition
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {

namespace {

// Closes the key on every path.
class Key {
 public:
  Key() {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key_) !=
        ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string VirtualPortFolder() { return std::string(); }

bool VirtualPortFolderIsSafe(const std::string&) { return false; }

std::string ListSerialPorts(const std::string&, const std::string&) {
  std::vector<std::string> ports;
  Key key;
  if (!key.get()) return std::string();
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD length = sizeof name;
    if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  for (const std::string& name : names) {
    char data[1024];
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
      continue;
    std::string port(data, size);
    while (!port.empty() && port.back() == '\0') port.pop_back();
    ports.push_back(port);
  }
  return CommaText(ports);
}

std::string ListSerialPorts() { return ListSerialPorts(std::string(), std::string()); }

std::string SerialDevicePath(const std::string& name) { return "\\\\.\\" + name; }

// Windows keeps a USB adapter's COM name with the adapter (by its serial
// number) across unplugging, so there is nothing to follow: no port has an
// identity of its own here.
std::string PortIdentity(const std::string&) { return std::string(); }

std::string PortWithIdentity(const std::string&) { return std::string(); }

std::string PortPlace(const std::string&) { return std::string(); }

std::string PortAtPlace(const std::string&) { return std::string(); }

}  // namespace tempolog
