// Hostile input, end to end: every kind of input the converter refuses, run
// through the real program. Whatever the reason, a refusal means exit status
// 9, standard output exactly the input's trace line, one diagnostic line on
// standard error that names the reason, an existing fenwaimg.pdb left byte
// for byte as it was and no other file left beside it. Each limit is also run
// on its accepted neighbour, so that a refusal cannot pass by refusing too much.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/Fatal.h"
#include "driver/Convert.h"
#include "network/Loader.h"
#include "tests/support/Harness.h"
#include "tests/support/SampleNetworks.h"

namespace fs = std::filesystem;

namespace {

const std::string kInput = "network.dat";
const std::string kOutput = "fenwaimg.pdb";
const Bytes kPreviousImage(777, 0xA5);

// What a refused run must have left: checked for the real program and in-process.
void ExpectFolderUntouched(const fs::path& folder) {
  EXPECT_EQ(ReadBytes(folder / kOutput), kPreviousImage) << "the existing image was changed";
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{kOutput, kInput})) << "a stray file was left";
}

void ExpectOneDiagnosticLine(const std::string& err, const std::string& reason) {
  EXPECT_EQ(err.rfind("fenwaimg: ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(err.back(), '\n') << err;
  EXPECT_NE(err.find(reason), std::string::npos) << "standard error does not name \"" << reason << "\": " << err;
}

void ExpectRefused(const Bytes& input, const std::string& reason) {
  TempDir dir;
  WriteBytes(dir / kInput, input);
  WriteBytes(dir / kOutput, kPreviousImage);
  const RunResult run = RunFenwaimg(dir.Path(), {kInput});
  EXPECT_EQ(run.status, 9);
  EXPECT_EQ(run.out, TraceLine(kInput));
  ExpectOneDiagnosticLine(run.err, reason);
  ExpectFolderUntouched(dir.Path());
}

// The accepted neighbour of a refusal: converted, and the image says what the header said.
void ExpectAccepted(const Bytes& input) {
  TempDir dir;
  WriteBytes(dir / kInput, input);
  WriteBytes(dir / kOutput, kPreviousImage);
  const RunResult run = RunFenwaimg(dir.Path(), {kInput});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, TraceLine(kInput) + TraceLine(kOutput) + ConsoleLines(kCompletionText));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{kOutput, kInput}));
  const Bytes image = ReadBytes(dir / kOutput);
  const Database db = ParseDatabase(image);
  ASSERT_EQ(db.records.size(), 19u);
  ASSERT_EQ(db.records[0].size(), 130u);
  EXPECT_EQ(BE16(db.records[0], 8), input[50] | input[51] << 8) << "station count";
  EXPECT_EQ(BE16(db.records[0], 10), input[52] | input[53] << 8) << "route count";
  EXPECT_EQ(BE16(db.records[0], 20), input[48] | input[49] << 8) << "node count";
}

struct HostileCase {
  const char* name;
  std::function<NetworkDescription()> make;
  std::string reason;  // empty: the neighbour that is accepted
};

std::string CaseName(const testing::TestParamInfo<HostileCase>& info) { return info.param.name; }
void PrintTo(const HostileCase& hostile, std::ostream* out) { *out << hostile.name; }

class Hostile : public testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, RefusedWithTheReasonOrAcceptedAtTheEdge) {
  const Bytes input = BuildNetworkFile(GetParam().make());
  if (GetParam().reason.empty()) {
    ExpectAccepted(input);
  } else {
    ExpectRefused(input, GetParam().reason);
  }
}

// Small helpers that change one thing of a valid network.
template <typename Change>
std::function<NetworkDescription()> Changed(NetworkDescription (*make)(), Change change) {
  return [make, change] {
    NetworkDescription network = make();
    change(network);
    return network;
  };
}

NetworkDescription WithStations(std::size_t count) {
  NetworkDescription network;
  network.stations = samples::Stations(count);
  network.strings = {"Only route"};
  network.routes = samples::Routes(1, 3, 1, count);
  return network;
}

