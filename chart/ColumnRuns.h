// Pieces of the reduced drawing of a line series: when thousands of readings
// fall into one pixel column, the pixels they paint follow from a few of them.
//
//   LastInColumn   the end of the run of points that share a pixel column,
//                  by galloping binary search over sorted X values
//   TRowBands      sorted, merged runs of pixel rows
//   CollectRowBands  the rows the markers of a run of points cover, found
//                  from the min/max pyramid without visiting every point
//
// Every function takes the same value-to-pixel mapping the drawing uses, so a
// point lands in exactly the column and row it would be drawn at. The mapping
// must be monotonic (either direction) over the values passed in.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "chart/MinMaxPyramid.h"

namespace tempolog {

// The last index in [first, last] whose pixel equals pixelOf(first). The
// pixel of the values must be monotonic in the index over [first, last]
// (sorted X values through a linear axis). `guess` is the expected length of
// the run (the previous column's, say; 0 for none): the search gallops out
// from there, so it costs O(log of the guess' error), O(log of the run's
// length) at worst.
template <class PixelOf>
std::int32_t LastInColumn(std::int32_t first, std::int32_t last, PixelOf&& pixelOf,
                          std::int32_t guess = 0) {
  const auto column = pixelOf(first);
  std::int64_t inside = first;                    // known to be in the column
  std::int64_t outside = std::int64_t{last} + 1;  // known past the run (or the end)
  std::int64_t step = 1;
  const std::int64_t expected = std::int64_t{first} + guess - 1;
  if (guess > 1 && expected <= last) {
    if (pixelOf(static_cast<std::int32_t>(expected)) == column) {
      inside = expected;
    } else {
      // Gallop back towards the start until a point of the column is found.
      outside = expected;
      while (outside - step > inside) {
        if (pixelOf(static_cast<std::int32_t>(outside - step)) == column) {
          inside = outside - step;
          break;
        }
        outside -= step;
        step *= 2;
      }
      step = 0;  // the run's end lies between inside and outside
    }
  }
  // Gallop forwards: find a point past the run, then bisect between.
  while (step > 0 && inside + step < outside) {
    if (pixelOf(static_cast<std::int32_t>(inside + step)) != column) {
      outside = inside + step;
      break;
    }
    inside += step;
    step *= 2;
  }
  while (outside - inside > 1) {
    const std::int64_t mid = inside + (outside - inside) / 2;
    if (pixelOf(static_cast<std::int32_t>(mid)) == column) inside = mid;
    else outside = mid;
  }
  return static_cast<std::int32_t>(inside);
}

// Inclusive runs of pixel rows, kept sorted and merged (touching runs join).
// Each band may also carry the range of readings whose markers made it: any
// reading inside that range has its marker inside the band too (the rows are
// monotonic in the reading and the band has no gap), so such readings need
// not be mapped to rows at all.
class TRowBands {
 public:
  struct Band {
    int top;
    int bottom;                                              // inclusive
    double low = std::numeric_limits<double>::infinity();    // readings' range,
    double high = -std::numeric_limits<double>::infinity();  // empty when unknown
  };
  void Clear() noexcept { bands_.clear(); }
  // True when every row of [top, bottom] is already in a band.
  bool Covers(int top, int bottom) const noexcept;
  // True when one band's readings' range holds [low, high].
  bool HoldsValues(double low, double high) const noexcept {
    for (const Band& b : bands_)
      if (b.low <= low && high <= b.high) return true;
    return false;
  }
  // Adds rows [top, bottom], made by markers of readings in [low, high].
  void Add(int top, int bottom, double low = std::numeric_limits<double>::infinity(),
           double high = -std::numeric_limits<double>::infinity());
  const std::vector<Band>& Bands() const noexcept { return bands_; }

