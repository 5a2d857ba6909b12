// The --out file of tempolog-cli record: the log the readings are appended to.
#pragma once

#include <memory>
#include <string>

namespace tempolog {

class TLockedFile;

// The --out file: appended to under its lock, one write per line, each line
// flushed to the disk before the next tick.
class TOutFile {
 public:
  // Opens (or creates) the file and mends its end; a message on standard
  // error and nothing returned when it cannot be used.
  static std::unique_ptr<TOutFile> Open(const std::string& path);

  ~TOutFile();
  TOutFile(const TOutFile&) = delete;
  TOutFile& operator=(const TOutFile&) = delete;

  // False, with a message, when the line could not be written or flushed.
  bool Append(const std::string& line);

 private:
  TOutFile(std::string path, std::unique_ptr<TLockedFile> file);
  bool MendEnd();

  std::string path_;
  std::unique_ptr<TLockedFile> file_;
  std::string pending_;  // what the end of the file needs before the next line
};

}  // namespace tempolog
