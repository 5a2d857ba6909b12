// Another user's steps against files the program writes as root (POSIX):
// what `nobody` does in a folder both may write, with the system's own
// protection of links in sticky folders off, so that the program's own rule is
// what a test sees.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace tempolog::testing_support {

// Turns fs.protected_symlinks off while it lives and back to what it was
// after. Why it cannot (not root, a read-only /proc) is in Reason().
class TLinkProtectionOff {
 public:
  TLinkProtectionOff() {
    if (::geteuid() != 0) {
      reason_ = "only root can turn the system's protection of links off";
      return;
    }
    std::ifstream(kSetting) >> saved_;
    std::ofstream off(kSetting);
    if (saved_.empty() || !(off << "0" << std::flush)) {
      reason_ = std::string("cannot write ") + kSetting;
      return;
    }
    off.close();
    std::string now;
    std::ifstream(kSetting) >> now;
    if (now != "0") reason_ = std::string(kSetting) + " stays " + now;
  }
  ~TLinkProtectionOff() {
    if (!saved_.empty()) std::ofstream(kSetting) << saved_;
  }
  TLinkProtectionOff(const TLinkProtectionOff&) = delete;
  TLinkProtectionOff& operator=(const TLinkProtectionOff&) = delete;

  // Empty when the protection is off.
  const std::string& Reason() const { return reason_; }

 private:
  static constexpr const char* kSetting = "/proc/sys/fs/protected_symlinks";
  std::string saved_;
  std::string reason_;
};

// Runs the shell command `command` as the user nobody; true when it succeeded.
inline bool AsNobody(const std::string& command) {
  return std::system(("runuser -u nobody -- sh -c '" + command + "'").c_str()) == 0;
}

// Makes `folder` as /tmp is: anyone may make files in it, only their owner
// may rename or remove them.
inline bool MakeStickyFolder(const std::string& folder) {
  return ::mkdir(folder.c_str(), 0777) == 0 && ::chmod(folder.c_str(), 01777) == 0;
}

}  // namespace tempolog::testing_support
