// The seam between the POSIX serial backend and the system: every system call
// the backend makes on a port goes through these functions, so tests can make
// them fail with EINTR, EAGAIN or EIO, or write short, without a device.
// Each returns what the system call returns and leaves errno set the same way.
#pragma once

#include <cstddef>
#include <functional>

namespace tempolog {

struct PosixSysCalls {
  std::function<int(const char* path, int flags)> open;
  std::function<int(int fd)> close;
  std::function<long(int fd, void* buffer, std::size_t count)> read;
  std::function<long(int fd, const void* buffer, std::size_t count)> write;
  // One descriptor: `revents` receives the returned events.
  std::function<int(int fd, short events, int timeoutMs, short& revents)> poll;
  std::function<int(int fd, unsigned long request, void* argument)> ioctl;
  // `attributes` points to a struct termios.
  std::function<int(int fd, void* attributes)> tcgetattr;
  std::function<int(int fd, const void* attributes)> tcsetattr;  // TCSANOW
  std::function<int(int fd, int queue)> tcflush;
  std::function<int(int fd)> tcdrain;
  std::function<int(int fd, int operation)> flock;
};

// The real system calls.
PosixSysCalls RealSysCalls();
// The calls the backend uses now; tests replace members and restore them
// (SysCallsOverride).
PosixSysCalls& SysCalls();

// Replaces the backend's system calls for the lifetime of the object.
class SysCallsOverride {
 public:
  SysCallsOverride() : saved_(SysCalls()) {}
  ~SysCallsOverride() { SysCalls() = saved_; }
  SysCallsOverride(const SysCallsOverride&) = delete;
  SysCallsOverride& operator=(const SysCallsOverride&) = delete;
  PosixSysCalls& calls() { return SysCalls(); }

 private:
  PosixSysCalls saved_;
};

}  // namespace tempolog
