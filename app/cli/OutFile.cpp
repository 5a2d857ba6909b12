#include "app/cli/OutFile.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "app/cli/Cli.h"
#include "app/cli/CliFormats.h"
#include "app/link/LogFormat.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/LockedFile.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

// An unfinished last line longer than this is no log line cut short: the file
// is left alone.
constexpr std::uintmax_t kLongestTornLine = 4096;

bool ReadsAsLogLine(std::string_view line) {
  try {
    const LogColumns columns = SplitLogLine(line);
    ReadLogPoint(CliTextSettings(), columns.timestamp, columns.value);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace

std::unique_ptr<TOutFile> TOutFile::Open(const std::string& path) {
  std::unique_ptr<TLockedFile> file;
  try {
    file = TLockedFile::OpenAppend(path);
  } catch (const Exception& error) {
    SayOnStderr(error.Message());
    return nullptr;
  }
  if (!file) {
    SayOnStderr(path + " is being written by another program");
    return nullptr;
  }
  auto out = std::unique_ptr<TOutFile>(new TOutFile(path, std::move(file)));
  if (!out->MendEnd()) return nullptr;
  return out;
}

TOutFile::TOutFile(std::string path, std::unique_ptr<TLockedFile> file)
    : path_(std::move(path)), file_(std::move(file)) {}

TOutFile::~TOutFile() = default;

bool TOutFile::Append(const std::string& line) {
  const std::string bytes = pending_ + line;
  int error = file_->Append(bytes);
  if (error == 0) error = file_->Sync();
  if (error == 0) {
    pending_.clear();
    return true;
  }
  SayOnStderr(FormatMessage("Cannot write file \"%s\". %s", {path_, SystemErrorText(error)}));
  return false;
}

// A file whose last line has no line end (a power cut during an earlier
// recording, or a log saved so by the window) must not get the next line
// glued onto it. A last line that reads as a log line is kept and ended; a
// piece of one is removed (told on standard error with its bytes), since
// Load would stop at it or plot a wrong value.
bool TOutFile::MendEnd() {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path_, error);
  if (error || size == 0) return true;
  std::ifstream in(path_, std::ios::binary);
  const std::uintmax_t start = size > kLongestTornLine + 1 ? size - kLongestTornLine - 1 : 0;
  std::string tail(static_cast<std::size_t>(size - start), '\0');
  in.seekg(static_cast<std::streamoff>(start));
  if (!in.read(tail.data(), static_cast<std::streamsize>(tail.size()))) {
    SayOnStderr("cannot read the end of " + path_);
    return false;
  }
  const std::size_t lastBreak = tail.find_last_of("\r\n");
  const std::string unfinished =
      lastBreak == std::string::npos ? tail : tail.substr(lastBreak + 1);
  if (unfinished.empty()) {
    // A CR whose LF was not written yet.
    if (tail.back() == '\r') pending_ = "\n";
    return true;
  }
  if (lastBreak == std::string::npos && start > 0) {
    SayOnStderr(path_ + " does not end with a log line; nothing is appended to it");
    return false;
  }
  if (ReadsAsLogLine(unfinished)) {
    pending_ = "\r\n";
    return true;
  }
  if (const int failed = file_->Truncate(size - unfinished.size()); failed != 0) {
    SayOnStderr(FormatMessage("Cannot write file \"%s\". %s", {path_, SystemErrorText(failed)}));
    return false;
  }
  SayOnStderr(path_ + ": removed the unfinished last line an earlier recording left: " + unfinished);
  if (lastBreak != std::string::npos && tail[lastBreak] == '\r') pending_ = "\n";
  return true;
}

}  // namespace tempolog
