// Byte-exact files on Windows: replacing in one step, the failures with the
// system's texts, the program's folder and the per-user data folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <share.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"
#include "tests/support/TestEnvironment.h"

namespace tempolog {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTemporaryFolder("tempolog-files"); }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // The message of the exception `f` throws, or "" when it throws none.
  template <typename E, typename F>
  static std::string MessageOf(F&& f) {
    try {
      f();
    } catch (const E& e) {
      return e.Message();
    }
    return "";
  }
  std::string dir_;
};

// A file held open by the C library with a sharing mode (_SH_DENYRW, ...).
class OpenFile {
 public:
  OpenFile(const std::string& path, int share) {
    _sopen_s(&fd_, path.c_str(), _O_RDONLY, share, 0);
  }
  ~OpenFile() {
    if (fd_ >= 0) _close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

 private:
  int fd_ = -1;
};

// "<prefix><reason>" with a reason of the system's that has no trailing full stop.
void ExpectMessage(const std::string& message, const std::string& prefix) {
  ASSERT_GT(message.size(), prefix.size()) << message;
  EXPECT_EQ(message.substr(0, prefix.size()), prefix);
  EXPECT_NE(message.back(), '.');
  EXPECT_GT(static_cast<unsigned char>(message.back()), ' ');
}

TEST_F(FilesTest, WritesAndReadsEveryByteUnchanged) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += "\r\n\r\n\x1A";  // no text-mode translation, no end-of-file byte
  const std::string path = dir_ + "\\log.txt";
  for (const std::string& content : {bytes, std::string("short"), std::string()}) {
    WriteFileReplacing(path, content);
    EXPECT_EQ(ReadFileShared(path), content);
    EXPECT_EQ(fs::file_size(path), content.size());
  }
  // No temporary file is left beside the target.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(FilesTest, FailedReplaceKeepsEarlierFileAndNamesIt) {
  const std::string path = dir_ + "\\log.txt";
  WriteFileReplacing(path, "earlier");
  {
    // A file another program holds open without sharing cannot be replaced,
    // nor read.
    const OpenFile locked(path, _SH_DENYRW);
    ASSERT_TRUE(locked.IsOpen());
    ExpectMessage(MessageOf<EFCreateError>([&] { WriteFileReplacing(path, "later"); }),
                  "Cannot write file \"" + path + "\". ");
    ExpectMessage(MessageOf<EFOpenError>([&] { ReadFileShared(path); }),
                  "Cannot open file \"" + path + "\". ");
  }
  EXPECT_EQ(ReadFileShared(path), "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  // A folder in the way cannot be replaced.
  fs::create_directory(dir_ + "\\sub");
  ExpectMessage(MessageOf<EFCreateError>([&] { WriteFileReplacing(dir_ + "\\sub", "x"); }),
                "Cannot create file \"" + dir_ + "\\sub\". ");
  // Nor can a file in a folder that does not exist be created.
  ExpectMessage(MessageOf<EFCreateError>([&] { WriteFileReplacing(dir_ + "\\no\\x", "x"); }),
                "Cannot create file \"" + dir_ + "\\no\\x\". ");
}

TEST_F(FilesTest, OpenFailuresQuoteThePath) {
  const std::string missing = dir_ + "\\none";
  ExpectMessage(MessageOf<EFOpenError>([&] { ReadFileShared(missing); }),
                "Cannot open file \"" + missing + "\". ");
  EXPECT_THROW(ReadFileShared(dir_), EFOpenError);
}

TEST_F(FilesTest, ReadsWhileOthersRead) {
  const std::string path = dir_ + "\\log.txt";
  WriteFileReplacing(path, "shared");
  const OpenFile reader(path, _SH_DENYWR);
  ASSERT_TRUE(reader.IsOpen());
  EXPECT_EQ(ReadFileShared(path), "shared");
}

TEST(SystemErrorTextTest, HasNoTrailingBlanksOrFullStops) {
  for (const int error : {2, 3, 5}) {  // file and path not found, access denied
    const std::string text = SystemErrorText(error);
    ASSERT_FALSE(text.empty()) << error;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_GT(static_cast<unsigned char>(text.back()), ' ') << text;
  }
}

TEST(ProgramFolderTest, IsTheFolderOfThisExecutable) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(PathSeparator(), '\\');
  EXPECT_TRUE(fs::exists(folder + "\\framework_files_win32_test.exe"));
}

TEST(UserDataFolderTest, FollowsAppData) {
  const char* old = std::getenv("APPDATA");
  const std::string saved = old ? old : "";
  _putenv_s("APPDATA", "C:\\x\\data");
  EXPECT_EQ(UserDataFolder(), "C:\\x\\data\\tempolog");
  _putenv_s("APPDATA", saved.c_str());
}

}  // namespace
}  // namespace tempolog
