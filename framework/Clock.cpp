#include "framework/Clock.h"

namespace tempolog {
namespace {

std::function<LocalTime()>& Source() {
  static std::function<LocalTime()> source;
  return source;
}

}  // namespace

LocalTime ClockNow() { return Source() ? Source()() : SystemNow(); }

void SetClock(std::function<LocalTime()> source) { Source() = std::move(source); }

void SetClock(const LocalTime& fixed) {
  Source() = [fixed] { return fixed; };
}

}  // namespace tempolog
