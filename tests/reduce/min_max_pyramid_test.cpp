#include "chart/MinMaxPyramid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

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
  for (const Row& row : {Row{"first value", {0}}, Row{"inside a block", {45}},
                         Row{"block edges", {63, 64}}, Row{"last value", {2999}},
                         Row{"several", {100, 1500, 2222}}}) {
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

TEST(MinMaxPyramid, StaysWithinThreeBytesPerValue) {
  const std::vector<double> v = RandomWalk(1 << 20, 1);
  TMinMaxPyramid built, appended;
  built.Build(v.data(), 1 << 20);
  for (std::int32_t n = 0; n < (1 << 20); n += 997) appended.Extend(v.data(), n);
  appended.Extend(v.data(), 1 << 20);
  EXPECT_LE(built.MemoryBytes(), std::size_t{3} << 20);
  EXPECT_LE(appended.MemoryBytes(), std::size_t{3} << 20);
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
      for (std::size_t i = std::max<std::size_t>(first, 1); i <= last; ++i) step = std::max(step, std::fabs(v[i] - v[i - 1]));
      EXPECT_EQ(p.Node(level, n).step, step) << level << " " << n;
    }
  }
  EXPECT_EQ(p.NodeCount(p.Levels() - 1), 1);
}

}  // namespace
}  // namespace tempolog
