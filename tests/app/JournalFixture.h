// The journal's files in a folder of the test's own, and the window
// recording through its journal from a thermometer played by the test on a
// real port: the fixtures of the journal tests of every platform.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/Unit1.h"
#include "app/journal/Journal.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "framework/core/Files.h"
#include "tests/app/Instrument.h"
#include "tests/support/FileContents.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {

using testing_support::ReadAll;

// `name` in `folder`, joined as the program joins them.
inline std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + PathSeparator() + name;
}

// Log lines, each ended by CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

inline const std::vector<std::string> kReadings = {
    "2024-03-05 07:04:09\t23.5",
    "2024-03-05 07:04:10\t-1.25",
    "2024-03-05 07:04:11\t23.6",
};

inline void ChoosePort(TForm1& form, const std::string& name) {
  form.ComCBoxEnter();
  const int index = form.ComCBox->findText(ToScreen(name));
  ASSERT_GE(index, 0) << name;
  form.ComCBox->setCurrentIndex(index);
  emit form.ComCBox->activated(index);
}

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_support::MakeTemporaryFolder("tempolog-journal");
    testing_support::SetEnvironment("XDG_RUNTIME_DIR", dir_);
    testing_support::SetEnvironment(testing_support::kDataHomeVariable, InFolder(dir_, "data"));
    folder_ = UserDataFolder();
  }

  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    std::filesystem::remove_all(InFolder(ProgramFolder(), kBackupFileName), ignored);
  }

  // The names in the journal folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // The names of running (or dead) programs' journals.
  std::vector<std::string> Journals() const {
    std::vector<std::string> names = Files();
    std::erase_if(names, [](const std::string& name) {
      return name.rfind(kJournalPrefix, 0) != 0 || name.rfind(kRecoveredJournalPrefix, 0) == 0 ||
             name.rfind(kClosedJournalPrefix, 0) == 0;
    });
    return names;
  }

  std::vector<std::string> ClosedJournals() const {
    std::vector<std::string> names = Files();
    std::erase_if(names,
                  [](const std::string& name) { return name.rfind(kClosedJournalPrefix, 0) != 0; });
    return names;
  }

  // `name` in the journal folder.
  std::string InJournals(const std::string& name) const { return InFolder(folder_, name); }

  void Plant(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(folder_);
    std::ofstream(InJournals(name), std::ios::binary) << bytes;
  }

  std::string dir_;
  std::string folder_;  // the program's data folder, where the journals are
};

class WindowJournalTest : public JournalTest {
 protected:
  void SetUp() override {
    if (kPort.empty()) GTEST_SKIP() << "no pair of ports for a played instrument (scripts/wintest)";
    JournalTest::SetUp();
    instrument_ = testing::PlugInstrument(dir_);
    instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  }

  void TearDown() override {
    form_.reset();
    instrument_.reset();
    JournalTest::TearDown();
  }

  void StartRecording() {
    form_ = std::make_unique<TForm1>();
    form_->AwaitRecovery();  // no journal of a later test's is taken for a dead one
    ChoosePort(*form_, kPort);
    form_->sbRejestruj->click();
    ASSERT_TRUE(form_->sbRejestruj->Down());
  }

  void Tick(int ticks) {
    for (int i = 0; i < ticks; ++i) form_->Timer1->Tick();
  }

  std::string JournalText() const {
    const std::vector<std::string> journals = Journals();
    return journals.size() == 1 ? ReadAll(InJournals(journals[0])) : "";
  }

  // The name the instrument's port has in the port list.
  const std::string kPort = testing::InstrumentPort();
  TScriptedDialogs dialogs_;
  std::unique_ptr<testing::Instrument> instrument_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace tempolog
