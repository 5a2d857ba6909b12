#include "app/link/LogFormat.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "framework/core/Exceptions.h"

namespace tempolog {

std::string LogTimestamp(const TFormatSettings& settings, TDateTimeValue when) {
  std::string stamp = FormatTimestamp(settings, when);
  if (stamp.size() < kLogTimestampWidth) {
    // Midnight: the timestamp came as the date alone; add the time of day.
    stamp += ' ';
    stamp += FormatClockTime(settings, when);
  }
  return stamp;
}

std::string LogLine(const TFormatSettings& settings, TDateTimeValue when, std::string_view reply) {
  std::string line = LogTimestamp(settings, when);
  line += '\t';
  line += reply;
  return line;
}

LogColumns SplitLogLine(std::string_view line) {
  const std::string_view stamp = line.substr(0, kLogTimestampWidth);
  const std::string_view value =
      line.size() > kLogTimestampWidth ? line.substr(kLogTimestampWidth) : std::string_view{};
  return {TrimBlanks(stamp), TrimBlanks(value)};
}

LogPoint ReadLogPoint(const TFormatSettings& settings, std::string_view timestampText,
                      std::string_view valueText) {
  const TDateTimeValue when = ParseTimestamp(settings, timestampText);
  return {when, RoundToSingle(ParseNumber(settings, valueText))};
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number ParseNumber would read has a digit in its mantissa and, when it
// has an exponent marker, a digit after the marker's sign. Only the shape is
// looked at: what else is wrong with the text ParseNumber finds.
bool HasDigitsWhereNeeded(const TFormatSettings& settings, std::string_view text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return false;
  const auto skipDigits = [&] {
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at - start;
  };
  if (text[at] == '+' || text[at] == '-') ++at;
  std::size_t digits = skipDigits();
  if (at < text.size() && text[at] == settings.decimalSeparator) {
    ++at;
    digits += skipDigits();
  }
  if (digits == 0) return false;
  if (at == text.size() || (text[at] != 'e' && text[at] != 'E')) return true;
  ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  return skipDigits() > 0;
}

}  // namespace

double ReadingValue(const TFormatSettings& settings, std::string_view reply) {
  if (!HasDigitsWhereNeeded(settings, reply))
    throw EConvertError(FormatMessage("'%s' is not a valid floating point value", {reply}));
  return RoundToSingle(ParseNumber(settings, reply));
}

namespace {

// The short road for a log line of the exact form the program writes. It
// takes the steps ParseTimestamp and ParseNumber take for such a line, no
// other: the date and the time of day through TryEncodeDate and
// TryEncodeTime, joined as ParseTimestamp joins them, and the value through
// ParseNumber itself, remembered per value text (a log holds few distinct
// readings). Anything else, and anything that does not read, goes the long
// road, which gives the error.
class TLogLineReader {
 public:
  explicit TLogLineReader(const TFormatSettings& settings)
      : settings_(settings), shortRoad_(ShortRoadHolds(settings)) {}

  // False when the line does not read.
  bool Read(std::string_view line, double& x, double& y) {
    if (shortRoad_ && ReadShort(line, x, y)) return true;
    try {
      const LogColumns columns = SplitLogLine(line);
      const LogPoint point = ReadLogPoint(settings_, columns.timestamp, columns.value);
      x = point.when;
      y = point.value;
      return true;
    } catch (...) {
      return false;
    }
  }

 private:
  // The settings under which ParseTimestamp reads "yyyy-mm-dd hh:nn:ss" as
  // year, month, day, hour, minute, second and nothing else: '-' and ':' as
  // separators, the year first in the short date form, and no AM or PM text
  // that starts with a digit (it would be looked for before the hour).
  static bool ShortRoadHolds(const TFormatSettings& fs) {
    bool yearFirst = false;
    for (const char c : fs.shortDateFormat) {
      const char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      if (u == 'D' || u == 'M') break;
      if (u == 'Y' || u == 'E') {
        yearFirst = true;
        break;
      }
    }
    const auto digitFirst = [](const std::string& s) {
      return !s.empty() && s[0] >= '0' && s[0] <= '9';
    };
    return yearFirst && fs.dateSeparator == '-' && fs.timeSeparator == ':' &&
           !digitFirst(fs.timeAMString) && !digitFirst(fs.timePMString);
  }

  static int Digit(char c) { return static_cast<unsigned char>(c) - '0'; }
  static bool IsDigit(char c) { return static_cast<unsigned>(Digit(c)) < 10; }
  static int Two(const char* p) { return Digit(p[0]) * 10 + Digit(p[1]); }