 private:
  std::vector<Band> bands_;
};

// Depth-first from node (level, index) of the pyramid: done(node) handles a
// node whole and answers true, or answers false to have its children visited;
// the values of a block that is not done go to leaf(first, last).
template <class Done, class Leaf>
void DescendNodes(const TMinMaxPyramid& pyramid, std::int32_t level, std::int32_t index,
                  Done&& done, Leaf&& leaf) {
  struct Item {
    std::int32_t level;
    std::int32_t index;
  };
  // Each step replaces one node by its two children a level lower: the stack
  // never holds more than one node per level, plus one.
  Item stack[64];
  int size = 0;
  stack[size++] = {level, index};
  while (size > 0) {
    const Item item = stack[--size];
    if (done(pyramid.Node(item.level, item.index))) continue;
    if (item.level == 0) {
      leaf(pyramid.NodeFirst(0, item.index), pyramid.NodeLast(0, item.index));
      continue;
    }
    const std::int32_t left = item.index * 2;
    if (left + 1 < pyramid.NodeCount(item.level - 1)) stack[size++] = {item.level - 1, left + 1};
    stack[size++] = {item.level - 1, left};
  }
}

// True when rows r and r' of two values `gap` apart (in value), with the
// mapping moving at most rowsPerUnit rows per unit, are surely close enough
// for their markers [r - above, r + below] to touch: |r - r'| <= reach, where
// reach = above + below + 1. Each row is rounded (one row at most between
// them), and the slack covers the rounding of the arithmetic.
inline bool MarkersTouch(double gap, double rowsPerUnit, int reach) {
  return gap * rowsPerUnit * (1 + 1e-9) + 1e-6 + 1 <= reach;
}

// The rows the markers of values[first..last] cover, found from the grid
// values the range holds (see TMinMaxPyramid): each distinct value counts
// once, however often it was read, so the cost follows the distinct values
// and the pyramid's nodes, not the readings. Exact: the rows of the set of
// distinct values are the rows of all the values. Consecutive grid values
// whose markers surely touch (MarkersTouch) form one band from the row of
// the first to the row of the last (the mapping is monotonic), so only the
// ends of such a stretch are mapped to rows.
// False, with nothing added, when the range's smallest or largest value is
// off the grid or they lie too many grid steps apart; values off the grid
// inside the range are mapped one by one.
template <class RowOf>
bool CollectGridRowBands(const TMinMaxPyramid& pyramid, const double* values, std::int32_t first,
                         std::int32_t last, int above, int below, double rowsPerUnit,
                         const TMinMaxPyramid::Extremes& whole, RowOf&& rowOf, TRowBands& bands) {
  constexpr std::int64_t kWords = 32;  // grid values at most 2048 steps apart
  std::int64_t lo = 0, hi = 0;
  if (!pyramid.GridCode(whole.min, lo) || !pyramid.GridCode(whole.max, hi) ||
      hi - lo >= kWords * 64)
    return false;
  const int reach = above + below + 1;
  std::uint64_t words[kWords] = {};
  const std::int64_t used = (hi - lo) / 64 + 1;
  auto addGrid = [&](std::uint64_t grid, std::int64_t base) {
    const std::int64_t offset = base - lo;
    const std::int64_t word = offset >> 6, bit = offset & 63;
    words[word] |= grid << bit;
    if (bit != 0 && word + 1 < used) words[word + 1] |= grid >> (64 - bit);
  };
  auto addLoose = [&](std::int64_t from, std::int64_t to) {
    std::int64_t code = 0;
    for (std::int64_t i = from; i <= to; ++i) {
      const double v = values[i];
      if (i > from && v == values[i - 1]) continue;
      if (pyramid.GridCode(v, code)) {
        addGrid(1, code);
      } else {
        const int r = rowOf(v);
        bands.Add(r - above, r + below, v, v);
      }
    }
  };
  if (whole.grid != 0) {
    addGrid(whole.grid, lo);
  } else {
    auto visit = [&](std::int32_t level, std::int32_t index) {
      DescendNodes(
          pyramid, level, index,
          [&](const TMinMaxPyramid::Extremes& node) {
            if (node.grid != 0) addGrid(node.grid, pyramid.GridBase(node));
            return node.grid != 0;
          },
          addLoose);
    };
    pyramid.Decompose(first, last, addLoose, visit);
  }
  // Stretches of grid values whose markers touch, each one band. The gap is
  // taken between the values themselves: grid values in the single form lie
  // up to half a single's step off their decimals.
  std::int64_t start = -1;  // the open stretch: its first offset from lo, its last value
  double endValue = 0;
  auto close = [&] {
    const double a = pyramid.GridValue(lo + start);
    const int ra = rowOf(a), rb = rowOf(endValue);
    bands.Add(std::min(ra, rb) - above, std::max(ra, rb) + below, a, endValue);
  };
  for (std::int64_t w = 0; w < used; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const std::int64_t offset = w * 64 + std::countr_zero(bits);
      const double value = pyramid.GridValue(lo + offset);
      if (start >= 0 && !MarkersTouch(value - endValue, rowsPerUnit, reach)) {
        close();
        start = -1;
      }
      if (start < 0) start = offset;
      endValue = value;
    }
  }
  if (start >= 0) close();
  return true;
}

