// The journal of live readings: lines on the disk at once, locks that keep
// running programs' journals apart, recovery of a dead program's journal,
// and the window recording through it, killed without warning included.
#include <chrono>
#include <cstdlib>

#include "tests/app/JournalFixture.h"
#include "tests/support/ChildTest.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedDialogs::Kind;

// Set only in the child process that records until it is killed.
constexpr const char* kChildPipeVariable = "TEMPOLOG_JOURNAL_TEST_PIPE";
// The data folder the child records into: the test's, not its own.
constexpr const char* kChildDataVariable = "TEMPOLOG_JOURNAL_TEST_DATA";

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
  const std::string kept = InJournals("journal-recovered-" + dead.substr(8));
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
  EXPECT_EQ(recovered[0].path, InJournals("journal-recovered-x-2.log"));
  EXPECT_EQ(ReadAll(InJournals("journal-recovered-x.log")), "a\r\n");
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
      EXPECT_EQ(kept[0].path, lines.empty() ? "" : InJournals(recovered));
      EXPECT_EQ(kept[0].readings, readings);
      EXPECT_EQ(kept[0].tornLinePath, fragment.empty() ? "" : InJournals(tornLine));
      if (!lines.empty()) {
        EXPECT_EQ(ReadAll(InJournals(recovered)), lines);
      }
      if (!fragment.empty()) {
        EXPECT_EQ(ReadAll(InJournals(tornLine)), fragment);
      }
    }
  }
}

// A power cut leaves NUL bytes where the system had not yet put the last
// bytes on the disk, in whole blocks: at the end, or in the middle with lines
// after. A line holding one lost its start or end and is no reading; every
// line ending with CR LF and holding none is.
TEST_F(JournalTest, NulBytesAPowerCutLeftAreKeptApartFromTheReadings) {
  const std::string a = "2024-03-05 07:04:09\t23.5\r\n";
  const std::string b = "2024-03-05 07:04:10\t-1.25\r\n";
  const std::string c = "2024-03-05 07:04:11\t23.6\r\n";
  const std::string nul(4096, '\0');
  struct Row {
    std::string name, journal, recovered, rest;
    std::size_t readings;
  };
  const std::vector<Row> rows = {
      {"a NUL tail", a + b + c + nul + nul, a + b + c, nul + nul, 3},
      {"a run of NUL bytes ended by CR LF between lines", a + nul + "\r\n" + b + c, a + b + c,
       nul + "\r\n", 3},
      {"a line cut by NUL bytes, lines after", a + "2024-03-05 07:0" + nul + "10\t-1.25\r\n" + c,
       a + c, "2024-03-05 07:0" + nul + "10\t-1.25\r\n", 2},
      {"NUL bytes, then lines: the first holds NUL bytes", nul + a + b, b, nul + a, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    Plant("journal-x.log", row.journal);
    const std::vector<TRecoveredJournal> kept = RecoverJournals(folder_);
    EXPECT_EQ(Files(), (std::vector<std::string>{"journal-recovered-x-torn-line.txt",
                                                 "journal-recovered-x.log"}));
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].readings, row.readings);
    EXPECT_EQ(ReadAll(InJournals("journal-recovered-x.log")), row.recovered);
    EXPECT_EQ(ReadAll(InJournals("journal-recovered-x-torn-line.txt")), row.rest);
  }
}

