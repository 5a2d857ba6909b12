// The main window as it starts: every control, menu and timer, and the error
// box rule when a handler fails.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "app/Unit1.h"
#include "framework/Dialogs.h"
#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/Timer.h"
#include "framework/Widgets.h"
#include "tests/support/ClockOverride.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"

namespace tempolog {
namespace {

using Kind = TScriptedDialogs::Kind;

QStringList ActionTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) texts << action->text();
  return texts;
}

class MainWindowTest : public ::testing::Test {
 protected:
  TScriptedDialogs dialogs;
  TForm1 form;
};

TEST_F(MainWindowTest, StartsWithTheTextsOfAnIdleWindowWithoutLink) {
  struct Row {
    const char* name;
    std::string actual, expected;
  } rows[] = {
      {"caption", FromScreen(form.windowTitle()), "tempolog"},
      {"lbTime", form.lbTime->Text(), "-"},
      {"lbCom", form.lbCom->Text(), "-"},
      {"lbTemp", form.lbTemp->Text(), "----"},
      {"Label2", form.Label2->Text(), "Port:"},
      {"Label3", form.Label3->Text(), "Cmd:"},
      {"Label1", form.Label1->Text(), "Period [s]:"},
      {"ComCBox", FromScreen(form.ComCBox->currentText()), "----"},
      {"eCmd", TextOf(form.eCmd), "01X?"},
      {"ePeriod", TextOf(form.ePeriod), "1"},
      {"sbRejestruj", FromScreen(form.sbRejestruj->text()), "&Run"},
      {"Memo1", std::string(form.Memo1->Text()), ""},
      {"mePeriod", FromScreen(form.mePeriod->displayText()), "  :  :  "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST_F(MainWindowTest, StartsWithNoPortRecordingOffAndTheClockRunning) {
  EXPECT_EQ(form.ComCBox->count(), 0);
  EXPECT_FALSE(form.sbRejestruj->isEnabled());
  EXPECT_FALSE(form.sbRejestruj->Down());
  EXPECT_TRUE(form.sbRejestruj->isCheckable());
  EXPECT_TRUE(form.eCmd->isEnabled());
  EXPECT_TRUE(form.ePeriod->isEnabled());
  EXPECT_FALSE(form.Timer1->Enabled());
  EXPECT_EQ(form.Timer1->Interval(), 2000u);
  EXPECT_TRUE(form.Timer2->Running());
  EXPECT_EQ(form.Timer2->Interval(), 250u);
  EXPECT_EQ(form.Unsaved, 0);
  ASSERT_NE(form.Serial, nullptr);
  EXPECT_FALSE(form.Serial->Connected);
  EXPECT_EQ(form.Serial->MaxLineLength, 258);  // a reply of 256 bytes and its CR LF
  EXPECT_EQ(form.Series1->PointCount(), 0);
  EXPECT_EQ(form.Series1->Title(), "Temperatura");
  EXPECT_FALSE(form.mePeriod->isVisibleTo(&form));
  EXPECT_TRUE(form.mePeriod->inputMask().startsWith(QStringLiteral("##:##:##")));
  EXPECT_EQ(form.TextSettings.shortDateFormat, "yyyy-mm-dd");
  EXPECT_EQ(form.TextSettings.longTimeFormat, "hh:nn:ss");
  EXPECT_EQ(FontColor(form.lbCom), clSkyBlue);
  EXPECT_EQ(form.mePeriod->maxLength(), 8);
}

TEST_F(MainWindowTest, StatusLabelsKeepTheirRightEdgeWhenTheTextChanges) {
  struct Row {
    const char* name;
    TLabel* label;
    int right, top;
  } rows[] = {
      {"lbTime", form.lbTime, 75, 24},
      {"lbCom", form.lbCom, 178, 24},
      {"lbTemp", form.lbTemp, 175, 68},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int before = row.label->width();
    EXPECT_EQ(row.label->x() + row.label->width(), Scaled(row.right));
    row.label->SetText("a much longer text");
    EXPECT_GT(row.label->width(), before);
    EXPECT_EQ(row.label->x() + row.label->width(), Scaled(row.right));
    EXPECT_EQ(row.label->y(), Scaled(row.top));
  }
}

TEST_F(MainWindowTest, MenusCarryTheirCaptions) {
  EXPECT_EQ(form.Dane1->title(), QStringLiteral("&Data"));
  EXPECT_EQ(
      ActionTexts(form.Dane1),
      (QStringList{QStringLiteral("Save &as"), QStringLiteral("&Load"), QStringLiteral("&Clear")}));
  EXPECT_EQ(ActionTexts(form.PopupMenu1),
            (QStringList{QStringLiteral("&Clear"), QStringLiteral("Save &as")}));
  EXPECT_EQ(form.Memo1->PopupMenu(), form.PopupMenu1);
}

TEST_F(MainWindowTest, EachMenuItemCallsItsHandler) {
  // Both "Save as" items ask for a file name; cancelling writes nothing.
  form.Zapisdopliku1->trigger();
  form.zapis1->trigger();
  form.Odczytajzpliku1->trigger();
  EXPECT_EQ(dialogs.Boxes(Kind::SaveFile).size(), 2u);
  EXPECT_EQ(dialogs.Boxes(Kind::OpenFile).size(), 1u);
  EXPECT_TRUE(dialogs.Boxes(Kind::Error).empty());

  form.Memo1->AppendLine("2024-03-05 07:04:09\t23.5");
  form.Series1->AddPoint(45356.29455, 23.5, "", clDefault);
  form.wyczysc1->trigger();  // the pop-up Clear: the log alone
  EXPECT_EQ(form.Memo1->Text(), "");
  EXPECT_EQ(form.Series1->PointCount(), 1);
  form.Memo1->AppendLine("2024-03-05 07:04:09\t23.5");
  form.Kasuj1->trigger();  // the menu Clear: the log and the chart
  EXPECT_EQ(form.Memo1->Text(), "");
  EXPECT_EQ(form.Series1->PointCount(), 0);
}

TEST_F(MainWindowTest, TheClockTickShowsTheTimeOfDay) {
  ClockOverride clock(LocalTime{2024, 3, 5, 14, 5, 9, 480});
  form.Timer2->Tick();
  EXPECT_EQ(form.lbTime->Text(), "14:05:09");
  EXPECT_EQ(form.lbTime->x() + form.lbTime->width(), Scaled(75));
}

TEST_F(MainWindowTest, AFailingHandlerShowsOneErrorBoxAndTheWindowCarriesOn) {
  SetTextOf(form.ePeriod, "abc");
  form.sbRejestruj->setEnabled(true);
  form.sbRejestruj->click();
  ASSERT_EQ(dialogs.Boxes(Kind::Error).size(), 1u);
  EXPECT_EQ(dialogs.Boxes(Kind::Error)[0].text, "'abc' is not a valid integer value.");
  EXPECT_EQ(dialogs.Boxes(Kind::Error)[0].caption, "tempolog");
  // The button stays down, nothing else changed.
  EXPECT_TRUE(form.sbRejestruj->Down());
  EXPECT_FALSE(form.Timer1->Enabled());
  EXPECT_TRUE(form.ePeriod->isEnabled());
  EXPECT_EQ(form.Unsaved, 0);
  // The next click releases it without error.
  form.sbRejestruj->click();
  EXPECT_FALSE(form.sbRejestruj->Down());
  EXPECT_EQ(dialogs.Boxes(Kind::Error).size(), 1u);
  EXPECT_EQ(FontColor(form.sbRejestruj), clWindowText);
}

TEST_F(MainWindowTest, ThePortListIsFilledWhenTheBoxReceivesFocus) {
  form.show();
  QApplication::setActiveWindow(&form);
  form.eCmd->setFocus();
  QApplication::processEvents();
  form.ComCBox->setFocus();
  QApplication::processEvents();
  ASSERT_GE(form.ComCBox->count(), 1);
  EXPECT_EQ(form.ComCBox->itemText(0), QStringLiteral("offline"));
  EXPECT_EQ(form.ComCBox->currentText(), QStringLiteral("----"));
  form.hide();
}

TEST_F(MainWindowTest, APortIsChosenByArrowKeysNeverByTyping) {
  form.ComCBoxEnter();
  auto press = [&](QObject* target, int key, const QString& text = {}) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &event);
  };
  // Typing the name of an item and pressing Enter chooses nothing.
  form.ComCBox->setEditText(QString());
  for (const QChar c : QStringLiteral("offline")) press(form.ComCBox->lineEdit(), 0, QString(c));
  press(form.ComCBox, Qt::Key_Return);
  press(form.ComCBox->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(form.lbCom->Text(), "-");
  // The arrow key moves to the first item, "offline", and chooses it.
  press(form.ComCBox, Qt::Key_Down);
  EXPECT_EQ(form.lbCom->Text(), "offline");
  EXPECT_EQ(FontColor(form.lbCom), clGrayText);
  EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(MainWindowTest, ClosingTheDropDownListIsNoEntryIntoTheBox) {
  // When the list closes, the focus comes back from the pop-up; refilling
  // the list then would drop the item the operator just chose.
  form.ComCBoxEnter();
  form.ComCBox->setCurrentIndex(0);
  form.ComCBox->addItem(QStringLiteral("marker"));
  const int count = form.ComCBox->count();
  for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
    QFocusEvent back(QEvent::FocusIn, reason);
    QApplication::sendEvent(form.ComCBox, &back);
    EXPECT_EQ(form.ComCBox->count(), count) << reason;
    EXPECT_EQ(form.ComCBox->currentIndex(), 0) << reason;
  }
  // Coming from another control is an entry: the list is made anew.
  QFocusEvent entry(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(form.ComCBox, &entry);
  EXPECT_EQ(form.ComCBox->findText(QStringLiteral("marker")), -1);
}

}  // namespace
}  // namespace tempolog
