// Files on POSIX systems.
//   replace    a temporary file made with O_CREAT | O_EXCL | O_NOFOLLOW under a
//              random name beside the target (a link planted at a guessed
//              name is never written through), written, fsync()ed (not for
//              ReplaceFileUnflushed), renamed over the target with renameat()
//              in the folder already open; then the folder is fsync()ed
//   links      never followed by hand: the last component is opened with
//              O_NOFOLLOW; on ELOOP the link's owner is checked by fstatat()
//              in the folder already open, and only a link of this user or of
//              root is then followed, by the system (which applies its own
//              protection to any link further along), and must still be the
//              same link after the open. A save finds the file the link led to
//              as the system resolved it, from /proc/self/fd (Linux)
//   regular    a file others may reach is opened with O_NONBLOCK and
//              fstat()ed: a FIFO or a device is refused, never waited on
//   new files  O_CREAT | O_EXCL | O_NOFOLLOW: a name taken, by a dangling link
//              too, is never written through
//   program    /proc/self/exe for the program's folder (Linux; other systems
//              fall back to the working folder)
// Not covered: a folder whose entries others may rename (writable by them and
// not sticky), where a link of ours could be moved away and back around the
// check; in sticky folders such as /tmp only the link's owner can do that.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <utility>

#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"
#include "framework/core/FilesDetail.h"
#include "framework/core/LockedFile.h"

// Systems without O_PATH open the folders and files it is used for to read.
#ifndef O_PATH
#define O_PATH O_RDONLY
#endif

