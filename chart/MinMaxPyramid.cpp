#include "chart/MinMaxPyramid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace tempolog {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

bool TMinMaxPyramid::OnGrid(double value, GridForm form, std::int64_t& code) noexcept {
  const double scale = kPowersOfTen[form.digits];
  const double c = RoundHalfEven(value * scale);
  // Codes stay far inside the doubles' exact integers, so value * scale rounds
  // to the nearest code whenever there is one; the division (and, for the
  // single form, the rounding to single) then decides.
  if (!(std::fabs(c) < 0x1p50)) return false;
  const double decimal = c / scale;
  if ((form.single ? static_cast<double>(static_cast<float>(decimal)) : decimal) != value)
    return false;
  code = static_cast<std::int64_t>(c);
  return true;
}

bool TMinMaxPyramid::GridCode(double value, std::int64_t& code) const noexcept {
  return OnGrid(value, form_, code);
}

std::int64_t TMinMaxPyramid::GridBase(const Extremes& node) const noexcept {
  return static_cast<std::int64_t>(RoundHalfEven(node.min * GridScale()));
}

void TMinMaxPyramid::NoteFinerGrid(double value, GridNotes& notes) noexcept {
  std::int64_t code = 0;
  // Fewest decimals first; with as many, the decimal form before the single.
  for (int d = notes.finer.digits; d <= kMaxDigits; ++d) {
    for (const bool single : {false, true}) {
      // The form never goes back to decimals, and leaves them only while
      // every value taken in is a single too.
      if (single ? !notes.finer.single && notes.decimalOnlySeen : notes.finer.single) continue;
      if (OnGrid(value, {d, single}, code)) {
        notes.finer = {d, single};
        return;
      }
    }
  }
}

std::uint64_t TMinMaxPyramid::ScanGrid(const double* values, std::int64_t first, std::int64_t last,
                                       double min, GridNotes* notes) const noexcept {
  auto codeOf = [&](double v, std::int64_t& code) {
    if (!GridCode(v, code)) {
      if (notes != nullptr) NoteFinerGrid(v, *notes);
      return false;
    }
    // (On the grid, |v| < 2^50: the conversion to single is defined.)
    if (notes != nullptr && !form_.single && static_cast<double>(static_cast<float>(v)) != v)
      notes->decimalOnlySeen = true;
    return true;
  };
  std::int64_t base = 0;
  if (!codeOf(min, base)) return 0;
  std::uint64_t grid = 0;
  double previous = min;  // a repeated value needs no second look
  std::int64_t code = 0;
  for (std::int64_t i = first; i <= last; ++i) {
    const double v = values[i];
    if (v == previous && grid != 0) continue;
    previous = v;
    if (!codeOf(v, code)) return 0;
    if (code - base > 63) return 0;
    grid |= std::uint64_t{1} << (code - base);
  }
  return grid;
}

std::uint64_t TMinMaxPyramid::CombineGrids(const Extremes& a, const Extremes& b) const noexcept {
  if (a.grid == 0 || b.grid == 0) return 0;
  const std::int64_t ca = GridBase(a), cb = GridBase(b), base = std::min(ca, cb);
  std::uint64_t grid = 0;
  for (const auto& [g, c] : {std::pair{a.grid, ca}, std::pair{b.grid, cb}}) {
    const std::int64_t shift = c - base;
    // Bits shifted past 63 would be lost: the node no longer knows.
    if (shift > 63 || (shift > 0 && (g >> (64 - shift)) != 0)) return 0;
    grid |= g << shift;
  }
  return grid;
}

TMinMaxPyramid::Extremes TMinMaxPyramid::Scan(const double* values, std::int64_t first,
                                              std::int64_t last, GridNotes* notes) const noexcept {
  double lo = values[first], hi = values[first];
  // A step from or to a NaN, or between equal infinities, is taken as endless.
  auto stepTo = [values](std::int64_t i) {
    const double d = std::fabs(values[i] - values[i - 1]);
    return std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
  };
  double step = first > 0 ? stepTo(first) : 0.0;
  bool nan = std::isnan(lo);
  for (std::int64_t i = first + 1; i <= last; ++i) {
    const double v = values[i];
    const double d = stepTo(i);
    nan |= std::isnan(v);
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
    step = d > step ? d : step;
  }
  if (nan) return {kNaN, kNaN, kNaN, 0};
  return {lo, hi, step, ScanGrid(values, first, last, lo, notes)};
}

