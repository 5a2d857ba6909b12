#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "chart/MinMaxPyramid.h"
#include "tests/support/InstrumentReadings.h"

namespace tempolog {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Checks every range [first, last] with first and last drawn from a set that
// includes the block edges, against a plain scan.
void ExpectMatchesScan(const TMinMaxPyramid& p, const std::vector<double>& v, const char* what) {
  const auto n = static_cast<std::int32_t>(v.size());
  ASSERT_EQ(p.Count(), n) << what;
  std::vector<std::int32_t> edges;
  for (std::int32_t i : {0, 1, 30, 31, 32, 33, 63, 64, 65, 127, 128, 129, 500, 1023, 1024, 1025})
    if (i < n) edges.push_back(i);
  for (std::int32_t i = n - 3; i < n; ++i)
    if (i >= 0) edges.push_back(i);
  std::mt19937 rng(7);
  for (int k = 0; k < 40 && n > 0; ++k) edges.push_back(static_cast<std::int32_t>(rng() % n));
  for (std::int32_t first : edges) {
    for (std::int32_t last : edges) {
      if (last < first) continue;
      bool nan = false;
      double lo = v[first], hi = v[first];
      for (std::int32_t i = first; i <= last; ++i) {
        nan |= std::isnan(v[i]);
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
      }
      double min = -1234, max = -1234;
      const bool answered = p.Query(v.data(), first, last, min, max);
      ASSERT_EQ(answered, !nan) << what << " [" << first << ", " << last << "]";
      if (nan) {
        EXPECT_EQ(min, -1234) << what;  // untouched
        continue;
      }
      ASSERT_EQ(min, lo) << what << " [" << first << ", " << last << "]";
      ASSERT_EQ(max, hi) << what << " [" << first << ", " << last << "]";
    }
  }
}

std::vector<double> RandomWalk(std::int32_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> step(0, 1);
  std::vector<double> v(static_cast<std::size_t>(n));
  double y = 0;
  for (auto& x : v) x = y += step(rng);
  return v;
}

TEST(MinMaxPyramid, BuiltAndAppendedAnswerLikeAScan) {
  struct Row {
    const char* name;
    std::int32_t size;
  };
  for (const Row& row : {Row{"one", 1}, Row{"one block less one", 31}, Row{"one block", 32},
                         Row{"one block and one", 33}, Row{"odd blocks", 5 * 32 + 7},
                         Row{"power of two blocks", 64 * 32}, Row{"large", 20011}}) {
    const std::vector<double> v = RandomWalk(row.size, 3);
    TMinMaxPyramid built;
    built.Build(v.data(), row.size);
    ExpectMatchesScan(built, v, row.name);

    // The same values arriving one by one, then in uneven bunches.
    TMinMaxPyramid oneByOne;
    for (std::int32_t n = 1; n <= row.size; ++n) oneByOne.Extend(v.data(), n);
    ExpectMatchesScan(oneByOne, v, row.name);
    TMinMaxPyramid bunches;
    for (std::int32_t n = 0; n < row.size;) {
      n = std::min(row.size, n + 1 + n / 3);
      bunches.Extend(v.data(), n);
    }
    ExpectMatchesScan(bunches, v, row.name);
  }
}

TEST(MinMaxPyramid, RangesWithNaNGiveNoAnswerOthersStillDo) {
  struct Row {
    const char* name;
    std::vector<std::int32_t> nanAt;
  };
  for (const Row& row :
       {Row{"first value", {0}}, Row{"inside a block", {45}}, Row{"block edges", {63, 64}},
        Row{"last value", {2999}}, Row{"several", {100, 1500, 2222}}}) {
    std::vector<double> v = RandomWalk(3000, 11);
    for (std::int32_t i : row.nanAt) v[static_cast<std::size_t>(i)] = kNaN;
    TMinMaxPyramid p;
    p.Build(v.data(), 3000);
    ExpectMatchesScan(p, v, row.name);
  }
}

TEST(MinMaxPyramid, InfinitiesAndSignedZerosAreOrdinaryValues) {
  std::vector<double> v(100, 1.0);
  v[10] = std::numeric_limits<double>::infinity();
  v[70] = -std::numeric_limits<double>::infinity();
  v[80] = -0.0;
  TMinMaxPyramid p;
  p.Build(v.data(), 100);
  ExpectMatchesScan(p, v, "infinities");
}

// The grid's rounding gives nearbyint's result, bit for bit, at ties, at the
// edge where doubles become whole, at signed zeros and beyond.
TEST(MinMaxPyramid, RoundHalfEvenIsNearbyint) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.0,
                           -0.0,
                           0.5,
                           1.5,
                           2.5,
                           -0.5,
                           -2.5,
                           -0.49,
                           0.49999999999999994,
                           2355.0000000000005,
                           0x1p52 - 0.5,
                           0x1p52 - 1.5,
                           -(0x1p52 - 0.5),
                           0x1p52 + 2,
                           0x1p53 + 2,
                           1e300,
                           -1e300,
                           5e-324,
                           inf,
                           -inf,
                           2345.4999999999995};
  for (const double v : values) {
    const double expected = std::nearbyint(v);
    const double got = RoundHalfEven(v);
    EXPECT_EQ(got, expected) << v;
    EXPECT_EQ(std::signbit(got), std::signbit(expected)) << v;
  }
  EXPECT_TRUE(std::isnan(RoundHalfEven(kNaN)));
}

