// A file one running program holds alone: an exclusive advisory lock that ends
// with the process however it ends (closed, killed, crashed), appends that
// reach the system at once, and a flush to the disk that another thread may
// run while appends go on.
//
// The lock is advisory: it keeps out only those who ask for it (another
// tempolog), never a reader such as a text editor.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tempolog {

class TLockedFile {
 public:
  // Creates the file at `path`, which must not exist yet, for appending and
  // takes its lock. Throws EFCreateError "Cannot create file "<path>". <reason>".
  static std::unique_ptr<TLockedFile> CreateNew(const std::string& path);

  // Opens the file at `path` for appending at its end (and reading), creating
  // it when missing, and takes its lock. Returns nullptr when another holder
  // has the lock. Throws EFCreateError "Cannot create file "<path>". <reason>"
  // when it cannot be opened or created, and on POSIX systems when it is no
  // regular file or a symbolic link of another user (see FilesDetail.h).
  static std::unique_ptr<TLockedFile> OpenAppend(const std::string& path);

  // Opens the existing file at `path` for reading and writing (Truncate) and
  // takes its lock when no one holds it. Returns nullptr when another holder has the lock or the
  // file cannot be opened (for example because it is gone).
  static std::unique_ptr<TLockedFile> TryLock(const std::string& path);

  // Closes the file; the lock ends with it.
  ~TLockedFile();
  TLockedFile(const TLockedFile&) = delete;
  TLockedFile& operator=(const TLockedFile&) = delete;

  // Appends `bytes` at the end with one system write (a second only to finish
  // a short write). Returns 0, or the system's error number.
  int Append(std::string_view bytes) noexcept;

  // Cuts the file back to its first `size` bytes (appends go on from there):
  // takes away what a failed append left of its bytes. Returns 0, or the
  // system's error number.
  int Truncate(std::uint64_t size) noexcept;

  // Puts everything appended so far on the disk, with the file's new length.
  // Returns 0, or the system's error number. May run on another thread while
  // Append runs; it never makes Append wait for the disk.
  int Sync() noexcept;

  // The whole content from the start; nothing when it cannot be read.
  std::optional<std::string> ReadAll() noexcept;

  // The file's length now; nothing when it cannot be told.
  std::optional<std::uint64_t> Size() noexcept;

  // Up to `count` bytes from byte `offset` on (fewer at the end); nothing when
  // they cannot be read. Appends still go to the end.
  std::optional<std::string> ReadAt(std::uint64_t offset, std::size_t count) noexcept;

 private:
  TLockedFile(std::intptr_t file, std::intptr_t flushFile) : file_(file), flushFile_(flushFile) {}

  std::intptr_t file_;       // descriptor or handle of the open file
  std::intptr_t flushFile_;  // a second handle for Sync where the system needs one, else -1
};

// Puts the folder's list of names on the disk, so that a file just created or
// renamed in it is found after a power cut. Returns 0, or the system's error
// number (0 where the system keeps names safe by itself).
int SyncFolder(const std::string& folder) noexcept;

// The number of the running process.
std::uint32_t CurrentProcessId();

}  // namespace tempolog
