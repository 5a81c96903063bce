// The database the converter writes, compared byte for byte with the image
// expected from the network description, and read back by an independent reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "tests/support/Harness.h"
#include "tests/support/SampleNetworks.h"

namespace fs = std::filesystem;

namespace {

const std::string kOutput = "fenwaimg.pdb";

// The tables the image must hold for `network`, given the company number of every route.
struct ExpectedImage {
  std::vector<Bytes> records;
};

ExpectedImage Expect(const NetworkDescription& network, const std::vector<std::uint16_t>& companies) {
  const StringTableBytes strings = LayOutStrings(network);
  const std::size_t q = network.header.rstat_capacity > 0 && network.header.rstat_capacity < 0x8000
                            ? network.header.rstat_capacity
                            : 2 * network.stations.size();
  std::vector<std::uint16_t> stat, sort, ksor, stri(strings.index), rsta(2 * q, 0), adjl, fnod;
  Bytes rose;
  for (const StationDescription& s : network.stations) {
    stat.insert(stat.end(), {s.name_string, s.opaque_word});
    sort.push_back(s.sort);
    ksor.push_back(s.kana_sort);
  }
  std::size_t slot = 0;
  for (std::size_t r = 0; r < network.routes.size(); ++r) {
    const RouteDescription& route = network.routes[r];
    const std::size_t k = route.stops.size();
    for (std::size_t j = 0; j < k; ++j) {
      rsta[slot + j] = route.stops[j].station;
      rsta[slot + k + j] = route.stops[j].companion;
    }
    Bytes record = BigEndianWords({route.name_index, static_cast<std::uint16_t>(slot), companies.at(r),
                                   static_cast<std::uint16_t>(k), route.opaque_word});
    record.insert(record.end(), {route.opaque_byte, route.company_length});
    const Bytes trailer = BigEndianWords({route.trailer});
    record.insert(record.end(), trailer.begin(), trailer.end());
    rose.insert(rose.end(), record.begin(), record.end());
    slot += 2 * k;
  }
  for (std::size_t i = 0; i < network.nodes.size() + 20; ++i) {
    if (i < 2 || i >= network.nodes.size()) {
      adjl.insert(adjl.end(), {0, 0, 0xFFFF, 0xFFFF, 0});
      continue;
    }
    const NodeDescription& node = network.nodes[i];
    std::uint16_t first = 0;
    for (std::size_t n = 0; n < i; ++n) first = static_cast<std::uint16_t>(first + network.nodes[n].edges.size());
    adjl.insert(adjl.end(), {node.station, node.route, 0xFFFF, node.edges.empty() ? std::uint16_t{0xFFFF} : first,
                             static_cast<std::uint16_t>(node.edges.size())});
  }
  for (const NodeDescription& node : network.nodes)
    for (const EdgeDescription& edge : node.edges)
      fnod.insert(fnod.end(), {static_cast<std::uint16_t>(edge.target & 0x7FFF), edge.value});

  Bytes header = {'I', 'M', 'G', '0', '0', '.', '2', '5'};
  const Bytes counts = BigEndianWords(
      {static_cast<std::uint16_t>(network.stations.size()), static_cast<std::uint16_t>(network.routes.size()),
       static_cast<std::uint16_t>(strings.index.size()), static_cast<std::uint16_t>(strings.pool.size()),
       static_cast<std::uint16_t>(q), static_cast<std::uint16_t>(network.nodes.size() + 20),
       static_cast<std::uint16_t>(network.nodes.size()), static_cast<std::uint16_t>(fnod.size() / 2), 0});
  header.insert(header.end(), counts.begin(), counts.end());
  header.resize(130, 0);

  auto tag = [](const char* text) { return Bytes(text, text + 4); };
  ExpectedImage image;
  image.records = {header,
                   tag("STAT"),
                   BigEndianWords(stat),
                   tag("SORT"),
                   BigEndianWords(sort),
                   tag("KSOR"),
                   BigEndianWords(ksor),
                   tag("ROSE"),
                   rose,
                   tag("STRI"),
                   BigEndianWords(stri),
                   tag("STRP"),
                   Bytes(strings.pool.begin(), strings.pool.end()),
                   tag("RSTA"),
                   BigEndianWords(rsta),
                   tag("ADJL"),
                   BigEndianWords(adjl),
                   tag("FNOD"),
                   BigEndianWords(fnod)};
  return image;
}

Bytes ConvertInFolder(const TempDir& dir, const NetworkDescription& network) {
  WriteBytes(dir / "net.dat", BuildNetworkFile(network));
  RunResult run = RunFenwaimg(dir.Path(), {"net.dat"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, TraceLine("net.dat") + TraceLine(kOutput) + ConsoleLines(kCompletionText));
  return ReadBytes(dir / kOutput);
}

// Checks the file's container fields, then every record against the expectation.
void ExpectImage(const Bytes& file, const ExpectedImage& expected) {
  const Database db = ParseDatabase(file);
  Bytes name(32, 0);
  std::copy_n("fenwaimg", 8, name.begin());
  EXPECT_EQ(Bytes(db.header.begin(), db.header.begin() + 32), name);
  const Bytes fixed = {0, 0, 0, 0, 0x34, 0xEE, 0xA7, 0x53, 0x34, 0xEE, 0xA7, 0x53};
  EXPECT_EQ(Bytes(db.header.begin() + 32, db.header.begin() + 44), fixed);
  EXPECT_EQ(Bytes(db.header.begin() + 44, db.header.begin() + 60), Bytes(16, 0));
  EXPECT_EQ(std::string(db.header.begin() + 60, db.header.begin() + 68), "DataFNWA");
  EXPECT_EQ(Bytes(db.header.begin() + 68, db.header.end()), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0x13}));
  ASSERT_EQ(db.records.size(), 19u);
  EXPECT_EQ(db.offsets[0], 232u);
  EXPECT_EQ(file[230], 0);
  EXPECT_EQ(file[231], 0);
  for (std::size_t i = 0; i < 19; ++i) {
    EXPECT_EQ(db.attributes[i], 0x40) << i;
    EXPECT_EQ(BE32(file, 78 + 8 * i + 4) & 0xFFFFFF, 0u) << i;
    EXPECT_EQ(db.records[i], expected.records[i]) << "record " << i;
  }
}

