// The monitor end to end: the window driven through its handlers and the
// dialog interface, against a thermometer played by the test on a real port.
#include <QCursor>
#include <QImage>

#include "app/journal/Journal.h"
#include "framework/SurfaceQt.h"
#include "tests/app/MonitorFixture.h"
#include "tests/support/ClockOverride.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedDialogs::Kind;

// --- device link -------------------------------------------------------------

TEST_F(MonitorTest, ThePortListHoldsOfflineAndTheVirtualPort) {
  form_->ComCBoxEnter();
  ASSERT_GE(form_->ComCBox->count(), 2);
  EXPECT_EQ(form_->ComCBox->itemText(0), QStringLiteral("offline"));
  EXPECT_GE(form_->ComCBox->findText(ToScreen(kPort)), 1);
  EXPECT_EQ(form_->ComCBox->currentText(), QStringLiteral("----"));  // the box keeps its text
}

TEST_F(MonitorTest, AnAnsweringInstrumentMakesTheLinkOnline) {
  Choose(kPort);
  EXPECT_EQ(form_->lbCom->Text(), "online");
  EXPECT_EQ(FontColor(form_->lbCom), clSkyBlue);
  EXPECT_TRUE(form_->sbRejestruj->isEnabled());
  EXPECT_EQ(form_->lbTemp->Text(), "----");
  EXPECT_EQ(form_->LastReply, "23.5");
  EXPECT_TRUE(form_->Serial->Connected);
  EXPECT_EQ(instrument_->Requests(), std::vector<std::string>{"01X?"});
  EXPECT_TRUE(dialogs_.History().empty());
}

TEST_F(MonitorTest, AnyNonEmptyAnswerCountsDuringTheCheck) {
  Answer("  not a number \t");
  Choose(kPort);
  EXPECT_EQ(form_->lbCom->Text(), "online");
  EXPECT_EQ(form_->LastReply, "not a number");
}

