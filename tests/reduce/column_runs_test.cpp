#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "chart/ColumnRuns.h"

namespace tempolog {
namespace {

// Pixel of x on an axis of `width` pixels over [0, span]; right to left
// when inverted, as an inverted horizontal axis maps.
int PixelOf(double x, double span, int width, bool inverted) {
  const int p = static_cast<int>(std::nearbyint(x * width / span));
  return inverted ? width - p : p;
}

TEST(LastInColumn, FindsTheEndOfEveryColumnRun) {
  struct Row {
    const char* name;
    std::int32_t points;
    int width;
    bool inverted;
    bool duplicates;
  };
  for (const Row& row :
       {Row{"dense", 20000, 50, false, false}, Row{"dense inverted", 20000, 50, true, false},
        Row{"sparse", 40, 700, false, false}, Row{"one column", 500, 0, false, false},
        Row{"repeated x", 3000, 90, false, true}}) {
    std::mt19937 rng(2);
    std::vector<double> xs(static_cast<std::size_t>(row.points));
    double x = 0;
    for (auto& v : xs)
      v = x += row.duplicates && rng() % 3 == 0 ? 0.0 : std::uniform_real_distribution<>(0, 1)(rng);
    const double span = row.width == 0 ? 1e300 : x;
    auto pixel = [&](std::int32_t i) {
      return PixelOf(xs[static_cast<std::size_t>(i)], span, row.width, row.inverted);
    };
    // Walk the columns from several start points, as a zoomed view would.
    for (std::int32_t start : {0, 1, row.points / 3}) {
      const std::int32_t last = row.points - 1 - row.points / 5;
      // No guess, the previous run's length, and guesses far off both ways.
      for (int guessing = 0; guessing < 4; ++guessing) {
        std::int32_t i = start;
        std::int32_t previousRun = 0;
        int columns = 0;
        while (i <= last) {
          const std::int32_t guess = guessing == 0   ? 0
                                     : guessing == 1 ? previousRun
                                     : guessing == 2 ? 2
                                                     : 5000;
          const std::int32_t end = LastInColumn(i, last, pixel, guess);
          std::int32_t expected = i;
          while (expected < last && pixel(expected + 1) == pixel(i)) ++expected;
          ASSERT_EQ(end, expected) << row.name << " from " << i << " guess " << guess;
          previousRun = end - i + 1;
          i = end + 1;
          ++columns;
        }
        EXPECT_LE(columns, row.width + 1) << row.name;
      }
    }
  }
}

TEST(RowBands, AddMergesTouchingRunsAndCoversAnswers) {
  struct Row {
    const char* name;
    std::vector<std::pair<int, int>> adds;
    std::vector<std::pair<int, int>> bands;
  };
  for (const Row& row : {
           Row{"apart", {{10, 12}, {0, 1}, {20, 20}}, {{0, 1}, {10, 12}, {20, 20}}},
           Row{"touching joins", {{0, 4}, {5, 9}}, {{0, 9}}},
           Row{"gap of one stays", {{0, 4}, {6, 9}}, {{0, 4}, {6, 9}}},
           Row{"bridge", {{0, 2}, {8, 9}, {20, 21}, {3, 7}}, {{0, 9}, {20, 21}}},
           Row{"swallow", {{3, 4}, {6, 7}, {9, 9}, {-5, 50}}, {{-5, 50}}},
           Row{"inside", {{0, 10}, {3, 4}}, {{0, 10}}},
       }) {
    TRowBands bands;
    for (auto [t, b] : row.adds) bands.Add(t, b);
    ASSERT_EQ(bands.Bands().size(), row.bands.size()) << row.name;
    for (std::size_t i = 0; i < row.bands.size(); ++i) {
      EXPECT_EQ(bands.Bands()[i].top, row.bands[i].first) << row.name;
      EXPECT_EQ(bands.Bands()[i].bottom, row.bands[i].second) << row.name;
    }
  }
  TRowBands bands;
  bands.Add(0, 4);
  bands.Add(10, 14);
  EXPECT_TRUE(bands.Covers(0, 4));
  EXPECT_TRUE(bands.Covers(11, 12));
  EXPECT_FALSE(bands.Covers(3, 10));
  EXPECT_FALSE(bands.Covers(5, 5));
  EXPECT_FALSE(bands.Covers(14, 15));
}

// The rows a marker of half height v covers for each value, the plain way.
std::set<int> MarkerRows(const std::vector<double>& values, std::int32_t first, std::int32_t last,
                         int above, int below, double scale) {
  std::set<int> rows;
  for (std::int32_t i = first; i <= last; ++i) {
    const int r = static_cast<int>(std::nearbyint(-values[static_cast<std::size_t>(i)] * scale));
    for (int k = r - above; k <= r + below; ++k) rows.insert(k);
  }
  return rows;
}

TEST(CollectRowBands, CoversExactlyTheRowsOfTheMarkers) {
  constexpr std::int32_t n = 6000;
  std::mt19937 rng(4);
  struct Signal {
    const char* name;
    std::vector<double> values;
  };
  std::vector<Signal> signals;
  {
    std::vector<double> v(n);
    double y = 0;
    for (auto& x : v) x = y += std::normal_distribution<>(0, 1)(rng);
    signals.push_back({"random walk", v});
  }
  {
    std::vector<double> v(n, 50);
    for (std::int32_t i = 37; i < n; i += 911)
      v[static_cast<std::size_t>(i)] = 50 + 40.0 * ((i % 3) + 1);
    signals.push_back({"spikes", v});
  }
  {
    std::vector<double> v(n);
    for (std::int32_t i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = i % 2 ? 0 : 100;
    signals.push_back({"alternating", v});
  }
  {
    std::vector<double> v(n);
    for (std::int32_t i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = (i / 700) * 7.0;
    signals.push_back({"steps", v});
  }
  signals.push_back({"constant", std::vector<double>(n, 3.25)});
  {
    std::vector<double> v(n);
    for (std::int32_t i = 0; i < n; ++i)
      v[static_cast<std::size_t>(i)] =
          30 * std::sin(i / 300.0) + std::normal_distribution<>(0, 4)(rng);
    signals.push_back({"sine with noise", v});
  }
  // Readings on a decimal grid: the bands come from the distinct grid values.
  auto quantized = [&](const char* name, double decimals, auto&& value) {
    std::vector<double> v(n);
    for (std::int32_t i = 0; i < n; ++i)
      v[static_cast<std::size_t>(i)] = std::round(value(i) * decimals) / decimals;
    signals.push_back({name, v});
  };
  quantized("noisy sine on 0.1", 10, [&](std::int32_t i) {
    return 30 * std::sin(i / 300.0) + std::normal_distribution<>(0, 0.3)(rng);
  });
  quantized("slow drift on 0.1", 10,
            [&](std::int32_t i) { return i * 0.002 + std::normal_distribution<>(0, 0.05)(rng); });
  quantized("far apart on 0.01", 100,
            [&](std::int32_t i) { return i % 2 ? 0.01 * (i % 5000) : -30.0; });
  signals.back().values[4321] = 1.0 / 3;  // off every grid
  for (const Signal& s : signals) {
    TMinMaxPyramid p;
    p.Build(s.values.data(), n);
    for (double scale : {0.05, 1.0, 7.0, 130.0}) {
      auto row = [scale](double v) { return static_cast<int>(std::nearbyint(-v * scale)); };
      for (auto [first, last] :
           {std::pair{0, n - 1}, std::pair{5, 40}, std::pair{31, 2049}, std::pair{100, 5999}}) {
        for (auto [above, below] : {std::pair{1, 0}, std::pair{2, 1}, std::pair{4, 3}}) {
          TRowBands bands;
          CollectRowBands(p, s.values.data(), first, last, above, below, scale, row, bands);
          std::set<int> got;
          for (const auto& b : bands.Bands())
            for (int k = b.top; k <= b.bottom; ++k) got.insert(k);
          ASSERT_EQ(got, MarkerRows(s.values, first, last, above, below, scale))
              << s.name << " scale " << scale << " [" << first << ", " << last << "] marker "
              << above;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tempolog