TEST(MinMaxPyramid, ShrinkingRebuildsAndClearEmpties) {
  std::vector<double> v = RandomWalk(1000, 5);
  TMinMaxPyramid p;
  p.Build(v.data(), 1000);
  // Points removed and changed: the owner asks for 400 values again.
  v.resize(400);
  v[0] = 1e9;
  p.Extend(v.data(), 400);
  ExpectMatchesScan(p, v, "shrunk");
  p.Clear();
  EXPECT_EQ(p.Count(), 0);
  EXPECT_EQ(p.MemoryBytes(), 0u);
  p.Extend(v.data(), 400);
  ExpectMatchesScan(p, v, "after clear");
}

// Four 8-byte fields per 32 values and as much again for the levels above,
// each level growing by a quarter: at most 2.5 bytes per value.
TEST(MinMaxPyramid, StaysWithinTwoAndAHalfBytesPerValue) {
  const std::vector<double> v = RandomWalk(1 << 20, 1);
  TMinMaxPyramid built, appended;
  built.Build(v.data(), 1 << 20);
  for (std::int32_t n = 0; n < (1 << 20); n += 997) appended.Extend(v.data(), n);
  appended.Extend(v.data(), 1 << 20);
  EXPECT_LE(built.MemoryBytes(), std::size_t{5} << 19);
  EXPECT_LE(appended.MemoryBytes(), std::size_t{5} << 19);
}

TEST(MinMaxPyramid, ReadingsArrivingOneByOneReallocateRarely) {
  // Every growth of a level copies it whole: growing block by block would
  // copy a ten-million-reading pyramid every 32 readings.
  constexpr std::int32_t kCount = 1 << 18;
  const std::vector<double> v = RandomWalk(kCount, 4);
  TMinMaxPyramid p;
  int growths = 0;
  std::size_t bytes = 0;
  for (std::int32_t n = 1; n <= kCount; ++n) {
    p.Extend(v.data(), n);
    if (p.MemoryBytes() != bytes) ++growths;
    bytes = p.MemoryBytes();
  }
  EXPECT_LT(growths, 300) << "of " << kCount / TMinMaxPyramid::kBlockSize << " blocks";
  EXPECT_LE(bytes, std::size_t{3} * kCount);
}

