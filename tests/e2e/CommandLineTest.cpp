// The converter as a user runs it: arguments, console bytes, exit status and
// the files it leaves behind.
#include <gtest/gtest.h>

#include "tests/support/Harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kOutput = "fenwaimg.pdb";

TEST(CommandLine, NoArgumentPrintsTheUsageLine) {
  TempDir dir;
  RunResult run = RunFenwaimg(dir.Path(), {});
  EXPECT_EQ(run.status, 9);
  EXPECT_EQ(run.out, ConsoleLines(kUsageText));
  EXPECT_EQ(run.out.substr(0, 6), "FENWA ");
  EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST(CommandLine, ValidInputWritesTheImageAndReportsCompletion) {
  TempDir dir;
  WriteBytes(dir / "net.dat", BuildNetworkFile(SmallNetwork()));
  RunResult run = RunFenwaimg(dir.Path(), {"net.dat"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, TraceLine("net.dat") + TraceLine(kOutput) + ConsoleLines(kCompletionText));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"fenwaimg.pdb", "net.dat"}));
}

TEST(CommandLine, OnlyTheFirstArgumentIsUsed) {
  TempDir dir;
  WriteBytes(dir / "net.dat", BuildNetworkFile(SmallNetwork()));
  RunResult run = RunFenwaimg(dir.Path(), {"net.dat", "missing.dat", "--help"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, TraceLine("net.dat") + TraceLine(kOutput) + ConsoleLines(kCompletionText));
}

TEST(CommandLine, ReplacesAnExistingImage) {
  TempDir dir;
  WriteBytes(dir / "net.dat", BuildNetworkFile(SmallNetwork()));
  WriteBytes(dir / kOutput, Bytes(5000, 0xAB));
  ASSERT_EQ(RunFenwaimg(dir.Path(), {"net.dat"}).status, 0);
  TempDir fresh;
  WriteBytes(fresh / "net.dat", BuildNetworkFile(SmallNetwork()));
  ASSERT_EQ(RunFenwaimg(fresh.Path(), {"net.dat"}).status, 0);
  EXPECT_EQ(ReadBytes(dir / kOutput), ReadBytes(fresh / kOutput));
}

struct UnopenableInput {
  const char* name;
  std::string path;
  bool make_folder;
};

void PrintTo(const UnopenableInput& input, std::ostream* out) { *out << input.name; }

class InputCannotBeOpened : public testing::TestWithParam<UnopenableInput> {};

TEST_P(InputCannotBeOpened, PrintsTraceAndOpenFailureAndKeepsTheImage) {
  TempDir dir;
  if (GetParam().make_folder) fs::create_directory(dir / GetParam().path);
  const Bytes previous(321, 0x5A);
  WriteBytes(dir / kOutput, previous);
  RunResult run = RunFenwaimg(dir.Path(), {GetParam().path});
  EXPECT_EQ(run.status, 9);
  EXPECT_EQ(run.out, TraceLine(GetParam().path) + kOpenFailureText);
  EXPECT_NE(run.err.find("cannot open " + GetParam().path), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(dir / kOutput), previous);
}

TEST_P(InputCannotBeOpened, CreatesNoImage) {
  TempDir dir;
  if (GetParam().make_folder) fs::create_directory(dir / GetParam().path);
  RunResult run = RunFenwaimg(dir.Path(), {GetParam().path});
  EXPECT_EQ(run.status, 9);
  EXPECT_FALSE(fs::exists(dir / kOutput));
}

INSTANTIATE_TEST_SUITE_P(Inputs, InputCannotBeOpened,
                         testing::Values(UnopenableInput{"Missing", "no-such-file.dat", false},
                                         UnopenableInput{"Folder", "a-folder", true},
                                         UnopenableInput{"EmptyName", "", false},
                                         // The converter has no options: this is the name of a file.
                                         UnopenableInput{"OptionLikeName", "--version", false}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
