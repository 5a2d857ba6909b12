// Line series drawing: stairs, inverted stairs and straight segments, the
// markers after the segments, null and far-off points, the line entering
// from the plot's edge when scrolled, the margins and the pointer sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "chart/ProgramChart.h"
#include "tests/chartpaint/ChartPaintSupport.h"

namespace tempolog {
namespace {

using testing_support::FixAxes;
using testing_support::MakeDirect;

// A chart whose bottom and left axes are fixed, drawn without axes, so that
// tests place points by pixel.
class LineFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirect(chart, 200, 150);
    chart.SetAxisVisible(false);
    chart.SetClipPoints(false);
    FixAxes(chart);
    series.SetParentChart(&chart);
    series.SetSeriesColor(clRed);
    Paint();  // lays out the axes
  }

  // Adds a point at pixel (x, y); nullopt y adds a null point.
  void AddAt(int x, std::optional<int> y) {
    const double xv = chart.BottomAxis().PixelToValue(x);
    if (y) series.AddPoint(xv, chart.LeftAxis().PixelToValue(*y));
    else series.AddNullXY(xv, 0);
  }

  void Paint() {
    surface.Clear();
    chart.PaintChart(&surface, {0, 0, 200, 150});
    // Only what the series drew: calls after the back-wall frame.
    std::vector<TSurfaceCall> calls = surface.Calls();
    surface.Clear();
    bool afterFrame = false;
    for (const TSurfaceCall& call : calls) {
      if (afterFrame) seriesCalls.push_back(call.ToString());
      if (call.Op == "Rectangle" && !afterFrame) afterFrame = true;
    }
  }

  std::vector<std::string> SeriesCalls(std::initializer_list<std::string_view> ops) {
    std::vector<std::string> out;
    for (const std::string& text : seriesCalls)
      for (std::string_view op : ops)
        if (text.rfind(std::string(op) + "(", 0) == 0) out.push_back(text);
    return out;
  }

  void Repaint() {
    seriesCalls.clear();
    Paint();
  }

  TChart chart;
  TLineSeries series;
  TRecordingSurface surface{200, 150};
  std::vector<std::string> seriesCalls;
};

struct SegmentRow {
  const char* name;
  bool stairs;
  bool inverted;
  std::vector<std::pair<int, std::optional<int>>> points;
  std::vector<std::string> expected;
};

TEST_F(LineFixture, SegmentsBetweenPoints) {
  const SegmentRow rows[] = {
      {"stairs: across, then up",
       true,
       false,
       {{10, 50}, {30, 20}},
       {"MoveTo(10,50)", "LineTo(30,50)", "LineTo(30,20)"}},
      {"inverted stairs: up, then across",
       true,
       true,
       {{10, 50}, {30, 20}},
       {"MoveTo(10,50)", "LineTo(10,20)", "LineTo(30,20)"}},
      {"straight", false, false, {{10, 50}, {30, 20}}, {"MoveTo(10,50)", "LineTo(30,20)"}},
      {"same pixel: no line", true, false, {{10, 50}, {10, 50}}, {}},
      {"one point: no line", true, false, {{10, 50}}, {}},
      {"null point breaks the line",
       false,
       false,
       {{10, 50}, {20, std::nullopt}, {30, 20}, {40, 40}},
       {"MoveTo(30,20)", "LineTo(40,40)"}},
  };
  for (const SegmentRow& row : rows) {
    SCOPED_TRACE(row.name);
    series.RemoveAllPoints();
    series.SetStairs(row.stairs);
    series.SetInvertedStairs(row.inverted);
    for (const auto& [x, y] : row.points) AddAt(x, y);
    Repaint();
    EXPECT_EQ(SeriesCalls({"MoveTo", "LineTo"}), row.expected);
  }
}

TEST_F(LineFixture, FarPointIsSkippedAndTheLineRunsOn) {
  AddAt(10, 50);
  series.AddPoint(chart.BottomAxis().PixelToValue(20), 1e7);  // millions of pixels up
  AddAt(30, 20);
  Repaint();
  EXPECT_EQ(SeriesCalls({"MoveTo", "LineTo"}),
            (std::vector<std::string>{"MoveTo(10,50)", "LineTo(30,20)"}));
}

