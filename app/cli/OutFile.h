// The --out file of tempolog-cli record: the log the readings are appended to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tempolog {

// How many readings are held at most while the file cannot be written: a week
// at one reading a second. Beyond it the oldest held reading is dropped.
inline constexpr std::size_t kMaxHeldReadings = 604800;

// What TOutFile needs of its file (the locked file; a test's stand-in). Each
// returns 0, or the system's error number.
class TLogTarget {
 public:
  virtual ~TLogTarget() = default;
  virtual int Append(std::string_view bytes) = 0;  // at the end, in one write
  virtual int Truncate(std::uint64_t size) = 0;    // back to the first `size` bytes
  virtual int Sync() = 0;                          // on the disk
};

// The --out file: appended to under its lock, one write per tick, flushed to
// the disk before the next tick. A line that cannot be written or flushed (a
// full disk) is held; each later tick first cuts the file back to its last
// whole line, then writes the held lines in order with its own. Standard
// error is told once when writing stops and once when it works again.
class TOutFile {
 public:
  using TSay = std::function<void(const std::string&)>;

  // Opens (or creates) the file and mends its end; a message on standard
  // error and nothing returned when it cannot be used.
  static std::unique_ptr<TOutFile> Open(const std::string& path);

  // Appends to `target`, whose whole lines end at byte `size`; messages go to
  // `say`.
  TOutFile(std::string path, std::unique_ptr<TLogTarget> target, std::uint64_t size, TSay say);

  // Tries once more to write what is held; what still cannot be written is
  // told as lost, and the file is left with whole lines only.
  ~TOutFile();
  TOutFile(const TOutFile&) = delete;
  TOutFile& operator=(const TOutFile&) = delete;

  // One log line with its CR LF: written at once, or held.
  void Append(std::string_view line) noexcept;

  // Writes what is held, if anything (at the start of every tick).
  void WriteHeld() noexcept;

 private:
  void TryWrite(std::size_t ownLines) noexcept;
  void DropOldest() noexcept;
  // Tells the text `make` makes; out of memory, it goes untold.
  template <typename Make>
  void Say(const Make& make) noexcept {
    try {
      say_(make());
    } catch (...) {
    }
  }

  std::string path_;
  std::unique_ptr<TLogTarget> target_;
  std::uint64_t written_;  // bytes of whole lines in the file
  TSay say_;
  std::string held_;           // lines not yet written, each with its CR LF,
  std::size_t heldStart_ = 0;  // from this byte on (before it: dropped ones)
  std::size_t heldLines_ = 0;  // how many
  std::uint64_t dropped_ = 0;  // held lines dropped in this outage
  bool failing_ = false;       // the last write or flush failed
};

}  // namespace tempolog
