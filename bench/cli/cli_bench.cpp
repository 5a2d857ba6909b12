// tempolog-cli export of logs as a recording writes them: one reading a
// second, a thermometer's replies on its 0.1 degree grid (daily cycle, slow
// drift, noise flipping between neighbours), each made on the program's own
// road (reply text, ParseNumber, RoundToSingle) and written by the log's own
// line function.
//   BM_Export/csv, BM_Export/influx   in this process, one million lines,
//       into a sink that only counts the output: lines per second
//   BM_ExportProgram/lines/format     the program itself on a million and on
//       30 million lines (a year is 31.5 million), standard output to
//       /dev/null: wall and CPU seconds, peak resident size; then the same
//       under an address-space limit of 32 MiB (ulimit -v); and awk summing
//       the values of the same file in the same run (awk -F'\t' '{s+=$2}'),
//       the time a user's own one-liner takes to read it. Three runs of each
//       (the machine is shared), with their median.
// The logs are made once and kept, named by their parameters, in
// $XDG_CACHE_HOME/tempolog/bench (~/.cache/tempolog/bench); 30 million lines
// take 780 MB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/link/LogFormat.h"
#include "tests/support/InstrumentReadings.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

// The log of `lines` readings from 2026-01-01 00:00:00, made once.
std::string LogFile(long lines) {
  const char* home = std::getenv("XDG_CACHE_HOME");
  const fs::path folder =
      (home != nullptr && *home != '\0' ? fs::path(home)
                                        : fs::path(std::getenv("HOME")) / ".cache") /
      "tempolog" / "bench";
  const fs::path file = folder / ("year-from-2026-01-01-seed7-cycle3-drift0.02-lines" +
                                  std::to_string(lines) + ".log");
  if (fs::exists(file)) return file.string();
  fs::create_directories(folder);
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, 0.05);
  const TDateTimeValue start = EncodeDateTimeValue(2026, 1, 1);
  const fs::path part = file.string() + ".part";
  std::ofstream out(part, std::ios::binary);
  std::string text;
  LocalTime date;
  for (long i = 0; i < lines; ++i) {
    if (i % 86400 == 0) date = DecodeDateTimeValue(start + double(i / 86400));
    const double day = double(i) / 86400.0;
    const double degrees = 21.0 + 3.0 * std::sin(2 * M_PI * day) + 0.02 * day + noise(random);
    const std::string reply = InstrumentReply(degrees, 1);
    PlottedReading(reply);  // the reading the window would plot: the reply must read
    text += LogLine(CliTextSettings(),
                    EncodeDateTimeValue(date.year, date.month, date.day, int(i % 86400 / 3600),
                                        int(i % 3600 / 60), int(i % 60)),
                    reply);
    text += "\r\n";
    if (text.size() > (1 << 20)) {
      out << text;
      text.clear();
    }
  }
  out << text;
  out.close();
  fs::rename(part, file);
  return file.string();
}

void BM_Export(benchmark::State& state) {
  constexpr long kLines = 1'000'000;
  const TExportOptions options{LogFile(kLines), static_cast<TOutputFormat>(state.range(0)), "sim0"};
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

struct Run {
  int status = -1;
  double wall = 0;  // seconds
  double cpu = 0;   // user and system seconds
  double peakMB = 0;
};

// Runs `args` with standard output to /dev/null, under an address-space
// limit of `limitBytes` (0: none).
Run RunProgram(const std::vector<std::string>& args, rlim_t limitBytes = 0) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    if (limitBytes != 0) {
      const rlimit limit{limitBytes, limitBytes};
      setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakMB = double(usage.ru_maxrss) / 1024.0;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

void BM_ExportProgram(benchmark::State& state) {
  const long lines = state.range(0);
  const bool csv = state.range(1) == int(TOutputFormat::Csv);
  const std::string file = LogFile(lines);
  const std::vector<std::string> exportArgs = {TEMPOLOG_CLI,           "export", file,  "--format",
                                               csv ? "csv" : "influx", "--port", "sim0"};
  for (auto _ : state) {
    const Run awk = RunProgram({"/usr/bin/awk", "-F\t", "{s+=$2}", file});
    const Run run = RunProgram(exportArgs);
    const Run limited = RunProgram(exportArgs, rlim_t{32} << 20);
    if (run.status != 0) state.SkipWithError("export failed");
    state.SetIterationTime(run.wall);
    state.counters["cpu_s"] = run.cpu;
    state.counters["peak_MB"] = run.peakMB;
    state.counters["awk_wall_s"] = awk.wall;
    state.counters["awk_cpu_s"] = awk.cpu;
    state.counters["x_awk_wall"] = run.wall / awk.wall;
    state.counters["ulimit32_ok"] = limited.status == 0 ? 1 : 0;
    state.counters["ulimit32_wall_s"] = limited.wall;
  }
}
BENCHMARK(BM_ExportProgram)
    ->ArgNames({"lines", "format"})
    ->Args({1'000'000, int(TOutputFormat::Csv)})
    ->Args({1'000'000, int(TOutputFormat::Influx)})
    ->Args({30'000'000, int(TOutputFormat::Csv)})
    ->Args({30'000'000, int(TOutputFormat::Influx)})
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tempolog

BENCHMARK_MAIN();
