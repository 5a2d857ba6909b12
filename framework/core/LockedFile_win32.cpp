// Locked files on Windows.
//   lock   LockFileEx(LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY) on
//          one byte far beyond any data, so the data stays readable by others;
//          the system drops the lock when the handle closes or the process ends
//   share  every handle allows read, write and delete sharing, so the file can
//          be renamed or deleted while it is open and probed by another program
//   append WriteFile on a handle whose position is always the end; a cut
//          (SetEndOfFile) leaves the position at the new end
//   flush  FlushFileBuffers on a second handle of the same file: a flush
//          through the appending handle would make the next WriteFile wait
//          for it (synchronous handles serialise their calls)
// Paths are in the system's single-byte code page, as everywhere in the program.
#include <windows.h>

#include "framework/core/FilesDetail.h"
#include "framework/core/LockedFile.h"

namespace tempolog {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The locked byte: offset 2^63 - 2, beyond the end of any real file.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

HANDLE Handle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }
std::intptr_t Stored(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

bool TakeLock(HANDLE file) {
  OVERLAPPED where{};
  where.Offset = kLockOffsetLow;
  where.OffsetHigh = kLockOffsetHigh;
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where) !=
         FALSE;
}

void ReleaseLock(HANDLE file) {
  OVERLAPPED where{};
  where.Offset = kLockOffsetLow;
  where.OffsetHigh = kLockOffsetHigh;
  UnlockFileEx(file, 0, 1, 0, &where);
}

// The second handle Sync flushes through. When it cannot be opened the
// locked `file` is closed (and deleted when it was just created) and
// EFCreateError thrown.
HANDLE OpenFlushHandle(HANDLE file, const std::string& path, bool deleteOnFailure) {
  const HANDLE flush = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (flush != INVALID_HANDLE_VALUE) return flush;
  const int error = static_cast<int>(GetLastError());
  ReleaseLock(file);
  CloseHandle(file);
  if (deleteOnFailure) DeleteFileA(path.c_str());
  files_detail::FailCreate(path, error);
}

}  // namespace

std::unique_ptr<TLockedFile> TLockedFile::CreateNew(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    files_detail::FailCreate(path, static_cast<int>(GetLastError()));
  if (!TakeLock(file)) {
    const int error = static_cast<int>(GetLastError());
    CloseHandle(file);
    DeleteFileA(path.c_str());
    files_detail::FailCreate(path, error);
  }
  const HANDLE flush = OpenFlushHandle(file, path, true);
  return std::unique_ptr<TLockedFile>(new TLockedFile(Stored(file), Stored(flush)));
}

std::unique_ptr<TLockedFile> TLockedFile::OpenAppend(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    files_detail::FailCreate(path, static_cast<int>(GetLastError()));
  if (!TakeLock(file)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (error == ERROR_LOCK_VIOLATION) return nullptr;
    files_detail::FailCreate(path, static_cast<int>(error));
  }
  // Writes go on from the end, as on a file just created.
  const LARGE_INTEGER none{};
  if (!SetFilePointerEx(file, none, nullptr, FILE_END)) {
    const int error = static_cast<int>(GetLastError());
    ReleaseLock(file);
    CloseHandle(file);
    files_detail::FailCreate(path, error);
  }
  const HANDLE flush = OpenFlushHandle(file, path, false);
  return std::unique_ptr<TLockedFile>(new TLockedFile(Stored(file), Stored(flush)));
}

std::unique_ptr<TLockedFile> TLockedFile::TryLock(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (!TakeLock(file)) {
    CloseHandle(file);
    return nullptr;
  }
  return std::unique_ptr<TLockedFile>(new TLockedFile(Stored(file), -1));
}

TLockedFile::~TLockedFile() {
  if (flushFile_ != -1) CloseHandle(Handle(flushFile_));
  ReleaseLock(Handle(file_));
  CloseHandle(Handle(file_));
}

int TLockedFile::Append(std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(Handle(file_), bytes.data(), chunk, &written, nullptr))
      return static_cast<int>(GetLastError());
    bytes.remove_prefix(written);
  }
  return 0;
}

int TLockedFile::Truncate(std::uint64_t size) noexcept {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(Handle(file_), end, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(file_)))
    return static_cast<int>(GetLastError());
  return 0;
}

int TLockedFile::Sync() noexcept {
  const HANDLE target = Handle(flushFile_ != -1 ? flushFile_ : file_);
  return FlushFileBuffers(target) ? 0 : static_cast<int>(GetLastError());
}

std::optional<std::string> TLockedFile::ReadAll() noexcept {
  try {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(Handle(file_), start, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string data;
    char buffer[1 << 16];
    for (;;) {
      DWORD n = 0;
      if (!ReadFile(Handle(file_), buffer, sizeof buffer, &n, nullptr)) return std::nullopt;
      if (n == 0) return data;
      data.append(buffer, n);
    }
  } catch (...) {
    return std::nullopt;  // out of memory
  }
}

std::optional<std::uint64_t> TLockedFile::Size() noexcept {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(file_), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<std::string> TLockedFile::ReadAt(std::uint64_t offset, std::size_t count) noexcept {
  try {
    std::string data(count, '\0');
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD n = 0;
    const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    const bool read = SetFilePointerEx(Handle(file_), at, nullptr, FILE_BEGIN) &&
                      ReadFile(Handle(file_), data.data(), chunk, &n, nullptr);
    // Appends go on from the end, wherever the read left the position.
    const LARGE_INTEGER none{};
    if (!SetFilePointerEx(Handle(file_), none, nullptr, FILE_END) || !read) return std::nullopt;
    data.resize(n);
    return data;
  } catch (...) {
    return std::nullopt;  // out of memory
  }
}

// NTFS journals its names itself; a folder cannot be flushed like a file.
int SyncFolder(const std::string&) noexcept { return 0; }

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

}  // namespace tempolog
