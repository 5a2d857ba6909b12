// The chart in its window on a screen scaled to 100 %, 150 % or 200 %: it
// draws in the screen's own pixels, its texts at the screen's pixels per
// inch, and the mouse lands where it points. CTest runs this program once per
// scale (QT_SCALE_FACTOR; under Wine also the prefix's LogPixels 144); each
// run checks the row of the scale its window is on, which must be the one
// TEMPOLOG_TEST_SCALE names when that is set (so that a scale the platform
// ignored does not pass as 100 %).
#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "chart/ProgramChart.h"
#include "framework/SurfaceWidget.h"
#include "tests/support/TestApplication.h"

namespace tempolog {
namespace {

// The window's chart is 200 × 150 logical pixels. Its axes take no room and
// show fixed ranges, so the plot is the panel less its margins (3 % of the
// width at each side, 4 % of the height at top and bottom) whatever the
// fonts: one device pixel of the plot is one unit of either axis at every
// scale, 188 units across and 138 up.
struct ScaleRow {
  const char* name;  // as TEMPOLOG_TEST_SCALE names it
  double ratio;
  int width, height;  // device pixels
  int pixelsPerInch;
  TRect plot;
  TRect placed;  // the device pixels of the chart placed at logical (1, 1)
};
// clang-format off
constexpr ScaleRow kScales[] = {
    {"100", 1.0, 200, 150,  96, { 6,  6, 194, 144}, {1, 1, 201, 151}},
    {"150", 1.5, 300, 225, 144, { 9,  9, 291, 216}, {2, 2, 302, 227}},
    {"200", 2.0, 400, 300, 192, {12, 12, 388, 288}, {2, 2, 402, 302}},
};
// clang-format on

class ScaleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    parent->resize(200, 150);
    widget = new TSurfaceWidget(*chart.Chart, parent.get());
    widget->setGeometry(0, 0, 200, 150);
    for (TChartAxis* axis : {&chart.Chart->BottomAxis(), &chart.Chart->LeftAxis()}) {
      axis->SetLabels(false);
      axis->SetTickOnLabelsOnly(false);  // grid lines where the labels would be
      axis->Axis().SetVisible(false);
      axis->SetTickLength(0);
      axis->SetMinorTickLength(0);
    }
    chart.Chart->LeftAxis().SetStartPosition(0);
    chart.Chart->LeftAxis().SetEndPosition(100);
    for (int i = 0; i < 40; ++i) chart.Series1->AddPoint(i * 4.7, 100 + i % 3);
    SetRanges();
    for (const ScaleRow& scale : kScales)
      if (std::abs(scale.ratio - widget->devicePixelRatioF()) < 1e-9) row = &scale;
    ASSERT_NE(row, nullptr) << "no row for the device pixel ratio " << widget->devicePixelRatioF();
    if (const char* expected = std::getenv("TEMPOLOG_TEST_SCALE")) {
      ASSERT_STREQ(row->name, expected) << "the screen is not at the scale asked for";
    }
  }

  void SetRanges() {
    chart.Chart->BottomAxis().SetRange(0, 188);
    chart.Chart->LeftAxis().SetRange(0, 138);
  }

  // A mouse event at logical (x, y), as Qt hands it to the widget.
  void Mouse(QEvent::Type type, Qt::MouseButton button, int x, int y) {
    const QPointF p(x, y);
    QMouseEvent event(type, p, widget->mapToGlobal(p), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
  }

  std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
  TProgramChart chart = MakeProgramChart();
  TSurfaceWidget* widget = nullptr;  // owned by the parent
  const ScaleRow* row = nullptr;
};

TEST_F(ScaleFixture, TheChartIsDrawnAtTheScreensResolution) {
  SCOPED_TRACE(row->name);
  const QImage image = widget->grab().toImage();
  EXPECT_EQ(image.size(), QSize(row->width, row->height));
  const TSurface* bitmap = chart.Chart->Canvas().BufferBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), row->width);
  EXPECT_EQ(bitmap->Height(), row->height);
  EXPECT_EQ(bitmap->PixelsPerInch(), row->pixelsPerInch) << "texts at the screen's resolution";
  EXPECT_EQ(chart.Chart->PlotRect(), row->plot);
  EXPECT_EQ(chart.Chart->Width(), row->width);
  EXPECT_EQ(chart.Chart->Height(), row->height);
  EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), *bitmap->Image())
      << "the bitmap shown one to one";
}

