#include "app/cli/OutFile.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/journal/Journal.h"
#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"
#include "framework/core/LockedFile.h"

namespace tempolog {
namespace {

// A file without a single CR LF is still a log whose first line was cut short
// when it has at most this many bytes (the longest line the recorder writes
// has 278) and no other line end.
constexpr std::uint64_t kLongestTornLine = 4096;

// How much of the file is read at a time.
constexpr std::size_t kChunk = 1 << 16;

class TLockedTarget : public TLogTarget {
 public:
  explicit TLockedTarget(std::unique_ptr<TLockedFile> file) : file_(std::move(file)) {}
  int Append(std::string_view bytes) override { return file_->Append(bytes); }
  int Truncate(std::uint64_t size) override { return file_->Truncate(size); }
  int Sync() override { return file_->Sync(); }

 private:
  std::unique_ptr<TLockedFile> file_;
};

std::string WriteFailure(const std::string& path, int error) {
  return FormatMessage("Cannot write file \"%s\". %s", {path, SystemErrorText(error)});
}

std::string Readings(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " reading" : " readings");
}

// Where the file's last whole line ends, read back from its end a chunk at a
// time (a file may be huge): after its last CR LF.
struct TLastLineEnd {
  std::optional<std::uint64_t> end;  // nothing: no CR LF in the whole file
  bool onlyNul = true;               // without one: every byte is NUL
  bool lineEnd = false;              // without one: a CR or LF before the last byte
};

std::optional<TLastLineEnd> FindLastLineEnd(TLockedFile& file, std::uint64_t size) {
  TLastLineEnd found;
  std::string later;  // the first byte of the chunk after this one
  for (std::uint64_t end = size; end > 0;) {
    const std::uint64_t start = end > kChunk ? end - kChunk : 0;
    std::optional<std::string> chunk = file.ReadAt(start, static_cast<std::size_t>(end - start));
    if (!chunk || chunk->size() != end - start) return std::nullopt;
    const std::string first = chunk->substr(0, 1);
    *chunk += later;
    if (const std::size_t at = chunk->rfind("\r\n"); at != std::string::npos) {
      found.end = start + at + 2;
      return found;
    }
    found.onlyNul = found.onlyNul && chunk->find_first_not_of('\0') == std::string::npos;
    const std::size_t lineEnd = chunk->find_first_of("\r\n");
    found.lineEnd = found.lineEnd || (lineEnd != std::string::npos && start + lineEnd + 1 < size);
    later = first;
    end = start;
  }
  return found;
}

// The recorder writes each line with its CR LF in one write, so a last line
// without its line end was cut short (a crash, a full disk), whatever it
// reads as, and a power cut may leave any length of NUL bytes where the
// system had not put the last lines on the disk yet: no readings. Whatever
// follows the last CR LF goes, however long, to a file of its own beside the
// log and is cut from the log, so that the next line starts on a line of its
// own and the recording goes on. Only a file with no CR LF at all that is more
// than one piece of a line, or NUL bytes, is no log: left alone. Returns the
// length of the file's whole lines, or nothing (told) when the file cannot be
// used.
std::optional<std::uint64_t> MendEnd(const std::string& path, TLockedFile& file) {
  const std::string unreadable = "cannot read the end of " + path;
  const std::optional<std::uint64_t> size = file.Size();
  if (size == std::uint64_t{0}) return 0;
  const std::optional<std::string> last = size ? file.ReadAt(*size - 1, 1) : std::nullopt;
  if (!last || last->size() != 1) {
    SayOnStderr(unreadable);
    return std::nullopt;
  }
  // A write cut short leaves a piece of "line CR LF": the LF is its last
  // byte, so a file that ends with LF ends with a whole line.
  if ((*last)[0] == '\n') return *size;
  const std::optional<TLastLineEnd> found = FindLastLineEnd(file, *size);
  if (!found) {
    SayOnStderr(unreadable);
    return std::nullopt;
  }
  const bool onePiece = *size <= kLongestTornLine && !found->lineEnd;
  if (!found->end && !found->onlyNul && !onePiece) {
    SayOnStderr(path + " holds no log line (none ends with CR LF); nothing is appended to it");
    return std::nullopt;
  }
  const std::uint64_t kept = found->end.value_or(0);
  const std::uint64_t tornBytes = *size - kept;
  // Its start as QuoteForMessage shows it, with the length of the whole.
  const std::optional<std::string> head = file.ReadAt(
      kept, static_cast<std::size_t>(std::min<std::uint64_t>(tornBytes, kMessageTextBytes)));
  if (!head) {
    SayOnStderr(unreadable);
    return std::nullopt;
  }
  std::string quoted = QuoteForMessage(*head, kMessageTextBytes);
  if (tornBytes > head->size()) quoted += "... (" + std::to_string(tornBytes) + " bytes)";
  std::string tornPath;
  try {
    tornPath = KeepTornLine(path, [&](TNewFile& torn) {
      for (std::uint64_t at = kept; at < *size; at += kChunk) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, *size - at));
        const std::optional<std::string> chunk = file.ReadAt(at, count);
        if (!chunk || chunk->size() != count) throw EFOpenError(unreadable);
        torn.Write(*chunk);
      }
    });
  } catch (const Exception& failure) {
    SayOnStderr(failure.Message());
    return std::nullopt;
  }
  if (const int failed = file.Truncate(kept); failed != 0) {
    SayOnStderr(WriteFailure(path, failed));
    return std::nullopt;
  }
  SayOnStderr(path + ": its unfinished last line is not a reading; kept in " + tornPath + ": " +
              quoted);
  return kept;
}

}  // namespace

