// Mouse zoom and scroll: the drag thresholds, zoom and undo with saved
// ranges and automatic flags, panning that follows the mouse, the wheel,
// the animated zoom, the not-xor zoom rectangle and the click events.
#include <gtest/gtest.h>

#include "chart/ProgramChart.h"
#include "tests/chartpaint/ChartPaintSupport.h"

namespace tempolog {
namespace {

using testing_support::CallsOf;
using testing_support::PassCounter;

// The program's chart, 600 × 500, off-screen, with a day of readings,
// laid out by one paint.
class MouseFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUpProgramChart(chart, series);
    chart.SetBounds(600, 500);
    for (int i = 0; i < 100; ++i) series.AddPoint(45000.0 + i * OneMinute, 20 + (i % 7));
    chart.OnZoom = [this](TCustomChartPanel&) { ++zooms; };
    chart.OnUndoZoom = [this](TCustomChartPanel&) { ++undos; };
    chart.OnScroll = [this](TCustomChartPanel&) { ++scrolls; };
    Layout();
  }

  void Layout() { chart.Repaint(); }

  void Drag(TMouseButton button, int x0, int y0, int x1, int y1) {
    chart.MouseDown(button, 0, x0, y0);
    chart.MouseMove(0, (x0 + x1) / 2, (y0 + y1) / 2);
    chart.MouseMove(0, x1, y1);
    chart.MouseUp(button, 0, x1, y1);
    Layout();
  }

  struct Range {
    double min, max;
    bool automatic;
  };
  Range RangeOf(const TCustomChartAxis& axis) {
    return {axis.Minimum(), axis.Maximum(), axis.Automatic()};
  }

  TChart chart;
  TLineSeries series;
  int zooms = 0;
  int undos = 0;
  int scrolls = 0;
};

TEST_F(MouseFixture, DragThresholdsDecideBetweenNothingZoomAndUndo) {
  struct Row {
    const char* name;
    int dx, dy;
    int zooms, undos;
  };
  const Row rows[] = {
      {"16 right and down: nothing", 16, 16, 0, 0}, {"17 right, 16 down: nothing", 17, 16, 0, 0},
      {"17 right and down: zoom", 17, 17, 1, 0},    {"10 wide only: nothing", 10, 150, 0, 0},
      {"17 left and up: undo", -17, -17, 0, 1},     {"17 right and up: undo", 17, -17, 0, 1},
      {"16 left and up: nothing", -16, -16, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    zooms = undos = 0;
    Drag(mbLeft, 150, 100, 150 + row.dx, 100 + row.dy);
    EXPECT_EQ(zooms, row.zooms);
    EXPECT_EQ(undos, row.undos);
    chart.ResetZoom();
    Layout();
  }
}

TEST_F(MouseFixture, ZoomSetsTheRangesUnderTheRectangle) {
  const TCustomChartAxis& bottom = chart.BottomAxis();
  const TCustomChartAxis& left = chart.LeftAxis();
  // Read through the mapping (pinned in the axis scaling tests): the plot here
  // depends on the system font's label sizes.
  const double x0 = bottom.PixelToValue(100), x1 = bottom.PixelToValue(300);
  const double yTop = left.PixelToValue(100), yBottom = left.PixelToValue(250);
  Drag(mbLeft, 100, 100, 300, 250);
  EXPECT_EQ(zooms, 1);
  EXPECT_TRUE(chart.ZoomedIn());
  EXPECT_FALSE(chart.RangesRestored());
  EXPECT_DOUBLE_EQ(bottom.Minimum(), x0);
  EXPECT_DOUBLE_EQ(bottom.Maximum(), x1);
  EXPECT_DOUBLE_EQ(left.Minimum(), yBottom);
  EXPECT_DOUBLE_EQ(left.Maximum(), yTop);
  EXPECT_FALSE(bottom.Automatic());
  EXPECT_FALSE(left.Automatic());
}

TEST_F(MouseFixture, UndoAfterZoomsAndPansRestoresRangesAndAutomaticFlags) {
  chart.RightAxis().SetRange(-5, 5);  // a fixed axis stays fixed at its range
  Layout();
  const Range bottom0 = RangeOf(chart.BottomAxis());
  const Range left0 = RangeOf(chart.LeftAxis());
  Drag(mbLeft, 100, 100, 300, 250);
  Drag(mbRight, 200, 150, 230, 170);
  Drag(mbLeft, 120, 120, 250, 200);
  Drag(mbRight, 200, 150, 180, 120);
  EXPECT_EQ(zooms, 2);
  EXPECT_GT(scrolls, 0);
  Drag(mbLeft, 300, 250, 100, 100);  // up and left: undo
  EXPECT_EQ(undos, 1);
  EXPECT_FALSE(chart.ZoomedIn());
  EXPECT_TRUE(chart.RangesRestored());
  EXPECT_TRUE(chart.BottomAxis().Automatic());
  EXPECT_TRUE(chart.LeftAxis().Automatic());
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), bottom0.min);
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Maximum(), bottom0.max);
  EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), left0.min);
  EXPECT_DOUBLE_EQ(chart.LeftAxis().Maximum(), left0.max);
  EXPECT_FALSE(chart.RightAxis().Automatic());
  EXPECT_DOUBLE_EQ(chart.RightAxis().Minimum(), -5);
  EXPECT_DOUBLE_EQ(chart.RightAxis().Maximum(), 5);

  // A second undo changes nothing but is still announced.
  Drag(mbLeft, 300, 250, 100, 100);
  EXPECT_EQ(undos, 2);
  EXPECT_TRUE(chart.BottomAxis().Automatic());
}

