// A thermometer played by the test: it reads the program's requests, each
// ended by CR, and answers them from a script. The bytes travel through a
// real port on both platforms: the master side of a pseudo-terminal on
// POSIX systems, the far end of a null-modem pair of COM ports on Windows.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tempolog::testing {

// What the instrument does with the bytes it receives, apart from how they
// arrive: requests are split at CR, counted and answered by the script.
class InstrumentScript {
 public:
  // Answers request number n (from 1) with the returned bytes, or stays silent.
  using Script = std::function<std::optional<std::string>(int n, const std::string& request)>;

  void SetScript(Script script) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_ = std::move(script);
  }

  // Every request seen so far, without its CR.
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 protected:
  // Takes bytes from the port; returns what to send back, in order.
  std::string Received(const char* bytes, std::size_t count) {
    pending_.append(bytes, count);
    std::string replies;
    std::size_t cr;
    while ((cr = pending_.find('\r')) != std::string::npos) {
      const std::string request = pending_.substr(0, cr);
      pending_.erase(0, cr + 1);
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      if (!script_) continue;
      if (const std::optional<std::string> reply =
              script_(static_cast<int>(requests_.size()), request))
        replies += *reply;
    }
    return replies;
  }

 private:
  std::string pending_;
  std::mutex mutex_;
  Script script_;
  std::vector<std::string> requests_;
};

}  // namespace tempolog::testing

#ifdef _WIN32
#include "tests/app/Instrument_win32.h"
#else
#include "tests/app/Instrument_posix.h"
#endif
