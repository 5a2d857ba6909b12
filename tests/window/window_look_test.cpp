// The main window as the operator sees it: every colour the window sets drawn
// as set, legible status texts on the dark display box, the port list's items,
// and a window that stays on the screen.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QRegion>
#include <QScreen>
#include <cmath>
#include <optional>
#include <vector>

#include "app/Unit1.h"
#include "framework/Dialogs.h"
#include "framework/Widgets.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"

namespace tempolog {
namespace {

// Relative luminance and contrast ratio as the WCAG define them.
double Luminance(QRgb c) {
  const auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double Contrast(QRgb a, QRgb b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Pixels of exactly `color` within `area` of `image`.
int CountPixels(const QImage& image, const QRect& area, QRgb color) {
  int count = 0;
  const QRect inside = area & image.rect();
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) count += image.pixel(x, y) == color;
  }
  return count;
}

// Pixels of the widget's own rectangle not under one of its shown children.
int OwnPixels(const QWidget* widget) {
  QRegion own(widget->rect());
  for (const QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isVisible()) own -= child->geometry();
  }
  int count = 0;
  for (const QRect& part : own) count += part.width() * part.height();
  return count;
}

TEST(WindowLook, EveryColourTheWindowSetsIsDrawnAsSet) {
  TScriptedDialogs dialogs;
  TForm1 form;
  form.show();
  QApplication::processEvents();
  // The window goes through these states in this order.
  enum class State { Idle, Recording, Stopped, Offline };
  const auto enter = [&form](State state) {
    switch (state) {
      case State::Idle:
        form.lbTime->SetText("12:34:56");
        form.lbCom->SetText("online");
        break;
      case State::Recording:
      case State::Stopped:
        form.sbRejestruj->setEnabled(true);
        form.sbRejestruj->click();
        break;
      case State::Offline:
        form.ComCBox->setEditText(QStringLiteral("offline"));
        form.ComCBoxSelect();
        break;
    }
    QApplication::processEvents();
  };
  // Text: some pixels of the widget are of the colour; fill: most of those
  // not under its children are.
  enum class Look { Text, Fill };
  struct Row {
    const char* name;
    State state;
    QWidget* widget;
    TColor color;
    Look look;
  } rows[] = {
      {"window", State::Idle, form.Panel3, clBtnFace, Look::Fill},
      {"display box", State::Idle, form.Shape1, clBackground, Look::Fill},
      {"clock", State::Idle, form.lbTime, clAppWorkSpace, Look::Text},
      {"port online", State::Idle, form.lbCom, clSkyBlue, Look::Text},
      {"reading", State::Idle, form.lbTemp, RGBColor(240, 128, 128), Look::Text},
      {"caption", State::Idle, form.Label2, clGray, Look::Text},
      {"command", State::Idle, form.eCmd, clNavy, Look::Text},
      {"period", State::Idle, form.ePeriod, clMaroon, Look::Text},
      {"Run down", State::Recording, form.sbRejestruj, clLime, Look::Text},
      {"Run up", State::Stopped, form.sbRejestruj, clWindowText, Look::Text},
      {"port offline", State::Offline, form.lbCom, clGrayText, Look::Text},
  };
  // Glyphs drawn without smoothing are of the text colour in every pixel.
  for (const Row& row : rows) {
    QFont font = row.widget->font();
    font.setStyleStrategy(QFont::NoAntialias);
    row.widget->setFont(font);
  }
  std::optional<State> current;
  QImage image;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (current != row.state) {
      enter(row.state);
      current = row.state;
      image = form.grab().toImage();
    }
    const QRect area(row.widget->mapTo(&form, QPoint(0, 0)), row.widget->size());
    const int count = CountPixels(image, area, ToQColor(row.color).rgb());
    if (row.look == Look::Fill) {
      EXPECT_GT(count, OwnPixels(row.widget) / 2);
    } else {
      EXPECT_GT(count, 0);
    }
  }
}

