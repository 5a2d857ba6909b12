// The journal: a copy of every live reading on the disk while the program
// runs, so that a killed program loses no reading and a power cut at most the
// last second of them.
//
//   TJournal          one running program's journal: append, flush, remove
//   RecoverJournals   keeps the journals of programs that ended without closing
//   texts             what the user is told about recovered or failing journals
//
// Files in the per-user data folder:
//   journal-<yyyymmdd>-<hhmmss>-<process>.log   a running program's journal,
//                                               locked while it runs
//   journal-recovered-<...>.log                 a dead program's journal, kept
//                                               for Load; never touched again
// A journal holds the log's own lines (timestamp, tab, reply, CR LF), so Load
// opens it like any saved log.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "framework/Clock.h"

namespace tempolog {

class TLockedFile;

inline constexpr const char* kJournalPrefix = "journal-";
inline constexpr const char* kRecoveredJournalPrefix = "journal-recovered-";
inline constexpr const char* kJournalExtension = ".log";

class TJournal {
 public:
  // Creates this program's journal in `folder` (made when missing), locked for
  // as long as the object lives, named after `start` and the process number.
  // Throws EFCreateError when it cannot be created.
  static std::unique_ptr<TJournal> Create(const std::string& folder, const LocalTime& start);

  // Waits for the last flush and closes the file; the file stays where it is,
  // for the next start to recover (only Remove deletes it).
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  // Appends one log line (without its line break) and CR LF in one write to
  // the system; the flush thread puts it on the disk right after. Never throws
  // and never waits for the disk. Returns false when the line could not be
  // written: from then on the journal takes no more lines (a torn line may
  // stay last) and TakeFailure() says why.
  bool Append(std::string_view line) noexcept;

  // The first failure, writing or flushing, as a text for the user; each
  // failure is handed out once; empty when there is no new one.
  std::string TakeFailure();

  // Deletes the journal once the log it protects is safe; stops appending.
  void Remove() noexcept;

  // Blocks until every line appended so far is on the disk (or its flush failed).
  void WaitFlushed();

  const std::string& Path() const { return path_; }

 private:
  TJournal(std::string path, std::unique_ptr<TLockedFile> file);
  void FlushLoop();
  void StopFlushing();
  void NoteFailure(int error) noexcept;

  std::string path_;
  std::unique_ptr<TLockedFile> file_;
  std::string lineBuffer_;  // the line being appended, with its CR LF
  bool broken_ = false;     // a write failed: no more appends

  // Shared with the flush thread.
  std::mutex mutex_;
  std::condition_variable wake_;     // a line was appended, or stop
  std::condition_variable flushed_;  // a flush ended
  std::uint64_t appended_ = 0;       // lines appended so far
  std::uint64_t flushedUpTo_ = 0;    // lines on the disk (or given up)
  bool stop_ = false;
  std::string failure_;        // first failure, until handed out
  bool failureNoted_ = false;  // only the first failure is told
  std::thread flusher_;
};

// A dead program's journal kept for Load.
struct TRecoveredJournal {
  std::string path;
  std::size_t readings = 0;
};

// Looks at every journal in `folder` whose lock is free (its program has
// ended): one holding readings is renamed to the recovered form and listed;
// one holding none is deleted. Journals of running programs, recovered
// journals and other files are left alone. Never throws; a folder that cannot
// be read recovers nothing.
std::vector<TRecoveredJournal> RecoverJournals(const std::string& folder) noexcept;

// The readings in a journal's text: its non-empty lines.
std::size_t CountJournalReadings(std::string_view text);

// The message box text naming every recovered journal, its readings and path.
std::string RecoveryMessage(const std::vector<TRecoveredJournal>& journals);

// The message box text when the journal cannot be created or written.
std::string JournalFailureMessage(const std::string& reason);

}  // namespace tempolog