NetworkDescription WithEdges(std::uint16_t capacity, std::size_t edges) {
  NetworkDescription network;
  network.header.edge_capacity = capacity;
  network.nodes = samples::Nodes(8, edges);
  return network;
}

// Four routes with stop counts `stops` in a table of `capacity` entries.
NetworkDescription WithRouteBlocks(std::uint16_t capacity, std::vector<std::size_t> stops) {
  NetworkDescription network;
  network.stations = samples::Stations(4);
  network.header.rstat_capacity = capacity;
  network.strings = {"A line"};
  network.routes = samples::Routes(stops.size(), 0, 1, 4);
  for (std::size_t r = 0; r < stops.size(); ++r)
    for (std::size_t j = 0; j < stops[r]; ++j) network.routes[r].stops.push_back({samples::W(j % 4), samples::W(j)});
  return network;
}

// `named` companies on routes 1 on, and an unnamed route when asked.
NetworkDescription WithCompanies(std::size_t named, bool unnamed_route) {
  NetworkDescription network;
  network.header.rstat_capacity = 1;
  network.strings = samples::CompanyNames(named, named);
  network.routes = samples::Routes(named + 1, 0, named, 0);
  for (std::size_t r = 1; r <= named; ++r) {
    network.routes[r].name_index = samples::W(r - 1);
    network.routes[r].company_length = 4;
  }
  if (unnamed_route) network.routes.push_back(samples::Routes(1, 0, 1, 0)[0]);
  return network;
}

