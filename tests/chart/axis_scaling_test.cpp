// Axis scaling: defaults and setter refusals, automatic ranges, pixel spans,
// value/pixel mapping (linear, inverted, logarithmic), margin widening,
// label steps (numeric and date-time), user ranges, scrolling, paging and
// which axes are shown.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "app/textconv/TextConv.h"
#include "chart/Series.h"
#include "tests/chart/TestPanel.h"

namespace tempolog {
namespace {

using charttest::ScaleAxis;
using charttest::TestPanel;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A chart with one line series on the bottom and left axes.
using Chart = charttest::ChartOf<TestPanel>;

TEST(AxisDefaults, AsCreatedByThePanel) {
  TestPanel panel;
  ASSERT_EQ(panel.Axes().size(), 5u);
  const TCustomChartAxis* order[] = {&panel.BottomAxis(), &panel.TopAxis(), &panel.LeftAxis(),
                                     &panel.RightAxis(), &panel.DepthAxis()};
  const bool horizontal[] = {true, true, false, false, false};
  const bool otherSide[] = {false, true, false, true, true};
  for (int i = 0; i < 5; ++i) {
    const TCustomChartAxis& axis = *panel.Axes()[static_cast<std::size_t>(i)];
    EXPECT_EQ(&axis, order[i]) << i;
    EXPECT_EQ(axis.Horizontal(), horizontal[i]) << i;
    EXPECT_EQ(axis.OtherSide(), otherSide[i]) << i;
    EXPECT_EQ(axis.Visible(), i != 4) << i;
    EXPECT_TRUE(axis.Automatic());
    EXPECT_EQ(axis.LabelsSeparation(), 10);
    EXPECT_EQ(axis.LogarithmicBase(), 10);
    EXPECT_TRUE(axis.ExactDateTime());
    EXPECT_EQ(axis.StartPosition(), 0);
    EXPECT_EQ(axis.EndPosition(), 100);
    EXPECT_EQ(axis.Increment(), 0);
  }
}

TEST(AxisSetters, RefuseBadValuesWithTheirTextsAndKeepTheOldValue) {
  Chart chart;
  TCustomChartAxis& left = chart.panel.LeftAxis();
  TCustomChartAxis& bottom = chart.panel.BottomAxis();
  struct Row {
    const char* name;
    std::function<void()> set;
    const char* message;
  };
  const Row rows[] = {
      {"Minimum above Maximum", [&] { left.SetMinimum(5); },
       "Axis Minimum Value must be <= Maximum"},
      {"Minimum NaN", [&] { left.SetMinimum(kNaN); }, "Axis Minimum Value must be <= Maximum"},
      {"Maximum below Minimum", [&] { left.SetMaximum(-1); },
       "Axis Maximum Value must be >= Minimum"},
      {"negative Increment", [&] { left.SetIncrement(-0.5); }, "Axis increment must be >= 0"},
      {"NaN Increment", [&] { left.SetIncrement(kNaN); }, "Axis increment must be >= 0"},
      {"negative separation", [&] { left.SetLabelsSeparation(-1); },
       "Labels Separation % must be greater than 0"},
      {"base below 2", [&] { left.SetLogarithmicBase(1); }, "Axis Logarithmic Base should be >= 2"},
      {"labels angle 360", [&] { left.SetLabelsAngle(360); },
       "Axis Labels Angle must be between 0 and 359 degrees"},
      {"labels angle -1", [&] { left.SetLabelsAngle(-1); },
       "Axis Labels Angle must be between 0 and 359 degrees"},
      {"date-time axis logarithmic", [&] { bottom.SetLogarithmic(true); },
       "DateTime Axis cannot be Logarithmic"},
      {"negative data logarithmic", [&] { left.SetLogarithmic(true); },
       "Logarithmic Axis Min and Max values should be >= 0"},
  };
  chart.series.XValues().SetDateTime(true);
  chart.series.AddPoint(1, -3);
  for (const Row& row : rows) {
    const int before = chart.panel.invalidations;
    std::string message = "(accepted)";
    try {
      row.set();
    } catch (const ChartException& e) {
      message = e.Message();
    }
    EXPECT_EQ(message, row.message) << row.name;
    EXPECT_EQ(chart.panel.invalidations, before) << row.name;
  }
  EXPECT_EQ(left.Minimum(), -3) << "set by the range computed for the logarithmic check";
  EXPECT_EQ(left.Increment(), 0);
  EXPECT_EQ(left.LabelsSeparation(), 10);
  EXPECT_EQ(left.LogarithmicBase(), 10);
  EXPECT_EQ(left.LabelsAngle(), 0);
  EXPECT_FALSE(left.Logarithmic());
  EXPECT_FALSE(bottom.Logarithmic());
  left.SetLabelsSeparation(0);  // 0 is allowed
  EXPECT_EQ(left.LabelsSeparation(), 0);
}

TEST(AxisSetters, LoadingAcceptsMinimumAboveMaximum) {
  TestPanel panel;
  TCustomChartAxis& axis = panel.LeftAxis();
  panel.SetLoading(true);
  axis.SetMinimum(5);
  axis.SetAutomatic(false);
  panel.SetLoading(false);
  EXPECT_EQ(axis.Minimum(), 5);
  EXPECT_FALSE(axis.Automatic());
  EXPECT_TRUE(axis.AutomaticMinimum()) << "while loading Automatic leaves its partners";
}

TEST(AxisSetters, AutomaticFlagsFollowEachOther) {
  TestPanel panel;
  TCustomChartAxis& axis = panel.LeftAxis();
  axis.SetAutomaticMinimum(false);
  EXPECT_FALSE(axis.Automatic());
  EXPECT_TRUE(axis.AutomaticMaximum());
  axis.SetAutomaticMinimum(true);
  EXPECT_TRUE(axis.Automatic()) << "both ends automatic again";
  axis.SetAutomatic(false);
  EXPECT_FALSE(axis.AutomaticMinimum());
  EXPECT_FALSE(axis.AutomaticMaximum());
  const int before = panel.invalidations;
  axis.SetAutomatic(false);
  axis.SetInverted(false);
  EXPECT_EQ(panel.invalidations, before) << "same values repaint nothing";
}

TEST(Range, NoValuesAndSingleReadingMapToTheCentre) {
  Chart chart;
  chart.panel.SetPlotRect({10, 20, 210, 420});
  chart.Layout();
  TCustomChartAxis& bottom = chart.panel.BottomAxis();
  TCustomChartAxis& left = chart.panel.LeftAxis();
  EXPECT_EQ(bottom.CurrentMinimum(), 0);
  EXPECT_EQ(bottom.CurrentMaximum(), 0);
  EXPECT_EQ(bottom.ValueToPixel(123), 110);
  EXPECT_EQ(left.ValueToPixel(-7), 220);

  chart.series.AddPoint(45000.5, 21.5);
  chart.Layout();
  chart.panel.ApplySeriesMargins();
  EXPECT_EQ(bottom.CurrentRange(), 0);
  EXPECT_EQ(left.CurrentRange(), 0);
  EXPECT_EQ(bottom.ValueToPixel(45000.5), 110);  // the centres, as without values
  EXPECT_EQ(left.ValueToPixel(21.5), 220);
}

TEST(Range, AutomaticEndsComeFromActiveSeries) {
  Chart chart;
  TLineSeries second;
  chart.panel.AddSeries(second);
  for (double x : {3.0, 8.0}) chart.series.AddPoint(x, x);
  for (double x : {-2.0, 5.0}) second.AddPoint(x, x * 10);
  TCustomChartAxis& bottom = chart.panel.BottomAxis();
  bottom.SetAutomaticMaximum(false);
  bottom.SetMaximum(100);
  chart.Layout();
  EXPECT_EQ(bottom.Minimum(), -2);
  EXPECT_EQ(bottom.Maximum(), 100) << "only the automatic end follows the data";
  second.SetActive(false);
  chart.Layout();
  EXPECT_EQ(bottom.Minimum(), 3);
  chart.series.SetActive(false);  // no active series: every series counts
  chart.Layout();
  EXPECT_EQ(bottom.Minimum(), -2);
  EXPECT_EQ(chart.panel.LeftAxis().CurrentMaximum(), 50);
}

TEST(PixelSpan, PositionsArePercentagesOfThePlot) {
  TestPanel panel;
  panel.SetPlotRect({30, 40, 630, 540});
  TCustomChartAxis& left = panel.LeftAxis();
  left.SetStartPosition(2);
  left.SetEndPosition(98);
  left.UpdatePixelSpan();
  EXPECT_EQ(left.StartPixel(), 50);
  EXPECT_EQ(left.EndPixel(), 530);
  EXPECT_EQ(left.PixelSize(), 480);
  EXPECT_EQ(left.CenterPixel(), 290);
  TCustomChartAxis& bottom = panel.BottomAxis();
  bottom.SetStartPosition(12.5);  // 75 pixels
  bottom.SetEndPosition(100.25);  // 601.5: ties go to the even pixel
  bottom.UpdatePixelSpan();
  EXPECT_EQ(bottom.StartPixel(), 105);
  EXPECT_EQ(bottom.EndPixel(), 632);
  EXPECT_EQ(bottom.CenterPixel(), 368);
}

TEST(Mapping, LinearEndsInvertedAndFarValues) {
  TestPanel panel;
  panel.SetPlotRect({0, 0, 200, 100});
  struct Row {
    bool horizontal;
    bool inverted;
    double value;
    std::int32_t pixel;
  };
  const Row rows[] = {
      {true, false, 10, 0},      {true, false, 20, 200},   {true, false, 12.5, 50},
      {true, true, 10, 200},     {true, true, 20, 0},      {true, true, 12.5, 150},
      {false, false, 10, 100},   {false, false, 20, 0},    {false, false, 12.5, 75},
      {false, true, 10, 0},      {false, true, 20, 100},   {false, true, 12.5, 25},
      {true, false, 1e300, 100}, {true, false, kNaN, 100}, {false, false, -kInf, 50},
  };
  for (const Row& row : rows) {
    TCustomChartAxis& axis = row.horizontal ? panel.BottomAxis() : panel.LeftAxis();
    axis.SetInverted(row.inverted);
    ScaleAxis(axis, 10, 20);
    EXPECT_EQ(axis.ValueToPixel(row.value), row.pixel)
        << (row.horizontal ? "horizontal" : "vertical") << (row.inverted ? " inverted " : " ")
        << row.value;
    if (std::isfinite(row.value) && std::fabs(row.value) < 1e6) {
      EXPECT_NEAR(axis.PixelToValue(row.pixel), row.value, 0.05) << row.value;
    }
  }
}

TEST(Mapping, HalfPixelsGoToTheEvenPixel) {
  TestPanel panel;
  panel.SetPlotRect({0, 0, 128, 128});
  TCustomChartAxis& bottom = panel.BottomAxis();
  bottom.SetRange(0, 256);  // half a pixel per unit
  bottom.ComputeRange();
  bottom.UpdatePixelSpan();
  const std::pair<double, std::int32_t> rows[] = {{1, 0}, {3, 2},  {5, 2},
                                                  {7, 4}, {-1, 0}, {-3, -2}};
  for (const auto& [value, pixel] : rows) EXPECT_EQ(bottom.ValueToPixel(value), pixel) << value;
}

TEST(Mapping, LogarithmicEnds) {
  TestPanel panel;
  panel.SetPlotRect({0, 0, 100, 100});
  struct Row {
    bool horizontal;
    bool inverted;
    double value;
    std::int32_t pixel;
  };
  const Row rows[] = {
      {true, false, 1, 0},     {true, false, 100, 100}, {true, false, 10, 50},
      {true, false, 0, 0},     {true, false, -5, 0},    {true, true, 1, 100},
      {true, true, 100, 0},    {true, true, -5, 100},   {false, false, 1, 100},
      {false, false, 100, 0},  {false, false, 0, 100},  {false, true, 0, 0},
      {false, true, 100, 100},
  };
  for (const Row& row : rows) {
    TCustomChartAxis& axis = row.horizontal ? panel.BottomAxis() : panel.LeftAxis();
    axis.SetInverted(row.inverted);
    axis.SetRange(1, 100);
    axis.SetLogarithmic(true);
    axis.ComputeRange();
    axis.UpdatePixelSpan();
    EXPECT_EQ(axis.ValueToPixel(row.value), row.pixel)
        << (row.horizontal ? "horizontal" : "vertical") << (row.inverted ? " inverted " : " ")
        << row.value;
    if (row.value > 0) {
      EXPECT_NEAR(axis.PixelToValue(row.pixel), row.value, 1e-9) << row.value;
    }
  }
  TCustomChartAxis& bottom = panel.BottomAxis();
  bottom.SetInverted(false);
  EXPECT_NEAR(bottom.PixelToValue(25), std::sqrt(10.0), 1e-12);
  bottom.SetRange(5, 5 + 1e-10);
  bottom.ComputeRange();
  EXPECT_EQ(bottom.PixelToValue(0), 5) << "the start pixel reads the minimum";
}

TEST(Margins, VerticalAxisKeepsTheDataInsideAndSwapsTheEnds) {
  TestPanel panel;
  panel.SetPlotRect({0, 0, 400, 500});
  TCustomChartAxis& left = panel.LeftAxis();
  ScaleAxis(left, 10, 20);
  left.WidenRangeForMargins(2, 3);
  EXPECT_LT(left.CurrentMinimum(), 10);
  EXPECT_GT(left.CurrentMaximum(), 20);
  EXPECT_DOUBLE_EQ(left.CurrentMaximum(), 20 + 2 * 10.0 / 495);
  EXPECT_DOUBLE_EQ(left.CurrentMinimum(), 20 - 498 * 10.0 / 495);
  EXPECT_EQ(left.CurrentRange(), left.CurrentMaximum() - left.CurrentMinimum());
  EXPECT_EQ(left.StartPixel(), 0) << "the full span is back";
  EXPECT_EQ(left.EndPixel(), 500);
  EXPECT_EQ(left.ValueToPixel(20), 2);
  EXPECT_EQ(left.ValueToPixel(10), 497);
  EXPECT_EQ(left.Minimum(), 10) << "the stored range stays unwidened";
}

TEST(Margins, SpanBelowOnePixelGivesAnEmptyRange) {
  TestPanel panel;
  panel.SetPlotRect({0, 0, 4, 4});
  TCustomChartAxis& bottom = panel.BottomAxis();
  ScaleAxis(bottom, 1, 2);
  bottom.WidenRangeForMargins(2, 2);
  EXPECT_EQ(bottom.CurrentMinimum(), 0);
  EXPECT_EQ(bottom.CurrentMaximum(), 0);
}

TEST(Margins, GatheredOnlyAtAutomaticEnds) {
  class WideSeries : public TLineSeries {
   public:
    void HorizontalMargins(int& l, int& r) const override { l = 2, r = 4; }
    void VerticalMargins(int& t, int& b) const override { t = 2, b = 3; }
  };
  TestPanel panel;
  WideSeries series;
  panel.AddSeries(series);
  int a = -1;
  int b = -1;
  panel.SeriesMarginsForAxis(panel.LeftAxis(), a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 3);
  panel.BottomAxis().SetAutomaticMinimum(false);
  panel.SeriesMarginsForAxis(panel.BottomAxis(), a, b);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 4);
  panel.SeriesMarginsForAxis(panel.RightAxis(), a, b);
  EXPECT_EQ(a + b, 0) << "no series on the right axis";
}

// Label steps ---------------------------------------------------------------

TEST(LabelSteps, NextNiceStep) {
  const std::pair<double, double> rows[] = {
      {1, 2},    {2, 5},      {5, 10},      {10, 20}, {20, 50}, {0.3, 0.5},  {3, 5},
      {7.5, 10}, {0.05, 0.1}, {1999, 2000}, {0, 0},   {-1, -1}, {kInf, kInf}};
  for (const auto& [s, next] : rows) EXPECT_DOUBLE_EQ(NextNiceStep(s), next) << s;
}

TEST(LabelSteps, DateTimeTable) {
  EXPECT_EQ(DateTimeStepTable[5], 0.0006944444444444445);
  EXPECT_EQ(DateTimeStepTable[23], 182);
  const std::pair<double, double> up[] = {{0.000694444444444444, OneMinute},
                                          {OneMinute, 5.0 / 1440},
                                          {0.5, 1},
                                          {0.75, 1},
                                          {182, 365},
                                          {300, 365},
                                          {OneSecond / 2, 365}};
  for (const auto& [s, next] : up) EXPECT_EQ(NextDateTimeStepUp(s), next) << s;
  const std::pair<double, int> nearest[] = {
      {0.000694444444444444, 5}, {OneMinute + 0.5 / 86400, 5}, {365, 24}, {0.4, 25}, {0, 25}};
  for (const auto& [x, index] : nearest) EXPECT_EQ(NearestDateTimeStep(x), index) << x;
}

TEST(LabelSteps, NumericStepGrowsUntilTheLabelsFit) {
  struct Row {
    double lo, hi, increment;
    double step;
  };
  const Row rows[] = {
      {10, 20, 1, 1},       // 10 labels fit in 25
      {0, 100, 1, 5},       // 100, 50, then 20
      {0, 100, 0, 5},       // no floor: starts at 1
      {0, 0.5, 0, 0.02},    // below 1: starts at 1e-12
      {0, 1000, 300, 300},  // the floor is kept when the labels fit
      {0, 1000, 30, 50},    // and grows when they do not
  };
  for (const Row& row : rows) {
    TestPanel panel;
    panel.SetPlotRect({0, 0, 100, 500});
    TCustomChartAxis& left = panel.LeftAxis();
    left.SetIncrement(row.increment);
    ScaleAxis(left, row.lo, row.hi);
    // Labels 18 pixels high with 10 % separation: round(500 / 20) = 25 labels.
    EXPECT_DOUBLE_EQ(left.ComputeLabelStep(), row.step) << row.lo << ".." << row.hi;
  }
}

TEST(LabelSteps, LabelSizeAlongTheAxisByAngle) {
  // Only labels turned straight across the axis measure font height x lines
  // (18 each); every other angle measures the widest line (6 per byte).
  struct Row {
    bool bottom;
    std::int32_t angle;
    double value;  // on a date-time axis: a negative value has an empty label
    bool multiLine;
    int size;
  };
  const double date = 46000.5;  // "dd.MM.yy hhnn": 13 bytes, 2 lines when split
  const Row rows[] = {
      {true, 0, date, false, 78},   {true, 180, date, false, 78}, {true, 45, date, false, 78},
      {true, 90, date, false, 18},  {true, 270, date, false, 18}, {true, 90, date, true, 36},
      {true, 300, date, true, 48},  {false, 0, date, false, 18},  {false, 180, date, true, 36},
      {false, 90, date, false, 78}, {false, 30, date, false, 78}, {true, 90, -1, false, 18},
      {true, 0, -1, false, 0},      {false, 0, -1, false, 18},    {false, 270, -1, false, 0},
  };
  for (const Row& row : rows) {
    TestPanel panel;
    TCustomChartAxis& axis =
        row.bottom ? static_cast<TCustomChartAxis&>(panel.BottomAxis()) : panel.LeftAxis();
    axis.SetDateTimeAxis(true);
    axis.SetDateTimeFormat("dd.MM.yy hhnn");
    axis.SetLabelsMultiLine(row.multiLine);
    axis.SetLabelsAngle(row.angle);
    EXPECT_EQ(axis.LabelSizeAlongAxis(row.value), row.size)
        << (row.bottom ? "bottom " : "left ") << row.angle << " value " << row.value
        << (row.multiLine ? " multi-line" : "");
  }
}

TEST(LabelSteps, DateTimeStepWalksTheTable) {
  TestPanel panel;
  panel.SetPlotRect({0, 0, 600, 400});
  TCustomChartAxis& bottom = panel.BottomAxis();
  bottom.SetDateTimeAxis(true);
  bottom.SetLabelsAngle(90);
  bottom.SetIncrement(OneMinute);
  const double start = 46000.25;
  ScaleAxis(bottom, start, start + 3.0 / 24);
  // 18-pixel rotated labels with 10 % separation: 30 labels fit.
  EXPECT_EQ(bottom.ComputeLabelStep(), 10.0 / 1440);

  struct Row {
    double increment;
    std::int32_t count;
    double step;
  };
  const double stored = 0.000694444444444444;
  const Row rows[] = {
      {stored, 200, stored},      // fits: the stored increment itself
      {stored, 150, 5.0 / 1440},  // 180 minutes: one minute, then five
      {stored, 36, 5.0 / 1440},
      {stored, 35, 10.0 / 1440},
      {0, 5000, DateTimeStepTable[1]},  // 10800 seconds: 5 s give 2160
      {0, 0, OneSecond},
      {400, 10, 400},
  };
  for (const Row& row : rows) {
    bottom.SetIncrement(row.increment);
    EXPECT_EQ(bottom.LabelStepForCount(row.count), row.step)
        << row.increment << " with " << row.count << " labels";
  }
  bottom.SetRange(0, 3650);  // ten years of yearly labels, doubled
  bottom.ComputeRange();
  bottom.SetIncrement(0);
  EXPECT_EQ(bottom.LabelStepForCount(4), 1460);
}

TEST(LabelSteps, DegenerateRangesEndTheSearch) {
  TestPanel panel;
  for (bool dateTime : {false, true}) {
    TCustomChartAxis& axis = panel.BottomAxis();
    axis.SetDateTimeAxis(dateTime);
    for (double hi : {kInf, kNaN}) {
      axis.SetRange(0, 1);
      panel.SetLoading(true);
      axis.SetMaximum(hi);
      axis.ComputeRange();
      (void)axis.LabelStepForCount(10);  // must return
      panel.SetLoading(false);
    }
  }
  EXPECT_EQ(panel.LeftAxis().LabelStepForCount(0), 1e-12);
}

// User range and scrolling ---------------------------------------------------

TEST(UserRange, SwapsAndKeepsAMinimumWidth) {
  TestPanel panel;
  TCustomChartAxis& axis = panel.BottomAxis();
  axis.SetRange(5, 3);
  EXPECT_EQ(axis.Minimum(), 3);
  EXPECT_EQ(axis.Maximum(), 5);
  EXPECT_FALSE(axis.Automatic());
  EXPECT_FALSE(axis.AutomaticMinimum());
  EXPECT_FALSE(axis.AutomaticMaximum());
  axis.SetRange(2, 2);
  EXPECT_EQ(axis.Minimum(), 2);
  EXPECT_EQ(axis.Maximum(), 2 + 1e-10);
  axis.SetRange(45000.123, 45000.123);
  EXPECT_GE(axis.Maximum() - axis.Minimum(), 1e-10);
  const int before = panel.invalidations;
  axis.SetRange(45000.123, 45000.123);
  EXPECT_EQ(panel.invalidations, before) << "the same range again repaints nothing";
}

TEST(UserRange, ScrollWithLimitsOnlyTowardsData) {
  Chart chart;
  for (double x : {0.0, 10.0}) chart.series.AddPoint(x, 1);
  TCustomChartAxis& bottom = chart.panel.BottomAxis();
  struct Row {
    double lo, hi, delta;
    bool moves;
  };
  const Row rows[] = {{0, 10, 2, false}, {0, 10, -2, false}, {2, 8, 2, true},    {2, 8, -2, true},
                      {2, 8, 0, false},  {5, 12, 3, false},  {-5, 4, -1, false}, {-5, 4, 1, true}};
  for (const Row& row : rows) {
    bottom.SetRange(row.lo, row.hi);
    bottom.ScrollRange(true, row.delta);
    const double shift = row.moves ? row.delta : 0;
    EXPECT_EQ(bottom.Minimum(), row.lo + shift) << row.lo << ".." << row.hi << " by " << row.delta;
    EXPECT_EQ(bottom.Maximum(), row.hi + shift) << row.lo << ".." << row.hi << " by " << row.delta;
  }
  bottom.SetRange(0, 10);
  bottom.ScrollRange(false, 100);
  EXPECT_EQ(bottom.Minimum(), 100);
  EXPECT_EQ(bottom.Maximum(), 110);
}

// Paging, shown axes, date-time detection ------------------------------------

TEST(Paging, PageEndsAndAShortLastPage) {
  struct Row {
    std::int32_t page;
    bool scaleLastPage;
    double smallest, largest;
  };
  const Row rows[] = {
      {1, true, 0, 90},    {2, true, 100, 190},
      {3, true, 200, 240}, {3, false, 200, 200 + 40.0 * 10 / 5},
      {9, true, 100, 190},
  };
  for (const Row& row : rows) {
    Chart chart;
    for (int i = 0; i < 25; ++i) chart.series.AddPoint(i * 10, i);
    chart.panel.SetMaxPointsPerPage(10);
    chart.panel.SetPage(row.page);
    chart.panel.SetScaleLastPage(row.scaleLastPage);
    const TCustomChartAxis& bottom = chart.panel.BottomAxis();
    EXPECT_EQ(chart.panel.AxisExtremeValue(bottom, false, true), row.smallest) << row.page;
    EXPECT_EQ(chart.panel.AxisExtremeValue(bottom, true, true), row.largest) << row.page;
    EXPECT_EQ(chart.panel.AxisExtremeValue(chart.panel.LeftAxis(), true, false), 24)
        << "the value axis is not paged";
  }
}

TEST(ShownAxes, FollowTheActiveSeries) {
  Chart chart;
  TestPanel& panel = chart.panel;
  EXPECT_TRUE(panel.AxisIsShown(panel.LeftAxis()));
  EXPECT_FALSE(panel.AxisIsShown(panel.RightAxis()));
  EXPECT_FALSE(panel.AxisIsShown(panel.DepthAxis()));
  chart.series.SetActive(false);
  EXPECT_TRUE(panel.AxisIsShown(panel.RightAxis())) << "no active series: all visible axes";
  EXPECT_TRUE(panel.AxisHasNoActiveSeries(panel.LeftAxis()));
  panel.TopAxis().SetVisible(false);
  EXPECT_FALSE(panel.AxisIsShown(panel.TopAxis()));
  panel.SetAxisVisible(false);
  EXPECT_FALSE(panel.AxisIsShown(panel.LeftAxis()));
}

TEST(DateTimeValues, TakenFromTheFirstActiveSeriesOnTheAxis) {
  Chart chart;
  TLineSeries second;
  chart.panel.AddSeries(second);
  second.XValues().SetDateTime(true);
  EXPECT_FALSE(chart.panel.BottomAxis().IsDateTimeValues());
  chart.series.SetActive(false);
  EXPECT_TRUE(chart.panel.BottomAxis().IsDateTimeValues());
  EXPECT_FALSE(chart.panel.LeftAxis().IsDateTimeValues());
  EXPECT_FALSE(chart.panel.RightAxis().IsDateTimeValues());
  EXPECT_EQ(DateTimeFormatForStep(2), ProcessFormatSettings().shortDateFormat);
  EXPECT_EQ(DateTimeFormatForStep(1), ProcessFormatSettings().shortTimeFormat);
}

}  // namespace
}  // namespace tempolog
