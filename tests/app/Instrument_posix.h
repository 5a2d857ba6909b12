// The POSIX half of Instrument.h: the thermometer on the master side of a
// pseudo-terminal, offered to the program as a virtual port in
// $XDG_RUNTIME_DIR/tempolog/ports.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace tempolog::testing {

class Instrument : public InstrumentScript {
 public:
  Instrument(const std::string& portsDir, const std::string& name) : link_(portsDir + "/" + name) {
    std::filesystem::create_directories(portsDir);
    chmod(portsDir.c_str(), 0700);
    Plug();
  }

  ~Instrument() { Unplug(); }

  // The adapter is pulled out: the terminal hangs up and the port's name
  // disappears. Return() plugs it in again under the same name.
  void Vanish() { Unplug(); }
  void Return() { Plug(); }

  // Sends bytes unasked (stray bytes, a late reply).
  void Send(const std::string& bytes) { Write(bytes); }

 private:
  void Plug() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slavePath = ptsname(master_);
    // Held open so that the terminal never hangs up between the program's opens.
    slave_ = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    std::filesystem::create_symlink(slavePath, link_);
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
  }

  void Unplug() {
    if (master_ < 0) return;
    stop_ = true;
    thread_.join();
    std::error_code ignored;
    std::filesystem::remove(link_, ignored);
    close(slave_);
    close(master_);
    slave_ = master_ = -1;
  }

  void Serve() {
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0 || (p.revents & POLLIN) == 0) continue;
      char buffer[512];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) Write(Received(buffer, static_cast<std::size_t>(n)));
    }
  }

  void Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  std::string link_;
  int master_ = -1;
  int slave_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The instrument the window tests choose, and the name it has in the port list.
inline constexpr const char* kInstrumentName = "inst0";
inline std::string InstrumentPort() { return kInstrumentName; }
inline std::unique_ptr<Instrument> PlugInstrument(const std::string& runtimeDir) {
  return std::make_unique<Instrument>(runtimeDir + "/tempolog/ports", kInstrumentName);
}

}  // namespace tempolog::testing
