#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "fileio/CurrentFile.h"
#include "fileio/Platform.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class CurrentFileTest : public testing::Test {
 protected:
  // Opens quietly, keeping what the trace line printed.
  bool Open(const fs::path& path, const char* mode) {
    testing::internal::CaptureStdout();
    const bool opened = file_.Open(path.string().c_str(), mode);
    trace_ = testing::internal::GetCapturedStdout();
    return opened;
  }

  std::string ReadAll(std::int32_t piece) {
    std::string text;
    char chunk[64];
    for (int got; (got = file_.Read(chunk, piece)) > 0;) text.append(chunk, static_cast<std::size_t>(got));
    return text;
  }

  TempDir dir_;
  CurrentFile file_;
  std::string trace_;
};

TEST_F(CurrentFileTest, MissingFileForReadingPrintsTheTraceAndFails) {
  const fs::path path = dir_ / "missing.dat";
  EXPECT_FALSE(Open(path, "rb"));
  EXPECT_EQ(trace_, "fn=" + path.string() + "P\n");
  char byte;
  EXPECT_EQ(file_.Read(&byte, 1), 0);
  EXPECT_EQ(file_.Write("x", 1), 0);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(CurrentFileTest, AFolderCannotBeOpenedForReading) {
  fs::create_directory(dir_ / "folder");
  EXPECT_FALSE(Open(dir_ / "folder", "rb"));
}

TEST_F(CurrentFileTest, WriteModeReplacesTheWholeContents) {
  WriteBytes(dir_ / "f", Bytes(1000, 'x'));
  ASSERT_TRUE(Open(dir_ / "f", "wb"));
  EXPECT_EQ(file_.Write("abc", 3), 3);
  char byte;
  EXPECT_EQ(file_.Read(&byte, 1), 0);  // write-only
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "f"), (Bytes{'a', 'b', 'c'}));
}

TEST_F(CurrentFileTest, ReadModeNeitherWritesNorCreates) {
  WriteBytes(dir_ / "f", Bytes{'1', '2'});
  ASSERT_TRUE(Open(dir_ / "f", "r"));
  EXPECT_EQ(file_.Write("zz", 2), 0);
  EXPECT_EQ(ReadAll(1), "12");
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "f"), (Bytes{'1', '2'}));
}

TEST_F(CurrentFileTest, AppendModeWritesAtTheEndAndCreatesWhenMissing) {
  WriteBytes(dir_ / "f", Bytes{'a', 'b'});
  ASSERT_TRUE(Open(dir_ / "f", "ab"));
  EXPECT_EQ(file_.Position(), 2u);
  file_.Write("cd", 2);
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "f"), (Bytes{'a', 'b', 'c', 'd'}));
  ASSERT_TRUE(Open(dir_ / "new", "a+"));
  file_.Write("z", 1);
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "new"), (Bytes{'z'}));
}

TEST_F(CurrentFileTest, PlusAndOtherModesReadAndWriteWithoutTruncating) {
  WriteBytes(dir_ / "f", Bytes{'a', 'b', 'c', 'd'});
  ASSERT_TRUE(Open(dir_ / "f", "r+b"));
  EXPECT_EQ(file_.Write("XY", 2), 2);
  EXPECT_EQ(file_.Seek(0, kSeekFromStart), 0);
  EXPECT_EQ(ReadAll(3), "XYcd");
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "f"), (Bytes{'X', 'Y', 'c', 'd'}));
  for (const char* mode : {"w+", "q"}) {
    const fs::path path = dir_ / (std::string("created-") + mode);
    ASSERT_TRUE(Open(path, mode)) << mode;
    file_.Write("hi", 2);
    file_.Seek(0, kSeekFromStart);
    EXPECT_EQ(ReadAll(2), "hi") << mode;
    file_.Close();
  }
}

TEST_F(CurrentFileTest, ReadsComeUpShortOnlyAtTheEnd) {
  WriteBytes(dir_ / "f", Bytes{1, 2, 3, 4, 5});
  ASSERT_TRUE(Open(dir_ / "f", "rb"));
  std::uint8_t got[8] = {};
  EXPECT_EQ(file_.Read(got, 3), 3);
  EXPECT_EQ(file_.Read(got, 3), 2);
  EXPECT_EQ(got[1], 5);
  EXPECT_EQ(file_.Read(got, 3), 0);
  EXPECT_EQ(file_.Read(got, 0), 0);
}

TEST_F(CurrentFileTest, ASeekPastTheEndShowsUpAtTheNextRead) {
  WriteBytes(dir_ / "f", Bytes{1, 2, 3});
  ASSERT_TRUE(Open(dir_ / "f", "rb"));
  EXPECT_EQ(file_.Seek(1000, kSeekFromStart), 1000);
  std::uint8_t got[2];
  EXPECT_EQ(file_.Read(got, 2), 0);
  EXPECT_EQ(file_.Seek(2, kSeekFromStart), 2);
  EXPECT_EQ(file_.Read(got, 2), 1);
  EXPECT_EQ(got[0], 3);
}

