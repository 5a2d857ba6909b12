// The program's chart at scale: a full paint into a 750 x 596 image with
// 10^3 to 10^7 readings (reduced path and every point), a paint right after
// one more reading at 10^7 (and that frame's phases apart), and the memory a
// reading costs. The same frames drawn by Qt Charts and QCustomPlot, when
// built with them, for comparison.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "chart/ProgramChart.h"
#include "framework/SurfaceQt.h"
#include "tests/support/InstrumentReadings.h"

#ifdef TEMPOLOG_BENCH_QTCHARTS
#include <QGraphicsScene>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#endif
#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

namespace tempolog {
namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 596;
constexpr double kStart = 46000.0;

// The signals, one reading a second, made as the program makes its values:
// the instrument's reply text ("23.4", "+23.4") read by ParseNumber and
// rounded to single precision by RoundToSingle. The walk is an instrument
// answering with three decimals; the others answer with one. Beside them the
// same decimals held as the doubles nearest to them ("double grid"), which
// the program never plots, and readings on no grid of at most six decimals.
enum Signal : std::int64_t {
  kWalk,                // a slow random walk around 20 degrees, "20.153"
  kDaily,               // daily cycle of +-3 degrees with a slow drift, "23.4"
  kDailyNoise05,        // the same with noise of sigma 0.05, "+23.4"
  kDailyNoise20,        // the same with noise of sigma 0.2
  kAlternating,         // 20.5 and 21.5 in turn
  kSitsThenJumps,       // sits on one value for hours, then jumps
  kDailyDouble,         // the daily cycles as doubles on the 0.1 grid
  kDailyNoise05Double,  //
  kDailyNoise20Double,  //
  kNoGrid,              // around 1.5 with noise, seven decimals: "1.5234567"
};
constexpr std::int64_t kAllSignals[] = {
    kWalk,          kDaily,       kDailyNoise05,       kDailyNoise20,       kAlternating,
    kSitsThenJumps, kDailyDouble, kDailyNoise05Double, kDailyNoise20Double, kNoGrid};

struct Readings {
  std::vector<double> x, y;
  Readings(std::int64_t n, std::int64_t signal)
      : x(static_cast<std::size_t>(n)), y(static_cast<std::size_t>(n)) {
    std::mt19937 rng(1);
    std::normal_distribution<double> step(0, 0.02), noise(0, 1);
    const double sigma = signal == kDailyNoise05 || signal == kDailyNoise05Double   ? 0.05
                         : signal == kDailyNoise20 || signal == kDailyNoise20Double ? 0.2
                                                                                    : 0.0;
    double v = 20;
    for (std::int64_t i = 0; i < n; ++i) {
      const auto k = static_cast<std::size_t>(i);
      const double t = static_cast<double>(i);
      x[k] = kStart + t / 86400.0;
      switch (signal) {
        case kWalk: y[k] = PlottedReading(v += step(rng), 3); continue;
        case kAlternating: v = i % 2 ? 21.5 : 20.5; break;
        case kSitsThenJumps: v = 20 + 1.7 * static_cast<double>((i / 7200) % 3); break;
        case kNoGrid:
          y[k] =
              PlottedReading(1.5 + 0.3 * std::sin(t * 6.283185307 / 86400) + 0.02 * noise(rng), 7);
          continue;
        default:
          v = 21 + 3 * std::sin(t * 6.283185307 / 86400) + t * 2e-7 + sigma * noise(rng);
          break;
      }
      if (signal >= kDailyDouble) y[k] = std::round(v * 10) / 10;
      else y[k] = PlottedReading(v, 1, signal == kDailyNoise05);
    }
  }
};

// The program's chart at the benchmark's size with n readings of the signal.
TProgramChart NewChart(std::int64_t n, std::int64_t signal) {
  TProgramChart chart = MakeProgramChart();
  chart.Chart->SetBounds(kWidth, kHeight);
  const Readings r(n, signal);
  for (std::int64_t i = 0; i < n; ++i)
    chart.Series1->AddPoint(r.x[static_cast<std::size_t>(i)], r.y[static_cast<std::size_t>(i)]);
  return chart;
}

// One chart per size and signal; the large ones of other signals are freed.
TProgramChart& ChartOf(std::int64_t n, std::int64_t signal = kWalk) {
  static std::map<std::pair<std::int64_t, std::int64_t>, TProgramChart> charts;
  const std::pair key{n, signal};
  auto it = charts.find(key);
  if (it == charts.end()) {
    std::erase_if(charts, [&](const auto& c) {
      return c.first.second != signal && c.first.first >= 1000000;
    });
    it = charts.emplace(key, NewChart(n, signal)).first;
  }
  return it->second;
}

void Paint(TProgramChart& chart, TBitmapSurface& surface) {
  chart.Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
  benchmark::DoNotOptimize(surface.Image()->constBits());
}

// Arguments: readings, 1 = every point drawn (0 = reduced path), signal.
void BM_PaintProgramChart(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0), state.range(2));
  chart.Series1->SetDrawEveryPoint(state.range(1) != 0);
  TBitmapSurface surface(kWidth, kHeight);
  Paint(chart, surface);  // builds what the reduced path keeps
  for (auto _ : state) Paint(chart, surface);
  if (state.range(1) != 0) {
    // The reduced path must paint the very image drawing every point gives.
    const QImage every = surface.Image()->copy();
    chart.Series1->SetDrawEveryPoint(false);
    Paint(chart, surface);
    state.counters["same_image"] = *surface.Image() == every ? 1 : 0;
  }
  chart.Series1->SetDrawEveryPoint(false);
  state.counters["points"] = static_cast<double>(state.range(0));
}
#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
void BM_QCustomPlotGraph(benchmark::State& state);
#endif
// Signal by signal, so that only one signal's large charts are held at a time.
// TEMPOLOG_BENCH_FRAMES=k paints exactly k frames per case: for counting
// instructions under callgrind (the difference of two counts is k frames').
[[maybe_unused]] const bool kRegistered = [] {
  const char* frames = std::getenv("TEMPOLOG_BENCH_FRAMES");
  const benchmark::IterationCount fixed = frames != nullptr ? std::atoll(frames) : 0;
  for (std::int64_t signal : kAllSignals) {
    for (std::int64_t n : {1000, 100000, 1000000, 10000000}) {
      if (signal != kWalk && n == 100000) continue;
      auto* reduced = benchmark::RegisterBenchmark("BM_PaintProgramChart", BM_PaintProgramChart)
                          ->Args({n, 0, signal})
                          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark("BM_PaintProgramChart", BM_PaintProgramChart)
          ->Args({n, 1, signal})
          ->Unit(benchmark::kMillisecond)
          ->Iterations(fixed > 0 ? fixed : 3);
      if (fixed > 0) reduced->Iterations(fixed);
#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
      benchmark::RegisterBenchmark("BM_QCustomPlotGraph", BM_QCustomPlotGraph)
          ->Args({n, signal})
          ->Unit(benchmark::kMillisecond);
#endif
    }
  }
  return true;
}();

