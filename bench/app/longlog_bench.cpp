// A long recording end to end: a log file of 10^6 or 10^7 lines (one reading
// a second: 11.6 or 116 days) written with the program's own log line, loaded
// through the window's Load (the menu command, its file dialog answered), and
// then the chart's frames as the user meets them:
//   first      the frame right after the load (the window has shown its
//              empty chart before, as it does at start)
//   again      a further frame of the same view
//   pan        a frame after dragging the plot by a tenth of its width
//   day        a frame after zooming into one day in the middle
// Frames are the program's chart at 750 x 596 painted into an off-screen
// image; "_ms" counters are CPU time of the window's thread, a first frame
// once, the others the median of five. The same frames are then drawn point
// by point ("every_" counters), as the chart did before its reduced drawing.
//
// The readings are what a thermometer answering with one decimal gives: a
// daily cycle of +-3 degrees with a slow drift and noise that flips between
// neighbouring 0.1 values. Memory: peak_MB is the process's high-water mark
// (reset before the load), peak_B_per_reading its growth over the resident
// size before the load, divided by the readings.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/SurfaceQt.h"
#include "tests/support/ProcessMemory.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 596;
constexpr int kRepeats = 5;

// Writes `lines` log lines, one reading a second from 2024-03-05 07:04:09,
// into `path` as the window writes them (LogLine, CR LF).
void WriteLongLog(const std::string& path, std::int64_t lines, const TFormatSettings& settings) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.05);
  const TDateTimeValue start = EncodeDateTimeValue(2024, 3, 5, 7, 4, 9);
  std::string chunk;
  char reply[32];
  for (std::int64_t i = 0; i < lines; ++i) {
    const double t = static_cast<double>(i);
    const double v = 21 + 3 * std::sin(t * 6.283185307 / 86400) + t * 2e-7 + noise(rng);
    std::snprintf(reply, sizeof reply, "%.1f", v);
    chunk += LogLine(settings, start + t / 86400.0, reply);
    chunk += "\r\n";
    if (chunk.size() > (1u << 20)) {
      file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// The CPU milliseconds of one frame of the window's chart.
double FrameMs(TChart& chart, TBitmapSurface& surface) {
  const double before = ThreadCpuMs();
  chart.PaintChart(&surface, {0, 0, kWidth, kHeight});
  benchmark::DoNotOptimize(surface.Image()->constBits());
  return ThreadCpuMs() - before;
}

double MedianFrameMs(TChart& chart, TBitmapSurface& surface) {
  std::vector<double> ms;
  for (int i = 0; i < kRepeats; ++i) ms.push_back(FrameMs(chart, surface));
  std::nth_element(ms.begin(), ms.begin() + kRepeats / 2, ms.end());
  return ms[kRepeats / 2];
}

// Drags the plot to the right by a tenth of its width with the pan button,
// as the user does: the view moves back in time.
void PanByTenth(TChart& chart) {
  const TRect plot = chart.PlotRect();
  const int y = (plot.Top + plot.Bottom) / 2;
  const int x = (plot.Left + plot.Right) / 2;
  chart.MouseDown(PanButton, PanShiftKeys, x, y);
  chart.MouseMove(PanShiftKeys, x + plot.Width() / 10, y);
  chart.MouseUp(PanButton, PanShiftKeys, x + plot.Width() / 10, y);
}

// Shows one whole day in the middle of the readings.
void ZoomIntoDay(TChart& chart, const TLineSeries& series) {
  const double middle = (series.MinimumX() + series.MaximumX()) / 2;
  chart.BottomAxis().SetRange(std::floor(middle), std::floor(middle) + 1);
}

// The frames of the four views, from the automatic range on; `prefix` names
// the counters. With `repeat` false each view is painted once.
void MeasureFrames(benchmark::State& state, TForm1& form, TBitmapSurface& surface,
                   const std::string& prefix, bool repeat) {
  TChart& chart = *form.Chart;
  chart.ResetZoom();
  state.counters[prefix + "first_ms"] = FrameMs(chart, surface);
  if (repeat) state.counters[prefix + "again_ms"] = MedianFrameMs(chart, surface);
  PanByTenth(chart);
  state.counters[prefix + "pan_ms"] =
      repeat ? MedianFrameMs(chart, surface) : FrameMs(chart, surface);
  ZoomIntoDay(chart, *form.Series1);
  state.counters[prefix + "day_ms"] =
      repeat ? MedianFrameMs(chart, surface) : FrameMs(chart, surface);
}

// Argument: the lines of the log.
void BM_LongLog(benchmark::State& state) {
  const std::int64_t lines = state.range(0);
  TScriptedDialogs dialogs;
  auto form = std::make_unique<TForm1>();
  form->Chart->SetBounds(kWidth, kHeight);
  // The window shows its empty chart before the user can load a log: that
  // first paint (fonts looked up, texts measured) is not the log's frame.
  TBitmapSurface surface(kWidth, kHeight);
  form->Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tempolog-longlog-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "long.log").string();
  WriteLongLog(path, lines, form->TextSettings);

  double loadCpuMs = 0;
  long baseKb = 0;
  long peakKb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form->Kasuj1Click();
    baseKb = StatusKilobytes("VmRSS");
    ResetPeakMemory();
    dialogs.AnswerFile(path);
    const double cpuBefore = ThreadCpuMs();
    state.ResumeTiming();
    form->Odczytajzpliku1Click();
    state.PauseTiming();
    loadCpuMs = ThreadCpuMs() - cpuBefore;
    peakKb = StatusKilobytes("VmHWM");
    state.ResumeTiming();
  }
  if (form->Series1->PointCount() != lines ||
      !dialogs.Boxes(TScriptedDialogs::Kind::Error).empty()) {
    state.SkipWithError("the log did not load completely");
  }
  state.counters["load_cpu_s"] = loadCpuMs / 1e3;
  state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
  state.counters["peak_B_per_reading"] =
      static_cast<double>(peakKb - baseKb) * 1024.0 / static_cast<double>(lines);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

  MeasureFrames(state, *form, surface, "", true);
  form->Series1->SetDrawEveryPoint(true);
  MeasureFrames(state, *form, surface, "every_", false);
  form->Series1->SetDrawEveryPoint(false);

  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_LongLog)
    ->ArgName("lines")
    ->Arg(1000000)
    ->Arg(10000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tempolog
