#include "chart/ColumnRuns.h"

namespace tempolog {

bool TRowBands::Covers(int top, int bottom) const noexcept {
  // The first band that ends at or after `top`.
  const auto it = std::lower_bound(bands_.begin(), bands_.end(), top,
                                   [](const Band& b, int row) { return b.bottom < row; });
  return it != bands_.end() && it->top <= top && it->bottom >= bottom;
}

void TRowBands::Add(int top, int bottom, double low, double high) {
  // Bands that overlap or touch [top, bottom] are merged into one.
  auto first = std::lower_bound(bands_.begin(), bands_.end(), top, [](const Band& b, int row) {
    return std::int64_t{b.bottom} + 1 < row;
  });
  auto end = first;
  while (end != bands_.end() && std::int64_t{end->top} - 1 <= bottom) {
    top = std::min(top, end->top);
    bottom = std::max(bottom, end->bottom);
    low = std::min(low, end->low);
    high = std::max(high, end->high);
    ++end;
  }
  if (first == end) {
    bands_.insert(first, {top, bottom, low, high});
    return;
  }
  *first = {top, bottom, low, high};
  bands_.erase(first + 1, end);
}

}  // namespace tempolog
