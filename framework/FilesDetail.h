// The failures of the file functions, shared by the platform files.
#pragma once

#include <string>

namespace tempolog::files_detail {

// EFCreateError "Cannot create file "<path>". <reason>".
[[noreturn]] void FailCreate(const std::string& path, int error);
// EFCreateError "Cannot write file "<path>". <reason>".
[[noreturn]] void FailWrite(const std::string& path, int error);
// EFOpenError "Cannot open file "<path>". <reason>".
[[noreturn]] void FailOpen(const std::string& path, int error);

}  // namespace tempolog::files_detail