TEST_F(JournalTest, AClosedJournalIsKeptWithTheNewestOthers) {
  // Eleven journals of earlier closes, each written an hour after the one before.
  const auto now = fs::file_time_type::clock::now();
  std::vector<std::string> names;
  for (int i = 0; i < 11; ++i) {
    names.push_back("journal-closed-20240101-0000" + std::to_string(10 + i) + "-1.log");
    Plant(names.back(), "r\r\n");
    fs::last_write_time(InJournals(names.back()), now - std::chrono::hours(20 - i));
  }
  // Begun before all of them, closed after.
  auto journal = TJournal::Create(folder_, {2020, 1, 1, 0, 0, 0, 0});
  journal->Append(kReadings[0]);
  const std::string name = fs::path(journal->Path()).filename().string();
  const std::string kept = journal->KeepClosed();
  EXPECT_EQ(kept, InJournals("journal-closed-" + name.substr(8)));
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

// Fed whole, and in pieces that cut lines, CR LF pairs and 8-byte words.
TEST(JournalTexts, AScanFindsTheRunsTheLastLineEndAndTheFirstNul) {
  using namespace std::string_literals;
  constexpr std::uint64_t kNone = UINT64_MAX;
  struct Row {
    std::string text;
    std::uint64_t runs, wholeEnd, firstNul;
  } rows[] = {
      {"", 0, 0, kNone},
      {"a\r\nb", 2, 3, kNone},
      {"abcdefg\r\nhijklmn\r\n", 2, 18, kNone},
      {"abcdefgh\r\r\n\n\nx\0yz\r\n"s, 2, 19, 14},
      {"\n\raaaaaaaaaa", 1, 0, kNone},
      {"\0\0\0\0\0\0\0\0\0\r\n"s, 1, 11, 0},
  };
  for (const Row& row : rows) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, row.text.size() + 1}) {
      SCOPED_TRACE(::testing::Message() << row.text.size() << " bytes in pieces of " << piece);
      TJournalScan scan;
      for (std::size_t at = 0; at < row.text.size(); at += piece) {
        scan.Feed(std::string_view(row.text).substr(at, piece));
      }
      EXPECT_EQ(scan.size, row.text.size());
      EXPECT_EQ(scan.runs, row.runs);
      EXPECT_EQ(scan.wholeEnd, row.wholeEnd);
      EXPECT_EQ(scan.firstNul, row.firstNul);
    }
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
    const std::string backup = InFolder(ProgramFolder(), kBackupFileName);
    if (row.save) {
      form_->SaveLog(InFolder(dir_, "saved.log"));
      Tick(row.ticksAfterSave);
    }
    if (row.backupRefused) {
      fs::create_directories(InFolder(backup, "blocker"));
      fs::create_directories(InFolder(InJournals(kBackupFileName), "blocker"));
    }
    EXPECT_EQ(form_->close(), !row.backupRefused);
    EXPECT_EQ(Journals().size(), row.journalRemains ? 1u : 0u);
    if (row.journalKept) {
      EXPECT_EQ(ReadAll(backup), form_->Memo1->Text());
      ASSERT_EQ(ClosedJournals().size(), 1u);
      EXPECT_EQ(ReadAll(InJournals(ClosedJournals()[0])), form_->Memo1->Text());
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
  EXPECT_TRUE(dialogs_.History().empty());  // the window comes first
  form_->AwaitRecovery();
  const std::string kept = InJournals("journal-recovered-20240305-070409-4242.log");
  const std::string torn = InJournals("journal-recovered-20240305-070409-4242-torn-line.txt");
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
  const std::string blocked = InFolder(dir_, "blocked");
  std::ofstream(blocked) << "x";
  // A file where the data folder belongs.
  testing_support::SetEnvironment(testing_support::kDataHomeVariable, blocked);
  StartRecording();
  Tick(3);
  QApplication::processEvents();
  EXPECT_EQ(form_->Memo1->LineCount(), 4u);
  EXPECT_EQ(form_->Series1->PointCount(), 4);
  ASSERT_EQ(dialogs_.History().size(), 1u);
  EXPECT_EQ(dialogs_.History()[0].kind, Kind::Error);
  EXPECT_EQ(dialogs_.History()[0].text.rfind(
                "The journal of readings cannot be kept. Cannot create file \"" +
                    InFolder(UserDataFolder(), "journal-"),
                0),
            0u)
      << dialogs_.History()[0].text;
}

// --- a recording program killed without warning -------------------------------

