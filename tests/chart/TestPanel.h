// A minimal chart owner for the chart model tests: counts repaint requests
// and measures labels with fixed sizes.
#pragma once

#include <string_view>

#include "chart/ChartEngine.h"

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

}  // namespace tempolog::charttest
