#include "framework/core/Files.h"

#include "framework/core/Exceptions.h"
#include "framework/core/FilesDetail.h"

namespace tempolog::files_detail {
namespace {

std::string Quote(const char* pattern, const std::string& path, int error) {
  return FormatMessage(pattern, {path, SystemErrorText(error)});
}

}  // namespace

void FailCreate(const std::string& path, int error) { FailCreate(path, SystemErrorText(error)); }

void FailCreate(const std::string& path, const std::string& reason) {
  throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {path, reason}));
}

void FailWrite(const std::string& path, int error) {
  throw EFCreateError(Quote("Cannot write file \"%s\". %s", path, error));
}

void FailOpen(const std::string& path, int error) {
  throw EFOpenError(Quote("Cannot open file \"%s\". %s", path, error));
}

}  // namespace tempolog::files_detail

namespace tempolog {

std::string ReadFileShared(const std::string& path) {
  TGrowingArray<char> bytes;
  ReadFileShared(path, bytes);
  return std::string(bytes.data(), bytes.size());
}

}  // namespace tempolog
