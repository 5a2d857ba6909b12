// tempolog-cli record as a whole program against a thermometer the test plays
// on a pseudo-terminal: readings reach the --out file, standard output and the
// metrics file alike; a rejected reply, an unplugged and returned adapter and
// a SIGTERM while a reply is awaited lose no reading and leave whole lines; a
// bad command line or an unusable file stops it before any request; a port
// name that is no serial port, a busy port and a missing one are told apart;
// rejected replies are told when they start and stop; the metrics file goes
// with the recorder.
#include <sys/mount.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "serial/SerialPort.h"
#include "tests/cli/RecordFixture.h"

namespace tempolog {
namespace {

TEST_F(CliRecord, RejectedGoneBackAndStopWhileAwaitingAReply) {
  // Request n is answered with 20+n and ".5"; request 4 (the second of the
  // second tick) with a text that is no number; the held request not at all.
  std::atomic<int> held{0};
  instrument_->SetScript([&](int n, const std::string&) -> std::optional<std::string> {
    if (n == held) return std::nullopt;
    if (n == 4) return std::string("abc\r\n");
    return std::to_string(20 + n) + ".5\r\n";
  });
  const std::string log = Path("lab.log");
  const std::string prom = Path("lab.prom");
  Start({"record", "--port", "lab", "--out", log, "--prom", prom});

  // Ticks 1 to 3: a reading, a rejected reply, a reading.
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) == 2; })) << ReadAll(Err());
  instrument_->Vanish();
  ASSERT_TRUE(WaitFor([&] { return ReadAll(Err()).find("lab: gone (") != std::string::npos; }))
      << ReadAll(Err()) << ReadAll(Out());
  instrument_->Return();
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) == 3; })) << ReadAll(Err());
  ASSERT_TRUE(WaitFor([&] {
    return ReadAll(prom).find("tempolog_readings_total{port=\"lab\"} 3\n") != std::string::npos;
  })) << ReadAll(prom);
  // The next tick's reading is held back; the stop comes while it is awaited.
  const int seen = static_cast<int>(instrument_->Requests().size());
  held = seen + 2;
  ASSERT_TRUE(WaitFor([&] { return static_cast<int>(instrument_->Requests().size()) >= held; }));
  kill(pid_, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  instrument_->Send(std::to_string(20 + held) + ".5\r\n");
  ASSERT_EQ(Wait(), 0) << ReadAll(Err());

  // Every reading in both places, whole lines only, the held one included.
  const std::string out = ReadAll(Out());
  EXPECT_EQ(ReadAll(log), out);
  std::istringstream lines(out);
  std::vector<std::string> values;
  for (std::string line; std::getline(lines, line);) {
    ASSERT_EQ(line.size() > 21 ? line.substr(19, 1) + line.back() : "", "\t\r") << line;
    values.push_back(line.substr(20, line.size() - 21));
  }
  EXPECT_EQ(values,
            (std::vector<std::string>{"22.5", "26.5", "28.5", std::to_string(20 + held) + ".5"}));
  const std::string err = ReadAll(Err());
  EXPECT_NE(err.find("lab: reply rejected: 'abc' is not a valid floating point value;"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("lab: back\n"), std::string::npos) << err;
  // The metrics file goes with the recording.
  EXPECT_FALSE(fs::exists(prom));
}

TEST_F(CliRecord, NothingAskedNorWrittenWhenItCannotStart) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const std::string out = Path("x.log");
  const std::vector<Row> rows = {
      {"bad period",
       {"record", "--port", "lab", "--out", out, "--period", "0"},
       2,
       "tempolog-cli: --period '0' is not a whole number from 1 to 86400\nUsage:"},
      {"unknown option",
       {"record", "--port", "lab", "--out", out, "--colour"},
       2,
       "tempolog-cli: unknown option '--colour'\n"},
      {"out in a missing folder",
       {"record", "--port", "lab", "--out", Path("no/x.log")},
       1,
       "tempolog-cli: Cannot create file \"" + Path("no/x.log") + "\". No such file or directory"},
      {"prom in a missing folder",
       {"record", "--port", "lab", "--out", out, "--prom", Path("no/x.prom")},
       1,
       "tempolog-cli: Cannot create file \"" + Path("no/x.prom")},
      {"export of a missing file",
       {"export", Path("none.log")},
       1,
       "tempolog-cli: Cannot open file \"" + Path("none.log") + "\""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Run(row.args), row.exitCode) << row.name;
    EXPECT_EQ(ReadAll(Err()).find(row.message), 0u) << row.name << ": " << ReadAll(Err());
    EXPECT_EQ(ReadAll(Out()), "") << row.name;
    // The --out file of the bad command lines is never made.
    if (row.exitCode == 2) {
      EXPECT_FALSE(fs::exists(out)) << row.name;
    }
    fs::remove(out);
  }
  EXPECT_TRUE(instrument_->Requests().empty());
}

