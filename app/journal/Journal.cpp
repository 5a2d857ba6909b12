#include "app/journal/Journal.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"
#include "framework/core/LockedFile.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

// A journal is made under this extra ending, which recovery ignores, and
// renamed only once it is locked: a program starting meanwhile never finds
// it unlocked and takes it for a dead one.
constexpr const char* kUnlockedEnding = ".new";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// A running (or dead) program's journal; recovered and closed ones are not.
bool IsJournalName(std::string_view name) {
  return StartsWith(name, kJournalPrefix) && !StartsWith(name, kRecoveredJournalPrefix) &&
         !StartsWith(name, kClosedJournalPrefix) && EndsWith(name, kJournalExtension);
}

bool IsClosedJournalName(std::string_view name) {
  return StartsWith(name, kClosedJournalPrefix) && EndsWith(name, kJournalExtension);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + PathSeparator() + name;
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of(PathSeparator()));
}

std::string NameOf(const std::string& path) {
  return path.substr(path.find_last_of(PathSeparator()) + 1);
}

// Something has the name: a file, or a link even if it leads nowhere.
bool Taken(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

// "journal-X.log" becomes `prefix` + "X.log", with "-2", "-3"... added
// before the extension while that name, or its torn line's, is taken.
std::string RenamedPath(const std::string& folder, const std::string& name, const char* prefix) {
  const std::string_view middle =
      std::string_view(name).substr(std::char_traits<char>::length(kJournalPrefix),
                                    name.size() - std::char_traits<char>::length(kJournalPrefix) -
                                        std::char_traits<char>::length(kJournalExtension));
  const std::string stem = InFolder(folder, prefix + std::string(middle));
  std::string path = stem + kJournalExtension;
  for (int n = 2; Taken(path) || Taken(TornLinePath(path)); ++n) {
    path = stem + "-" + std::to_string(n) + kJournalExtension;
  }
  return path;
}

[[noreturn]] void FailCreate(const std::string& path, const std::error_code& error) {
  throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {path, error.message()}));
}

std::string WriteFailure(const std::string& path, int error) {
  return FormatMessage("Cannot write file \"%s\". %s", {path, SystemErrorText(error)});
}

}  // namespace

// --- one program's journal ---------------------------------------------------

std::unique_ptr<TJournal> TJournal::Create(const std::string& folder, const LocalTime& start) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d-%u", start.year, start.month,
                start.day, start.hour, start.minute, start.second,
                static_cast<unsigned>(CurrentProcessId()));
  const std::string stem = InFolder(folder, std::string(kJournalPrefix) + stamp);
  std::string path = stem + kJournalExtension;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) FailCreate(path, error);
  // Taken only by another window of this process begun in the same second,
  // or by a dead program of the same number.
  for (int n = 2; fs::exists(path, error) || fs::exists(path + kUnlockedEnding, error); ++n) {
    path = stem + "-" + std::to_string(n) + kJournalExtension;
  }

  const std::string unlocked = path + kUnlockedEnding;
  std::unique_ptr<TLockedFile> file;
  try {
    file = TLockedFile::CreateNew(unlocked);
  } catch (const EFCreateError& failure) {
    // The user is told of the journal's name, not of its passing one.
    std::string message = failure.Message();
    const std::string quoted = "\"" + unlocked + "\"";
    if (const auto at = message.find(quoted); at != std::string::npos)
      message.replace(at, quoted.size(), "\"" + path + "\"");
    throw EFCreateError(message);
  }
  fs::rename(unlocked, path, error);
  if (error) {
    file.reset();
    std::error_code ignored;
    fs::remove(unlocked, ignored);
    FailCreate(path, error);
  }
  // Without its name on the disk a power cut would lose the file, flushed or
  // not. Best effort: some file systems cannot flush a folder.
  SyncFolder(folder);
  return std::unique_ptr<TJournal>(new TJournal(path, std::move(file)));
}

TJournal::TJournal(std::string path, std::unique_ptr<TLockedFile> file)
    : path_(std::move(path)), file_(std::move(file)) {
  flusher_ = std::thread([this] { FlushLoop(); });
}

TJournal::~TJournal() { StopFlushing(); }

bool TJournal::Append(std::string_view line) noexcept {
  if (!file_) return false;
  const std::size_t before = held_.size();
  try {
    held_ += line;
    held_ += "\r\n";
  } catch (...) {
    held_.resize(before);
    return false;  // out of memory: this line only
  }
  return WriteHeld();
}

// Writes the held lines in one write. After a failed write the file is first
// cut back to its whole lines: a disk that filled up in the middle of a line
// leaves part of it, which must not run into the next one.
bool TJournal::WriteHeld() noexcept {
  if (held_.empty()) return true;
  int error = writeFailing_ ? file_->Truncate(written_) : 0;
  if (error == 0) error = file_->Append(held_);
  if (error != 0) {
    NoteFailure(error, writeFailing_);
    return false;
  }
  written_ += held_.size();
  held_.clear();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++appended_;
    if (writeFailing_) {
      writeFailing_ = false;
      EndEpisodeIfOver();
    }
  }
  wake_.notify_one();
  return true;
}

