// The journal: a copy of every live reading on the disk while the program
// runs, so that a killed program loses no reading and a power cut at most the
// last second of them.
//
//   TJournal          one running program's journal: append, flush, remove,
//                     or keep once closed
//   RecoverJournals   keeps the journals of programs that ended without closing
//   texts             what the user is told about recovered or failing journals
//
// Files in the per-user data folder:
//   journal-<yyyymmdd>-<hhmmss>-<process>.log   a running program's journal,
//                                               locked while it runs
//   journal-recovered-<...>.log                 a dead program's journal, kept
//                                               for Load; never touched again
//   journal-recovered-<...>-torn-line.txt       the unfinished last line of a
//                                               dead program's journal, and
//                                               any line a power cut left
//                                               NUL bytes in, kept apart:
//                                               they are no readings
//   journal-closed-<...>.log                    the journal of a program that
//                                               closed with a backup, which a
//                                               later close may replace; the
//                                               newest kClosedJournalsKept stay
// A journal holds the log's own lines (timestamp, tab, reply, CR LF), so Load
// opens it like any saved log. Each line goes to the file with its CR LF in
// one write, so only the last line can be torn; but a power cut may leave
// runs of NUL bytes where the system had not yet put the bytes on the disk.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "framework/core/Clock.h"

namespace tempolog {

class TLockedFile;
class TNewFile;

inline constexpr const char* kJournalPrefix = "journal-";
inline constexpr const char* kRecoveredJournalPrefix = "journal-recovered-";
inline constexpr const char* kClosedJournalPrefix = "journal-closed-";
inline constexpr const char* kJournalExtension = ".log";
inline constexpr const char* kTornLineEnding = "-torn-line.txt";

// How many journals of closes that wrote a backup are kept; older ones go.
inline constexpr std::size_t kClosedJournalsKept = 10;

// Something to tell the user about the journal: that it failed, or that it
// works again after a failure.
struct TJournalNotice {
  std::string text;  // empty: nothing to tell
  bool failure = false;
};

class TJournal {
 public:
  // Creates this program's journal in `folder` (made when missing), locked for
  // as long as the object lives, named after `start` and the process number
  // ("-2", "-3"... added when that name is taken). Throws EFCreateError when it cannot be created.
  static std::unique_ptr<TJournal> Create(const std::string& folder, const LocalTime& start);

  // Waits for the last flush and closes the file; the file stays where it is,
  // for the next start to recover (only Remove deletes it).
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  // Appends one log line (without its line break) and CR LF in one write to
  // the system; the flush thread puts it on the disk right after. Never throws
  // and never waits for the disk. Returns false when the line could not be
  // written: it is held, and each later append first cuts what the failed
  // write left in the file and writes the held lines, in order, with its own.
  bool Append(std::string_view line) noexcept;

  // What the user should be told, each thing once: the first failure of an
  // episode (writing or flushing), and, when the failure was told, that the
  // journal works again once it has written and flushed everything held.
  // An episode that ends before its failure was taken is never told.
  TJournalNotice TakeNotice();

  // Deletes the journal once the log it protects is safe; stops appending.
  void Remove() noexcept;

  // For a close that wrote the backup, which a later close may replace: tries
  // once more to write held lines, then renames the journal to the closed
  // form, so that no start takes it for a dead program's, and deletes the
  // oldest closed journals beyond kClosedJournalsKept. A journal without a
  // reading is deleted instead. Returns the path kept, empty when none was.
  std::string KeepClosed() noexcept;

  // Blocks until every line appended so far is on the disk (or its flush failed).
  void WaitFlushed();

  const std::string& Path() const { return path_; }

 private:
  TJournal(std::string path, std::unique_ptr<TLockedFile> file);
  void FlushLoop();
  void StopFlushing();
  bool WriteHeld() noexcept;
  void NoteFailure(int error, bool& failing) noexcept;
  void EndEpisodeIfOver();

  std::string path_;
  std::unique_ptr<TLockedFile> file_;
  std::string held_;           // lines not yet written, each with its CR LF
  std::uint64_t written_ = 0;  // bytes of whole lines in the file