TEST_F(CliRecord, AnUnfinishedLastLineIsKeptApartNeverAsAReading) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  struct Row {
    std::string name;
    std::string before;  // the file before the recording
    std::string kept;    // what of it is there after
    std::string torn;    // in the torn line's file; empty: no such file
  };
  const std::string whole = "2026-12-09 08:57:06\t23.4\r\n";
  // Every piece of a line a failed write can leave, its CR included.
  const std::string line = "2026-12-09 08:57:07\t23.3\r";
  std::vector<Row> rows = {{"whole lines", whole, whole, ""},
                           {"a last line ended by LF alone", whole + "x\n", whole + "x\n", ""}};
  for (std::size_t length = 1; length <= line.size(); ++length) {
    const std::string piece = line.substr(0, length);
    rows.push_back(
        {"a piece of " + std::to_string(length) + " bytes", whole + piece, whole, piece});
  }
  rows.push_back({"a file of only a piece", "2026-12-09 08:5", "", "2026-12-09 08:5"});
  const std::string log = Path("lab.log");
  const std::string tornPath = Path("lab-torn-line.txt");
  for (const Row& row : rows) {
    std::ofstream(log, std::ios::binary) << row.before;
    fs::remove(tornPath);
    ASSERT_EQ(Run({"record", "--port", "lab", "--out", log, "--count", "1"}), 0) << row.name;
    const std::string after = ReadAll(log);
    EXPECT_EQ(after, row.kept + ReadAll(Out())) << row.name;
    const std::string err = ReadAll(Err());
    if (row.torn.empty()) {
      EXPECT_FALSE(fs::exists(tornPath)) << row.name;
      EXPECT_EQ(err, "") << row.name;
      continue;
    }
    EXPECT_EQ(ReadAll(tornPath), row.torn) << row.name;
    EXPECT_NE(err.find("tempolog-cli: " + log +
                       ": its unfinished last line is not a reading; kept in " + tornPath + ": "),
              std::string::npos)
        << row.name << ": " << err;
  }
  // A second torn line does not replace the first one's file.
  std::ofstream(log, std::ios::binary) << whole << "2026-12-09 08:57";
  ASSERT_EQ(Run({"record", "--port", "lab", "--out", log, "--count", "1"}), 0);
  EXPECT_EQ(ReadAll(tornPath), "2026-12-09 08:5");
  EXPECT_EQ(ReadAll(Path("lab-2-torn-line.txt")), "2026-12-09 08:57");
}

