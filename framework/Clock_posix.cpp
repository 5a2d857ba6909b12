// The system clock on POSIX systems: local time through localtime_r.
#include <chrono>
#include <ctime>

#include "framework/Clock.h"

namespace tempolog {

LocalTime SystemNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&secs, &tm);
  return LocalTime{tm.tm_year + 1900,
                   tm.tm_mon + 1,
                   tm.tm_mday,
                   tm.tm_hour,
                   tm.tm_min,
                   tm.tm_sec,
                   static_cast<int>(ms < 0 ? 0 : ms)};
}

}  // namespace tempolog
