// The failures of the file functions, shared by the platform files, and on
// POSIX systems the one way their files that others may reach are opened.
#pragma once

#include <string>

namespace tempolog::files_detail {

// EFCreateError "Cannot create file "<path>". <reason>".
[[noreturn]] void FailCreate(const std::string& path, int error);
[[noreturn]] void FailCreate(const std::string& path, const std::string& reason);
// EFCreateError "Cannot write file "<path>". <reason>".
[[noreturn]] void FailWrite(const std::string& path, int error);
// EFOpenError "Cannot open file "<path>". <reason>".
[[noreturn]] void FailOpen(const std::string& path, int error);

// The reasons that no system error number has.
inline constexpr const char* kForeignLink =
    "It is a symbolic link that belongs to another user, which is not followed";
inline constexpr const char* kNotRegular = "It is not a regular file";

// POSIX only (Files_posix.cpp). Opens the regular file at `path` with the
// open() `flags` (O_CREAT among them creates it with `mode`): a symbolic link
// as its last component is followed only when it belongs to this program's
// user or to root, and anything but a regular file (a FIFO, a device, a
// folder) is refused without waiting for it. Returns the descriptor, in
// blocking mode; throws EFCreateError "Cannot create file "<path>". <reason>".
int OpenRegularFile(const std::string& path, int flags, unsigned mode);

}  // namespace tempolog::files_detail