// export of files with good, bad and unfinished lines: the readings of the
// good lines only, each bad line told with its number and the start of its
// text, escaped and cut short.
TEST_F(CliRecord, ExportConvertsWholeLinesAndTellsBadOnesBriefly) {
  setenv("TZ", "UTC", 1);
  struct Row {
    std::string name;
    std::string file;
    std::string csv;   // after the header
    std::string told;  // on standard error after "tempolog-cli: <file>:"; empty: nothing
  };
  const std::string first = "2026-12-09 08:57:06\t23.4\r\n";
  const std::string firstCsv = "2026-12-09T08:57:06.000,23.4,2026-12-09T08:57:06.000+00:00\r\n";
  const std::string stamp = "2026-12-09 08:57:07\t";
  std::vector<Row> rows = {
      {"whole lines", first + stamp + "-1.5\n",
       firstCsv + "2026-12-09T08:57:07.000,-1.5,2026-12-09T08:57:07.000+00:00\r\n", ""},
      {"a value longer than 19 characters is read whole",
       stamp + "340282350000000000000000000000000000000\r\n",
       "2026-12-09T08:57:07.000,3.4028235e+38,2026-12-09T08:57:07.000+00:00\r\n", ""},
      {"a value that reads only in its first 19 characters is a bad line",
       first + stamp + "23.5" + std::string(16, ' ') + "x\r\n", firstCsv,
       "2: '23.5                x' is not a valid floating point value: 2026-12-09 "
       "08:57:07\\t23.5                x\n"},
      {"a stored value without digits is no reading", first + stamp + "-.\r\n", firstCsv,
       "2: '-.' is not a valid floating point value: 2026-12-09 08:57:07\\t-.\n"},
      {"bytes escaped", stamp + "2\x01\xFF\\\r\n", "",
       "1: '2\\x01\\xFF\\\\' is not a valid floating point value: 2026-12-09 "
       "08:57:07\\t2\\x01\\xFF\\\\\n"},
      {"a 5 MB line is cut", first + stamp + std::string(5 << 20, '7') + "x\r\n", firstCsv,
       "2: '" + std::string(64, '7') + "... (" + std::to_string((5 << 20) + 1) +
           " bytes)' is not a valid floating point value: " + "2026-12-09 08:57:07\\t" +
           std::string(44, '7') + "... (" + std::to_string((5 << 20) + 21) + " bytes)\n"},
  };
  const std::string line = "2026-12-09 08:57:07\t23.3\r";
  for (std::size_t length = 1; length <= line.size(); ++length) {
    std::string shown = line.substr(0, length);
    std::string escaped;
    for (const char c : shown) escaped += c == '\t' ? "\\t" : c == '\r' ? "\\r" : std::string(1, c);
    rows.push_back(
        {"an unfinished last line of " + std::to_string(length) + " bytes", first + shown, firstCsv,
         "2: unfinished last line, without its line end; not converted: " + escaped + "\n"});
  }
  const std::string file = Path("in.log");
  for (const Row& row : rows) {
    std::ofstream(file, std::ios::binary) << row.file;
    EXPECT_EQ(Run({"export", file}), row.told.empty() ? 0 : 1) << row.name;
    EXPECT_EQ(ReadAll(Out()), "local_time,value,time\r\n" + row.csv) << row.name;
    EXPECT_EQ(ReadAll(Err()), row.told.empty() ? "" : "tempolog-cli: " + file + ":" + row.told)
        << row.name;
  }
}

