// Cost of the chart's drawing work through the canvas: a stepped line with
// markers over many points, plain lines, the unchanged repaint (one bitmap
// copy) and rotated axis labels. The QPainter rows draw the same line
// straight through Qt for comparison.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>
#include <random>
#include <vector>

#include "chart/ChartCanvas.h"
#include "framework/SurfaceQt.h"

namespace tempolog {
namespace {

constexpr int kWidth = 750, kHeight = 596;
const TRect kPlot{40, 10, 740, 560};

// Pixel positions of a wandering temperature trace.
std::vector<TPoint> Trace(int count) {
  std::vector<TPoint> points(static_cast<std::size_t>(count));
  std::mt19937 random(7);
  std::normal_distribution<double> step(0.0, 2.0);
  double y = 300;
  for (int i = 0; i < count; ++i) {
    y = std::clamp(y + step(random), 20.0, 550.0);
    points[static_cast<std::size_t>(i)] = {
        kPlot.Left + static_cast<int>(static_cast<long long>(i) * kPlot.Width() / count),
        static_cast<int>(y)};
  }
  return points;
}

// The series' way: stairs in a two-pixel pen, a 2 × 2 marker on every point.
void BM_StairsWithMarkers(benchmark::State& state) {
  const std::vector<TPoint> points = Trace(static_cast<int>(state.range(0)));
  TChartCanvas3D canvas;
  TBitmapSurface window(kWidth, kHeight);
  TChartPen line, marker_pen;
  line.SetWidth(2);
  marker_pen.SetVisible(false);
  for (auto _ : state) {
    canvas.BeginFrame(&window, nullptr, {0, 0, kWidth, kHeight}, false);
    canvas.Brush().SetColor(clBtnFace);
    canvas.ClearBox({0, 0, kWidth, kHeight});
    canvas.ClipToPlotArea(kPlot, 0, 0);
    for (std::size_t i = 1; i < points.size(); ++i) {
      canvas.ApplyChartPen(line);
      canvas.Brush().SetStyle(TBrushStyle::bsClear);
      canvas.Pen().SetColor(0x6400DC);
      canvas.DrawHorizontalSegment(points[i - 1].X, points[i].X, points[i - 1].Y);
      canvas.DrawLineTo(points[i].X, points[i].Y);
      canvas.ApplyChartPen(marker_pen);
      canvas.Brush().SetStyle(TBrushStyle::bsSolid);
      canvas.Brush().SetColor(0x6400DC);
      canvas.DrawBox(points[i - 1].X - 1, points[i - 1].Y - 1, points[i - 1].X + 2,
                     points[i - 1].Y + 2);
    }
    canvas.RemoveClip();
    canvas.ResetDrawingState();
    canvas.PresentFrame(&window, &window, {0, 0, kWidth, kHeight});
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StairsWithMarkers)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The same stairs straight through QPainter (no markers): the cost of Qt's own lines.
void BM_QPainterStairs(benchmark::State& state) {
  const std::vector<TPoint> points = Trace(static_cast<int>(state.range(0)));
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setClipRect(
        QRect(kPlot.Left + 1, kPlot.Top + 1, kPlot.Width() - 1, kPlot.Height() - 2));
    painter.setPen(QPen(QColor(0xDC, 0, 0x64), 2));
    for (std::size_t i = 1; i < points.size(); ++i) {
      painter.drawLine(points[i - 1].X, points[i - 1].Y, points[i].X, points[i - 1].Y);
      painter.drawLine(points[i].X, points[i - 1].Y, points[i].X, points[i].Y);
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_QPainterStairs)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Straight one-pixel lines in every direction, half of them reaching far outside the clip.
void BM_DiagonalLines(benchmark::State& state) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> near(0, kWidth), far(-32766, 32766);
  std::vector<TPoint> ends(20'000);
  for (std::size_t i = 0; i < ends.size(); ++i)
    ends[i] = i % 2 ? TPoint{far(random), far(random)} : TPoint{near(random), near(random)};
  TBitmapSurface bitmap(kWidth, kHeight);
  TChartCanvas3D canvas;
  canvas.AttachSurface(&bitmap);
  canvas.ClipToPlotArea(kPlot, 0, 0);
  for (auto _ : state) {
    for (std::size_t i = 1; i < ends.size(); ++i)
      canvas.DrawSegment(ends[i - 1].X, ends[i - 1].Y, ends[i].X, ends[i].Y);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long long>(ends.size() - 1));
}
BENCHMARK(BM_DiagonalLines)->Unit(benchmark::kMillisecond);

// A repaint without changes: one copy of the kept bitmap to the window.
void BM_RepaintFromBuffer(benchmark::State& state) {
  TChartCanvas3D canvas;
  QImage screen(kWidth, kHeight, QImage::Format_RGB32);
  QPainter painter(&screen);
  TWindowSurface window(painter, kWidth, kHeight);
  canvas.BeginFrame(&window, nullptr, {0, 0, kWidth, kHeight}, false);
  canvas.PresentFrame(&window, &window, {0, 0, kWidth, kHeight});
  for (auto _ : state) benchmark::DoNotOptimize(canvas.RepaintFromBuffer());
}
BENCHMARK(BM_RepaintFromBuffer)->Unit(benchmark::kMicrosecond);

// Bottom-axis labels: date-times turned by 90 degrees.
void BM_RotatedLabels(benchmark::State& state) {
  TBitmapSurface bitmap(kWidth, kHeight);
  TChartCanvas3D canvas;
  canvas.AttachSurface(&bitmap);
  TChartFontObject font;
  canvas.AssignFont(font);
  for (auto _ : state) {
    for (int i = 0; i < 20; ++i) canvas.PutRotatedText(40 + i * 35, 590, 90, "12.05.24 13:45");
  }
  state.SetItemsProcessed(state.iterations() * 20);
}
BENCHMARK(BM_RotatedLabels)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tempolog

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
