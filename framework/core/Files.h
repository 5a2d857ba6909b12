// Byte-exact files: what is written is read back unchanged, any byte included.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "framework/core/GrowingArray.h"

namespace tempolog {

// Creates or replaces the file at `path` with exactly `bytes`. The bytes go to a
// temporary file in the same folder, are flushed to disk and then renamed over
// the target, so a failure at any step leaves an earlier file intact. A
// symbolic link is followed: the file it points to is replaced and the link
// stays; on POSIX systems only a link of this program's user or of root is
// followed, one of another user is refused (as the system itself does in
// folders such as /tmp). A replaced file keeps its permission bits.
// Throws EFCreateError "Cannot create file "<path>". <reason>" when the file
// cannot be created, or "Cannot write file "<path>". <reason>" when writing,
// flushing or renaming fails.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// Replaces the file at `path` as WriteFileReplacing does, but without
// waiting for the disk: for a file rewritten so often that flushing it each
// time would wear the disk out, and that the next write makes anew after a
// power cut. The name itself is replaced: a symbolic link there is replaced
// by the new file, never followed. Throws as WriteFileReplacing.
void ReplaceFileUnflushed(const std::string& path, std::string_view bytes);

// A file made under a name that nothing had before, not even a symbolic link
// (which is never followed), written, then flushed to the disk with its name.
// Until Finish succeeds it is removed again when the object goes.
class TNewFile {
 public:
  // Creates the file at `path`. Returns nullptr when the name is taken;
  // throws EFCreateError "Cannot create file "<path>". <reason>" otherwise.
  static std::unique_ptr<TNewFile> Create(const std::string& path);

  ~TNewFile();
  TNewFile(const TNewFile&) = delete;
  TNewFile& operator=(const TNewFile&) = delete;

  // Appends `bytes`. Throws EFCreateError "Cannot write file "<path>". <reason>".
  void Write(std::string_view bytes);

  // Puts the file and its name on the disk and closes it; it stays. Throws
  // as Write (the file is then removed with the object).
  void Finish();

  const std::string& Path() const { return path_; }

 private:
  TNewFile(std::string path, std::intptr_t file) : path_(std::move(path)), file_(file) {}

  std::string path_;
  std::intptr_t file_;     // descriptor or handle
  bool finished_ = false;  // closed, and kept
};

// Reads the whole file at `path`; others may read it meanwhile.
// Throws EFOpenError "Cannot open file "<path>". <reason>" when it cannot be
// opened or read.
std::string ReadFileShared(const std::string& path);
// The same, appending the bytes to `into` in place (a log's text is read
// straight into the buffer it keeps).
void ReadFileShared(const std::string& path, TGrowingArray<char>& into);

// The folder of the program's own executable file, without a trailing separator.
std::string ProgramFolder();

// True for a folder of the operating system or of installed software (under
// /usr, /bin, /sbin or /opt; on Windows the Windows and Program Files
// folders): the program keeps no files of its own there, even where it could.
bool IsSystemFolder(const std::string& folder);

// The per-user data folder of the program (created on demand by the caller):
// $XDG_DATA_HOME/tempolog, by default ~/.local/share/tempolog
// (%APPDATA%\tempolog on Windows).
std::string UserDataFolder();

// The platform's path separator ("/" or "\").
char PathSeparator();

// The system's text for an error number, without trailing blanks, control
// characters or full stops.
std::string SystemErrorText(int error);

}  // namespace tempolog