TEST_F(MonitorTest, NoUsableAnswerShowsNoDataAndTheOfflineState) {
  struct Row {
    const char* name;
    std::optional<std::string> reply;
  } rows[] = {
      {"silent instrument", std::nullopt},
      {"blanks and control bytes only", std::string(" \t\x01\r\n")},
      // A device that never ends its line must not hold the window.
      {"endless bytes without a line end", std::string(300, '7')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.ClearHistory();
    instrument_->SetScript([&row](int, const std::string&) { return row.reply; });
    std::string shownDuringCheck;
    dialogs_.WhileOpen = [&](const TScriptedDialogs::Shown&) {
      shownDuringCheck = form_->lbCom->Text();
    };
    Choose(kPort);
    EXPECT_EQ(shownDuringCheck, kPort);  // the check names the port until it gives up
    ASSERT_EQ(dialogs_.History().size(), 1u);
    EXPECT_EQ(dialogs_.History()[0].kind, Kind::Message);
    EXPECT_EQ(dialogs_.History()[0].text, "No data !");
    EXPECT_EQ(dialogs_.History()[0].caption, "tempolog");
    EXPECT_EQ(form_->lbCom->Text(), "offline");
    EXPECT_EQ(FontColor(form_->lbCom), clGrayText);
    EXPECT_EQ(form_->lbTemp->Text(), "----");
    EXPECT_FALSE(form_->sbRejestruj->isEnabled());
    EXPECT_FALSE(form_->Serial->Connected);
  }
}

TEST_F(MonitorTest, APortThatCannotBeOpenedShowsNoData) {
  form_->ComCBoxEnter();
  form_->ComCBox->setEditText(QStringLiteral("no-such-port"));
  emit form_->ComCBox->activated(-1);
  ASSERT_EQ(dialogs_.Boxes(Kind::Message).size(), 1u);
  EXPECT_EQ(form_->lbCom->Text(), "offline");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(MonitorTest, ChoosingOfflineClosesThePortAndKeepsRecordingAsItWas) {
  GoOnline();
  Choose("offline");
  EXPECT_EQ(form_->lbCom->Text(), "offline");
  EXPECT_EQ(FontColor(form_->lbCom), clGrayText);
  EXPECT_EQ(form_->lbTemp->Text(), "----");
  EXPECT_FALSE(form_->Serial->Connected);
  EXPECT_TRUE(form_->sbRejestruj->isEnabled());  // left as it was
}

// --- recording ---------------------------------------------------------------

TEST_F(MonitorTest, RunWithPeriodOneTakesAReadingAtOnceAndOnePerTick) {
  GoOnline();
  ClickRun();
  EXPECT_TRUE(form_->sbRejestruj->Down());
  EXPECT_EQ(form_->Memo1->LineCount(), 1u);
  EXPECT_EQ(Points(), 1);
  EXPECT_TRUE(form_->Timer1->Running());
  EXPECT_EQ(form_->Timer1->Interval(), 1000u);
  EXPECT_FALSE(form_->eCmd->isEnabled());
  EXPECT_FALSE(form_->ePeriod->isEnabled());
  EXPECT_EQ(FontColor(form_->sbRejestruj), clLime);
  EXPECT_EQ(form_->Unsaved, 1);
  EXPECT_EQ(form_->lbTemp->Text(), "23.5");

  Answer("24.0");
  form_->Timer1->Tick();
  EXPECT_EQ(form_->Memo1->LineCount(), 2u);
  EXPECT_EQ(Points(), 2);
  EXPECT_EQ(std::string(form_->Memo1->Line(1)).substr(19), "\t24.0");
  EXPECT_EQ(PointY(1), 24.0);
  EXPECT_EQ(form_->lbTemp->Text(), "24.0");
  // Two exchanges per reading (check, then two per recorded reading).
  EXPECT_EQ(instrument_->Requests().size(), 5u);

  ClickRun();
  EXPECT_FALSE(form_->sbRejestruj->Down());
  EXPECT_FALSE(form_->Timer1->Enabled());
  EXPECT_TRUE(form_->eCmd->isEnabled());
  EXPECT_TRUE(form_->ePeriod->isEnabled());
  EXPECT_EQ(FontColor(form_->sbRejestruj), clWindowText);
  EXPECT_EQ(form_->Unsaved, 1);  // stays until a Save as
  EXPECT_TRUE(Errors().empty());
}

TEST_F(MonitorTest, APeriodOfZeroOrLessTakesExactlyOneReading) {
  for (const char* period : {"0", "-5", "2147484"}) {
    SCOPED_TRACE(period);
    GoOnline();
    form_->Kasuj1Click();
    SetTextOf(form_->ePeriod, period);
    ClickRun();
    EXPECT_EQ(Points(), 1);
    EXPECT_FALSE(form_->Timer1->Running());
    ClickRun();
  }
}

TEST_F(MonitorTest, TheRecordingIntervalIsComputedInSigned32Bits) {
  struct Row {
    std::int32_t period;
    std::uint32_t interval;
  } rows[] = {
      {1, 1000},    {0, 0},         {-1, 0},        {2147483, 2147483000u},
      {2147484, 0}, {INT32_MIN, 0}, {INT32_MAX, 0}, {4294968 - 4294967 + 1, 2000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.period);
    EXPECT_EQ(TForm1::RecordingInterval(row.period), row.interval);
  }
}

TEST_F(MonitorTest, AnInstrumentAnsweringOnlyTheFirstRequestRecordsNothingSilently) {
  GoOnline();
  SetTextOf(form_->ePeriod, "0");
  // Answers the check and the first request of the tick, then falls silent.
  instrument_->SetScript([](int n, const std::string&) -> std::optional<std::string> {
    if (n <= 2) return std::string("23.5\r\n");
    return std::nullopt;
  });
  ClickRun();
  EXPECT_EQ(Points(), 0);
  EXPECT_EQ(form_->Memo1->LineCount(), 0u);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(MonitorTest, ATickThatTakesNoReadingShowsNoneUntilTheNextReading) {
  // The faulty tick's two replies; a silent one costs a second.
  struct Row {
    const char* name;
    std::optional<std::string> first, second;
  } rows[] = {
      {"silent instrument", std::nullopt, std::nullopt},
      {"answers the first request only", std::string("23.5\r\n"), std::nullopt},
      {"a blank reading", std::string("23.5\r\n"), std::string(" \t\r\n")},
      {"an overlong reading", std::string("23.5\r\n"), std::string(300, '1') + "\r\n"},
  };
  GoOnline();
  ClickRun();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Answer("23.9");
    form_->Timer1->Tick();
    ASSERT_EQ(form_->lbTemp->Text(), "23.9");
    const int points = Points();
    const int asked = static_cast<int>(instrument_->Requests().size());
    instrument_->SetScript([&row, asked](int n, const std::string&) {
      return n == asked + 1 ? row.first : row.second;
    });
    form_->Timer1->Tick();
    EXPECT_EQ(form_->lbTemp->Text(), "----");
    EXPECT_EQ(Points(), points);
    // The link stays as it was: only the reading is withdrawn.
    EXPECT_EQ(form_->lbCom->Text(), "online");
    EXPECT_EQ(FontColor(form_->lbCom), clSkyBlue);
    EXPECT_TRUE(form_->sbRejestruj->isEnabled());
    Answer("24.1");
    form_->Timer1->Tick();
    EXPECT_EQ(form_->lbTemp->Text(), "24.1");
    EXPECT_EQ(Points(), points + 1);
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialogs_.History().empty());
}

TEST_F(MonitorTest, ANonNumericReplyShowsTheErrorAndAddsNothing) {
  GoOnline();
  Answer("abc");
  SetTextOf(form_->ePeriod, "0");
  ClickRun();
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].text, "'abc' is not a valid floating point value.");
  EXPECT_EQ(form_->lbTemp->Text(), "abc");
  EXPECT_EQ(Points(), 0);
  EXPECT_EQ(form_->Memo1->LineCount(), 0u);
  // The first reading failed: recording goes on but the start steps stopped.
  EXPECT_TRUE(form_->eCmd->isEnabled());
  EXPECT_EQ(form_->Unsaved, 0);
  // Replies cut short or garbled where the number's digits should be are
  // refused the same way, never read as 0 or as their first digits.
  const char* const cutShort[] = {".", "-.", "+.", ".e5", "1e", "5e+", "23.5e"};
  for (const char* reply : cutShort) {
    const std::size_t before = Errors().size();
    Answer(reply);
    form_->Timer1->Tick();
    ASSERT_EQ(Errors().size(), before + 1) << reply;
    EXPECT_EQ(Errors().back().text,
              std::string("'") + reply + "' is not a valid floating point value.");
  }
  EXPECT_EQ(Points(), 0);
  EXPECT_EQ(form_->Memo1->LineCount(), 0u);
}

