#include "framework/core/Clock.h"

namespace tempolog {
namespace {

std::function<LocalTime()>& Source() {
  static std::function<LocalTime()> source;
  return source;
}

}  // namespace

LocalTime ClockNow() { return Source() ? Source()() : SystemNow(); }

std::int64_t SecondsAsIfUtc(const LocalTime& local) {
  // Days from 1970-01-01 on the proleptic Gregorian calendar, counted in
  // 400-year eras that start on 1 March (so the leap day ends a year).
  const std::int64_t y = local.year - (local.month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t monthFromMarch = (local.month + 9) % 12;
  const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + local.day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + local.hour * 3600 + local.minute * 60 + local.second;
}

std::int64_t LocalToUtcSeconds(const LocalTime& local, const UtcOffsetRule& offsetAt) {
  const std::int64_t asUtc = SecondsAsIfUtc(local);
  // Every offset that could apply is in force somewhere within a day of the
  // wall-clock reading; one that gives back the same wall clock is right.
  constexpr std::int64_t kDay = 86400;
  const int before = offsetAt(asUtc - kDay);
  std::int64_t best = 0;
  bool found = false;
  for (const std::int64_t probe : {asUtc - kDay, asUtc, asUtc + kDay}) {
    const int offset = offsetAt(probe);
    const std::int64_t instant = asUtc - offset;
    if (offsetAt(instant) != offset) continue;
    // Two fit in the repeated hour: the earlier instant.
    if (!found || instant < best) best = instant;
    found = true;
  }
  // A time in the skipped hour: the offset in force before the change.
  return found ? best : asUtc - before;
}

ZonedTime ClockNowZoned() {
  if (!Source()) return SystemNowZoned();
  const LocalTime local = Source()();
  return {local, static_cast<int>(SecondsAsIfUtc(local) - LocalToUtcSeconds(local))};
}

void SetClock(std::function<LocalTime()> source) { Source() = std::move(source); }

void SetClock(const LocalTime& fixed) {
  Source() = [fixed] { return fixed; };
}

}  // namespace tempolog
