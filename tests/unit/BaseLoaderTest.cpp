// Loading the header and the base and trailer sections into the base tables.
#include <gtest/gtest.h>

#include "network/Base.h"
#include "network/Graph.h"
#include "tests/support/TestSupport.h"

namespace {

std::uint16_t RouteField(std::int32_t route, std::size_t field) { return ReadLE16(Route(route) + field); }

std::string LoadFailure(const NetworkSpec& network) {
  return FatalText([&] { LoadNetwork(network); });
}

RouteSpec RouteWithStops(std::size_t stops, std::uint16_t first_station = 1) {
  RouteSpec route;
  for (std::size_t j = 0; j < stops; ++j)
    route.stops.push_back({static_cast<std::uint16_t>(first_station + j), static_cast<std::uint16_t>(0x100 + j)});
  return route;
}

NetworkSpec WithStations(std::size_t count) {
  NetworkSpec network;
  network.stations.resize(count);
  network.strings = {"route"};
  return network;
}

TEST(BaseLoader, CopiesStationAndSortWords) {
  NetworkSpec network = SmallNetwork(5, 1);
  network.stations[3] = {0xA1B2, 0xC3D4, 0xFFFF, 0x1234, 0x5678};
  LoadNetwork(network);
  ASSERT_EQ(StationCount, 5);
  EXPECT_EQ(StationHandle.Word(6), 0xA1B2);
  EXPECT_EQ(StationHandle.Word(7), 0xC3D4);
  EXPECT_EQ(SortHandle.Word(3), 0x1234);
  EXPECT_EQ(KanaSortHandle.Word(3), 0x5678);
  EXPECT_EQ(StationHandle.Size(), 20u);
}

TEST(BaseLoader, FillsRouteRecordsAndPacksTheirBlocks) {
  NetworkSpec network = WithStations(10);
  network.strings = {"x"};
  network.routes = {RouteWithStops(2, 1), RouteWithStops(0), RouteWithStops(3, 7)};
  network.routes[2].word = 0xBEEF;
  network.routes[2].byte = 0xAB;
  network.routes[2].company_length = 0;
  network.routes[2].trailer = 0x4321;
  LoadNetwork(network);
  ASSERT_EQ(Num_r, 3);
  EXPECT_EQ(RouteField(0, kRouteFirstSlot), 0);
  EXPECT_EQ(RouteField(1, kRouteFirstSlot), 4);  // an empty block ...
  EXPECT_EQ(RouteField(2, kRouteFirstSlot), 4);  // ... takes no slots
  EXPECT_EQ(RouteField(2, kRouteStationCount), 3);
  EXPECT_EQ(RouteField(2, kRouteWord), 0xBEEF);
  EXPECT_EQ(Route(2)[kRouteByte], 0xAB);
  EXPECT_EQ(RouteField(2, kRouteTrailer), 0x4321);
  EXPECT_EQ(RouteField(0, kRouteCompany), kNoIndex);
  // Station words first, then companion words, block after block, zeros behind.
  const std::vector<std::uint16_t> slots = {1, 2, 0x100, 0x101, 7, 8, 9, 0x100, 0x101, 0x102};
  for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(RStatHandle.Word(i), slots[i]) << i;
  for (std::size_t i = slots.size(); i < 40; ++i) EXPECT_EQ(RStatHandle.Word(i), 0) << i;
}

TEST(BaseLoader, CapacityNotGivenIsTwiceTheStationCount) {
  for (std::uint16_t given : {0, 0x8000, 0xFFFF}) {
    NetworkSpec network = WithStations(100);
    network.header.rstat_capacity = given;
    LoadNetwork(network);
    EXPECT_EQ(RStatCapacity, 200) << given;
  }
  NetworkSpec network = WithStations(100);
  network.header.rstat_capacity = 7;
  LoadNetwork(network);
  EXPECT_EQ(RStatCapacity, 7);
}

TEST(BaseLoader, ARouteStartingAtTheEndOfTheTableIsRefusedEvenWhenEmpty) {
  NetworkSpec network = WithStations(100);  // 200 entries, 400 slots
  network.routes = {RouteWithStops(200), RouteWithStops(0)};
  EXPECT_EQ(LoadFailure(network).rfind("E011:Insufficient RSTAT", 0), 0u);
  network.routes.pop_back();
  LoadNetwork(network);  // exactly full is fine
  EXPECT_EQ(RouteField(0, kRouteStationCount), 200);
}

TEST(BaseLoader, NoStationsAndNoCapacityRefusesTheFirstRoute) {
  NetworkSpec network;
  network.routes = {RouteWithStops(0)};
  EXPECT_EQ(LoadFailure(network).rfind("E011:Insufficient RSTAT", 0), 0u);
}

TEST(BaseLoader, ARouteBlockRunningPastTheTableIsRefused) {
  NetworkSpec network = WithStations(3);  // 6 entries, 12 slots
  network.routes = {RouteWithStops(4), RouteWithStops(3)};
  const std::string text = LoadFailure(network);
  EXPECT_EQ(text.rfind("E011:Insufficient RSTAT", 0), 0u);
  EXPECT_NE(text.find("route 1 needs slots 8 to 13"), std::string::npos) << text;
  network.routes[1] = RouteWithStops(2);
  LoadNetwork(network);
  EXPECT_EQ(RouteField(1, kRouteFirstSlot), 8);
}

TEST(BaseLoader, StringIndexAndPoolAreReadWholeAtChunkBoundaries) {
  for (std::size_t count : {0u, 1u, 255u, 256u, 257u, 512u, 513u}) {
    NetworkSpec network;
    for (std::size_t i = 0; i < count; ++i) network.strings.push_back("s" + std::to_string(i));
    LoadNetwork(network);
    ASSERT_EQ(StringCount, static_cast<std::int32_t>(count));
    const StringTableBytes expected = LayOutStrings(network);
    for (std::size_t i = 0; i < count; ++i)
      ASSERT_EQ(StringOffset(static_cast<std::int32_t>(i)), expected.index[i]) << i;
    ASSERT_EQ(PoolSize, expected.pool.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(StringPoolHandle.Data()), PoolSize), expected.pool) << count;
  }
}

