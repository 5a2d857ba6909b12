// Byte-exact files: what is written is read back unchanged, any byte included.
#pragma once

#include <string>
#include <string_view>

namespace tempolog {

// Creates or replaces the file at `path` with exactly `bytes`. The bytes go to a
// temporary file in the same folder, are flushed to disk and then renamed over
// the target, so a failure at any step leaves an earlier file intact. A
// symbolic link is followed: the file it points to is replaced and the link
// stays. A replaced file keeps its permission bits.
// Throws EFCreateError "Cannot create file "<path>". <reason>" when the file
// cannot be created, or "Cannot write file "<path>". <reason>" when writing,
// flushing or renaming fails.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// Reads the whole file at `path`; others may read it meanwhile.
// Throws EFOpenError "Cannot open file "<path>". <reason>" when it cannot be
// opened or read.
std::string ReadFileShared(const std::string& path);

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
