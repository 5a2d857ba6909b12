// Locked files on POSIX systems.
//   lock   flock(LOCK_EX | LOCK_NB): held by the open file description, so a
//          second open of the same file, in this process or another, sees it
//          held; released by the system when the process ends in any way
//   append O_APPEND and one write() per call; ftruncate() cuts a failed
//          append's remains, and the next write goes to the new end
//   open   a file to append to as every file others may reach is opened
//          (FilesDetail.h): a link of another user is not followed, and
//          only a regular file is taken; a new file with O_EXCL | O_NOFOLLOW
//   flush  fdatasync(), which may run on another thread beside write(); a
//          folder's names by fsync() of the folder
// Not covered: network file systems that do not pass flock on to the server.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "framework/core/FilesDetail.h"
#include "framework/core/LockedFile.h"

namespace tempolog {
namespace {

int Fd(std::intptr_t file) { return static_cast<int>(file); }

}  // namespace

std::unique_ptr<TLockedFile> TLockedFile::CreateNew(const std::string& path) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) files_detail::FailCreate(path, errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    ::unlink(path.c_str());
    files_detail::FailCreate(path, error);
  }
  return std::unique_ptr<TLockedFile>(new TLockedFile(fd, -1));
}

std::unique_ptr<TLockedFile> TLockedFile::OpenAppend(const std::string& path) {
  // Readable too, so that the end of what is there can be mended.
  const int fd = files_detail::OpenRegularFile(path, O_RDWR | O_CREAT | O_APPEND, 0666);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    files_detail::FailCreate(path, error);
  }
  return std::unique_ptr<TLockedFile>(new TLockedFile(fd, -1));
}

std::unique_ptr<TLockedFile> TLockedFile::TryLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TLockedFile>(new TLockedFile(fd, -1));
}

TLockedFile::~TLockedFile() { ::close(Fd(file_)); }

int TLockedFile::Append(std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t n = ::write(Fd(file_), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int TLockedFile::Truncate(std::uint64_t size) noexcept {
  while (::ftruncate(Fd(file_), static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int TLockedFile::Sync() noexcept {
  while (::fdatasync(Fd(file_)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

std::optional<std::string> TLockedFile::ReadAll() noexcept {
  try {
    std::string data;
    char buffer[1 << 16];
    for (off_t offset = 0;;) {
      const ssize_t n = ::pread(Fd(file_), buffer, sizeof buffer, offset);
      if (n < 0) {
        if (errno == EINTR) continue;
        return std::nullopt;
      }
      if (n == 0) return data;
      data.append(buffer, static_cast<std::size_t>(n));
      offset += n;
    }
  } catch (...) {
    return std::nullopt;  // out of memory
  }
}

std::optional<std::uint64_t> TLockedFile::Size() noexcept {
  struct stat st {};
  if (::fstat(Fd(file_), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> TLockedFile::ReadAt(std::uint64_t offset, std::size_t count) noexcept {
  try {
    std::string data(count, '\0');
    std::size_t got = 0;
    while (got < count) {
      const ssize_t n =
          ::pread(Fd(file_), data.data() + got, count - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return std::nullopt;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    return data;
  } catch (...) {
    return std::nullopt;  // out of memory
  }
}

int SyncFolder(const std::string& folder) noexcept {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error;
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace tempolog
