// The system clock on POSIX systems: local time through localtime_r, whose
// tm_gmtoff is the offset from UTC of the same instant.
#include <chrono>
#include <ctime>

#include "framework/core/Clock.h"

namespace tempolog {
namespace {

ZonedTime Zoned(std::time_t secs, int ms) {
  std::tm tm{};
  localtime_r(&secs, &tm);
  return {
      LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms},
      static_cast<int>(tm.tm_gmtoff)};
}

}  // namespace

ZonedTime SystemNowZoned() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return Zoned(secs, static_cast<int>(ms < 0 ? 0 : ms));
}

LocalTime SystemNow() { return SystemNowZoned().local; }

int UtcOffsetAt(std::int64_t utcSeconds) {
  return Zoned(static_cast<std::time_t>(utcSeconds), 0).utcOffsetSeconds;
}

}  // namespace tempolog
