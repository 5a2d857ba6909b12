// Smallest and largest reading over any index range of a series, fast enough
// to ask once per pixel column of every frame, however many readings there are.
//
//   TMinMaxPyramid   min/max per block of 32 values, and of pairs of blocks
//                    above that, over a contiguous array of doubles owned by
//                    someone else (a value list's storage)
//
// The pyramid keeps no copy of the values: every call takes the array and the
// caller guarantees that the first Count() values are the ones it was built
// from. Appending readings extends it in O(1) amortised per value; any other
// change calls for Build again.
//
// NaN: a range holding a NaN answers "no answer" (Query returns false), so
// that a caller drawing from the extremes can fall back to visiting each value.
//
// Distinct values on a decimal grid. Readings of an instrument that answers
// in decimal text ("23.5") are plotted as the single-precision number nearest
// to the decimal, held as a double (23.4 is kept as 23.399999618530273...);
// values given to the chart in other ways may be the doubles nearest to the
// decimals. A value is on the grid of d decimals when it equals
// double(float(c / 10^d)) for an integer code c (the single form) or c / 10^d
// itself (the decimal form). Each node also keeps which grid values it holds:
// bit k of `grid` set means that some value of the node is the grid value of
// code c + k, c being the code of the node's smallest value. A node answers 0
// when it does not know (a value off the grid, a NaN, or values more than 63
// grid steps apart).
// The grid's form is the coarsest that puts the values seen so far on it:
// the fewest decimals d (at most kMaxDigits), the decimal form unless a value
// needs the single one. When a value needs a finer grid, the pyramid is
// rebuilt with it; the decimals only grow and the form only goes from decimal
// to single, so that happens at most 2 * (kMaxDigits + 1) times in its life.
// The single form is not taken once a value on the decimal grid that no
// single equals was taken in (those values would fall off the grid); values
// of the other form are then off the grid, and stay exact through the
// fallback.
// A value is on the grid only when its code's grid value is the very same
// double, so `GridValue(code)` is exactly the stored value. Codes grow with
// the values (the rounding to single is monotonic), and distinct values have
// distinct codes; two codes may share one single where singles are coarser
// than the decimals (large values), and a value then takes the nearer code.
//
// Memory: four 8-byte fields per block of 32 values plus the levels above,
// about 2 bytes per value (at most about 2.5 while the level arrays have spare
// capacity).
//
// Threads: taking in many values at once (a long log loaded), the blocks are
// scanned in two halves on two threads, with the very same nodes and grid as
// one thread gives. The pyramid is used from one thread at a time.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tempolog {

// The whole number nearest to `value`, ties to even, as nearbyint gives it in
// the default rounding mode, by two additions in plain double arithmetic:
// some C libraries (mingw-w64's) round through the x87 unit at many times the
// cost, and the grid asks this of every reading of every frame.
inline double RoundHalfEven(double value) noexcept {
  constexpr double kAllWhole = 0x1p52;  // from here on every double is whole
  const double magnitude = std::fabs(value);
  if (!(magnitude < kAllWhole)) return value;  // whole already, or NaN
  return std::copysign((magnitude + kAllWhole) - kAllWhole, value);
}

class TMinMaxPyramid {
 public:
  static constexpr std::int32_t kBlockShift = 5;
  static constexpr std::int32_t kBlockSize = 1 << kBlockShift;  // values per block

  struct Extremes {
    double min;
    double max;          // both NaN when the range holds a NaN
    double step;         // the largest |v[i] - v[i - 1]| for i in the node (and its first
                         // value's step from the value before, when there is one)
    std::uint64_t grid;  // the grid values held, from the code of `min` up; 0 = unknown
  };
  static constexpr int kMaxDigits = 6;
  // New values below twice this many are taken in on the calling thread alone.
  static constexpr std::int32_t kValuesPerThread = 1 << 16;

  // Builds over values[0..count) from scratch. Build and Extend take new
  // values in on two threads from twice `valuesPerThread` of them on.
  void Build(const double* values, std::int32_t count,
             std::int32_t valuesPerThread = kValuesPerThread);
  // The first Count() values are unchanged and values[Count()..count) were
  // appended: takes them in. A count below Count() rebuilds.
  void Extend(const double* values, std::int32_t count,
              std::int32_t valuesPerThread = kValuesPerThread);
  // values[0..firstChanged) are unchanged, the rest (now up to count) may
  // differ in any way (readings inserted or removed near the end): takes the
  // new tail in, at the cost of an append of count - firstChanged values.
  void Update(const double* values, std::int32_t count, std::int32_t firstChanged);
  void Clear() noexcept;
  std::int32_t Count() const noexcept { return count_; }

  // Smallest and largest of values[first..last] (both inclusive, 0 <= first
  // <= last < Count()). False, with min and max untouched, when the range
  // holds a NaN.
  bool Query(const double* values, std::int32_t first, std::int32_t last, double& min,
             double& max) const;
  // The same with the largest step between neighbouring values of the range
  // (counting the step into values[first] from the value before it, if any).
  bool Query(const double* values, std::int32_t first, std::int32_t last, Extremes& out) const;

