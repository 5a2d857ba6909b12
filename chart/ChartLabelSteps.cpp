// The numeric and date-time label steps of the axes, and RoundPixel.
#include "chart/ChartLabelSteps.h"

#include <cmath>

#include "chart/ChartEngineDetail.h"

namespace tempolog {

using chart_engine_detail::kInt32Max;
using chart_engine_detail::kInt32Min;
using chart_engine_detail::LabelSettings;
using chart_engine_detail::RoundEven;

std::int32_t RoundPixel(long double value) {
  if (std::isnan(value)) return 0;
  const long double r = RoundEven(value);
  if (r <= static_cast<long double>(kInt32Min)) return static_cast<std::int32_t>(kInt32Min);
  if (r >= static_cast<long double>(kInt32Max)) return static_cast<std::int32_t>(kInt32Max);
  return static_cast<std::int32_t>(r);
}

// ===========================================================================
// Label steps

double NextNiceStep(double s) {
  if (!(s > 0) || !std::isfinite(s)) return s;
  if (s >= 10) return static_cast<double>(NextNiceStep(static_cast<double>(s * 0.1L)) * 10.0L);
  if (s >= 5) return 10.0;
  if (s >= 2) return 5.0;
  if (s >= 1) return 2.0;
  return static_cast<double>(NextNiceStep(static_cast<double>(s * 10.0L)) * 0.1L);
}

double NextDateTimeStepUp(double s) {
  for (int i = NoDateTimeStep - 2; i >= 0; --i) {
    if (s >= DateTimeStepTable[static_cast<std::size_t>(i)]) {
      return DateTimeStepTable[static_cast<std::size_t>(i) + 1];
    }
  }
  return DateTimeStepTable.back();
}

int NearestDateTimeStep(double x) {
  for (int i = NoDateTimeStep - 1; i >= 0; --i) {
    if (std::fabs(DateTimeStepTable[static_cast<std::size_t>(i)] - x) < OneSecond) return i;
  }
  return NoDateTimeStep;
}

std::string DateTimeFormatForStep(double d) {
  return d > 1 ? LabelSettings().shortDateFormat : LabelSettings().shortTimeFormat;
}

}  // namespace tempolog
