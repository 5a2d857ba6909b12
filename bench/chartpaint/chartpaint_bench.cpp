// One full paint of the program's chart (layout, axes, grids, the stepped
// line with its markers) into a 750 × 596 off-screen image, for a random walk
// of 10^3 to 10^6 readings one second apart (WalkChart.h). The median of the
// repetitions is the figure to read (milliseconds per frame).
//
// With Qt Charts installed, the same readings are drawn by a QChart with a
// QLineSeries (the stairs given as doubled points) rendered in software into
// an image of the same size, as the peer to compare with.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include "bench/chartpaint/WalkChart.h"

#ifdef TEMPOLOG_BENCH_QTCHARTS
#include <QApplication>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QValueAxis>
#include <QtCharts/QChart>
#else
#include <QGuiApplication>
#endif

namespace {

using namespace tempolog;
using namespace tempolog::bench;

void BM_PaintChart(benchmark::State& state) {
  const Readings data = RandomWalk(static_cast<int>(state.range(0)));
  TProgramChart chart = MakeWalkChart(data);
  TBitmapSurface target(kWidth, kHeight);
  for (auto _ : state) {
    PaintWalkChart(chart, target);
    benchmark::DoNotOptimize(target.Image()->constBits());
  }
  state.counters["points"] = static_cast<double>(data.x.size());
}

#ifdef TEMPOLOG_BENCH_QTCHARTS
void BM_QtChartsPaint(benchmark::State& state) {
  const Readings data = RandomWalk(static_cast<int>(state.range(0)));
  auto* series = new QLineSeries;
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(data.x.size()) * 2);
  for (std::size_t i = 0; i < data.x.size(); ++i) {
    // Qt Charts keeps X in milliseconds since 1970 for date-time axes.
    const double ms = (data.x[i] - 25569.0) * 86400000.0;
    if (i > 0) points.append(QPointF(ms, data.y[i - 1]));  // the stair's step
    points.append(QPointF(ms, data.y[i]));
  }
  series->replace(points);
  series->setPen(QPen(QColor(220, 0, 100), 2));
  QChart chart;
  chart.legend()->hide();
  chart.addSeries(series);
  auto* axisX = new QDateTimeAxis;
  axisX->setFormat("dd.MM.yy hh:mm");
  axisX->setLabelsAngle(-90);
  chart.addAxis(axisX, Qt::AlignBottom);
  series->attachAxis(axisX);
  auto* axisY = new QValueAxis;
  axisY->setLabelFormat("%04.1f");
  axisY->setMinorTickCount(4);
  chart.addAxis(axisY, Qt::AlignLeft);
  series->attachAxis(axisY);
  QGraphicsScene scene;
  scene.addItem(&chart);
  chart.setGeometry(0, 0, kWidth, kHeight);
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(0, 0, kWidth, kHeight), QRectF(0, 0, kWidth, kHeight));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  scene.removeItem(&chart);
  state.counters["points"] = static_cast<double>(data.x.size());
}
#endif

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : {1000, 10000, 100000, 1000000}) b->Arg(n);
  b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->MinTime(0.2);
}

BENCHMARK(BM_PaintChart)->Apply(Sizes);
#ifdef TEMPOLOG_BENCH_QTCHARTS
BENCHMARK(BM_QtChartsPaint)->Apply(Sizes);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef TEMPOLOG_BENCH_QTCHARTS
  QApplication app(argc, argv);
#else
  QGuiApplication app(argc, argv);
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
