#include "app/link/Journal.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/LockedFile.h"

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

// A running (or dead) program's journal; recovered ones are not.
bool IsJournalName(std::string_view name) {
  return StartsWith(name, kJournalPrefix) && !StartsWith(name, kRecoveredJournalPrefix) &&
         EndsWith(name, kJournalExtension);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + PathSeparator() + name;
}

// "journal-X.log" becomes "journal-recovered-X.log", with "-2", "-3"... added
// before the extension if that name is taken.
std::string RecoveredPath(const std::string& folder, const std::string& name) {
  const std::string_view middle =
      std::string_view(name).substr(std::char_traits<char>::length(kJournalPrefix),
                                    name.size() - std::char_traits<char>::length(kJournalPrefix) -
                                        std::char_traits<char>::length(kJournalExtension));
  const std::string stem = kRecoveredJournalPrefix + std::string(middle);
  std::string path = InFolder(folder, stem + kJournalExtension);
  std::error_code ignored;
  for (int n = 2; fs::exists(path, ignored); ++n) {
    path = InFolder(folder, stem + "-" + std::to_string(n) + kJournalExtension);
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
  const std::string path =
      InFolder(folder, std::string(kJournalPrefix) + stamp + kJournalExtension);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) FailCreate(path, error);
  if (fs::exists(path, error)) FailCreate(path, std::make_error_code(std::errc::file_exists));

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
  if (!file_ || broken_) return false;
  try {
    lineBuffer_.assign(line);
    lineBuffer_ += "\r\n";
  } catch (...) {
    return false;  // out of memory: this line only
  }
  const int error = file_->Append(lineBuffer_);
  if (error != 0) {
    broken_ = true;
    NoteFailure(error);
    return false;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++appended_;
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
    if (error != 0) NoteFailure(error);
    lock.lock();
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

void TJournal::NoteFailure(int error) noexcept {
  try {
    std::string text = JournalFailureMessage(WriteFailure(path_, error));
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failureNoted_) return;
    failureNoted_ = true;
    failure_ = std::move(text);
  } catch (...) {
    // Out of memory: the failure goes untold; the log still has every reading.
  }
}

std::string TJournal::TakeFailure() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(failure_, std::string());
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

// --- recovery ---------------------------------------------------------------

std::size_t CountJournalReadings(std::string_view text) {
  std::size_t readings = 0;
  bool inLine = false;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      inLine = false;
    } else if (!inLine) {
      inLine = true;
      ++readings;
    }
  }
  return readings;
}

std::vector<TRecoveredJournal> RecoverJournals(const std::string& folder) noexcept {
  std::vector<TRecoveredJournal> kept;
  try {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::string name = it->path().filename().string();
      if (IsJournalName(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = InFolder(folder, name);
      // A lock that is held means its program is still running.
      const std::unique_ptr<TLockedFile> file = TLockedFile::TryLock(path);
      if (!file) continue;
      const std::optional<std::string> text = file->ReadAll();
      if (!text) continue;
      const std::size_t readings = CountJournalReadings(*text);
      std::error_code renameError;
      if (readings == 0) {
        fs::remove(path, renameError);
        continue;
      }
      const std::string target = RecoveredPath(folder, name);
      fs::rename(path, target, renameError);
      // Gone meanwhile: another program starting at the same time took it.
      if (renameError == std::errc::no_such_file_or_directory) continue;
      kept.push_back({renameError ? path : target, readings});
    }
  } catch (...) {
    // Out of memory while listing: what was kept so far is reported.
  }
  return kept;
}

std::string RecoveryMessage(const std::vector<TRecoveredJournal>& journals) {
  std::string text = "tempolog ended without being closed. The readings it had taken were kept:\n";
  for (const TRecoveredJournal& journal : journals) {
    text += std::to_string(journal.readings);
    text += journal.readings == 1 ? " reading in \"" : " readings in \"";
    text += journal.path;
    text += "\"\n";
  }
  text += "Open them with Load in the Data menu.";
  return text;
}

std::string JournalFailureMessage(const std::string& reason) {
  return "The journal of readings cannot be kept. " + reason +
         ".\nRecording goes on, but readings not yet saved are lost if the program ends "
         "unexpectedly.";
}

}  // namespace tempolog