TEST_F(CurrentFileTest, AnOffsetOf2To31OrMoreFailsAndKeepsThePosition) {
  WriteBytes(dir_ / "f", Bytes{1, 2, 3});
  ASSERT_TRUE(Open(dir_ / "f", "rb"));
  std::uint8_t got[1];
  ASSERT_EQ(file_.Read(got, 1), 1);
  EXPECT_EQ(file_.Seek(static_cast<std::int32_t>(0x80000000u), kSeekFromStart), -1);
  EXPECT_EQ(file_.Seek(-1, kSeekFromStart), -1);
  EXPECT_EQ(file_.Read(got, 1), 1);
  EXPECT_EQ(got[0], 2);
  EXPECT_EQ(file_.Seek(-1, kSeekFromEnd), 2);
  EXPECT_EQ(file_.Seek(-2, kSeekFromCurrent), 0);
}

TEST_F(CurrentFileTest, SmallReadsAcrossALargeFileReturnEveryByteInOrder) {
  Bytes data(700 * 1024);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  WriteBytes(dir_ / "f", data);
  ASSERT_TRUE(Open(dir_ / "f", "rb"));
  Bytes back(data.size());
  std::size_t done = 0;
  for (int piece = 1; done < data.size(); piece = piece % 13 + 1)
    done += static_cast<std::size_t>(
        file_.Read(back.data() + done, static_cast<std::int32_t>(std::min<std::size_t>(piece, data.size() - done))));
  EXPECT_EQ(back, data);
  // Back to a position before the buffered part, and forward past it.
  for (std::int32_t offset : {5, 600 * 1024, 10, 300 * 1024 - 1}) {
    file_.Seek(offset, kSeekFromStart);
    std::uint8_t two[2];
    ASSERT_EQ(file_.Read(two, 2), 2);
    EXPECT_EQ(two[0], data[static_cast<std::size_t>(offset)]);
    EXPECT_EQ(two[1], data[static_cast<std::size_t>(offset) + 1]);
  }
}

TEST_F(CurrentFileTest, LargeWritesArriveWhole) {
  Bytes data(600 * 1024);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 253);
  ASSERT_TRUE(Open(dir_ / "f", "wb"));
  EXPECT_EQ(file_.Write(data.data(), 1000), 1000);
  EXPECT_EQ(file_.Write(data.data() + 1000, static_cast<std::int32_t>(data.size() - 1000)),
            static_cast<int>(data.size() - 1000));
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "f"), data);
}

TEST_F(CurrentFileTest, SixteenBitWritesKeepOnlyTheLowBitsOfTheCount) {
  const Bytes data(70000, 0x33);
  for (auto [count, expected] : {std::pair{65540, 4}, {65536, 0}, {70000, 4464}, {65535, 65535}}) {
    ASSERT_TRUE(Open(dir_ / "f", "wb"));
    EXPECT_EQ(file_.Write16(data.data(), count), expected);
    file_.Close();
    EXPECT_EQ(fs::file_size(dir_ / "f"), static_cast<std::uintmax_t>(expected)) << count;
  }
}

TEST_F(CurrentFileTest, ClosingTwiceIsHarmless) {
  ASSERT_TRUE(Open(dir_ / "f", "wb"));
  file_.Close();
  file_.Close();
  EXPECT_EQ(file_.Write("x", 1), 0);
}

TEST_F(CurrentFileTest, OpeningAnotherFileFirstFinishesTheOneOpen) {
  ASSERT_TRUE(Open(dir_ / "first", "wb"));
  file_.Write("one", 3);
  ASSERT_TRUE(Open(dir_ / "second", "wb"));
  file_.Close();
  EXPECT_EQ(ReadBytes(dir_ / "first"), (Bytes{'o', 'n', 'e'}));
}

class ReplacementTest : public CurrentFileTest {
 protected:
  bool OpenTarget() {
    testing::internal::CaptureStdout();
    const bool opened = file_.OpenReplacement(target_.string().c_str());
    trace_ = testing::internal::GetCapturedStdout();
    return opened;
  }
  fs::path target_ = dir_ / "out.pdb";
};

TEST_F(ReplacementTest, TheTargetChangesOnlyOnCommit) {
  WriteBytes(target_, Bytes{'o', 'l', 'd'});
  ASSERT_TRUE(OpenTarget());
  EXPECT_EQ(trace_, "fn=" + target_.string() + "P\n");
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

TEST_F(ReplacementTest, ATargetThatIsAFolderFailsTheCommitAndIsLeftAlone) {
  fs::create_directory(target_);
  WriteBytes(target_ / "inside", Bytes{1});
  ASSERT_TRUE(OpenTarget());
  file_.Write("data", 4);
  EXPECT_FALSE(file_.CommitReplacement());
  EXPECT_FALSE(file_.Error().empty());
  EXPECT_TRUE(fs::is_directory(target_));
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
        file_.Write("new", 3);
        file_.Seek(0, kSeekFromStart);  // the bytes reach the temporary file
        std::raise(SIGTERM);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(ReadBytes(target_), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(FolderEntries(dir_.Path()), std::vector<std::string>{"out.pdb"});
}

}  // namespace
