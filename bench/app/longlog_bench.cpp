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

#include <QAction>
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "app/journal/Journal.h"
#include "app/link/LogFormat.h"
#include "framework/Dialogs.h"
#include "framework/LogView.h"
#include "framework/SurfaceQt.h"
#include "framework/core/Files.h"
#include "tests/support/ClockOverride.h"
#include "tests/support/ProcessMemory.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 596;
constexpr int kRepeats = 5;

// The log of `lines` readings, one a second from 2024-03-05 07:04:09, as the
// window records them: the reply text a thermometer with one decimal gives
// (a daily cycle of +-3 degrees, a slow drift, noise that flips between
// neighbouring 0.1 values), read by ParseNumber and rounded to single as
// AddLiveReading does, then written as its log line with CR LF. Made once per
// size and kept in ~/.cache/tempolog (a year takes a few minutes to make).
std::string LongLogPath(std::int64_t lines, const TFormatSettings& settings) {
  const char* home = std::getenv("HOME");
  const std::filesystem::path dir =
      std::filesystem::path(home != nullptr ? home : "/tmp") / ".cache" / "tempolog";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / ("longlog-v1-seed7-" + std::to_string(lines) + ".log")).string();
  if (std::filesystem::exists(path)) return path;
  const std::string part = path + ".part";
  {
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.05);
    const TDateTimeValue start = EncodeDateTimeValue(2024, 3, 5, 7, 4, 9);
    std::string chunk;
    char reply[32];
    double sum = 0;
    for (std::int64_t i = 0; i < lines; ++i) {
      const double t = static_cast<double>(i);
      const double v = 21 + 3 * std::sin(t * 6.283185307 / 86400) + t * 2e-7 + noise(rng);
      std::snprintf(reply, sizeof reply, "%.1f", v);
      sum += RoundToSingle(ParseNumber(settings, reply));
      chunk += LogLine(settings, start + t / 86400.0, reply);
      chunk += "\r\n";
      if (chunk.size() > (1u << 20)) {
        file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        chunk.clear();
      }
    }
    file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    benchmark::DoNotOptimize(sum);
  }
  std::filesystem::rename(part, path);
  return path;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Wall seconds of a shell command over the file, for scale: what `wc -l` and