TEST(MinMaxPyramid, NodesCoverTheirValues) {
  const std::vector<double> v = RandomWalk(5000, 9);
  TMinMaxPyramid p;
  p.Build(v.data(), 5000);
  for (std::int32_t level = 0; level < p.Levels(); ++level) {
    for (std::int32_t n = 0; n < p.NodeCount(level); ++n) {
      const auto first = static_cast<std::size_t>(p.NodeFirst(level, n));
      const auto last = static_cast<std::size_t>(p.NodeLast(level, n));
      ASSERT_LE(first, last);
      ASSERT_LT(last, v.size());
      EXPECT_EQ(p.Node(level, n).min, *std::min_element(v.begin() + first, v.begin() + last + 1));
      EXPECT_EQ(p.Node(level, n).max, *std::max_element(v.begin() + first, v.begin() + last + 1));
      double step = 0;
      for (std::size_t i = std::max<std::size_t>(first, 1); i <= last; ++i)
        step = std::max(step, std::fabs(v[i] - v[i - 1]));
      EXPECT_EQ(p.Node(level, n).step, step) << level << " " << n;
    }
  }
  EXPECT_EQ(p.NodeCount(p.Levels() - 1), 1);
}

// Every node's grid lists exactly its distinct values, or is 0 only when it
// cannot: a value off the grid, or values more than 63 grid steps apart.
void ExpectGridsMatchValues(const TMinMaxPyramid& p, const std::vector<double>& v,
                            const char* what) {
  for (std::int32_t level = 0; level < p.Levels(); ++level) {
    for (std::int32_t n = 0; n < p.NodeCount(level); ++n) {
      const auto& node = p.Node(level, n);
      std::set<double> distinct, listed;
      bool off = false;
      std::int64_t code = 0, lo = INT64_MAX, hi = INT64_MIN;
      for (auto i = p.NodeFirst(level, n); i <= p.NodeLast(level, n); ++i) {
        const double x = v[static_cast<std::size_t>(i)];
        distinct.insert(x);
        off |= !p.GridCode(x, code);
        lo = std::min(lo, code);
        hi = std::max(hi, code);
      }
      if (node.grid == 0) {
        EXPECT_TRUE(off || hi - lo > 63) << what << " level " << level << " node " << n;
        continue;
      }
      for (int k = 0; k < 64; ++k)
        if ((node.grid >> k) & 1) listed.insert(p.GridValue(p.GridBase(node) + k));
      ASSERT_EQ(listed, distinct) << what << " level " << level << " node " << n;
    }
  }
}

TEST(MinMaxPyramid, NodesKnowTheirDistinctGridValues) {
  constexpr std::int32_t n = 4000;
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0, 1);
  struct Row {
    const char* name;
    std::function<double(std::int32_t)> value;
    double scale;  // the grid's 10^d at the end
    bool single;   // and its form
  };
  // Readings as the program holds them: the instrument's text, parsed and
  // rounded to single.
  auto reading = [](double v, int decimals = 1) { return PlottedReading(v, decimals); };
  const Row rows[] = {
      {"whole degrees", [](std::int32_t i) { return 20.0 + i % 3; }, 1, false},
      {"one decimal, noisy",
       [&](std::int32_t i) { return std::round((21 + i * 1e-3 + 0.2 * noise(rng)) * 10) / 10; }, 10,
       false},
      {"negative, around zero",
       [&](std::int32_t i) { return std::round((0.5 - i * 1e-4 + 0.1 * noise(rng)) * 10) / 10; },
       10, false},
      {"two decimals from the middle on",
       [](std::int32_t i) { return i < n / 2 ? (205 + i % 4) / 10.0 : (2025 + i % 5) / 100.0; },
       100, false},
      {"a stray value off every grid",
       [](std::int32_t i) { return i == 777 ? 1.0 / 3 : (200 + i % 7) / 10.0; }, 10, false},
      {"wide jumps", [](std::int32_t i) { return i % 40 < 20 ? 0.0 : 9.5; }, 10, false},
      {"readings \"23.4\", noisy",
       [&](std::int32_t i) { return reading(21 + i * 1e-3 + 0.2 * noise(rng)); }, 10, true},
      {"readings crossing zero, \"-0.1\"",
       [&](std::int32_t i) { return reading(0.5 - i * 2.5e-4 + 0.1 * noise(rng)); }, 10, true},
      {"readings \"23.4\" then \"23.45\"",
       [&](std::int32_t i) { return reading(23.4 + 0.1 * noise(rng), i < n / 2 ? 1 : 2); }, 100,
       true},
      {"readings where singles are coarser than the decimals",
       [&](std::int32_t i) { return reading(3e6 + 0.1 * (i % 40)); }, 10, true},
      {"readings exact in single, then others",
       [&](std::int32_t i) { return reading(i < n / 2 ? 20.5 + i % 2 : 23.4); }, 10, true},
      {"decimals held as doubles, then readings",
       [&](std::int32_t i) { return i < n / 2 ? (234 + i % 3) / 10.0 : reading(23.4); }, 10, false},
      {"a stray reading on no grid",
       [&](std::int32_t i) { return i == 1234 ? reading(1.2345678, 7) : reading(21.3); }, 10, true},
  };
  for (const Row& row : rows) {
    std::vector<double> v(n);
    for (std::int32_t i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = row.value(i);
    // Built on one thread, and on two from 64 values a thread on (the
    // second half of the blocks then starts without what the first saw).
    constexpr std::int32_t kHalves = 64;
    TMinMaxPyramid built, halves, appended;
    built.Build(v.data(), n);
    halves.Build(v.data(), n, kHalves);
    for (std::int32_t k = 1; k <= n; k += 1 + k / 7) appended.Extend(v.data(), k, kHalves);
    appended.Extend(v.data(), n, kHalves);
    for (const TMinMaxPyramid* p : {&built, &halves, &appended}) {
      EXPECT_EQ(p->GridScale(), row.scale) << row.name;
      EXPECT_EQ(p->SingleGrid(), row.single) << row.name;
      ExpectGridsMatchValues(*p, v, row.name);
      ExpectMatchesScan(*p, v, row.name);
    }
  }
}

