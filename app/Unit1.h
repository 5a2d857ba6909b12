// The main window: the instrument link, the recording cycle and the
// measurement log with its files.
//
// Sections of TForm1:
//   components       every control, menu, timer of the window, by name
//   fields           the serial port, the last reply, the unsaved flag, the
//                    fixed text settings
//   handlers         what each control, menu item and timer calls
//   plain operations what the handlers do once dialogs are answered; tests
//                    call these directly
//
// Every handler is entered through the application guard: an exception that
// leaves it ends in the error box and the window carries on.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/link/InstrumentLink.h"
#include "app/textconv/TextConv.h"
#include "chart/ProgramChart.h"
#include "chart/Series.h"
#include "framework/Colors.h"
#include "framework/core/GrowingArray.h"
#include "serial/SerialPort.h"

class QAction;
class QComboBox;
class QFrame;
class QLineEdit;
class QMenu;
class QMenuBar;

namespace tempolog {

class TJournal;
struct TRecoveredJournal;
class TLabel;
class TLogView;
class TShape;
class TSpeedButton;
class TTimer;

// The name of the backup written on close.
inline constexpr const char* kBackupFileName = "data_log.bkp";

class TForm1 : public QMainWindow {
 public:
  // Builds the window and runs FormCreate.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // --- components ---------------------------------------------------------
  QFrame* Panel1 = nullptr;  // right: status display and controls, the log
  QFrame* Panel2 = nullptr;  // left: the chart
  QFrame* Panel3 = nullptr;  // status display and controls
  TShape* Shape1 = nullptr;  // dark display box
  TLabel* lbTime = nullptr;
  TLabel* lbCom = nullptr;
  TLabel* lbTemp = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label3 = nullptr;
  QComboBox* ComCBox = nullptr;
  QLineEdit* eCmd = nullptr;
  QLineEdit* ePeriod = nullptr;
  TSpeedButton* sbRejestruj = nullptr;
  TLogView* Memo1 = nullptr;
  QLineEdit* mePeriod = nullptr;  // hidden; plays no part in any operation
  TTimer* Timer1 = nullptr;       // recording
  TTimer* Timer2 = nullptr;       // clock
  QMenuBar* MainMenu1 = nullptr;
  QMenu* Dane1 = nullptr;
  QAction* Zapisdopliku1 = nullptr;
  QAction* Odczytajzpliku1 = nullptr;
  QAction* Kasuj1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* wyczysc1 = nullptr;
  QAction* zapis1 = nullptr;
  std::unique_ptr<TChart> Chart;         // fills Panel2
  std::unique_ptr<TLineSeries> Series1;  // "Temperatura"; leaves the chart first

  // --- fields -------------------------------------------------------------
  std::unique_ptr<TSerialPort> Serial;
  std::string LastReply;     // trimmed text of the last query's reply
  std::uint8_t Unsaved = 0;  // 1 once recording started, until a Save as
  TFormatSettings TextSettings{};
  // The instrument link over Serial: the port name of the last check (and
  // its adapter's identity and place), and whether its instrument went away
  // while recording (each recording tick then looks for it: a USB adapter
  // only where that adapter is, under its old name or a new one; any other
  // port under its name). Lives as long as Serial.
  std::unique_ptr<TInstrumentLink> Link;
  // Every live reading also goes here at once, so a killed program loses
  // none; null when it could not be created (recording goes on without).
  std::unique_ptr<TJournal> Journal;

  // --- handlers -----------------------------------------------------------
  // Also keeps the journals of programs that ended without closing (one box
  // says where) and starts this program's journal.
  void FormCreate();
  // Writes the backup when the log is unsaved and keeps the journal as a
  // closed one (a later close may replace the backup), or removes the journal
  // when the log is saved; then stops the timers and frees the serial port.
  // Throws EFCreateError (close refused, journal kept) when no backup could be
  // written.
  void FormClose();
  void ComCBoxEnter();
  void ComCBoxSelect();
  void sbRejestrujClick();
  void Timer1Timer();
  void Timer2Timer();
  void zapis1Click();
  void Odczytajzpliku1Click();
  void Kasuj1Click();
  void wyczysc1Click();

  // --- plain operations ---------------------------------------------------

  // One request/reply exchange: discards whatever the port received since the
  // last exchange, sends the command and CR, reads up to CR LF (1000 ms per
  // wait); returns the blank-trimmed reply, empty when nothing usable came,
  // and leaves it in LastReply. Judge success by a non-empty reply and
  // Serial->LastErrorCode == 0.
  std::string QueryDevice();

  // Shows, logs, journals and plots one reading; an empty reply is ignored.
  // A reading taken while recording marks the log unsaved, so one taken after
  // a Save as is backed up on close too.
  void AddLiveReading(const std::string& reply);

  // Turns the two column texts of a log line into a chart point.
  void AddLoadedPoint(std::string_view timestampText, std::string_view valueText);

  // Writes the log text to `path`, replacing any file there; clears Unsaved.
  void SaveLog(const std::string& path);

  // Replaces the log with `bytes` and plots every line of it. Bytes too many
  // for the log throw EInvalidOperation and leave log and chart as they were.
  void LoadLog(TGrowingArray<char> bytes);
  void LoadLog(std::string_view bytes);

  // Plots every logical line of the log, first to last; stops at the first
  // line that does not read (the error propagates).
  void PlotLogLines();

  // Writes the backup of the log: into `programFolder`, or when that fails
  // into `userFolder` (created when missing). Returns the path written.
  // Waits until the journals of programs that died are looked after, and
  // tells what was kept.
  void AwaitRecovery();

  // Throws the program folder's EFCreateError when neither can be written.
  std::string WriteBackup(const std::string& programFolder, const std::string& userFolder);

  // The interval Timer1 runs at for a period in seconds: period x 1000 in
  // signed 32-bit arithmetic (wrapping); 0 (no ticks) when that is 0 or less.
  static std::uint32_t RecordingInterval(std::int32_t periodSeconds);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void BuildStatusPanel();
  void BuildMenus();
  void WireHandlers();
  void ShowOffline();
  void ShowOnline();
  // Opens the port of that name afresh and queries the instrument once; true
  // when it answered.
  bool OpenAndQuery(const std::string& name);
  // The device went away during a recording tick: shows the link offline and
  // tells the operator once.
  void ShowDeviceGone();

  // Shows a box once the current tick is over: a box opened inside a tick
  // would hold the recording timer until it is closed. `pending`, when given,
  // is set from now until the box is closed.
  void ShowBoxAfterTick(std::function<void()> box, bool* pending = nullptr);

  bool lostBoxPending_ = false;  // a box about a lost instrument is due or open
  void OpenJournal();
  void JournalReading(const std::string& line) noexcept;
  // Looks for the journals of programs that died on a thread of its own, so
  // that the window comes up at once however long they are; tells what it
  // kept when done.
  void RecoverDeadJournals(const std::string& folder, const std::string& own);
  void TellRecovered(const std::vector<TRecoveredJournal>& recovered);
  std::thread recovery_;
};

// The program's one main window (set by the program entry).
extern TForm1* Form1;

}  // namespace tempolog
