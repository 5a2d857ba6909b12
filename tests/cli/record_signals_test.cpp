// tempolog-cli record and what comes from outside while it records: each
// signal that would end a process either ends the recording with whole lines
// and no metrics file left, or is told and ignored; SIGHUP reopens the --out
// file by its name; a reader of standard output that stops reading holds up
// neither the recording nor its stop, and gets whole lines only.
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <sstream>

#include "app/cli/Cli.h"
#include "tests/cli/RecordFixture.h"

namespace tempolog {
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(CliRecord, EachSignalEndsTheRecordingWholeOrIsToldAndIgnored) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  struct Row {
    const char* name;
    int signal;
    bool out;          // with --out
    int exitCode;      // -1: ignored, the recording goes on (until SIGTERM)
    std::string told;  // all of standard error
  };
  const std::vector<Row> rows = {
      {"SIGINT", SIGINT, true, 0, ""},
      {"SIGTERM", SIGTERM, true, 0, ""},
      {"SIGALRM", SIGALRM, true, 0, "tempolog-cli: ended by SIGALRM\n"},
      {"SIGVTALRM", SIGVTALRM, true, 0, "tempolog-cli: ended by SIGVTALRM\n"},
      {"SIGPROF", SIGPROF, true, 0, "tempolog-cli: ended by SIGPROF\n"},
      {"SIGXCPU", SIGXCPU, true, 1, "tempolog-cli: ended by SIGXCPU\n"},
      {"SIGUSR1", SIGUSR1, true, -1, "tempolog-cli: SIGUSR1 ignored\n"},
      {"SIGUSR2", SIGUSR2, true, -1, "tempolog-cli: SIGUSR2 ignored\n"},
      {"SIGPOLL", SIGPOLL, true, -1, "tempolog-cli: SIGPOLL ignored\n"},
      {"SIGPWR", SIGPWR, true, -1, "tempolog-cli: SIGPWR ignored\n"},
      {"a real-time signal", SIGRTMIN + 2, true, -1, "tempolog-cli: SIGRTMIN+2 ignored\n"},
      {"SIGXFSZ", SIGXFSZ, true, -1, ""},
      {"SIGHUP without --out", SIGHUP, false, -1,
       "tempolog-cli: SIGHUP ignored: no --out file to reopen\n"},
  };
  const std::string log = Path("lab.log");
  const std::string prom = Path("lab.prom");
  for (const Row& row : rows) {
    fs::remove(log);
    std::vector<std::string> args = {"record", "--port", "lab", "--prom", prom};
    if (row.out) args.insert(args.end(), {"--out", log});
    Start(args);
    ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= 1; })) << row.name;
    kill(pid_, row.signal);
    if (row.exitCode < 0) {
      // Taken between two ticks, and two more readings come after it.
      const std::size_t seen = Lines(ReadAll(Out()));
      ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= seen + 2; }))
          << row.name << ": " << ReadAll(Err());
      kill(pid_, SIGTERM);
    }
    EXPECT_EQ(Wait(), std::max(row.exitCode, 0)) << row.name;
    EXPECT_EQ(ReadAll(Err()), row.told) << row.name;
    EXPECT_FALSE(fs::exists(prom)) << row.name;
    const std::string out = ReadAll(Out());
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n") << row.name;
    if (row.out) {
      EXPECT_EQ(ReadAll(log), out) << row.name;
    }
  }
}

// logrotate's way: the file is renamed away and SIGHUP sent; the next
// readings go to a new file at the name. A name that cannot be opened (here a
// folder in its place) is told once, and the readings are held for it.
TEST_F(CliRecord, SighupReopensTheOutFileByItsName) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  const std::string log = Path("lab.log");
  Start({"record", "--port", "lab", "--out", log});
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= 2; })) << ReadAll(Err());
  fs::rename(log, Path("lab.log.1"));
  kill(pid_, SIGHUP);
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(log)) >= 1; })) << ReadAll(Err());

  fs::rename(log, Path("lab.log.2"));
  fs::create_directory(log);
  kill(pid_, SIGHUP);
  ASSERT_TRUE(WaitFor([&] { return Count(ReadAll(Err()), "not reopened") == 1; }));
  const std::size_t seen = Lines(ReadAll(Out()));
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= seen + 2; }));
  fs::remove(log);
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(log)) >= 3; })) << ReadAll(Err());
  kill(pid_, SIGTERM);
  ASSERT_EQ(Wait(), 0) << ReadAll(Err());

  EXPECT_EQ(ReadAll(Path("lab.log.1")) + ReadAll(Path("lab.log.2")) + ReadAll(log), ReadAll(Out()));
  const std::string err = ReadAll(Err());
  const std::string told = "tempolog-cli: " + log;
  EXPECT_EQ(Count(err, told + ": reopened\n"), 1u) << err;
  EXPECT_EQ(Count(err, "tempolog-cli: Cannot create file \"" + log + "\". Is a directory\n"), 1u)
      << err;
  EXPECT_EQ(Count(err, told + ": not reopened; its readings are held, and it is tried again at "
                              "every tick\n"),
            1u)
      << err;
  EXPECT_EQ(Count(err, told + ": reopened, with the "), 1u) << err;
  EXPECT_EQ(Lines(err), 4u) << err;
}

