// tempolog-cli export as a stream: the lines of a file read in pieces of any
// size, a line too long to hold summed up; timestamps read on the shortcut
// and on ParseTimestamp's road alike; offsets from UTC worked out once an
// hour, right around the changes of summer time; and the program itself
// converting a file while it is still being written.
#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "app/cli/LogReader.h"
#include "framework/core/Exceptions.h"
#include "tests/cli/RecordFixture.h"

namespace tempolog {
namespace {

// The lines the reader hands over for `file`, read `piece` bytes at a time,
// lines over `longest` bytes summed up: "<number>:<text>", "!" after an
// unfinished one, "<number>:long <size> '<head>' value <size> '<head>'".
std::string ReadLines(const std::string& file, std::size_t piece, std::size_t longest) {
  std::size_t at = 0;
  LogLineReader reader(
      [&](char* to, std::size_t most) {
        const std::size_t n = std::min(most, file.size() - at);
        std::memcpy(to, file.data() + at, n);
        at += n;
        return n;
      },
      piece, longest);
  std::string lines;
  LogFileLine line;
  while (reader.Next(line)) {
    lines += (lines.empty() ? "" : " ") + std::to_string(line.number) + ":";
    if (line.longLine != nullptr) {
      const LongLine& l = *line.longLine;
      lines += "long " + std::to_string(l.size) + " '" + EscapeForMessage(l.head, true) +
               "' value " + std::to_string(l.ValueSize()) + " '" +
               EscapeForMessage(l.valueHead.substr(0, l.ValueSize()), true) + "'";
    } else {
      lines += EscapeForMessage(line.text, true);
    }
    if (line.unfinished) lines += "!";
  }
  return lines;
}

TEST(ExportStream, LinesAreTheSameWhateverThePieces) {
  struct Row {
    const char* name;
    std::string file;
    std::string lines;  // with lines of over 24 bytes summed up
  };
  const std::string stamp = "2026-12-09 08:57:07\t";
  const std::vector<Row> rows = {
      {"CR LF, LF and CR end lines", "a\r\nb\nc\rd\r\n", "1:a 2:b 3:c 4:d"},
      {"LF CR is two line ends", "a\n\rb\r\n", "1:a 2: 3:b"},
      {"CR CR LF is two line ends", "a\r\r\nb\r\n", "1:a 2: 3:b"},
      {"a last line without its line end", "a\r\nbc", "1:a 2:bc!"},
      {"a lone CR at the end is part of the unfinished line", "a\r\nb\r", "1:a 2:b\\r!"},
      {"a lone CR alone", "\r", "1:\\r!"},
      {"nothing", "", ""},
      {"a line of 24 bytes is held", std::string(24, '7') + "\n", "1:" + std::string(24, '7')},
      {"a longer one is summed up, its value trimmed as a column",
       stamp + "  12345678901234567890  \r\nx\n",
       "1:long 44 '2026-12-09 08:57:07\\t  12345678901234567890  ' value 20 "
       "'12345678901234567890' 2:x"},
      {"the value of a long line starts past its blanks", std::string(30, ' ') + "5\n",
       "1:long 31 '" + std::string(30, ' ') + "5' value 1 '5'"},
      {"a long line that ends the file unfinished", "a\n" + stamp + std::string(10, '9'),
       "1:a 2:long 30 '2026-12-09 08:57:07\\t9999999999' value 10 '9999999999'!"},
      {"a long line ended by a lone CR at the end", stamp + std::string(10, '9') + "\r",
       "1:long 31 '2026-12-09 08:57:07\\t9999999999\\r' value 10 '9999999999'!"},
      {"a long line ended by CR, then a line", stamp + std::string(10, '9') + "\rb\r\n",
       "1:long 30 '2026-12-09 08:57:07\\t9999999999' value 10 '9999999999' 2:b"},
  };
  for (const Row& row : rows) {
    for (const std::size_t piece : {1, 2, 3, 5, 64}) {
      EXPECT_EQ(ReadLines(row.file, piece, 24), row.lines) << row.name << ", pieces of " << piece;
    }
  }
}

// The local time as "yyyy-mm-dd hh:nn:ss.zzz", or "error".
std::string TimeText(const std::function<LocalTime()>& read) {
  try {
    const LocalTime t = read();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
  } catch (const EConvertError&) {
    return "error";
  }
}

TEST(ExportStream, TimestampsReadTheSameOnTheShortcutAndOffIt) {
  struct Row {
    const char* text;
    bool shortcut;
    const char* local;
  };
  const std::vector<Row> rows = {
      {"2026-12-09 08:57:07", true, "2026-12-09 08:57:07.000"},
      {"2024-02-29 23:59:59", true, "2024-02-29 23:59:59.000"},
      {"2000-02-29 00:00:00", true, "2000-02-29 00:00:00.000"},
      {"1899-12-29 23:59:59", true, "1899-12-29 23:59:59.000"},
      {"0100-01-01 00:00:00", true, "0100-01-01 00:00:00.000"},
      {"9999-12-31 23:59:59", true, "9999-12-31 23:59:59.000"},
      {"0001-01-01 00:00:00", false, "0001-01-01 00:00:00.000"},
      {"2025-02-29 12:00:00", false, "error"},
      {"2100-02-29 12:00:00", false, "error"},
      {"2026-12-09 24:00:00", false, "error"},
      {"2026-12-09 23:60:00", false, "error"},
      {"2026-12-09 23:59:60", false, "error"},
      {"2026-1x-09 08:57:07", false, "error"},
      {"2026-12-09T08:57:07", false, "error"},
      {"2026-12-09 8:57:07", false, "2026-12-09 08:57:07.000"},
      {"2026-12-09", false, "2026-12-09 00:00:00.000"},
  };
  const TFormatSettings& settings = CliTextSettings();
  for (const Row& row : rows) {
    LocalTime local;
    EXPECT_EQ(ReadExactTimestamp(row.text, local), row.shortcut) << row.text;
    EXPECT_EQ(TimeText([&] { return ReadLogTime(settings, row.text); }), row.local) << row.text;
    EXPECT_EQ(TimeText([&] { return DecodeDateTimeValue(ParseTimestamp(settings, row.text)); }),
              row.local)
        << row.text;
  }
}

TEST(ExportStream, OffsetsAroundTheChangesOfSummerTime) {
  struct Zone {
    Zone() {
      setenv("TZ", "Europe/Warsaw", 1);
      tzset();
    }
    ~Zone() {
      unsetenv("TZ");
      tzset();
    }
  } zone;
  struct Row {
    const char* stamp;
    int offset;
  };
  // In order, as a log has them, and then out of order.
  const std::vector<Row> rows = {
      {"2026-03-29 01:59:59", 3600}, {"2026-03-29 02:00:00", 3600},  // skipped: the offset before
      {"2026-03-29 02:59:59", 3600}, {"2026-03-29 03:00:00", 7200}, {"2026-10-25 01:59:59", 7200},
      {"2026-10-25 02:00:00", 7200},  // repeated: its first pass
      {"2026-10-25 02:30:00", 7200}, {"2026-10-25 02:59:59", 7200}, {"2026-10-25 03:00:00", 3600},
      {"2026-10-25 02:59:59", 7200}, {"2026-03-29 03:59:59", 7200}, {"2026-03-29 02:30:00", 3600},
  };
  LogTimes times;
  for (const Row& row : rows)
    EXPECT_EQ(times.Read(CliTextSettings(), row.stamp).utcOffsetSeconds, row.offset) << row.stamp;
  // A zone that changes in the middle of an hour: at 2026-12-09 10:30 UTC
  // from UTC to +00:15, so that 10:30 to 10:44:59 never occur.
  LogTimes midHour([](std::int64_t utc) { return utc >= 1796812200 ? 900 : 0; });
  const std::vector<Row> midHourRows = {
      {"2026-12-09 10:00:00", 0},   {"2026-12-09 10:29:59", 0},   {"2026-12-09 10:30:00", 0},
      {"2026-12-09 10:44:59", 0},   {"2026-12-09 10:45:00", 900}, {"2026-12-09 10:59:59", 900},
      {"2026-12-09 11:00:00", 900}, {"2026-12-09 10:15:00", 0},
  };
  for (const Row& row : midHourRows)
    EXPECT_EQ(midHour.Read(CliTextSettings(), row.stamp).utcOffsetSeconds, row.offset) << row.stamp;
}

// export hands on what it has converted while the file is still being
// written: a pipe given a little more than two pieces of lines, kept open.
TEST_F(CliRecord, ExportStreamsAFileStillBeingWritten) {
  setenv("TZ", "UTC", 1);
  const std::string fifo = Path("in.log");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Start({"export", fifo, "--format", "influx"});
  const int fd = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string line = "2026-12-09 08:57:07\t23.4\r\n";
  std::string lines;
  for (int i = 0; i < 100000; ++i) lines += line;
  ASSERT_EQ(write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  EXPECT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) > 0; }));
  close(fd);
  EXPECT_EQ(Wait(), 0);
  std::string expected;
  for (int i = 0; i < 100000; ++i) expected += "temperature value=23.4 1796806627000000000\n";
  EXPECT_EQ(ReadAll(Out()), expected);
}

}  // namespace
}  // namespace tempolog
