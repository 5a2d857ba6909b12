#include "app/Unit1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/journal/Journal.h"
#include "app/link/LogFormat.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/SurfaceWidget.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "framework/core/Clock.h"
#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"
#include "framework/core/LogText.h"

namespace tempolog {

namespace {

// Design sizes (pixels at 120 pixels per inch).
constexpr int kClientWidth = 1179;  // Panel2 752 + Panel1 427
constexpr int kClientHeight = 598;
constexpr int kWindowLeft = 562;
constexpr int kWindowTop = 291;
constexpr int kPanel1Width = 427;
constexpr int kPanel3Height = 184;
constexpr int kPortItemHeight = 20;

const QString kWindowFont = QStringLiteral("Microsoft Sans Serif");
const QString kLogFont = QStringLiteral("Courier New");

constexpr TColor kReadingColor = RGBColor(240, 128, 128);
constexpr const char* kOffline = "offline";
constexpr const char* kNoReading = "----";

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
}

TLabel* StatusLabel(QWidget* parent, const char* text, int right, int top, int fontHeight,
                    TColor color) {
  auto* label = new TLabel(parent);
  label->setFont(DesignFont(kWindowFont, fontHeight));
  SetFontColor(label, color);
  SetBackgroundColor(label, clBackground);
  label->SetText(text);
  label->AnchorRight(Scaled(right), Scaled(top));
  return label;
}

TLabel* CaptionLabel(QWidget* parent, const char* text, int left, int top) {
  auto* label = new TLabel(parent);
  label->setFont(DesignFont(kWindowFont, 17));
  SetFontColor(label, clGray);
  label->SetText(text);
  label->move(Scaled(left), Scaled(top));
  return label;
}

QLineEdit* FlatEdit(QWidget* parent, const char* text, TColor color) {
  auto* edit = new QLineEdit(parent);
  edit->setFrame(false);
  edit->setFont(DesignFont(kWindowFont, 17));
  SetFontColor(edit, color);
  SetTextOf(edit, text);
  return edit;
}

QFrame* Panel(QWidget* parent, bool outerBevel) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(outerBevel ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
  SetBackgroundColor(panel, clBtnFace);
  return panel;
}

}  // namespace

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  BuildWindow();
  WireHandlers();
  FormCreate();
}

TForm1::~TForm1() {
  // Its word, if still on the way, is dropped with the window.
  if (recovery_.joinable()) recovery_.join();
}

// --- building the window ----------------------------------------------------

void TForm1::BuildWindow() {
  setWindowTitle(QStringLiteral("tempolog"));
  setFont(DesignFont(kWindowFont, 17));
  SetFontColor(this, clWindowText);
  SetBackgroundColor(this, clBtnFace);

  auto* client = new QWidget(this);
  auto* row = new QHBoxLayout(client);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  setCentralWidget(client);

  // The chart takes the room left of Panel1.
  Panel2 = Panel(client, true);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  row->addWidget(Panel2, 1);

  Panel1 = Panel(client, true);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedWidth(Scaled(kPanel1Width));
  row->addWidget(Panel1, 0);

  auto* column = new QVBoxLayout(Panel1);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  Panel3 = Panel(Panel1, false);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setFixedHeight(Scaled(kPanel3Height));
  column->addWidget(Panel3, 0);

  Memo1 = new TLogView(Panel1);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFont(DesignFont(kLogFont, 17));
  SetFontColor(Memo1, clWindowText);
  column->addWidget(Memo1, 1);

  // The mask edit is part of the window but never shown nor used.
  mePeriod = new QLineEdit(Panel1);
  mePeriod->setObjectName(QStringLiteral("mePeriod"));
  mePeriod->setInputMask(QStringLiteral("##:##:##"));
  mePeriod->setMaxLength(8);
  mePeriod->setText(QString());
  mePeriod->setFont(DesignFont(kWindowFont, 17));
  SetFontColor(mePeriod, clMaroon);
  Place(mePeriod, 33, 168, 153, 28);
  mePeriod->setVisible(false);

  BuildStatusPanel();
  BuildMenus();

  Series1 = std::make_unique<TLineSeries>();
  Chart = std::make_unique<TChart>();
  auto* chartLayout = new QVBoxLayout(Panel2);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  chartLayout->addWidget(new TSurfaceWidget(*Chart, Panel2));
  SetUpProgramChart(*Chart, *Series1);

  Timer1 = new TTimer(this);
  Timer1->SetEnabled(false);
  Timer1->SetInterval(2000);
  Timer2 = new TTimer(this);
  Timer2->SetInterval(250);
  Timer2->SetEnabled(true);

  resize(Scaled(kClientWidth), Scaled(kClientHeight) + menuBar()->sizeHint().height());
  // At the design position where the window fits; otherwise moved (and only
  // then shrunk) so that the port box and Run stay on the screen.
  PlaceOnScreen(this, QPoint(Scaled(kWindowLeft), Scaled(kWindowTop)));
}

