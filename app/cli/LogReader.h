// A log file read as a stream, for export: its lines in pieces of bounded
// size, whatever the size of the file or of one line.
//
//   LogLineReader  the lines of a file as Load reads them (CR, LF and CR LF
//                  each end a line), a huge one summed up, never held whole
//   ReadLogTime    a log timestamp as the log's own text settings read it, the
//                  form the program writes taken on a shortcut
//   HourOffsets    the offset from UTC of local times, worked out once an hour
//   LogTimes       both for a log's timestamps, most of the work once an hour
//   ReadingValues  the values of reply texts, each different text read once
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/cli/CliFormats.h"
#include "app/textconv/TextConv.h"
#include "framework/core/Clock.h"

namespace tempolog {

// What a message needs of a line too long to hold: its first bytes, its
// length, and the same of its value text (from column 20, blanks trimmed as
// SplitLogLine trims them).
struct LongLine {
  std::string head;  // the first kMessageTextBytes bytes
  std::size_t size = 0;
  std::string valueHead;                       // the value text's first kMessageTextBytes bytes
  std::size_t valueStart = std::string::npos;  // where the value starts in the line
  std::size_t valueEnd = 0;                    // just after its last byte other than a blank

  // Takes the line's next bytes.
  void Add(std::string_view bytes);
  std::size_t ValueSize() const {
    return valueStart == std::string::npos ? 0 : valueEnd - valueStart;
  }
};

// One line of the file. A line longer than the reader's bound is not held:
// `text` is empty and `longLine` tells what a message shows of it.
struct LogFileLine {
  std::string_view text;  // without its line end; valid until the next call
  std::size_t number = 0;
  // The last line of the file, without its LF (a lone CR at the end of the
  // file is part of it): its text is everything from its start on.
  bool unfinished = false;
  const LongLine* longLine = nullptr;  // set for a line longer than the bound
};

class LogLineReader {
 public:
  // Fills `to` with up to `most` bytes of the file; 0 at its end. Throws
  // when the file cannot be read.
  using ReadFunction = std::function<std::size_t(char* to, std::size_t most)>;

  // Reads pieces of `piece` bytes; lines longer than `longest` bytes (line
  // end not counted) are summed up in a LongLine.
  explicit LogLineReader(ReadFunction read, std::size_t piece = 1 << 20,
                         std::size_t longest = 1 << 20);

  // The next line; false after the last one.
  bool Next(LogFileLine& line);

 private:
  // Reads more after the bytes not yet handed over; false at the end of the file.
  bool Fill();
  // Where the next line ends: the index of its CR or LF, or end_.
  std::size_t FindLineEnd();
  // Goes on with a line longer than the bound.
  bool NextLong(LogFileLine& line);

  ReadFunction read_;
  std::size_t piece_;
  std::size_t longest_;
  std::string buffer_;
  std::size_t begin_ = 0;  // bytes not yet handed over: [begin_, end_)
  std::size_t end_ = 0;
  std::size_t lf_ = std::string::npos;  // the next LF found, end_ for none; npos: not looked for
  bool atEnd_ = false;
  bool inLongLine_ = false;
  LongLine long_;
  std::size_t number_ = 0;
};

// The local date and time of a log timestamp (the trimmed columns 1 to 19):
// DecodeDateTimeValue(ParseTimestamp(settings, text)), with the same result
// and the same failure for every text. The program's own form
// "yyyy-mm-dd hh:nn:ss" is read straight from its digits (ReadExactTimestamp),
// anything else by ParseTimestamp.
LocalTime ReadLogTime(const TFormatSettings& settings, std::string_view text);

// The shortcut alone: true and `local` set for a text of exactly the form
// "yyyy-mm-dd hh:nn:ss" that names a real date and time of a year from 100
// on; false for every other text.
bool ReadExactTimestamp(std::string_view text, LocalTime& local);

// SecondsAsIfUtc(local) - LocalToUtcSeconds(local, offsetAt), with the zone
// rules asked once per hour of local time instead of once per call: an hour
// whose first and last second have the same offset has it throughout (zones
// change their offset at most once within an hour); in the hour of a change
// each time is worked out on its own.
class HourOffsets {
 public:
  explicit HourOffsets(UtcOffsetRule offsetAt = UtcOffsetAt) : offsetAt_(std::move(offsetAt)) {}
  int Of(const LocalTime& local);
  // True when the hour of the last time asked has one offset throughout.
  bool Uniform() const { return uniform_; }

 private:
  int Worked(const LocalTime& local) const;

  UtcOffsetRule offsetAt_;
  std::int64_t hour_ = INT64_MIN;  // the local hour cached, in seconds as if UTC
  bool uniform_ = false;
  int offset_ = 0;
};

// A log's timestamps read as ReadLogTime reads them, with their offsets from
// UTC as HourOffsets gives them. Timestamps of the program's own form in the
// same hour as the one before share the hour's work: only minutes and
// seconds are read.
class LogTimes {
 public:
  explicit LogTimes(UtcOffsetRule offsetAt = UtcOffsetAt) : offsets_(std::move(offsetAt)) {}
  // Throws as ReadLogTime does.
  ZonedTime Read(const TFormatSettings& settings, std::string_view stamp);

 private:
  HourOffsets offsets_;
  std::string hourText_;  // "yyyy-mm-dd hh:" of the hour remembered; empty: none
  LocalTime hour_;
  int offset_ = 0;
};

// ReadingValue(settings, text) with the same result and the same failure
// for every text; a short text that reads is remembered, so
// that each different reply of an instrument is read once.
class ReadingValues {
 public:
  double Read(const TFormatSettings& settings, std::string_view text);

 private:
  struct Entry {
    std::uint64_t bytes = 0;
    std::size_t size = 0;  // 0: empty (an empty text never reads)
    double value = 0;
  };
  static constexpr std::size_t kEntries = 1024;
  std::unique_ptr<Entry[]> entries_ = std::make_unique<Entry[]>(kEntries);
};

}  // namespace tempolog
