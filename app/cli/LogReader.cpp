#include "app/cli/LogReader.h"

#include <cstring>

#include "app/link/LogFormat.h"

namespace tempolog {

void LongLine::Add(std::string_view bytes) {
  for (const char c : bytes) {
    const std::size_t at = size++;
    if (head.size() < kMessageTextBytes) head += c;
    if (at < kLogTimestampWidth) continue;
    if (static_cast<unsigned char>(c) > 32) {
      if (valueStart == std::string::npos) valueStart = at;
      valueEnd = at + 1;
    }
    if (valueStart != std::string::npos && valueHead.size() < kMessageTextBytes) valueHead += c;
  }
}

LogLineReader::LogLineReader(ReadFunction read, std::size_t piece, std::size_t longest)
    : read_(std::move(read)), piece_(piece), longest_(longest) {
  // What is carried to the next piece: a line of at most `longest` bytes and
  // the CR that may be the first half of its CR LF.
  buffer_.resize(longest_ + 1 + piece_);
}

bool LogLineReader::Fill() {
  if (atEnd_) return false;
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  lf_ = std::string::npos;
  const std::size_t got = read_(buffer_.data() + end_, piece_);
  end_ += got;
  atEnd_ = got == 0;
  return !atEnd_;
}

std::size_t LogLineReader::FindLineEnd() {
  const char* data = buffer_.data();
  // The next LF is remembered: in a file of CR line ends the search for it
  // would otherwise run to the end of the piece for every line.
  if (lf_ == std::string::npos || lf_ < begin_) {
    const void* lf = std::memchr(data + begin_, '\n', end_ - begin_);
    lf_ = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : end_;
  }
  const void* cr = std::memchr(data + begin_, '\r', lf_ - begin_);
  return cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : lf_;
}

bool LogLineReader::Next(LogFileLine& line) {
  line = LogFileLine{};
  if (inLongLine_) return NextLong(line);
  for (;;) {
    const std::size_t end = FindLineEnd();
    const bool ended = end < end_;
    // Without a line end in the piece, or with a CR last in it (the first half
    // of a CR LF, maybe), the rest of the line is in the next piece.
    if (!atEnd_ && (!ended || (buffer_[end] == '\r' && end + 1 == end_))) {
      if (end - begin_ > longest_) {
        long_ = LongLine{};
        long_.Add(std::string_view(buffer_).substr(begin_, end - begin_));
        begin_ = end;
        inLongLine_ = true;
        return NextLong(line);
      }
      Fill();
      continue;
    }
    if (!ended && begin_ == end_) return false;
    std::size_t next = end;
    if (ended && buffer_[next++] == '\r' && next < end_ && buffer_[next] == '\n') ++next;
    line.number = ++number_;
    line.unfinished = next == end_ && atEnd_ && buffer_[next - 1] != '\n';
    line.text = std::string_view(buffer_).substr(begin_, (line.unfinished ? next : end) - begin_);
    begin_ = next;
    if (line.text.size() > longest_) {
      long_ = LongLine{};
      long_.Add(line.text);
      line.text = {};
      line.longLine = &long_;
    }
    return true;
  }
}

bool LogLineReader::NextLong(LogFileLine& line) {
  line.longLine = &long_;
  for (;;) {
    if (begin_ == end_ && !Fill()) break;
    const std::size_t end = FindLineEnd();
    long_.Add(std::string_view(buffer_).substr(begin_, end - begin_));
    begin_ = end;
    if (end == end_) continue;
    if (buffer_[begin_] == '\r' && begin_ + 1 == end_ && !Fill()) {
      long_.Add("\r");  // a lone CR last in the file is part of the unfinished line
      begin_ = end_;
      break;
    }
    std::size_t next = begin_ + 1;
    if (buffer_[begin_] == '\r' && next < end_ && buffer_[next] == '\n') ++next;
    begin_ = next;
    inLongLine_ = false;
    line.number = ++number_;
    return true;
  }
  inLongLine_ = false;
  line.number = ++number_;
  line.unfinished = true;
  return true;
}

bool ReadExactTimestamp(std::string_view text, LocalTime& local) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return false;
  // Each field's digits; a byte that is not a digit makes the field negative
  // or over 99 in one of its places, which the checks below refuse.
  bool digits = true;
  const auto number = [&](std::size_t at, std::size_t count) {
    int n = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
      digits = digits && digit <= 9;
      n = n * 10 + static_cast<int>(digit);
    }
    return n;
  };
  const LocalTime read{
      number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2), 0};
  // Years before 100 are left to ParseTimestamp and its two-digit-year window.
  if (!digits || read.year < 100 || read.month < 1 || read.month > 12 || read.day < 1 ||
      read.hour > 23 || read.minute > 59 || read.second > 59 ||
      (read.day > 28 && read.day > DaysInMonth(read.year, read.month)))
    return false;
  local = read;
  return true;
}