// The chart's series on the reduced path, painted once: what the reduced
// path keeps is built before the timing starts.
TLineSeries& PaintedReduced(TProgramChart& chart, TBitmapSurface& surface) {
  chart.Series1->SetDrawEveryPoint(false);
  Paint(chart, surface);
  return *chart.Series1;
}

// One more reading, then the next frame, at 10^7 readings.
// Arguments: readings, signal; the reading appended is the signal's last
// one again, or (the walk) a random value within a degree of 20.
void BM_PaintAfterAppend(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0), state.range(1));
  TBitmapSurface surface(kWidth, kHeight);
  TLineSeries& series = PaintedReduced(chart, surface);
  double x = series.XValues().LastValue();
  const double y = series.YValues().LastValue();
  std::mt19937 rng(3);
  for (auto _ : state) {
    series.AddPoint(x += 1 / 86400.0, state.range(1) == kWalk
                                          ? 20 + std::uniform_real_distribution<>(-1, 1)(rng)
                                          : y);
    Paint(chart, surface);
  }
}
BENCHMARK(BM_PaintAfterAppend)
    ->Args({10000000, kWalk})
    ->Args({10000000, kDailyNoise20})
    ->Unit(benchmark::kMillisecond);
[[maybe_unused]] const bool kAppendCounted = [] {
  if (const char* frames = std::getenv("TEMPOLOG_BENCH_FRAMES"))
    benchmark::RegisterBenchmark("BM_PaintAfterAppendCounted", BM_PaintAfterAppend)
        ->Args({10000000, kDailyNoise20})
        ->Iterations(std::atoll(frames));
  return true;
}();

