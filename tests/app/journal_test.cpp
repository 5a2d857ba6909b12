// The journal of live readings: lines on the disk at once, locks that keep
// running programs' journals apart, recovery of a dead program's journal,
// and the window recording through it, killed with SIGKILL included.
#include "app/link/Journal.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "tests/app/Instrument.h"
#include "tests/support/TestApplication.h"

extern char** environ;

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedDialogs::Kind;

constexpr const char* kPort = "inst0";
// Set only in the child process that records until it is killed.
constexpr const char* kChildPipeVariable = "TEMPOLOG_JOURNAL_TEST_PIPE";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

void ChoosePort(TForm1& form, const std::string& name) {
  form.ComCBoxEnter();
  const int index = form.ComCBox->findText(ToScreen(name));
  ASSERT_GE(index, 0) << name;
  form.ComCBox->setCurrentIndex(index);
  emit form.ComCBox->activated(index);
}

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tempolog-journal-XXXXXX";
    dir_ = mkdtemp(pattern);
    folder_ = dir_ + "/data/tempolog";
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    fs::remove(ProgramFolder() + "/" + kBackupFileName, ignored);
  }

  // The names in the journal folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder_, ignored))
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

  void Plant(const std::string& name, const std::string& bytes) const {
    fs::create_directories(folder_);
    std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
  }

  std::string dir_;
  std::string folder_;
};

const std::vector<std::string> kReadings = {
    "2024-03-05 07:04:09\t23.5",
    "2024-03-05 07:04:10\t-1.25",
    "2024-03-05 07:04:11\t23.6",
};

// --- the journal files ---------------------------------------------------------

TEST_F(JournalTest, OnlyJournalsWhoseLockIsFreeAreRecovered) {
  auto first = TJournal::Create(folder_, {2024, 3, 5, 7, 4, 9, 0});
  auto second = TJournal::Create(folder_, {2024, 3, 5, 7, 4, 10, 0});
  ASSERT_NE(first->Path(), second->Path());
  for (const std::string& line : kReadings) first->Append(line);
  second->Append(kReadings[1]);
  Plant("journal-20240101-000000-1.log", "");                   // dead, no reading
  Plant("journal-recovered-20240101-000000-2.log", "old\r\n");  // the user's now
  Plant("journal-20240101-000000-3.log.new", "");               // being made
  Plant("notes.txt", "mine");

  // Both programs run: their journals are left alone.
  EXPECT_TRUE(RecoverJournals(folder_).empty());
  EXPECT_EQ(ReadAll(first->Path()), Lines(kReadings));
  EXPECT_EQ(ReadAll(second->Path()), kReadings[1] + "\r\n");

  // The first program dies: its lock is gone, its file stays.
  const std::string dead = fs::path(first->Path()).filename().string();
  first.reset();
  const std::vector<TRecoveredJournal> recovered = RecoverJournals(folder_);
  ASSERT_EQ(recovered.size(), 1u);
  const std::string kept = folder_ + "/journal-recovered-" + dead.substr(8);
  EXPECT_EQ(recovered[0].path, kept);
  EXPECT_EQ(recovered[0].readings, 3u);
  EXPECT_EQ(ReadAll(kept), Lines(kReadings));
  EXPECT_EQ(Files(), (std::vector<std::string>{
                         "journal-20240101-000000-3.log.new",
                         fs::path(second->Path()).filename().string(),
                         "journal-recovered-20240101-000000-2.log",
                         fs::path(kept).filename().string(),
                         "notes.txt",
                     }));
  EXPECT_TRUE(RecoverJournals(folder_).empty());  // recovered once only
}

TEST_F(JournalTest, ARecoveredNameInUseGetsANumber) {
  Plant("journal-recovered-x.log", "a\r\n");
  Plant("journal-x.log", "b\r\n");
  const std::vector<TRecoveredJournal> recovered = RecoverJournals(folder_);
  ASSERT_EQ(recovered.size(), 1u);
  EXPECT_EQ(recovered[0].path, folder_ + "/journal-recovered-x-2.log");
  EXPECT_EQ(ReadAll(folder_ + "/journal-recovered-x.log"), "a\r\n");
}

