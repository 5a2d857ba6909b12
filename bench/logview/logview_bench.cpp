// Log view throughput and memory: taking a million log lines at once and one
// by one, appending to a view that already holds a million, painting a page;
// the stock Qt text view taking the same lines, for comparison.
//
// Peak memory is the process's VmHWM after resetting it (/proc/self/clear_refs)
// at the start of each run: "peak_MB" is that high-water mark, "growth_MB" its
// rise over the resident size at the reset. Big blocks are always mapped and
// unmapped (fixed mmap threshold), so a run does not inherit an earlier run's
// freed memory.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <fstream>
#include <memory>
#include <string>

#include "framework/Latin1.h"
#include "framework/LogView.h"

namespace tempolog {
namespace {

constexpr int kMillion = 1000000;
constexpr char kLine[] = "2024-03-05 07:04:09\t23.5";

double StatusMegabytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string name;
  while (status >> name) {
    if (name == field) {
      double kb = 0;
      status >> kb;
      return kb / 1024.0;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

// Starts a fresh peak measurement; returns the resident size now.
double ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusMegabytes("VmRSS:");
}

void ReportPeak(benchmark::State& state, double base) {
  const double peak = StatusMegabytes("VmHWM:");
  state.counters["peak_MB"] = peak;
  state.counters["growth_MB"] = peak - base;
}

std::string LinesText(int count) {
  std::string text;
  text.reserve(static_cast<std::size_t>(count) * (sizeof kLine + 1));
  for (int i = 0; i < count; ++i) text.append(kLine).append("\r\n");
  return text;
}

std::string MillionLinesText() { return LinesText(kMillion); }

void BM_SetText(benchmark::State& state) {
  const std::string text = LinesText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto view = std::make_unique<TLogView>();
    view->resize(427, 400);
    const double base = ResetPeak();
    view->SetText(text);
    QApplication::processEvents();
    ReportPeak(state, base);
    benchmark::DoNotOptimize(view->LineCount());
  }
}
BENCHMARK(BM_SetText)
    ->Arg(kMillion)
    ->Arg(10 * kMillion)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_AppendLineMillionLines(benchmark::State& state) {
  for (auto _ : state) {
    auto view = std::make_unique<TLogView>();
    view->resize(427, 400);
    const double base = ResetPeak();
    for (int i = 0; i < kMillion; ++i) view->AppendLine(kLine);
    QApplication::processEvents();
    ReportPeak(state, base);
    benchmark::DoNotOptimize(view->LineCount());
  }
}
BENCHMARK(BM_AppendLineMillionLines)->Unit(benchmark::kMillisecond)->Iterations(1);

// One reading's line added to a log of a million lines, the view following the
// end: the append alone, and the append with the deferred scroll update and the
// repaint of the shown view.
void BM_AppendOneToMillion(benchmark::State& state) {
  const bool repaint = state.range(0) != 0;
  TLogView view;
  view.resize(427, 400);
  view.SetText(MillionLinesText());
  view.ScrollToEnd();
  if (repaint) view.show();
  QApplication::processEvents();
  for (auto _ : state) {
    view.AppendLine(kLine);
    if (repaint) QApplication::processEvents();
  }
  state.SetLabel(repaint ? "with scroll update and repaint" : "append only");
}
BENCHMARK(BM_AppendOneToMillion)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_PaintPageOfMillion(benchmark::State& state) {
  TLogView view;
  view.resize(427, 400);
  view.SetText(MillionLinesText());
  view.ScrollRows(kMillion / 2);
  QImage image(view.size(), QImage::Format_RGB32);
  for (auto _ : state) view.render(&image);
}
BENCHMARK(BM_PaintPageOfMillion)->Unit(benchmark::kMicrosecond);

// The stock Qt text view: a million lines in one piece, and lines one by one
// (state.range(0) of them; a million take over a minute there).
std::unique_ptr<QPlainTextEdit> StockView() {
  auto edit = std::make_unique<QPlainTextEdit>();
  edit->setReadOnly(true);
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit->resize(427, 400);
  return edit;
}

void BM_StockSetPlainTextMillionLines(benchmark::State& state) {
  const QString text = ToScreen(MillionLinesText());
  for (auto _ : state) {
    auto edit = StockView();
    const double base = ResetPeak();
    edit->setPlainText(text);
    QApplication::processEvents();
    ReportPeak(state, base);
  }
}
BENCHMARK(BM_StockSetPlainTextMillionLines)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_StockAppendPlainText(benchmark::State& state) {
  const QString line = ToScreen(kLine);
  for (auto _ : state) {
    auto edit = StockView();
    const double base = ResetPeak();
    for (int i = 0; i < state.range(0); ++i) edit->appendPlainText(line);
    QApplication::processEvents();
    ReportPeak(state, base);
  }
}
BENCHMARK(BM_StockAppendPlainText)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tempolog

int main(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
