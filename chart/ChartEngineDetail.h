// Helpers shared by the chart engine's source files (ChartSeriesBase.cpp,
// ChartLabelSteps.cpp, ChartAxis.cpp, ChartAxisDraw.cpp); not part of the
// chart's interface.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/textconv/TextConv.h"

namespace tempolog::chart_engine_detail {

inline constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The nearest 32-bit pixel coordinate.
inline std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp(value, kInt32Min, kInt32Max));
}

// Ties to even, whole number as a long double (NaN and infinities pass).
inline long double RoundEven(long double value) { return std::nearbyintl(value); }

// The process-wide settings from the user's locale that labels are written
// in, taken once.
inline const TFormatSettings& LabelSettings() {
  static const TFormatSettings settings = ProcessFormatSettings();
  return settings;
}

}  // namespace tempolog::chart_engine_detail
