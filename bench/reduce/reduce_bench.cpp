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
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "chart/ProgramChart.h"
#include "framework/SurfaceQt.h"

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

// One reading a second, a slow random walk around 20 degrees.
struct Readings {
  std::vector<double> x, y;
  explicit Readings(std::int64_t n) : x(static_cast<std::size_t>(n)), y(static_cast<std::size_t>(n)) {
    std::mt19937 rng(1);
    std::normal_distribution<double> step(0, 0.02);
    double v = 20;
    for (std::int64_t i = 0; i < n; ++i) {
      x[static_cast<std::size_t>(i)] = kStart + static_cast<double>(i) / 86400.0;
      y[static_cast<std::size_t>(i)] = v += step(rng);
    }
  }
};

const Readings& ReadingsOf(std::int64_t n) {
  static std::map<std::int64_t, std::unique_ptr<Readings>> cache;
  auto& r = cache[n];
  if (!r) r = std::make_unique<Readings>(n);
  return *r;
}

TProgramChart& ChartOf(std::int64_t n) {
  static std::map<std::int64_t, TProgramChart> charts;
  auto it = charts.find(n);
  if (it == charts.end()) {
    it = charts.emplace(n, MakeProgramChart()).first;
    it->second.Chart->SetBounds(kWidth, kHeight);
    const Readings& r = ReadingsOf(n);
    for (std::int64_t i = 0; i < n; ++i)
      it->second.Series1->AddPoint(r.x[static_cast<std::size_t>(i)], r.y[static_cast<std::size_t>(i)]);
  }
  return it->second;
}

void Paint(TProgramChart& chart, TBitmapSurface& surface) {
  chart.Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
  benchmark::DoNotOptimize(surface.Image()->constBits());
}

// Arguments: readings, 1 = every point drawn (0 = reduced path).
void BM_PaintProgramChart(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0));
  chart.Series1->SetDrawEveryPoint(state.range(1) != 0);
  TBitmapSurface surface(kWidth, kHeight);
  Paint(chart, surface);  // builds what the reduced path keeps
  for (auto _ : state) Paint(chart, surface);
  chart.Series1->SetDrawEveryPoint(false);
  state.counters["points"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_PaintProgramChart)
    ->ArgsProduct({{1000, 100000, 1000000, 10000000}, {0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintProgramChart)
    ->ArgsProduct({{1000, 100000, 1000000, 10000000}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The chart's series on the reduced path, painted once: what the reduced
// path keeps is built before the timing starts.
TLineSeries& PaintedReduced(TProgramChart& chart, TBitmapSurface& surface) {
  chart.Series1->SetDrawEveryPoint(false);
  Paint(chart, surface);
  return *chart.Series1;
}

// One more reading, then the next frame, at 10^7 readings.
void BM_PaintAfterAppend(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0));
  TBitmapSurface surface(kWidth, kHeight);
  TLineSeries& series = PaintedReduced(chart, surface);
  double x = series.XValues().LastValue();
  std::mt19937 rng(3);
  for (auto _ : state) {
    series.AddPoint(x += 1 / 86400.0, 20 + std::uniform_real_distribution<>(-1, 1)(rng));
    Paint(chart, surface);
  }
}
BENCHMARK(BM_PaintAfterAppend)->Arg(10000000)->Unit(benchmark::kMillisecond);

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

// Bytes per reading held by the series' X and Y lists and by the min/max
// structure of the reduced path (the lists' spare capacity included).
void BM_MemoryPerPoint(benchmark::State& state) {
  TProgramChart& chart = ChartOf(state.range(0));
  TLineSeries& series = *chart.Series1;
  TBitmapSurface surface(kWidth, kHeight);
  Paint(chart, surface);
  for (auto _ : state) benchmark::DoNotOptimize(series.ReductionMemoryBytes());
  const double n = static_cast<double>(series.PointCount());
  const double lists = 8.0 * (series.XValues().Capacity() + series.YValues().Capacity());
  state.counters["values_B_per_point"] = lists / n;
  state.counters["minmax_B_per_point"] = static_cast<double>(series.ReductionMemoryBytes()) / n;
  state.counters["series_B_per_point"] = (lists + static_cast<double>(series.ReductionMemoryBytes())) / n;
}
BENCHMARK(BM_MemoryPerPoint)->Arg(10000000)->Iterations(1);

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
  const Readings& r = ReadingsOf(n);
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(n));
  for (std::int64_t i = 0; i < n; ++i)
    points.append(QPointF((r.x[static_cast<std::size_t>(i)] - 25569.0) * 86400000.0, r.y[static_cast<std::size_t>(i)]));
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
BENCHMARK(BM_QtChartsLineSeries)->Arg(1000)->Arg(100000)->Arg(1000000)->Arg(10000000)
    ->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

#ifdef TEMPOLOG_BENCH_QCUSTOMPLOT
// QCustomPlot: one graph with adaptive sampling (its default), date-time ticker.
void BM_QCustomPlotGraph(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const Readings& r = ReadingsOf(n);
  QVector<double> keys(static_cast<qsizetype>(n)), values(static_cast<qsizetype>(n));
  for (std::int64_t i = 0; i < n; ++i) {
    keys[i] = (r.x[static_cast<std::size_t>(i)] - 25569.0) * 86400.0;
    values[i] = r.y[static_cast<std::size_t>(i)];
  }
  QCustomPlot plot;
  plot.resize(kWidth, kHeight);
  QCPGraph* graph = plot.addGraph();
  graph->setData(keys, values, true);
  graph->setAdaptiveSampling(true);
  graph->setLineStyle(QCPGraph::lsStepLeft);
  graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, 2));
  plot.xAxis->setTicker(QSharedPointer<QCPAxisTickerDateTime>(new QCPAxisTickerDateTime));
  plot.rescaleAxes();
  for (auto _ : state) {
    QPixmap pixmap = plot.toPixmap(kWidth, kHeight);
    benchmark::DoNotOptimize(pixmap.cacheKey());
  }
}
BENCHMARK(BM_QCustomPlotGraph)->Arg(1000)->Arg(100000)->Arg(1000000)->Arg(10000000)
    ->Unit(benchmark::kMillisecond);
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