TEST_F(LineFixture, MarkersFollowTheSegmentsOnBothSidesOfTheirPoint) {
  series.Pointer().SetVisible(true);
  series.Pointer().SetHorizSize(1);
  series.Pointer().SetVertSize(1);
  series.Pointer().Pen().SetVisible(false);
  series.SetStairs(true);
  AddAt(10, 50);
  AddAt(30, 20);
  AddAt(50, 40);
  Repaint();
  EXPECT_EQ(SeriesCalls({"MoveTo", "LineTo", "Rectangle"}),
            (std::vector<std::string>{"MoveTo(10,50)", "LineTo(30,50)", "LineTo(30,20)",
                                      "Rectangle(9,49,12,52)", "MoveTo(30,20)", "LineTo(50,20)",
                                      "LineTo(50,40)", "Rectangle(29,19,32,22)",
                                      "Rectangle(49,39,52,42)"}));
}

TEST_F(LineFixture, SinglePointShowsItsMarkerOnlyWithAVisiblePointer) {
  AddAt(10, 50);
  Repaint();
  EXPECT_TRUE(SeriesCalls({"Rectangle", "MoveTo", "LineTo"}).empty());
  series.Pointer().SetVisible(true);
  Repaint();
  EXPECT_EQ(SeriesCalls({"Rectangle"}), std::vector<std::string>{"Rectangle(6,46,15,55)"});
}

TEST_F(LineFixture, ScrolledSeriesStartsAtThePlotsLeftEdge) {
  series.SetStairs(true);
  // Point 0 lies left of the plot; points 1 and 2 inside it.
  series.AddPoint(-20, 30);
  AddAt(40, 50);
  AddAt(60, 20);
  Repaint();
  // The plot's left edge is x 6 (3 % of 200); value 30 lies on the left axis
  // (y 6 to 144) at 144 - round(30 × 138 / 100) = 103.
  EXPECT_EQ(SeriesCalls({"MoveTo", "LineTo"}),
            (std::vector<std::string>{"MoveTo(6,103)", "LineTo(40,103)", "LineTo(40,50)",
                                      "MoveTo(40,50)", "LineTo(60,50)", "LineTo(60,20)"}));
}

TEST_F(LineFixture, ScrolledStraightLineEntersAtTheInterpolatedHeight) {
  // From value (-100, 0) to (100, 100): at x value 0 the line is at 50.
  chart.BottomAxis().SetRange(0, 200);
  Repaint();
  series.AddPoint(-100, 0);
  series.AddPoint(100, 100);
  Repaint();
  // The plot's left edge, x 6, reads value 0; 50 lies at 144 - round(69) = 75.
  const auto calls = SeriesCalls({"MoveTo", "LineTo"});
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "MoveTo(6,75)");
}

TEST_F(LineFixture, ColorEachPointPaintsSegmentAndMarkerInThePointsPaletteColour) {
  series.SetColorEachPoint(true);
  series.Pointer().SetVisible(true);
  AddAt(10, 50);
  AddAt(30, 20);
  AddAt(50, 40);
  surface.Clear();
  chart.PaintChart(&surface, {0, 0, 200, 150});
  std::vector<TColor> lineColours, markerColours;
  for (const TSurfaceCall& call : surface.Calls()) {
    if (call.Op == "LineTo" && call.PenPos.X != call.Args[0]) lineColours.push_back(call.Pen.Color);
    if (call.Op == "Rectangle" && call.Args[2] - call.Args[0] == 9)  // 4 + 1 + 4 wide
      markerColours.push_back(call.Brush.Color);
  }
  // Straight segments: one per point after the first.
  EXPECT_EQ(lineColours, (std::vector<TColor>{ChartPalette[1], ChartPalette[2]}));
  EXPECT_EQ(markerColours,
            (std::vector<TColor>{ChartPalette[0], ChartPalette[1], ChartPalette[2]}));
}

