// Files on POSIX systems: open/write/fsync/rename for replacing a file in one
// step (through symbolic links, keeping the permission bits), and
// /proc/self/exe for the program's folder (Linux; other systems fall back to
// the working folder).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>

#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/FilesDetail.h"

namespace tempolog {
namespace {

using files_detail::FailCreate;
using files_detail::FailOpen;
using files_detail::FailWrite;

std::string TemporaryName(const std::string& path) {
  static std::mt19937 rng{std::random_device{}()};
  return path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(rng() % 1000000);
}

// Follows `path` through symbolic links to the file a save must replace (it
// need not exist yet); a relative link target counts from the link's folder.
// False with the reason in `error` when a link cannot be read or links loop.
bool FollowLinks(std::string& path, int& error) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n < 0 || static_cast<std::size_t>(n) == sizeof target) {
      error = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    std::string next(target, static_cast<std::size_t>(n));
    const std::string::size_type slash = path.rfind('/');
    if ((next.empty() || next[0] != '/') && slash != std::string::npos)
      next.insert(0, path, 0, slash + 1);
    path = std::move(next);
  }
  error = ELOOP;
  return false;
}

// Writes all bytes, resuming after short writes and interrupted calls.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string SystemErrorText(int error) {
  std::string text = std::strerror(error);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

char PathSeparator() { return '/'; }

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  // Saving over a symbolic link replaces the file it points to; the link
  // stays. Errors still name the path the user chose.
  std::string target = path;
  int linkError = 0;
  if (!FollowLinks(target, linkError)) FailCreate(path, linkError);
  // A target that is a folder can never be replaced: say so before anything
  // else is created beside it.
  struct stat st {};
  const bool replacing = ::stat(target.c_str(), &st) == 0;
  if (replacing && S_ISDIR(st.st_mode)) FailCreate(path, EISDIR);

  // A replaced file keeps its permission bits (and owner, where the system
  // lets us): the new bytes start out no more readable than the old file
  // (the umask can only narrow them) and get its exact bits before the rename.
  const std::string temp = TemporaryName(target);
  const mode_t mode = replacing ? (st.st_mode & 0777) : 0666;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) FailCreate(path, errno);
  int error = 0;
  if (replacing) {
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
      // Only root gives a file away; the file is then the saver's own.
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0) error = errno;
  }
  if (error == 0 && (!WriteAll(fd, bytes) || ::fsync(fd) != 0)) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    FailWrite(path, error);
  }
  // Make the rename itself durable; a failure here loses nothing written.
  const std::string::size_type slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::string ReadFileShared(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailOpen(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    FailOpen(path, EISDIR);
  }
  std::string data;
  if (st.st_size > 0) data.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      FailOpen(path, error);
    }
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return data;
}

std::string ProgramFolder() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string exe = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  const std::string::size_type slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

bool IsSystemFolder(const std::string& folder) {
  for (const std::string_view top : {"/usr", "/bin", "/sbin", "/opt"}) {
    if (folder.compare(0, top.size(), top) == 0 &&
        (folder.size() == top.size() || folder[top.size()] == '/'))
      return true;
  }
  return false;
}

std::string UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/tempolog";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share/tempolog";
}

}  // namespace tempolog