void ExpectIndependentReaderAgrees(const fs::path& image) {
  const std::string command =
      "perl " + ShellQuote(FENWA_PDB_CHECKER) + " " + ShellQuote(image.string()) + " >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << "the independent reader disagrees with " << image;
}

TEST(Image, AnEmptyNetworkIs598Bytes) {
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, NetworkDescription{});
  EXPECT_EQ(file.size(), 598u);
  const Database db = ParseDatabase(file);
  EXPECT_EQ(db.offsets, (std::vector<std::uint32_t>{232, 362, 366, 366, 370, 370, 374, 374, 378, 378, 382, 382, 386,
                                                    386, 390, 390, 394, 594, 598}));
  ExpectImage(file, Expect(NetworkDescription{}, {}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, ASmallNetworkMatchesTableForTable) {
  TempDir dir;
  const NetworkDescription network = SmallNetwork(4, 3);
  ExpectImage(ConvertInFolder(dir, network), Expect(network, {0xFFFF, 0, 1}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, SpecialNodesAreWrittenEmptyWhateverTheFileHolds) {
  NetworkDescription network;
  network.nodes = {{0x1111, 0x2222, {{0x8001, 5}}}, {0x3333, 0x4444, {{2, 6}}}, {0x5555, 0x6666, {{0x8000, 7}}}};
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  ExpectImage(file, Expect(network, {}));
  const Database db = ParseDatabase(file);
  const Bytes empty_node = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
  EXPECT_EQ(Bytes(db.records[16].begin(), db.records[16].begin() + 10), empty_node);
  EXPECT_EQ(Bytes(db.records[16].begin() + 10, db.records[16].begin() + 20), empty_node);
  // The special nodes' edges stay in the edge table, flags cleared.
  EXPECT_EQ(db.records[18], BigEndianWords({1, 5, 2, 6, 0, 7}));
}

TEST(Image, ThreeThousandStationsMakeA12000ByteStationRecord) {
  NetworkDescription network;
  for (std::uint16_t i = 0; i < 3000; ++i) network.stations.push_back({i, static_cast<std::uint16_t>(~i), 0, i, i});
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  const Database db = ParseDatabase(file);
  EXPECT_EQ(db.records[2].size(), 12000u);
  EXPECT_EQ(db.offsets[3] - db.offsets[2], 12000u);
  ExpectImage(file, Expect(network, {}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, AnOddPoolIsWrittenUnchanged) {
  NetworkDescription network;
  network.raw_pool = std::string("\x93\x8c\x8b\x9e\0abcd", 9);
  network.raw_string_index = std::vector<std::uint16_t>{0, 5};
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  EXPECT_EQ(ParseDatabase(file).records[12], Bytes(network.raw_pool->begin(), network.raw_pool->end()));
  ExpectImage(file, Expect(network, {}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, TheRouteStationTableIsWrittenAtFullCapacity) {
  NetworkDescription network = SmallNetwork(4, 2);
  network.header.rstat_capacity = 50;  // 100 slots for 8 used
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  EXPECT_EQ(ParseDatabase(file).records[14].size(), 200u);
  ExpectImage(file, Expect(network, {0xFFFF, 0}));
}

TEST(Image, TheEdgeTableIsWrittenUpToTheEdgeCountOnly) {
  NetworkDescription network;
  network.header.edge_capacity = 500;
  network.nodes = {{}, {}, {1, 2, {{3, 4}, {5, 6}, {0xFFFF, 0xFFFF}}}};
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  EXPECT_EQ(ParseDatabase(file).records[18], BigEndianWords({3, 4, 5, 6, 0x7FFF, 0xFFFF}));
  ExpectImage(file, Expect(network, {}));
}

TEST(Image, CompaniesGroupedByTheConverterReachTheImage) {
  NetworkDescription network;
  network.header.rstat_capacity = 1;
  network.strings = {"zero", "A-1", "A-2", "B-1", "none", "A-3"};
  for (std::uint16_t name : {0, 1, 2, 3, 4, 5}) {
    RouteDescription route;
    route.name_index = name;
    route.company_length = name == 4 ? 0 : 1;
    network.routes.push_back(route);
  }
  TempDir dir;
  ExpectImage(ConvertInFolder(dir, network), Expect(network, {0xFFFF, 0, 0, 1, 2, 0}));
}

TEST(Image, TheLargestTablesStillAgreeWithTheRecordList) {
  NetworkDescription network;
  network.stations.resize(16383);
  network.header.rstat_capacity = 16383;
  network.header.edge_capacity = 0x7FFF;
  network.strings = {"r"};
  network.routes.resize(4681);
  network.routes[1].stops.resize(8191);
  network.nodes.resize(6533);
  network.nodes[6532].edges.resize(16383, EdgeDescription{0x8123, 9});
  network.raw_pool = std::string(65535, 'p');
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  std::vector<std::uint16_t> companies(4681, 0);
  companies[0] = 0xFFFF;
  ExpectImage(file, Expect(network, companies));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

// Output faults: each ends with status 9 and leaves the folder as it was.
class OutputFault : public testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir_ / "net.dat", BuildNetworkFile(SmallNetwork()));
    WriteBytes(dir_ / kOutput, previous_);
  }

  void ExpectRefused(const RunResult& run) {
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.out, TraceLine(input_) + TraceLine(kOutput) + kOpenFailureText);
    EXPECT_NE(run.err.find("fenwaimg: cannot "), std::string::npos) << run.err;
  }

  TempDir dir_;
  std::string input_ = "net.dat";
  const Bytes previous_ = Bytes(1000, 0x77);
};

TEST_F(OutputFault, AFolderNamedLikeTheOutputIsLeftAlone) {
  fs::remove(dir_ / kOutput);
  fs::create_directory(dir_ / kOutput);
  const RunResult run = RunFenwaimg(dir_.Path(), {input_});
  ExpectRefused(run);
  EXPECT_NE(run.err.find("fenwaimg: cannot create fenwaimg.pdb: not a regular file (a folder)"), std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::is_directory(dir_ / kOutput));
  EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, "net.dat"}));
}

// A link to what is not a regular file leaves both alone, and the target is
// never opened (a named pipe opened to write waits for a reader). The device
// node is the test's own, made where root may make one.
TEST_F(OutputFault, ALinkToANamedPipeOrADeviceIsLeftAlone) {
  if (ConverterReplaced()) GTEST_SKIP() << "named pipes and device nodes of the native file system";
  fs::remove(dir_ / kOutput);
  fs::create_symlink("target", dir_ / kOutput);
  const std::string target = (dir_ / "target").string();
  const std::vector<std::pair<std::string, std::function<int()>>> targets = {
      {"a named pipe", [&] { return ::mkfifo(target.c_str(), 0600); }},
      {"a device", [&] { return ::geteuid() == 0 ? ::mknod(target.c_str(), S_IFCHR | 0600, makedev(1, 7)) : -1; }}};
  for (const auto& [kind, make] : targets) {
    SCOPED_TRACE(kind);
    if (make() != 0) continue;  // no device node but as root
    const RunResult run = RunFenwaimg(dir_.Path(), {input_});
    ExpectRefused(run);
    EXPECT_EQ(run.err, "fenwaimg: cannot create fenwaimg.pdb: not a regular file (" + kind + ")\n");
    EXPECT_TRUE(fs::is_symlink(dir_ / kOutput));
    EXPECT_FALSE(fs::is_regular_file(dir_ / "target"));
    EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, "net.dat", "target"}));
    fs::remove(dir_ / "target");
  }
}