TEST_F(LineFixture, HiddenLinePenDrawsMarkersOnly) {
  series.LinePen().SetVisible(false);
  series.Pointer().SetVisible(true);
  AddAt(10, 50);
  AddAt(30, 20);
  Repaint();
  for (const std::string& call : SeriesCalls({"LineTo"})) ADD_FAILURE() << call;
  EXPECT_EQ(SeriesCalls({"Rectangle"}).size(), 2u);
}

TEST_F(LineFixture, EachPointerStyleDrawsItsShape) {
  struct Row {
    TSeriesPointerStyle style;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {psRectangle, {"Rectangle(8,48,13,53)"}},
      {psCircle, {"Ellipse(8,48,12,52)"}},
      {psTriangle, {"Polygon(8,52,12,52,10,48)"}},
      {psDownTriangle, {"Polygon(8,48,12,48,10,52)"}},
      {psDiamond, {"Polygon(8,50,10,48,12,50,10,52)"}},
      {psSmallDot, {"SetPixel(10,50,#0000FF)"}},
      {psCross, {"MoveTo(8,50)", "LineTo(13,50)", "MoveTo(10,48)", "LineTo(10,53)"}},
  };
  series.Pointer().SetVisible(true);
  series.Pointer().SetHorizSize(2);
  series.Pointer().SetVertSize(2);
  AddAt(10, 50);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.style);
    series.Pointer().SetStyle(row.style);
    Repaint();
    EXPECT_EQ(SeriesCalls({"Rectangle", "Ellipse", "Polygon", "SetPixel", "MoveTo", "LineTo"}),
              row.expected);
  }
}

TEST(LineSeries, MarginsOfTheProgramSeriesAndItsParts) {
  struct Row {
    const char* name;
    bool pointer;
    bool inflate;
    bool stairs;
    int penWidth;
    int lineHeight;
    int left, right, top, bottom;
  };
  const Row rows[] = {
      {"program settings", true, true, true, 2, 0, 2, 2, 2, 3},
      {"pointer only", true, true, false, 2, 0, 2, 2, 2, 2},
      {"pointer not inflating", true, false, false, 2, 0, 0, 0, 0, 0},
      {"wide stairs", false, true, true, 5, 0, 5, 5, 5, 6},
      {"line height", false, true, false, 1, 7, 0, 0, 0, 7},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TLineSeries series;
    series.Pointer().SetVisible(row.pointer);
    series.Pointer().SetHorizSize(1);
    series.Pointer().SetVertSize(1);
    series.Pointer().SetInflateMargins(row.inflate);
    series.SetStairs(row.stairs);
    series.LinePen().SetWidth(row.penWidth);
    series.SetLineHeight(row.lineHeight);
    int l = -1, r = -1, t = -1, b = -1;
    series.HorizontalMargins(l, r);
    series.VerticalMargins(t, b);
    EXPECT_EQ(l, row.left);
    EXPECT_EQ(r, row.right);
    EXPECT_EQ(t, row.top);
    EXPECT_EQ(b, row.bottom);
  }
}

TEST(LineSeries, PointerSizeBelowOneIsRefusedAndKept) {
  TLineSeries series;
  series.Pointer().SetHorizSize(3);
  for (int bad : {0, -1}) {
    try {
      series.Pointer().SetHorizSize(bad);
      ADD_FAILURE() << "size " << bad << " accepted";
    } catch (const ChartException& e) {
      EXPECT_EQ(e.Message(), "Pointer size must be greater than zero");
    }
    EXPECT_THROW(series.Pointer().SetVertSize(bad), ChartException);
  }
  EXPECT_EQ(series.Pointer().HorizSize(), 3);
  EXPECT_EQ(series.Pointer().VertSize(), 4);
}

TEST(LineSeries, NewLineSeriesHidesItsPointer) {
  TLineSeries series;
  EXPECT_FALSE(series.Pointer().Visible());
  EXPECT_EQ(series.Pointer().Style(), psRectangle);
  EXPECT_FALSE(series.Stairs());
}

}  // namespace
}  // namespace tempolog