TEST_F(MouseFixture, PanningFollowsTheMouseOneToOne) {
  TCustomChartAxis& bottom = chart.BottomAxis();
  TCustomChartAxis& left = chart.LeftAxis();
  // An invariant of the mapping, whatever the font makes of the plot.
  const double under = bottom.PixelToValue(200);
  const double underY = left.PixelToValue(150);
  chart.MouseDown(mbRight, 0, 200, 150);
  chart.MouseMove(0, 240, 170);
  Layout();
  EXPECT_NEAR(bottom.PixelToValue(240), under, 1e-9) << "the value under the mouse stays";
  EXPECT_NEAR(left.PixelToValue(170), underY, 1e-9);
  chart.MouseMove(0, 180, 130);  // back past the press point
  Layout();
  EXPECT_NEAR(bottom.PixelToValue(180), under, 1e-9);
  EXPECT_EQ(scrolls, 2);
  chart.MouseUp(mbRight, 0, 180, 130);
  EXPECT_FALSE(chart.PanDrag().Active);
}

TEST_F(MouseFixture, PanEndsWhenThePointerLeavesThePlot) {
  chart.MouseDown(mbRight, 0, 200, 150);
  chart.MouseMove(0, 2, 150);  // left of the plot
  EXPECT_FALSE(chart.PanDrag().Active);
  chart.MouseMove(0, 210, 150);  // back inside: no resumption
  EXPECT_EQ(scrolls, 0);
}

TEST_F(MouseFixture, HorizontalPanningIgnoresVerticalMoves) {
  chart.SetAllowPanning(pmHorizontal);
  const Range left0 = RangeOf(chart.LeftAxis());
  chart.MouseDown(mbRight, 0, 200, 150);
  chart.MouseMove(0, 200, 180);
  EXPECT_EQ(scrolls, 0);
  chart.MouseMove(0, 220, 190);
  EXPECT_EQ(scrolls, 1);
  EXPECT_TRUE(chart.LeftAxis().Automatic());
  EXPECT_EQ(chart.LeftAxis().Minimum(), left0.min);
  EXPECT_FALSE(chart.BottomAxis().Automatic());
}

TEST_F(MouseFixture, RefusedScrollKeepsTheAxisRange) {
  chart.OnAllowScroll = [](TCustomChartAxis& axis, double&, double&, bool& allow) {
    allow = !axis.Horizontal();
  };
  chart.MouseDown(mbRight, 0, 200, 150);
  chart.MouseMove(0, 230, 170);
  EXPECT_TRUE(chart.BottomAxis().Automatic());
  EXPECT_FALSE(chart.LeftAxis().Automatic());
}