TEST_F(OutputFault, AWriteFailingPartWayKeepsThePreviousImage) {
  NetworkDescription network;
  network.stations.resize(3000);  // an image of about 24 KB
  WriteBytes(dir_ / "net.dat", BuildNetworkFile(network));
  // Windows has no signal for a write past a size limit, only a failed write; under
  // Wine the shell ignores SIGXFSZ so that the limit shows up the same way.
  const char* limit = ConverterReplaced() ? "ulimit -f 8; trap '' XFSZ" : "ulimit -f 8";
  ExpectRefused(RunFenwaimg(dir_.Path(), {input_}, limit));
  EXPECT_EQ(ReadBytes(dir_ / kOutput), previous_);
  EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, "net.dat"}));
}

TEST_F(OutputFault, AWorkingFolderRemovedUnderTheConverterCannotTakeTheOutput) {
  if (ConverterReplaced()) GTEST_SKIP() << "Windows refuses to remove a folder that a process works in";
  input_ = (dir_ / "net.dat").string();
  ExpectRefused(RunFenwaimg(dir_.Path(), {input_}, "mkdir gone && cd gone && rmdir ../gone"));
  EXPECT_EQ(ReadBytes(dir_ / kOutput), previous_);
  EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, "net.dat"}));
}

bool StraceRuns() { return std::system("strace -o /dev/null true >/dev/null 2>&1") == 0; }