LocalTime ReadLogTime(const TFormatSettings& settings, std::string_view text) {
  LocalTime local;
  if (ReadExactTimestamp(text, local)) return local;
  return DecodeDateTimeValue(ParseTimestamp(settings, text));
}

int HourOffsets::Worked(const LocalTime& local) const {
  return static_cast<int>(SecondsAsIfUtc(local) - LocalToUtcSeconds(local, offsetAt_));
}

int HourOffsets::Of(const LocalTime& local) {
  constexpr std::int64_t kHour = 3600;
  const std::int64_t asUtc = SecondsAsIfUtc(local);
  const std::int64_t hour = asUtc - ((asUtc % kHour) + kHour) % kHour;
  if (hour != hour_) {
    LocalTime first = local;
    first.minute = first.second = first.millisecond = 0;
    LocalTime last = first;
    last.minute = last.second = 59;
    hour_ = hour;
    offset_ = Worked(first);
    uniform_ = Worked(last) == offset_;
  }
  return uniform_ ? offset_ : Worked(local);
}

ZonedTime LogTimes::Read(const TFormatSettings& settings, std::string_view stamp) {
  constexpr std::size_t kHourText = 14;  // "yyyy-mm-dd hh:"
  if (!hourText_.empty() && stamp.size() == 19 && stamp.compare(0, kHourText, hourText_) == 0 &&
      stamp[16] == ':') {
    const auto digit = [&](std::size_t at) {
      return static_cast<unsigned>(static_cast<unsigned char>(stamp[at]) - unsigned{'0'});
    };
    const unsigned minute = digit(14) * 10 + digit(15);
    const unsigned second = digit(17) * 10 + digit(18);
    if (digit(14) <= 5 && digit(15) <= 9 && digit(17) <= 5 && digit(18) <= 9) {
      LocalTime local = hour_;
      local.minute = static_cast<int>(minute);
      local.second = static_cast<int>(second);
      return {local, offset_};
    }
  }
  hourText_.clear();
  LocalTime local;
  const bool exact = ReadExactTimestamp(stamp, local);
  if (!exact) local = DecodeDateTimeValue(ParseTimestamp(settings, stamp));
  const int offset = offsets_.Of(local);
  // An hour of one offset, of the program's own form, is remembered.
  if (exact && offsets_.Uniform()) {
    hourText_ = stamp.substr(0, kHourText);
    hour_ = local;
    offset_ = offset;
  }
  return {local, offset};
}

double ReadingValues::Read(const TFormatSettings& settings, std::string_view text) {
  if (text.empty() || text.size() > sizeof(std::uint64_t)) return ReadingValue(settings, text);
  std::uint64_t bytes = 0;
  std::memcpy(&bytes, text.data(), text.size());
  Entry& entry = entries_[((bytes + text.size()) * 0x9E3779B97F4A7C15u) >> 54];
  if (entry.size == text.size() && entry.bytes == bytes) return entry.value;
  const double value = ReadingValue(settings, text);
  entry = {bytes, text.size(), value};
  return value;
}

}  // namespace tempolog
