// The simulated thermometer's behaviour, apart from any terminal: it takes the
// bytes the monitor sends and says what to answer, when, and whether to
// vanish. tempolog-sim (sim_main.cpp) drives it over a pseudo-terminal.
//
// Protocol: every request is a line ended by CR; the answer is a reading
// ended by CR LF, such as "23.5", drifting slowly with a little noise.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tempolog {

struct SimOptions {
  std::string name = "sim0";  // the virtual port's name
  int replyDelayMs = 0;       // pause before each answer
  bool silent = false;        // never answers
  bool noLineEnd = false;     // answers without CR LF
  bool garbage = false;       // answers with random bytes, NUL included
  bool endless = false;       // after the first request, streams bytes without a line end
  int answerEvery = 1;        // answers only every Nth request
  bool fixed = false;         // always answers fixedValue
  std::string fixedValue;
  int vanishAfter = -1;    // answers N requests, then closes its side at the next
  int returnAfterMs = -1;  // after vanishing, comes back under its name after MS ms
  std::vector<std::pair<std::string, std::string>> script;  // request -> reply
  bool scripted = false;
  uint32_t seed = 1;
};

// Reads the command line. Returns false with `error` set on a bad option;
// `help` is set for --help.
bool ParseSimArguments(const std::vector<std::string>& args, SimOptions& options, bool& help,
                       std::string& error);
// The text --help prints.
std::string SimUsage();
// Reads a script: one "request -> reply" per line; "\r", "\n", "\t", "\\",
// "\0" and "\xHH" escapes; empty lines and lines starting with "#" are skipped.
// False with `error` naming the line when a line has no " -> ".
bool ParseSimScript(const std::string& text,
                    std::vector<std::pair<std::string, std::string>>& script, std::string& error);

// What the instrument does in answer to the bytes it received.
struct SimAction {
  std::string reply;    // bytes to send (may be empty)
  int delayMs = 0;      // after this pause
  bool vanish = false;  // close the port instead
};

class SimInstrument {
 public:
  explicit SimInstrument(SimOptions options);

  // Takes received bytes; returns one action per complete request.
  std::vector<SimAction> Receive(std::string_view bytes, double seconds);
  // The reading at `seconds` after start, as the instrument writes it.
  std::string Reading(double seconds);
  // True once endless mode has started streaming.
  bool Streaming() const { return streaming_; }
  // The next piece of an endless stream (never a CR or LF).
  std::string StreamPiece();
  int Requests() const { return requests_; }
  // Plugged in again after vanishing: counts its requests afresh.
  void Return();

 private:
  SimAction Answer(const std::string& request, double seconds);

  SimOptions options_;
  std::string partial_;
  int requests_ = 0;
  bool streaming_ = false;
  bool gone_ = false;
  std::mt19937 random_;
};

}  // namespace tempolog
