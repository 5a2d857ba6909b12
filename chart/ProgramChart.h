// The program's chart of readings, built the same way for the main window,
// the screenshot tool and the benchmarks.
#pragma once

#include <memory>

#include "chart/Chart.h"
#include "chart/Series.h"

namespace tempolog {

// The colour of the readings' line (red 220, green 0, blue 100).
inline constexpr TColor kReadingsColor = 6553820;

// The program's axes: date-time bottom axis with upright labels every
// minute, readings on the left axis, percent on the right, no top axis.
void SetUpProgramAxes(TCustomAxisPanel& panel);

// Gives `chart` and `series1` every setting of the program's chart and
// adds the series to the chart: date-time bottom axis, readings on the
// left axis, a maroon stepped line with small square markers.
void SetUpProgramChart(TChart& chart, TLineSeries& series1);

// A ready chart with its series "Temperatura".
struct TProgramChart {
  std::unique_ptr<TChart> Chart;
  std::unique_ptr<TLineSeries> Series1;  // declared last: leaves the chart first
};

// Off-screen until a window shows it (framework/SurfaceWidget.h).
TProgramChart MakeProgramChart();

}  // namespace tempolog