// Adds to `bands` the rows [r - above, r + below] of every value v in
// values[first..last], r = rowOf(v). rowOf must be monotonic over the range's
// values, which must hold no NaN (Query answered for the range), and move by
// at most rowsPerUnit rows per unit of value (plus one for rounding).
// Subranges settle whole, without looking at their values, when their rows
// cannot leave a gap between two markers: all rows lie within
// above + below + 1 of each other, or no step from one value to the next
// moves that far; subranges whose readings or rows are already in a band are
// skipped; only the rest are split down to single values.
// `whole` holds the range's extremes, as Query gives them.
template <class RowOf>
void CollectRowBands(const TMinMaxPyramid& pyramid, const double* values, std::int32_t first,
                     std::int32_t last, int above, int below, double rowsPerUnit,
                     const TMinMaxPyramid::Extremes& whole, RowOf&& rowOf, TRowBands& bands) {
  const int reach = above + below + 1;
  auto addValue = [&](double v) {
    if (bands.HoldsValues(v, v)) return;
    const int r = rowOf(v);
    bands.Add(r - above, r + below, v, v);
  };
  // Returns true when the values from min to max, no two consecutive ones
  // more than `step` apart, were settled without looking further down.
  auto settle = [&](double min, double max, double step) {
    if (bands.HoldsValues(min, max)) return true;
    const int a = rowOf(min), b = rowOf(max);
    const int lo = std::min(a, b), hi = std::max(a, b);
    if (bands.Covers(lo - above, hi + below)) return true;
    if (hi - lo <= reach || MarkersTouch(step, rowsPerUnit, reach)) {
      bands.Add(lo - above, hi + below, min, max);
      return true;
    }
    return false;
  };
  // Loose values in runs of 8: a run whose rows settle costs two mappings.
  auto addRun = [&](std::int64_t from, std::int64_t to) {
    for (std::int64_t start = from; start <= to; start += 8) {
      const std::int64_t end = std::min(start + 7, to);
      double min = values[start], max = values[start], step = 0;
      for (std::int64_t i = start + 1; i <= end; ++i) {
        min = std::min(min, values[i]);
        max = std::max(max, values[i]);
        step = std::max(step, std::fabs(values[i] - values[i - 1]));
      }
      if (end == start || !settle(min, max, step))
        for (std::int64_t i = start; i <= end; ++i) addValue(values[i]);
    }
  };
  auto visit = [&](std::int32_t level, std::int32_t index) {
    DescendNodes(
        pyramid, level, index,
        [&](const TMinMaxPyramid::Extremes& node) { return settle(node.min, node.max, node.step); },
        addRun);
  };

  if (settle(whole.min, whole.max, whole.step)) return;
  if (CollectGridRowBands(pyramid, values, first, last, above, below, rowsPerUnit, whole, rowOf,
                          bands))
    return;
  pyramid.Decompose(first, last, addRun, visit);
}

// The same, asking the pyramid for the range's extremes first.
template <class RowOf>
void CollectRowBands(const TMinMaxPyramid& pyramid, const double* values, std::int32_t first,
                     std::int32_t last, int above, int below, double rowsPerUnit, RowOf&& rowOf,
                     TRowBands& bands) {
  TMinMaxPyramid::Extremes whole{};
  if (pyramid.Query(values, first, last, whole))
    CollectRowBands(pyramid, values, first, last, above, below, rowsPerUnit, whole, rowOf, bands);
}

}  // namespace tempolog
