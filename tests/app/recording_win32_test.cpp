// The window on Windows against a simulated thermometer: scripts/wintest runs
// tempolog-sim on a pseudo-terminal, maps it to a COM port of Wine's, lists it
// in the registry key of serial ports and names it in TEMPOLOG_TEST_PORT;
// without it these tests are skipped. The window runs as the operator's does:
// its own timers, Wine's serial driver, real dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
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
#include <vector>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/Files.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnvironment.h"

// After our headers: the macros of <windows.h> carry the names of its constants.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedDialogs::Kind;

std::string TestPort() {
  const char* port = std::getenv("TEMPOLOG_TEST_PORT");
  return port != nullptr ? port : "";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Lets the window run (timers, repaints) for `ms` milliseconds.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The seconds of each log line's time stamp, first to last.
std::vector<double> Times(const TForm1& form) {
  std::vector<double> times;
  for (std::size_t i = 0; i < form.Memo1->LineCount(); ++i) {
    const LogColumns columns = SplitLogLine(form.Memo1->Line(i));
    times.push_back(ParseTimestamp(form.TextSettings, columns.timestamp) * 86400.0);
  }
  return times;
}

class RecordingWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (TestPort().empty())
      GTEST_SKIP() << "TEMPOLOG_TEST_PORT names no port with a simulated thermometer "
                      "(scripts/wintest)";
    dir_ = testing_support::MakeTemporaryFolder("tempolog-recording");
    form_ = std::make_unique<TForm1>();
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

  // Save as, Clear, Load: the same lines, one point each.
  const std::string text = form_->Memo1->Text();
  dialogs.AnswerFile(Path("saved.log"));
  form_->zapis1->trigger();
  EXPECT_EQ(ReadAll(Path("saved.log")), text);
  EXPECT_EQ(form_->Unsaved, 0);
  form_->Kasuj1->trigger();
  EXPECT_EQ(form_->Memo1->Text(), "");
  EXPECT_EQ(form_->Series1->PointCount(), 0);
  dialogs.AnswerFile(Path("saved.log"));
  form_->Odczytajzpliku1->trigger();
  EXPECT_EQ(form_->Memo1->Text(), text);
  EXPECT_EQ(form_->Series1->PointCount(), static_cast<int>(lines));

  // A reading after the save makes the log unsaved: the close backs it up.
  ClickRun();
  RunFor(300);
  ClickRun();
  const std::string unsaved = form_->Memo1->Text();
  ASSERT_GT(unsaved.size(), text.size());
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(ReadAll(ProgramFolder() + "\\data_log.bkp"), unsaved);
  EXPECT_TRUE(dialogs.Boxes(Kind::Error).empty());
}

// The Save as and Open dialogs on the screen, each left open for a few
// periods and then cancelled (by a thread of the test, as the operator would:
// the dialog's own loop holds the window's thread): the recording goes on
// behind it, one reading per period, with none missing after it closes.
//
// Under Wine the first file dialog of a process holds the thread for about
// three seconds as it closes, whichever dialog it is (Wine looks into its Z:
// drive, the whole Unix tree); no tick can run then, and the ticks missed are
// merged into one. That is Wine's, not the program's: one dialog is opened and
// cancelled before the recording starts.
TEST_F(RecordingWin32Test, NoReadingIsLostWhileADialogIsOpen) {
  const auto cancelDialogsAfter = [](int ms, std::atomic<bool>& done) {
    return std::thread([ms, &done] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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
  };
  TQtDialogs real;
  {
    std::atomic<bool> done{false};
    std::thread closer = cancelDialogsAfter(500, done);
    real.ChooseOpenFile();
    done = true;
    closer.join();
  }
  form_->ePeriod->setText("1");
  GoOnline();
  ClickRun();
  RunFor(1500);
  std::atomic<bool> done{false};
  std::thread closer = cancelDialogsAfter(3500, done);
  const auto opened = std::chrono::steady_clock::now();
  EXPECT_EQ(real.ChooseSaveFile(), std::nullopt);
  const double openSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count();
  done = true;
  closer.join();
  RunFor(2500);
  ClickRun();

  const std::vector<double> times = Times(*form_);
  ASSERT_GE(times.size(), 2u);
  EXPECT_GE(openSeconds, 3.0);
  // One reading a second: a gap of more than two seconds is a reading lost.
  for (std::size_t i = 1; i < times.size(); ++i)
    EXPECT_LE(times[i] - times[i - 1], 2.0 + 1e-6) << "before line " << i << ":\n"
                                                   << form_->Memo1->Text();
  EXPECT_GE(times.back() - times.front(), 6.0) << form_->Memo1->Text();
}

}  // namespace
}  // namespace tempolog
