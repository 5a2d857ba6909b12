// The window on Windows against a simulated thermometer: scripts/wintest runs
// tempolog-sim on a pseudo-terminal, maps it to a COM port of Wine's, lists it
// in the registry key of serial ports and names it in TEMPOLOG_TEST_PORT;
// without it these tests are skipped. The window runs as the operator's does:
// its own timers, Wine's serial driver, real dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "framework/core/Files.h"
#include "tests/support/FileContents.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnvironment.h"

// After our headers: the macros of <windows.h> carry the names of its constants.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedDialogs::Kind;
using testing_support::ReadAll;

std::string TestPort() {
  const char* port = std::getenv("TEMPOLOG_TEST_PORT");
  return port != nullptr ? port : "";
}

// Lets the window run (timers, repaints) for `ms` milliseconds.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

class RecordingWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (TestPort().empty())
      GTEST_SKIP() << "TEMPOLOG_TEST_PORT names no port with a simulated thermometer "
                      "(scripts/wintest)";
    dir_ = testing_support::MakeTemporaryFolder("tempolog-recording");
    form_ = std::make_unique<TForm1>();
    form_->AwaitRecovery();  // no journal of a later test's is taken for a dead one
    form_->show();
    QApplication::processEvents();
  }

  void TearDown() override {
    form_.reset();
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
    fs::remove(ProgramFolder() + "\\data_log.bkp", ignored);
  }

  void GoOnline() {
    form_->ComCBoxEnter();
    const int index = form_->ComCBox->findText(ToScreen(TestPort()));
    ASSERT_GE(index, 1) << "the port list lacks " << TestPort();
    form_->ComCBox->setCurrentIndex(index);
    emit form_->ComCBox->activated(index);
    ASSERT_EQ(form_->lbCom->Text(), "online");
  }

  void ClickRun() { form_->sbRejestruj->click(); }

  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }

  // Pixels of the readings' line in the chart as the window draws it.
  int LinePixels() const {
    const QImage image = form_->Panel2->grab().toImage();
    const QRgb line = ToQColor(form_->Series1->SeriesColor()).rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == line ? 1 : 0;
    return n;
  }

  std::string dir_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(RecordingWin32Test, RecordsSavesLoadsClearsAndBacksUp) {
  TScriptedDialogs dialogs;
  GoOnline();
  ClickRun();
  RunFor(3500);
  ClickRun();
  const std::size_t lines = form_->Memo1->LineCount();
  ASSERT_GE(lines, 3u) << form_->Memo1->Text();
  EXPECT_EQ(form_->Series1->PointCount(), static_cast<int>(lines));
  const LogColumns last = SplitLogLine(form_->Memo1->Line(lines - 1));
  EXPECT_EQ(form_->lbTemp->Text(), std::string(last.value));
  EXPECT_TRUE(dialogs.History().empty());
  const int drawn = LinePixels();
  EXPECT_GT(drawn, 0);

  // Save as, Clear, Load: the same lines, one point each.
  const std::string text(form_->Memo1->Text());
  dialogs.AnswerFile(Path("saved.log"));
  form_->zapis1->trigger();
  EXPECT_EQ(ReadAll(Path("saved.log")), text);
  EXPECT_EQ(form_->Unsaved, 0);
  form_->Kasuj1->trigger();
  EXPECT_EQ(form_->Memo1->Text(), "");
  EXPECT_EQ(form_->Series1->PointCount(), 0);
  EXPECT_EQ(LinePixels(), 0);
  dialogs.AnswerFile(Path("saved.log"));
  form_->Odczytajzpliku1->trigger();
  EXPECT_EQ(form_->Memo1->Text(), text);
  EXPECT_EQ(form_->Series1->PointCount(), static_cast<int>(lines));
  EXPECT_EQ(LinePixels(), drawn);  // the same line again

  // A reading after the save makes the log unsaved: the close backs it up.
  ClickRun();
  RunFor(300);
  ClickRun();
  const std::string unsaved(form_->Memo1->Text());
  ASSERT_GT(unsaved.size(), text.size());
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(ReadAll(ProgramFolder() + "\\data_log.bkp"), unsaved);
  EXPECT_TRUE(dialogs.Boxes(Kind::Error).empty());
}

// The Save as dialog on the screen for a few periods, then cancelled (by a
// thread of the test, as the operator would: the dialog's own loop holds the
// window's thread): the recording goes on behind it, one reading per period,
// none lost while it is open, as it closes or after it.
//
// Under Wine this holds once Wine frames its windows itself (scripts/wintest
// sets that up): left to a window manager, which the virtual display lacks,
// Wine holds the closing program's thread for 2 s waiting for the manager.
TEST_F(RecordingWin32Test, TheRecordingGoesOnWhileADialogIsOpen) {
  form_->ePeriod->setText("1");
  GoOnline();
  const auto started = std::chrono::steady_clock::now();
  ClickRun();
  RunFor(1500);
  std::atomic<bool> done{false};
  std::thread closer([&done] {
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    // Cancels whatever dialog of this process is on the screen.
    const DWORD self = GetCurrentProcessId();
    while (!done) {
      EnumWindows(
          [](HWND window, LPARAM selfId) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (owner == static_cast<DWORD>(selfId) && IsWindowVisible(window) &&
                (std::string(name) == "#32770" || GetWindow(window, GW_OWNER) != nullptr))
              PostMessageA(window, WM_CLOSE, 0, 0);
            return TRUE;
          },
          static_cast<LPARAM>(self));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  const std::size_t before = form_->Memo1->LineCount();
  TQtDialogs real;
  EXPECT_EQ(real.ChooseSaveFile(), std::nullopt);
  done = true;
  closer.join();
  const std::size_t whileOpen = form_->Memo1->LineCount() - before;
  RunFor(2500);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ClickRun();
  // Open for 3.5 s: a reading each second it was open. In all, one reading at
  // Run, then one each full second (about 7.5 s: half a period from either
  // side).
  EXPECT_GE(whileOpen, 3u) << form_->Memo1->Text();
  EXPECT_EQ(form_->Memo1->LineCount(), 1u + static_cast<std::size_t>(seconds))
      << seconds << " s\n"
      << form_->Memo1->Text();
  EXPECT_EQ(form_->Series1->PointCount(), static_cast<int>(form_->Memo1->LineCount()));
}

}  // namespace
}  // namespace tempolog
