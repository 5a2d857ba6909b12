// The chart both chart paint benchmarks draw: the program's chart (layout,
// axes, grids, the stepped line with its markers) painted into a 750 × 596
// off-screen image, holding a random walk of readings one second apart, made
// on the program's own road (reply text, ParseNumber, RoundToSingle).
// chartpaint_bench times it with Google Benchmark; chartframe_bench times it
// with a plain clock so that the Windows build (under Wine) measures the very
// same work.
#pragma once

#include <random>
#include <vector>

#include "chart/ProgramChart.h"
#include "framework/SurfaceQt.h"
#include "tests/support/InstrumentReadings.h"

namespace tempolog::bench {

inline constexpr int kWidth = 750;
inline constexpr int kHeight = 596;

struct Readings {
  std::vector<double> x;
  std::vector<double> y;
};

// A temperature wandering by up to 0.05 degrees a second from 21 degrees,
// read from an instrument that answers with two decimals ("21.37"), as the
// program reads it (ParseNumber, then RoundToSingle).
inline Readings RandomWalk(int count) {
  Readings r;
  r.x.reserve(count);
  r.y.reserve(count);
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> step(-0.05, 0.05);
  double value = 21.0;
  const double start = 45356.0;  // 5 March 2024
  for (int i = 0; i < count; ++i) {
    r.x.push_back(start + i * OneSecond);
    r.y.push_back(PlottedReading(value, 2));
    value += step(random);
  }
  return r;
}

// The program's chart holding `data`, laid out for the image's size.
inline TProgramChart MakeWalkChart(const Readings& data) {
  TProgramChart chart = MakeProgramChart();
  chart.Chart->SetBounds(kWidth, kHeight);
  for (std::size_t i = 0; i < data.x.size(); ++i) chart.Series1->AddPoint(data.x[i], data.y[i]);
  return chart;
}

// One frame: the whole chart painted into `target` (kWidth × kHeight).
inline void PaintWalkChart(TProgramChart& chart, TBitmapSurface& target) {
  chart.Chart->PaintChart(&target, {0, 0, kWidth, kHeight});
}

}  // namespace tempolog::bench