std::unique_ptr<TOutFile> TOutFile::Open(const std::string& path) {
  std::unique_ptr<TLockedFile> file;
  try {
    file = TLockedFile::OpenAppend(path);
  } catch (const Exception& error) {
    SayOnStderr(error.Message());
    return nullptr;
  }
  if (!file) {
    SayOnStderr(path + " is being written by another program");
    return nullptr;
  }
  const std::optional<std::uint64_t> size = MendEnd(path, *file);
  if (!size) return nullptr;
  return std::make_unique<TOutFile>(path, std::make_unique<TLockedTarget>(std::move(file)), *size,
                                    SayOnStderr);
}

TOutFile::TOutFile(std::string path, std::unique_ptr<TLogTarget> target, std::uint64_t size,
                   TSay say)
    : path_(std::move(path)), target_(std::move(target)), written_(size), say_(std::move(say)) {}

TOutFile::~TOutFile() {
  TryWrite(0);
  if (heldLines_ == 0) return;
  // What a failed write left of a line must not stay as a reading.
  target_->Truncate(written_);
  Say([&] {
    return path_ + ": " + Readings(heldLines_) + " held could not be written and are lost";
  });
}

void TOutFile::Append(std::string_view line) noexcept {
  try {
    held_ += line;
  } catch (...) {
    // Out of memory: this reading cannot be held, as if dropped.
    ++dropped_;
    TryWrite(0);
    return;
  }
  ++heldLines_;
  TryWrite(1);
  while (heldLines_ > kMaxHeldReadings) DropOldest();
}

void TOutFile::WriteHeld() noexcept { TryWrite(0); }

// `ownLines` of the held lines are the tick's own, not held from earlier ones.
void TOutFile::TryWrite(std::size_t ownLines) noexcept {
  if (heldLines_ == 0) return;
  // A failed write may have left part of its bytes: cut back to whole lines.
  int error = failing_ ? target_->Truncate(written_) : 0;
  const std::string_view bytes = std::string_view(held_).substr(heldStart_);
  if (error == 0) error = target_->Append(bytes);
  if (error == 0) error = target_->Sync();
  if (error != 0) {
    if (!failing_) {
      Say([&] {
        return WriteFailure(path_, error) +
               "; readings are held until it can be written (at most " +
               std::to_string(kMaxHeldReadings) + ")";
      });
    }
    failing_ = true;
    return;
  }
  written_ += bytes.size();
  if (failing_) {
    Say([&] {
      std::string text = path_ + ": written again, with the " +
                         Readings(heldLines_ - ownLines + dropped_) + " held meanwhile";
      if (dropped_ > 0) text += " but the oldest " + std::to_string(dropped_) + " dropped";
      return text;
    });
  }
  failing_ = false;
  held_.clear();
  heldStart_ = 0;
  heldLines_ = 0;
  dropped_ = 0;
}

// Held lines are the recorder's own log lines: each ends with its only CR LF.
void TOutFile::DropOldest() noexcept {
  heldStart_ = held_.find("\r\n", heldStart_) + 2;
  --heldLines_;
  if (dropped_++ == 0) {
    Say([&] {
      return path_ + ": more than " + std::to_string(kMaxHeldReadings) +
             " readings held; the oldest are dropped from now on";
    });
  }
  // The dropped bytes go once they are half of what is kept.
  if (heldStart_ > held_.size() / 2) {
    held_.erase(0, heldStart_);
    heldStart_ = 0;
  }
}

}  // namespace tempolog