INSTANTIATE_TEST_SUITE_P(
    BadMagic, Hostile,
    testing::Values(HostileCase{"LastByteWrong",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.header.magic[3] = 0x1B; }),
                                "E005:Obsolete Data (network.dat is not an intermediate data file: it does not start "
                                "with \"AD4\" and the byte 0x1A)"},
                    HostileCase{"LowerCase",
                                Changed(samples::Tiny,
                                        [](NetworkDescription& s) {
                                          s.header.magic = {'a', 'd', '4', 0x1A};
                                        }),
                                "E005:Obsolete Data"},
                    HostileCase{"OlderFormat",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.header.magic[2] = '3'; }),
                                "E005:Obsolete Data"},
                    HostileCase{"AllZero",
                                Changed(samples::Empty,
                                        [](NetworkDescription& s) {
                                          s.header.magic = {0, 0, 0, 0};
                                        }),
                                "E005:Obsolete Data"},
                    HostileCase{"UninterpretedBytesMayHoldAnything",
                                Changed(samples::Tiny,
                                        [](NetworkDescription& s) {
                                          s.header.unused_middle.fill(0xFF);
                                          s.header.unused_tail.fill(0xFF);
                                        }),
                                ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    SizeLimits, Hostile,
    testing::Values(
        HostileCase{"Stations16384",
                    Changed(samples::MostStations, [](NetworkDescription& s) { s.stations.push_back({}); }),
                    "station count 16384 is more than 16383"},
        HostileCase{"Stations16383WithCapacityGiven", samples::MostStations, ""},
        HostileCase{"Routes4682",
                    Changed(samples::MostRoutes, [](NetworkDescription& s) { s.routes.push_back(s.routes[1]); }),
                    "route count 4682 is more than 4681"},
        HostileCase{"Routes4681", samples::MostRoutes, ""},
        HostileCase{"CapacityGiven16384",
                    Changed(samples::FullRouteStations, [](NetworkDescription& s) { s.header.rstat_capacity = 16384; }),
                    "route-station capacity 16384 is more than 16383"},
        HostileCase{"CapacityGiven16383Full", samples::FullRouteStations, ""},
        HostileCase{"CapacityTwice8192Stations", [] { return WithStations(8192); },
                    "route-station capacity 16384 is more than 16383"},
        HostileCase{"CapacityTwice8191Stations", [] { return WithStations(8191); }, ""},
        HostileCase{"CapacityNegativeMeansTwiceTheStations",
                    Changed(samples::Tiny, [](NetworkDescription& s) { s.header.rstat_capacity = 0x8000; }), ""},
        HostileCase{"Nodes6534", Changed(samples::MostNodes, [](NetworkDescription& s) { s.nodes.push_back({}); }),
                    "node count 6534 is more than 6533"},
        HostileCase{"Nodes65535Given",
                    Changed(samples::Tiny, [](NetworkDescription& s) { s.header.node_count = 0xFFFF; }),
                    "node count 65535 is more than 6533"},
        HostileCase{"Nodes6533", samples::MostNodes, ""},
        HostileCase{"Edges16384WithCapacity7FFF",
                    Changed(samples::MostEdges,
                            [](NetworkDescription& s) {
                              s.nodes[5].edges.push_back({1, 2});
                            }),
                    "more than 16383 edges"},
        HostileCase{"Edges16383WithCapacity7FFF", samples::MostEdges, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    NegativeCounts, Hostile,
    testing::Values(HostileCase{"StationsMinus1",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.header.station_count = 0xFFFF; }),
                                "station count -1 is negative"},
                    HostileCase{"StationsMinus32768",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.header.station_count = 0x8000; }),
                                "station count -32768 is negative"},
                    HostileCase{"RoutesMinus1",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.header.route_count = 0xFFFF; }),
                                "route count -1 is negative"},
                    HostileCase{"RoutesMinus32768",
                                Changed(samples::Empty, [](NetworkDescription& s) { s.header.route_count = 0x8000; }),
                                "route count -32768 is negative"},
                    HostileCase{"StringsMinus1",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.header.string_count = 0xFFFF; }),
                                "string count -1 is negative"},
                    HostileCase{"StringsMinus32768",
                                Changed(samples::Empty, [](NetworkDescription& s) { s.header.string_count = 0x8000; }),
                                "string count -32768 is negative"},
                    HostileCase{"Strings32767", samples::MostStrings, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    HugeOffsets, Hostile,
    testing::Values(
        HostileCase{"Base2To31",
                    Changed(samples::Tiny, [](NetworkDescription& s) { s.header.base_offset = 0x80000000u; }),
                    "base offset 2147483648 is 2^31 or more"},
        HostileCase{"BaseAllOnes",
                    Changed(samples::Empty, [](NetworkDescription& s) { s.header.base_offset = 0xFFFFFFFFu; }),
                    "base offset 4294967295 is 2^31 or more"},
        HostileCase{"Trailer2To31",
                    Changed(samples::Tiny, [](NetworkDescription& s) { s.header.trailer_offset = 0x80000000u; }),
                    "trailer offset 2147483648 is 2^31 or more"},
        HostileCase{"TrailerAllOnes",
                    Changed(samples::Empty, [](NetworkDescription& s) { s.header.trailer_offset = 0xFFFFFFFFu; }),
                    "trailer offset 4294967295 is 2^31 or more"},
        // Nothing is read from either section, so offsets just below 2^31 far past the end still load.
        HostileCase{"Below2To31NeverReadFrom",
                    Changed(samples::Empty,
                            [](NetworkDescription& s) {
                              s.header.base_offset = 0x7FFFFFFFu;
                              s.header.trailer_offset = 0x7FFFFFFFu;
                            }),
                    ""},
        HostileCase{"BaseFarPastTheEndWithStations",
                    Changed(samples::Tiny, [](NetworkDescription& s) { s.header.base_offset = 0x7FFFFFFFu; }),
                    "read failure 10/8"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    RouteNames, Hostile,
    testing::Values(HostileCase{"IndexEqualsStringCount",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.routes[1].name_index = 4; }),
                                "route 1 names string 4, but there are only 4 strings"},
                    HostileCase{"IndexFFFFOnALaterRoute",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.routes[3].name_index = 0xFFFF; }),
                                "route 3 names string 65535, but there are only 4 strings"},
                    HostileCase{"NoStringsAtAll",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.strings.clear(); }),
                                "route 1 names string 1, but there are only 0 strings"},
                    HostileCase{"OffsetEqualsPoolSize",
                                Changed(samples::Tiny,
                                        [](NetworkDescription& s) {
                                          s.raw_pool = std::string("AAA\0BBB\0", 8);
                                          s.raw_string_index = std::vector<std::uint16_t>{0, 4, 8, 0};
                                          s.routes[2].name_index = 2;
                                        }),
                                "route 2 names string 2 at pool offset 8, outside the 8-byte string pool"},
                    HostileCase{"OffsetFFFF",
                                Changed(samples::Tiny,
                                        [](NetworkDescription& s) {
                                          s.raw_string_index = std::vector<std::uint16_t>{0, 0xFFFF, 0, 0};
                                          s.routes[1].name_index = 1;
                                        }),
                                "route 1 names string 1 at pool offset 65535"},
                    HostileCase{"OffsetOnThePoolsLastByte",
                                Changed(samples::Tiny,
                                        [](NetworkDescription& s) {
                                          s.raw_pool = std::string("AAA\0BBB", 7);  // the last name has no NUL
                                          s.raw_string_index = std::vector<std::uint16_t>{0, 4, 6, 0};
                                        }),
                                ""},
                    HostileCase{"RouteZeroIsNeverLookedUp",
                                Changed(samples::Tiny, [](NetworkDescription& s) { s.routes[0].name_index = 0xFFFF; }),
                                ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Companies, Hostile,
    testing::Values(HostileCase{"FortyOne", [] { return WithCompanies(41, false); }, "Num_kaisya < MAX_KAISYA"},
                    HostileCase{"FortyAndAnUnnamedRoute", [] { return WithCompanies(40, true); },
                                "Num_kaisya < MAX_KAISYA"},
                    HostileCase{"Forty", [] { return WithCompanies(40, false); }, ""},
                    HostileCase{"ThirtyNineAndAnUnnamedRoute", [] { return WithCompanies(39, true); }, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    EdgeTable, Hostile,
    testing::Values(
        HostileCase{"DefaultCapacity10001Edges", [] { return WithEdges(0, 10001); }, "E009:Insufficient nodes"},
        HostileCase{"DefaultCapacity10000Edges", [] { return WithEdges(0, 10000); }, ""},
        HostileCase{"Capacity8000Is10000", [] { return WithEdges(0x8000, 10001); }, "E009:Insufficient nodes"},
        HostileCase{"CapacityFFFFIs10000", [] { return WithEdges(0xFFFF, 10000); }, ""},
        HostileCase{"Capacity5Six", [] { return WithEdges(5, 6); }, "E009:Insufficient nodes"},
        HostileCase{"Capacity5Five", [] { return WithEdges(5, 5); }, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    RouteStationTable, Hostile,
    testing::Values(HostileCase{"BlockRunsPastTheEnd",
                                [] {
                                  return WithRouteBlocks(4, {3, 2});
                                },
                                "E011:Insufficient RSTAT (route 1 needs slots 6 to 9 of a table with 8 slots)"},
                    HostileCase{"FirstBlockLargerThanTheTable", [] { return WithRouteBlocks(2, {3}); },
                                "E011:Insufficient RSTAT (route 0 needs slots 0 to 5"},
                    HostileCase{"EmptyRouteAfterAFullTable",
                                [] {
                                  return WithRouteBlocks(4, {3, 1, 0});
                                },
                                "E011:Insufficient RSTAT (route 2 starts at slot 8"},
                    HostileCase{"NoStationsNoCapacity",
                                Changed(samples::Empty, [](NetworkDescription& s) { s.routes.resize(1); }),
                                "E011:Insufficient RSTAT (route 0 starts at slot 0 of a table with 0 slots)"},
                    HostileCase{"BlocksFillTheTableExactly",
                                [] {
                                  return WithRouteBlocks(4, {3, 1});
                                },
                                ""}),
    CaseName);

// ---------------------------------------------------------------------------
// Truncation: a valid file cut at every length fails at the read that the cut
// falls into, and names that read's site and offset.

struct ReadUnit {
  std::size_t start;
  std::size_t end;
  int site;
};

// The reads the converter makes, in its order (base tables, trailer, graph),
// at the offsets where the builder lays the records out.
std::vector<ReadUnit> ReadsInOrder(const NetworkDescription& network) {
  const StringTableBytes strings = LayOutStrings(network);
  std::size_t node_bytes = 0;
  for (const NodeDescription& node : network.nodes) node_bytes += 6 + 4 * node.edges.size();
  std::size_t base_bytes = 10 * network.stations.size() + 2 * strings.index.size() + strings.pool.size();
  for (const RouteDescription& route : network.routes) base_bytes += 10 + 4 * route.stops.size();
  const bool base_first = network.order == SectionOrder::kBaseThenTrailer;
  const std::size_t base = 64 + node_bytes + (base_first ? 0 : 2 * network.routes.size());
  const std::size_t trailer = 64 + node_bytes + (base_first ? base_bytes : 0);

  std::vector<ReadUnit> reads;
  std::size_t at = 0;
  auto read = [&](std::size_t size, int site) {
    reads.push_back({at, at + size, site});
    at += size;
  };
  read(64, kSiteHeader);
  at = base;
  for (std::size_t i = 0; i < network.stations.size(); ++i) read(6, kSiteStation);
  for (std::size_t i = 0; i < network.stations.size(); ++i) read(4, kSiteSort);
  for (const RouteDescription& route : network.routes) {
    read(10, kSiteRoute);
    for (std::size_t j = 0; j < route.stops.size(); ++j) read(4, kSiteRouteStation);
  }
  for (std::size_t left = strings.index.size(); left > 0;) {
    const std::size_t words = left > 256 ? 256 : left;
    read(2 * words, kSiteStringIndex);
    left -= words;
  }
  for (std::size_t left = strings.pool.size(); left > 0;) {
    const std::size_t bytes = left > 512 ? 512 : left;
    read(bytes, kSiteStringPool);
    left -= bytes;
  }
  at = trailer;
  for (std::size_t r = 0; r < network.routes.size(); ++r) read(2, kSiteTrailer);
  at = 0;
  read(64, kSiteHeader);
  for (const NodeDescription& node : network.nodes) {
    read(6, kSiteNode);
    for (std::size_t e = 0; e < node.edges.size(); ++e) read(4, kSiteEdge);
  }
  return reads;
}

// The read that first comes up short in a file of `length` bytes.
ReadUnit FirstShortRead(const std::vector<ReadUnit>& reads, std::size_t length) {
  for (const ReadUnit& unit : reads)
    if (unit.end > length) return unit;
  ADD_FAILURE() << "no read comes up short at length " << length;
  return {};
}

std::string ShortReadReason(const ReadUnit& unit) {
  return "read failure " + std::to_string(unit.site) + "/8: the input ends inside " + ReadSiteDescription(unit.site) +
         " at offset " + std::to_string(unit.start);
}

// Only nodes and edges: cuts inside them are the graph loader's to find.
NetworkDescription GraphOnly() {
  NetworkDescription network;
  network.nodes = samples::Nodes(5, 6);
  network.nodes[1].edges.clear();
  return network;
}

NetworkDescription TinyTrailerFirst() {
  NetworkDescription network = samples::Tiny();
  network.order = SectionOrder::kTrailerThenBase;
  return network;
}

// Every length below the file's size; under another converter command (an
// emulator, where each start is slow) the first and last byte of every read.
std::vector<std::size_t> CutLengths(const std::vector<ReadUnit>& reads, std::size_t size) {
  std::vector<std::size_t> lengths;
  const char* custom = std::getenv("FENWA_CONVERTER");
  if (custom == nullptr || *custom == '\0') {
    for (std::size_t length = 0; length < size; ++length) lengths.push_back(length);
    return lengths;
  }
  for (const ReadUnit& unit : reads) {
    lengths.push_back(unit.start);
    lengths.push_back(unit.end - 1);
  }
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  return lengths;
}

struct CutCase {
  const char* name;
  NetworkDescription (*make)();
  std::vector<int> sites;  // the read sites the cuts must reach between them
};

void PrintTo(const CutCase& cut, std::ostream* out) { *out << cut.name; }

class EveryCut : public testing::TestWithParam<CutCase> {};

TEST_P(EveryCut, OfTheProgramFailsAtTheReadItFallsInto) {
  const NetworkDescription network = GetParam().make();
  const Bytes whole = BuildNetworkFile(network);
  const std::vector<ReadUnit> reads = ReadsInOrder(network);
  std::size_t furthest = 0;
  for (const ReadUnit& unit : reads) furthest = std::max(furthest, unit.end);
  ASSERT_EQ(furthest, whole.size()) << "every byte of the file is read";
  ExpectAccepted(whole);
  std::vector<int> sites_seen;
  for (std::size_t length : CutLengths(reads, whole.size())) {
    SCOPED_TRACE("cut at " + std::to_string(length) + " of " + std::to_string(whole.size()) + " bytes");
    const ReadUnit unit = FirstShortRead(reads, length);
    sites_seen.push_back(unit.site);
    ExpectRefused(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)), ShortReadReason(unit));
    if (HasFailure()) break;  // one broken cut says enough; the rest would repeat it
  }
  for (int site : GetParam().sites)
    EXPECT_NE(std::find(sites_seen.begin(), sites_seen.end(), site), sites_seen.end()) << "site " << site;
}

INSTANTIATE_TEST_SUITE_P(Truncation, EveryCut,
                         testing::Values(CutCase{"EveryBaseRecord", samples::Tiny, {9, 10, 11, 12, 13, 14, 15, 16}},
                                         CutCase{"TrailerBeforeBase", TinyTrailerFirst, {9, 10, 11, 12, 13, 14, 15}},
                                         CutCase{"NodesAndEdges", GraphOnly, {9, 17, 18}}),
                         [](const testing::TestParamInfo<CutCase>& cut) { return std::string(cut.param.name); });

// The same in-process for a file whose string index and pool take several
// chunks: thousands of cuts, each through ConvertFile, each leaving the
// folder as it was and printing only the trace line.
TEST(EveryCutInProcess, OfAFileWithSeveralChunksFailsAtTheReadItFallsInto) {
  const NetworkDescription network = samples::Chunked();
  const Bytes whole = BuildNetworkFile(network);
  const std::vector<ReadUnit> reads = ReadsInOrder(network);
  TempDir dir;
  const fs::path home = fs::current_path();
  fs::current_path(dir.Path());
  WriteBytes(dir / kOutput, kPreviousImage);
  int chunk_reads_cut = 0;
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE("cut at " + std::to_string(length) + " of " + std::to_string(whole.size()) + " bytes");
    const ReadUnit unit = FirstShortRead(reads, length);
    chunk_reads_cut += unit.site == kSiteStringIndex || unit.site == kSiteStringPool;
    WriteBytes(dir / kInput, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
    testing::internal::CaptureStdout();
    const std::string reason = FatalText([] { ConvertFile(kInput.c_str()); });
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "fn=" + kInput + "P\n");
    EXPECT_EQ(reason, ShortReadReason(unit));
    ExpectFolderUntouched(dir.Path());
    if (HasFailure()) break;
  }
  fs::current_path(home);
  const StringTableBytes strings = LayOutStrings(network);
  ASSERT_GT(strings.index.size(), 256u);
  ASSERT_GT(strings.pool.size(), 512u);
  if (!HasFailure()) {
    EXPECT_EQ(chunk_reads_cut, static_cast<int>(2 * strings.index.size() + strings.pool.size()));
  }
}

}  // namespace