// The pipe of standard output, read by the test only when it says so; the
// test fills it through a second description of its own, as a reader that
// stopped with the pipe full.
class StdoutPipe {
 public:
  StdoutPipe() {
    int ends[2];
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    read_ = ends[0];
    write_ = ends[1];
    filler_ = open(("/proc/self/fd/" + std::to_string(write_)).c_str(),
                   O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(filler_, 0);
  }
  ~StdoutPipe() {
    StopReading();
    for (const int fd : {read_, write_, filler_}) {
      if (fd >= 0) close(fd);
    }
  }
  int WriteEnd() const { return write_; }
  // Reads the rest, up to the end: the recorder has ended and the test lets
  // go of its own write ends.
  void ReadToEnd() {
    StopReading();
    for (int* fd : {&write_, &filler_}) close(std::exchange(*fd, -1));
    char buffer[4096];
    for (ssize_t n; (n = read(read_, buffer, sizeof buffer)) > 0;)
      read_bytes_.append(buffer, static_cast<std::size_t>(n));
  }

  // Fills the pipe to its last byte with '#'.
  void Fill() {
    const std::string block(4096, '#');
    for (std::size_t size = block.size(); size > 0; size /= 2) {
      while (write(filler_, block.data(), size) > 0) {
      }
    }
  }
  void StartReading() {
    reading_ = true;
    reader_ = std::thread([this] {
      char buffer[4096];
      pollfd ready{read_, POLLIN, 0};
      while (reading_) {
        if (poll(&ready, 1, 20) <= 0) continue;
        const ssize_t n = read(read_, buffer, sizeof buffer);
        if (n <= 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        read_bytes_.append(buffer, static_cast<std::size_t>(n));
      }
    });
  }
  void StopReading() {
    reading_ = false;
    if (reader_.joinable()) reader_.join();
  }
  // What was read, without the filling.
  std::string Read() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text = read_bytes_;
    std::erase(text, '#');
    return text;
  }

 private:
  int read_ = -1;
  int write_ = -1;
  int filler_ = -1;
  std::atomic<bool> reading_{false};
  std::thread reader_;
  std::mutex mutex_;
  std::string read_bytes_;
};

TEST_F(CliRecord, AReaderThatStopsReadingHoldsUpNeitherTheRecordingNorItsStop) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  const std::string log = Path("lab.log");
  const std::string prom = Path("lab.prom");
  StdoutPipe pipe;
  pipe.Fill();
  // Two log lines of 26 bytes wait for standard output; the third is dropped.
  setenv("TEMPOLOG_STDOUT_QUEUE", "60", 1);
  Start({"record", "--port", "lab", "--out", log, "--prom", prom}, TEMPOLOG_CLI, pipe.WriteEnd());
  unsetenv("TEMPOLOG_STDOUT_QUEUE");
  const std::string dropping =
      "tempolog-cli: standard output is not taking the lines; those that find no room in the 60 "
      "bytes waiting for it are dropped\n";
  ASSERT_TRUE(WaitFor([&] { return Count(ReadAll(Err()), dropping) == 1; })) << ReadAll(Err());
  // The log and the metrics go on.
  ASSERT_TRUE(WaitFor([&] {
    return Lines(ReadAll(log)) >= 5 &&
           ReadAll(prom).find("tempolog_readings_total{port=\"lab\"} 5\n") != std::string::npos;
  })) << ReadAll(Err());

  // Read again, then stopped once more.
  pipe.StartReading();
  ASSERT_TRUE(WaitFor([&] { return Count(ReadAll(Err()), "takes the lines again; ") == 1; }))
      << ReadAll(Err());
  ASSERT_TRUE(WaitFor([&] { return Lines(pipe.Read()) >= 2; }));
  pipe.StopReading();
  pipe.Fill();
  ASSERT_TRUE(WaitFor([&] { return Count(ReadAll(Err()), dropping) == 2; })) << ReadAll(Err());
  kill(pid_, SIGTERM);
  ASSERT_EQ(Wait(5000), 0) << ReadAll(Err());