  // Walking the pyramid from the top, for callers that need more than the
  // extremes of a range (which rows of a column hold a reading).
  //   Levels(): level 0 has one node per block; level k + 1 one per pair of
  //   level-k nodes. Node n of level k covers the values
  //   [n << (kBlockShift + k), ((n + 1) << (kBlockShift + k)) - 1], cut at Count().
  std::int32_t Levels() const noexcept { return static_cast<std::int32_t>(levels_.size()); }
  std::int32_t NodeCount(std::int32_t level) const noexcept {
    return static_cast<std::int32_t>(levels_[static_cast<std::size_t>(level)].size());
  }
  const Extremes& Node(std::int32_t level, std::int32_t index) const noexcept {
    return levels_[static_cast<std::size_t>(level)][static_cast<std::size_t>(index)];
  }
  std::int64_t NodeFirst(std::int32_t level, std::int32_t index) const noexcept {
    return std::int64_t{index} << (kBlockShift + level);
  }
  std::int64_t NodeLast(std::int32_t level, std::int32_t index) const noexcept;

  // Splits values[first..last] (0 <= first <= last < Count()) into at most
  // two runs of loose values at the ends, loose(from, to) inclusive, and
  // O(log n) whole nodes, node(level, index), together covering the range
  // once each.
  template <class Loose, class WholeNode>
  void Decompose(std::int32_t first, std::int32_t last, Loose&& loose, WholeNode&& node) const {
    std::int32_t lo = first >> kBlockShift, hi = last >> kBlockShift;
    if (lo == hi) {
      loose(std::int64_t{first}, std::int64_t{last});
      return;
    }
    if ((first & (kBlockSize - 1)) != 0) {
      loose(std::int64_t{first}, NodeLast(0, lo));
      ++lo;
    }
    if (last != NodeLast(0, hi)) {
      loose(NodeFirst(0, hi), std::int64_t{last});
      --hi;
    }
    for (std::int32_t k = 0; lo <= hi; ++k) {
      if ((lo & 1) != 0) node(k, lo++);
      if ((hi & 1) == 0) node(k, hi--);
      if (lo > hi) break;
      lo >>= 1;
      hi >>= 1;
    }
  }

  // The decimal grid: 10^d, its form, and the code of a value on it.
  double GridScale() const noexcept { return kPowersOfTen[form_.digits]; }
  bool SingleGrid() const noexcept { return form_.single; }
  // True, with `code`, when value == GridValue(code) exactly.
  bool GridCode(double value, std::int64_t& code) const noexcept;
  double GridValue(std::int64_t code) const noexcept {
    const double decimal = static_cast<double>(code) / GridScale();
    return form_.single ? static_cast<double>(static_cast<float>(decimal)) : decimal;
  }
  // The code of a node's smallest value when its grid is known (not 0).
  std::int64_t GridBase(const Extremes& node) const noexcept;

  // Asks the processor to start loading what a query with an end near
  // `index` reads (the values of its block, a node per level), so that the
  // next pixel column's query finds them in cache. Changes nothing.
  void Prefetch(const double* values, std::int64_t index) const noexcept;

  // Bytes held by the pyramid (its level arrays' capacity).
  std::size_t MemoryBytes() const noexcept;

 private:
  static constexpr double kPowersOfTen[kMaxDigits + 1] = {1, 10, 100, 1000, 1e4, 1e5, 1e6};

  struct GridForm {
    int digits = 0;
    bool single = false;  // grid values are the singles nearest to the decimals
    bool operator==(const GridForm&) const = default;
  };
  // What the values taken in tell of the grid.
  struct GridNotes {
    GridForm finer;                // != form_: values seen that need a finer grid
    bool decimalOnlySeen = false;  // a value taken in on the decimal grid is no single
  };
  static bool OnGrid(double value, GridForm form, std::int64_t& code) noexcept;

  // `notes` when the values are being taken in (null when merely asked
  // about): only then does a value on a finer grid call for a rebuild.
  Extremes Scan(const double* values, std::int64_t first, std::int64_t last,
                GridNotes* notes) const noexcept;
  Extremes Combine(const Extremes& a, const Extremes& b) const noexcept;
  // The grid of values[first..last], whose smallest value is `min`.
  std::uint64_t ScanGrid(const double* values, std::int64_t first, std::int64_t last, double min,
                         GridNotes* notes) const noexcept;
  std::uint64_t CombineGrids(const Extremes& a, const Extremes& b) const noexcept;
  // Notes the coarsest grid form, at least as fine as the one noted so far,
  // that puts `value` on the grid.
  static void NoteFinerGrid(double value, GridNotes& notes) noexcept;
  // Takes the whole blocks [first, end) of values[0..count) into nodes[first..],
  // noting into `notes`; stops after the first block with a value that needs
  // a finer grid, or before a block once `abandon` is set. Returns the block
  // after the last one taken.
  std::int32_t ScanBlocks(const double* values, std::int32_t count, std::int32_t first,
                          std::int32_t end, Extremes* nodes, GridNotes& notes,
                          const std::atomic<bool>* abandon) const noexcept;
  // The same into notes_, in two halves on two threads when the blocks hold
  // at least twice `valuesPerThread` values.
  std::int32_t ScanNewBlocks(const double* values, std::int32_t count, std::int32_t first,
                             std::int32_t end, Extremes* nodes, std::int32_t valuesPerThread);
  // Recomputes the nodes above level 0 from level-0 node `from` on.
  void UpdateUpperLevels(std::int32_t from);

  std::vector<std::vector<Extremes>> levels_;
  std::int32_t count_ = 0;
  GridForm form_;
  GridNotes notes_;
};

}  // namespace tempolog