// Runs only in the child process: records from the test's instrument and
// tells each log line through the pipe once it is in the log, until killed.
TEST(JournalChild, DISABLED_RecordsUntilKilled) {
  if (std::getenv(kChildPipeVariable) == nullptr) GTEST_SKIP();
  std::error_code ignored;
  // The test program's own data folder, unused here.
  fs::remove_all(std::getenv(testing_support::kDataHomeVariable), ignored);
  testing_support::SetEnvironment(testing_support::kDataHomeVariable,
                                  std::getenv(kChildDataVariable));
  TScriptedDialogs dialogs;
  TForm1 form;
  std::size_t told = 0;
  auto tell = [&] {
    for (; told < form.Memo1->LineCount(); ++told) {
      if (!testing_support::TellParent(kChildPipeVariable,
                                       std::string(form.Memo1->Line(told)) + "\n"))
        std::_Exit(1);
    }
  };
  form.Timer1->OnTimer = [&] {
    form.Timer1Timer();
    tell();
  };
  ChoosePort(form, testing::InstrumentPort());
  form.sbRejestruj->click();
  tell();
  QApplication::exec();
}

TEST_F(WindowJournalTest, AKilledProgramsJournalHoldsEveryReadingItShowed) {
  testing_support::SetEnvironment(kChildDataVariable, InFolder(dir_, "data"));
  testing_support::ChildTest child("JournalChild.DISABLED_RecordsUntilKilled", kChildPipeVariable);
  const std::vector<std::string> shown =
      testing_support::ReadChildLines(child, 3, std::chrono::seconds(60));

  // A second program started meanwhile leaves the running one's journal
  // alone. It opens no port: the child holds the program's end of the
  // instrument's.
  form_ = std::make_unique<TForm1>();
  EXPECT_TRUE(dialogs_.History().empty());
  EXPECT_EQ(Journals().size(), 2u);
  EXPECT_TRUE(form_->close());
  form_.reset();

  const bool killed = child.Kill();
  ASSERT_EQ(shown.size(), 3u) << "the child recorded too little";
  ASSERT_TRUE(killed) << "the child ended before it was killed";

  const std::vector<std::string> journals = Journals();
  ASSERT_EQ(journals.size(), 1u);
  const std::string text = ReadAll(InJournals(journals[0]));
  EXPECT_EQ(text.rfind(Lines(shown), 0), 0u) << text;  // a reading not yet shown may follow

  // The next start keeps it and says so.
  form_ = std::make_unique<TForm1>();
  form_->AwaitRecovery();
  const std::string kept = InJournals("journal-recovered-" + journals[0].substr(8));
  ASSERT_EQ(dialogs_.History().size(), 1u);
  // A reading being written when it was killed may be torn.
  const std::size_t whole = WholeLinesLength(text);
  const std::string torn =
      whole < text.size() ? kept.substr(0, kept.size() - 4) + kTornLineEnding : "";
  EXPECT_EQ(dialogs_.History()[0].text,
            RecoveryMessage({{kept, CountJournalReadings(text), torn}}));
  EXPECT_EQ(ReadAll(kept), text.substr(0, whole));
}

// Save as onto the running journal, by its name or through the user's own
// link, is refused: the readings taken after it would go to a file no folder
// lists any more.
TEST_F(WindowJournalTest, SaveAsOntoTheRunningJournalIsRefused) {
  StartRecording();
  Tick(1);
  const std::string journal = form_->Journal->Path();
  // Where the system lets the test make a link.
  std::vector<std::string> paths = {journal};
  std::error_code noLinks;
  fs::create_symlink(journal, InFolder(dir_, "link.log"), noLinks);
  if (!noLinks) paths.push_back(InFolder(dir_, "link.log"));
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    dialogs_.ClearHistory();
    dialogs_.AnswerFile(path);
    form_->zapis1->trigger();
    ASSERT_EQ(dialogs_.History().size(), 2u);  // the file dialog, then the error
    EXPECT_EQ(dialogs_.History()[1].kind, Kind::Error);
    EXPECT_EQ(dialogs_.History()[1].text,
              "Cannot create file \"" + path +
                  "\". It is the journal of the readings being recorded; choose another file.");
  }
  Tick(1);
  EXPECT_EQ(form_->Unsaved, 1);
  EXPECT_EQ(CountJournalReadings(ReadAll(journal)), 3u);
  EXPECT_EQ(ReadAll(journal), form_->Memo1->Text());
}

}  // namespace
}  // namespace tempolog