TEST_F(MonitorTest, AReplyBeyondTheSingleRangeOverflows) {
  GoOnline();
  Answer("1e39");
  SetTextOf(form_->ePeriod, "0");
  ClickRun();
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].text, "Floating point overflow.");
  EXPECT_EQ(Points(), 0);
}

TEST_F(MonitorTest, AnOverlongReplyDuringRecordingIsNoReading) {
  GoOnline();
  instrument_->SetScript([](int n, const std::string&) -> std::optional<std::string> {
    if (n == 3) return std::string(300, '1') + "\r\n";
    return std::string("23.5\r\n");
  });
  SetTextOf(form_->ePeriod, "0");
  ClickRun();
  EXPECT_EQ(Points(), 0);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(MonitorTest, FailingTicksOpenOneErrorBoxAtATime) {
  GoOnline();
  ClickRun();
  ASSERT_EQ(Points(), 1);
  Answer("bad");
  // While the first box is open, its modal loop delivers three more ticks;
  // the instrument recovers for the third.
  int nested = 0;
  dialogs_.WhileOpen = [&](const TScriptedDialogs::Shown&) {
    if (nested++ > 0) return;
    form_->Timer1->Tick();
    form_->Timer1->Tick();
    Answer("25.0");
    form_->Timer1->Tick();
    Answer("bad");
  };
  form_->Timer1->Tick();
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Points(), 2);  // the good tick still recorded
  dialogs_.WhileOpen = nullptr;
  form_->Timer1->Tick();
  EXPECT_EQ(Errors().size(), 2u);
}