namespace tempolog {
namespace {

using files_detail::FailCreate;
using files_detail::FailOpen;
using files_detail::FailWrite;
using files_detail::kForeignLink;

// A descriptor, closed when it goes.
class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(TFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TFd& operator=(TFd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The folder of `path`, open: a name checked in it and then opened is in the
// same folder, whatever happens to the folder's own path meanwhile. Readable
// where it may be, so that it can be flushed. -1 with errno when it cannot.
int OpenFolderOf(const std::string& path) {
  const std::string folder = FolderOf(path);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A link the system itself would follow in a sticky folder: one of this user
// or of root. A link of another user may have been planted by that user.
bool OwnLink(const struct stat& link) { return link.st_uid == ::geteuid() || link.st_uid == 0; }

// Opens what the symbolic link `name` in the folder `dir` points to with
// openat(`flags`), once the link is found to be this user's or root's; and
// the link must still be that one after the open, so swapping it for another
// meanwhile gains nothing. `path` names it in errors. Returns the descriptor,
// or -1 with errno when the open itself fails.
int OpenThroughOwnLink(const std::string& path, int dir, const std::string& name, int flags,
                       mode_t mode) {
  struct stat link {};
  if (::fstatat(dir, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0) FailCreate(path, errno);
  // Not a link: the loop is among the folders before it.
  if (!S_ISLNK(link.st_mode)) FailCreate(path, ELOOP);
  if (!OwnLink(link)) FailCreate(path, std::string(kForeignLink));
  const int fd = ::openat(dir, name.c_str(), flags, mode);
  if (fd < 0) return -1;
  struct stat after {};
  if (::fstatat(dir, name.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(after, link)) {
    ::close(fd);
    FailCreate(path, std::string(kForeignLink));
  }
  return fd;
}

// A name for a temporary file beside `name` that no one can guess.
std::string TemporaryName(const std::string& name) {
  std::random_device random;
  const std::uint64_t number = (std::uint64_t{random()} << 32) ^ random();
  char text[24];
  std::snprintf(text, sizeof text, ".tmp%016llx", static_cast<unsigned long long>(number));
  return name + text;
}

// Creates a temporary file beside `name` in the folder `dir`, under a name
// nothing had (a link planted there is never opened): its name goes to `temp`.
// Returns the descriptor, or -1 with errno.
int CreateTemporary(int dir, const std::string& name, mode_t mode, std::string& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = TemporaryName(name);
    const int fd =
        ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
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

// What a replacement takes the place of: the name in its open folder, and
// what has the name now.
struct TTarget {
  TFd dir;
  std::string name;
  bool exists = false;
  struct stat st {};
  bool created = false;  // made empty here, through a link to a file not yet there
};

// The file a save to `path` replaces: `path` itself, or with `followLink`
// the file that a link there of this user or root points to, as the system
// resolves it (a link to a file not yet there creates it empty).
TTarget SaveTarget(const std::string& path, bool followLink) {
  TTarget target;
  target.dir = TFd(OpenFolderOf(path));
  if (target.dir.Get() < 0) FailCreate(path, errno);
  target.name = NameOf(path);
  if (::fstatat(target.dir.Get(), target.name.c_str(), &target.st, AT_SYMLINK_NOFOLLOW) == 0)
    target.exists = true;
  else if (errno != ENOENT) FailCreate(path, errno);
  if (!target.exists || !followLink || !S_ISLNK(target.st.st_mode)) return target;

  int fd = OpenThroughOwnLink(path, target.dir.Get(), target.name, O_PATH | O_CLOEXEC, 0);
  bool created = false;
  if (fd < 0 && errno == ENOENT) {
    fd = OpenThroughOwnLink(path, target.dir.Get(), target.name,
                            O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    created = fd >= 0;
  }
  if (fd < 0) FailCreate(path, errno);
  const TFd file(fd);
  char resolved[4096];
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(self.c_str(), resolved, sizeof resolved);
  if (n <= 0 || static_cast<std::size_t>(n) == sizeof resolved)
    FailCreate(path, n < 0 ? errno : ENAMETOOLONG);
  const std::string real(resolved, static_cast<std::size_t>(n));
  TTarget found;
  found.dir = TFd(OpenFolderOf(real));
  if (found.dir.Get() < 0) FailCreate(path, errno);
  found.name = NameOf(real);
  found.created = created;
  // The name must still be the file the link led to: one renamed meanwhile
  // is not what the user chose.
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 ||
      ::fstatat(found.dir.Get(), found.name.c_str(), &found.st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !SameFile(opened, found.st))
    FailCreate(path, ENOENT);
  found.exists = true;
  return found;
}

// Writes `bytes` to a temporary file beside the target, flushed with `flush`,
// and renames it over the target. A replaced regular file keeps its
// permission bits (and owner, where the system lets us): the new bytes start
// out no more readable than the old file (the umask can only narrow them) and
// get its exact bits before the rename.
void Replace(const std::string& path, const TTarget& target, std::string_view bytes, bool flush) {
  // A target that is a folder can never be replaced: say so before anything
  // else is created beside it.
  if (target.exists && S_ISDIR(target.st.st_mode)) FailCreate(path, EISDIR);
  const bool keep = target.exists && S_ISREG(target.st.st_mode);
  const int dir = target.dir.Get();
  std::string temp;
  const int fd = CreateTemporary(dir, target.name, keep ? target.st.st_mode & 0777 : 0666, temp);
  if (fd < 0) FailCreate(path, errno);
  int error = 0;
  if (keep) {
    // A saved file keeps its owner where one is given. A file replaced
    // unflushed is rewritten by its own program every few seconds, as a
    // service whose system calls are filtered (chown is not among them): it
    // is never given away, and no chown is asked for a file that is ours.
    if (flush && (target.st.st_uid != ::geteuid() || target.st.st_gid != ::getegid()) &&
        ::fchown(fd, target.st.st_uid, target.st.st_gid) != 0) {
      // Only root gives a file away; the file is then the saver's own.
    }
    if (::fchmod(fd, target.st.st_mode & 07777) != 0) error = errno;
  }
  if (error == 0 && !WriteAll(fd, bytes)) error = errno;
  if (error == 0 && flush && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::renameat(dir, temp.c_str(), dir, target.name.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlinkat(dir, temp.c_str(), 0);
    // The empty file a link to a missing file made goes again, unless it
    // has become someone else's meanwhile.
    struct stat now {};
    if (target.created && ::fstatat(dir, target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(now, target.st) && now.st_size == 0)
      ::unlinkat(dir, target.name.c_str(), 0);
    FailWrite(path, error);
  }
  // Make the rename itself durable; a failure here loses nothing written.
  if (flush) ::fsync(dir);
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
  Replace(path, SaveTarget(path, true), bytes, true);
}

void ReplaceFileUnflushed(const std::string& path, std::string_view bytes) {
  Replace(path, SaveTarget(path, false), bytes, false);
}

std::unique_ptr<TNewFile> TNewFile::Create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return nullptr;
    FailCreate(path, errno);
  }
  return std::unique_ptr<TNewFile>(new TNewFile(path, fd));
}

TNewFile::~TNewFile() {
  if (file_ >= 0) ::close(static_cast<int>(file_));
  if (!finished_) ::unlink(path_.c_str());
}

void TNewFile::Write(std::string_view bytes) {
  if (file_ < 0 || !WriteAll(static_cast<int>(file_), bytes))
    FailWrite(path_, file_ < 0 ? EBADF : errno);
}

void TNewFile::Finish() {
  const int fd = static_cast<int>(std::exchange(file_, -1));
  int error = ::fsync(fd) == 0 ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) FailWrite(path_, error);
  finished_ = true;
  // Without its name on the disk a power cut would lose the file, flushed or
  // not. Best effort: some file systems cannot flush a folder.
  SyncFolder(FolderOf(path_));
}

namespace files_detail {

int OpenRegularFile(const std::string& path, int flags, unsigned mode) {
  const TFd dir(OpenFolderOf(path));
  if (dir.Get() < 0) FailCreate(path, errno);
  const std::string name = NameOf(path);
  // Never blocks in the open: a FIFO without a reader would wait for ever.
  const int opening = flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::openat(dir.Get(), name.c_str(), opening | O_NOFOLLOW, static_cast<mode_t>(mode));
  // A link at the name fails with ELOOP, or with EACCES when O_CREAT is
  // given (in a sticky folder).
  if (fd < 0 && (errno == ELOOP || errno == EACCES)) {
    const int error = errno;
    struct stat link {};
    const bool isLink = ::fstatat(dir.Get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISLNK(link.st_mode);
    errno = error;
    if (isLink) fd = OpenThroughOwnLink(path, dir.Get(), name, opening, static_cast<mode_t>(mode));
  }
  // ENXIO: a FIFO no one reads, or a socket.
  if (fd < 0 && errno == ENXIO) FailCreate(path, std::string(kNotRegular));
  if (fd < 0) FailCreate(path, errno);
  TFd file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) FailCreate(path, errno);
  if (!S_ISREG(st.st_mode)) FailCreate(path, std::string(kNotRegular));
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return file.Release();
}

}  // namespace files_detail

void ReadFileShared(const std::string& path, TGrowingArray<char>& into) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailOpen(path, errno);
  const struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) FailOpen(path, EISDIR);
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  for (;;) {
    const std::size_t held = into.size();
    const ssize_t n = ::read(fd, into.Extend(kPiece), kPiece);
    const int error = errno;
    into.Shorten(held + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    if (n < 0) {
      if (error == EINTR) continue;
      FailOpen(path, error);
    }
    if (n == 0) break;
  }
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
