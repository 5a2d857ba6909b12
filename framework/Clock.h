// The program's one clock: local date and time with milliseconds.
// Everything that needs "now" or "the current year" reads it, so tests can set it.
#pragma once

#include <functional>

namespace tempolog {

struct LocalTime {
  int year = 1899, month = 12, day = 30;  // proleptic Gregorian calendar
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The local date and time now (or what a test has set).
LocalTime ClockNow();

// The system's local date and time, whatever a test has set (for names of
// files, never for readings).
LocalTime SystemNow();

// Replaces the clock with a fixed time or a function; an empty function
// restores the system clock.
void SetClock(std::function<LocalTime()> source);
void SetClock(const LocalTime& fixed);

// Restores the system clock when it goes out of scope (for tests).
class ClockOverride {
 public:
  explicit ClockOverride(const LocalTime& fixed) { SetClock(fixed); }
  explicit ClockOverride(std::function<LocalTime()> source) { SetClock(std::move(source)); }
  ~ClockOverride() { SetClock(std::function<LocalTime()>{}); }
  ClockOverride(const ClockOverride&) = delete;
  ClockOverride& operator=(const ClockOverride&) = delete;
};

}  // namespace tempolog