// Runs on its own thread: flushes as soon as a line was appended, so a line
// reaches the disk within one flush time. Lines appended during a flush go
// together in the next one; the window's thread never waits for the disk.
void TJournal::FlushLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || flushedUpTo_ < appended_; });
    if (flushedUpTo_ == appended_) return;  // asked to stop, nothing left
    const std::uint64_t target = appended_;
    lock.unlock();
    const int error = file_->Sync();
    if (error != 0) NoteFailure(error, flushFailing_);
    lock.lock();
    if (error == 0 && flushFailing_) {
      flushFailing_ = false;
      EndEpisodeIfOver();
    }
    flushedUpTo_ = target;
    flushed_.notify_all();
  }
}

void TJournal::StopFlushing() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (flusher_.joinable()) flusher_.join();
}

void TJournal::WaitFlushed() {
  std::unique_lock<std::mutex> lock(mutex_);
  flushed_.wait(lock, [this] { return stop_ || flushedUpTo_ >= appended_; });
}

// Sets `failing` (a flag of the episode); the first failure of an episode is
// what the user is told.
void TJournal::NoteFailure(int error, bool& failing) noexcept {
  std::string text;
  try {
    text = JournalFailureMessage(WriteFailure(path_, error));
  } catch (...) {
    // Out of memory: the failure goes untold; the log still has every reading.
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  failing = true;
  if (episode_) return;
  episode_ = true;
  failureTold_ = false;
  notice_.text.swap(text);
  notice_.failure = true;
}

// With the lock held: once nothing fails any more, the episode ends, and the
// user hears of it only when told of its failure.
void TJournal::EndEpisodeIfOver() {
  if (!episode_ || writeFailing_ || flushFailing_) return;
  episode_ = false;
  notice_ = TJournalNotice{};
  if (!failureTold_) return;
  try {
    notice_.text = JournalBackMessage();
  } catch (...) {
    // Out of memory: left untold.
  }
}

TJournalNotice TJournal::TakeNotice() {
  const std::lock_guard<std::mutex> lock(mutex_);
  TJournalNotice notice = std::exchange(notice_, TJournalNotice{});
  if (notice.failure) failureTold_ = true;
  return notice;
}

void TJournal::Remove() noexcept {
  if (!file_) return;
  StopFlushing();
  // Deleted while still locked, so no program starting now can take it for
  // the journal of a dead one.
  std::error_code ignored;
  fs::remove(path_, ignored);
  file_.reset();
}

std::string TJournal::KeepClosed() noexcept {
  if (!file_) return {};
  // Held lines that still cannot be written are in the backup; what their
  // failed write left would be read as a wrong last reading.
  if (!WriteHeld()) file_->Truncate(written_);
  StopFlushing();
  if (written_ == 0) {
    Remove();
    return {};
  }
  std::string kept;
  try {
    const std::string folder = FolderOf(path_);
    // Renamed while still locked, as Remove deletes: no start in between
    // takes it for a dead program's journal.
    const std::string target = RenamedPath(folder, NameOf(path_), kClosedJournalPrefix);
    std::error_code error;
    fs::rename(path_, target, error);
    file_.reset();
    // Not renamed: the next start recovers it as a dead program's.
    if (error) return {};
    kept = target;
    SyncFolder(folder);
    // The oldest by their last reading go first; this one, just closed, stays
    // even when a long recording began before all the others.
    std::vector<std::pair<fs::file_time_type, std::string>> closed;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::string name = it->path().filename().string();
      if (!IsClosedJournalName(name) || InFolder(folder, name) == kept) continue;
      std::error_code timeError;
      const fs::file_time_type time = it->last_write_time(timeError);
      if (!timeError) closed.emplace_back(time, std::move(name));
    }
    std::sort(closed.begin(), closed.end());
    const std::size_t others = kClosedJournalsKept - 1;
    for (std::size_t i = 0; i + others < closed.size(); ++i) {
      fs::remove(InFolder(folder, closed[i].second), error);
    }
  } catch (...) {
    // Out of memory: what was kept stays; older ones stay too.
  }
  file_.reset();
  return kept;
}

// --- recovery ---------------------------------------------------------------

std::size_t WholeLinesLength(std::string_view text) {
  const std::size_t end = text.rfind("\r\n");
  return end == std::string_view::npos ? 0 : end + 2;
}

