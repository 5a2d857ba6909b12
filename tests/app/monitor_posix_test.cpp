// The monitor on POSIX systems: instruments that vanish and adapters that
// come back under other names (on made-up device trees), the system's error
// texts, its system folders, and a real file dialog of Qt's.
#include "tests/app/MonitorFixture.h"
#include "tests/support/DeviceTree.h"
#include "tests/support/PortTreeOverride.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedDialogs::Kind;
using testing::Instrument;

// A real file dialog on the screen for a few periods, cancelled then (by a
// timer of the test, as the operator would): its loop goes on with the
// recording, one reading a period, none lost while it is open or when it
// closes.
TEST_F(MonitorTest, NoReadingIsLostWhileARealDialogIsOpen) {
  GoOnline();
  const auto started = std::chrono::steady_clock::now();
  ClickRun();
  QTimer::singleShot(3500, [] {
    if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
  });
  TQtDialogs real;
  EXPECT_EQ(real.ChooseSaveFile(), std::nullopt);
  QEventLoop after;
  QTimer::singleShot(2000, &after, &QEventLoop::quit);
  after.exec();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ClickRun();
  // One reading at Run, then one each full second (about 5.5 s: half a
  // period from either side).
  EXPECT_EQ(Points(), 1 + static_cast<int>(seconds)) << seconds << " s";
}

TEST_F(MonitorTest, AnInstrumentThatVanishesIsShownOfflineAndRecordsAgainWhenItReturns) {
  GoOnline();
  ClickRun();
  ASSERT_EQ(Points(), 1);
  instrument_->Vanish();
  for (int tick = 0; tick < 3; ++tick) form_->Timer1->Tick();
  QCoreApplication::processEvents();
  EXPECT_EQ(form_->lbCom->Text(), "offline");
  EXPECT_EQ(FontColor(form_->lbCom), clGrayText);
  EXPECT_EQ(form_->lbTemp->Text(), "----");
  EXPECT_TRUE(form_->Timer1->Running());  // recording stays on
  EXPECT_TRUE(form_->sbRejestruj->isEnabled());
  EXPECT_EQ(Points(), 1);
  ASSERT_EQ(dialogs_.Boxes(Kind::Message).size(), 1u);  // one box when it went, none per tick
  EXPECT_NE(dialogs_.Boxes(Kind::Message)[0].text.find(kPort), std::string::npos);

  instrument_->Return();
  Answer("24.0");
  form_->Timer1->Tick();
  EXPECT_EQ(form_->lbCom->Text(), "online");
  EXPECT_EQ(FontColor(form_->lbCom), clSkyBlue);
  EXPECT_EQ(form_->lbTemp->Text(), "24.0");
  form_->Timer1->Tick();
  EXPECT_EQ(Points(), 3);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialogs_.History().size(), 1u);
}

TEST_F(MonitorTest, AnAdapterBackUnderAnotherNameIsFollowedOnlyWhenSurelyTheSame) {
  const std::string byId = "usb-FTDI_FT232R_USB_UART_A1-if00-port0";
  struct Row {
    const char* name;
    std::string serial;  // of the adapter
    bool twin;           // an identical adapter is plugged in while it is away
    bool followed;
    bool stranger = false;  // another adapter takes its old name while it is away
  } rows[] = {
      {"the same adapter", "A1", false, true},
      {"an adapter without a serial number", "", false, false},
      {"an identical twin plugged in meanwhile", "A1", true, false},
      {"the same adapter, after another one took its name", "A1", false, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::DeviceTree tree;
    const TPortTreeOverride trees({tree.Dev(), tree.Sys()});
    auto before = std::make_unique<Instrument>(tree.Dev(), "ttyUSB0");
    before->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
    tree.UsbAdapter("1-1", row.serial, 0, "ttyUSB0", byId);
    form_ = std::make_unique<TForm1>();
    form_->AwaitRecovery();  // no journal of a later test's is taken for a dead one
    Choose("ttyUSB0");
    ASSERT_EQ(form_->lbCom->Text(), "online");
    ClickRun();
    // Unplugged; while something holds its old node, it comes back as ttyUSB1.
    before.reset();
    tree.Unplug("1-1", "ttyUSB0", byId);
    form_->Timer1->Tick();
    ASSERT_EQ(form_->lbCom->Text(), "offline");
    std::unique_ptr<Instrument> stranger;
    if (row.stranger) {
      QCoreApplication::processEvents();  // the box that it went
      const std::size_t shown = dialogs_.Boxes(Kind::Message).size();
      stranger = std::make_unique<Instrument>(tree.Dev(), "ttyUSB0");
      stranger->SetScript([](int, const std::string&) { return std::string("77.8\r\n"); });
      tree.UsbAdapter("1-4", "B2", 0, "ttyUSB0", "usb-FTDI_FT232R_USB_UART_B2-if00-port0");
      form_->Timer1->Tick();
      form_->Timer1->Tick();
      QCoreApplication::processEvents();
      EXPECT_EQ(form_->lbCom->Text(), "offline");
      EXPECT_EQ(form_->lbTemp->Text(), "----");
      EXPECT_EQ(Points(), 1);
      // One box (not one per tick) that another adapter is there.
      const auto boxes = dialogs_.Boxes(Kind::Message);
      ASSERT_EQ(boxes.size(), shown + 1);
      EXPECT_EQ(boxes.back().text.rfind("Another adapter is now at ttyUSB0.", 0), 0u);
    }
    if (row.twin) tree.UsbAdapter("1-3", row.serial, 0, "ttyUSB2", byId);
    Instrument after(tree.Dev(), "ttyUSB1");
    after.SetScript([](int, const std::string&) { return std::string("24.0\r\n"); });
    tree.UsbAdapter("1-2", row.serial, 0, "ttyUSB1", byId);
    form_->Timer1->Tick();
    EXPECT_EQ(form_->lbCom->Text(), row.followed ? "online" : "offline");
    EXPECT_EQ(form_->lbTemp->Text(), row.followed ? "24.0" : "----");
    EXPECT_EQ(Points(), row.followed ? 2 : 1);
    EXPECT_EQ(after.Requests().size(), row.followed ? 2u : 0u);
    if (stranger) {
      EXPECT_TRUE(stranger->Requests().empty());
    }
    QCoreApplication::processEvents();
    form_.reset();
  }
}

TEST_F(MonitorTest, ALoadThatCannotReadItsFileKeepsTheLogAndTheChart) {
  fs::create_directories(Path("folder.log"));
  WriteAll(Path("large.log"), std::string(4096, 'x'));
  struct Row {
    const char* name;
    std::string message;
  } rows[] = {
      {"missing.log",
       "Cannot open file \"" + Path("missing.log") + "\". " + SystemErrorText(ENOENT) + "."},
      {"folder.log",
       "Cannot open file \"" + Path("folder.log") + "\". " + SystemErrorText(EISDIR) + "."},
      {"large.log", "Text exceeds memo capacity."},
  };
  form_->AddLiveReading("23.5");
  const std::string log(form_->Memo1->Text());
  form_->Memo1->SetCapacity(1024);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.ClearHistory();
    dialogs_.AnswerFile(Path(row.name));
    form_->Odczytajzpliku1->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].text, row.message);
    EXPECT_EQ(form_->Memo1->Text(), log);
    EXPECT_EQ(Points(), 1);
  }
}

}  // namespace
}  // namespace tempolog
