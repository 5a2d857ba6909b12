// The paint cycle of the chart: the plot rectangle from the margins, the
// back-wall frame, the order of the drawing steps and their hooks, repaints
// from the kept bitmap, the fill style rule and series palette colours.
#include <gtest/gtest.h>

#include "chart/ProgramChart.h"
#include "tests/chartpaint/ChartPaintSupport.h"

namespace tempolog {
namespace {

using testing_support::CallsOf;
using testing_support::MakeDirect;
using testing_support::PassCounter;
using testing_support::Pixel;

struct PlotRectRow {
  const char* name;
  int width, height;
  int marginLeft, marginRight;
  TRect expected;
};

TEST(ChartPaint, PlotRectFromMarginsBeforeAxesTakeRoom) {
  const PlotRectRow rows[] = {
      {"design size", 750, 596, 3, 3, {23, 24, 727, 572}},
      {"construction size", 400, 250, 3, 3, {12, 10, 388, 240}},
      {"tiny", 10, 10, 3, 3, {0, 0, 10, 10}},
      {"margins cross", 100, 100, 60, 60, {60, 4, 61, 96}},
      {"margins meet", 100, 100, 50, 50, {50, 4, 150, 96}},
  };
  for (const PlotRectRow& row : rows) {
    SCOPED_TRACE(row.name);
    TChart chart;
    MakeDirect(chart, row.width, row.height);
    chart.SetAxisVisible(false);  // no axis takes room
    chart.SetMarginLeft(row.marginLeft);
    chart.SetMarginRight(row.marginRight);
    TRecordingSurface surface(row.width, row.height);
    chart.PaintChart(&surface, {0, 0, row.width, row.height});
    EXPECT_EQ(chart.PlotRect(), row.expected);
    EXPECT_EQ(chart.PlotWidth(), row.expected.Width());
    EXPECT_EQ(chart.PlotCenterX(), (row.expected.Left + row.expected.Right) / 2);
  }
}

TEST(ChartPaint, BackWallFrameIncludesRightColumnAndBottomRow) {
  TChart chart;
  chart.SetBounds(60, 50);
  chart.SetView3D(false);
  chart.SetAxisVisible(false);
  chart.SetBevelOuter(bvNone);
  chart.SetColor(clWhite);
  chart.Frame().SetColor(clBlack);
  TBitmapSurface surface(60, 50);
  chart.PaintChart(&surface, {0, 0, 60, 50});
  const TRect p = chart.PlotRect();
  ASSERT_EQ(p, (TRect{2, 2, 58, 48}));
  const QImage& image = *surface.Image();
  auto at = [&](int x, int y) { return image.pixel(x, y) | 0xFF000000u; };
  for (int y = p.Top; y <= p.Bottom; ++y) {
    EXPECT_EQ(at(p.Left, y), Pixel(clBlack)) << "left column, row " << y;
    EXPECT_EQ(at(p.Right, y), Pixel(clBlack)) << "right column, row " << y;
    EXPECT_EQ(at(p.Right + 1, y), Pixel(clWhite)) << "beyond the right column, row " << y;
  }
  for (int x = p.Left; x <= p.Right; ++x) {
    EXPECT_EQ(at(x, p.Top), Pixel(clBlack)) << "top row, column " << x;
    EXPECT_EQ(at(x, p.Bottom), Pixel(clBlack)) << "bottom row, column " << x;
    EXPECT_EQ(at(x, p.Bottom + 1), Pixel(clWhite)) << "below the bottom row, column " << x;
  }
  EXPECT_EQ(at(p.Left + 1, p.Top + 1), Pixel(clWhite)) << "the inside is not filled";
}

TEST(ChartPaint, MarkerOfProgramSeriesIsTwoByTwoPixelsUpLeftOfThePoint) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  chart.SetBounds(120, 100);
  chart.SetAxisVisible(false);
  chart.SetColor(clWhite);
  chart.Frame().SetColor(clWhite);
  chart.BottomAxis().SetRange(0, 100);
  chart.LeftAxis().SetRange(0, 100);
  series.SetSeriesColor(clRed);
  series.AddPoint(40, 60);
  TBitmapSurface surface(120, 100);
  chart.PaintChart(&surface, {0, 0, 120, 100});
  // Plot (4, 4)-(116, 96) inside the 3 % and 4 % margins; the bottom axis
  // spans x 4 to 116, the left axis y 6 to 94 (2 % to 98 %): value 40 at
  // 4 + round(44.8) = 49, value 60 at 94 - round(52.8) = 41.
  const int x = 49, y = 41;
  const std::set<std::pair<int, int>> expected{{x - 1, y - 1}, {x, y - 1}, {x - 1, y}, {x, y}};
  EXPECT_EQ(testing_support::Inked(*surface.Image()), expected);
  EXPECT_EQ(surface.Image()->pixel(x, y) | 0xFF000000u, Pixel(clRed));
}

TEST(ChartPaint, RepaintWithoutChangesCopiesTheKeptBitmapOnly) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  chart.SetBounds(300, 200);
  series.AddPoint(1.0, 20);
  series.AddPoint(1.001, 21);
  PassCounter counter;
  counter.Attach(chart);

