// The chart in its window: paint requests draw once and then copy the kept
// bitmap, mouse and wheel events reach the chart, errors in handlers end in
// the error box, and either the window or the chart may go first.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "chart/ProgramChart.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/SurfaceWidget.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestApplication.h"

namespace tempolog {
namespace {

class WidgetFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    parent = std::make_unique<QWidget>();
    parent->resize(400, 300);
    chart = MakeProgramChart();
    widget = new TSurfaceWidget(*chart.Chart, parent.get());
    widget->setGeometry(0, 0, 400, 300);
    for (int i = 0; i < 60; ++i) chart.Series1->AddPoint(45356.0 + i * OneMinute, 20 + i % 5);
    chart.Chart->OnAfterDraw = [this](TCustomChartPanel&) { ++passes; };
  }

  void Mouse(QEvent::Type type, Qt::MouseButton button, int x, int y) {
    const QPointF p(x, y);
    QMouseEvent event(type, p, widget->mapToGlobal(p), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
  }

  std::unique_ptr<QWidget> parent;
  TProgramChart chart;
  TSurfaceWidget* widget = nullptr;  // owned by the parent
  int passes = 0;
};

TEST_F(WidgetFixture, PaintRequestsDrawOnceThenCopyTheKeptBitmap) {
  const QImage first = widget->grab().toImage();
  EXPECT_EQ(passes, 1);
  const QImage second = widget->grab().toImage();
  EXPECT_EQ(passes, 1) << "nothing changed: no new pass";
  EXPECT_EQ(first, second);
  chart.Series1->AddPoint(45356.0 + 61 * OneMinute, 30);
  widget->grab();
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(chart.Chart->Width(), 400);
  EXPECT_EQ(chart.Chart->Height(), 300);
}

TEST_F(WidgetFixture, ResizingTheWindowRepaintsAtTheNewSize) {
  widget->grab();
  widget->setGeometry(0, 0, 350, 250);
  const QImage image = widget->grab().toImage();
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(image.size(), QSize(350, 250));
  EXPECT_EQ(chart.Chart->Canvas().BufferBitmap()->Width(), 350);
}

TEST_F(WidgetFixture, MouseDragAndWheelReachTheChart) {
  widget->grab();
  int zooms = 0;
  chart.Chart->OnZoom = [&](TCustomChartPanel&) { ++zooms; };
  const TRect p = chart.Chart->PlotRect();
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, p.Left + 10, p.Top + 10);
  Mouse(QEvent::MouseMove, Qt::LeftButton, p.Left + 80, p.Top + 60);
  EXPECT_TRUE(chart.Chart->ZoomDrag().Active);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, p.Left + 80, p.Top + 60);
  EXPECT_EQ(zooms, 1);

  chart.Chart->LeftAxis().SetRange(0, 100);
  const QPointF at(p.Left + 20, p.Top + 20);
  QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(widget, &wheel);
  EXPECT_NEAR(chart.Chart->LeftAxis().Minimum(), 3, 1e-9) << "one notch towards the user";
}

TEST_F(WidgetFixture, ZoomRectangleShowsOnTheWindowAndLeavesNoTrace) {
  const QImage before = widget->grab().toImage();
  const TRect p = chart.Chart->PlotRect();
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, p.Left + 20, p.Top + 20);
  Mouse(QEvent::MouseMove, Qt::LeftButton, p.Left + 30, p.Top + 28);
  const QImage during = widget->grab().toImage();
  EXPECT_EQ(passes, 1) << "the rectangle alone repaints nothing";
  EXPECT_NE(during.pixel(p.Left + 25, p.Top + 20), before.pixel(p.Left + 25, p.Top + 20))
      << "top edge of the rectangle";
  EXPECT_EQ(during.pixel(p.Left + 25, p.Top + 24), before.pixel(p.Left + 25, p.Top + 24))
      << "inside stays";
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, p.Left + 30, p.Top + 28);  // too small
  EXPECT_EQ(widget->grab().toImage(), before);
  EXPECT_EQ(passes, 1);
}

TEST_F(WidgetFixture, ErrorInAPaintHandlerEndsInTheErrorBox) {
  TScriptedDialogs dialogs;
  chart.Chart->OnAfterDraw = [](TCustomChartPanel&) { throw ChartException("broken hook"); };
  widget->grab();
  ASSERT_EQ(dialogs.Boxes(TScriptedDialogs::Kind::Error).size(), 1u);
  EXPECT_EQ(dialogs.Boxes(TScriptedDialogs::Kind::Error)[0].text, "broken hook.");
}

TEST_F(WidgetFixture, TheWindowMayGoBeforeTheChart) {
  parent.reset();  // deletes the chart's widget
  EXPECT_EQ(chart.Chart->Window(), nullptr);
  chart.Series1->AddPoint(45357.0, 1);  // invalidates without a window
  chart.Chart->Repaint();
}

TEST_F(WidgetFixture, TheChartMayGoBeforeTheWindow) {
  widget->grab();
  chart = TProgramChart();
  EXPECT_EQ(widget->Client(), nullptr);
  const QImage blank = widget->grab().toImage();  // reaches no chart
  EXPECT_EQ(blank.pixel(200, 150), widget->palette().window().color().rgb());
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, 50, 50);
  widget->setGeometry(0, 0, 300, 200);
}

}  // namespace
}  // namespace tempolog