  // Shared with the flush thread.
  std::mutex mutex_;
  std::condition_variable wake_;     // a line was appended, or stop
  std::condition_variable flushed_;  // a flush ended
  std::uint64_t appended_ = 0;       // lines appended so far
  std::uint64_t flushedUpTo_ = 0;    // lines on the disk (or given up)
  bool stop_ = false;
  // A failure episode lasts while a write or a flush fails; the window's
  // thread alone sets writeFailing_, so it may read it without the lock.
  bool writeFailing_ = false;
  bool flushFailing_ = false;
  bool episode_ = false;
  bool failureTold_ = false;  // the episode's failure was handed out
  TJournalNotice notice_;     // until handed out
  std::thread flusher_;
};

// A dead program's journal kept for Load.
struct TRecoveredJournal {
  std::string path;  // empty when it held no whole line
  std::size_t readings = 0;
  std::string tornLinePath;  // its unfinished last line; empty when none
};

// Looks at every journal in `folder` whose lock is free (its program has
// ended): its whole lines go to the recovered form and the rest (an
// unfinished last line, lines with NUL bytes) to a file of its own beside it
// (both listed); one holding neither is
// deleted. Journals of running programs, recovered and closed journals and
// other files are left alone. Never throws; a folder that cannot be read
// recovers nothing, and a journal that cannot be kept stays for the next start.
// `own` names this program's journal, never taken whatever its lock says.
std::vector<TRecoveredJournal> RecoverJournals(const std::string& folder,
                                               const std::string& own = {}) noexcept;

// The length of a journal's whole lines: up to and including its last CR LF.
// What follows is a line torn when its program ended, not a reading.
std::size_t WholeLinesLength(std::string_view text);

// A journal's text sorted into its whole lines, each ended by CR LF and
// holding no NUL byte (the bytes a power cut kept from the disk read as NUL),
// and the rest; both keep their order.
struct TJournalParts {
  std::string whole;
  std::string rest;
};
TJournalParts SplitWholeLines(std::string_view text);

// The file beside a log that keeps the log's unfinished last line: the log's
// name without its extension, and "-torn-line.txt" ("lab.log" has
// "lab-torn-line.txt"), so that it is listed next to the log.
std::string TornLinePath(const std::string& logPath);

// Keeps what of the log at `logPath` is no whole line (its unfinished last
// line, what a power cut left) in a file of its own, made new: its
// TornLinePath, or when that name is taken, by a symbolic link too (never
// followed), the first free of "<name>-2-torn-line.txt", "-3-"...; `write`
// writes the bytes to it, and it is flushed to the disk. Returns the file's
// path. Throws EFCreateError when it cannot be written (it is then removed).
std::string KeepTornLine(const std::string& logPath, const std::function<void(TNewFile&)>& write);
// The same with the bytes at hand.
std::string KeepTornLine(const std::string& logPath, std::string_view piece);

// The readings in a journal's text: its non-empty whole lines.
std::size_t CountJournalReadings(std::string_view text);

// What one pass over a journal's text finds, fed piece by piece in order (so
// that a journal of any size is read in bounded memory). When no NUL byte
// lies before `wholeEnd`, the text is its whole lines up to `wholeEnd` and
// then perhaps a torn line, and its readings are `runs` less those of the
// torn line; otherwise SplitWholeLines must sort it.
class TJournalScan {
 public:
  void Feed(std::string_view piece);

  std::uint64_t size = 0;               // bytes fed
  std::uint64_t wholeEnd = 0;           // WholeLinesLength of the bytes fed
  std::uint64_t firstNul = UINT64_MAX;  // where the first NUL byte is
  std::uint64_t runs = 0;               // runs of bytes other than CR and LF

 private:
  bool afterBreak_ = true;  // the last byte fed was CR or LF, or none was fed
  bool afterCr_ = false;    // it was CR
};

// The message box text naming every recovered journal, its readings and path.
std::string RecoveryMessage(const std::vector<TRecoveredJournal>& journals);

// The message box text when the journal cannot be created or written.
std::string JournalFailureMessage(const std::string& reason);

// The message box text when the journal works again after a failure.
std::string JournalBackMessage();

}  // namespace tempolog
