#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/Exceptions.h"
#include "framework/Files.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tempolog-files-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
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