// A disk that fills up while recording and frees again: no reading is lost,
// none is written twice, the file holds whole lines only, and standard output
// goes on meanwhile. The disk is a small tmpfs of its own (the test runs as
// root; where mounting is not allowed it is skipped).
TEST_F(CliRecord, AFullDiskLosesNoReading) {
  const std::string disk = Path("disk");
  fs::create_directory(disk);
  if (mount("tempolog-test", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                 << "); the full disk is tested through OutFile's stand-in disk only";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  // Replies of one length, so that the first reading fills the log's first
  // page exactly and the next one needs a page the disk no longer has.
  instrument_->SetScript([](int n, const std::string&) -> std::optional<std::string> {
    return "2" + std::to_string(n % 10) + ".5\r\n";
  });
  const std::string log = disk + "/lab.log";
  std::string before;
  for (int i = 0; i < 110; ++i) before += "2026-12-09 08:00:00\t21.500000000000\r\n";
  ASSERT_EQ(before.size() + std::string("2026-12-09 08:00:00\t21.5\r\n").size(), 4096u);
  std::ofstream(log, std::ios::binary) << before;
  Start({"record", "--port", "lab", "--out", log});
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= 1; })) << ReadAll(Err());

  // Fill the disk.
  const std::string filler = disk + "/filler";
  const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  close(fd);
  const std::size_t filled = Lines(ReadAll(Out()));
  ASSERT_TRUE(WaitFor([&] {
    return ReadAll(Err()).find("No space left on device") != std::string::npos &&
           Lines(ReadAll(Out())) >= filled + 3;
  })) << ReadAll(Err());
  EXPECT_EQ(ReadAll(log).size(), 4096u);

  // Free it.
  fs::remove(filler);
  const std::size_t freed = Lines(ReadAll(Out()));
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= freed + 2; })) << ReadAll(Err());
  kill(pid_, SIGTERM);
  ASSERT_EQ(Wait(), 0) << ReadAll(Err());

  EXPECT_EQ(ReadAll(log), before + ReadAll(Out()));
  const std::string err = ReadAll(Err());
  const auto count = [&](const std::string& part) {
    std::size_t n = 0;
    for (auto at = err.find(part); at != std::string::npos; at = err.find(part, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("No space left on device; readings are held"), 1u) << err;
  EXPECT_EQ(count("lab.log: written again, with the "), 1u) << err;
  EXPECT_EQ(Lines(err), 2u) << err;
}

TEST_F(CliRecord, PortThatIsNoSerialPortBusyOrMissingAtTheStart) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  std::ofstream(Path("plain.txt")) << "23.5\r\n";
  // Another program holds the instrument's port while the busy row runs.
  TSerialPort holder;
  struct Row {
    const char* name;
    std::string port;
    int exitCode;
    std::vector<std::string> told;  // each on standard error
    std::function<void()> before;   // before the start
    std::function<void()> during;   // after the start
  };
  std::unique_ptr<Instrument> late;
  const std::vector<Row> rows = {
      {"the null device",
       "/dev/null",
       1,
       {"tempolog-cli: /dev/null: not a terminal device"},
       nullptr,
       nullptr},
      {"a regular file",
       Path("plain.txt"),
       1,
       {"tempolog-cli: " + Path("plain.txt") + ": not a terminal device"},
       nullptr,
       nullptr},
      {"a folder",
       dir_,
       1,
       {"tempolog-cli: " + dir_ + ": not a terminal device"},
       nullptr,
       nullptr},
      {"a port another program holds",
       "lab",
       1,
       {"tempolog-cli: lab: held by another program"},
       [&] { holder.OpenPort(SerialDevicePath("lab")); },
       nullptr},
      // A service started at boot before its adapter is plugged in records
      // once the adapter comes.
      {"a name no port has yet, then plugged in",
       "lab2",
       0,
       {"tempolog-cli: lab2: no such port (ports now: ", "lab", "); waiting for it",
        "tempolog-cli: lab2: found\n"},
       nullptr,
       [&] {
         ASSERT_TRUE(WaitFor([&] { return ReadAll(Err()).find("waiting") != std::string::npos; }))
             << ReadAll(Err());
         late = std::make_unique<Instrument>(dir_ + "/tempolog/ports", "lab2");
         late->SetScript([](int, const std::string&) { return std::string("24.5\r\n"); });
       }},
  };
  const std::string log = Path("x.log");
  const std::string prom = Path("x.prom");
  for (const Row& row : rows) {
    if (row.before) row.before();
    Start({"record", "--port", row.port, "--out", log, "--prom", prom, "--count", "1"});
    if (row.during) row.during();
    EXPECT_EQ(Wait(), row.exitCode) << row.name;
    holder.ClosePort();
    const std::string err = ReadAll(Err());
    for (const std::string& told : row.told)
      EXPECT_NE(err.find(told), std::string::npos) << row.name << ": " << err;
    EXPECT_EQ(err.find("gone"), std::string::npos) << row.name << ": " << err;
    // A port that cannot be recorded leaves no log behind; no metrics file
    // stays in any case.
    EXPECT_EQ(fs::exists(log), row.exitCode == 0) << row.name;
    EXPECT_FALSE(fs::exists(prom)) << row.name;
    EXPECT_EQ(Lines(ReadAll(Out())), row.exitCode == 0 ? 1u : 0u) << row.name;
    fs::remove(log);
  }
  EXPECT_TRUE(instrument_->Requests().empty());
}

