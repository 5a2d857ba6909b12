// The process's memory as Linux reports it in /proc/self/status, for the
// benchmarks that give the peak memory an operation needs.
#pragma once

#include <fstream>
#include <string>

namespace tempolog {

// A field of /proc/self/status in kilobytes ("VmRSS", "VmHWM"); -1 when the
// field is missing.
inline long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
  }
  return -1;
}

// Sets the high-water mark (VmHWM) back to the current resident size.
inline void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace tempolog
