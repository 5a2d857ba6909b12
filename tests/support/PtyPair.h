// A pseudo-terminal pair, shared by the serial tests and the serial benchmark:
// the port under test opens the slave path, the test plays the instrument on
// the master side.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace tempolog {

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no slave name");
    path_ = name;
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return path_; }
  int Master() const { return master_; }

  // Sends bytes to the port (as the instrument would).
  void Send(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EINTR && errno != EAGAIN) return;
    }
  }

  // Sends bytes after a pause, from another thread; join before the pair dies.
  std::thread SendLater(std::string bytes, int ms) const {
    return std::thread([this, bytes = std::move(bytes), ms] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      Send(bytes);
    });
  }

  // Receives what the port sent: waits up to `ms` for the first byte, then
  // takes what follows within 20 ms of quiet.
  std::string Receive(int ms = 1000) const {
    std::string got;
    int wait = ms;
    for (;;) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN)) return got;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) return got;
      got.append(buffer, static_cast<std::size_t>(n));
      wait = 20;
    }
  }

  // Unplugs the instrument: the port's terminal is hung up.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

}  // namespace tempolog
