// The program's clock as a test sets it.
#pragma once

#include <functional>
#include <utility>

#include "framework/core/Clock.h"

namespace tempolog {

// A clock set for the length of a test: a fixed time or a function; the
// system clock again when it goes out of scope.
class ClockOverride {
 public:
  explicit ClockOverride(const LocalTime& fixed) { SetClock(fixed); }
  explicit ClockOverride(std::function<LocalTime()> source) { SetClock(std::move(source)); }
  ~ClockOverride() { SetClock(std::function<LocalTime()>{}); }
  ClockOverride(const ClockOverride&) = delete;
  ClockOverride& operator=(const ClockOverride&) = delete;
};

}  // namespace tempolog