  TRecordingSurface window(300, 200);
  chart.Paint(window);
  EXPECT_EQ(counter.passes, 1);
  EXPECT_EQ(window.CallTexts(), std::vector<std::string>{"CopyFrom(0,0,300,200)"})
      << "the pass draws into the kept bitmap, then copies it once";

  window.Clear();
  chart.Paint(window);
  EXPECT_EQ(counter.passes, 1) << "no drawing sequence without a change";
  EXPECT_EQ(window.CallTexts(), std::vector<std::string>{"CopyFrom(0,0,300,200)"});

  chart.SetColor(chart.Color());  // the same value: not a change
  chart.Paint(window);
  EXPECT_EQ(counter.passes, 1);

  series.AddPoint(1.002, 22);  // a new reading makes the picture stale
  chart.Paint(window);
  EXPECT_EQ(counter.passes, 2);
}

TEST(ChartPaint, EmptySeriesStillDrawsFrameAndAxesButNoSeriesHooks) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  MakeDirect(chart, 750, 596);
  std::vector<std::string> events;
  chart.OnBeforeDrawAxes = [&](TCustomChartPanel&) { events.push_back("axes"); };
  chart.OnBeforeDrawSeries = [&](TCustomChartPanel&) { events.push_back("series"); };
  chart.OnAfterDraw = [&](TCustomChartPanel&) { events.push_back("after"); };
  series.BeforeDrawValues = [&](TChartSeries&) { events.push_back("before values"); };
  series.AfterDrawValues = [&](TChartSeries&) { events.push_back("after values"); };
  TRecordingSurface surface(750, 596);
  chart.PaintChart(&surface, {0, 0, 750, 596});

  EXPECT_EQ(events, (std::vector<std::string>{"axes", "series", "after"}));
  const TRect p = chart.PlotRect();
  EXPECT_GT(p.Left, 23) << "the left axis took room";
  EXPECT_LT(p.Bottom, 572) << "the bottom axis took room";
  const auto boxes = CallsOf(surface, {"Rectangle"});
  const std::string frame = "Rectangle(" + std::to_string(p.Left) + "," + std::to_string(p.Top) +
                            "," + std::to_string(p.Right + 1) + "," + std::to_string(p.Bottom + 1) +
                            ")";
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), frame), boxes.end()) << "back-wall frame";
  int labelsLeft = 0;
  for (const TSurfaceCall& call : surface.CallsNamed("TextOut"))
    if (call.Args[0] < p.Left) ++labelsLeft;
  EXPECT_GT(labelsLeft, 0) << "left axis labels";
}

TEST(ChartPaint, SeriesHooksSurroundItsDrawingInOrder) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  MakeDirect(chart, 300, 200);
  series.AddPoint(1.0, 20);
  series.AddPoint(1.001, 21);
  std::vector<std::string> events;
  chart.OnBeforeDrawSeries = [&](TCustomChartPanel&) { events.push_back("series"); };
  chart.OnAfterDraw = [&](TCustomChartPanel&) { events.push_back("after"); };
  series.BeforeDrawValues = [&](TChartSeries&) { events.push_back("before values"); };
  series.AfterDrawValues = [&](TChartSeries&) { events.push_back("after values"); };
  TRecordingSurface surface(300, 200);
  chart.PaintChart(&surface, {0, 0, 300, 200});
  EXPECT_EQ(events, (std::vector<std::string>{"series", "before values", "after values", "after"}));
}