TMinMaxPyramid::Extremes TMinMaxPyramid::Combine(const Extremes& a,
                                                 const Extremes& b) const noexcept {
  if (std::isnan(a.min) || std::isnan(b.min)) return {kNaN, kNaN, kNaN, 0};
  return {std::min(a.min, b.min), std::max(a.max, b.max), std::max(a.step, b.step),
          CombineGrids(a, b)};
}

std::int64_t TMinMaxPyramid::NodeLast(std::int32_t level, std::int32_t index) const noexcept {
  const std::int64_t end = (std::int64_t{index} + 1) << (kBlockShift + level);
  return std::min<std::int64_t>(end, count_) - 1;
}

void TMinMaxPyramid::Clear() noexcept {
  levels_.clear();
  levels_.shrink_to_fit();
  count_ = 0;
}

void TMinMaxPyramid::Build(const double* values, std::int32_t count, std::int32_t valuesPerThread) {
  Clear();
  form_ = {};
  notes_ = {};
  Extend(values, count, valuesPerThread);
}

void TMinMaxPyramid::Update(const double* values, std::int32_t count, std::int32_t firstChanged) {
  // Whole blocks before the first changed value stay, with the grid form.
  const std::int32_t kept = std::max(std::min({firstChanged, count, count_}), 0) >> kBlockShift;
  if (kept == 0) {
    Build(values, count);
    return;
  }
  levels_[0].resize(static_cast<std::size_t>(kept));
  count_ = kept << kBlockShift;
  if (count > count_) {
    Extend(values, count);
    return;
  }
  try {
    UpdateUpperLevels(kept);
  } catch (...) {
    Clear();
    throw;
  }
}

void TMinMaxPyramid::Extend(const double* values, std::int32_t count,
                            std::int32_t valuesPerThread) {
  if (count < count_) {
    Build(values, count, valuesPerThread);
    return;
  }
  if (count == count_) return;
  if (levels_.empty()) levels_.emplace_back();
  std::vector<Extremes>& base = levels_[0];
  const std::int32_t oldCount = count_;
  const std::int32_t firstChanged = oldCount >> kBlockShift;
  const std::int32_t blocks = ((count - 1) >> kBlockShift) + 1;
  // Grows by a quarter at a time, as the value lists do: growing to the exact
  // size would copy the whole level on every new block, that is every 32
  // readings appended one at a time.
  const std::size_t needed = static_cast<std::size_t>(blocks);
  if (base.capacity() < needed)
    base.reserve(
        std::max(needed, base.capacity() + base.capacity() / 4));  // may throw: nothing changed yet
  std::int64_t from = oldCount;
  if ((oldCount & (kBlockSize - 1)) != 0) {
    // The last block was partial: fold the new values of that block into it.
    const std::int64_t blockEnd =
        std::min<std::int64_t>(std::int64_t{firstChanged + 1} << kBlockShift, count);
    base[static_cast<std::size_t>(firstChanged)] = Combine(
        base[static_cast<std::size_t>(firstChanged)], Scan(values, from, blockEnd - 1, &notes_));
    from = blockEnd;
  }
  if (from < count && notes_.finer == form_) {
    // From a block's start on: the new blocks follow the ones kept.
    base.resize(static_cast<std::size_t>(blocks));
    const auto first = static_cast<std::int32_t>(from >> kBlockShift);
    base.resize(static_cast<std::size_t>(
        ScanNewBlocks(values, count, first, blocks, base.data(), valuesPerThread)));
  }
  if (!(notes_.finer == form_)) {
    // Values on a finer grid: every node's grid is counted again in it.
    const GridForm finer = notes_.finer;
    Clear();
    form_ = finer;
    Extend(values, count, valuesPerThread);
    return;
  }
  count_ = count;
  try {
    UpdateUpperLevels(firstChanged);
  } catch (...) {
    Clear();  // half-updated levels must not answer; the next Extend rebuilds
    throw;
  }
}

std::int32_t TMinMaxPyramid::ScanBlocks(const double* values, std::int32_t count,
                                        std::int32_t first, std::int32_t end, Extremes* nodes,
                                        GridNotes& notes,
                                        const std::atomic<bool>* abandon) const noexcept {
  std::int32_t block = first;
  while (block < end && notes.finer == form_ &&
         (abandon == nullptr || !abandon->load(std::memory_order_relaxed))) {
    const std::int64_t from = std::int64_t{block} << kBlockShift;
    const std::int64_t blockEnd = std::min<std::int64_t>(from + kBlockSize, count);
    nodes[block++] = Scan(values, from, blockEnd - 1, &notes);
  }
  return block;
}

