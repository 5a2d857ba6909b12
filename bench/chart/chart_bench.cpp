// Chart model benchmarks. Memory is read from /proc/self/status (VmRSS and
// VmHWM) around the appends and reported as counters in bytes per point.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "chart/Series.h"
#include "tests/support/InstrumentReadings.h"

namespace tempolog {
namespace {

constexpr int kPoints = 10'000'000;
constexpr double kStart = 46000.0;         // a day in 2025
constexpr double kPeriod = 1.0 / 86400.0;  // one reading a second

// Reading i: 20.0 to 29.9 in steps of 0.1 over and over, as the program
// holds the replies "20.0" to "29.9" (parsed and rounded to single).
double Reading(int i) {
  static const std::vector<double> readings = [] {
    std::vector<double> r;
    for (int k = 0; k < 100; ++k) r.push_back(PlottedReading(20.0 + k * 0.1, 1));
    return r;
  }();
  return readings[static_cast<std::size_t>(i % 100)];
}

// Resident and peak resident memory of the process in bytes.
struct Memory {
  long long rss = 0;
  long long hwm = 0;
};

Memory ReadMemory() {
  Memory m;
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return m;
  char line[256];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    long long kb = 0;
    if (std::sscanf(line, "VmRSS: %lld kB", &kb) == 1) m.rss = kb * 1024;
    if (std::sscanf(line, "VmHWM: %lld kB", &kb) == 1) m.hwm = kb * 1024;
  }
  std::fclose(f);
  return m;
}

class Panel : public TCustomAxisPanel {
 public:
  void Invalidate() override { ++invalidations; }
  long long invalidations = 0;
};

// The recorder's path: one reading after another, in time order, default
// colour and no label, into a series on a chart.
void BM_AppendInOrder(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const Memory before = ReadMemory();
    Panel panel;
    auto series = std::make_unique<TLineSeries>();
    panel.AddSeries(*series);
    state.ResumeTiming();
    for (int i = 0; i < kPoints; ++i) {
      series->AddPoint(kStart + i * kPeriod, Reading(i));
    }
    state.PauseTiming();
    const Memory after = ReadMemory();
    state.counters["rss_bytes_per_point"] = static_cast<double>(after.rss - before.rss) / kPoints;
    state.counters["hwm_bytes_per_point"] = static_cast<double>(after.hwm - before.hwm) / kPoints;
    state.counters["x_capacity"] = series->XValues().Capacity();
    benchmark::DoNotOptimize(series->XValues().Largest());
    series.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_AppendInOrder)->Iterations(1)->Unit(benchmark::kMillisecond);

// Each append followed by the statistics the next layout reads: the
// statistics are kept up to date, no pass over the list per append.
void BM_AppendAndReadStatistics(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TLineSeries series;
    for (int i = 0; i < n; ++i) {
      series.AddPoint(kStart + i * kPeriod, Reading(i));
      benchmark::DoNotOptimize(series.MinimumX() + series.MaximumX() + series.MinimumY() +
                               series.MaximumY());
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AppendAndReadStatistics)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// A chart with a bottom axis over the series' time span, laid out on a plot
// 700 pixels wide.
struct ScaledChart {
  Panel panel;
  TLineSeries series;
  explicit ScaledChart(int points) {
    panel.AddSeries(series);
    panel.SetPlotRect({40, 20, 740, 520});
    for (int i = 0; i < points; ++i) series.AddPoint(kStart + i * kPeriod, Reading(i));
    panel.ComputeAxisRanges();
    panel.UpdateAxisPixelSpans();
    panel.ApplySeriesMargins();
  }
};

void BM_ValueToPixel(benchmark::State& state) {
  ScaledChart chart(1000);
  const TCustomChartAxis& bottom = chart.panel.BottomAxis();
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> spread(bottom.CurrentMinimum(), bottom.CurrentMaximum());
  double values[1024];
  for (double& v : values) v = spread(random);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bottom.ValueToPixel(values[i++ & 1023]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ValueToPixel);

// The visible range after zooming into the last hour of 10 million
// readings: bisection over the ordered X values, and the point-by-point walk
// that a list not known to be in order takes.
void BM_ComputeVisibleRange(benchmark::State& state) {
  const bool ordered = state.range(0) != 0;
  static ScaledChart* chart = nullptr;
  if (chart == nullptr) chart = new ScaledChart(kPoints);
  TLineSeries& series = chart->series;
  // One value in the middle put in place out of order makes the list
  // unordered; putting it back makes it ordered again.
  const int middle = kPoints / 2;
  series.XValues().SetValue(middle, ordered ? kStart + middle * kPeriod : kStart);
  const double end = kStart + kPoints * kPeriod;
  chart->panel.BottomAxis().SetRange(end - 1.0 / 24, end - 0.5 / 24);
  chart->panel.ComputeAxisRanges();
  chart->panel.UpdateAxisPixelSpans();
  for (auto _ : state) {
    series.ComputeVisibleRange();
    benchmark::DoNotOptimize(series.LastShownIndex());
  }
  state.counters["first"] = series.FirstShownIndex();
  state.counters["last"] = series.LastShownIndex();
}
BENCHMARK(BM_ComputeVisibleRange)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tempolog

BENCHMARK_MAIN();