TEST_F(MonitorTest, ATickFailingWhileTheFirstReadingsBoxIsOpenShowsNoSecondBox) {
  GoOnline();
  Answer("bad");
  int nested = 0;
  dialogs_.WhileOpen = [&](const TScriptedDialogs::Shown&) {
    if (nested++ == 0) form_->Timer1->Tick();
  };
  ClickRun();
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_TRUE(form_->Timer1->Running());  // recording goes on
  EXPECT_EQ(Points(), 0);
}

TEST_F(MonitorTest, RestartingReadsThePeriodAndCommandAgain) {
  GoOnline();
  ClickRun();
  ClickRun();
  SetTextOf(form_->eCmd, "02Y?");
  SetTextOf(form_->ePeriod, "3");
  ClickRun();
  EXPECT_EQ(form_->Timer1->Interval(), 3000u);
  EXPECT_EQ(instrument_->Requests().back(), "02Y?");
}

// Replies that name their request ("n.5" answers request n), so that a reply
// recorded against the wrong request shows.
std::optional<std::string> NumberedReply(int n) { return std::to_string(n) + ".5\r\n"; }

std::vector<std::string> LoggedValues(const TLogView& log) {
  std::vector<std::string> values;
  for (std::size_t i = 0; i < log.LineCount(); ++i)
    values.push_back(SplitLogLine(log.Line(i)).value);
  return values;
}

