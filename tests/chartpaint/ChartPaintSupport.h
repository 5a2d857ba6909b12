// Shared set-up of the chart paint tests: a Qt application (fonts), charts
// with fixed axis ranges so that values sit on known pixels, and call lists
// of a recording surface reduced to the primitives a test looks at.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/Chart.h"
#include "chart/Series.h"
#include "framework/RecordingSurface.h"
#include "framework/SurfaceQt.h"
#include "tests/canvas/CanvasTestSupport.h"

namespace tempolog::testing_support {

// A chart of the given size, painting straight onto the surface it is given
// (no kept bitmap), so a recording surface sees every call of a pass.
inline void MakeDirect(TChart& chart, int width, int height) {
  chart.SetBounds(width, height);
  chart.SetView3D(false);
  chart.SetBevelOuter(bvNone);
  chart.Title().SetVisible(false);
  chart.Legend().SetVisible(false);
  chart.Canvas().SetBuffered(false);
}

// Bottom and left axes fixed to 0..100; the other axes hidden.
inline void FixAxes(TChart& chart) {
  chart.BottomAxis().SetRange(0, 100);
  chart.LeftAxis().SetRange(0, 100);
  chart.TopAxis().SetVisible(false);
  chart.RightAxis().SetVisible(false);
}

// The calls named in `ops`, as text, in order.
inline std::vector<std::string> CallsOf(const TRecordingSurface& surface,
                                        std::initializer_list<std::string_view> ops) {
  std::vector<std::string> out;
  for (const TSurfaceCall& call : surface.Calls())
    for (std::string_view op : ops)
      if (call.Op == op) out.push_back(call.ToString());
  return out;
}

// Counts full paint passes.
struct PassCounter {
  int passes = 0;
  void Attach(TChart& chart) {
    chart.OnAfterDraw = [this](TCustomChartPanel&) { ++passes; };
  }
};

}  // namespace tempolog::testing_support