// The phases of that frame apart. Arguments: readings, what each iteration
// does: 0 = append only, 1 = append a reading that goes on with the walk and
// paint, 2 = append then paint twice (the second frame shows what the first
// one left to do).
void BM_AppendPhases(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0));
  TBitmapSurface surface(kWidth, kHeight);
  TLineSeries& series = PaintedReduced(chart, surface);
  double x = series.XValues().LastValue();
  double y = series.YValues().LastValue();
  std::mt19937 rng(5);
  std::normal_distribution<double> step(0, 0.02);
  for (auto _ : state) {
    series.AddPoint(x += 1 / 86400.0, y += step(rng));
    switch (state.range(1)) {
      case 0: break;
      case 1: Paint(chart, surface); break;
      case 2:
        Paint(chart, surface);
        Paint(chart, surface);
        break;
    }
  }
}
// Appending alone runs a fixed count: left to itself it would add millions of
// readings to the chart the other cases paint.
BENCHMARK(BM_AppendPhases)->Args({10000000, 0})->Iterations(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendPhases)->ArgsProduct({{10000000}, {1, 2}})->Unit(benchmark::kMillisecond);

// A clock that goes back: an hour of readings after the clock was set back
// by an hour, each stamped before the last reading and so inserted among the
// others, one reading and the repaint per iteration; beside them readings
// appended at the end. Each reading is the instrument's next one ("21.3",
// noise of sigma 0.2 around the last value). A chart of its own, as the
// readings change it. Arguments: readings, signal, 1 = every point drawn
// (0 = reduced path), 1 = clock set back (0 = appended).
void BM_ReadingWithRepaint(benchmark::State& state) {
  TProgramChart chart = NewChart(state.range(0), state.range(1));
  TLineSeries& series = *chart.Series1;
  series.SetDrawEveryPoint(state.range(2) != 0);
  TBitmapSurface surface(kWidth, kHeight);
  Paint(chart, surface);
  const double last = series.XValues().LastValue();
  const double y = series.YValues().LastValue();
  const double start = state.range(3) != 0 ? last - 1.0 / 24 : last;
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.2);
  std::int64_t k = 0;
  for (auto _ : state) {
    series.AddPoint(start + static_cast<double>(++k) / 86400.0, PlottedReading(y + noise(rng), 1));
    Paint(chart, surface);
  }
}
#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
void BM_QCustomPlotReading(benchmark::State& state);
#endif
// The reduced path for the whole hour; drawing every point, its first readings.
[[maybe_unused]] const bool kClockRegistered = [] {
  for (std::int64_t n : {1000000, 10000000}) {
    for (std::int64_t back : {0, 1}) {
      benchmark::RegisterBenchmark("BM_ReadingWithRepaint", BM_ReadingWithRepaint)
          ->Args({n, kDailyNoise20, 0, back})
          ->Iterations(3600)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark("BM_ReadingWithRepaint", BM_ReadingWithRepaint)
          ->Args({n, kDailyNoise20, 1, back})
          ->Iterations(n > 1000000 ? 3 : 10)
          ->Unit(benchmark::kMillisecond);
#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
      benchmark::RegisterBenchmark("BM_QCustomPlotReading", BM_QCustomPlotReading)
          ->Args({n, kDailyNoise20, back})
          ->Iterations(n > 1000000 ? 100 : 600)
          ->Unit(benchmark::kMillisecond);
#endif
    }
  }
  return true;
}();

// Bytes per reading held by the series' X and Y lists and by the min/max
// structure of the reduced path (the lists' spare capacity included).
void BM_MemoryPerPoint(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0), state.range(1));
  TLineSeries& series = *chart.Series1;
  TBitmapSurface surface(kWidth, kHeight);
  Paint(chart, surface);
  for (auto _ : state) benchmark::DoNotOptimize(series.ReductionMemoryBytes());
  const double n = static_cast<double>(series.PointCount());
  const double lists = 8.0 * (series.XValues().Capacity() + series.YValues().Capacity());
  state.counters["values_B_per_point"] = lists / n;
  state.counters["minmax_B_per_point"] = static_cast<double>(series.ReductionMemoryBytes()) / n;
  state.counters["series_B_per_point"] =
      (lists + static_cast<double>(series.ReductionMemoryBytes())) / n;
}
BENCHMARK(BM_MemoryPerPoint)
    ->ArgsProduct({{10000000}, {std::begin(kAllSignals), std::end(kAllSignals)}})
    ->Iterations(1);

