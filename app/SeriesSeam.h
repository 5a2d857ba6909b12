// The chart series the window plots readings into. Until the chart's own line
// series is in the build, a minimal series with the same operations stands in.
#pragma once

#if __has_include("chart/Series.h")
#include "chart/Series.h"
#else
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Colors.h"

namespace tempolog {

class TLineSeries {
 public:
  const std::string& Title() const { return title_; }
  void SetTitle(std::string value) { title_ = std::move(value); }
  std::int32_t PointCount() const { return static_cast<std::int32_t>(x_.size()); }
  double XValue(std::int32_t i) const { return x_.at(static_cast<std::size_t>(i)); }
  double YValue(std::int32_t i) const { return y_.at(static_cast<std::size_t>(i)); }
  std::int32_t AddPoint(double x, double y, std::string_view = {}, TColor = clDefault) {
    // Points stay in ascending X order; equal X values keep their arrival order.
    const auto at = std::upper_bound(x_.begin(), x_.end(), x) - x_.begin();
    x_.insert(x_.begin() + at, x);
    y_.insert(y_.begin() + at, y);
    return static_cast<std::int32_t>(at);
  }
  void RemoveAllPoints() {
    x_.clear();
    y_.clear();
  }

 private:
  std::string title_;
  std::vector<double> x_, y_;
};

}  // namespace tempolog
#endif
