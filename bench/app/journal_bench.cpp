// The journal's cost per reading, in the benchmark's own per-user data folder
// under /tmp (which must be a disk file system: on tmpfs a flush costs nothing):
//   BM_JournalAppend          what the window's thread pays: one write of a log
//                             line, back to back, so the flush thread is nearly
//                             always busy beside it (max_us: the slowest one)
//   BM_JournalAppendPaced     the same write at the recording pace: each append
//                             comes after the previous line's flush has ended
//   BM_JournalFlushInline     a write and its flush to the disk on the calling
//                             thread: what the flush thread pays per reading at
//                             the recording pace, and what the window would
//                             wait if it flushed itself
//   BM_LiveReading/journal:N  one whole live reading of the window (log line,
//                             chart point) with (1) and without (0) its journal
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "app/journal/Journal.h"
#include "framework/Dialogs.h"
#include "framework/core/Files.h"
#include "framework/core/LockedFile.h"
#include "tests/support/ScriptedDialogs.h"

namespace tempolog {
namespace {

constexpr const char* kLine = "2024-03-05 07:04:09\t23.5";

// The per-user data folder, which the benchmark program's main sets aside.
std::string Folder() { return UserDataFolder(); }

void BM_JournalAppend(benchmark::State& state) {
  const std::unique_ptr<TJournal> journal = TJournal::Create(Folder(), {2024, 3, 5, 7, 4, 9, 0});
  double slowest = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    journal->Append(kLine);
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    slowest = std::max(slowest, took.count());
  }
  journal->WaitFlushed();
  if (!journal->TakeNotice().text.empty()) state.SkipWithError("the journal failed");
  journal->Remove();
  state.counters["max_us"] = slowest;
}
BENCHMARK(BM_JournalAppend)->Unit(benchmark::kMicrosecond);

void BM_JournalAppendPaced(benchmark::State& state) {
  const std::unique_ptr<TJournal> journal = TJournal::Create(Folder(), {2024, 3, 5, 7, 4, 10, 0});
  double slowest = 0;
  for (auto _ : state) {
    journal->WaitFlushed();
    const auto start = std::chrono::steady_clock::now();
    journal->Append(kLine);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    slowest = std::max(slowest, took.count() * 1e6);
  }
  journal->WaitFlushed();
  if (!journal->TakeNotice().text.empty()) state.SkipWithError("the journal failed");
  journal->Remove();
  state.counters["max_us"] = slowest;
}
BENCHMARK(BM_JournalAppendPaced)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_JournalFlushInline(benchmark::State& state) {
  const std::string path = Folder() + "/inline.log";
  std::filesystem::create_directories(Folder());
  std::filesystem::remove(path);
  const std::unique_ptr<TLockedFile> file = TLockedFile::CreateNew(path);
  const std::string line = std::string(kLine) + "\r\n";
  for (auto _ : state) {
    if (file->Append(line) != 0 || file->Sync() != 0) state.SkipWithError("write or flush failed");
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_JournalFlushInline)->Unit(benchmark::kMicrosecond);

void BM_LiveReading(benchmark::State& state) {
  TScriptedDialogs dialogs;
  auto form = std::make_unique<TForm1>();
  if (state.range(0) == 0) form->Journal.reset();
  for (auto _ : state) {
    form->AddLiveReading("23.5");
  }
  state.counters["lines"] = static_cast<double>(form->Series1->PointCount());
  form->Unsaved = 0;  // no backup beside the benchmark; the close removes the journal
  form->close();
}
BENCHMARK(BM_LiveReading)->ArgName("journal")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tempolog