  bool ReadShort(std::string_view line, double& x, double& y) {
    if (line.size() < kLogTimestampWidth) return false;
    const char* p = line.data();
    // dddd-dd-dd dd:dd:dd
    static constexpr char kShape[] = "9999-99-99 99:99:99";
    for (std::size_t i = 0; i < kLogTimestampWidth; ++i) {
      if (kShape[i] == '9' ? !IsDigit(p[i]) : p[i] != kShape[i]) return false;
    }
    if (std::memcmp(p, dateText_, sizeof dateText_) != 0) {
      if (!TryEncodeDate(Two(p) * 100 + Two(p + 2), Two(p + 5), Two(p + 8), date_)) return false;
      std::memcpy(dateText_, p, sizeof dateText_);
    }
    double time = 0;
    if (!TryEncodeTime(Two(p + 11), Two(p + 14), Two(p + 17), 0, time)) return false;
    x = date_ >= 0 ? date_ + time : date_ - time;
    return ReadValue(line.substr(kLogTimestampWidth), y);
  }

  // The value column as SplitLogLine trims it, read by ParseNumber.
  bool ReadValue(std::string_view column, double& y) {
    std::size_t first = 0;
    std::size_t last = column.size();
    while (first < last && static_cast<unsigned char>(column[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(column[last - 1]) <= 32) --last;
    const std::string_view text = column.substr(first, last - first);
    // Texts of 1 to 7 bytes are remembered under their bytes and length.
    std::uint64_t key = 0;
    const bool remembered = !text.empty() && text.size() < 8;
    if (remembered) {
      std::memcpy(&key, text.data(), text.size());
      key = key << 8 | text.size();
      const Slot& slot = slots_[Hash(key)];
      if (slot.key == key) {
        y = slot.value;
        return true;
      }
    }
    try {
      y = RoundToSingle(ParseNumber(settings_, text));
    } catch (...) {
      return false;
    }
    if (remembered) slots_[Hash(key)] = {key, y};
    return true;
  }

  static std::size_t Hash(std::uint64_t key) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
  }

  static constexpr int kSlotBits = 10;
  struct Slot {
    std::uint64_t key = 0;  // 0: empty (a remembered text has a length)
    double value = 0;
  };

  const TFormatSettings& settings_;
  const bool shortRoad_;
  char dateText_[10] = {};  // the date of date_ ("" at first: no date matches)
  double date_ = 0;
  std::array<Slot, std::size_t{1} << kSlotBits> slots_{};
};

// Reads lines [from, to); returns the first that does not read, else `to`.
std::size_t ReadLogRange(const TFormatSettings& settings, const LogLineAt& line, std::size_t from,
                         std::size_t to, double* xs, double* ys) {
  TLogLineReader reader(settings);
  for (std::size_t i = from; i < to; ++i) {
    if (!reader.Read(line(i), xs[i], ys[i])) return i;
  }
  return to;
}

// Lines below this many are read on the calling thread alone.
constexpr std::size_t kLinesPerThread = 1 << 16;

}  // namespace

unsigned LogReadingThreads(std::size_t count) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t worth = std::max<std::size_t>(1, count / kLinesPerThread);
  return static_cast<unsigned>(std::min<std::size_t>({cores, worth, 8}));
}

std::size_t ReadLogPoints(const TFormatSettings& settings, const LogLineAt& line, std::size_t count,
                          double* xs, double* ys, unsigned threads) {
  threads = std::max(1u, threads);
  if (threads == 1 || count < threads) return ReadLogRange(settings, line, 0, count, xs, ys);
  // Each part is read on a thread of its own (the first on this one); the
  // parts are joined in order: the lines read are those before the first
  // line of the first part that stopped early.
  std::vector<std::size_t> bounds(threads + 1);
  for (unsigned t = 0; t <= threads; ++t) bounds[t] = count / threads * t;
  bounds[threads] = count;
  std::vector<std::size_t> stops(bounds.begin(), bounds.end() - 1);  // none read yet
  std::vector<std::thread> workers;
  try {
    for (unsigned t = 1; t < threads; ++t) {
      workers.emplace_back([&, t]() noexcept {
        try {
          stops[t] = ReadLogRange(settings, line, bounds[t], bounds[t + 1], xs, ys);
        } catch (...) {
          // Out of memory: the part counts as not read.
        }
      });
    }
  } catch (const std::exception&) {
    // No further thread: the parts without one are read below.
  }
  stops[0] = ReadLogRange(settings, line, bounds[0], bounds[1], xs, ys);
  for (std::thread& worker : workers) worker.join();
  std::size_t t = 0;
  while (t < threads && stops[t] == bounds[t + 1]) ++t;
  if (t == threads) return count;
  if (t > workers.size()) {
    // A part no thread took: read on from where it starts.
    return ReadLogRange(settings, line, bounds[t], count, xs, ys);
  }
  return stops[t];
}

double RoundToSingle(long double value) {
  // Values from this boundary on round beyond the largest single (ties go to
  // the even neighbour, which is the overflow).
  constexpr long double kOverflowBoundary = 0x1.ffffffp127L;
  if (!(std::fabs(value) < kOverflowBoundary)) throw Exception("Floating point overflow");
  return static_cast<double>(static_cast<float>(value));
}

}  // namespace tempolog