TEST_F(ScaleFixture, PlacedBetweenDevicePixelsTheChartLeavesNoGap) {
  SCOPED_TRACE(row->name);
  // At 150 % the logical position 1 is the device position 1.5: Qt rounds
  // both edges of the chart's area to the nearest device pixel, and the
  // chart covers exactly that area of its window.
  parent->resize(203, 153);
  QPalette red = parent->palette();
  red.setColor(QPalette::Window, Qt::red);
  parent->setPalette(red);
  parent->setAutoFillBackground(true);
  widget->setGeometry(1, 1, 200, 150);
  const QImage image = parent->grab().toImage();
  const TRect& area = row->placed;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const bool inside = x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom;
      ASSERT_EQ(image.pixel(x, y) != qRgb(255, 0, 0), inside) << x << "," << y;
    }
  }
  EXPECT_EQ(chart.Chart->Canvas().BufferBitmap()->Width(), area.Width());
  EXPECT_EQ(chart.Chart->Canvas().BufferBitmap()->Height(), area.Height());
}

TEST_F(ScaleFixture, GridLinesAreOneDevicePixelWide) {
  SCOPED_TRACE(row->name);
  // The program's grid colours: the left axis' lines run across, the bottom
  // axis' lines run up. No pixel of either has a neighbour of its own colour
  // across its line.
  const QImage image = widget->grab().toImage();
  const QRgb across = qRgb(0xC7, 0xC7, 0xC7), up = qRgb(0xAA, 0xAA, 0xAA);
  int acrossPixels = 0, upPixels = 0;
  for (int y = 1; y + 1 < image.height(); ++y) {
    for (int x = 1; x + 1 < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (c == across) {
        ++acrossPixels;
        EXPECT_NE(image.pixel(x, y - 1), across) << x << "," << y;
        EXPECT_NE(image.pixel(x, y + 1), across) << x << "," << y;
      } else if (c == up) {
        ++upPixels;
        EXPECT_NE(image.pixel(x - 1, y), up) << x << "," << y;
        EXPECT_NE(image.pixel(x + 1, y), up) << x << "," << y;
      }
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(acrossPixels, 0);
  EXPECT_GT(upPixels, 0);
}

TEST_F(ScaleFixture, ZoomAndPanLandOnTheValuesUnderTheMouse) {
  SCOPED_TRACE(row->name);
  // Logical positions; at 100 % the plot starts at (6, 6) and one pixel is
  // one unit, so x = 54 is the value 48 and y = 36 the value 138 - 30 = 108.
  struct Gesture {
    const char* name;
    Qt::MouseButton button;
    int x0, y0, x1, y1, x2, y2;
    double bottomMin, bottomMax, leftMin, leftMax;
  };
  // clang-format off
  const Gesture gestures[] = {
      {"zoom to the rectangle", Qt::LeftButton,  54, 36, 102, 66, 150, 96,  48, 144,  48, 108},
      {"pan 40 left, 30 up",    Qt::RightButton, 100, 80, 80, 64,  60, 50,  40, 228, -30, 108},
  };
  // clang-format on
  for (const Gesture& g : gestures) {
    SCOPED_TRACE(g.name);
    SetRanges();
    widget->grab();  // lays the chart out
    Mouse(QEvent::MouseButtonPress, g.button, g.x0, g.y0);
    Mouse(QEvent::MouseMove, g.button, g.x1, g.y1);
    Mouse(QEvent::MouseMove, g.button, g.x2, g.y2);
    Mouse(QEvent::MouseButtonRelease, g.button, g.x2, g.y2);
    EXPECT_NEAR(chart.Chart->BottomAxis().Minimum(), g.bottomMin, 1e-9);
    EXPECT_NEAR(chart.Chart->BottomAxis().Maximum(), g.bottomMax, 1e-9);
    EXPECT_NEAR(chart.Chart->LeftAxis().Minimum(), g.leftMin, 1e-9);
    EXPECT_NEAR(chart.Chart->LeftAxis().Maximum(), g.leftMax, 1e-9);
  }
}

}  // namespace
}  // namespace tempolog