// Where the converter cannot be traced or limited as a native process.
bool NativeConverter() {
#ifdef FENWA_SANITIZED
  return false;  // the sanitizers' runtime makes its own system calls and needs terabytes of address space
#else
  return !ConverterReplaced();
#endif
}

// The names of the system calls a traced run made, in order.
std::vector<std::string> SystemCalls(const fs::path& log) {
  std::vector<std::string> calls;
  std::istringstream lines(ReadText(log));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t end = line.find('(');
    if (end == std::string::npos || line.compare(0, 3, "+++") == 0 || line.compare(0, 3, "---") == 0) continue;
    calls.push_back(line.substr(0, end));
  }
  return calls;
}

// The temporary files left by killed runs; they never stand in the way of a later run.
std::vector<std::string> WithoutLeftovers(std::vector<std::string> names) {
  std::erase_if(names, [](const std::string& name) { return name.rfind(kOutput + ".tmp-", 0) == 0; });
  return names;
}

TEST_F(OutputFault, AKillAtAnySystemCallLeavesTheOldImageOrTheNewOne) {
  if (!NativeConverter() || !StraceRuns()) GTEST_SKIP() << "needs the native converter and strace";
  TempDir logs;
  const RunResult traced =
      RunCommand(dir_.Path(), "strace", {"-qq", "-o", (logs / "calls").string(), FENWAIMG_PATH, input_});
  ASSERT_EQ(traced.status, 0) << traced.err;
  const Bytes image = ReadBytes(dir_ / kOutput);
  const std::vector<std::string> calls = SystemCalls(logs / "calls");
  ASSERT_GT(calls.size(), 10u);
  std::map<std::string, int> seen;
  int killed = 0;
  for (const std::string& call : calls) {
    const std::string when = std::to_string(++seen[call]);
    WriteBytes(dir_ / kOutput, previous_);
    const RunResult run = RunCommand(
        dir_.Path(), "strace",
        {"-qq", "-o", "/dev/null", "-e", "inject=" + call + ":signal=SIGKILL:when=" + when, FENWAIMG_PATH, input_});
    SCOPED_TRACE(call + " #" + when);
    killed += run.status == 128 + 9;
    const Bytes after = ReadBytes(dir_ / kOutput);
    EXPECT_TRUE(after == previous_ || after == image) << "a broken image after a kill";
    const RunResult next = RunFenwaimg(dir_.Path(), {input_});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(ReadBytes(dir_ / kOutput), image);
    EXPECT_EQ(WithoutLeftovers(FolderEntries(dir_.Path())), (std::vector<std::string>{kOutput, input_}));
  }
  EXPECT_GT(killed, 10);
  std::printf("system calls: %zu, runs killed at one and survived: %d\n", calls.size(), killed);
}