TEST_F(JournalTest, ATornLastLineIsKeptApartAndNeverCounted) {
  const std::string last = "2024-03-05 07:04:12\t23.7\r\n";
  const std::string recovered = "journal-recovered-x.log";
  const std::string tornLine = "journal-recovered-x-torn-line.txt";
  for (const std::string& before : {std::string(), Lines(kReadings)}) {
    for (std::size_t cut = 0; cut <= last.size(); ++cut) {
      SCOPED_TRACE(::testing::Message() << before.size() << " bytes of whole lines, then " << cut
                                        << " of the last line");
      std::error_code ignored;
      fs::remove_all(folder_, ignored);
      Plant("journal-x.log", before + last.substr(0, cut));
      const bool whole = cut == last.size();
      const std::string lines = whole ? before + last : before;
      const std::string fragment = whole ? "" : last.substr(0, cut);
      const std::size_t readings = (before.empty() ? 0 : 3) + (whole ? 1 : 0);

      const std::vector<TRecoveredJournal> kept = RecoverJournals(folder_);
      std::vector<std::string> files;
      if (!fragment.empty()) files.push_back(tornLine);
      if (!lines.empty()) files.push_back(recovered);
      EXPECT_EQ(Files(), files);
      if (files.empty()) {
        EXPECT_TRUE(kept.empty());
        continue;
      }
      ASSERT_EQ(kept.size(), 1u);
      EXPECT_EQ(kept[0].path, lines.empty() ? "" : folder_ + "/" + recovered);
      EXPECT_EQ(kept[0].readings, readings);
      EXPECT_EQ(kept[0].tornLinePath, fragment.empty() ? "" : folder_ + "/" + tornLine);
      if (!lines.empty()) {
        EXPECT_EQ(ReadAll(folder_ + "/" + recovered), lines);
      }
      if (!fragment.empty()) {
        EXPECT_EQ(ReadAll(folder_ + "/" + tornLine), fragment);
      }
    }
  }
}

TEST_F(JournalTest, AFailedWriteIsTriedAgainWithTheHeldLinesFirst) {
  const std::string first = kReadings[0] + "\r\n";
  const std::string second = kReadings[1] + "\r\n";
  const std::string later = "2024-03-05 07:04:12\t23.7";
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_IGN);
  // A full disk leaves any part of the second line in the file, none to all.
  for (std::size_t room = 0; room <= second.size(); ++room) {
    SCOPED_TRACE(::testing::Message() << room << " bytes of room for the second line");
    auto journal = TJournal::Create(folder_, {2024, 3, 5, 7, 4, 9, 0});
    ASSERT_TRUE(journal->Append(kReadings[0]));
    rlimit small = old;
    small.rlim_cur = first.size() + room;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_EQ(journal->Append(kReadings[1]), room == second.size());
    EXPECT_FALSE(journal->Append(kReadings[2]));
    EXPECT_EQ(ReadAll(journal->Path()), first + second.substr(0, room));
    const TJournalNotice failure = journal->TakeNotice();
    EXPECT_TRUE(failure.failure);
    EXPECT_NE(failure.text.find("Cannot write file"), std::string::npos) << failure.text;
    EXPECT_TRUE(journal->TakeNotice().text.empty());  // told once

    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(journal->Append(later));
    journal->WaitFlushed();
    EXPECT_EQ(ReadAll(journal->Path()), Lines(kReadings) + later + "\r\n");
    const TJournalNotice back = journal->TakeNotice();
    EXPECT_FALSE(back.failure);
    EXPECT_EQ(back.text, JournalBackMessage());
    EXPECT_TRUE(journal->TakeNotice().text.empty());
    journal->Remove();
  }
  signal(SIGXFSZ, SIG_DFL);
}

