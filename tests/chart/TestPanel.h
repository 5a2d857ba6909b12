// A minimal chart owner for the chart model tests: counts repaint requests
// and measures labels with fixed sizes.
#pragma once

#include <string_view>
#include <utility>

#include "chart/ChartEngine.h"
#include "chart/Series.h"

namespace tempolog::charttest {

class TestPanel : public TCustomAxisPanel {
 public:
  TestPanel() { SetPlotRect({0, 0, 500, 500}); }
  void Invalidate() override { ++invalidations; }
  int MeasureLabelWidth(const TCustomChartAxis&, std::string_view line) const override {
    return static_cast<int>(line.size()) * charWidth;
  }
  int MeasureLabelHeight(const TCustomChartAxis&) const override { return fontHeight; }

  int invalidations = 0;
  int charWidth = 6;
  int fontHeight = 18;
};

// Gives the axis the user range lo..hi and lays it out over the panel's plot.
inline void ScaleAxis(TCustomChartAxis& axis, double lo, double hi) {
  axis.SetRange(lo, hi);
  axis.ComputeRange();
  axis.UpdatePixelSpan();
}

// A chart of one line series on the bottom and left axes of `Panel`, which
// is made with the arguments given.
template <typename Panel>
struct ChartOf {
  template <typename... Args>
  explicit ChartOf(Args&&... args) : panel(std::forward<Args>(args)...) {
    panel.AddSeries(series);
  }
  TChartAxis& Bottom() { return panel.BottomAxis(); }
  TChartAxis& Left() { return panel.LeftAxis(); }
  // The axes' ranges from the series, laid out over the plot.
  void Layout() {
    panel.ComputeAxisRanges();
    panel.UpdateAxisPixelSpans();
  }
  // A fixed range lo..hi on the axis, laid out over the plot.
  void Scale(TCustomChartAxis& axis, double lo, double hi) { ScaleAxis(axis, lo, hi); }

  Panel panel;
  TLineSeries series;
};

}  // namespace tempolog::charttest