std::int32_t TMinMaxPyramid::ScanNewBlocks(const double* values, std::int32_t count,
                                           std::int32_t first, std::int32_t end, Extremes* nodes,
                                           std::int32_t valuesPerThread) {
  const std::int64_t values64 = (std::int64_t{end} - first) << kBlockShift;
  if (std::thread::hardware_concurrency() < 2 || values64 < 2 * std::int64_t{valuesPerThread})
    return ScanBlocks(values, count, first, end, nodes, notes_, nullptr);
  // The second half is scanned on a thread of its own with the notes as they
  // stand now; the first half's notes are those of one thread.
  const std::int32_t mid = first + (end - first) / 2;
  const GridNotes before = notes_;
  GridNotes second = notes_;
  std::int32_t secondEnd = mid;
  std::atomic<bool> firstNeedsFiner{false};  // the second half's work is lost then
  std::thread worker;
  try {
    worker = std::thread([&]() noexcept {
      secondEnd = ScanBlocks(values, count, mid, end, nodes, second, &firstNeedsFiner);
    });
  } catch (const std::exception&) {
    return ScanBlocks(values, count, first, end, nodes, notes_, nullptr);
  }
  const std::int32_t firstEnd = ScanBlocks(values, count, first, mid, nodes, notes_, nullptr);
  if (!(notes_.finer == form_)) firstNeedsFiner.store(true, std::memory_order_relaxed);
  worker.join();
  if (!(notes_.finer == form_)) return firstEnd;  // rebuilt with the finer grid
  if (second.finer == form_) {
    notes_.decimalOnlySeen |= second.decimalOnlySeen;
    return end;
  }
  // The second half needs a finer grid, and which one depends on the values
  // taken in before it: when the first half saw a value on the decimal grid
  // that is no single, the second half is taken in again after it.
  if (notes_.decimalOnlySeen && !before.decimalOnlySeen)
    return ScanBlocks(values, count, mid, end, nodes, notes_, nullptr);
  notes_ = second;
  return secondEnd;
}

void TMinMaxPyramid::UpdateUpperLevels(std::int32_t from) {
  std::size_t k = 0;
  for (; levels_[k].size() > 1; ++k) {
    if (levels_.size() == k + 1) levels_.emplace_back();
    const std::vector<Extremes>& below = levels_[k];
    std::vector<Extremes>& above = levels_[k + 1];
    const std::size_t size = (below.size() + 1) / 2;
    if (above.capacity() < size)
      above.reserve(std::max(size, above.capacity() + above.capacity() / 4));
    above.resize(size);
    for (std::size_t j = static_cast<std::size_t>(from) / 2; j < size; ++j) {
      const std::size_t left = 2 * j;
      above[j] = left + 1 < below.size() ? Combine(below[left], below[left + 1]) : below[left];
    }
    from /= 2;
  }
  levels_.resize(k + 1);  // levels above the top one are left from more values
}

bool TMinMaxPyramid::Query(const double* values, std::int32_t first, std::int32_t last,
                           Extremes& out) const {
  Extremes acc{};
  bool empty = true;
  auto add = [&](const Extremes& part) {
    acc = empty ? part : Combine(acc, part);
    empty = false;
  };
  Decompose(
      first, last,
      [&](std::int64_t from, std::int64_t to) { add(Scan(values, from, to, nullptr)); },
      [&](std::int32_t level, std::int32_t index) {
        add(levels_[static_cast<std::size_t>(level)][static_cast<std::size_t>(index)]);
      });
  if (std::isnan(acc.min)) return false;
  out = acc;
  return true;
}

bool TMinMaxPyramid::Query(const double* values, std::int32_t first, std::int32_t last, double& min,
                           double& max) const {
  Extremes e;
  if (!Query(values, first, last, e)) return false;
  min = e.min;
  max = e.max;
  return true;
}

void TMinMaxPyramid::Prefetch(const double* values, std::int64_t index) const noexcept {
  if (index < 0 || index >= count_) return;
  const std::int64_t block = index >> kBlockShift;
  for (std::int64_t i = block << kBlockShift;
       i < std::min<std::int64_t>((block + 1) << kBlockShift, count_); i += 8)
    __builtin_prefetch(values + i);
  for (std::size_t k = 0; k < levels_.size(); ++k)
    __builtin_prefetch(levels_[k].data() + (block >> k));
}

std::size_t TMinMaxPyramid::MemoryBytes() const noexcept {
  std::size_t bytes = levels_.capacity() * sizeof(std::vector<Extremes>);
  for (const auto& level : levels_) bytes += level.capacity() * sizeof(Extremes);
  return bytes;
}

}  // namespace tempolog