void TForm1::BuildStatusPanel() {
  Shape1 = new TShape(Panel3);
  Shape1->SetBrushColor(clBackground);
  Place(Shape1, 8, 16, 193, 158);

  lbTime = StatusLabel(Panel3, "-", 75, 24, 15, clAppWorkSpace);
  lbCom = StatusLabel(Panel3, "-", 178, 24, 15, clSkyBlue);
  lbTemp = StatusLabel(Panel3, kNoReading, 175, 68, 40, kReadingColor);

  Label2 = CaptionLabel(Panel3, "Port:", 221, 20);
  Label3 = CaptionLabel(Panel3, "Cmd:", 221, 60);
  Label1 = CaptionLabel(Panel3, "Period [s]:", 221, 100);

  ComCBox = new QComboBox(Panel3);
  ComCBox->setEditable(true);
  ComCBox->setInsertPolicy(QComboBox::NoInsert);
  ComCBox->setFrame(false);
  ComCBox->setEditText(QString::fromLatin1(kNoReading));
  SetItemHeight(ComCBox, Scaled(kPortItemHeight));
  Place(ComCBox, 272, 16, 129, 28);

  eCmd = FlatEdit(Panel3, "01X?", clNavy);
  Place(eCmd, 272, 56, 129, 28);
  ePeriod = FlatEdit(Panel3, "1", clMaroon);
  Place(ePeriod, 304, 96, 97, 28);

  sbRejestruj = new TSpeedButton(Panel3);
  sbRejestruj->setText(QStringLiteral("&Run"));
  SetFontColor(sbRejestruj, clWindowText);
  Place(sbRejestruj, 272, 136, 129, 33);
  sbRejestruj->setEnabled(false);

  // Tab order: port, command, period.
  ComCBox->setFocusPolicy(Qt::StrongFocus);
  QWidget::setTabOrder(ComCBox, eCmd);
  QWidget::setTabOrder(eCmd, ePeriod);
}

void TForm1::BuildMenus() {
  MainMenu1 = menuBar();
  Dane1 = MainMenu1->addMenu(QStringLiteral("&Data"));
  Zapisdopliku1 = Dane1->addAction(QStringLiteral("Save &as"));
  Odczytajzpliku1 = Dane1->addAction(QStringLiteral("&Load"));
  Kasuj1 = Dane1->addAction(QStringLiteral("&Clear"));

  PopupMenu1 = new QMenu(this);
  wyczysc1 = PopupMenu1->addAction(QStringLiteral("&Clear"));
  zapis1 = PopupMenu1->addAction(QStringLiteral("Save &as"));
  Memo1->SetPopupMenu(PopupMenu1);
}

void TForm1::WireHandlers() {
  // Every entry from Qt runs through the guard.
  auto guarded = [this](void (TForm1::*handler)()) {
    return [this, handler] { Guard([&] { (this->*handler)(); }); };
  };
  connect(Zapisdopliku1, &QAction::triggered, this, guarded(&TForm1::zapis1Click));
  connect(zapis1, &QAction::triggered, this, guarded(&TForm1::zapis1Click));
  connect(Odczytajzpliku1, &QAction::triggered, this, guarded(&TForm1::Odczytajzpliku1Click));
  connect(Kasuj1, &QAction::triggered, this, guarded(&TForm1::Kasuj1Click));
  connect(wyczysc1, &QAction::triggered, this, guarded(&TForm1::wyczysc1Click));
  connect(sbRejestruj, &QToolButton::clicked, this, guarded(&TForm1::sbRejestrujClick));
  // A choice by mouse or arrow keys; typing into the box chooses nothing.
  connect(ComCBox, &QComboBox::activated, this, guarded(&TForm1::ComCBoxSelect));
  ComCBox->installEventFilter(this);
  ComCBox->lineEdit()->installEventFilter(this);
  // The timers guard their ticks themselves.
  Timer1->OnTimer = [this] { Timer1Timer(); };
  Timer2->OnTimer = [this] { Timer2Timer(); };
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  const bool inPortBox = watched == ComCBox || watched == ComCBox->lineEdit();
  // The box is entered when the focus comes from another control; its own
  // drop-down list closing, or the window being activated again, is no entry
  // (refilling the list then would drop the item just chosen).
  if (watched == ComCBox && event->type() == QEvent::FocusIn) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      Guard([&] { ComCBoxEnter(); });
  }
  // Enter after typing a name would make Qt choose the matching item; a port
  // is chosen from the list only, never by typing.
  if (inPortBox && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (Guard([&] { FormClose(); })) {
    event->accept();
  } else {
    event->ignore();
  }
}

