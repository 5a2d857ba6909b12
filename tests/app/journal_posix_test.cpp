// The journal on POSIX systems: a disk that fills up, made with a file size
// limit (RLIMIT_FSIZE) of the test process, which Windows has no like of.
#include <signal.h>
#include <sys/resource.h>

#include "tests/app/JournalFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

using Kind = TScriptedDialogs::Kind;

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

}  // namespace
}  // namespace tempolog