TEST_F(CliRecord, RejectedRepliesToldWhenTheyStartAndWhenTheyStop) {
  struct Row {
    const char* name;
    std::vector<std::string> readings;  // the second reply of each tick
    std::string told;                   // all of standard error
  };
  const std::string longGarbage = "7\x01" + std::string(300, '7');
  const std::string overflowTold =
      "tempolog-cli: lab: reply rejected: longer than 256 bytes: '7\\x01" + std::string(62, '7') +
      "... (N bytes)'; told again when replies are no longer rejected\n";
  const std::vector<Row> rows = {
      {"garbage with control bytes, a quote and bytes beyond ASCII",
       {"1\x02\"\xFF\\\r\n", "abc\r\n", "21.5\r\n"},
       "tempolog-cli: lab: reply rejected: '1\\x02\"\\xFF\\\\' is not a valid floating point "
       "value; "
       "told again when replies are no longer rejected\n"
       "tempolog-cli: lab: replies no longer rejected, after 2 rejected ticks\n"},
      {"replies whose digits were cut off or garbled",
       {".\r\n", "-.\r\n", "23.5e\r\n", "5e+\r\n", "21.5\r\n"},
       "tempolog-cli: lab: reply rejected: '.' is not a valid floating point value; told again "
       "when replies are no longer rejected\n"
       "tempolog-cli: lab: replies no longer rejected, after 4 rejected ticks\n"},
      {"a long reply is cut",
       {std::string(100, '9') + "x\r\n", "21.5\r\n"},
       "tempolog-cli: lab: reply rejected: '" + std::string(64, '9') +
           "... (101 bytes)' is not a valid floating point value; told again when replies are no "
           "longer rejected\n"
           "tempolog-cli: lab: replies no longer rejected, after 1 rejected tick\n"},
      {"overflowing replies show their start",
       {longGarbage + "\r\n", longGarbage + "\r\n", longGarbage + "\r\n", "21.5\r\n"},
       overflowTold + "tempolog-cli: lab: replies no longer rejected, after 3 rejected ticks\n"},
      {"an overflowing reply without its line end shows its start",
       {longGarbage, "21.5\r\n"},
       overflowTold + "tempolog-cli: lab: replies no longer rejected, after 1 rejected tick\n"},
  };
  for (const Row& row : rows) {
    // The first request of a tick is answered with a number, the second with
    // the tick's reading.
    instrument_->SetScript([&](int n, const std::string&) -> std::optional<std::string> {
      const std::size_t tick = static_cast<std::size_t>(n - 1) / 2;
      if (n % 2 == 1 || tick >= row.readings.size()) return std::string("20.5\r\n");
      return row.readings[tick];
    });
    ASSERT_EQ(Run({"record", "--port", "lab", "--count", "1"}), 0) << row.name;
    std::string err = ReadAll(Err());
    // How much of an over-long reply had come when the read gave up depends
    // on how the bytes arrived.
    if (const std::size_t cut = err.find("... (");
        cut != std::string::npos && row.told.find("(N bytes)") != std::string::npos)
      err.replace(cut + 5, err.find(" bytes)", cut) - cut - 5, "N");
    EXPECT_EQ(err, row.told) << row.name;
    EXPECT_EQ(ReadAll(Out()).substr(19), "\t21.5\r\n") << row.name;
    EXPECT_EQ(instrument_->Requests().size(), 2 * row.readings.size()) << row.name;
    // The script of the next row starts counting anew.
    instrument_.reset();
    instrument_ = std::make_unique<Instrument>(dir_ + "/tempolog/ports", "lab");
  }
}

TEST_F(CliRecord, VersionPortPathAndNoMetricsLeftAfterAStop) {
  instrument_->SetScript([](int, const std::string&) { return std::string("23.5\r\n"); });
  // A stable adapter name as the system makes it: a link in a by-id folder to
  // a link beside that folder's parent, the way ../../ttyUSB0 is.
  fs::create_directories(Path("dev/serial/by-id"));
  fs::create_symlink(fs::read_symlink(dir_ + "/tempolog/ports/lab"), Path("dev/ttyUSB0"));
  const std::string byId = Path("dev/serial/by-id/usb-FTDI_FT232R_A12345-if00-port0");
  fs::create_symlink("../../ttyUSB0", byId);
  const std::string prom = Path("lab.prom");
  struct Row {
    const char* name;
    const char* program;
    std::vector<std::string> args;
    int stopSignal;   // sent once the first reading is out; 0: none
    std::string out;  // the start of standard output
  };
  const std::string version = std::string(" ") + TEMPOLOG_VERSION + "\n";
  const std::vector<Row> rows = {
      {"tempolog-cli --version", TEMPOLOG_CLI, {"--version"}, 0, "tempolog-cli" + version},
      {"tempolog-sim --version", TEMPOLOG_SIM, {"--version"}, 0, "tempolog-sim" + version},
      {"a by-id path, to the end of --count",
       TEMPOLOG_CLI,
       {"record", "--port", byId, "--prom", prom, "--count", "2"},
       0,
       "20"},
      {"to the end of --duration",
       TEMPOLOG_CLI,
       {"record", "--port", "lab", "--prom", prom, "--duration", "2"},
       0,
       "20"},
      {"SIGTERM", TEMPOLOG_CLI, {"record", "--port", "lab", "--prom", prom}, SIGTERM, "20"},
      {"SIGINT", TEMPOLOG_CLI, {"record", "--port", "lab", "--prom", prom}, SIGINT, "20"},
  };
  for (const Row& row : rows) {
    Start(row.args, row.program);
    if (row.stopSignal != 0) {
      ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(Out())) >= 1; })) << row.name;
      EXPECT_TRUE(fs::exists(prom)) << row.name;
      kill(pid_, row.stopSignal);
    }
    EXPECT_EQ(Wait(), 0) << row.name << ": " << ReadAll(Err());
    EXPECT_EQ(ReadAll(Out()).substr(0, row.out.size()), row.out) << row.name;
    EXPECT_FALSE(fs::exists(prom)) << row.name;
  }
}

}  // namespace
}  // namespace tempolog
