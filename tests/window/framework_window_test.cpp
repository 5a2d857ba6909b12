// The guard, the error box and the timer of the window framework.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>
#include <new>
#include <stdexcept>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Timer.h"
#include "framework/core/Exceptions.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"

namespace tempolog {
namespace {

using Kind = TScriptedDialogs::Kind;

TEST(GuardTest, AnEscapingExceptionShowsOneErrorBoxAndTheProgramGoesOn) {
  struct Row {
    const char* name;
    std::function<void()> handler;
    std::string expectedText;
  } rows[] = {
      {"convert error", [] { throw EConvertError("'abc' is not a valid integer value"); },
       "'abc' is not a valid integer value."},
      {"message ending in a full stop", [] { throw EFOpenError("Cannot open."); }, "Cannot open."},
      {"message ending below the full stop", [] { throw Exception("text -"); }, "text -"},
      {"empty message", [] { throw Exception(""); }, ""},
      {"standard exception", [] { throw std::runtime_error("broken"); }, "broken."},
      {"out of memory", [] { throw std::bad_alloc(); }, "Out of memory."},
      {"not an exception class", [] { throw 42; }, "Unexpected error."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TScriptedDialogs dialogs;
    bool after = false;
    EXPECT_FALSE(Guard(row.handler));
    after = true;  // reached: nothing escaped the guard
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].kind, Kind::Error);
    EXPECT_EQ(dialogs.History()[0].text, row.expectedText);
    EXPECT_EQ(dialogs.History()[0].caption, "tempolog");
    EXPECT_TRUE(after);
  }
}

TEST(GuardTest, AHandlerThatCompletesShowsNothing) {
  TScriptedDialogs dialogs;
  int runs = 0;
  EXPECT_TRUE(Guard([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(dialogs.History().empty());
}

TEST(GuardTest, AnExceptionThrownFromAQtEventEndsInTheErrorBox) {
  // The application object's last line of defence: an exception thrown while
  // Qt delivers an event is caught before it reaches Qt.
  TScriptedDialogs dialogs;
  // A posted event whose handler throws goes through notify().
  struct Thrower : QObject {
    bool event(QEvent* e) override {
      if (e->type() == QEvent::User) throw EInvalidOperation("from an event");
      return QObject::event(e);
    }
  } thrower;
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  ASSERT_EQ(dialogs.Boxes(Kind::Error).size(), 1u);
  EXPECT_EQ(dialogs.Boxes(Kind::Error)[0].text, "from an event.");
}

TEST(MessageBoxTest, AShortTextStillLeavesRoomForTheWholeCaption) {
  // Both real boxes, each closed from inside its own modal loop once shown.
  for (const bool error : {false, true}) {
    SCOPED_TRACE(error ? "error box" : "message box");
    int width = 0;
    QFont titleFont;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr || !box->isVisible()) continue;
        width = box->width();
        titleFont = box->font();
        box->done(0);
      }
    });
    closer.start();
    TQtDialogs qt;
    if (error) qt.ShowError("No data !", "tempolog");
    else qt.ShowMessage("No data !", "tempolog");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    // The caption in a bold title font, and a window icon and three buttons of
    // about two font heights each beside it.
    EXPECT_GE(width, metrics.horizontalAdvance(QStringLiteral("tempolog")) + 8 * metrics.height());
  }
}

TEST(TimerTest, AnIntervalOfZeroOrADisabledTimerDoesNotRun) {
  struct Row {
    const char* name;
    bool enabled;
    std::uint32_t interval;
    bool running;
  } rows[] = {
      {"enabled, 250 ms", true, 250, true},
      {"enabled, 0 ms", true, 0, false},
      {"disabled, 250 ms", false, 250, false},
      {"enabled, longest interval", true, 0xFFFFFFFFu, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TTimer timer;
    timer.SetInterval(row.interval);
    timer.SetEnabled(row.enabled);
    EXPECT_EQ(timer.Running(), row.running);
  }
}

TEST(TimerTest, TicksArriveFromTheMessageLoop) {
  TScriptedDialogs dialogs;
  TTimer timer;
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetInterval(5);
  QElapsedTimer clock;
  clock.start();
  while (ticks < 3 && clock.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  EXPECT_GE(ticks, 3);
  timer.SetEnabled(false);
  const int stopped = ticks;
  clock.restart();
  while (clock.elapsed() < 50) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(ticks, stopped);
}

TEST(TimerTest, ATickIsNotReenteredWhileItsHandlerRuns) {
  TScriptedDialogs dialogs;
  TTimer timer;
  timer.SetEnabled(false);
  int entries = 0;
  int depth = 0;
  int deepest = 0;
  timer.OnTimer = [&] {
    ++entries;
    ++depth;
    deepest = std::max(deepest, depth);
    timer.Tick();  // as a nested modal loop would deliver a due tick
    --depth;
  };
  timer.Tick();
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(deepest, 1);
}

TEST(TimerTest, FailingTicksShowOneBoxAtATimeAndTicksGoOnMeanwhile) {
  TScriptedDialogs dialogs;
  TTimer timer;
  timer.SetEnabled(false);
  bool fail = true;
  int completed = 0;
  timer.OnTimer = [&] {
    if (fail) throw EConvertError("'x' is not a valid floating point value");
    ++completed;
  };
  // While the first box is open, the modal loop delivers three more ticks:
  // two fail, one succeeds.
  int nested = 0;
  dialogs.WhileOpen = [&](const TScriptedDialogs::Shown&) {
    if (nested++ > 0) return;
    timer.Tick();
    fail = false;
    timer.Tick();
    fail = true;
    timer.Tick();
  };
  timer.Tick();
  EXPECT_EQ(dialogs.Boxes(Kind::Error).size(), 1u);
  EXPECT_EQ(completed, 1);
  // Once the box is closed, the next failing tick shows its box again.
  dialogs.WhileOpen = nullptr;
  timer.Tick();
  EXPECT_EQ(dialogs.Boxes(Kind::Error).size(), 2u);
}

}  // namespace
}  // namespace tempolog
