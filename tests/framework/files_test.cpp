#include "framework/core/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "framework/core/Exceptions.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTemporaryFolder("tempolog-files"); }
  void TearDown() override {
    chmod(dir_.c_str(), 0700);
    fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(FilesTest, WritesAndReadsEveryByteUnchanged) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += "\r\n\r";
  const std::string path = dir_ + "/log.txt";
  WriteFileReplacing(path, bytes);
  EXPECT_EQ(ReadFileShared(path), bytes);
  WriteFileReplacing(path, "short");
  EXPECT_EQ(ReadFileShared(path), "short");
  WriteFileReplacing(path, "");
  EXPECT_EQ(ReadFileShared(path), "");
  // No temporary file is left beside the target.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(FilesTest, FailedReplaceKeepsEarlierFileAndNamesIt) {
  const std::string path = dir_ + "/log.txt";
  WriteFileReplacing(path, "earlier");
  if (geteuid() != 0) {  // root writes into read-only folders anyway
    chmod(dir_.c_str(), 0500);
    try {
      WriteFileReplacing(path, "later");
      FAIL() << "no error";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + path + "\". Permission denied");
    }
    chmod(dir_.c_str(), 0700);
  }
  // A folder in the way cannot be replaced.
  fs::create_directory(dir_ + "/sub");
  EXPECT_THROW(WriteFileReplacing(dir_ + "/sub", "x"), EFCreateError);
  EXPECT_EQ(ReadFileShared(path), "earlier");
}

TEST_F(FilesTest, ReplacingThroughALinkOrOverAProtectedFileKeepsWhatWasThere) {
  // Each row prepares the folder and names the path saved to; afterwards the
  // file at `written` holds the bytes with `mode`, and `link` (if any) is
  // still a link.
  struct Row {
    const char* name;
    std::function<void(const std::string& dir)> prepare;
    std::string saveTo, written, link;
    mode_t mode;
  } rows[] = {
      {"a link to a file",
       [](const std::string& d) {
         WriteFileReplacing(d + "/real.log", "old");
         fs::create_symlink("real.log", d + "/link.log");
       },
       "link.log", "real.log", "link.log", 0},
      {"a chain of links into another folder",
       [](const std::string& d) {
         fs::create_directory(d + "/sub");
         WriteFileReplacing(d + "/sub/real.log", "old");
         fs::create_symlink(d + "/sub/real.log", d + "/sub/abs.log");
         fs::create_symlink("sub/abs.log", d + "/link.log");
       },
       "link.log", "sub/real.log", "link.log", 0},
      {"a link to a file not yet there",
       [](const std::string& d) { fs::create_symlink("new.log", d + "/link.log"); }, "link.log",
       "new.log", "link.log", 0},
      {"a file only its owner may read",
       [](const std::string& d) {
         WriteFileReplacing(d + "/private.log", "old");
         chmod((d + "/private.log").c_str(), 0600);
       },
       "private.log", "private.log", "", 0600},
  };
  const mode_t savedMask = umask(022);  // new files would be 0644
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string dir = dir_ + "/" + std::to_string(&row - rows);
    fs::create_directory(dir);
    row.prepare(dir);
    WriteFileReplacing(dir + "/" + row.saveTo, "new bytes");
    EXPECT_EQ(ReadFileShared(dir + "/" + row.written), "new bytes");
    if (!row.link.empty()) {
      EXPECT_TRUE(fs::is_symlink(dir + "/" + row.link));
    }
    struct stat st {};
    ASSERT_EQ(lstat((dir + "/" + row.written).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    if (row.mode != 0) {
      EXPECT_EQ(st.st_mode & 07777, row.mode);
    }
  }
  umask(savedMask);
  // Links that lead round in a circle are refused, naming the path chosen.
  fs::create_symlink("b", dir_ + "/a");
  fs::create_symlink("a", dir_ + "/b");
  try {
    WriteFileReplacing(dir_ + "/a", "x");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + dir_ + "/a\". " + SystemErrorText(ELOOP));
  }
}

// In a folder both may write, nobody's link at the name root writes: Save as
// refuses it, a replacement without flushing replaces the link itself, and a
// file made new takes another name; root's files behind it stay as they were.
TEST_F(FilesTest, NoLinkOfAnotherUserIsWrittenThrough) {
  const testing_support::TLinkProtectionOff protection;
  if (!protection.Reason().empty()) GTEST_SKIP() << protection.Reason();
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  const std::string at = dir_ + "/shared/x";
  struct Row {
    const char* name;
    std::function<std::string()> write;  // what it says
    std::string said;
    std::string atAfter;  // empty: still the link
  } rows[] = {
      {"Save as",
       [&] {
         try {
           WriteFileReplacing(at, "new");
         } catch (const EFCreateError& e) {
           return std::string(e.what());
         }
         return std::string("written");
       },
       "Cannot create file \"" + at +
           "\". It is a symbolic link that belongs to another user, which is not followed",
       ""},
      {"replaced without flushing",
       [&] {
         ReplaceFileUnflushed(at, "new");
         return std::string("written");
       },
       "written", "new"},
      {"made new", [&] { return std::string(TNewFile::Create(at) ? "made" : "taken"); }, "taken",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::error_code ignored;
    fs::remove_all(dir_ + "/shared", ignored);
    fs::remove_all(dir_ + "/victim", ignored);
    ASSERT_TRUE(testing_support::MakeStickyFolder(dir_ + "/shared"));
    fs::create_directory(dir_ + "/victim");
    WriteFileReplacing(dir_ + "/victim/secret", "root's own");
    // The link leads to root's file, or (for a new file) to one not yet there.
    const std::string target = row.said == "taken" ? "new" : "secret";
    ASSERT_TRUE(testing_support::AsNobody("ln -s ../victim/" + target + " " + at));
    EXPECT_EQ(row.write(), row.said);
    EXPECT_EQ(ReadFileShared(dir_ + "/victim/secret"), "root's own");
    EXPECT_FALSE(fs::exists(dir_ + "/victim/new"));
    if (row.atAfter.empty()) {
      EXPECT_TRUE(fs::is_symlink(at));
    } else {
      EXPECT_EQ(ReadFileShared(at), row.atAfter);
    }
  }
}

TEST_F(FilesTest, OpenFailuresQuoteThePath) {
  const std::string missing = dir_ + "/none";
  try {
    ReadFileShared(missing);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + missing + "\". No such file or directory");
  }
  EXPECT_THROW(ReadFileShared(dir_), EFOpenError);
}

TEST(ProgramFolderTest, IsTheFolderOfThisExecutable) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(fs::exists(folder + "/framework_files_test"));
}

TEST(SystemFolderTest, TellsInstalledSoftwareFoldersFromOthers) {
  const std::pair<const char*, bool> cases[] = {
      {"/usr/bin", true},     {"/usr/local/bin", true},
      {"/bin", true},         {"/opt/tempolog", true},
      {"/usr", true},         {"/usrdata/bin", false},
      {"/home/a/bin", false}, {"/tmp", false},
      {"relative", false},    {"", false},
  };
  for (const auto& [folder, system] : cases) EXPECT_EQ(IsSystemFolder(folder), system) << folder;
}

TEST(UserDataFolderTest, FollowsXdgDataHome) {
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", "/x/data", 1);
  EXPECT_EQ(UserDataFolder(), "/x/data/tempolog");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", getenv("HOME") ? getenv("HOME") : "/root", 1);
  EXPECT_EQ(UserDataFolder(), std::string(getenv("HOME")) + "/.local/share/tempolog");
  if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace tempolog