TEST(WindowLook, EveryStatusTextStandsOutFromTheDisplayBox) {
  TScriptedDialogs dialogs;
  TForm1 form;
  form.show();
  QApplication::processEvents();
  struct Row {
    const char* name;
    TLabel* label;
    const char* text;
    TColor color;  // clDefault: as the window set it
  } rows[] = {
      {"clock", form.lbTime, "12:34:56", clDefault},
      {"port online", form.lbCom, "online", clSkyBlue},
      {"port offline", form.lbCom, "offline", clGrayText},
      {"reading", form.lbTemp, "23.5", clDefault},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.label->SetText(row.text);
    if (row.color != clDefault) SetFontColor(row.label, row.color);
    const QImage image = form.Panel3->grab().toImage();
    // The box's colour just inside its outline, below the labels.
    const QRect box = form.Shape1->geometry();
    const QRgb boxColor = image.pixel(box.left() + 3, box.bottom() - 3);
    const QRect area = row.label->geometry();
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x)
        best = std::max(best, Contrast(image.pixel(x, y), boxColor));
    }
    // The label's own background is the box's colour.
    EXPECT_EQ(image.pixel(area.left(), area.top()), boxColor);
    EXPECT_GE(best, 4.5) << "text " << row.text;
  }
}

TEST(WindowLook, PortListItemsHaveTheirDesignHeight) {
  TScriptedDialogs dialogs;
  TForm1 form;
  form.ComCBox->addItem(QStringLiteral("sim0"));
  EXPECT_EQ(form.ComCBox->view()->sizeHintForRow(0), Scaled(20));
}

TEST(WindowLook, TheWindowFrameLiesOnTheScreen) {
  TScriptedDialogs dialogs;
  TForm1 form;
  form.show();
  QApplication::processEvents();
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(available.contains(form.frameGeometry()))
      << form.frameGeometry().x() << "," << form.frameGeometry().y() << " "
      << form.frameGeometry().width() << "x" << form.frameGeometry().height();
}

TEST(WindowLook, AFrameIsMovedOnlyAsFarAsItMustAndShrunkOnlyWhereTooLong) {
  const QRect screen(0, 0, 1280, 1024), belowPanel(0, 30, 1280, 994);
  struct Row {
    const char* name;
    QRect frame, available, fitted;
  } rows[] = {
      {"fits: stays", {450, 233, 600, 500}, screen, {450, 233, 600, 500}},
      {"runs off the right", {450, 233, 943, 600}, screen, {337, 233, 943, 600}},
      {"runs off the bottom", {450, 600, 600, 500}, screen, {450, 524, 600, 500}},
      {"above a top panel", {450, 10, 600, 500}, belowPanel, {450, 30, 600, 500}},
      {"off the left and top", {-40, -5, 600, 500}, screen, {0, 0, 600, 500}},
      {"wider than the screen", {450, 233, 1400, 600}, screen, {0, 233, 1280, 600}},
      {"taller than the area", {10, 0, 600, 1200}, belowPanel, {10, 30, 600, 994}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FitFrameOnScreen(row.frame, row.available), row.fitted);
  }
}

TEST(WindowLook, TheFrameIsFittedOnceTheWindowSystemHasFramedIt) {
  // One event of the window: its frame and own rectangles, then the frame it
  // is put into (none: it stays) and whether the fitting is over.
  struct Step {
    QRect frame, window;
    std::optional<QRect> fitted;
    bool done;
  };
  const QRect screen(0, 0, 1280, 1024);
  const QRect placed(337, 233, 943, 499);  // right edge on the screen's
  struct Row {
    const char* name;
    std::vector<Step> steps;
  } rows[] = {
      {"framed after the show, 1 pixel borders, title 20",
       {{placed, placed, std::nullopt, false},
        {{337, 233, 945, 524}, {338, 253, 943, 499}, QRect(335, 233, 945, 524), true},
        // The operator moves it partly off the screen: it stays there.
        {{900, 233, 945, 524}, {901, 253, 943, 499}, std::nullopt, true}}},
      {"framed at the show",
       {{{337, 233, 947, 503}, {339, 235, 943, 499}, QRect(333, 233, 947, 503), true},
        {{333, 233, 947, 503}, {335, 235, 943, 499}, std::nullopt, true}}},
      {"framed and fitting",
       {{placed, placed, std::nullopt, false},
        {{300, 233, 945, 524}, {301, 253, 943, 499}, std::nullopt, true}}},
      {"framed taller than the screen",
       {{{0, 10, 943, 1010}, {0, 10, 943, 1010}, std::nullopt, false},
        {{0, 10, 945, 1035}, {1, 30, 943, 1010}, QRect(0, 0, 945, 1024), true}}},
      {"never framed",
       {{placed, placed, std::nullopt, false},
        {{400, 233, 943, 499}, {400, 233, 943, 499}, QRect(337, 233, 943, 499), false}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TFrameFitting fitting;
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const Step& step = row.steps[i];
      EXPECT_EQ(fitting.After(step.frame, step.window, screen), step.fitted);
      EXPECT_EQ(fitting.Done(), step.done);
    }
  }
}

}  // namespace
}  // namespace tempolog