std::string TornLinePath(const std::string& logPath) {
  const std::size_t nameStart = logPath.find_last_of(PathSeparator()) + 1;
  const std::size_t dot = logPath.rfind('.');
  // A name that starts with its only dot has no extension.
  const bool extension = dot != std::string::npos && dot > nameStart;
  return logPath.substr(0, extension ? dot : logPath.size()) + kTornLineEnding;
}

TJournalParts SplitWholeLines(std::string_view text) {
  TJournalParts parts;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 2;
    const std::string_view line = text.substr(start, next - start);
    const bool whole = end != std::string_view::npos && line.find('\0') == std::string_view::npos;
    (whole ? parts.whole : parts.rest) += line;
    start = next;
  }
  return parts;
}

std::string KeepTornLine(const std::string& logPath, const std::function<void(TNewFile&)>& write) {
  const std::string first = TornLinePath(logPath);
  const std::string stem = first.substr(0, first.size() - std::strlen(kTornLineEnding));
  std::string path = first;
  for (int n = 2; n < 10000; ++n) {
    if (const std::unique_ptr<TNewFile> file = TNewFile::Create(path)) {
      write(*file);
      file->Finish();
      return path;
    }
    path = stem + "-" + std::to_string(n) + kTornLineEnding;
  }
  FailCreate(first, std::make_error_code(std::errc::file_exists));
}

std::string KeepTornLine(const std::string& logPath, std::string_view piece) {
  return KeepTornLine(logPath, [&](TNewFile& file) { file.Write(piece); });
}

std::size_t CountJournalReadings(std::string_view text) {
  std::size_t readings = 0;
  bool inLine = false;
  for (const char c : text.substr(0, WholeLinesLength(text))) {
    if (c == '\n' || c == '\r') {
      inLine = false;
    } else if (!inLine) {
      inLine = true;
      ++readings;
    }
  }
  return readings;
}

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Bit 7 of each byte of `word` that equals `byte`, every other bit clear
// (exact: no carry runs from one byte into the next).
std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t v = word ^ (0x0101010101010101ull * byte);
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

}  // namespace

void TJournalScan::Feed(std::string_view piece) {
  const char* data = piece.data();
  std::size_t i = 0;
  // Eight bytes at a time: bit 7 of each byte marks it in the masks.
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= piece.size(); i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, data + i, 8);
      const std::uint64_t cr = BytesEqual(word, '\r');
      const std::uint64_t breaks = cr | BytesEqual(word, '\n');
      const std::uint64_t afterBreak = (breaks << 8) | (afterBreak_ ? 0x80 : 0);
      runs += static_cast<std::uint64_t>(std::popcount(~breaks & kHighBits & afterBreak));
      const std::uint64_t lineEnds = BytesEqual(word, '\n') & ((cr << 8) | (afterCr_ ? 0x80 : 0));
      if (lineEnds != 0)
        wholeEnd = size + i + static_cast<unsigned>(63 - std::countl_zero(lineEnds)) / 8 + 1;
      const std::uint64_t nul = BytesEqual(word, 0);
      if (nul != 0 && firstNul == UINT64_MAX)
        firstNul = size + i + static_cast<unsigned>(std::countr_zero(nul)) / 8;
      afterBreak_ = (breaks >> 63) != 0;
      afterCr_ = (cr >> 63) != 0;
    }
  }
  for (; i < piece.size(); ++i) {
    const char c = data[i];
    const bool isBreak = c == '\r' || c == '\n';
    if (!isBreak && afterBreak_) ++runs;
    if (c == '\n' && afterCr_) wholeEnd = size + i + 1;
    if (c == '\0' && firstNul == UINT64_MAX) firstNul = size + i;
    afterBreak_ = isBreak;
    afterCr_ = c == '\r';
  }
  size += piece.size();
}

