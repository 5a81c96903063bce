// The database the converter writes, compared byte for byte with the image
// expected from the network description, and read back by an independent reader.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/Harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kOutput = "fenwaimg.pdb";

// The tables the image must hold for `network`, given the company number of every route.
struct ExpectedImage {
  std::vector<Bytes> records;
};

ExpectedImage Expect(const NetworkSpec& network, const std::vector<std::uint16_t>& companies) {
  const StringTableBytes strings = LayOutStrings(network);
  const std::size_t q = network.header.rstat_capacity > 0 && network.header.rstat_capacity < 0x8000
                            ? network.header.rstat_capacity
                            : 2 * network.stations.size();
  std::vector<std::uint16_t> stat, sort, ksor, stri(strings.index), rsta(2 * q, 0), adjl, fnod;
  Bytes rose;
  for (const StationSpec& s : network.stations) {
    stat.insert(stat.end(), {s.word_a, s.word_b});
    sort.push_back(s.sort);
    ksor.push_back(s.kana_sort);
  }
  std::size_t slot = 0;
  for (std::size_t r = 0; r < network.routes.size(); ++r) {
    const RouteSpec& route = network.routes[r];
    const std::size_t k = route.stops.size();
    for (std::size_t j = 0; j < k; ++j) {
      rsta[slot + j] = route.stops[j].station;
      rsta[slot + k + j] = route.stops[j].companion;
    }
    Bytes record = BigEndianWords({route.name_index, static_cast<std::uint16_t>(slot), companies.at(r),
                                   static_cast<std::uint16_t>(k), route.word});
    record.insert(record.end(), {route.byte, route.company_length});
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
    const NodeSpec& node = network.nodes[i];
    std::uint16_t first = 0;
    for (std::size_t n = 0; n < i; ++n) first = static_cast<std::uint16_t>(first + network.nodes[n].edges.size());
    adjl.insert(adjl.end(), {node.word_a, node.word_b, 0xFFFF, node.edges.empty() ? std::uint16_t{0xFFFF} : first,
                             static_cast<std::uint16_t>(node.edges.size())});
  }
  for (const NodeSpec& node : network.nodes)
    for (const EdgeSpec& edge : node.edges)
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

Bytes ConvertInFolder(const TempDir& dir, const NetworkSpec& network) {
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
  const Bytes file = ConvertInFolder(dir, NetworkSpec{});
  EXPECT_EQ(file.size(), 598u);
  const Database db = ParseDatabase(file);
  EXPECT_EQ(db.offsets, (std::vector<std::uint32_t>{232, 362, 366, 366, 370, 370, 374, 374, 378, 378, 382, 382, 386,
                                                    386, 390, 390, 394, 594, 598}));
  ExpectImage(file, Expect(NetworkSpec{}, {}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, ASmallNetworkMatchesTableForTable) {
  TempDir dir;
  const NetworkSpec network = SmallNetwork(4, 3);
  ExpectImage(ConvertInFolder(dir, network), Expect(network, {0xFFFF, 0, 1}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, SpecialNodesAreWrittenEmptyWhateverTheFileHolds) {
  NetworkSpec network;
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
  NetworkSpec network;
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
  NetworkSpec network;
  network.raw_pool = std::string("\x93\x8c\x8b\x9e\0abcd", 9);
  network.raw_string_index = std::vector<std::uint16_t>{0, 5};
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  EXPECT_EQ(ParseDatabase(file).records[12], Bytes(network.raw_pool->begin(), network.raw_pool->end()));
  ExpectImage(file, Expect(network, {}));
  ExpectIndependentReaderAgrees(dir / kOutput);
}

TEST(Image, TheRouteStationTableIsWrittenAtFullCapacity) {
  NetworkSpec network = SmallNetwork(4, 2);
  network.header.rstat_capacity = 50;  // 100 slots for 8 used
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  EXPECT_EQ(ParseDatabase(file).records[14].size(), 200u);
  ExpectImage(file, Expect(network, {0xFFFF, 0}));
}

TEST(Image, TheEdgeTableIsWrittenUpToTheEdgeCountOnly) {
  NetworkSpec network;
  network.header.edge_capacity = 500;
  network.nodes = {{}, {}, {1, 2, {{3, 4}, {5, 6}, {0xFFFF, 0xFFFF}}}};
  TempDir dir;
  const Bytes file = ConvertInFolder(dir, network);
  EXPECT_EQ(ParseDatabase(file).records[18], BigEndianWords({3, 4, 5, 6, 0x7FFF, 0xFFFF}));
  ExpectImage(file, Expect(network, {}));
}

TEST(Image, CompaniesGroupedByTheConverterReachTheImage) {
  NetworkSpec network;
  network.header.rstat_capacity = 1;
  network.strings = {"zero", "A-1", "A-2", "B-1", "none", "A-3"};
  for (std::uint16_t name : {0, 1, 2, 3, 4, 5}) {
    RouteSpec route;
    route.name_index = name;
    route.company_length = name == 4 ? 0 : 1;
    network.routes.push_back(route);
  }
  TempDir dir;
  ExpectImage(ConvertInFolder(dir, network), Expect(network, {0xFFFF, 0, 0, 1, 2, 0}));
}

TEST(Image, TheLargestTablesStillAgreeWithTheRecordList) {
  NetworkSpec network;
  network.stations.resize(16383);
  network.header.rstat_capacity = 16383;
  network.header.edge_capacity = 0x7FFF;
  network.strings = {"r"};
  network.routes.resize(4681);
  network.routes[1].stops.resize(8191);
  network.nodes.resize(6533);
  network.nodes[6532].edges.resize(16383, EdgeSpec{0x8123, 9});
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
  ExpectRefused(RunFenwaimg(dir_.Path(), {input_}));
  EXPECT_TRUE(fs::is_directory(dir_ / kOutput));
  EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, "net.dat"}));
}

TEST_F(OutputFault, AWriteFailingPartWayKeepsThePreviousImage) {
  NetworkSpec network;
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

}  // namespace
