// The program's one clock: local date and time with milliseconds.
// Everything that needs "now" or "the current year" reads it, so tests can set it.
#pragma once

#include <cstdint>
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

// --- the offset from UTC (for output read by other systems) ---

// A local time with the offset from UTC in force at that instant.
struct ZonedTime {
  LocalTime local;
  int utcOffsetSeconds = 0;  // east of UTC: +3600 for 14:00 local at 13:00 UTC
};

// SystemNow() with the offset of the same instant.
ZonedTime SystemNowZoned();

// ClockNow() with its offset: taken from the system at the same instant, so it
// is right in the hour repeated when the clocks go back; for a clock a test
// has set, by the zone rules (LocalToUtcSeconds).
ZonedTime ClockNowZoned();

// The offset from UTC in seconds that the machine's zone rules give at the
// instant `utcSeconds` after 1970-01-01 00:00 UTC.
int UtcOffsetAt(std::int64_t utcSeconds);

// Zone rules: the offset in force at an instant (UtcOffsetAt, or a test's own).
using UtcOffsetRule = std::function<int(std::int64_t utcSeconds)>;

// The instant (seconds since 1970 UTC, milliseconds dropped) of a local time
// by the zone rules. In the hour repeated when the clocks go back the earlier
// instant is taken (the offset before the change); a time that never occurs,
// in the hour skipped when they go forward, is read with the offset before
// the change as well.
std::int64_t LocalToUtcSeconds(const LocalTime& local, const UtcOffsetRule& offsetAt = UtcOffsetAt);

// Seconds from 1970-01-01 00:00 to the local time's date and time of day, as
// if it were UTC (milliseconds dropped).
std::int64_t SecondsAsIfUtc(const LocalTime& local);

// Replaces the clock with a fixed time or a function; an empty function
// restores the system clock.
void SetClock(std::function<LocalTime()> source);
void SetClock(const LocalTime& fixed);

}  // namespace tempolog
