// The window of the monitor driven through its handlers and the dialog
// interface, against a thermometer played by the test on a real port: the
// fixture of the monitor tests of every platform.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "framework/core/Files.h"
#include "tests/app/Instrument.h"
#include "tests/support/ClockOverride.h"
#include "tests/support/FileContents.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {

using testing_support::ReadAll;
using testing_support::WriteAll;

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kPort.empty()) GTEST_SKIP() << "no pair of ports for a played instrument (scripts/wintest)";
    dir_ = testing_support::MakeTemporaryFolder("tempolog-monitor");
    testing_support::SetEnvironment("XDG_RUNTIME_DIR", dir_);
    testing_support::SetEnvironment(testing_support::kDataHomeVariable, dir_ + "/data");
    instrument_ = PlugInstrument();
    Answer("23.5");
    // Readings one second apart from 2024-03-05 07:04:09 on.
    clock_ = std::make_unique<ClockOverride>([this] {
      LocalTime t{2024, 3, 5, 7, 4, 9, 0};
      t.second += ticks_++;
      t.minute += t.second / 60;
      t.second %= 60;
      return t;
    });
    form_ = std::make_unique<TForm1>();
    form_->AwaitRecovery();  // no journal of a later test's is taken for a dead one
  }

  void TearDown() override {
    form_.reset();
    instrument_.reset();
    clock_.reset();
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    std::filesystem::remove_all(ProgramFolder() + PathSeparator() + "data_log.bkp", ignored);
  }

  // A fresh instrument, which counts its requests from 1.
  std::unique_ptr<testing::Instrument> PlugInstrument() const {
    return testing::PlugInstrument(dir_);
  }

  // Every request is answered with `value` and CR LF.
  void Answer(const std::string& value) {
    instrument_->SetScript([value](int, const std::string&) { return value + "\r\n"; });
  }

  void Choose(const std::string& name) {
    form_->ComCBoxEnter();
    const int index = form_->ComCBox->findText(ToScreen(name));
    ASSERT_GE(index, 0) << name;
    form_->ComCBox->setCurrentIndex(index);
    emit form_->ComCBox->activated(index);
  }

  void GoOnline() {
    Choose(kPort);
    ASSERT_EQ(form_->lbCom->Text(), "online") << Told();
  }

  // What the boxes said, for a failure's message.
  std::string Told() const {
    std::string told;
    for (const TScriptedDialogs::Shown& shown : dialogs_.History()) told += "[" + shown.text + "] ";
    return told;
  }

  void ClickRun() { form_->sbRejestruj->click(); }

  int Points() const { return form_->Series1->PointCount(); }
  double PointX(int i) const { return form_->Series1->XValue(i); }
  double PointY(int i) const { return form_->Series1->YValue(i); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::vector<TScriptedDialogs::Shown> Errors() const {
    return dialogs_.Boxes(TScriptedDialogs::Kind::Error);
  }

  // The name the instrument's port has in the port list.
  const std::string kPort = testing::InstrumentPort();
  TScriptedDialogs dialogs_;
  std::string dir_;
  int ticks_ = 0;
  std::unique_ptr<testing::Instrument> instrument_;
  std::unique_ptr<ClockOverride> clock_;
  std::unique_ptr<TForm1> form_;
};

class BackupTest : public MonitorTest {
 protected:
  std::string ProgramBackup() const { return ProgramFolder() + PathSeparator() + "data_log.bkp"; }
  std::string UserBackup() const { return UserDataFolder() + PathSeparator() + "data_log.bkp"; }
  bool Close() {
    form_->show();
    return form_->close();
  }
};

}  // namespace tempolog