TEST_F(MonitorTest, BytesLeftFromAnEarlierExchangeNeverBecomeAReading) {
  // Request 1 is the port check; each tick asks twice and records the second
  // reply (a tick whose first reply fails asks once).
  struct Row {
    const char* name;
    int faultyRequest;
    std::optional<std::string> faultyReply;
    std::string afterFirstTick;  // arrives unasked before the second tick
    std::vector<std::string> recorded;
  } rows[] = {
      {"a 300-byte burst without a line end", 2, std::string(300, '7'), "", {"4.5", "6.5"}},
      {"a stray byte after a reply", 2, std::string("2.5\r\n9"), "", {"3.5", "5.5", "7.5"}},
      {"a reply finished after its time-out", 3, std::string("3."), "5\r\n", {"5.5", "7.5"}},
      {"a reply after its time-out", 2, std::nullopt, "2.5\r\n", {"4.5", "6.5"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    form_->Kasuj1Click();
    instrument_.reset();  // a fresh instrument counts its requests from 1
    instrument_ = PlugInstrument();
    instrument_->SetScript([&row](int n, const std::string&) {
      return n == row.faultyRequest ? row.faultyReply : NumberedReply(n);
    });
    GoOnline();
    ClickRun();
    if (!row.afterFirstTick.empty()) {
      instrument_->Send(row.afterFirstTick);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    form_->Timer1->Tick();
    form_->Timer1->Tick();
    ClickRun();
    EXPECT_EQ(LoggedValues(*form_->Memo1), row.recorded);
    EXPECT_EQ(Points(), static_cast<int>(row.recorded.size()));
    EXPECT_EQ(form_->lbTemp->Text(), row.recorded.back());
    EXPECT_TRUE(Errors().empty());
  }
}

// --- log and files -----------------------------------------------------------

TEST_F(MonitorTest, SaveAsWritesOneLinePerReadingAndClearsUnsaved) {
  GoOnline();
  ClickRun();
  form_->Timer1->Tick();
  form_->Timer1->Tick();
  ClickRun();
  dialogs_.AnswerFile(Path("saved.log"));
  form_->zapis1->trigger();
  const std::string saved = ReadAll(Path("saved.log"));
  EXPECT_EQ(saved,
            "2024-03-05 07:04:09\t23.5\r\n"
            "2024-03-05 07:04:10\t23.5\r\n"
            "2024-03-05 07:04:11\t23.5\r\n");
  EXPECT_EQ(form_->Unsaved, 0);
}

TEST_F(MonitorTest, ASaveThatFailsReportsItAndKeepsUnsaved) {
  GoOnline();
  ClickRun();
  WriteAll(Path("saved.log"), "earlier contents");
  dialogs_.AnswerFile(Path("no-such-folder/saved.log"));
  form_->zapis1->trigger();
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].text.rfind(
                "Cannot create file \"" + Path("no-such-folder/saved.log") + "\". ", 0),
            0u)
      << Errors()[0].text;
  EXPECT_EQ(form_->Unsaved, 1);
  EXPECT_EQ(ReadAll(Path("saved.log")), "earlier contents");
}

TEST_F(MonitorTest, LoadReproducesTheSavedLinesAndPlotsOnePointPerLine) {
  const std::string log =
      "2024-03-05 07:04:09\t23.5\r\n"
      "2024-03-05 07:04:10\t-1.25\r\n"
      "2024-03-05 07:04:11\t0.1";  // the last line without a line break
  WriteAll(Path("in.log"), log);
  form_->Memo1->AppendLine("old line");
  dialogs_.AnswerFile(Path("in.log"));
  form_->Odczytajzpliku1->trigger();
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(form_->Memo1->Text(), log);
  ASSERT_EQ(Points(), 3);
  EXPECT_EQ(PointX(0), ParseTimestamp(form_->TextSettings, "2024-03-05 07:04:09"));
  EXPECT_EQ(PointY(0), 23.5);
  EXPECT_EQ(PointY(1), -1.25);
  EXPECT_EQ(PointY(2), static_cast<double>(0.1f));
  EXPECT_EQ(form_->Unsaved, 0);
}

TEST_F(MonitorTest, LoadStopsAtTheFirstBadLineAndKeepsTheText) {
  struct Row {
    const char* name;
    std::string secondLine;
    std::string message;
  } rows[] = {
      {"bad timestamp", "2024-02-30 10:00:00\t23.5",
       "'2024-02-30 10:00:00' is not a valid date and time."},
      {"bad value", "2024-03-05 07:04:10\t23,5", "'23,5' is not a valid floating point value."},
      {"empty line", "", "'' is not a valid date and time."},
      {"value beyond single range", "2024-03-05 07:04:10\t1e39", "Floating point overflow."},
      {"value read to the end of the line",
       "2024-03-05 07:04:10\t23.5" + std::string(16, ' ') + "x",
       "'23.5" + std::string(16, ' ') + "x' is not a valid floating point value."},
      {"midnight line without time", "2024-03-05\t23.5",
       "'2024-03-05\t23.5' is not a valid date and time."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    form_->Kasuj1Click();
    dialogs_.ClearHistory();
    const std::string log =
        "2024-03-05 07:04:09\t23.5\r\n" + row.secondLine + "\r\n2024-03-05 07:04:11\t24.5\r\n";
    WriteAll(Path("in.log"), log);
    dialogs_.AnswerFile(Path("in.log"));
    form_->Odczytajzpliku1->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].text, row.message);
    EXPECT_EQ(Points(), 1);
    EXPECT_EQ(form_->Memo1->Text(), log);
  }
}

