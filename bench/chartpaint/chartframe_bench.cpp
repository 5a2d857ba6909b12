// The frame time of the program's chart without Google Benchmark, so that the
// Windows build measures it too (under Wine: scripts/bench-wine puts the two
// side by side). The chart, its readings and the paint are chartpaint_bench's
// (WalkChart.h): 750 × 596 off-screen image, random walk of 10^3, 10^5 and
// 10^6 readings. For each size the first frame is timed alone, then a number
// of frames one by one (wall clock); the table gives their median and
// minimum, and the thread's processor time per frame over all of them.
//
//   chartframe_bench [--frames N]
//
// Options of Google Benchmark (--benchmark_...) are ignored: scripts/bench
// hands its arguments to every benchmark program.
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QSysInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "bench/chartpaint/ThreadTime.h"
#include "bench/chartpaint/WalkChart.h"

namespace {

using namespace tempolog;
using namespace tempolog::bench;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct FrameTimes {
  double first = 0;        // ms, the chart's first frame
  double median = 0;       // ms, of the further frames
  double minimum = 0;      // ms
  double cpuPerFrame = 0;  // ms of the thread's processor time, mean
};

FrameTimes TimeFrames(int readings, int frames) {
  const Readings data = RandomWalk(readings);
  TProgramChart chart = MakeWalkChart(data);
  TBitmapSurface target(kWidth, kHeight);
  FrameTimes result;
  Clock::time_point start = Clock::now();
  PaintWalkChart(chart, target);
  result.first = Milliseconds(Clock::now() - start);

  std::vector<double> times;
  times.reserve(frames);
  const double cpuStart = ThreadSeconds();
  for (int i = 0; i < frames; ++i) {
    start = Clock::now();
    PaintWalkChart(chart, target);
    times.push_back(Milliseconds(Clock::now() - start));
  }
  result.cpuPerFrame = (ThreadSeconds() - cpuStart) * 1000.0 / frames;
  std::sort(times.begin(), times.end());
  const std::size_t half = times.size() / 2;
  result.median = times.size() % 2 ? times[half] : (times[half - 1] + times[half]) / 2;
  result.minimum = times.front();
  return result;
}

int FramesFromArguments(int argc, char** argv) {
  int frames = 200;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--frames" && i + 1 < argc) {
      frames = std::atoi(argv[++i]);
    } else if (!arg.starts_with("--benchmark")) {
      std::fprintf(stderr, "usage: chartframe_bench [--frames N]\n");
      return 0;
    }
  }
  return frames;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = FramesFromArguments(argc, argv);
  if (frames < 1) return 2;
  QGuiApplication app(argc, argv);

  // What differs between platforms besides the code: the platform plugin and
  // the font the chart's "Arial" is drawn with.
  const QFontInfo font(QFont("Arial", 8));
  std::printf("system: %s; Qt %s, platform plugin %s; \"Arial\" drawn as \"%s\"\n",
              qPrintable(QSysInfo::prettyProductName()), qVersion(),
              qPrintable(QGuiApplication::platformName()), qPrintable(font.family()));
  std::printf("image %d x %d, %d frames per size after the first\n", kWidth, kHeight, frames);
  std::printf("%10s %10s %10s %10s %14s\n", "readings", "first ms", "median ms", "min ms",
              "CPU ms/frame");
  for (int readings : {1000, 100000, 1000000}) {
    const FrameTimes t = TimeFrames(readings, frames);
    std::printf("%10d %10.3f %10.3f %10.3f %14.3f\n", readings, t.first, t.median, t.minimum,
                t.cpuPerFrame);
    std::fflush(stdout);
  }
  return 0;
}