// Readings inserted among the others or removed from the end: the pyramid
// takes in the changed tail only and then answers as if built afresh.
TEST(MinMaxPyramid, UpdatedTailAnswersLikeABuild) {
  constexpr std::int32_t n = 5000;
  std::mt19937 rng(21);
  std::normal_distribution<double> noise(0, 0.2);
  std::vector<double> start(n);
  for (auto& x : start) x = PlottedReading(21 + noise(rng), 1);
  struct Row {
    const char* name;
    std::function<std::int32_t(std::vector<double>&)> change;  // returns the first changed index
  };
  auto insert = [](std::int32_t at, double value) {
    return [at, value](std::vector<double>& v) {
      v.insert(v.begin() + at, value);
      return at;
    };
  };
  const Row rows[] = {
      {"inserted near the end", insert(n - 100, PlottedReading("25.1"))},
      {"inserted at a block's start", insert(156 * 32, PlottedReading("19.9"))},
      {"inserted in the first block", insert(5, PlottedReading("-3.0"))},
      {"inserted on a finer grid", insert(n - 7, PlottedReading("21.05"))},
      {"inserted off every grid", insert(n - 7, 1.0 / 3)},
      {"inserted, then more appended",
       [](std::vector<double>& v) {
         v.insert(v.end() - 40, PlottedReading("22.2"));
         for (int k = 0; k < 50; ++k) v.push_back(PlottedReading(20 + k * 0.1, 1));
         return n - 40;
       }},
      {"removed down to one block",
       [](std::vector<double>& v) {
         v.resize(40);
         return 40;
       }},
      {"removed to a block's end",
       [](std::vector<double>& v) {
         v.resize(4096);
         return 4096;
       }},
      {"all removed",
       [](std::vector<double>& v) {
         v.clear();
         return 0;
       }},
  };
  for (const Row& row : rows) {
    std::vector<double> v = start;
    TMinMaxPyramid p, fresh;
    p.Build(v.data(), n);
    const std::int32_t first = row.change(v);
    const auto count = static_cast<std::int32_t>(v.size());
    p.Update(v.data(), count, first);
    fresh.Build(v.data(), count);
    ExpectMatchesScan(p, v, row.name);
    ExpectGridsMatchValues(p, v, row.name);
    EXPECT_EQ(p.Levels(), fresh.Levels()) << row.name;
    EXPECT_EQ(p.GridScale(), fresh.GridScale()) << row.name;
    EXPECT_EQ(p.SingleGrid(), fresh.SingleGrid()) << row.name;
  }
}

}  // namespace
}  // namespace tempolog
