// tempolog-cli record and the files beside its log that other users can reach:
// links another user planted in a folder both may write, an --out that is no
// regular file, and a log whose end is no whole line (a torn line, the NUL
// bytes a power cut leaves).
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <optional>
#include <utility>

#include "tests/cli/RecordFixture.h"
#include "tests/support/OtherUser.h"

namespace tempolog {
namespace {

using testing_support::AsNobody;

// What the instrument was asked, counted.
class CliRecordFiles : public CliRecord {
 protected:
  void SetUp() override {
    CliRecord::SetUp();
    instrument_->SetScript([this](int, const std::string&) {
      ++asked_;
      return std::string("23.5\r\n");
    });
  }
  std::atomic<int> asked_{0};
};

// Each file a row expects: its content ("{readings}" stands for what the
// recording printed), or missing.
using TExpectedFiles = std::vector<std::pair<std::string, std::optional<std::string>>>;

void ExpectFiles(const std::string& dir, const TExpectedFiles& files, const std::string& readings,
                 const std::string& row) {
  for (const auto& [name, content] : files) {
    const std::string path = dir + "/" + name;
    if (!content) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << row << ": " << name;
      continue;
    }
    std::string expected = *content;
    if (const auto at = expected.find("{readings}"); at != std::string::npos)
      expected.replace(at, 10, readings);
    EXPECT_EQ(ReadAll(path), expected) << row << ": " << name;
  }
}

// Root records into a sticky folder where nobody planted links beforehand
// (or, for the metrics file's temporary, once the program runs): no file of
// root's outside is ever written or made through them; a link of root's own
// is followed as ever.
TEST_F(CliRecordFiles, OnlyLinksOfTheUserOrOfRootAreFollowed) {
  const testing_support::TLinkProtectionOff protection;
  if (!protection.Reason().empty()) GTEST_SKIP() << protection.Reason();
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);  // nobody may reach the shared folder
  const std::string whole = "2026-12-09 08:57:06\t23.4\r\n";
  struct Row {
    std::string name;
    std::string plant;  // a shell command; {pid}: the recorder's process number
    bool byNobody;      // else by root, the recorder's own user
    bool whileRunning;  // planted once the recorder runs
    std::vector<std::string> args;
    int status;
    std::string told;  // standard error
    TExpectedFiles files;
  };
  const std::string torn = "ssh-ed25519 AAAAC3Nza attacker@x";
  const std::string secret = "root's own\n";
  const std::vector<Row> rows = {
      {"--prom with a link at its temporary file's name",
       "ln -s ../victim/secret shared/x.prom.tmp{pid}",
       true,
       true,
       {"--prom", "shared/x.prom", "--period", "1", "--count", "2"},
       0,
       "",
       {{"victim/secret", secret}, {"shared/x.prom", std::nullopt}}},
      {"--out a link of another user",
       "ln -s ../victim/secret shared/lab.log",
       true,
       false,
       {"--out", "shared/lab.log", "--count", "1"},
       1,
       "tempolog-cli: Cannot create file \"shared/lab.log\". It is a symbolic link that "
       "belongs to another user, which is not followed\n",
       {{"victim/secret", secret}}},
      {"a torn line's file name a link of another user to a file not yet there",
       "printf \"" + std::string("2026-12-09 08:57:06\\t23.4\\r\\n") + torn +
           "\" >shared/lab.log && ln -s ../victim/authorized_keys shared/lab-torn-line.txt",
       true,
       false,
       {"--out", "shared/lab.log", "--count", "1"},
       0,
       "tempolog-cli: shared/lab.log: its unfinished last line is not a reading; kept in "
       "shared/lab-2-torn-line.txt: " +
           torn + "\n",
       {{"victim/authorized_keys", std::nullopt},
        {"shared/lab-2-torn-line.txt", torn},
        {"shared/lab.log", whole + "{readings}"}}},
      {"--out a link of root's own",
       "ln -s ../victim/mine.log shared/lab.log",
       false,
       false,
       {"--out", "shared/lab.log", "--count", "1"},
       0,
       "",
       {{"victim/mine.log", whole + "{readings}"}}},
  };
  const fs::path cwd = fs::current_path();
  fs::current_path(dir_);  // the paths in messages stay short
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::error_code ignored;
    fs::remove_all("shared", ignored);
    fs::remove_all("victim", ignored);
    ASSERT_TRUE(testing_support::MakeStickyFolder("shared"));
    fs::create_directory("victim");
    std::ofstream("victim/secret", std::ios::binary) << secret;
    std::ofstream("victim/mine.log", std::ios::binary) << whole;
    const auto plant = [&](pid_t pid) {
      std::string command = row.plant;
      if (const auto at = command.find("{pid}"); at != std::string::npos)
        command.replace(at, 5, std::to_string(pid));
      command = "cd " + dir_ + " && " + command;
      return row.byNobody ? AsNobody(command) : std::system(command.c_str()) == 0;
    };
    std::vector<std::string> args = {"record", "--port", "lab"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    if (!row.whileRunning) {
      ASSERT_TRUE(plant(0));
    }
    asked_ = 0;
    Start(args);
    if (row.whileRunning) {
      ASSERT_TRUE(plant(pid_));
    }
    EXPECT_EQ(Wait(), row.status);
    EXPECT_EQ(ReadAll(Err()), row.told);
    if (row.status != 0) {
      EXPECT_EQ(asked_, 0) << "the instrument was asked";
    }
    ExpectFiles(dir_, row.files, ReadAll(Out()), row.name);
  }
  fs::current_path(cwd);
}

