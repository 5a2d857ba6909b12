// The value list's change count tells a kept min/max structure whether it may
// extend itself (appends only) or must rebuild.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "chart/ChartEngine.h"

namespace tempolog {
namespace {

TEST(ValueListChanges, AppendsLeaveTheCountEverythingElseMovesIt) {
  struct Row {
    const char* name;
    std::function<void(TChartSeries&)> change;
    bool moves;
  };
  const Row rows[] = {
      {"append in order", [](TChartSeries& s) { s.AddPoint(100, 1); }, false},
      {"append an equal X", [](TChartSeries& s) { s.AddPoint(9, 1); }, false},
      {"insert in the middle", [](TChartSeries& s) { s.AddPoint(2.5, 1); }, true},
      {"delete", [](TChartSeries& s) { s.DeletePoint(3); }, true},
      {"delete the last", [](TChartSeries& s) { s.DeletePoint(s.PointCount() - 1); }, true},
      {"set a value", [](TChartSeries& s) { s.YValues().SetValue(2, 7); }, true},
      {"rotate", [](TChartSeries& s) { s.YValues().RotateValues(); }, true},
      {"clear", [](TChartSeries& s) { s.RemoveAllPoints(); }, true},
  };
  for (const Row& row : rows) {
    TChartSeries series;
    for (int i = 0; i < 10; ++i) series.AddPoint(i, i * 2.0);
    (void)series.YValues().Largest();  // statistics current: appends fold in without a full pass
    const std::uint64_t before = series.YValues().Changes();
    row.change(series);
    EXPECT_EQ(series.YValues().Changes() != before, row.moves) << row.name;
  }
}

// Points inserted before the last one (a clock set back) keep Largest and
// Smallest without a pass over the list where that gives the full pass'
// result; the answers must be those of the same values added in order.
TEST(ValueListChanges, ExtremesAfterInsertsInsideAreThoseOfAFullPass) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Insert {
    std::int32_t at;
    double y;
  };
  struct Row {
    const char* name;
    std::vector<double> start;
    std::vector<Insert> inserts;
  };
  const Row rows[] = {
      {"inside the range", {20, 21, 22, 23}, {{2, 21.5}, {1, 20.5}}},
      {"a new smallest and largest", {20, 21, 22, 23}, {{1, 5}, {3, 99}, {2, 4}}},
      {"equal to an extreme", {20, 21, 22, 20, 23}, {{1, 20}, {4, 23}}},
      {"zeros of the other sign", {1, 0.0, 2, -0.0}, {{1, -0.0}, {1, 0.0}}},
      {"a NaN inserted", {20, 21, 22}, {{1, kNaN}, {2, 19}}},
      {"a NaN first", {kNaN, 21, 22}, {{1, 5}, {2, 30}}},
      {"before the first", {20, 21, 22}, {{0, 25}, {0, kNaN}, {1, 3}}},
      {"then appended", {20, 21, 22}, {{1, 30}, {4, 10}, {5, 40}, {2, 1}}},
  };
  auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  for (const Row& row : rows) {
    TChartSeries series;
    std::vector<double> ys = row.start;
    for (std::size_t i = 0; i < ys.size(); ++i) series.AddPoint(static_cast<double>(i), ys[i]);
    (void)series.YValues().Largest();  // statistics current before the inserts
    for (const Insert& insert : row.inserts) {
      // X between the neighbours' puts the point at the index wanted.
      const double x = insert.at == series.PointCount() ? series.XValue(insert.at - 1) + 1
                       : insert.at == 0
                           ? series.XValue(0) - 1
                           : (series.XValue(insert.at - 1) + series.XValue(insert.at)) / 2;
      ASSERT_EQ(series.AddPoint(x, insert.y), insert.at) << row.name;
      ys.insert(ys.begin() + insert.at, insert.y);
      TChartSeries fresh;
      for (std::size_t i = 0; i < ys.size(); ++i) fresh.AddPoint(static_cast<double>(i), ys[i]);
      const TChartValueList& got = series.YValues();
      const TChartValueList& want = fresh.YValues();
      EXPECT_TRUE(same(got.Largest(), want.Largest())) << row.name << " at " << insert.at;
      EXPECT_TRUE(same(got.Smallest(), want.Smallest())) << row.name << " at " << insert.at;
      EXPECT_TRUE(same(got.Sum(), want.Sum())) << row.name << " at " << insert.at;
    }
  }
}

}  // namespace
}  // namespace tempolog