TEST(BaseLoader, PoolsOfEverySizeUpTo65535BytesLoadWhole) {
  for (std::size_t size : {0u, 1u, 511u, 512u, 513u, 1000u, 65535u}) {
    NetworkSpec network;
    network.raw_pool = std::string(size, '\0');
    for (std::size_t i = 0; i < size; ++i) (*network.raw_pool)[i] = static_cast<char>(i % 251 + 1);
    LoadNetwork(network);
    ASSERT_EQ(PoolSize, size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(StringPoolHandle.Data()), PoolSize), *network.raw_pool);
  }
}

TEST(BaseLoader, ASectionNeverReadFromMayLieBeyondTheEnd) {
  NetworkSpec network;
  network.header.base_offset = 0x7FFFFFFF;
  network.header.trailer_offset = 0x7FFFFFFF;
  LoadNetwork(network);
  EXPECT_EQ(Num_r, 0);
}

TEST(BaseLoader, AFileEndingInsideTheTrailerFails) {
  NetworkSpec network = SmallNetwork(4, 3);
  Bytes file = BuildNetworkFile(network);
  file.pop_back();
  EXPECT_EQ(FatalText([&] { LoadNetworkBytes(file); }).rfind("read failure 16/8", 0), 0u);
}

TEST(BaseLoader, EachTruncatedRecordNamesItsReadSite) {
  NetworkSpec network = SmallNetwork(2, 2);
  network.strings = {"a", "b"};
  network.order = SectionOrder::kTrailerThenBase;  // the base section runs to the end
  const Bytes file = BuildNetworkFile(network);
  const std::uint32_t base = ReadLE32(file.data() + 4);
  struct Cut {
    std::size_t length;
    const char* site;
  };
  // Stations 2x6, sorts 2x4, route 10 + 2 stops x4, route 10 + 2x4, index 2x2, pool 4.
  for (Cut cut :
       {Cut{10, "read failure 9/8"}, Cut{base + 5, "read failure 10/8"}, Cut{base + 12 + 7, "read failure 11/8"},
        Cut{base + 20 + 9, "read failure 12/8"}, Cut{base + 20 + 10 + 6, "read failure 13/8"},
        Cut{base + 56 + 3, "read failure 14/8"}, Cut{base + 60 + 3, "read failure 15/8"}}) {
    const Bytes cut_file(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut.length));
    EXPECT_EQ(FatalText([&] { LoadNetworkBytes(cut_file); }).rfind(cut.site, 0), 0u) << cut.length;
  }
}

TEST(BaseLoader, WrongMagicIsObsoleteData) {
  NetworkSpec network = SmallNetwork();
  network.header.magic = {'A', 'D', '3', 0x1A};
  EXPECT_EQ(LoadFailure(network), "E005:Obsolete Data");
  network.header.magic = {'A', 'D', '4', 0x1B};
  EXPECT_EQ(LoadFailure(network), "E005:Obsolete Data");
}

TEST(BaseLoader, UninterpretedHeaderBytesMayHoldAnything) {
  NetworkSpec network = SmallNetwork();
  network.header.unused_middle.fill(0xFF);
  network.header.unused_tail.fill(0xEE);
  LoadNetwork(network);
  EXPECT_EQ(StationCount, 4);
}

struct HeaderRefusal {
  const char* name;
  void (*change)(NetworkSpec&);
  const char* reason;
};

