#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "fileio/CurrentFile.h"
#include "fileio/Platform.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class CurrentFileTest : public testing::Test {
 protected:
  bool Open(const fs::path& path) { return file_.Open(path.string().c_str()); }

  std::string ReadAll(std::int32_t piece) {
    std::string text;
    char chunk[64];
    for (int got; (got = file_.Read(chunk, piece)) > 0;) text.append(chunk, static_cast<std::size_t>(got));
    return text;
  }

  TempDir dir_;
  CurrentFile file_;
};

TEST_F(CurrentFileTest, AMissingFileOrAFolderCannotBeOpened) {
  const fs::path path = dir_ / "missing.dat";
  EXPECT_FALSE(Open(path));
  EXPECT_NE(file_.Error().find("No such file"), std::string::npos) << file_.Error();
  char byte;
  EXPECT_EQ(file_.Read(&byte, 1), 0);
  EXPECT_EQ(file_.Write("x", 1), 0);
  EXPECT_FALSE(fs::exists(path));
  fs::create_directory(dir_ / "folder");
  EXPECT_FALSE(Open(dir_ / "folder"));
}

TEST_F(CurrentFileTest, AnInputIsNeverWritten) {
  WriteBytes(dir_ / "f", Bytes{'1', '2'});
  ASSERT_TRUE(Open(dir_ / "f"));
  EXPECT_EQ(file_.Write("zz", 2), 0);
  EXPECT_EQ(ReadAll(1), "12");
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "f"), (Bytes{'1', '2'}));
}

TEST_F(CurrentFileTest, ReadsComeUpShortOnlyAtTheEnd) {
  WriteBytes(dir_ / "f", Bytes{1, 2, 3, 4, 5});
  ASSERT_TRUE(Open(dir_ / "f"));
  std::uint8_t got[8] = {};
  EXPECT_EQ(file_.Read(got, 3), 3);
  EXPECT_EQ(file_.Read(got, 3), 2);
  EXPECT_EQ(got[1], 5);
  EXPECT_EQ(file_.Read(got, 3), 0);
  EXPECT_EQ(file_.Read(got, 0), 0);
}

TEST_F(CurrentFileTest, ASeekPastTheEndShowsUpAtTheNextRead) {
  WriteBytes(dir_ / "f", Bytes{1, 2, 3});
  ASSERT_TRUE(Open(dir_ / "f"));
  EXPECT_EQ(file_.Seek(1000), 1000);
  std::uint8_t got[2];
  EXPECT_EQ(file_.Read(got, 2), 0);
  EXPECT_EQ(file_.Seek(2), 2);
  EXPECT_EQ(file_.Read(got, 2), 1);
  EXPECT_EQ(got[0], 3);
}

TEST_F(CurrentFileTest, AnOffsetOf2To31OrMoreFailsAndKeepsThePosition) {
  WriteBytes(dir_ / "f", Bytes{1, 2, 3});
  ASSERT_TRUE(Open(dir_ / "f"));
  std::uint8_t got[1];
  ASSERT_EQ(file_.Read(got, 1), 1);
  EXPECT_EQ(file_.Seek(static_cast<std::int32_t>(0x80000000u)), -1);
  EXPECT_EQ(file_.Seek(-1), -1);
  EXPECT_EQ(file_.Read(got, 1), 1);
  EXPECT_EQ(got[0], 2);
}

TEST_F(CurrentFileTest, ClosingTwiceIsHarmless) {
  WriteBytes(dir_ / "f", Bytes{1});
  ASSERT_TRUE(Open(dir_ / "f"));
  file_.Close();
  file_.Close();
  char byte;
  EXPECT_EQ(file_.Read(&byte, 1), 0);
}

class ReplacementTest : public CurrentFileTest {
 protected:
  bool OpenTarget() { return file_.OpenReplacement(target_.string().c_str()); }
  fs::path target_ = dir_ / "out.pdb";
};