TEST_F(MouseFixture, WheelNotchShiftsVerticalAxesByThreePercent) {
  struct Row {
    const char* name;
    bool down;
    double min, max;
  };
  const Row rows[] = {{"down", true, 3, 103}, {"up", false, -3, 97}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    chart.LeftAxis().SetRange(0, 100);
    const Range bottom0 = RangeOf(chart.BottomAxis());
    chart.MouseWheel(row.down);
    EXPECT_NEAR(chart.LeftAxis().Minimum(), row.min, 1e-12);
    EXPECT_NEAR(chart.LeftAxis().Maximum(), row.max, 1e-12);
    EXPECT_EQ(chart.BottomAxis().Minimum(), bottom0.min) << "horizontal axes stay";
    EXPECT_TRUE(chart.RangesRestored()) << "the wheel saves no ranges";
  }
}

TEST_F(MouseFixture, AnimatedZoomRepaintsSevenTimesForEightSteps) {
  chart.SetAnimatedZoom(true);
  PassCounter counter;
  counter.Attach(chart);
  std::vector<double> minima;
  chart.OnAfterDraw = [&](TCustomChartPanel&) {
    ++counter.passes;
    minima.push_back(chart.BottomAxis().Minimum());
  };
  // Read through the mapping: the plot depends on the system font.
  const double target = chart.BottomAxis().PixelToValue(100);
  chart.MouseDown(mbLeft, 0, 100, 100);
  chart.MouseUp(mbLeft, 0, 300, 250);
  EXPECT_EQ(counter.passes, 7);
  for (std::size_t i = 1; i < minima.size(); ++i)
    EXPECT_LT(std::abs(minima[i] - target), std::abs(minima[i - 1] - target)) << "step " << i;
  EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), target);
}

TEST(MouseZoom, ZoomRectangleIsDrawnAndErasedWithTheNotXorPen) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  testing_support::MakeDirect(chart, 400, 300);
  series.AddPoint(1, 1);
  series.AddPoint(2, 3);
  TRecordingSurface surface(400, 300);
  chart.PaintChart(&surface, {0, 0, 400, 300});
  surface.Clear();
  chart.MouseDown(mbLeft, 0, 100, 100);
  chart.MouseMove(0, 150, 160);
  chart.MouseUp(mbLeft, 0, 150, 160);
  EXPECT_EQ(CallsOf(surface, {"Rectangle"}),
            (std::vector<std::string>{"Rectangle(100,100,100,100)", "Rectangle(100,100,100,100)",
                                      "Rectangle(100,100,150,160)", "Rectangle(100,100,150,160)"}));
  for (const TSurfaceCall& call : surface.CallsNamed("Rectangle")) {
    EXPECT_EQ(call.Pen.Mode, TPenMode::pmNotXor);
    EXPECT_EQ(call.Brush.Style, TBrushStyle::bsClear);
  }
  EXPECT_EQ(surface.Pen().Mode(), TPenMode::pmCopy) << "copy mode again after the release";
}

TEST(MouseZoom, PressOnPlotWithoutActiveSeriesStartsNoDrag) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  chart.SetBounds(400, 300);
  series.SetActive(false);
  chart.Repaint();
  const TRect p = chart.PlotRect();
  chart.MouseDown(mbLeft, 0, p.Left + 20, p.Top + 20);
  EXPECT_FALSE(chart.ZoomDrag().Active);
  chart.MouseDown(mbRight, 0, p.Left + 20, p.Top + 20);
  EXPECT_FALSE(chart.PanDrag().Active);
}

TEST_F(MouseFixture, ClickEventsCancelOrPassOnThePress) {
  int clicks = 0;
  // Top left of the plot: the readings' line runs near the bottom there.
  const int x = chart.PlotRect().Left + 3, y = chart.PlotRect().Top + 10;
  chart.OnClickBackground = [&](TCustomChart&, TMouseButton, TShiftState, int, int) { ++clicks; };
  chart.MouseDown(mbLeft, 0, x, y);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(chart.ZoomDrag().Active) << "a handler that keeps MouseCancelled takes the press";
  EXPECT_FALSE(chart.MouseCancelled());

  chart.OnClickBackground = [&](TCustomChart& sender, TMouseButton, TShiftState, int, int) {
    ++clicks;
    sender.SetMouseCancelled(false);
  };
  chart.MouseDown(mbLeft, 0, x, y);
  EXPECT_EQ(clicks, 2) << "offered once per press";
  EXPECT_TRUE(chart.ZoomDrag().Active) << "a cleared MouseCancelled lets the zoom start";
  chart.MouseUp(mbLeft, 0, x, y);
}

}  // namespace
}  // namespace tempolog
