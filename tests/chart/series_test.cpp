// Series: adding points with their Y, colour and label, vetoes, deleting and
// clearing with their notifications, point colours and labels, the visible
// index range (against a plain walk over random data), and chart membership.
#include "chart/Series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/chart/TestPanel.h"

namespace tempolog {
namespace {

using charttest::ScaleAxis;
using charttest::TestPanel;

// A line series that records what it tells its dependents.
class RecordingSeries : public TLineSeries {
 public:
  std::vector<std::pair<TValueChangeKind, std::int32_t>> told;

 protected:
  void NotifyDependents(TValueChangeKind kind, std::int32_t index) override {
    told.emplace_back(kind, index);
  }
};

TEST(AddPoint, OutOfOrderPointTakesItsYColourAndLabelAlong) {
  TestPanel panel;
  RecordingSeries series;
  panel.AddSeries(series);
  std::vector<std::int32_t> afterAdd;
  series.OnAfterAdd = [&](TChartSeries&, std::int32_t index) { afterAdd.push_back(index); };
  EXPECT_EQ(series.AddPoint(1, 10, "one", clRed), 0);
  EXPECT_EQ(series.AddPoint(3, 30), 1);
  const int before = panel.invalidations;
  EXPECT_EQ(series.AddPoint(2, 20, "two", clLime), 1);
  EXPECT_EQ(panel.invalidations, before + 1);

  const double xs[] = {1, 2, 3};
  const double ys[] = {10, 20, 30};
  const char* labels[] = {"one", "two", ""};
  const TColor colors[] = {clRed, clLime, clDefault};
  for (std::int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(series.XValue(i), xs[i]) << i;
    EXPECT_EQ(series.YValue(i), ys[i]) << i;
    EXPECT_EQ(series.PointLabel(i), labels[i]) << i;
    EXPECT_EQ(series.StoredColor(i), colors[i]) << i;
  }
  EXPECT_EQ(afterAdd, (std::vector<std::int32_t>{0, 1, 1}));
  ASSERT_EQ(series.told.size(), 3u);
  EXPECT_EQ(series.told[2], std::make_pair(vcInsert, 1));
}

TEST(AddPoint, EqualXGoesAfterItsEquals) {
  TLineSeries series;
  for (double x : {1.0, 2.0, 2.0, 3.0}) series.AddPoint(x, series.PointCount());
  EXPECT_EQ(series.AddPoint(2, 99), 3);
  EXPECT_EQ(series.YValue(3), 99);
  EXPECT_EQ(series.AddPoint(3, 98), 5) << "equal to the last: appended";
}

TEST(AddPoint, VetoLeavesEverythingAlone) {
  TestPanel panel;
  RecordingSeries series;
  panel.AddSeries(series);
  series.AddPoint(1, 1);
  series.OnBeforeAdd = [](TChartSeries& s) { return s.XValues().PendingValue() < 5; };
  const int before = panel.invalidations;
  EXPECT_EQ(series.AddPoint(7, 70, "no", clRed), -1);
  EXPECT_EQ(series.PointCount(), 1);
  EXPECT_EQ(series.YValues().ValueCount(), 1);
  EXPECT_EQ(series.PointLabel(1), "");
  EXPECT_EQ(panel.invalidations, before);
  EXPECT_EQ(series.told.size(), 1u);
  EXPECT_EQ(series.AddPoint(4, 40), 1) << "an accepted point still goes in";
}

TEST(AddPoint, AutomaticXAndNullPoints) {
  TLineSeries series;
  EXPECT_EQ(series.Add(5.5, "a"), 0);
  EXPECT_EQ(series.AddNullPoint("gap"), 1);
  EXPECT_EQ(series.AddNullXY(7, 3), 2);
  EXPECT_EQ(series.XValue(1), 1);
  EXPECT_EQ(series.YValue(1), 0);
  EXPECT_FALSE(series.IsNullPoint(0));
  EXPECT_TRUE(series.IsNullPoint(1));
  EXPECT_TRUE(series.IsNullPoint(2));
  EXPECT_EQ(series.PointColor(1), clNone);
}

TEST(AddPoint, FurtherValueListsStayInStep) {
  class ThreeDSeries : public TLineSeries {
   public:
    TChartValueList& z;
    ThreeDSeries() : z((AddPoint(1, 1), AddValueList("Z"))) {}
  };
  ThreeDSeries series;
  ASSERT_EQ(series.ValuesLists().size(), 3u);
  EXPECT_EQ(series.z.ValueCount(), 1);
  series.z.SetPendingValue(7);
  EXPECT_EQ(series.AddPoint(0, 5), 0);
  EXPECT_EQ(series.z.ValueAt(0), 7);
  series.DeletePoint(1);
  EXPECT_EQ(series.z.ValueCount(), 1);
}

TEST(PointColor, FollowsStoredSeriesAndPaletteColours) {
  TLineSeries series;
  series.SetSeriesColor(6553820);
  for (int i = 0; i < 18; ++i) series.AddPoint(i, i);
  series.SetPointColor(2, clMaroon);
  struct Row {
    std::int32_t index;
    bool eachPoint;
    TColor expected;
  };
  const Row rows[] = {{0, false, 6553820},  {2, false, clMaroon}, {18, false, 6553820},
                      {-1, false, 6553820}, {0, true, 0x0000FF},  {1, true, 0x008000},
                      {2, true, clMaroon},  {16, true, 0x0000FF}, {17, true, 0x008000},
                      {18, true, 6553820}};
  for (const Row& row : rows) {
    series.SetColorEachPoint(row.eachPoint);
    EXPECT_EQ(series.PointColor(row.index), row.expected)
        << "index " << row.index << " each point " << row.eachPoint;
  }
}

TEST(PointLabel, EmptyAndPastTheEnd) {
  TLineSeries series;
  series.AddPoint(1, 1, "");
  EXPECT_EQ(series.PointLabel(0), "");
  EXPECT_FALSE(series.HasLabels());
  series.AddPoint(2, 2, std::string_view("a\0b", 3));
  EXPECT_EQ(series.PointLabel(1), std::string("a\0b", 3));
  EXPECT_EQ(series.PointLabel(2), "");
  EXPECT_TRUE(series.HasLabels());
  series.DeletePoint(1);
  EXPECT_FALSE(series.HasLabels());
}

TEST(DeletePoint, RemovesOnePointWhole) {
  TestPanel panel;
  RecordingSeries series;
  panel.AddSeries(series);
  for (int i = 0; i < 4; ++i) series.AddPoint(i, i * 10, "L" + std::to_string(i), clRed + i);
  const int before = panel.invalidations;
  series.DeletePoint(1);
  EXPECT_EQ(panel.invalidations, before + 1);
  EXPECT_EQ(series.PointCount(), 3);
  EXPECT_EQ(series.YValue(1), 20);
  EXPECT_EQ(series.PointLabel(1), "L2");
  EXPECT_EQ(series.StoredColor(1), clRed + 2);
  EXPECT_EQ(series.told.back(), std::make_pair(vcDelete, 1));
}

TEST(RemoveAllPoints, ClearsNotifiesOnceAndStartsAgainAtZero) {
  TestPanel panel;
  RecordingSeries series;
  panel.AddSeries(series);
  int cleared = 0;
  series.OnClearValues = [&](TChartSeries&) { ++cleared; };
  for (int i = 0; i < 10; ++i) series.AddPoint(i, i, "x", clBlue);
  const int before = panel.invalidations;
  series.RemoveAllPoints();
  EXPECT_EQ(series.PointCount(), 0);
  EXPECT_EQ(series.YValues().ValueCount(), 0);
  EXPECT_EQ(panel.invalidations, before + 1);
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(series.told.back(), std::make_pair(vcClear, -1));
  EXPECT_EQ(series.PointLabel(0), "");
  EXPECT_EQ(series.AddPoint(50, 5), 0);
  EXPECT_EQ(series.StoredColor(0), clDefault);
  EXPECT_EQ(series.YValues().Largest(), 5);
}

TEST(Repaints, OnlyForActiveSeriesAndTheChangesThatShow) {
  TestPanel panel;
  TLineSeries series;
  panel.AddSeries(series);
  series.AddPoint(1, 1);
  struct Row {
    const char* name;
    std::function<void()> change;
    int repaints;
  };
  const Row rows[] = {
      {"value set in place", [&] { series.YValues().SetValue(0, 5); }, 0},
      {"DateTime", [&] { series.XValues().SetDateTime(true); }, 1},
      {"DateTime again", [&] { series.XValues().SetDateTime(true); }, 0},
      {"point colour", [&] { series.SetPointColor(0, clRed); }, 1},
      {"deactivate", [&] { series.SetActive(false); }, 1},
      {"add while inactive", [&] { series.AddPoint(2, 2); }, 0},
      {"delete while inactive", [&] { series.DeletePoint(1); }, 0},
      {"clear while inactive", [&] { series.RemoveAllPoints(); }, 0},
      {"activate", [&] { series.SetActive(true); }, 1},
      {"add", [&] { series.AddPoint(3, 3); }, 1},
  };
  for (const Row& row : rows) {
    const int before = panel.invalidations;
    row.change();
    EXPECT_EQ(panel.invalidations - before, row.repaints) << row.name;
  }
}

TEST(ChartMembership, EitherSideMayGoFirst) {
  auto panel = std::make_unique<TestPanel>();
  auto series = std::make_unique<TLineSeries>();
  TLineSeries other;
  panel->AddSeries(*series);
  panel->AddSeries(other);
  ASSERT_EQ(panel->SeriesList().size(), 2u);
  series.reset();
  ASSERT_EQ(panel->SeriesList().size(), 1u);
  EXPECT_EQ(panel->SeriesList()[0], &other);
  panel.reset();
  EXPECT_EQ(other.ParentChart(), nullptr);
  other.AddPoint(1, 1);  // no chart: nothing to repaint, no crash
  other.RemoveAllPoints();
  other.ComputeVisibleRange();
  EXPECT_EQ(other.FirstShownIndex(), -1);
}

// Visible range ------------------------------------------------------------

// A bottom axis whose plot runs over pixels 0..100 for the values lo..hi.
void SetBottomRange(TestPanel& panel, double lo, double hi, bool inverted = false) {
  panel.SetPlotRect({0, 0, 100, 100});
  TCustomChartAxis& axis = panel.BottomAxis();
  axis.SetInverted(inverted);
  ScaleAxis(axis, lo, hi);
}

TEST(VisibleRange, BothEnds) {
  struct Row {
    const char* name;
    bool line;
    double lo, hi;
    std::int32_t first, last;
  };
  const Row rows[] = {
      {"all left of the range", true, 20, 30, -1, -1},
      {"all right, line keeps the first beyond", true, -10, -5, 0, 0},
      {"all right, base series", false, -10, -5, 0, -1},
      {"inside", true, 3.5, 6.5, 4, 7},
      {"inside, base series", false, 3.5, 6.5, 4, 6},
      {"on the points", true, 3, 6, 3, 6},
      {"covering all", true, -100, 100, 0, 9},
  };
  for (const Row& row : rows) {
    TestPanel panel;
    TLineSeries line;
    TChartSeries base;
    TChartSeries& series = row.line ? static_cast<TChartSeries&>(line) : base;
    panel.AddSeries(series);
    for (int i = 0; i < 10; ++i) series.AddPoint(i, i);
    SetBottomRange(panel, row.lo, row.hi);
    series.ComputeVisibleRange();
    EXPECT_EQ(series.FirstShownIndex(), row.first) << row.name;
    EXPECT_EQ(series.LastShownIndex(), row.last) << row.name;
  }
}

// The visible range as the plain walk from the start of the X values.
std::pair<std::int32_t, std::int32_t> WalkVisibleRange(const TChartSeries& s,
                                                       const TCustomChartAxis& axis,
                                                       const TRect& plot) {
  const std::int32_t n = s.PointCount();
  if (n == 0) return {-1, -1};
  if (s.XValues().Order() == loNone) return {0, n - 1};
  const double low = axis.PixelToValue(axis.Inverted() ? plot.Right : plot.Left);
  std::int32_t first = 0;
  while (low > s.XValue(first)) {
    if (++first > n - 1) return {-1, -1};
  }
  const double high = axis.PixelToValue(axis.Inverted() ? plot.Left : plot.Right);
  if (!(s.XValue(n - 1) > high)) return {first, n - 1};
  std::int32_t last = first;
  while (high > s.XValue(last)) {
    if (++last > n - 1) return {first, n - 1};
  }
  if (!s.DrawBetweenPoints() && s.XValue(last) > high) --last;
  return {first, last};
}

TEST(VisibleRange, EqualsTheWalkOnRandomData) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> value(-50, 150);
  std::uniform_int_distribution<int> coarse(-5, 15);  // many equal X values
  const double nan = std::numeric_limits<double>::quiet_NaN();
  int checked = 0;
  for (int trial = 0; trial < 400; ++trial) {
    TestPanel panel;
    TLineSeries series;
    panel.AddSeries(series);
    const int kind = trial % 5;
    // 0: in order; 1: order set after unordered values; 2: NaN inside;
    // 3: negative multiplier; 4: values put in place afterwards.
    if (kind == 1) series.XValues().SetOrder(loNone);
    const int n = 1 + trial % 60;
    for (int i = 0; i < n; ++i) {
      const double x = trial % 2 ? value(random) : coarse(random) * 10.0;
      series.AddPoint(kind == 2 && i % 7 == 3 ? nan : x, i);
    }
    if (kind == 1) series.XValues().SetOrder(loAscending);
    if (kind == 3) series.XValues().SetMultiplier(-1);
    if (kind == 4 && n > 2) series.XValues().SetValue(n / 2, value(random));
    for (int view = 0; view < 8; ++view) {
      double lo = value(random);
      double hi = value(random);
      if (view == 0) hi = lo;
      SetBottomRange(panel, lo, hi, view % 3 == 0);
      series.ComputeVisibleRange();
      const auto expected = WalkVisibleRange(series, panel.BottomAxis(), panel.PlotRect());
      ASSERT_EQ(std::make_pair(series.FirstShownIndex(), series.LastShownIndex()), expected)
          << "trial " << trial << " view " << view;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 3200);
}

TEST(VisibleRange, WholeListWhenPointsCannotBeSkipped) {
  TestPanel panel;
  TLineSeries series;
  panel.AddSeries(series);
  for (int i = 0; i < 5; ++i) series.AddPoint(i, i);
  SetBottomRange(panel, 10, 20);
  series.SetPointsCanBeSkipped(false);
  series.ComputeVisibleRange();
  EXPECT_EQ(series.FirstShownIndex(), 0);
  EXPECT_EQ(series.LastShownIndex(), 4);
}

}  // namespace
}  // namespace tempolog
