// The simulated thermometer: its protocol and fault modes directly, and the
// tempolog-sim program end to end through the serial port object.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>

#include "serial/SerialPort.h"
#include "tests/support/TestEnvironment.h"
#include "tools/SimInstrument.h"

namespace tempolog {
namespace {

// The form "23.5": digits, a point, one digit, an optional minus in front.
bool IsReading(const std::string& text) {
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  const std::size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  return i > digits && i + 2 == text.size() && text[i] == '.' &&
         std::isdigit(static_cast<unsigned char>(text[i + 1]));
}

SimOptions With(void (*change)(SimOptions&)) {
  SimOptions o;
  change(o);
  return o;
}

TEST(SimInstrument, AnswersEachRequestWithADriftingReading) {
  SimInstrument sim{SimOptions{}};
  double previous = 0;
  for (int i = 0; i < 200; ++i) {
    const auto actions = sim.Receive("01X?\r", i * 3.0);
    ASSERT_EQ(actions.size(), 1u);
    const std::string& reply = actions[0].reply;
    ASSERT_GE(reply.size(), 3u);
    ASSERT_EQ(reply.substr(reply.size() - 2), "\r\n");
    const std::string value = reply.substr(0, reply.size() - 2);
    ASSERT_TRUE(IsReading(value)) << value;
    const double t = std::atof(value.c_str());
    EXPECT_GT(t, 19.0);
    EXPECT_LT(t, 26.0);
    if (i > 0) {
      EXPECT_LT(std::abs(t - previous), 0.5) << "a slow drift, not jumps";
    }
    previous = t;
  }
}

TEST(SimInstrument, RequestsMaySpanChunksAndSeveralMayCome) {
  SimInstrument sim{SimOptions{}};
  EXPECT_TRUE(sim.Receive("01", 0).empty());
  EXPECT_EQ(sim.Receive("X?\r\n01X?\r01X?", 0).size(), 2u);
  EXPECT_EQ(sim.Receive("\r", 0).size(), 1u);
  EXPECT_EQ(sim.Requests(), 3);
}

TEST(SimInstrument, FaultModes) {
  const struct {
    const char* what;
    SimOptions options;
    std::vector<std::string> requests;
    std::vector<std::string> replies;  // "*" any reading with CR LF
    bool vanishes;
  } rows[] = {
      {"silent", With([](SimOptions& o) { o.silent = true; }), {"a", "b"}, {"", ""}, false},
      {"fixed",
       With([](SimOptions& o) { o.fixed = true, o.fixedValue = "99.9"; }),
       {"a"},
       {"99.9\r\n"},
       false},
      {"no line end",
       With([](SimOptions& o) { o.fixed = true, o.fixedValue = "1.0", o.noLineEnd = true; }),
       {"a"},
       {"1.0"},
       false},
      {"every third",
       With([](SimOptions& o) { o.answerEvery = 3; }),
       {"a", "b", "c", "d", "e", "f"},
       {"", "", "*", "", "", "*"},
       false},
      {"vanish after 2",
       With([](SimOptions& o) { o.vanishAfter = 2; }),
       {"a", "b", "c"},
       {"*", "*", ""},
       true},
      {"vanish at once", With([](SimOptions& o) { o.vanishAfter = 0; }), {"a"}, {""}, true},
      {"script",
       With([](SimOptions& o) {
         o.scripted = true;
         o.script = {{"01X?", "21.0\r\n"}, {"ID?", std::string("T\0X\r\n", 5)}};
       }),
       {"ID?", "01X?", "other"},
       {std::string("T\0X\r\n", 5), "21.0\r\n", ""},
       false},
  };
  for (const auto& row : rows) {
    SimInstrument sim{row.options};
    bool vanished = false;
    for (std::size_t i = 0; i < row.requests.size(); ++i) {
      const auto actions = sim.Receive(row.requests[i] + "\r", 1.0);
      ASSERT_EQ(actions.size(), 1u) << row.what;
      vanished = vanished || actions[0].vanish;
      if (row.replies[i] == "*") {
        const std::string& r = actions[0].reply;
        EXPECT_TRUE(r.size() > 2 && IsReading(r.substr(0, r.size() - 2))) << row.what << " " << i;
      } else {
        EXPECT_EQ(actions[0].reply, row.replies[i]) << row.what << " " << i;
      }
    }
    EXPECT_EQ(vanished, row.vanishes) << row.what;
  }
}

TEST(SimInstrument, DelayComesWithEveryAnswer) {
  SimOptions o;
  o.replyDelayMs = 250;
  SimInstrument sim{o};
  EXPECT_EQ(sim.Receive("a\r", 0)[0].delayMs, 250);
}

TEST(SimInstrument, GarbageHoldsNulBytesAndNoLineEndInside) {
  SimOptions o;
  o.garbage = true;
  SimInstrument sim{o};
  for (int i = 0; i < 50; ++i) {
    const std::string r = sim.Receive("a\r", 0)[0].reply;
    ASSERT_GE(r.size(), 7u);
    EXPECT_EQ(r.substr(r.size() - 2), "\r\n");
    const std::string body = r.substr(0, r.size() - 2);
    EXPECT_NE(body.find('\0'), std::string::npos);
    EXPECT_EQ(body.find_first_of("\r\n"), std::string::npos);
  }
}

TEST(SimInstrument, EndlessStreamsWithoutLineEnds) {
  SimOptions o;
  o.endless = true;
  SimInstrument sim{o};
  EXPECT_FALSE(sim.Streaming());
  EXPECT_EQ(sim.Receive("a\r", 0)[0].reply, "");
  EXPECT_TRUE(sim.Streaming());
  for (int i = 0; i < 20; ++i) {
    const std::string piece = sim.StreamPiece();
    EXPECT_FALSE(piece.empty());
    EXPECT_EQ(piece.find_first_of("\r\n"), std::string::npos);
  }
}

TEST(SimInstrument, Arguments) {
  const struct {
    std::vector<std::string> args;
    bool ok;
    const char* error;
  } rows[] = {
      {{}, true, ""},
      {{"--delay", "300", "--every", "2", "--vanish-after", "5", "--name", "lab1"}, true, ""},
      {{"--delay"}, false, "option --delay needs a value"},
      {{"--delay", "-5"}, false, "option --delay needs a whole number, not: -5"},
      {{"--every", "0"}, false, "option --every needs a whole number from 1, not: 0"},
      {{"--name", "a/b"}, false, "bad port name: a/b"},
      {{"--bogus"}, false, "unknown option: --bogus"},
      {{"--script", "/no/such/file"}, false, "cannot read script /no/such/file"},
      {{"--return-after", "500"}, false, "option --return-after needs --vanish-after"},
      {{"--vanish-after", "3", "--return-after", "500"}, true, ""},
  };
  for (const auto& row : rows) {
    SimOptions o;
    bool help = false;
    std::string error;
    EXPECT_EQ(ParseSimArguments(row.args, o, help, error), row.ok) << error;
    EXPECT_EQ(error, row.error);
  }
  SimOptions o;
  bool help = false;
  std::string error;
  ASSERT_TRUE(ParseSimArguments({"--delay", "300", "--every", "2", "--value", "1\\x41", "--help"},
                                o, help, error));
  EXPECT_TRUE(help);
  EXPECT_EQ(o.replyDelayMs, 300);
  EXPECT_EQ(o.answerEvery, 2);
  EXPECT_EQ(o.fixedValue, "1A");
  for (const char* option :
       {"--delay", "--silent", "--no-line-end", "--garbage", "--endless", "--every", "--value",
        "--vanish-after", "--return-after", "--script", "--help"})
    EXPECT_NE(SimUsage().find(option), std::string::npos) << option;
}

TEST(SimInstrument, Script) {
  std::vector<std::pair<std::string, std::string>> script;
  std::string error;
  ASSERT_TRUE(
      ParseSimScript("# comment\r\n01X? -> 23.5\\r\\n\n\nA\\tB -> \\0\\xff\\\\\n", script, error));
  ASSERT_EQ(script.size(), 2u);
  EXPECT_EQ(script[0], std::make_pair(std::string("01X?"), std::string("23.5\r\n")));
  EXPECT_EQ(script[1], std::make_pair(std::string("A\tB"), std::string("\0\xff\\", 3)));
  EXPECT_FALSE(ParseSimScript("ok -> 1\nbroken line\n", script, error));
  EXPECT_EQ(error, "script line 2 has no \" -> \": broken line");
}

// ------------------------------------------------------------ end to end

class RunningSim {
 public:
  RunningSim(const std::string& runtime, std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(TEMPOLOG_SIM)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(TEMPOLOG_SIM, argv.data());
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[1024] = {};
    if (f && fgets(line, sizeof line, f)) banner_ = line;
    if (f) fclose(f);
  }
  ~RunningSim() { Stop(); }
  const std::string& banner() const { return banner_; }
  int Stop(int sig = SIGTERM) {
    if (pid_ <= 0) return status_;
    kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string banner_;
};

// One request of the monitor's kind and its reply.
std::string Query(TSerialPort& port) {
  port.WriteText("01X?\r");
  return port.ReadUntil(1000, "\r\n");
}

class SimEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime = testing_support::MakeTemporaryFolder("sim-e2e");
    saved = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  void TearDown() override {
    if (saved.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    std::system(("rm -rf '" + runtime + "'").c_str());
  }
  bool LinkExists(const std::string& name) {
    struct stat st {};
    return lstat((runtime + "/tempolog/ports/" + name).c_str(), &st) == 0;
  }
  std::string runtime, saved;
};

TEST_F(SimEndToEnd, ListedQueriedAndUnregisteredOnSignal) {
  for (int sig : {SIGTERM, SIGINT}) {
    RunningSim sim(runtime, {"--name", "lab7", "--value", "21.5"});
    ASSERT_NE(sim.banner().find("lab7"), std::string::npos) << sim.banner();
    ASSERT_NE(sim.banner().find("/dev/pts/"), std::string::npos) << sim.banner();
    EXPECT_NE(ListSerialPorts().find("lab7"), std::string::npos);
    EXPECT_EQ(SerialDevicePath("lab7"), runtime + "/tempolog/ports/lab7");
    TSerialPort port;
    port.OpenPort(SerialDevicePath("lab7"));
    ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
    port.Configure(2400, 8, 'N', 0, false, false);
    port.WriteText("01X?\r");
    EXPECT_EQ(port.ReadUntil(1000, "\r\n"), "21.5");
    EXPECT_EQ(port.LastErrorCode, 0);
    port.ClosePort();
    EXPECT_EQ(sim.Stop(sig), 0);
    EXPECT_FALSE(LinkExists("lab7"));
  }
}

TEST_F(SimEndToEnd, AVanishingSimulatorFailsTheNextQuery) {
  RunningSim sim(runtime, {"--name", "gone", "--vanish-after", "1"});
  TSerialPort port;
  port.OpenPort(SerialDevicePath("gone"));
  ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
  EXPECT_NE(Query(port), "");
  EXPECT_EQ(Query(port), "");
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_EQ(port.LastErrorCode, EIO);
  EXPECT_FALSE(LinkExists("gone"));
}

TEST_F(SimEndToEnd, AReturningSimulatorAnswersAgainUnderItsName) {
  RunningSim sim(runtime, {"--name", "loose", "--vanish-after", "1", "--return-after", "200"});
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    // Plugged in (again): the name leads to a terminal once more.
    for (int wait = 0; wait < 100 && !LinkExists("loose"); ++wait) usleep(20000);
    TSerialPort port;
    port.OpenPort(SerialDevicePath("loose"));
    ASSERT_EQ(port.LastErrorCode, 0) << port.LastErrorText;
    EXPECT_NE(Query(port), "");
    EXPECT_EQ(Query(port), "");
    EXPECT_TRUE(DeviceGone(port.LastErrorCode)) << port.LastErrorText;
    port.ClosePort();
  }
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(LinkExists("loose"));
}

TEST_F(SimEndToEnd, SecondSimulatorWithTheSameNameIsRefused) {
  RunningSim first(runtime, {"--name", "dup"});
  ASSERT_FALSE(first.banner().empty());
  RunningSim second(runtime, {"--name", "dup"});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_TRUE(LinkExists("dup"));
}

}  // namespace
}  // namespace tempolog