  // What was read, and what is left in the pipe: whole lines of the log, in
  // its order; with those dropped and lost, every line of the log.
  pipe.ReadToEnd();
  const std::string logText = ReadAll(log);
  const std::string readText = pipe.Read();
  std::size_t at = 0;
  std::size_t readLines = 0;
  std::istringstream lines(readText);
  for (std::string line; std::getline(lines, line);) {
    at = logText.find(line + "\n", at);
    ASSERT_NE(at, std::string::npos) << line;
    ++readLines;
  }
  EXPECT_EQ(readText.back(), '\n');
  const std::string err = ReadAll(Err());
  EXPECT_NE(err.find("tempolog-cli: standard output did not take every line to the end: "),
            std::string::npos)
      << err;
  // "N lines dropped", "N lines waiting for it lost".
  std::istringstream words(err);
  const std::vector<std::string> word{std::istream_iterator<std::string>(words), {}};
  std::size_t missing = 0;
  for (std::size_t i = 2; i < word.size(); ++i) {
    if ((word[i - 1] == "line" || word[i - 1] == "lines") &&
        (word[i].starts_with("dropped") || word[i] == "waiting"))
      missing += std::stoul(word[i - 2]);
  }
  EXPECT_EQ(readLines + missing, Lines(logText)) << err;
  EXPECT_FALSE(fs::exists(prom));
}

TEST_F(CliRecord, AClosedStandardOutputEndsTheRecordingAsAFailure) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  close(ends[0]);
  const std::string prom = Path("lab.prom");
  Start({"record", "--port", "lab", "--prom", prom}, TEMPOLOG_CLI, ends[1]);
  close(ends[1]);
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(ReadAll(Err()), "tempolog-cli: cannot write to standard output\n");
  EXPECT_FALSE(fs::exists(prom));
}

// The queue in front of standard output, against a stand-in that takes as
// many bytes as it is given room for: a line begun is finished first, one
// that finds no room is dropped whole.
TEST(StdoutQueue, WholeLinesInOrderWithinItsLimit) {
  struct Step {
    std::size_t room;  // bytes standard output takes from now on, more
    std::string line;  // added; empty: Flush; "end": Abandon
  };
  struct Row {
    const char* name;
    std::vector<Step> steps;
    std::string taken;  // what standard output got
    std::string told;   // messages, each ended by LF
  };
  const std::string dropping =
      "standard output is not taking the lines; those that find no room in the 10 bytes "
      "waiting for it are dropped\n";
  const std::vector<Row> rows = {
      {"written at once", {{100, "ab\n"}, {0, "cd\n"}}, "ab\ncd\n", ""},
      {"a line written in part is finished before the next",
       {{3, "abcde\n"}, {0, "fg\n"}, {0, ""}, {4, ""}, {10, ""}},
       "abcde\nfg\n",
       ""},
      {"a line begun is finished whatever its length",
       {{2, "0123456789abc\n"}, {0, "x\n"}, {100, "y\n"}},
       "0123456789abc\ny\n",
       dropping + "standard output takes the lines again; 1 line dropped\n"},
      {"a line that finds no room is dropped whole, a shorter one after it waits",
       {{0, "12345\n"}, {0, "6789\n"}, {0, "ab\n"}, {0, "cde\n"}, {100, ""}},
       "12345\nab\n",
       dropping + "standard output takes the lines again; 2 lines dropped\n"},
      {"what waits at the end is told lost",
       {{0, "12345\n"}, {0, "abcdef\n"}, {3, "ab\n"}, {0, "end"}},
       "123",
       dropping +
           "standard output did not take every line to the end: 1 line dropped, 2 lines waiting "
           "for it lost (the first of them written in part)\n"},
  };
  for (const Row& row : rows) {
    std::size_t room = 0;
    std::string taken;
    std::string told;
    TStdoutQueue queue(
        10,
        [&](std::string_view bytes) {
          const std::size_t n = std::min(room, bytes.size());
          taken += bytes.substr(0, n);
          room -= n;
          return static_cast<std::ptrdiff_t>(n);
        },
        [&](const std::string& text) { told += text + "\n"; });
    for (const Step& step : row.steps) {
      room += step.room;
      if (step.line == "end") {
        queue.Abandon();
      } else {
        EXPECT_TRUE(step.line.empty() ? queue.Flush() : queue.Add(step.line)) << row.name;
      }
    }
    EXPECT_EQ(taken, row.taken) << row.name;
    EXPECT_EQ(told, row.told) << row.name;
  }
}

}  // namespace
}  // namespace tempolog
