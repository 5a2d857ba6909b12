// The value list's change count tells a kept min/max structure whether it may
// extend itself (appends only) or must rebuild.
#include <gtest/gtest.h>

#include <functional>

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

}  // namespace
}  // namespace tempolog
