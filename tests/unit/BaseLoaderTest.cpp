// Loading the header and the base and trailer sections into the base tables.
#include <gtest/gtest.h>

#include "network/IntermediateFormat.h"
#include "network/Loader.h"
#include "tests/support/TestSupport.h"

namespace {

std::string LoadFailure(const NetworkDescription& network) {
  return FatalText([&] { LoadNetwork(network); });
}

RouteDescription RouteWithStops(std::size_t stops, std::uint16_t first_station = 1) {
  RouteDescription route;
  for (std::size_t j = 0; j < stops; ++j)
    route.stops.push_back({static_cast<std::uint16_t>(first_station + j), static_cast<std::uint16_t>(0x100 + j)});
  return route;
}

NetworkDescription WithStations(std::size_t count) {
  NetworkDescription network;
  network.stations.resize(count);
  network.strings = {"route"};
  return network;
}

TEST(BaseLoader, CopiesStationAndSortWords) {
  NetworkDescription network = SmallNetwork(5, 1);
  network.stations[3] = {0xA1B2, 0xC3D4, 0xFFFF, 0x1234, 0x5678};
  const std::vector<Station> stations = LoadNetwork(network).network.stations;
  ASSERT_EQ(stations.size(), 5u);
  EXPECT_EQ(stations[3].name_string, 0xA1B2);
  EXPECT_EQ(stations[3].opaque_word, 0xC3D4);
  EXPECT_EQ(stations[3].sort, 0x1234);
  EXPECT_EQ(stations[3].kana_sort, 0x5678);
}

TEST(BaseLoader, FillsRouteRecordsAndPacksTheirBlocks) {
  NetworkDescription network = WithStations(10);
  network.strings = {"x"};
  network.routes = {RouteWithStops(2, 1), RouteWithStops(0), RouteWithStops(3, 7)};
  network.routes[2].opaque_word = 0xBEEF;
  network.routes[2].opaque_byte = 0xAB;
  network.routes[2].company_length = 0;
  network.routes[2].trailer = 0x4321;
  const Network loaded = LoadNetwork(network).network;
  ASSERT_EQ(loaded.routes.size(), 3u);
  EXPECT_EQ(loaded.routes[0].first_slot, 0);
  EXPECT_EQ(loaded.routes[1].first_slot, 4);  // an empty block ...
  EXPECT_EQ(loaded.routes[2].first_slot, 4);  // ... takes no slots
  EXPECT_EQ(loaded.routes[2].station_count, 3);
  EXPECT_EQ(loaded.routes[2].opaque_word, 0xBEEF);
  EXPECT_EQ(loaded.routes[2].opaque_byte, 0xAB);
  EXPECT_EQ(loaded.routes[2].trailer, 0x4321);
  EXPECT_EQ(loaded.routes[0].company, kNoIndex);
  // Station words first, then companion words, block after block, zeros behind.
  const std::vector<std::uint16_t> slots = {1, 2, 0x100, 0x101, 7, 8, 9, 0x100, 0x101, 0x102};
  ASSERT_EQ(loaded.route_stations.size(), 40u);
  for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(loaded.route_stations[i], slots[i]) << i;
  for (std::size_t i = slots.size(); i < 40; ++i) EXPECT_EQ(loaded.route_stations[i], 0) << i;
}

TEST(BaseLoader, CapacityNotGivenIsTwiceTheStationCount) {
  for (std::uint16_t given : {0, 0x8000, 0xFFFF}) {
    NetworkDescription network = WithStations(100);
    network.header.rstat_capacity = given;
    EXPECT_EQ(LoadNetwork(network).network.RStatCapacity(), 200) << given;
  }
  NetworkDescription network = WithStations(100);
  network.header.rstat_capacity = 7;
  EXPECT_EQ(LoadNetwork(network).network.RStatCapacity(), 7);
}

TEST(BaseLoader, ARouteStartingAtTheEndOfTheTableIsRefusedEvenWhenEmpty) {
  NetworkDescription network = WithStations(100);  // 200 entries, 400 slots
  network.routes = {RouteWithStops(200), RouteWithStops(0)};
  EXPECT_EQ(LoadFailure(network).rfind("E011:Insufficient RSTAT", 0), 0u);
  network.routes.pop_back();
  EXPECT_EQ(LoadNetwork(network).network.routes[0].station_count, 200);  // exactly full is fine
}

TEST(BaseLoader, NoStationsAndNoCapacityRefusesTheFirstRoute) {
  NetworkDescription network;
  network.routes = {RouteWithStops(0)};
  EXPECT_EQ(LoadFailure(network).rfind("E011:Insufficient RSTAT", 0), 0u);
}

TEST(BaseLoader, ARouteBlockRunningPastTheTableIsRefused) {
  NetworkDescription network = WithStations(3);  // 6 entries, 12 slots
  network.routes = {RouteWithStops(4), RouteWithStops(3)};
  const std::string text = LoadFailure(network);
  EXPECT_EQ(text.rfind("E011:Insufficient RSTAT", 0), 0u);
  EXPECT_NE(text.find("route 1 needs slots 8 to 13"), std::string::npos) << text;
  network.routes[1] = RouteWithStops(2);
  EXPECT_EQ(LoadNetwork(network).network.routes[1].first_slot, 8);
}

TEST(BaseLoader, StringIndexAndPoolAreReadWholeAtChunkBoundaries) {
  for (std::size_t count : {0u, 1u, 255u, 256u, 257u, 512u, 513u}) {
    NetworkDescription network;
    for (std::size_t i = 0; i < count; ++i) network.strings.push_back("s" + std::to_string(i));
    const Network loaded = LoadNetwork(network).network;
    ASSERT_EQ(loaded.string_index.size(), count);
    const StringTableBytes expected = LayOutStrings(network);
    EXPECT_EQ(loaded.string_index, expected.index) << count;
    EXPECT_EQ(std::string(loaded.string_pool.begin(), loaded.string_pool.end()), expected.pool) << count;
  }
}

TEST(BaseLoader, PoolsOfEverySizeUpTo65535BytesLoadWhole) {
  for (std::size_t size : {0u, 1u, 511u, 512u, 513u, 1000u, 65535u}) {
    NetworkDescription network;
    network.raw_pool = std::string(size, '\0');
    for (std::size_t i = 0; i < size; ++i) (*network.raw_pool)[i] = static_cast<char>(i % 251 + 1);
    const Network loaded = LoadNetwork(network).network;
    ASSERT_EQ(loaded.string_pool.size(), size);
    EXPECT_EQ(std::string(loaded.string_pool.begin(), loaded.string_pool.end()), *network.raw_pool);
  }
}

TEST(BaseLoader, ASectionNeverReadFromMayLieBeyondTheEnd) {
  NetworkDescription network;
  network.header.base_offset = 0x7FFFFFFF;
  network.header.trailer_offset = 0x7FFFFFFF;
  EXPECT_TRUE(LoadNetwork(network).network.routes.empty());
}

TEST(BaseLoader, AFileEndingInsideTheTrailerFails) {
  NetworkDescription network = SmallNetwork(4, 3);
  Bytes file = BuildNetworkFile(network);
  file.pop_back();
  EXPECT_EQ(FatalText([&] { LoadNetworkBytes(file); }).rfind("read failure 16/8", 0), 0u);
}

TEST(BaseLoader, EachTruncatedRecordNamesItsReadSite) {
  NetworkDescription network = SmallNetwork(2, 2);
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
  NetworkDescription network = SmallNetwork();
  const std::string refusal =
      "E005:Obsolete Data (network.dat is not an intermediate data file: it does not start with \"AD4\" and the byte "
      "0x1A)";
  network.header.magic = {'A', 'D', '3', 0x1A};
  EXPECT_EQ(LoadFailure(network), refusal);
  network.header.magic = {'A', 'D', '4', 0x1B};
  EXPECT_EQ(LoadFailure(network), refusal);
}

TEST(BaseLoader, UninterpretedHeaderBytesMayHoldAnything) {
  NetworkDescription network = SmallNetwork();
  network.header.unused_middle.fill(0xFF);
  network.header.unused_tail.fill(0xEE);
  EXPECT_EQ(LoadNetwork(network).network.stations.size(), 4u);
}

struct HeaderRefusal {
  const char* name;
  void (*change)(NetworkDescription&);
  const char* reason;
};

void PrintTo(const HeaderRefusal& refusal, std::ostream* out) { *out << refusal.name; }

class HeaderRefusalTest : public testing::TestWithParam<HeaderRefusal> {};

TEST_P(HeaderRefusalTest, IsRefusedWhenTheHeaderIsRead) {
  NetworkDescription network = SmallNetwork();
  GetParam().change(network);
  const std::string text = LoadFailure(network);
  EXPECT_NE(text.find(GetParam().reason), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HeaderRefusalTest,
    testing::Values(
        HeaderRefusal{"NegativeStations", [](NetworkDescription& s) { s.header.station_count = 0xFFFF; },
                      "station count -1 is negative"},
        HeaderRefusal{"NegativeRoutes", [](NetworkDescription& s) { s.header.route_count = 0x8000; },
                      "route count -32768 is negative"},
        HeaderRefusal{"NegativeStrings", [](NetworkDescription& s) { s.header.string_count = 0xFFFE; },
                      "string count -2 is negative"},
        HeaderRefusal{"Stations16384",
                      [](NetworkDescription& s) {
                        s.header.station_count = 16384;
                        s.header.rstat_capacity = 10;
                      },
                      "station count 16384 is more than 16383"},
        HeaderRefusal{"Routes4682", [](NetworkDescription& s) { s.header.route_count = 4682; },
                      "route count 4682 is more than 4681"},
        HeaderRefusal{"CapacityGiven16384", [](NetworkDescription& s) { s.header.rstat_capacity = 16384; },
                      "route-station capacity 16384"},
        HeaderRefusal{"CapacityFromStations", [](NetworkDescription& s) { s.header.station_count = 8192; },
                      "route-station capacity 16384"},
        HeaderRefusal{"Nodes6534", [](NetworkDescription& s) { s.header.node_count = 6534; },
                      "node count 6534 is more than 6533"},
        HeaderRefusal{"NodesWrapping", [](NetworkDescription& s) { s.header.node_count = 0xFFEC; }, "node count 65516"},
        HeaderRefusal{"BaseOffset2To31", [](NetworkDescription& s) { s.header.base_offset = 0x80000000u; },
                      "base offset 2147483648 is 2^31 or more"},
        HeaderRefusal{"TrailerOffsetHuge", [](NetworkDescription& s) { s.header.trailer_offset = 0xFFFFFFFFu; },
                      "trailer offset 4294967295"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(BaseLoader, TheLargestTablesAnImageCanHoldStillLoad) {
  NetworkDescription network = WithStations(16383);
  network.header.rstat_capacity = 16383;
  network.routes.resize(4681);
  network.routes[4680] = RouteWithStops(16383 / 2);
  const Network loaded = LoadNetwork(network).network;
  EXPECT_EQ(loaded.stations.size(), 16383u);
  EXPECT_EQ(loaded.routes.size(), 4681u);
  EXPECT_EQ(loaded.RStatCapacity(), 16383);
}

// Each conversion starts from empty tables: nothing of one input shows in the next.
TEST(NetworkTables, ALoadKeepsNothingOfTheOneBefore) {
  const Loaded first = LoadNetwork(SmallNetwork(5, 3));
  const Loaded second = LoadNetwork(NetworkDescription{});
  EXPECT_EQ(first.network.stations.size(), 5u);
  EXPECT_TRUE(second.network.stations.empty());
  EXPECT_TRUE(second.network.routes.empty());
  EXPECT_TRUE(second.network.route_stations.empty());
  EXPECT_TRUE(second.network.string_index.empty());
  EXPECT_TRUE(second.network.string_pool.empty());
  EXPECT_TRUE(second.network.companies.empty());
  EXPECT_EQ(second.graph.NodeTotal(), 20);
  EXPECT_TRUE(second.graph.edges.empty());
}

TEST(ReadFailure, NamesTheRecordAndTheOffset) {
  const std::string text = FatalText([] { ShortRead(kSiteStation, 70); });
  EXPECT_EQ(text, "read failure 10/8: the input ends inside a 6-byte station record at offset 70");
}

}  // namespace