TEST_F(ReplacementTest, LargeWritesArriveWhole) {
  Bytes data(600 * 1024);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 253);
  ASSERT_TRUE(OpenTarget());
  EXPECT_EQ(file_.Write(data.data(), 1000), 1000);
  EXPECT_EQ(file_.Write(data.data() + 1000, static_cast<std::int32_t>(data.size() - 1000)),
            static_cast<int>(data.size() - 1000));
  ASSERT_TRUE(file_.CommitReplacement());
  EXPECT_EQ(ReadBytes(target_), data);
}

TEST_F(ReplacementTest, TheTargetChangesOnlyOnCommit) {
  WriteBytes(target_, Bytes{'o', 'l', 'd'});
  ASSERT_TRUE(OpenTarget());
  file_.Write("new data", 8);
  EXPECT_EQ(ReadBytes(target_), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(FolderEntries(dir_.Path()).size(), 2u);  // the target and its temporary file
  ASSERT_TRUE(file_.CommitReplacement());
  EXPECT_EQ(ReadBytes(target_), (Bytes{'n', 'e', 'w', ' ', 'd', 'a', 't', 'a'}));
  EXPECT_EQ(FolderEntries(dir_.Path()), std::vector<std::string>{"out.pdb"});
}

TEST_F(ReplacementTest, AbandoningLeavesTheTargetAndNoTemporaryFile) {
  WriteBytes(target_, Bytes{'o', 'l', 'd'});
  ASSERT_TRUE(OpenTarget());
  file_.Write("new", 3);
  file_.Abandon();
  EXPECT_EQ(ReadBytes(target_), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(FolderEntries(dir_.Path()), std::vector<std::string>{"out.pdb"});
  EXPECT_FALSE(file_.CommitReplacement());
}

// A target that is no regular file is refused before anything is made, and
// one that becomes none before the commit (a rename would replace a named
// pipe) is not renamed over.
TEST_F(ReplacementTest, ATargetThatIsNoRegularFileIsLeftAlone) {
  fs::create_directory(target_);
  WriteBytes(target_ / "inside", Bytes{1});
  EXPECT_FALSE(OpenTarget());
  EXPECT_EQ(file_.Error(), "not a regular file (a folder)");
  EXPECT_TRUE(fs::is_directory(target_));
  EXPECT_EQ(FolderEntries(dir_.Path()), std::vector<std::string>{"out.pdb"});
  fs::remove_all(target_);
  ASSERT_TRUE(OpenTarget());
  file_.Write("data", 4);
  ASSERT_EQ(::mkfifo(target_.c_str(), 0600), 0);
  EXPECT_FALSE(file_.CommitReplacement());
  EXPECT_EQ(file_.Error(), "not a regular file (a named pipe)");
  EXPECT_TRUE(fs::is_fifo(target_));
  EXPECT_EQ(FolderEntries(dir_.Path()), std::vector<std::string>{"out.pdb"});
}

TEST_F(ReplacementTest, AMissingFolderFailsTheOpen) {
  target_ = dir_ / "no-such-folder" / "out.pdb";
  EXPECT_FALSE(OpenTarget());
  EXPECT_NE(file_.Error().find("No such file"), std::string::npos) << file_.Error();
}

TEST_F(ReplacementTest, ASymbolicLinkKeepsPointingAtTheNewImage) {
  WriteBytes(dir_ / "real.pdb", Bytes{'o', 'l', 'd'});
  fs::create_symlink("real.pdb", target_);
  ASSERT_TRUE(OpenTarget());
  file_.Write("new", 3);
  ASSERT_TRUE(file_.CommitReplacement());
  EXPECT_TRUE(fs::is_symlink(target_));
  EXPECT_EQ(ReadBytes(dir_ / "real.pdb"), (Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{"out.pdb", "real.pdb"}));
}

TEST_F(ReplacementTest, ASignalWhileWritingRemovesTheTemporaryFile) {
  WriteBytes(target_, Bytes{'o', 'l', 'd'});
  EXPECT_EXIT(
      {
        PlatformPrepareProcess();
        file_.OpenReplacement(target_.string().c_str());
        file_.Write("new", 3);  // straight to the temporary file
        std::raise(SIGTERM);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(ReadBytes(target_), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(FolderEntries(dir_.Path()), std::vector<std::string>{"out.pdb"});
}

}  // namespace