TEST_F(OutputFault, TheFolderIsFlushedAfterTheRenameBeforeTheRunEnds) {
  if (!NativeConverter() || !StraceRuns()) GTEST_SKIP() << "needs the native converter and strace";
  TempDir logs;
  const RunResult traced =
      RunCommand(dir_.Path(), "strace",
                 {"-qq", "-e", "trace=openat,fdatasync,fsync,rename,renameat,renameat2,write,exit_group", "-o",
                  (logs / "calls").string(), FENWAIMG_PATH, input_});
  ASSERT_EQ(traced.status, 0) << traced.err;
  const std::vector<std::string> calls = SystemCalls(logs / "calls");
  const std::string log = ReadText(logs / "calls");
  const auto at = [&](const std::string& text) { return log.find(text); };
  ASSERT_NE(at("fdatasync("), std::string::npos) << log;
  ASSERT_NE(at("rename("), std::string::npos) << log;
  ASSERT_NE(at("O_DIRECTORY"), std::string::npos) << "the folder is not opened to be flushed:\n" << log;
  EXPECT_LT(at("fdatasync("), at("rename("));
  EXPECT_LT(at("rename("), at("O_DIRECTORY"));
  EXPECT_LT(at("O_DIRECTORY"), at("fsync("));
  EXPECT_LT(at("fsync("), at("Fenwaimg.pdb")) << "the completion message comes before the flush:\n" << log;
}