// An --out that is no regular file is refused at once, never waited on.
TEST_F(CliRecordFiles, AnOutThatIsNoRegularFileIsRefused) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string read = Path("read-fifo");
  ASSERT_EQ(mkfifo(read.c_str(), 0600), 0);
  const int reader = open(read.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  for (const std::string& out : {fifo, read, std::string("/dev/null")}) {
    SCOPED_TRACE(out);
    asked_ = 0;
    EXPECT_EQ(Run({"record", "--port", "lab", "--out", out, "--count", "1"}), 1);
    EXPECT_EQ(ReadAll(Err()),
              "tempolog-cli: Cannot create file \"" + out + "\". It is not a regular file\n");
    EXPECT_EQ(asked_, 0) << "the instrument was asked";
  }
  close(reader);
}

// Whatever follows the log's last CR LF, however long, is moved to the torn
// line's file and the recording goes on; a file without any CR LF is a log
// only when it is a piece of one line or NUL bytes alone.
TEST_F(CliRecordFiles, WhatFollowsTheLastWholeLineIsMovedAsideAndRecordingGoesOn) {
  const std::string whole = "2026-12-09 08:57:06\t23.4\r\n";
  const std::string nul64 = [] {
    std::string text;
    for (int i = 0; i < 64; ++i) text += "\\x00";
    return text;
  }();
  const std::string binary = "GIF89a" + std::string(5000, '\x7f');
  struct Row {
    std::string name;
    std::string before;
    int status;
    std::string kept;  // of the log, before the readings
    std::string torn;  // in lab-torn-line.txt; empty: no such file
    std::string told;  // after "tempolog-cli: <log>"
  };
  const std::vector<Row> rows = {
      {"8 KiB of NUL bytes after the last line (a power cut)", whole + std::string(8192, '\0'), 0,
       whole, std::string(8192, '\0'),
       ": its unfinished last line is not a reading; kept in {torn}: " + nul64 +
           "... (8192 bytes)\n"},
      {"NUL bytes whose first read ends between the CR and the LF",
       whole + std::string(65535, '\0'), 0, whole, std::string(65535, '\0'),
       ": its unfinished last line is not a reading; kept in {torn}: " + nul64 +
           "... (65535 bytes)\n"},
      {"200000 NUL bytes", whole + whole + std::string(200000, '\0'), 0, whole + whole,
       std::string(200000, '\0'),
       ": its unfinished last line is not a reading; kept in {torn}: " + nul64 +
           "... (200000 bytes)\n"},
      {"a piece with a CR inside", whole + "2026-12\r09", 0, whole, "2026-12\r09",
       ": its unfinished last line is not a reading; kept in {torn}: 2026-12\\r09\n"},
      {"nothing but NUL bytes", std::string(5000, '\0'), 0, "", std::string(5000, '\0'),
       ": its unfinished last line is not a reading; kept in {torn}: " + nul64 +
           "... (5000 bytes)\n"},
      {"no log: no CR LF at all", binary, 1, binary, "",
       " holds no log line (none ends with CR LF); nothing is appended to it\n"},
  };
  const std::string log = Path("lab.log");
  const std::string tornPath = Path("lab-torn-line.txt");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(log, std::ios::binary) << row.before;
    fs::remove(tornPath);
    EXPECT_EQ(Run({"record", "--port", "lab", "--out", log, "--count", "1"}), row.status);
    EXPECT_EQ(Lines(ReadAll(Out())), row.status == 0 ? 1u : 0u);
    EXPECT_EQ(ReadAll(log), row.kept + ReadAll(Out()));
    EXPECT_EQ(fs::exists(tornPath), !row.torn.empty());
    if (!row.torn.empty()) {
      EXPECT_EQ(ReadAll(tornPath), row.torn);
    }
    std::string told = "tempolog-cli: " + log + row.told;
    if (const auto at = told.find("{torn}"); at != std::string::npos) told.replace(at, 6, tornPath);
    EXPECT_EQ(ReadAll(Err()), told);
  }
}

}  // namespace
}  // namespace tempolog
