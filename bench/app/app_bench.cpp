// The monitor with a long log: loading a million-line log file into the log
// view and the chart, and taking one live reading when a million are held.
//
// Peak memory is the process's high-water mark (VmHWM), reset before each
// load so that it shows what one load needs.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/LogView.h"
#include "framework/core/Files.h"
#include "framework/core/LogText.h"
#include "tests/support/ProcessMemory.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {
namespace {

constexpr int kLines = 1000000;

// A log of readings one second apart, as the program writes it.
std::string MillionLineLog() {
  const TFormatSettings settings = MakeTextSettings();
  std::string log;
  log.reserve(26u * kLines);
  const TDateTimeValue start = EncodeDateTimeValue(2024, 3, 5, 7, 4, 9);
  for (int i = 0; i < kLines; ++i) {
    log += LogLine(settings, start + i / 86400.0, i % 2 == 0 ? "23.5" : "-1.25");
    log += "\r\n";
  }
  return log;
}

const std::string& LogFilePath() {
  static const std::string path = [] {
    const std::string dir = tempolog::testing_support::MakeTemporaryFolder("tempolog-bench");
    const std::string file = dir + "/million.log";
    WriteFileReplacing(file, MillionLineLog());
    return file;
  }();
  return path;
}

void BM_LoadMillionLineLog(benchmark::State& state) {
  const std::string path = LogFilePath();
  TScriptedDialogs dialogs;
  auto form = std::make_unique<TForm1>();
  long peakKb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form->Kasuj1Click();
    ResetPeakMemory();
    state.ResumeTiming();
    dialogs.AnswerFile(path);
    form->Odczytajzpliku1Click();
    state.PauseTiming();
    peakKb = std::max(peakKb, StatusKilobytes("VmHWM"));
    if (form->Series1->PointCount() != kLines ||
        !dialogs.Boxes(TScriptedDialogs::Kind::Error).empty()) {
      state.SkipWithError("the log did not load completely");
    }
    state.ResumeTiming();
  }
  state.counters["peak_RSS_MB"] = static_cast<double>(peakKb) / 1024.0;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_LoadMillionLineLog)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LiveReadingWithMillionLines(benchmark::State& state) {
  TScriptedDialogs dialogs;
  auto form = std::make_unique<TForm1>();
  TGrowingArray<char> bytes = TLogText::NewBuffer();
  ReadFileShared(LogFilePath(), bytes);
  form->LoadLog(std::move(bytes));
  for (auto _ : state) {
    form->AddLiveReading("23.5");
  }
  state.counters["lines"] = static_cast<double>(form->Memo1->LineCount());
  state.counters["RSS_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) / 1024.0;
}
BENCHMARK(BM_LiveReadingWithMillionLines)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tempolog

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The journals (the windows' and journal_bench.cpp's) go to a folder of the
  // benchmark's own.
  const std::string dataHome =
      tempolog::testing_support::MakeTemporaryFolder("tempolog-bench-data");
  setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  tempolog::TApplication application(argc, argv);
  tempolog::SetApplicationTitle("tempolog");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(tempolog::LogFilePath()).parent_path(),
                              ignored);
  std::filesystem::remove_all(dataHome, ignored);
  return 0;
}