// Lines of a long log are read in parts on several threads; the first line
// that does not read stops the plotting wherever it lies.
TEST_F(MonitorTest, ALongLogStopsAtItsFirstBadLineInAnyPart) {
  constexpr int kLines = 300000;
  struct Row {
    const char* name;
    std::vector<int> badLines;
    int plotted;
  } rows[] = {
      {"bad line in the last part only", {290000}, 290000},
      {"bad lines in the first and in a later part", {1000, 200000}, 1000},
      {"bad line first in a later part", {200000, 250000}, 200000},
  };
  const std::string good = "2024-03-05 07:04:09\t23.5\r\n";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    form_->Kasuj1Click();
    dialogs_.ClearHistory();
    std::string log;
    for (int i = 0; i < kLines; ++i) log += good;
    for (const int bad : row.badLines)
      log.replace(static_cast<std::size_t>(bad) * good.size(), 1, "X");
    WriteAll(Path("in.log"), log);
    dialogs_.AnswerFile(Path("in.log"));
    form_->Odczytajzpliku1->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].text, "'X024-03-05 07:04:09' is not a valid date and time.");
    EXPECT_EQ(Points(), row.plotted);
    EXPECT_EQ(form_->Memo1->Text(), log);
  }
}

// A reading stamped before the one ahead of it (the clock was set back) takes
// its place among the points, as it does when recorded.
TEST_F(MonitorTest, ALoadedLineStampedEarlierGoesAmongTheEarlierPoints) {
  form_->LoadLog(
      "2024-03-05 07:04:09\t1\r\n2024-03-05 07:04:11\t2\r\n2024-03-05 07:04:10\t3\r\n"
      "2024-03-05 07:04:12\t4\r\n");
  EXPECT_TRUE(Errors().empty());
  ASSERT_EQ(Points(), 4);
  const char* stamps[] = {"2024-03-05 07:04:09", "2024-03-05 07:04:10", "2024-03-05 07:04:11",
                          "2024-03-05 07:04:12"};
  const double ys[] = {1, 3, 2, 4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(PointX(i), ParseTimestamp(form_->TextSettings, stamps[i])) << i;
    EXPECT_EQ(PointY(i), ys[i]) << i;
  }
}

TEST_F(MonitorTest, LoadShowsTheBusyCursorWhileItPlots) {
  WriteAll(Path("in.log"), "2024-03-05 07:04:09\t23.5\r\n");
  std::vector<int> shapes;
  form_->Series1->OnBeforeAdd = [&](TChartSeries&) {
    const QCursor* cursor = QApplication::overrideCursor();
    shapes.push_back(cursor != nullptr ? cursor->shape() : -1);
    return true;
  };
  dialogs_.AnswerFile(Path("in.log"));
  form_->Odczytajzpliku1->trigger();
  EXPECT_EQ(shapes, std::vector<int>{Qt::WaitCursor});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The chart draws a loaded log exactly as it drew the same readings live.
TEST_F(MonitorTest, ALoadedLogDrawsTheImageItsReadingsDrewLive) {
  constexpr int kReadings = 10000;
  form_->Journal.reset();
  clock_.reset();
  int seconds = 0;
  ClockOverride clock([&] {
    const int s = seconds++;
    return LocalTime{2024, 3, 5, 7 + s / 3600, s / 60 % 60, s % 60, 0};
  });
  const char* values[] = {"21.4", "21.5", "21.4", "21.6", "-3.1", "21.5", "40", "21.5"};
  for (int i = 0; i < kReadings; ++i) form_->AddLiveReading(values[(i * 7 + i / 500) % 8]);
  // The frame after the first (which sets the chart's layout up) of each.
  const auto image = [this] {
    form_->Chart->SetBounds(200, 120);
    TBitmapSurface surface(200, 120);
    form_->Chart->PaintChart(&surface, {0, 0, 200, 120});
    form_->Chart->PaintChart(&surface, {0, 0, 200, 120});
    return surface.Image()->copy();
  };
  const QImage live = image();
  const std::string text(form_->Memo1->Text());
  form_->Kasuj1Click();
  form_->LoadLog(text);
  ASSERT_EQ(Points(), kReadings);
  EXPECT_TRUE(image() == live);
}

TEST_F(MonitorTest, AFileTooLargeForTheLogPlotsNothing) {
  WriteAll(Path("in.log"), "2024-03-05 07:04:09\t23.5\r\n2024-03-05 07:04:10\t23.5\r\n");
  form_->Memo1->SetCapacity(30);
  dialogs_.AnswerFile(Path("in.log"));
  form_->Odczytajzpliku1->trigger();
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].text, "Text exceeds memo capacity.");
  EXPECT_EQ(Points(), 0);
}