// an awk sum of the values take on the same file in the same run.
double CommandSeconds(const std::string& command) {
  const double start = WallSeconds();
  if (std::system(command.c_str()) != 0) return -1;
  return WallSeconds() - start;
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double one = -1;
  in >> one;
  return one;
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

// Memory of an operation: the high-water mark over the resident size before
// it, per reading, and the mark itself.
struct PeakMeter {
  long baseKb = StatusKilobytes("VmRSS");
  PeakMeter() { ResetPeakMemory(); }
  void Report(benchmark::State& state, const std::string& prefix, std::int64_t readings) const {
    const long peakKb = StatusKilobytes("VmHWM");
    state.counters[prefix + "peak_MB"] = static_cast<double>(peakKb) / 1024.0;
    state.counters[prefix + "peak_B_per_reading"] =
        static_cast<double>(peakKb - baseKb) * 1024.0 / static_cast<double>(readings);
  }
};

// Argument: the lines of the log. Load through the window (the menu command,
// its dialog answered, until the window is idle), the frames after it, then
// Save as and the backup of the loaded log, each with wall time and peak
// memory, beside `wc -l` and an awk sum over the same file.
void BM_LongLog(benchmark::State& state) {
  const std::int64_t lines = state.range(0);
  TScriptedDialogs dialogs;
  auto form = std::make_unique<TForm1>();
  form->Journal.reset();
  form->Chart->SetBounds(kWidth, kHeight);
  // The window shows its empty chart before the user can load a log: that
  // first paint (fonts looked up, texts measured) is not the log's frame.
  TBitmapSurface surface(kWidth, kHeight);
  form->Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
  const std::string path = LongLogPath(lines, form->TextSettings);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tempolog-longlog-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  state.counters["load_average"] = LoadAverage();
  state.counters["wc_l_s"] = CommandSeconds("wc -l '" + path + "' >/dev/null");
  state.counters["awk_sum_s"] =
      CommandSeconds("awk -F'\\t' '{s+=$2} END {print s}' '" + path + "' >/dev/null");
  for (auto _ : state) {
    state.PauseTiming();
    form->Kasuj1Click();
    const PeakMeter meter;
    dialogs.AnswerFile(path);
    const double cpuBefore = ThreadCpuMs();
    const double wallBefore = WallSeconds();
    state.ResumeTiming();
    form->Odczytajzpliku1->trigger();
    QCoreApplication::processEvents();
    state.PauseTiming();
    state.counters["load_wall_s"] = WallSeconds() - wallBefore;
    state.counters["load_cpu_s"] = (ThreadCpuMs() - cpuBefore) / 1e3;
    meter.Report(state, "load_", lines);
    state.ResumeTiming();
  }
  if (form->Series1->PointCount() != lines ||
      !dialogs.Boxes(TScriptedDialogs::Kind::Error).empty()) {
    state.SkipWithError("the log did not load completely");
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

  MeasureFrames(state, *form, surface, "", true);
  form->Series1->SetDrawEveryPoint(true);
  MeasureFrames(state, *form, surface, "every_", false);
  form->Series1->SetDrawEveryPoint(false);

  // What the disk takes to write the same bytes and flush them, for scale.
  state.counters["dd_fsync_s"] = CommandSeconds(
      "dd if='" + path + "' of='" + (dir / "dd.out").string() + "' bs=8M conv=fsync status=none");
  std::filesystem::remove(dir / "dd.out");
  // Save as, through the menu and its dialog.
  {
    const PeakMeter meter;
    const std::string saved = (dir / "saved.log").string();
    dialogs.AnswerFile(saved);
    const double start = WallSeconds();
    form->Zapisdopliku1->trigger();
    state.counters["save_wall_s"] = WallSeconds() - start;
    meter.Report(state, "save_", lines);
    if (std::filesystem::file_size(saved) != std::filesystem::file_size(path)) {
      state.SkipWithError("Save as lost bytes");
    }
  }
  // The backup of the close, into a folder of the benchmark's own.
  {
    const PeakMeter meter;
    const double start = WallSeconds();
    const std::string written = form->WriteBackup(dir.string(), dir.string());
    state.counters["backup_wall_s"] = WallSeconds() - start;
    meter.Report(state, "backup_", lines);
    if (std::filesystem::file_size(written) != std::filesystem::file_size(path)) {
      state.SkipWithError("the backup lost bytes");
    }
  }
  if (!dialogs.Boxes(TScriptedDialogs::Kind::Error).empty()) state.SkipWithError("an error box");
  form.reset();
  std::error_code ignored;
  // The next start after a crash: a dead program's journal of this log, its
  // last line torn, in the data folder. The window comes up (`window_up_s`),
  // the journal is kept beside it and the box tells its readings
  // (`recovery_wall_s`, from the start).
  {
    const std::filesystem::path journal =
        std::filesystem::path(UserDataFolder()) / "journal-20240305-070409-99999.log";
    std::filesystem::create_directories(journal.parent_path());
    std::filesystem::copy_file(path, journal);
    std::ofstream(journal, std::ios::binary | std::ios::app) << "2024-03-05 07:04:12\t2";
    dialogs.ClearHistory();
    const PeakMeter meter;
    const double start = WallSeconds();
    form = std::make_unique<TForm1>();
    form->show();
    QCoreApplication::processEvents();
    state.counters["window_up_s"] = WallSeconds() - start;
    form->AwaitRecovery();
    state.counters["recovery_wall_s"] = WallSeconds() - start;
    meter.Report(state, "recovery_", lines);
    const auto told = dialogs.Boxes(TScriptedDialogs::Kind::Message);
    if (told.size() != 1 ||
        told[0].text.find(std::to_string(lines) + " readings in") == std::string::npos) {
      state.SkipWithError("the recovery lost readings");
    }
    form.reset();
    for (const auto& entry : std::filesystem::directory_iterator(journal.parent_path())) {
      if (entry.path().filename().string().rfind("journal-recovered-", 0) == 0) {
        std::filesystem::remove(entry.path(), ignored);
      }
    }
  }
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_LongLog)
    ->ArgName("lines")
    ->Arg(1000000)
    ->Arg(10000000)
    ->Arg(32000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Load's reading of the lines against the long road line by line, over the
// whole realistic log: the count of lines whose X or Y differ in any bit
// (must be 0), and of lines read by neither road.
void BM_ShortRoadMatchesTheLongRoad(benchmark::State& state) {
  const std::int64_t lines = state.range(0);
  const TFormatSettings settings = MakeTextSettings();
  std::ifstream file(LongLogPath(lines, settings), std::ios::binary);
  std::int64_t differing = 0;
  std::int64_t unread = 0;
  std::int64_t compared = 0;
  for (auto _ : state) {
    std::vector<std::string> batch;
    std::string line;
    const auto compare = [&] {
      std::vector<double> xs(batch.size());
      std::vector<double> ys(batch.size());
      const std::size_t read = ReadLogPoints(
          settings, [&](std::size_t i) { return std::string_view(batch[i]); }, batch.size(),
          xs.data(), ys.data(), LogReadingThreads(batch.size()));
      unread += static_cast<std::int64_t>(batch.size() - read);
      for (std::size_t i = 0; i < read; ++i) {
        const LogColumns columns = SplitLogLine(batch[i]);
        const LogPoint alone = ReadLogPoint(settings, columns.timestamp, columns.value);
        if (std::memcmp(&alone.when, &xs[i], sizeof(double)) != 0 ||
            std::memcmp(&alone.value, &ys[i], sizeof(double)) != 0) {
          ++differing;
        }
      }
      compared += static_cast<std::int64_t>(read);
      batch.clear();
    };
    while (std::getline(file, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      batch.push_back(line);
      if (batch.size() == (1u << 20)) compare();
    }
    compare();
  }
  state.counters["lines_compared"] = static_cast<double>(compared);
  state.counters["lines_differing"] = static_cast<double>(differing);
  state.counters["lines_unread"] = static_cast<double>(unread);
  if (differing != 0 || unread != 0 || compared != lines) state.SkipWithError("the roads differ");
}
BENCHMARK(BM_ShortRoadMatchesTheLongRoad)
    ->ArgName("lines")
    ->Arg(32000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The year loaded through the window against the same readings taken live by
// a second window (each reply as the log holds it, the clock set to its
// line's time): the logs must be the same bytes, the chart's lists the same
// bits, and a frame of each the same image.
void BM_YearLoadedDrawsAsLive(benchmark::State& state) {
  const std::int64_t lines = state.range(0);
  TScriptedDialogs dialogs;
  auto loaded = std::make_unique<TForm1>();
  auto live = std::make_unique<TForm1>();
  loaded->Journal.reset();
  live->Journal.reset();
  const std::string path = LongLogPath(lines, loaded->TextSettings);
  dialogs.AnswerFile(path);
  loaded->Odczytajzpliku1->trigger();
  const auto digits = [](std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  std::string_view line;
  const ClockOverride clock([&] {
    return LocalTime{digits(line, 0, 4),
                     digits(line, 5, 2),
                     digits(line, 8, 2),
                     digits(line, 11, 2),
                     digits(line, 14, 2),
                     digits(line, 17, 2),
                     0};
  });
  for (auto _ : state) {
    for (std::size_t i = 0; i < loaded->Memo1->LineCount(); ++i) {
      line = loaded->Memo1->LineText(i);
      live->AddLiveReading(std::string(line.substr(line.find('\t') + 1)));
    }
  }
  live->Unsaved = 0;
  std::int64_t differing = 0;
  const std::int32_t points = std::min(loaded->Series1->PointCount(), live->Series1->PointCount());
  const auto compare = [&](const TChartValueList& a, const TChartValueList& b) {
    for (std::int32_t i = 0; i < points; ++i) {
      differing += std::memcmp(a.StoredValues() + i, b.StoredValues() + i, sizeof(double)) != 0;
    }
  };
  compare(loaded->Series1->XValues(), live->Series1->XValues());
  compare(loaded->Series1->YValues(), live->Series1->YValues());
  const auto frame = [](TForm1& form) {
    form.Chart->SetBounds(kWidth, kHeight);
    TBitmapSurface surface(kWidth, kHeight);
    form.Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
    form.Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
    return surface.Image()->copy();
  };
  const bool sameImage = frame(*loaded) == frame(*live);
  state.counters["points"] = static_cast<double>(live->Series1->PointCount());
  state.counters["points_differing"] = static_cast<double>(differing);
  state.counters["same_log"] = loaded->Memo1->Text() == live->Memo1->Text();
  state.counters["same_image"] = sameImage;
  if (live->Series1->PointCount() != lines || loaded->Series1->PointCount() != lines ||
      differing != 0 || !sameImage || loaded->Memo1->Text() != live->Memo1->Text()) {
    state.SkipWithError("the loaded year and the live one differ");
  }
}
BENCHMARK(BM_YearLoadedDrawsAsLive)
    ->ArgName("lines")
    ->Arg(32000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Readings taken live, through the window's own road (reply text, ParseNumber,
// RoundToSingle, log line, chart point), the replies of the realistic log:
// the high-water mark over the resident size before the first, per reading.
void BM_LiveReadings(benchmark::State& state) {
  const std::int64_t readings = state.range(0);
  TScriptedDialogs dialogs;
  auto form = std::make_unique<TForm1>();
  form->Journal.reset();  // the journal is a file, not memory
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.05);
  std::vector<std::string> replies;
  char reply[32];
  for (int i = 0; i < 86400; ++i) {
    const double v = 21 + 3 * std::sin(i * 6.283185307 / 86400) + noise(rng);
    std::snprintf(reply, sizeof reply, "%.1f", v);
    replies.emplace_back(reply);
  }
  for (auto _ : state) {
    const PeakMeter meter;
    for (std::int64_t i = 0; i < readings; ++i) {
      form->AddLiveReading(replies[static_cast<std::size_t>(i % 86400)]);
    }
    meter.Report(state, "", readings);
  }
  if (form->Series1->PointCount() != readings) state.SkipWithError("readings lost");
  form->Unsaved = 0;
}
BENCHMARK(BM_LiveReadings)
    ->ArgName("readings")
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tempolog
