// Value lists: storage growth and limits, the order rule, Multiplier, the
// statistics (lazy and kept across appends), sorting and index errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "chart/Series.h"
#include "tests/chart/TestPanel.h"

namespace tempolog {
namespace {

using charttest::TestPanel;

std::vector<double> Values(const TChartValueList& list) {
  std::vector<double> out;
  for (std::int32_t i = 0; i < list.ValueCount(); ++i) out.push_back(list.ValueAt(i));
  return out;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

TEST(ListGrowth, FollowsTheListRuleAndStopsAtTheLimit) {
  struct Row {
    std::int32_t capacity;
    std::int32_t grown;
  };
  const Row rows[] = {{0, 4},
                      {4, 8},
                      {8, 12},
                      {12, 28},
                      {60, 76},
                      {64, 80},
                      {65, 81},
                      {76, 95},
                      {1000, 1250},
                      {120000000, MaxListSize},
                      {MaxListSize - 1, MaxListSize}};
  for (const Row& row : rows) {
    EXPECT_EQ(GrowListCapacity(row.capacity), row.grown) << "capacity " << row.capacity;
  }
  EXPECT_EQ(MessageOf([] { GrowListCapacity(MaxListSize); }),
            "List capacity out of bounds (134217728)");
}

TEST(ListGrowth, CapacityIsObservableAndClearedToZero) {
  TLineSeries series;
  TChartValueList& x = series.XValues();
  const std::int32_t expected[] = {4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 28};
  for (std::int32_t i = 0; i < 13; ++i) {
    series.AddPoint(i, i);
    EXPECT_EQ(x.Capacity(), expected[i]) << "after " << i + 1 << " points";
  }
  series.RemoveAllPoints();
  EXPECT_EQ(x.Capacity(), 0);
  EXPECT_EQ(series.YValues().Capacity(), 0);
}

TEST(ListGrowth, RefusedCapacityLeavesTheArrayAlone) {
  TPointArray<double> array;
  array.Append(1.5);
  EXPECT_EQ(MessageOf([&] { array.SetCapacity(std::int64_t{MaxListSize} + 1); }),
            "List capacity out of bounds (134217728)");
  EXPECT_EQ(MessageOf([&] { array.SetCapacity(0); }), "List capacity out of bounds (0)");
  ASSERT_EQ(array.Count(), 1);
  EXPECT_EQ(array[0], 1.5);
}

TEST(OrderRule, InsertsAfterEqualValuesAndReturnsTheIndex) {
  struct Row {
    const char* name;
    TChartListOrder order;
    std::vector<double> input;
    std::vector<double> stored;
    std::vector<std::int32_t> indexes;
  };
  const Row rows[] = {
      {"ascending out of order", loAscending, {1, 3, 2}, {1, 2, 3}, {0, 1, 1}},
      {"ascending equal to last", loAscending, {1, 2, 2}, {1, 2, 2}, {0, 1, 2}},
      {"ascending equal to earlier", loAscending, {1, 2, 3, 2}, {1, 2, 2, 3}, {0, 1, 2, 2}},
      {"ascending below all", loAscending, {5, 7, 3}, {3, 5, 7}, {0, 1, 0}},
      {"none keeps arrival", loNone, {3, 1, 2}, {3, 1, 2}, {0, 1, 2}},
      {"descending", loDescending, {3, 1, 2}, {3, 2, 1}, {0, 1, 1}},
      {"descending equal to earlier", loDescending, {3, 1, 3}, {3, 3, 1}, {0, 1, 1}},
      {"descending above all", loDescending, {3, 1, 9}, {9, 3, 1}, {0, 1, 0}},
  };
  for (const Row& row : rows) {
    TLineSeries series;
    TChartValueList& y = series.YValues();
    y.SetOrder(row.order);
    std::vector<std::int32_t> indexes;
    for (double v : row.input) indexes.push_back(y.InsertOrdered(v));
    EXPECT_EQ(Values(y), row.stored) << row.name;
    EXPECT_EQ(indexes, row.indexes) << row.name;
  }
}

TEST(Multiplier, ScalesReadsAndStatisticsButNotTheOrder) {
  TestPanel panel;
  TLineSeries series;
  panel.AddSeries(series);
  TChartValueList& x = series.XValues();
  x.InsertOrdered(5);
  const int before = panel.invalidations;
  x.SetMultiplier(2);
  EXPECT_EQ(panel.invalidations, before + 1);
  EXPECT_EQ(x.ValueAt(0), 10);
  EXPECT_EQ(x.Largest(), 10);
  EXPECT_EQ(x.Sum(), 10);
  x.SetMultiplier(2);
  EXPECT_EQ(panel.invalidations, before + 1) << "same value, no repaint";

  // The order rule compares stored values: with a negative multiplier the
  // stored 6 still goes after the stored 5.
  x.SetMultiplier(-1);
  EXPECT_EQ(x.InsertOrdered(6), 1);
  EXPECT_EQ(Values(x), (std::vector<double>{-5, -6}));
  EXPECT_EQ(x.Smallest(), -6);
  EXPECT_EQ(x.SumOfMagnitudes(), 11);
}

TEST(Statistics, EmptyListReadsZero) {
  TLineSeries series;
  const TChartValueList& y = series.YValues();
  EXPECT_EQ(y.Largest(), 0);
  EXPECT_EQ(y.Smallest(), 0);
  EXPECT_EQ(y.Sum(), 0);
  EXPECT_EQ(y.SumOfMagnitudes(), 0);
}

TEST(Statistics, KeptAcrossAppendsEqualTheFullPassBitForBit) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> spread(-1e6, 1e6);
  const double specials[] = {0.0,
                             -0.0,
                             1e300,
                             -1e300,
                             1e-300,
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
  for (int run = 0; run < 3; ++run) {
    TLineSeries appended;
    appended.YValues().SetMultiplier(run == 2 ? 0.1 : 1.0);
    std::vector<double> ys;
    for (int i = 0; i < 2000; ++i) {
      double y = spread(random);
      if (run >= 1 && i % 97 == 5) y = specials[(i / 97) % 7];
      ys.push_back(y);
      appended.AddPoint(i, y);
      if (i % 3 == 0) (void)appended.YValues().Sum();  // statistics current from here on
    }
    TLineSeries fresh;  // one full pass on first read
    fresh.YValues().SetMultiplier(appended.YValues().Multiplier());
    for (std::size_t i = 0; i < ys.size(); ++i) fresh.AddPoint(static_cast<double>(i), ys[i]);
    const TChartValueList& a = appended.YValues();
    const TChartValueList& b = fresh.YValues();
    EXPECT_TRUE(SameBits(a.Sum(), b.Sum())) << "run " << run;
    EXPECT_TRUE(SameBits(a.SumOfMagnitudes(), b.SumOfMagnitudes())) << "run " << run;
    EXPECT_TRUE(SameBits(a.Largest(), b.Largest())) << "run " << run;
    EXPECT_TRUE(SameBits(a.Smallest(), b.Smallest())) << "run " << run;
    EXPECT_TRUE(SameBits(appended.XValues().Sum(), fresh.XValues().Sum()));
  }
}

TEST(Statistics, ChangesInsideTheListAreSeenOnTheNextRead) {
  TLineSeries series;
  for (double x : {1.0, 2.0, 3.0}) series.AddPoint(x, x * 10);
  TChartValueList& y = series.YValues();
  EXPECT_EQ(y.Largest(), 30);
  series.AddPoint(0.5, 99);  // goes in at index 0, Y inserted there too
  EXPECT_TRUE(y.StatisticsStale());
  EXPECT_EQ(y.Largest(), 99);
  y.SetValue(0, -4);
  EXPECT_EQ(y.Smallest(), -4);
  EXPECT_EQ(y.Sum(), 56);
  series.DeletePoint(0);
  EXPECT_EQ(y.Smallest(), 10);
  EXPECT_EQ(y.Sum(), 60);
}

TEST(IndexErrors, AreRefusedAndChangeNothing) {
  TLineSeries series;
  for (double x : {1.0, 2.0, 3.0}) series.AddPoint(x, x);
  TChartValueList& x = series.XValues();
  struct Row {
    const char* name;
    std::function<void()> call;
    const char* message;
  };
  const Row rows[] = {
      {"ValueAt past end", [&] { (void)x.ValueAt(3); }, "List index out of bounds (3)"},
      {"ValueAt negative", [&] { (void)x.ValueAt(-1); }, "List index out of bounds (-1)"},
      {"SetValue", [&] { x.SetValue(5, 1); }, "List index out of bounds (5)"},
      {"InsertAt", [&] { x.InsertAt(4, 1); }, "List index out of bounds (4)"},
      {"RemoveAt", [&] { x.RemoveAt(3); }, "List index out of bounds (3)"},
      {"DeletePoint", [&] { series.DeletePoint(7); }, "List index out of bounds (7)"},
      {"SetPointColor", [&] { series.SetPointColor(3, clRed); }, "List index out of bounds (3)"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MessageOf(row.call), row.message) << row.name;
    EXPECT_EQ(Values(x), (std::vector<double>{1, 2, 3})) << row.name;
    EXPECT_EQ(series.YValues().ValueCount(), 3) << row.name;
  }
}

TEST(ListOperations, IndexOfRotateRenumberAssign) {
  TLineSeries series;
  TChartValueList& y = series.YValues();
  for (double v : {4.0, 5.0, 4.0}) y.InsertOrdered(v);
  EXPECT_EQ(y.IndexOfValue(4), 0);
  EXPECT_EQ(y.IndexOfValue(6), -1);
  y.RotateValues();
  EXPECT_EQ(Values(y), (std::vector<double>{5, 4, 4}));
  EXPECT_EQ(y.LastValue(), 4);
  y.Renumber();
  EXPECT_EQ(Values(y), (std::vector<double>{0, 1, 2}));

  TLineSeries other;
  TChartValueList& source = other.XValues();
  source.SetDateTime(true);
  source.SetMultiplier(3);
  source.SetValueSource("Field");
  y.Assign(source);
  EXPECT_EQ(y.Order(), loAscending);
  EXPECT_TRUE(y.DateTime());
  EXPECT_EQ(y.Multiplier(), 3);
  EXPECT_EQ(y.ValueSource(), "Field");
  EXPECT_EQ(y.Name(), "Y");
  EXPECT_EQ(y.Sum(), 9) << "new multiplier applies to the statistics";
}

TEST(SortByOrder, KeepsPointsWholeInBothDirections) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> pick(0, 40);  // many equal keys
  for (TChartListOrder order : {loAscending, loDescending}) {
    TLineSeries series;
    series.XValues().SetOrder(loNone);
    std::multiset<std::pair<double, std::string>> points;
    for (int i = 0; i < 500; ++i) {
      const double x = pick(random);
      const std::string label = i % 5 == 0 ? "p" + std::to_string(i) : "";
      series.AddPoint(x, i, label, i % 7 == 0 ? clRed : clDefault);
      points.insert({x, label});
    }
    series.XValues().SetOrder(order);
    series.XValues().SortByOrder();
    std::multiset<std::pair<double, std::string>> after;
    for (std::int32_t i = 0; i < series.PointCount(); ++i) {
      after.insert({series.XValue(i), series.PointLabel(i)});
      const int y = static_cast<int>(series.YValue(i));  // Y holds the arrival number
      EXPECT_EQ(series.PointLabel(i), y % 5 == 0 ? "p" + std::to_string(y) : "");
      EXPECT_EQ(series.StoredColor(i), y % 7 == 0 ? clRed : clDefault);
      if (i > 0) {
        const bool inOrder = order == loAscending ? series.XValue(i - 1) <= series.XValue(i)
                                                  : series.XValue(i - 1) >= series.XValue(i);
        EXPECT_TRUE(inOrder) << "index " << i;
      }
    }
    EXPECT_EQ(points, after);
  }
}

TEST(SortByOrder, SurvivesNaNAndNoneOrder) {
  TLineSeries series;
  series.XValues().SetOrder(loNone);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double x : {3.0, nan, 1.0, nan, 2.0}) series.AddPoint(x, 0);
  series.XValues().SortByOrder();  // loNone: nothing moves
  EXPECT_EQ(series.XValue(0), 3);
  series.XValues().SetOrder(loAscending);
  series.XValues().SortByOrder();
  EXPECT_EQ(series.PointCount(), 5);
}

}  // namespace
}  // namespace tempolog
