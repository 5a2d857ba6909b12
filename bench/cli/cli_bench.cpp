// tempolog-cli export of a log of one million readings, one a second for
// eleven and a half days, as a recording writes them: replies of a
// thermometer on its 0.1 degree grid (daily cycle, slow drift, noise flipping
// between neighbours), each a log line made by the log's own line function.
// The file goes through the export as the program reads it, and the output to
// a sink that only counts it.
//   BM_Export/csv, BM_Export/influx   lines per second (the counter "lines")
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "app/cli/Cli.h"
#include "app/link/LogFormat.h"
#include "framework/Files.h"

namespace tempolog {
namespace {

constexpr int kLines = 1'000'000;

const std::string& LogFile() {
  static const std::string path = [] {
    const std::string file = std::filesystem::temp_directory_path().string() + "/cli_bench.log";
    std::mt19937 random(7);
    std::uniform_int_distribution<int> flip(0, 1);
    const TDateTimeValue start = EncodeDateTimeValue(2026, 3, 25);
    std::string text;
    text.reserve(std::size_t{kLines} * 30);
    for (int i = 0; i < kLines; ++i) {
      const double day = i / 86400.0;
      const double degrees = 21.0 + 3.0 * std::sin(2 * M_PI * day) + 0.2 * day + 0.1 * flip(random);
      char reply[16];
      std::snprintf(reply, sizeof reply, "%.1f", std::round(degrees * 10) / 10);
      text += LogLine(CliTextSettings(), start + i / 86400.0, reply);
      text += "\r\n";
    }
    WriteFileReplacing(file, text);
    return file;
  }();
  return path;
}

void BM_Export(benchmark::State& state) {
  const TExportOptions options{LogFile(), static_cast<TOutputFormat>(state.range(0)), "sim0"};
  std::size_t bytes = 0;
  for (auto _ : state) {
    const int status = ExportLog(options, [&](const std::string& piece) {
      bytes += piece.size();
      return true;
    });
    if (status != 0) state.SkipWithError("a line did not read");
  }
  state.counters["lines"] =
      benchmark::Counter(double(kLines) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["out_MB"] = double(bytes) / double(state.iterations()) / 1e6;
}
BENCHMARK(BM_Export)
    ->ArgName("format")
    ->Arg(int(TOutputFormat::Csv))
    ->Arg(int(TOutputFormat::Influx))
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tempolog

BENCHMARK_MAIN();
