#include "tools/SimInstrument.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tempolog {

namespace {

bool ReadCount(const std::string& text, int minimum, int& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::atoi(text.c_str());
  return value >= minimum;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '0': out += '\0'; break;
      case '\\': out += '\\'; break;
      case 'x':
        if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
          out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
          i += 2;
          break;
        }
        [[fallthrough]];
      default: out += '\\'; out += c;
    }
  }
  return out;
}

}  // namespace

std::string SimUsage() {
  return "Usage: tempolog-sim [options]\n"
         "Plays a thermometer on a pseudo-terminal registered as a virtual serial port.\n"
         "Each request line ended by CR is answered by a reading ended by CR LF.\n"
         "\n"
         "  --name NAME         virtual port name (default sim0)\n"
         "  --delay MS          wait MS milliseconds before each answer\n"
         "  --silent            never answer\n"
         "  --no-line-end       answer without CR LF\n"
         "  --garbage           answer with random bytes, NUL bytes included\n"
         "  --endless           after the first request, send bytes without a line end for ever\n"
         "  --every N           answer only every Nth request\n"
         "  --value TEXT        always answer TEXT\n"
         "  --vanish-after N    answer N requests, then close the port (an unplugged adapter)\n"
         "  --return-after MS   with --vanish-after: come back under the same name MS\n"
         "                      milliseconds after vanishing, and so on (a loose plug)\n"
         "  --script FILE       answer from FILE: lines \"request -> reply\" (escapes \\r \\n \\t\n"
         "                      \\0 \\xHH \\\\); requests not in the script get no answer\n"
         "  --seed N            seed of the noise (default 1)\n"
         "  --help              show this text\n"
         "  --version           show the simulator's version (the only argument then)\n";
}

bool ParseSimScript(const std::string& text,
                    std::vector<std::pair<std::string, std::string>>& script, std::string& error) {
  script.clear();
  std::size_t from = 0;
  int number = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    from = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t arrow = line.find(" -> ");
    if (arrow == std::string::npos) {
      error = "script line " + std::to_string(number) + " has no \" -> \": " + line;
      return false;
    }
    script.emplace_back(Unescape(line.substr(0, arrow)), Unescape(line.substr(arrow + 4)));
  }
  return true;
}

bool ParseSimArguments(const std::vector<std::string>& args, SimOptions& o, bool& help,
                       std::string& error) {
  help = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--silent") {
      o.silent = true;
    } else if (a == "--no-line-end") {
      o.noLineEnd = true;
    } else if (a == "--garbage") {
      o.garbage = true;
    } else if (a == "--endless") {
      o.endless = true;
    } else if (a == "--name") {
      if (!value(v)) return false;
      if (v.empty() || v == "." || v == ".." || v.find('/') != std::string::npos) {
        error = "bad port name: " + v;
        return false;
      }
      o.name = v;
    } else if (a == "--delay" || a == "--every" || a == "--vanish-after" || a == "--seed" ||
               a == "--return-after") {
      if (!value(v)) return false;
      int n = 0;
      if (!ReadCount(v, a == "--every" ? 1 : 0, n)) {
        error = "option " + a + " needs a whole number" + (a == "--every" ? " from 1" : "") +
                ", not: " + v;
        return false;
      }
      if (a == "--delay") o.replyDelayMs = n;
      if (a == "--every") o.answerEvery = n;
      if (a == "--vanish-after") o.vanishAfter = n;
      if (a == "--return-after") o.returnAfterMs = n;
      if (a == "--seed") o.seed = static_cast<uint32_t>(n);
    } else if (a == "--value") {
      if (!value(v)) return false;
      o.fixed = true;
      o.fixedValue = Unescape(v);
    } else if (a == "--script") {
      if (!value(v)) return false;
      FILE* f = std::fopen(v.c_str(), "rb");
      if (!f) {
        error = "cannot read script " + v;
        return false;
      }
      std::string text;
      char buffer[4096];
      std::size_t n = 0;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      std::fclose(f);
      if (!ParseSimScript(text, o.script, error)) return false;
      o.scripted = true;
    } else {
      error = "unknown option: " + a;
      return false;
    }
  }
  if (o.returnAfterMs >= 0 && o.vanishAfter < 0) {
    error = "option --return-after needs --vanish-after";
    return false;
  }
  return true;
}

SimInstrument::SimInstrument(SimOptions options)
    : options_(std::move(options)), random_(options_.seed) {}

std::string SimInstrument::Reading(double seconds) {
  // A slow swing of about a degree over ten minutes, a slower drift, and a
  // little noise, as a thermometer in a room shows.
  const double drift =
      1.2 * std::sin(seconds * 2 * M_PI / 600.0) + 0.4 * std::sin(seconds / 1700.0);
  const double noise = std::uniform_real_distribution<double>(-0.05, 0.05)(random_);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", 22.5 + drift + noise);
  return text;
}

void SimInstrument::Return() {
  gone_ = false;
  streaming_ = false;
  requests_ = 0;
  partial_.clear();
}

std::string SimInstrument::StreamPiece() {
  std::string piece;
  for (int i = 0; i < 16; ++i) piece += static_cast<char>('0' + random_() % 10);
  return piece;
}

std::vector<SimAction> SimInstrument::Receive(std::string_view bytes, double seconds) {
  std::vector<SimAction> actions;
  for (char c : bytes) {
    if (gone_) break;
    if (c != '\r') {
      partial_ += c;
      continue;
    }
    std::string request;
    request.swap(partial_);
    // A line feed left over from an earlier CR LF belongs to no request.
    while (!request.empty() && request[0] == '\n') request.erase(0, 1);
    actions.push_back(Answer(request, seconds));
    if (actions.back().vanish) gone_ = true;
  }
  return actions;
}

SimAction SimInstrument::Answer(const std::string& request, double seconds) {
  SimAction action;
  action.delayMs = options_.replyDelayMs;
  ++requests_;
  if (options_.vanishAfter >= 0 && requests_ > options_.vanishAfter) {
    action.vanish = true;
    return action;
  }
  if (options_.silent || requests_ % options_.answerEvery != 0) return action;
  if (options_.endless) {
    streaming_ = true;
    return action;
  }
  if (options_.scripted) {
    for (const auto& [asked, reply] : options_.script)
      if (asked == request) {
        action.reply = reply;
        return action;
      }
    return action;
  }
  if (options_.garbage) {
    const int length = 4 + static_cast<int>(random_() % 12);
    for (int i = 0; i < length; ++i) {
      char b = static_cast<char>(random_() % 256);
      if (b == '\r' || b == '\n') b = '\0';
      action.reply += b;
    }
    action.reply.insert(action.reply.size() / 2, 1, '\0');
  } else {
    action.reply = options_.fixed ? options_.fixedValue : Reading(seconds);
  }
  if (!options_.noLineEnd) action.reply += "\r\n";
  return action;
}

}  // namespace tempolog