TEST_F(JournalTest, AClosedJournalIsKeptWithTheNewestOthers) {
  // Eleven journals of earlier closes, each written an hour after the one before.
  const auto now = fs::file_time_type::clock::now();
  std::vector<std::string> names;
  for (int i = 0; i < 11; ++i) {
    names.push_back("journal-closed-20240101-0000" + std::to_string(10 + i) + "-1.log");
    Plant(names.back(), "r\r\n");
    fs::last_write_time(folder_ + "/" + names.back(), now - std::chrono::hours(20 - i));
  }
  // Begun before all of them, closed after.
  auto journal = TJournal::Create(folder_, {2020, 1, 1, 0, 0, 0, 0});
  journal->Append(kReadings[0]);
  const std::string name = fs::path(journal->Path()).filename().string();
  const std::string kept = journal->KeepClosed();
  EXPECT_EQ(kept, folder_ + "/journal-closed-" + name.substr(8));
  EXPECT_EQ(ReadAll(kept), Lines({kReadings[0]}));
  names.erase(names.begin(), names.begin() + 2);  // the two oldest go
  names.insert(names.begin(), fs::path(kept).filename().string());
  EXPECT_EQ(Files(), names);
  EXPECT_TRUE(RecoverJournals(folder_).empty());  // never taken for a dead program's
  // A journal without a reading is not kept.
  EXPECT_EQ(TJournal::Create(folder_, {2024, 3, 5, 7, 4, 9, 0})->KeepClosed(), "");
  EXPECT_EQ(Files(), names);
}

