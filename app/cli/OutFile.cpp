#include "app/cli/OutFile.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/link/Journal.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/LockedFile.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

// An unfinished last line longer than this is no log line cut short (the
// longest line the recorder writes has 278 bytes): the file is left alone.
constexpr std::uintmax_t kLongestTornLine = 4096;

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

// The recorder writes each line with its CR LF in one write, so a last line
// without its line end was cut short (a crash, a power cut, a full disk), whatever
// it reads as: it is no reading. It goes to a file of its own beside the log
// and is cut from the log, so that the next line starts on a line of its own.
// Returns the length of the file's whole lines, or nothing (told) when the
// file cannot be used.
std::optional<std::uint64_t> MendEnd(const std::string& path, TLockedFile& file) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size == 0) return 0;
  std::ifstream in(path, std::ios::binary);
  const std::uintmax_t start = size > kLongestTornLine + 1 ? size - kLongestTornLine - 1 : 0;
  std::string tail(static_cast<std::size_t>(size - start), '\0');
  in.seekg(static_cast<std::streamoff>(start));
  if (!in.read(tail.data(), static_cast<std::streamsize>(tail.size()))) {
    SayOnStderr("cannot read the end of " + path);
    return std::nullopt;
  }
  // A write cut short leaves a piece of "line CR LF": the LF is its last
  // byte, so a line ended by LF is whole, and a CR at the very end is half a
  // line end.
  const std::size_t whole = tail.rfind('\n') + 1;  // 0 when there is none
  const std::string_view piece = std::string_view(tail).substr(whole);
  if (piece.empty()) return size;
  // A CR inside it ends lines this program did not write: left alone.
  if ((whole == 0 && start > 0) ||
      piece.substr(0, piece.size() - 1).find('\r') != std::string_view::npos) {
    SayOnStderr(path + " does not end with a log line; nothing is appended to it");
    return std::nullopt;
  }
  std::string tornPath;
  try {
    tornPath = KeepTornLine(path, piece);
  } catch (const Exception& failure) {
    SayOnStderr(failure.Message());
    return std::nullopt;
  }
  const std::uint64_t kept = size - piece.size();
  if (const int failed = file.Truncate(kept); failed != 0) {
    SayOnStderr(WriteFailure(path, failed));
    return std::nullopt;
  }
  SayOnStderr(path + ": its unfinished last line is not a reading; kept in " + tornPath + ": " +
              QuoteForMessage(piece, kMessageTextBytes));
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
