// The date-time pattern engine: "dd.MM.yy hh:mm", "c", "hh:nn:ss" and the
// rest of the pattern language the log, the clock and the chart use.
#include <string_view>

#include "app/textconv/TextConv.h"
#include "app/textconv/TextConvDetail.h"

namespace tempolog {
namespace {

using detail::AsciiUpper;
using detail::BoundedText;
using detail::SameTextIgnoringCase;

constexpr std::string_view kDefaultPattern = "c";

// Which twelve-hour marker starts at a position: "AM/PM", "A/P" or "AMPM"
// in any letter case; returns its length, or 0.
std::size_t MarkerLengthAt(std::string_view pattern, std::size_t at) {
  const std::string_view rest = pattern.substr(at);
  for (std::string_view marker :
       {std::string_view("AM/PM"), std::string_view("A/P"), std::string_view("AMPM")}) {
    if (rest.size() >= marker.size() && SameTextIgnoringCase(rest.substr(0, marker.size()), marker))
      return marker.size();
  }
  return 0;
}

// Looking ahead from an hour field, skipping quoted text: does the first "a"
// before the next "h" begin a twelve-hour marker?
bool MarkerFollows(std::string_view pattern, std::size_t from) {
  for (std::size_t i = from; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '\'' || c == '"') {
      const std::size_t close = pattern.find(c, i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (c == 'h' || c == 'H') {
      return false;
    } else if (c == 'a' || c == 'A') {
      return MarkerLengthAt(pattern, i) != 0;
    }
  }
  return false;
}

class DateTimeWriter {
 public:
  DateTimeWriter(const TFormatSettings& fs, TDateTimeValue value)
      : fs_(fs), t_(DecodeDateTimeValue(value)), dayOfWeek_(DayOfWeekIndex(value)) {}

  // Level 1 is the caller's pattern, level 2 a form that it inserts; forms
  // that an inserted form refers to are left out.
  void Expand(std::string_view pattern, int level);
  std::string Text() const { return out_.Text(); }

 private:
  bool HasTime() const { return t_.hour != 0 || t_.minute != 0 || t_.second != 0; }
  void Insert(std::string_view form, int level) {
    if (level < 2) Expand(form, level + 1);
  }
  void PutHour(std::string_view pattern, std::size_t after, std::size_t count);
  // A twelve-hour marker or a day-name "a" form at `at`; returns its length
  // (1 for a plain letter).
  std::size_t PutAForm(std::string_view pattern, std::size_t at);

  const TFormatSettings& fs_;
  const LocalTime t_;
  const int dayOfWeek_;
  bool twelveHour_ = false;  // a marker has been seen earlier in the pattern
  BoundedText out_;
};

void DateTimeWriter::PutHour(std::string_view pattern, std::size_t after, std::size_t count) {
  if (!twelveHour_ && MarkerFollows(pattern, after)) twelveHour_ = true;
  int hour = t_.hour;
  if (twelveHour_) {
    if (hour == 0) hour = 12;
    else if (hour > 12) hour -= 12;
  }
  out_.PutNumber(hour, count >= 2 ? 2 : 1);
}

std::size_t DateTimeWriter::PutAForm(std::string_view pattern, std::size_t at) {
  const bool morning = t_.hour < 12;
  const std::size_t marker = MarkerLengthAt(pattern, at);
  if (marker != 0) {
    twelveHour_ = true;
    if (marker == 5) {  // AM/PM: two letters as written
      out_.Put(pattern.substr(morning ? at : at + 3, 2));
    } else if (marker == 3) {  // A/P: one letter as written
      out_.Put(pattern[morning ? at : at + 2]);
    } else {  // AMPM: the settings' texts
      out_.Put(morning ? fs_.timeAMString : fs_.timePMString);
    }
    return marker;
  }
  const std::string_view rest = pattern.substr(at);
  if (rest.size() >= 4 && SameTextIgnoringCase(rest.substr(0, 4), "AAAA")) {
    out_.Put(fs_.longDayNames[static_cast<std::size_t>(dayOfWeek_)]);
    return 4;
  }
  if (rest.size() >= 3 && SameTextIgnoringCase(rest.substr(0, 3), "AAA")) {
    out_.Put(fs_.shortDayNames[static_cast<std::size_t>(dayOfWeek_)]);
    return 3;
  }
  out_.Put(pattern[at]);
  return 1;
}

void DateTimeWriter::Expand(std::string_view pattern, int level) {
  char lastField = 0;  // upper-case letter of the last letter read
  std::size_t i = 0;
  while (i < pattern.size() && !out_.Full()) {
    const char c = pattern[i];
    char token = 0;
    if (detail::IsAsciiLetter(c)) {
      token = AsciiUpper(c);
      if (token == 'M' && lastField == 'H') token = 'N';  // "hh:mm" means minutes
      lastField = token;
    }
    // A letter field takes the whole run of this exact character.
    std::size_t count = 1;
    if (token != 0 && std::string_view("YEGMDHNSZTC").find(token) != std::string_view::npos)
      while (i + count < pattern.size() && pattern[i + count] == c) ++count;

    switch (token) {
      case 'Y':
        if (count <= 2) out_.PutNumber(((t_.year % 100) + 100) % 100, 2);
        else out_.PutNumber(t_.year, 4);
        break;
      case 'E':  // era year: the Gregorian calendar has one era
        out_.PutNumber(t_.year, static_cast<int>(count < 4 ? count : 4));
        break;
      case 'G':  // era name: none on the Gregorian calendar
        break;
      case 'M':
        if (count <= 2) out_.PutNumber(t_.month, static_cast<int>(count));
        else if (count == 3) out_.Put(fs_.shortMonthNames[static_cast<std::size_t>(t_.month - 1)]);
        else out_.Put(fs_.longMonthNames[static_cast<std::size_t>(t_.month - 1)]);
        break;
      case 'D':
        if (count <= 2) out_.PutNumber(t_.day, static_cast<int>(count));
        else if (count == 3) out_.Put(fs_.shortDayNames[static_cast<std::size_t>(dayOfWeek_)]);
        else if (count == 4) out_.Put(fs_.longDayNames[static_cast<std::size_t>(dayOfWeek_)]);
        else if (count == 5) Insert(fs_.shortDateFormat, level);
        else Insert(fs_.longDateFormat, level);
        break;
      case 'H': PutHour(pattern, i + count, count); break;
      case 'N': out_.PutNumber(t_.minute, count >= 2 ? 2 : 1); break;
      case 'S': out_.PutNumber(t_.second, count >= 2 ? 2 : 1); break;
      case 'Z': out_.PutNumber(t_.millisecond, static_cast<int>(count < 3 ? count : 3)); break;
      case 'T': Insert(count == 1 ? fs_.shortTimeFormat : fs_.longTimeFormat, level); break;
      case 'C':
        if (level < 2) {
          Expand(fs_.shortDateFormat, level + 1);
          if (HasTime()) {
            out_.Put(' ');
            Expand(fs_.longTimeFormat, level + 1);
          }
        }
        break;
      case 'A': count = PutAForm(pattern, i); break;
      case 0:
        if (c == '\'' || c == '"') {
          const std::size_t close = pattern.find(c, i + 1);
          const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
          out_.Put(pattern.substr(i + 1, end - i - 1));
          count = end - i + (close == std::string_view::npos ? 0 : 1);
        } else {
          if (c == '/') out_.PutSeparator(fs_.dateSeparator);
          else if (c == ':') out_.PutSeparator(fs_.timeSeparator);
          else out_.Put(c);
        }
        break;
      default:  // a letter that starts no field stands for itself
        out_.Put(c);
        break;
    }
    i += count;
  }
}

}  // namespace

std::string FormatDateTimePattern(const TFormatSettings& fs, std::string_view pattern,
                                  TDateTimeValue value) {
  DateTimeWriter writer(fs, value);
  writer.Expand(pattern.empty() ? kDefaultPattern : pattern, 1);
  return writer.Text();
}

}  // namespace tempolog