TEST(JournalTexts, ReadingsAreTheNonEmptyLines) {
  struct Row {
    const char* text;
    std::size_t readings;
  } rows[] = {
      {"", 0},
      {"\r\n\r\n", 0},
      {"a\r\n", 1},
      {"a\r\nb\r\n", 2},
      {"a\r\nb", 1},    // a line torn by a power cut is no reading
      {"a\r\nb\r", 1},  // nor is one without its LF
      {"a\r\n\r\nb\r\n", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(CountJournalReadings(row.text), row.readings);
  }
}

TEST(JournalTexts, TheRecoveryMessageNamesEachJournal) {
  EXPECT_EQ(RecoveryMessage({{"/d/journal-recovered-a.log", 1, ""}}),
            "tempolog ended without being closed. The readings it had taken were kept:\n"
            "1 reading in \"/d/journal-recovered-a.log\"\n"
            "Open them with Load in the Data menu.");
  EXPECT_EQ(RecoveryMessage({{"/d/a.log", 3, "/d/a-torn-line.txt"},
                             {"/d/b.log", 12, ""},
                             {"", 0, "/d/c-torn-line.txt"}}),
            "tempolog ended without being closed. The readings it had taken were kept:\n"
            "3 readings in \"/d/a.log\"\n"
            "1 unfinished line, not a reading, in \"/d/a-torn-line.txt\"\n"
            "12 readings in \"/d/b.log\"\n"
            "1 unfinished line, not a reading, in \"/d/c-torn-line.txt\"\n"
            "Open them with Load in the Data menu.");
}

// --- the window recording through its journal ---------------------------------

class WindowJournalTest : public JournalTest {
 protected:
  void SetUp() override {
    JournalTest::SetUp();
    instrument_ = std::make_unique<testing::Instrument>(dir_ + "/tempolog/ports", kPort);
    instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  }

  void TearDown() override {
    form_.reset();
    instrument_.reset();
    JournalTest::TearDown();
  }

  void StartRecording() {
    form_ = std::make_unique<TForm1>();
    ChoosePort(*form_, kPort);
    form_->sbRejestruj->click();
    ASSERT_TRUE(form_->sbRejestruj->Down());
  }

  void Tick(int ticks) {
    for (int i = 0; i < ticks; ++i) form_->Timer1->Tick();
  }

  std::string JournalText() const {
    const std::vector<std::string> journals = Journals();
    return journals.size() == 1 ? ReadAll(folder_ + "/" + journals[0]) : "";
  }

  TScriptedDialogs dialogs_;
  std::unique_ptr<testing::Instrument> instrument_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(WindowJournalTest, EveryReadingIsJournalledAsTheLogHoldsIt) {
  StartRecording();
  Tick(2);
  ASSERT_EQ(form_->Memo1->LineCount(), 3u);
  EXPECT_EQ(JournalText(), form_->Memo1->Text());
  form_->Kasuj1Click();  // clearing the log keeps the journal
  Tick(1);
  EXPECT_EQ(CountJournalReadings(JournalText()), 4u);
  EXPECT_TRUE(dialogs_.History().empty());
}

TEST_F(WindowJournalTest, ACleanCloseRemovesTheJournalOnlyOnceTheLogIsSafe) {
  struct Row {
    const char* name;
    bool save;           // Save as before the close
    int ticksAfterSave;  // readings that only the backup holds
    bool backupRefused;  // a folder in place of the backup file in both folders
    bool journalRemains;
    bool journalKept;  // as a closed journal beside the backup, which a later close may replace
  } rows[] = {
      {"backed up", false, 0, false, false, true},
      {"saved", true, 0, false, false, false},
      {"saved, then a reading that only the backup holds", true, 1, false, false, true},
      {"backup refused, close refused", false, 0, true, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    StartRecording();
    const std::string backup = ProgramFolder() + "/" + kBackupFileName;
    if (row.save) {
      form_->SaveLog(dir_ + "/saved.log");
      Tick(row.ticksAfterSave);
    }
    if (row.backupRefused) {
      fs::create_directories(backup + "/blocker");
      fs::create_directories(folder_ + "/" + kBackupFileName + "/blocker");
    }
    EXPECT_EQ(form_->close(), !row.backupRefused);
    EXPECT_EQ(Journals().size(), row.journalRemains ? 1u : 0u);
    if (row.journalKept) {
      EXPECT_EQ(ReadAll(backup), form_->Memo1->Text());
      ASSERT_EQ(ClosedJournals().size(), 1u);
      EXPECT_EQ(ReadAll(folder_ + "/" + ClosedJournals()[0]), form_->Memo1->Text());
    } else {
      EXPECT_TRUE(ClosedJournals().empty());
    }
    std::error_code ignored;
    fs::remove_all(backup, ignored);
    fs::remove_all(folder_, ignored);
    form_.reset();
    dialogs_.ClearHistory();
  }
}

TEST_F(WindowJournalTest, ADeadProgramsJournalIsKeptAndToldAtTheNextStart) {
  // It died while writing a fourth reading, 23.7.
  Plant("journal-20240305-070409-4242.log", Lines(kReadings) + "2024-03-05 07:04:12\t2");
  form_ = std::make_unique<TForm1>();
  const std::string kept = folder_ + "/journal-recovered-20240305-070409-4242.log";
  const std::string torn = folder_ + "/journal-recovered-20240305-070409-4242-torn-line.txt";
  ASSERT_EQ(dialogs_.History().size(), 1u);
  EXPECT_EQ(dialogs_.History()[0].kind, Kind::Message);
  EXPECT_EQ(dialogs_.History()[0].text, RecoveryMessage({{kept, 3, torn}}));
  EXPECT_EQ(dialogs_.History()[0].caption, "tempolog");
  // Load opens it as a saved log.
  dialogs_.AnswerFile(kept);
  form_->Odczytajzpliku1Click();
  EXPECT_EQ(form_->Memo1->Text(), Lines(kReadings));
  EXPECT_EQ(form_->Series1->PointCount(), 3);
}

TEST_F(WindowJournalTest, WithoutAJournalRecordingGoesOnAndIsToldOnce) {
  std::ofstream(dir_ + "/blocked") << "x";
  setenv("XDG_DATA_HOME", (dir_ + "/blocked").c_str(), 1);  // a file where the folder belongs
  StartRecording();
  Tick(3);
  QApplication::processEvents();
  EXPECT_EQ(form_->Memo1->LineCount(), 4u);
  EXPECT_EQ(form_->Series1->PointCount(), 4);
  ASSERT_EQ(dialogs_.History().size(), 1u);
  EXPECT_EQ(dialogs_.History()[0].kind, Kind::Error);
  EXPECT_EQ(dialogs_.History()[0].text.rfind(
                "The journal of readings cannot be kept. Cannot create file \"" + dir_ +
                    "/blocked/tempolog/journal-",
                0),
            0u)
      << dialogs_.History()[0].text;
}

TEST_F(WindowJournalTest, AJournalThatStoppedGoesOnWithTheReadingsTakenMeanwhile) {
  StartRecording();
  // The file may grow by one more line and part of the next one.
  const auto size = static_cast<rlim_t>(JournalText().size());
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = size + 40;
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  Tick(4);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  QApplication::processEvents();  // the box comes after the tick
  EXPECT_EQ(form_->Memo1->LineCount(), 5u);
  EXPECT_EQ(form_->Series1->PointCount(), 5);
  EXPECT_EQ(CountJournalReadings(JournalText()), 2u);  // two whole lines, one torn
  ASSERT_EQ(dialogs_.Boxes(Kind::Error).size(), 1u);
  EXPECT_NE(dialogs_.Boxes(Kind::Error)[0].text.find("Cannot write file"), std::string::npos);
  EXPECT_TRUE(dialogs_.Boxes(Kind::Message).empty());
  // The disk takes lines again: the next reading goes in after the held ones,
  // and the user is told once.
  for (int tick = 0; tick < 2; ++tick) {
    Tick(1);
    QApplication::processEvents();
    EXPECT_EQ(JournalText(), form_->Memo1->Text());
    EXPECT_EQ(dialogs_.Boxes(Kind::Error).size(), 1u);
    ASSERT_EQ(dialogs_.Boxes(Kind::Message).size(), 1u);
    EXPECT_EQ(dialogs_.Boxes(Kind::Message)[0].text, JournalBackMessage());
  }
}

// --- a recording program killed with SIGKILL ---------------------------------

// Runs only in the child process: records from the test's instrument and
// writes each log line to the pipe once it is in the log, until killed.
TEST(JournalChild, DISABLED_RecordsUntilKilled) {
  const char* pipe = getenv(kChildPipeVariable);
  if (pipe == nullptr) GTEST_SKIP();
  std::error_code ignored;
  fs::remove_all(getenv("XDG_DATA_HOME"), ignored);  // the test program's own, unused here
  setenv("XDG_DATA_HOME", getenv("TEMPOLOG_JOURNAL_TEST_DATA"), 1);
  const int out = atoi(pipe);
  TScriptedDialogs dialogs;
  TForm1 form;
  std::size_t told = 0;
  auto tell = [&] {
    for (; told < form.Memo1->LineCount(); ++told) {
      const std::string line = std::string(form.Memo1->Line(told)) + "\n";
      if (write(out, line.data(), line.size()) < 0) _exit(1);
    }
  };
  form.Timer1->OnTimer = [&] {
    form.Timer1Timer();
    tell();
  };
  ChoosePort(form, kPort);
  form.sbRejestruj->click();
  tell();
  QApplication::exec();
}

TEST_F(WindowJournalTest, AKilledProgramsJournalHoldsEveryReadingItShowed) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  setenv(kChildPipeVariable, std::to_string(fds[1]).c_str(), 1);
  setenv("TEMPOLOG_JOURNAL_TEST_DATA", (dir_ + "/data").c_str(), 1);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=JournalChild.DISABLED_RecordsUntilKilled";
  std::string disabled = "--gtest_also_run_disabled_tests";
  char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environ);
  unsetenv(kChildPipeVariable);
  close(fds[1]);
  ASSERT_EQ(spawned, 0);

  // Wait for three readings shown by the child.
  std::vector<std::string> shown;
  std::string pending;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (shown.size() < 3 && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;
         pending.erase(0, end + 1))
      shown.push_back(pending.substr(0, end));
  }

  // A second program started meanwhile leaves the running one's journal alone.
  form_ = std::make_unique<TForm1>();
  EXPECT_TRUE(dialogs_.History().empty());
  EXPECT_EQ(Journals().size(), 2u);
  EXPECT_TRUE(form_->close());
  form_.reset();

  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(fds[0]);
  ASSERT_EQ(shown.size(), 3u) << "the child recorded too little";
  ASSERT_TRUE(WIFSIGNALED(status));

  const std::vector<std::string> journals = Journals();
  ASSERT_EQ(journals.size(), 1u);
  const std::string text = ReadAll(folder_ + "/" + journals[0]);
  EXPECT_EQ(text.rfind(Lines(shown), 0), 0u) << text;  // a reading not yet shown may follow

  // The next start keeps it and says so.
  form_ = std::make_unique<TForm1>();
  const std::string kept = folder_ + "/journal-recovered-" + journals[0].substr(8);
  ASSERT_EQ(dialogs_.History().size(), 1u);
  // A reading being written when it was killed may be torn.
  const std::size_t whole = WholeLinesLength(text);
  const std::string torn =
      whole < text.size() ? kept.substr(0, kept.size() - 4) + kTornLineEnding : "";
  EXPECT_EQ(dialogs_.History()[0].text,
            RecoveryMessage({{kept, CountJournalReadings(text), torn}}));
  EXPECT_EQ(ReadAll(kept), text.substr(0, whole));
}

}  // namespace
}  // namespace tempolog