TEST_F(OutputFault, TwoConvertersAtOnceLeaveOneWholeImageAndReportTruthfully) {
  NetworkDescription other = samples::Chunked();
  WriteBytes(dir_ / "other.dat", BuildNetworkFile(other));
  ASSERT_EQ(RunFenwaimg(dir_.Path(), {"other.dat"}).status, 0);
  const Bytes other_image = ReadBytes(dir_ / kOutput);
  ASSERT_EQ(RunFenwaimg(dir_.Path(), {input_}).status, 0);
  const Bytes image = ReadBytes(dir_ / kOutput);
  const std::string converter = ConverterReplaced() ? std::getenv("FENWA_CONVERTER") : ShellQuote(FENWAIMG_PATH);
  TempDir out;
  const auto at = [&](const std::string& name) { return ShellQuote((out / name).string()); };
  const std::string pair = "(" + converter + " " + input_ + " >" + at("o1") + " 2>&1; echo $? >" + at("s1") + ") & (" +
                           converter + " other.dat >" + at("o2") + " 2>&1; echo $? >" + at("s2") + ") & wait";
  const int pairs = ConverterReplaced() ? 8 : 40;
  int first_won = 0;
  int both_converted = 0;
  // A run reports what happened to it: success, or the failure road with the image it did not replace.
  const auto truthful = [&](const std::string& number, const std::string& input) {
    const std::string status = ReadText(out / ("s" + number));
    const std::string printed = ReadText(out / ("o" + number));
    const std::string traces = TraceLine(input) + TraceLine(kOutput);
    if (status == "0\n") {
      EXPECT_EQ(printed, traces + ConsoleLines(kCompletionText));
      return true;
    }
    EXPECT_EQ(status, "9\n");
    EXPECT_NE(printed.find(traces + kOpenFailureText), std::string::npos) << printed;
    return false;
  };
  for (int round = 0; round < pairs; ++round) {
    SCOPED_TRACE("pair " + std::to_string(round));
    WriteBytes(dir_ / kOutput, previous_);
    ASSERT_EQ(RunCommand(dir_.Path(), "/bin/sh", {"-c", pair}).status, 0);
    const bool first = truthful("1", input_);
    const bool second = truthful("2", "other.dat");
    const Bytes after = ReadBytes(dir_ / kOutput);
    EXPECT_TRUE((first && after == image) || (second && after == other_image) ||
                (!first && !second && after == previous_))
        << "the image is not what the runs reported";
    first_won += after == image;
    both_converted += first && second;
    EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, input_, "other.dat"}));
  }
  EXPECT_EQ(both_converted, pairs) << "runs at the same time got in each other's way";
  std::printf("pairs: %d, both converted: %d, won by the first run: %d\n", pairs, both_converted, first_won);
}

TEST_F(OutputFault, TheNewImageKeepsTheOldOnesPermissionsAndOwner) {
  if (ConverterReplaced()) GTEST_SKIP() << "Windows keeps attributes, not permission bits (see the Windows checks)";
  fs::permissions(dir_ / kOutput, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((dir_ / kOutput).c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(RunFenwaimg(dir_.Path(), {input_}).status, 0);
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / kOutput).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
  }
  EXPECT_NE(ReadBytes(dir_ / kOutput), previous_);
}

// Below some address-space limit the system cannot even start the program;
// from there up, every run converts or fails for want of memory on the one road.
TEST_F(OutputFault, RunningOutOfMemoryTakesTheFailureRoad) {
  if (!NativeConverter()) GTEST_SKIP() << "needs the native converter";
  WriteBytes(dir_ / "net.dat", BuildNetworkFile(samples::Largest()));
  int lowest = 256;
  while (lowest < 65536 && RunFenwaimg(dir_.Path(), {}, "ulimit -v " + std::to_string(lowest)).status != 9)
    lowest += 64;
  ASSERT_LT(lowest, 65536);
  int short_of_memory = 0;
  for (int limit = lowest; limit < lowest + 4096; limit += 128) {
    SCOPED_TRACE("ulimit -v " + std::to_string(limit));
    WriteBytes(dir_ / kOutput, previous_);
    const RunResult run = RunFenwaimg(dir_.Path(), {input_}, "ulimit -v " + std::to_string(limit));
    EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, input_}));
    if (run.status == 0) continue;
    ++short_of_memory;
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.err, "fenwaimg: out of memory\n");
    EXPECT_TRUE(run.out == TraceLine(input_) || run.out == TraceLine(input_) + TraceLine(kOutput) + kOpenFailureText)
        << run.out;
    EXPECT_EQ(ReadBytes(dir_ / kOutput), previous_);
  }
  EXPECT_GT(short_of_memory, 0) << "no limit was low enough to matter";
}

}  // namespace