namespace {

// Journals are read in pieces of this size.
constexpr std::size_t kScanPiece = std::size_t{4} << 20;

// One pass over the journal; nothing when it cannot be read.
std::optional<TJournalScan> ScanJournal(TLockedFile& file) {
  TJournalScan scan;
  for (;;) {
    const std::optional<std::string> piece = file.ReadAt(scan.size, kScanPiece);
    if (!piece) return std::nullopt;
    if (piece->empty()) return scan;
    scan.Feed(*piece);
  }
}

// A journal whose whole lines come first (no NUL byte among them), perhaps
// followed by a torn line: the torn line goes to a file of its own, flushed,
// then the journal is cut back to its whole lines and takes its recovered
// name; it is never copied. A failure before the cut leaves the journal as it
// was for the next start; one after it leaves the journal's whole lines where
// they are, and the torn line kept. Returns what was kept, or nothing.
std::optional<TRecoveredJournal> KeepWholeLines(TLockedFile& file, const std::string& path,
                                                const std::string& target,
                                                const TJournalScan& scan) {
  std::error_code error;
  TRecoveredJournal kept{"", static_cast<std::size_t>(scan.runs), ""};
  if (scan.size > scan.wholeEnd) {
    const std::optional<std::string> torn =
        file.ReadAt(scan.wholeEnd, static_cast<std::size_t>(scan.size - scan.wholeEnd));
    if (!torn || torn->size() != scan.size - scan.wholeEnd) return std::nullopt;
    TJournalScan tornScan;
    tornScan.Feed(*torn);
    kept.readings -= static_cast<std::size_t>(tornScan.runs);
    try {
      kept.tornLinePath = KeepTornLine(target, *torn);
    } catch (...) {
      return std::nullopt;
    }
    if (kept.readings > 0 && (file.Truncate(scan.wholeEnd) != 0 || file.Sync() != 0)) {
      fs::remove(kept.tornLinePath, error);
      return std::nullopt;
    }
  }
  if (kept.readings == 0) {
    fs::remove(path, error);
    if (kept.tornLinePath.empty()) return std::nullopt;
    return kept;
  }
  fs::rename(path, target, error);
  // Gone meanwhile: another program starting at the same time took it.
  if (error == std::errc::no_such_file_or_directory) {
    if (kept.tornLinePath.empty()) return std::nullopt;
    kept.readings = 0;
    return kept;
  }
  kept.path = error ? path : target;
  return kept;
}

// A journal with more than whole lines: the whole lines go to a recovered
// file and the rest to one of its own, both written and flushed before the
// journal is deleted, so that a failure at any step leaves the journal for
// the next start. Returns what was kept, or nothing.
std::optional<TRecoveredJournal> KeepTorn(const std::string& path, const std::string& target,
                                          const TJournalParts& parts) {
  TRecoveredJournal kept{"", CountJournalReadings(parts.whole), ""};
  std::error_code ignored;
  try {
    kept.tornLinePath = KeepTornLine(target, parts.rest);
    if (kept.readings > 0) {
      const std::unique_ptr<TNewFile> file = TNewFile::Create(target);
      if (!file) throw EFCreateError(target);  // taken since its name was chosen
      file->Write(parts.whole);
      file->Finish();
      kept.path = target;
    }
  } catch (...) {
    fs::remove(kept.tornLinePath, ignored);
    return std::nullopt;
  }
  fs::remove(path, ignored);
  return kept;
}

}  // namespace

std::vector<TRecoveredJournal> RecoverJournals(const std::string& folder,
                                               const std::string& own) noexcept {
  std::vector<TRecoveredJournal> kept;
  try {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::string name = it->path().filename().string();
      if (IsJournalName(name) && name != own) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = InFolder(folder, name);
      // A lock that is held means its program is still running.
      const std::unique_ptr<TLockedFile> file = TLockedFile::TryLock(path);
      if (!file) continue;
      // Gone meanwhile: another program starting at the same time took it
      // (and let go of its lock after).
      std::error_code gone;
      if (!fs::exists(path, gone)) continue;
      // Read in pieces: a journal of a year's readings is never held whole
      // unless a NUL byte among its lines (what a power cut leaves) needs
      // them sorted.
      const std::optional<TJournalScan> scan = ScanJournal(*file);
      if (!scan) continue;
      const std::string target = RenamedPath(folder, name, kRecoveredJournalPrefix);
      if (scan->firstNul >= scan->wholeEnd) {
        if (std::optional<TRecoveredJournal> whole = KeepWholeLines(*file, path, target, *scan))
          kept.push_back(std::move(*whole));
        continue;
      }
      const std::optional<std::string> text = file->ReadAll();
      if (!text) continue;
      if (std::optional<TRecoveredJournal> torn = KeepTorn(path, target, SplitWholeLines(*text)))
        kept.push_back(std::move(*torn));
    }
  } catch (...) {
    // Out of memory while listing: what was kept so far is reported.
  }
  return kept;
}

std::string RecoveryMessage(const std::vector<TRecoveredJournal>& journals) {
  std::string text = "tempolog ended without being closed. The readings it had taken were kept:\n";
  for (const TRecoveredJournal& journal : journals) {
    if (!journal.path.empty()) {
      text += std::to_string(journal.readings);
      text += journal.readings == 1 ? " reading in \"" : " readings in \"";
      text += journal.path;
      text += "\"\n";
    }
    if (!journal.tornLinePath.empty()) {
      text += "1 unfinished line, not a reading, in \"";
      text += journal.tornLinePath;
      text += "\"\n";
    }
  }
  text += "Open them with Load in the Data menu.";
  return text;
}

std::string JournalBackMessage() {
  return "The journal of readings is kept again, with the readings taken meanwhile.";
}

std::string JournalFailureMessage(const std::string& reason) {
  return "The journal of readings cannot be kept. " + reason +
         ".\nRecording goes on, but readings not yet saved are lost if the program ends "
         "unexpectedly.";
}

}  // namespace tempolog