TEST(ChartPaint, ChartWithoutSeriesShowsEveryVisibleAxis) {
  TChart chart;
  TLineSeries series;
  SetUpProgramChart(chart, series);
  series.SetParentChart(nullptr);
  MakeDirect(chart, 750, 596);
  TRecordingSurface surface(750, 596);
  chart.PaintChart(&surface, {0, 0, 750, 596});
  EXPECT_TRUE(chart.AxisIsShown(chart.RightAxis()));
  EXPECT_TRUE(chart.AxisIsShown(chart.BottomAxis()));
  EXPECT_FALSE(chart.AxisIsShown(chart.TopAxis()));
  EXPECT_LT(chart.PlotRect().Right, 727) << "the right axis took room";
}

TEST(ChartPaint, VisibleTitleAndFootTakeTheirLinesAndFivePixels) {
  TChart chart;
  MakeDirect(chart, 400, 300);
  chart.SetAxisVisible(false);
  TRecordingSurface surface(400, 300);
  surface.SetTextMetrics(6, 13);
  chart.Title().SetVisible(true);
  chart.Title().SetText({"Two", "lines"});
  chart.Foot().SetText({"foot"});
  chart.PaintChart(&surface, {0, 0, 400, 300});
  EXPECT_EQ(chart.PlotRect(), (TRect{12, 12 + 26 + 5, 388, 288 - 13 - 5}));
  EXPECT_EQ(CallsOf(surface, {"TextOut"}),
            (std::vector<std::string>{"TextOut(191,12,\"Two\")", "TextOut(185,25,\"lines\")",
                                      "TextOut(188,275,\"foot\")"}));
}

struct FillRow {
  const char* name;
  TColor color;
  TBrushStyle style;
  TColor background;
  TColor expectedColor;
  int expectedMode;
};

TEST(ChartPaint, ApplyFillStyleKeepsHatchesOffTheirBackground) {
  const FillRow rows[] = {
      {"solid keeps its colour", clRed, TBrushStyle::bsSolid, clRed, clRed, TRANSPARENT},
      {"hatch on its own colour turns black", clRed, TBrushStyle::bsCross, clRed, clBlack, OPAQUE},
      {"black hatch on black turns white", clBlack, TBrushStyle::bsCross, clBlack, clWhite, OPAQUE},
      {"hatch on another colour", clRed, TBrushStyle::bsCross, clBlue, clRed, OPAQUE},
  };
  for (const FillRow& row : rows) {
    SCOPED_TRACE(row.name);
    TChart chart;
    TRecordingSurface surface;
    chart.Canvas().AttachSurface(&surface);
    chart.ApplyFillStyle(row.color, row.style, row.background);
    EXPECT_EQ(surface.Brush().Color(), row.expectedColor);
    EXPECT_EQ(surface.Brush().Style(), row.style);
    EXPECT_EQ(surface.BackgroundMode(), row.expectedMode);
    chart.Canvas().AttachSurface(nullptr);
  }
}

TEST(ChartPaint, NewSeriesTakesTheFirstFreePaletteColour) {
  TChart chart;
  chart.SetColor(clWhite);
  TLineSeries a, b, c, own;
  own.SetSeriesColor(clPurple);
  own.SetParentChart(&chart);
  a.SetParentChart(&chart);
  b.SetParentChart(&chart);
  c.SetParentChart(&chart);
  EXPECT_EQ(own.SeriesColor(), clPurple) << "a series with a colour keeps it";
  EXPECT_EQ(a.SeriesColor(), ChartPalette[0]);
  EXPECT_EQ(b.SeriesColor(), ChartPalette[1]);
  EXPECT_EQ(c.SeriesColor(), ChartPalette[2]);
}

TEST(ChartPaint, PaletteSkipsTheChartColourAndFallsBackToRed) {
  TChart chart;
  chart.SetColor(ChartPalette[0]);
  std::vector<std::unique_ptr<TLineSeries>> series;
  for (int i = 0; i < 17; ++i) {
    series.push_back(std::make_unique<TLineSeries>());
    series.back()->SetParentChart(&chart);
  }
  EXPECT_EQ(series[0]->SeriesColor(), ChartPalette[1]);
  EXPECT_EQ(series[15]->SeriesColor(), clRed) << "all free palette colours taken";
}

}  // namespace
}  // namespace tempolog