#ifdef TEMPOLOG_BENCH_QTCHARTS
// Qt Charts: a QLineSeries on a date-time axis, rendered in software.
void BM_QtChartsLineSeries(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  static std::map<std::int64_t, double> seconds;  // last frame's time per size
  if (n > 1000000 && seconds.count(1000000) && seconds[1000000] * 10 > 20.0) {
    state.SkipWithError("skipped: a frame would take over 20 s");
    for (auto _ : state) {
    }
    return;
  }
  const Readings r(n, kWalk);
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(n));
  for (std::int64_t i = 0; i < n; ++i)
    points.append(QPointF((r.x[static_cast<std::size_t>(i)] - 25569.0) * 86400000.0,
                          r.y[static_cast<std::size_t>(i)]));
  QGraphicsScene scene;
  auto* chart = new QChart;
  scene.addItem(chart);
  auto* series = new QLineSeries;
  series->replace(points);
  chart->addSeries(series);
  auto* axisX = new QDateTimeAxis;
  axisX->setFormat("dd.MM.yy hh:mm");
  chart->addAxis(axisX, Qt::AlignBottom);
  series->attachAxis(axisX);
  auto* axisY = new QValueAxis;
  chart->addAxis(axisY, Qt::AlignLeft);
  series->attachAxis(axisY);
  chart->legend()->hide();
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->resize(kWidth, kHeight);
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    series->setColor(state.iterations() % 2 ? Qt::red : Qt::darkRed);  // a fresh frame each time
    QPainter painter(&image);
    scene.render(&painter, QRectF(0, 0, kWidth, kHeight), QRectF(0, 0, kWidth, kHeight));
    painter.end();
    seconds[n] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
}
BENCHMARK(BM_QtChartsLineSeries)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
#endif

#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
// QCustomPlot: one graph with adaptive sampling (its default), date-time
// ticker, the same readings as the program's chart, in the plot given.
QCPGraph* QCustomPlotGraph(QCustomPlot& plot, std::int64_t n, std::int64_t signal) {
  const TLineSeries& series = *ChartOf(n, signal).Series1;
  QVector<double> keys(static_cast<qsizetype>(n)), values(static_cast<qsizetype>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    keys[i] = (series.XValue(i) - 25569.0) * 86400.0;
    values[i] = series.YValue(i);
  }
  plot.resize(kWidth, kHeight);
  QCPGraph* graph = plot.addGraph();
  graph->setData(keys, values, true);
  graph->setAdaptiveSampling(true);
  graph->setLineStyle(QCPGraph::lsStepLeft);
  graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, 2));
  plot.xAxis->setTicker(QSharedPointer<QCPAxisTickerDateTime>(new QCPAxisTickerDateTime));
  plot.rescaleAxes();
  return graph;
}

// Arguments: readings, signal.
void BM_QCustomPlotGraph(benchmark::State& state) {
  QCustomPlot plot;
  QCustomPlotGraph(plot, state.range(0), state.range(1));
  for (auto _ : state) {
    QPixmap pixmap = plot.toPixmap(kWidth, kHeight);
    benchmark::DoNotOptimize(pixmap.cacheKey());
  }
}

// BM_ReadingWithRepaint's readings added to QCustomPlot's graph (which keeps
// its data sorted by key), each followed by a frame. Arguments: readings,
// signal, 1 = clock set back an hour (0 = appended).
void BM_QCustomPlotReading(benchmark::State& state) {
  QCustomPlot plot;
  QCPGraph* graph = QCustomPlotGraph(plot, state.range(0), state.range(1));
  const double last = graph->data()->constEnd()[-1].key;
  const double y = graph->data()->constEnd()[-1].value;
  const double start = state.range(2) != 0 ? last - 3600 : last;
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.2);
  std::int64_t k = 0;
  for (auto _ : state) {
    graph->addData(start + static_cast<double>(++k), PlottedReading(y + noise(rng), 1));
    QPixmap pixmap = plot.toPixmap(kWidth, kHeight);
    benchmark::DoNotOptimize(pixmap.cacheKey());
  }
}
#endif

}  // namespace
}  // namespace tempolog

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