// --- start and close --------------------------------------------------------

void TForm1::FormCreate() {
  Serial = std::make_unique<TSerialPort>();
  PrepareLinkPort(*Serial);
  Link = std::make_unique<TInstrumentLink>(*Serial);
  TextSettings = MakeTextSettings();
  OpenJournal();
}

void TForm1::OpenJournal() {
  const std::string folder = UserDataFolder();
  try {
    Journal = TJournal::Create(folder, SystemNow());
  } catch (const EFCreateError& error) {
    Dialogs().ShowError(JournalFailureMessage(error.Message()), ApplicationTitle());
  }
  // This program's journal is locked, and named to be passed over besides.
  const std::string own = Journal ? std::filesystem::path(Journal->Path()).filename().string() : "";
  RecoverDeadJournals(folder, own);
}

void TForm1::RecoverDeadJournals(const std::string& folder, const std::string& own) {
  try {
    recovery_ = std::thread([this, folder, own] {
      std::vector<TRecoveredJournal> recovered = RecoverJournals(folder, own);
      if (recovered.empty()) return;
      QMetaObject::invokeMethod(
          this,
          [this, recovered = std::move(recovered)] { Guard([&] { TellRecovered(recovered); }); },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to be had: the window waits for it instead.
    TellRecovered(RecoverJournals(folder, own));
  }
}

void TForm1::AwaitRecovery() {
  if (recovery_.joinable()) recovery_.join();
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void TForm1::TellRecovered(const std::vector<TRecoveredJournal>& recovered) {
  if (!recovered.empty()) Dialogs().ShowMessage(RecoveryMessage(recovered), ApplicationTitle());
}

void TForm1::FormClose() {
  if (Unsaved == 1) {
    const TBusyCursor busy;
    WriteBackup(ProgramFolder(), UserDataFolder());
    // Another window's close, or this program's next one, replaces the
    // backup: the journal stays as the readings' second copy.
    if (Journal) Journal->KeepClosed();
  } else if (Journal) {
    // The log is saved: the journal has done its work.
    Journal->Remove();
  }
  Journal.reset();
  // Nothing may tick into a window whose port is gone.
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  Link.reset();
  Serial.reset();
}

std::string TForm1::WriteBackup(const std::string& programFolder, const std::string& userFolder) {
  const std::string separator(1, PathSeparator());
  const std::string fallback = userFolder + separator + kBackupFileName;
  const auto writeFallback = [&] {
    std::error_code ignored;
    std::filesystem::create_directories(userFolder, ignored);
    WriteFileReplacing(fallback, Memo1->Text());
    return fallback;
  };
  // An installed program's folder belongs to the system (even an
  // administrator's program leaves no file of its own there).
  if (IsSystemFolder(programFolder)) return writeFallback();
  const std::string primary = programFolder + separator + kBackupFileName;
  try {
    WriteFileReplacing(primary, Memo1->Text());
    return primary;
  } catch (const EFCreateError& programFolderError) {
    // The program's folder is often not writable (installed programs); the
    // user's own data folder takes the backup instead.
    try {
      return writeFallback();
    } catch (...) {
      throw programFolderError;
    }
  }
}

// --- device link ------------------------------------------------------------

void TForm1::ComCBoxEnter() {
  const std::vector<std::string> items =
      SplitCommaText(std::string(kOffline) + "," + ListSerialPorts());
  // Refilling the list keeps whatever the box shows.
  const QString shown = ComCBox->currentText();
  QStringList screenItems;
  screenItems.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) screenItems.push_back(ToScreen(item));
  ComCBox->blockSignals(true);
  ComCBox->clear();
  ComCBox->addItems(screenItems);
  ComCBox->setCurrentIndex(-1);
  ComCBox->setEditText(shown);
  ComCBox->blockSignals(false);
}

void TForm1::ShowOffline() {
  SetFontColor(lbCom, clGrayText);
  lbTemp->SetText(kNoReading);
}

void TForm1::ShowOnline() {
  SetFontColor(lbCom, clSkyBlue);
  lbCom->SetText("online");
}

bool TForm1::OpenAndQuery(const std::string& name) {
  Link->Open(name);
  const std::string reply = QueryDevice();
  return !reply.empty() && Serial->LastErrorCode == 0;
}

void TForm1::ComCBoxSelect() {
  const std::string chosen = FromScreen(ComCBox->currentText());
  // A choice of the operator ends any wait for an instrument that went away.
  if (chosen == kOffline) {
    lbCom->SetText(chosen);
    ShowOffline();
    Link->Close();
    return;
  }
  Link->Close();
  lbCom->SetText(chosen);
  lbCom->repaint();  // the port name stays in view while the check waits for a reply
  if (!OpenAndQuery(chosen)) {
    Dialogs().ShowMessage("No data !", ApplicationTitle());
    Serial->ClosePort();
    lbCom->SetText(kOffline);
    ShowOffline();
    sbRejestruj->setEnabled(false);
    return;
  }
  ShowOnline();
  sbRejestruj->setEnabled(true);
}

std::string TForm1::QueryDevice() {
  LastReply.clear();
  if (!Serial) return LastReply;
  LastReply = QueryInstrument(*Serial, TextOf(eCmd));
  return LastReply;
}

void TForm1::ShowDeviceGone() {
  lbCom->SetText(kOffline);
  ShowOffline();
  // One box tells that the instrument went; the ticks its modal loop delivers
  // keep looking for the instrument, and no second box stacks on it while it
  // is open.
  if (lostBoxPending_) return;
  const std::string text = "The instrument on " + Link->PortName() +
                           " is gone. Recording goes on as soon as it answers again.";
  ShowBoxAfterTick([text] { Dialogs().ShowMessage(text, ApplicationTitle()); }, &lostBoxPending_);
}

void TForm1::ShowBoxAfterTick(std::function<void()> box, bool* pending) {
  if (pending != nullptr) *pending = true;
  QMetaObject::invokeMethod(
      this,
      [box = std::move(box), pending] {
        Guard(box);
        if (pending != nullptr) *pending = false;
      },
      Qt::QueuedConnection);
}

// --- recording --------------------------------------------------------------

std::uint32_t TForm1::RecordingInterval(std::int32_t periodSeconds) {
  // Signed 32-bit milliseconds, wrapping as such arithmetic does.
  const auto milliseconds =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(periodSeconds) * 1000u);
  return milliseconds > 0 ? static_cast<std::uint32_t>(milliseconds) : 0;
}

void TForm1::sbRejestrujClick() {
  if (sbRejestruj->Down()) {
    const std::int32_t period = ParseInteger(TextOf(ePeriod));
    Timer1->SetInterval(RecordingInterval(period));
    Timer1->SetEnabled(true);
    Timer1Timer();
    eCmd->setEnabled(false);
    ePeriod->setEnabled(false);
    SetFontColor(sbRejestruj, clLime);
    Unsaved = 1;
  } else {
    Timer1->SetEnabled(false);
    eCmd->setEnabled(true);
    ePeriod->setEnabled(true);
    SetFontColor(sbRejestruj, clWindowText);
  }
}

void TForm1::Timer1Timer() {
  if (!Serial) return;
  // The link takes the tick's two exchanges (and looks for an instrument that
  // went away); the window shows what came of them.
  const TTickResult tick = Link->Tick(TextOf(eCmd));
  LastReply = tick.lastReply;
  if (tick.otherAdapter) {
    // Told once, when the instrument's old port name is found taken.
    const std::string text = "Another adapter is now at " + Link->PortName() +
                             ". Its instrument is not recorded; recording goes on as soon as the "
                             "instrument's own adapter answers again.";
    ShowBoxAfterTick([text] { Dialogs().ShowMessage(text, ApplicationTitle()); }, nullptr);
  }
  if (tick.cameBack) ShowOnline();
  if (tick.outcome == TTickOutcome::Gone) {
    ShowDeviceGone();
    return;
  }
  if (tick.outcome == TTickOutcome::Reading) {
    AddLiveReading(tick.reading);
    return;
  }
  // A tick that takes no reading shows none: the value of an earlier tick
  // must never pass for the temperature now. (While the instrument is away
  // the display already says so.)
  if (!Link->Away()) lbTemp->SetText(kNoReading);
}

void TForm1::AddLiveReading(const std::string& reply) {
  if (reply.empty()) return;
  lbTemp->SetText(reply);
  const double value = ReadingValue(TextSettings, reply);
  const TDateTimeValue now = NowValue();
  const std::string line = LogLine(TextSettings, now, reply);
  JournalReading(line);
  Memo1->AppendLine(line);
  Series1->AddPoint(now, value, "", clDefault);
  // Recording that goes on after a Save as makes the log unsaved again, so
  // that the close backs up the readings taken since.
  if (sbRejestruj->Down()) Unsaved = 1;
}

void TForm1::JournalReading(const std::string& line) noexcept {
  if (!Journal) return;
  // A line that cannot be written now is held and written with a later one.
  Journal->Append(line);
  try {
    TJournalNotice notice = Journal->TakeNotice();
    if (notice.text.empty()) return;
    // Told once per failure, and once when it works again, after this tick.
    ShowBoxAfterTick([notice = std::move(notice)] {
      if (notice.failure) {
        Dialogs().ShowError(notice.text, ApplicationTitle());
      } else {
        Dialogs().ShowMessage(notice.text, ApplicationTitle());
      }
    });
  } catch (...) {
    // Out of memory: the failure goes untold; the log still takes the reading.
  }
}

void TForm1::Timer2Timer() { lbTime->SetText(FormatClockTime(TextSettings, NowValue())); }

// --- log and files ----------------------------------------------------------

void TForm1::zapis1Click() {
  const std::optional<std::string> path = Dialogs().ChooseSaveFile();
  if (!path) return;
  const TBusyCursor busy;
  SaveLog(*path);
}

void TForm1::SaveLog(const std::string& path) {
  // The journal keeps every reading of this run until the program ends: a
  // log saved over it would be a new file, and the readings taken after the
  // save would go on to the old one, which no folder lists any more.
  std::error_code ignored;
  if (Journal && std::filesystem::equivalent(path, Journal->Path(), ignored)) {
    throw EFCreateError(FormatMessage(
        "Cannot create file \"%s\". %s",
        {path, "It is the journal of the readings being recorded; choose another file"}));
  }
  WriteFileReplacing(path, Memo1->Text());
  Unsaved = 0;
}

void TForm1::Odczytajzpliku1Click() {
  const std::optional<std::string> path = Dialogs().ChooseOpenFile();
  // A cancelled dialog changes nothing, the chart included.
  if (!path) return;
  const TBusyCursor busy;
  // The file is read whole before the log changes: a file that cannot be
  // read leaves the log (perhaps unsaved readings) as it was. It is read
  // straight into the buffer the log then takes over.
  TGrowingArray<char> bytes = TLogText::NewBuffer();
  ReadFileShared(*path, bytes);
  LoadLog(std::move(bytes));
}

void TForm1::LoadLog(TGrowingArray<char> bytes) {
  Memo1->TakeText(std::move(bytes));
  PlotLogLines();
}

void TForm1::LoadLog(std::string_view bytes) {
  TGrowingArray<char> copy = TLogText::NewBuffer();
  copy.append(bytes.data(), bytes.size());
  LoadLog(std::move(copy));
}

void TForm1::PlotLogLines() {
  // The chart's value lists keep their statistics (extremes and sums) up to
  // date across appends only while they are current; made current before the
  // lines go in, they take each reading in as it comes, and the first paint
  // after a long log does not make one more pass over millions of readings.
  for (const TChartValueList* list : Series1->ValuesLists()) (void)list->Sum();
  const std::size_t count = Memo1->LineCount();
  // The lines are read on both cores straight into the chart's lists, in
  // order; the chart takes them here, on the window's thread.
  std::size_t read = 0;
  if (count > 0 && count <= static_cast<std::size_t>(MaxListSize - Series1->PointCount())) {
    Series1->AddPoints(static_cast<std::int32_t>(count), [&](double* xs, double* ys) {
      read = ReadLogPoints(
          TextSettings, [this](std::size_t i) { return Memo1->LineText(i); }, count, xs, ys,
          LogReadingThreads(count));
      return static_cast<std::int32_t>(read);
    });
  }
  // From the first line that did not read on, line by line: that line stops
  // the plotting with its error.
  for (std::size_t i = read; i < count; ++i) {
    const LogColumns columns = SplitLogLine(Memo1->Line(i));
    AddLoadedPoint(columns.timestamp, columns.value);
  }
  // The chart's first frame of a long log would otherwise build this.
  Series1->PrepareReducedDrawing();
}

void TForm1::AddLoadedPoint(std::string_view timestampText, std::string_view valueText) {
  const LogPoint point = ReadLogPoint(TextSettings, timestampText, valueText);
  Series1->AddPoint(point.when, point.value, "", clDefault);
}

void TForm1::Kasuj1Click() {
  Memo1->Clear();
  Series1->RemoveAllPoints();
}

void TForm1::wyczysc1Click() { Memo1->Clear(); }

}  // namespace tempolog
