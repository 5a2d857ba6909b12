// Shared by the fuzz targets: the input as bytes, a property check that stops
// the run with a readable reason, and the application object the Qt targets
// need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Application.h"
#include "framework/core/Clock.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog::fuzz {

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Printable form of a byte string for failure reports.
inline std::string Shown(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

// A broken property: libFuzzer saves the input that caused it.
[[noreturn]] inline void Broken(const char* property, std::string_view input) {
  std::fprintf(stderr, "property broken: %s\ninput: \"%s\"\n", property, Shown(input).c_str());
  std::abort();
}

// The log's lines: CR, LF and CR LF each end one; no line after a final break.
inline std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

#define FUZZ_CHECK(condition, input) \
  ((condition) ? void() : ::tempolog::fuzz::Broken(#condition, (input)))

// A fixed "now" (2026-06-15 12:00), so that two-digit years and dates without
// a year read the same in every run.
inline void FixClock() { SetClock(LocalTime{2026, 6, 15, 12, 0, 0, 0}); }

// The one application object of a Qt target, on the offscreen platform.
inline void StartApplication() {
  // Never destroyed: widgets of the targets live until the process ends.
  static TApplication* application = nullptr;
  if (application != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // A data folder of its own: the window keeps a journal there and would show
  // a box for journals that other programs left behind.
  setenv("XDG_DATA_HOME", testing_support::MakeTemporaryFolder("tempolog-fuzz").c_str(), 1);
  static int argc = 1;
  static char name[] = "tempolog-fuzz";
  static char* argv[] = {name, nullptr};
  application = new TApplication(argc, argv);
  SetApplicationTitle("tempolog");
}

}  // namespace tempolog::fuzz