TEST_F(MonitorTest, ACancelledLoadChangesNothing) {
  for (int i = 0; i < 5; ++i) form_->AddLiveReading("23.5");
  ASSERT_EQ(Points(), 5);
  dialogs_.AnswerFile(std::nullopt);
  form_->Odczytajzpliku1->trigger();
  EXPECT_EQ(Points(), 5);
  EXPECT_EQ(form_->Memo1->LineCount(), 5u);
  // After the pop-up Clear, a cancelled Load plots nothing either.
  form_->wyczysc1->trigger();
  form_->Odczytajzpliku1->trigger();
  EXPECT_EQ(Points(), 5);
}

TEST_F(MonitorTest, LoadReadsLogicalLinesNotWrappedDisplayLines) {
  form_->resize(200, 300);
  // A long value, read whole: its wrapped display rows alone do not read.
  const std::string line = "2024-03-05 07:04:09\t23.5" + std::string(200, '0');
  form_->LoadLog(line + "\r\n");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Points(), 1);
  EXPECT_EQ(PointY(0), 23.5);
}

TEST_F(MonitorTest, ALiveReadingAtMidnightLoadsBack) {
  clock_.reset();
  ClockOverride midnight(LocalTime{2024, 3, 5, 0, 0, 0, 400});
  form_->AddLiveReading("21.5");
  EXPECT_EQ(form_->Memo1->Text(), "2024-03-05 00:00:00\t21.5\r\n");
  const std::string text(form_->Memo1->Text());
  form_->Kasuj1Click();
  form_->LoadLog(text);
  EXPECT_TRUE(Errors().empty());
  ASSERT_EQ(Points(), 1);
  EXPECT_EQ(PointY(0), 21.5);
}

TEST_F(MonitorTest, AppendingAfterALoadedLineWithoutBreakStartsANewLine) {
  form_->LoadLog("2024-03-05 07:04:08\t22.0");
  form_->AddLiveReading("23.5");
  EXPECT_EQ(form_->Memo1->Text(), "2024-03-05 07:04:08\t22.0\r\n2024-03-05 07:04:09\t23.5");
  EXPECT_EQ(Points(), 2);
}

// --- closing and the backup --------------------------------------------------

TEST_F(BackupTest, ClosingWithoutRecordingWritesNoBackup) {
  form_->AddLiveReading("23.5");
  EXPECT_TRUE(Close());
  EXPECT_FALSE(fs::exists(ProgramBackup()));
  EXPECT_EQ(form_->Serial, nullptr);
}

TEST_F(BackupTest, ClosingAfterRunWritesTheLogEvenWhenCleared) {
  GoOnline();
  ClickRun();
  ClickRun();
  form_->Memo1->AppendLine("after");
  const std::string text(form_->Memo1->Text());
  EXPECT_TRUE(Close());
  EXPECT_EQ(ReadAll(ProgramBackup()), text);
  EXPECT_EQ(form_->Unsaved, 1);
}

TEST_F(BackupTest, ClosingAfterSaveAsWritesNoBackup) {
  GoOnline();
  ClickRun();
  form_->SaveLog(Path("saved.log"));
  EXPECT_TRUE(Close());
  EXPECT_FALSE(fs::exists(ProgramBackup()));
}

