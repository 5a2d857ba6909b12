// The series kinds this program draws: TCustomSeries (lines and point
// markers) and TLineSeries, the series of the readings.
//
// This file holds their data side: a line series keeps the first point
// beyond the right edge of the plot in its visible range, so that the
// segment leaving the plot is drawn. Drawing (line pen, pointer, stairs)
// and the pixel margins it needs are added on top of these classes.
#pragma once

#include "chart/ChartEngine.h"

namespace tempolog {

class TCustomSeries : public TChartSeries {
 public:
  TCustomSeries();
};

class TLineSeries : public TCustomSeries {
 public:
  TLineSeries() = default;
};

}  // namespace tempolog
