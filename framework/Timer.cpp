#include "framework/Timer.h"

#include <algorithm>
#include <climits>
#include <string>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/StateHelpers.h"

namespace tempolog {

namespace {

// QTimer counts in signed milliseconds; longer periods run in pieces.
constexpr std::uint32_t kLongestRun = static_cast<std::uint32_t>(INT_MAX);

}  // namespace

TTimer::TTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Elapsed(); });
  Restart();
}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::SetInterval(std::uint32_t milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Restart();
}

void TTimer::Restart() {
  timer_.stop();
  if (!Running()) return;
  remaining_ = interval_;
  const std::uint32_t run = std::min(remaining_, kLongestRun);
  timer_.start(static_cast<int>(run));
  if (!timer_.isActive()) {
    enabled_ = false;
    throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::Elapsed() {
  const std::uint32_t ran = std::min(remaining_, kLongestRun);
  remaining_ -= ran;
  if (remaining_ != 0) {
    timer_.start(static_cast<int>(std::min(remaining_, kLongestRun)));
    return;
  }
  // The next period starts now, before the handler, so the handler's own
  // duration does not stretch the period.
  remaining_ = interval_;
  timer_.start(static_cast<int>(std::min(remaining_, kLongestRun)));
  Tick();
}

void TTimer::Tick() {
  if (inHandler_ || !OnTimer) return;
  std::string message;
  bool completed = false;
  {
    const FlagGuard inHandler(inHandler_);
    completed = CatchHandler(OnTimer, message);
  }
  if (completed || ErrorBoxOpen()) return;
  ShowErrorBox(message);
}

}  // namespace tempolog