TEST_F(BackupTest, AProgramFolderThatRefusesTheBackupSendsItToTheUserFolder) {
  GoOnline();
  ClickRun();
  fs::create_directories(ProgramBackup() + "/blocker");  // a folder in the file's place
  EXPECT_TRUE(Close());
  EXPECT_EQ(ReadAll(UserBackup()), form_->Memo1->Text());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(BackupTest, AnInstalledProgramLeavesItsSystemFolderAlone) {
  const std::string installed = testing_support::InstalledProgramFolder();
  form_->Memo1->AppendLine("kept");
  EXPECT_EQ(form_->WriteBackup(installed, UserDataFolder()), UserBackup());
  EXPECT_EQ(ReadAll(UserBackup()), form_->Memo1->Text());
  EXPECT_FALSE(fs::exists(installed + PathSeparator() + "data_log.bkp"));
}

TEST_F(BackupTest, WhenNoFolderTakesTheBackupTheCloseIsRefused) {
  GoOnline();
  ClickRun();
  fs::create_directories(ProgramBackup() + "/blocker");
  fs::create_directories(UserBackup() +
                         "/blocker");  // the user folder exists: it holds the journal
  EXPECT_FALSE(Close());
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].text.find("\"" + ProgramBackup() + "\""), std::string::npos)
      << Errors()[0].text;
  EXPECT_NE(form_->Serial, nullptr);
  EXPECT_TRUE(form_->Timer1->Running());
  EXPECT_TRUE(form_->isVisible());
  // Once the folder takes files again, the next close succeeds.
  fs::remove_all(ProgramBackup());
  EXPECT_TRUE(Close());
  EXPECT_TRUE(fs::is_regular_file(ProgramBackup()));
}

// Two windows of one program folder, each with readings only it took; the
// first closes or dies, then the second closes. Each reading must stay in
// some file, and only a death is reported at the next start.
TEST_F(BackupTest, NoCloseDeletesTheOnlyCopyOfAReading) {
  const std::string folder = dir_ + "/data/tempolog";
  // The files of the data folder holding exactly `text`.
  const auto holding = [&](const std::string& text) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (ReadAll(entry.path().string()) == text) names.push_back(entry.path().filename().string());
    }
    return names;
  };
  const auto recorded = [](TForm1& form, const char* reply) {
    form.Unsaved = 1;  // as Run does
    form.AddLiveReading(reply);
    return std::string(form.Memo1->Text());
  };
  struct Row {
    const char* name;
    bool firstDies;
    const char* firstKeptAs;
  } rows[] = {
      {"two closes", false, "journal-closed-"},
      {"a close after the other's death", true, "journal-recovered-"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto first = std::make_unique<TForm1>();
    auto second = std::make_unique<TForm1>();
    // Done looking for dead journals before the first dies: the next start's to take.
    first->AwaitRecovery();
    second->AwaitRecovery();
    const std::string firstLog = recorded(*first, "21.5");
    const std::string secondLog = recorded(*second, "30.5");
    if (row.firstDies) {
      first.reset();  // its journal stays, unlocked, as a killed program's does
    } else {
      first->show();
      EXPECT_TRUE(first->close());
      EXPECT_EQ(ReadAll(ProgramBackup()), firstLog);
    }
    second->show();
    EXPECT_TRUE(second->close());
    EXPECT_EQ(ReadAll(ProgramBackup()), secondLog);

    // The next start reports the dead window's journal, and that only.
    dialogs_.ClearHistory();
    auto next = std::make_unique<TForm1>();
    next->AwaitRecovery();
    EXPECT_EQ(dialogs_.Boxes(Kind::Message).size(), row.firstDies ? 1u : 0u);
    const std::vector<std::string> firstFiles = holding(firstLog);
    ASSERT_EQ(firstFiles.size(), 1u);
    EXPECT_EQ(firstFiles[0].rfind(row.firstKeptAs, 0), 0u) << firstFiles[0];
    const std::vector<std::string> secondFiles = holding(secondLog);
    ASSERT_EQ(secondFiles.size(), 1u);
    EXPECT_EQ(secondFiles[0].rfind("journal-closed-", 0), 0u) << secondFiles[0];

    next.reset();
    first.reset();
    second.reset();
    // The fixture's own window holds its journal there, which Windows keeps
    // until that window goes: the folder is emptied as far as it can be.
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
    fs::remove(ProgramBackup());
  }
}

}  // namespace
}  // namespace tempolog
