// A periodic timer on the program's message thread.
//
// Ticks fall due on a fixed grid, every interval from the moment the timer
// was switched on (or its interval changed): a tick handled late, or a
// handler that takes long, does not push the later ticks back, so a day at one
// tick a second holds 86,400 ticks. Ticks that fell due while the message loop
// could not deliver them are merged into one, taken as soon as it can.
// The tick handler runs through the application guard. Ticks of one timer do
// not pile up: a tick that falls due while the handler is still running (for
// example inside a nested modal loop) is dropped, not queued. When a tick
// fails, its error box is shown after the handler has returned, so ticks go on
// while the box is open; a tick that fails while an error box is on the screen
// (its own or any other) shows no further box: its error is dropped, so failing
// ticks never stack boxes.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>

namespace tempolog {

class TTimer : public QObject {
 public:
  explicit TTimer(QObject* parent = nullptr);
  ~TTimer() override;

  // Running only while enabled with a non-zero interval. Switching on throws
  // EOutOfResources "Not enough timers available" when the system has no
  // timer left.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Milliseconds between ticks; 0 means the timer does not run. Changing the
  // interval of a running timer restarts its period.
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t milliseconds);

  // True while the timer actually produces ticks.
  bool Running() const { return enabled_ && interval_ != 0; }

  // The tick handler.
  std::function<void()> OnTimer;

  // Delivers one tick as the timer would: guarded, not re-entered while a
  // tick is being handled, one error box at a time. Tests call it to make a
  // tick happen now.
  void Tick();

 private:
  void Restart();
  void Elapsed();

  // Starts timer_ for what is left until due_ (in pieces QTimer can count).
  void WaitForDue();

  QTimer timer_;
  bool enabled_ = true;
  std::uint32_t interval_ = 1000;
  std::chrono::steady_clock::time_point due_;  // of the next tick
  bool inHandler_ = false;
};

}  // namespace tempolog
