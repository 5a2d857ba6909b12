#include "framework/Timer.h"

#include <algorithm>
#include <climits>
#include <string>

#include "framework/Application.h"
#include "framework/StateHelpers.h"
#include "framework/core/Exceptions.h"

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
  due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
  WaitForDue();
  if (!timer_.isActive()) {
    enabled_ = false;
    throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::WaitForDue() {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(due_ - std::chrono::steady_clock::now());
  const std::int64_t ms = std::max<std::int64_t>(left.count(), 0);
  timer_.start(static_cast<int>(std::min<std::int64_t>(ms, kLongestRun)));
}

void TTimer::Elapsed() {
  const auto now = std::chrono::steady_clock::now();
  if (now < due_) {  // one piece of a long period, or a wake-up a little early
    WaitForDue();
    return;
  }
  // The next tick on the grid after now: ticks missed meanwhile are merged
  // into this one. The next period is set before the handler runs, so the
  // handler's own duration does not stretch it.
  const std::chrono::milliseconds period(interval_);
  due_ += period * ((now - due_) / period + 1);
  WaitForDue();
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