void PrintTo(const HeaderRefusal& refusal, std::ostream* out) { *out << refusal.name; }

class HeaderRefusalTest : public testing::TestWithParam<HeaderRefusal> {};

TEST_P(HeaderRefusalTest, IsRefusedBeforeAnyTableIsMade) {
  NetworkSpec network = SmallNetwork();
  GetParam().change(network);
  const std::string text = LoadFailure(network);
  EXPECT_NE(text.find(GetParam().reason), std::string::npos) << text;
  EXPECT_FALSE(StationHandle.Exists());
  EXPECT_FALSE(RosenHandle.Exists());
  EXPECT_FALSE(AdjHandle.Exists());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HeaderRefusalTest,
    testing::Values(HeaderRefusal{"NegativeStations", [](NetworkSpec& s) { s.header.station_count = 0xFFFF; },
                                  "station count -1 is negative"},
                    HeaderRefusal{"NegativeRoutes", [](NetworkSpec& s) { s.header.route_count = 0x8000; },
                                  "route count -32768 is negative"},
                    HeaderRefusal{"NegativeStrings", [](NetworkSpec& s) { s.header.string_count = 0xFFFE; },
                                  "string count -2 is negative"},
                    HeaderRefusal{"Stations16384",
                                  [](NetworkSpec& s) {
                                    s.header.station_count = 16384;
                                    s.header.rstat_capacity = 10;
                                  },
                                  "station count 16384 is more than 16383"},
                    HeaderRefusal{"Routes4682", [](NetworkSpec& s) { s.header.route_count = 4682; },
                                  "route count 4682 is more than 4681"},
                    HeaderRefusal{"CapacityGiven16384", [](NetworkSpec& s) { s.header.rstat_capacity = 16384; },
                                  "route-station capacity 16384"},
                    HeaderRefusal{"CapacityFromStations", [](NetworkSpec& s) { s.header.station_count = 8192; },
                                  "route-station capacity 16384"},
                    HeaderRefusal{"Nodes6534", [](NetworkSpec& s) { s.header.node_count = 6534; },
                                  "node count 6534 is more than 6533"},
                    HeaderRefusal{"NodesWrapping", [](NetworkSpec& s) { s.header.node_count = 0xFFEC; },
                                  "node count 65516"},
                    HeaderRefusal{"BaseOffset2To31", [](NetworkSpec& s) { s.header.base_offset = 0x80000000u; },
                                  "base offset 2147483648 is 2^31 or more"},
                    HeaderRefusal{"TrailerOffsetHuge", [](NetworkSpec& s) { s.header.trailer_offset = 0xFFFFFFFFu; },
                                  "trailer offset 4294967295"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(BaseLoader, TheLargestTablesAnImageCanHoldStillLoad) {
  NetworkSpec network = WithStations(16383);
  network.header.rstat_capacity = 16383;
  network.routes.resize(4681);
  network.routes[4680] = RouteWithStops(16383 / 2);
  LoadNetwork(network);
  EXPECT_EQ(StationCount, 16383);
  EXPECT_EQ(Num_r, 4681);
  EXPECT_EQ(RStatCapacity, 16383);
}

TEST(NetworkTables, ReleaseEmptiesEveryHandleAndMayBeRepeated) {
  LoadNetwork(SmallNetwork());
  ReleaseNetworkTables();
  ReleaseNetworkTables();
  for (const Block* block : {&StationHandle, &SortHandle, &KanaSortHandle, &RosenHandle, &RStatHandle,
                             &StringIndexHandle, &StringPoolHandle})
    EXPECT_FALSE(block->Exists());
  EXPECT_EQ(Num_r, 0);
  EXPECT_EQ(StationCount, 0);
  EXPECT_EQ(StringCount, 0);
  EXPECT_EQ(PoolSize, 0);
}

TEST(NetworkTables, CreatingTwiceIsAFailedAssertionButTheStringTableIsKept) {
  ReleaseNetworkTables();
  StationCount = 1;
  CreateStationTables();
  EXPECT_EQ(FatalText(CreateStationTables).rfind("Assertion failed: !StationHandle.Exists()", 0), 0u);
  CreateRouteTables();
  EXPECT_EQ(FatalText(CreateRouteTables).rfind("Assertion failed: !RosenHandle.Exists()", 0), 0u);
  CreateStringTable(2, 10);
  StringPoolHandle.Data()[0] = 'k';
  CreateStringTable(5, 50);
  EXPECT_EQ(StringPoolHandle.Size(), 10u);
  EXPECT_EQ(StringPoolHandle.Data()[0], 'k');
  EXPECT_EQ(FatalText([] { Route(0); }).rfind("Assertion failed: index >= 0 && index < Num_r", 0), 0u);
  ReleaseNetworkTables();
}

}  // namespace
