// Grouping routes by the company that begins their names.
#include <gtest/gtest.h>

#include "network/Companies.h"
#include "tests/support/TestSupport.h"

namespace {

struct NamedRoute {
  std::string name;
  std::uint8_t company_length;
};

// Route 0 first (never grouped), then the given routes, each naming its own string.
NetworkDescription Routes(const std::vector<NamedRoute>& routes) {
  NetworkDescription network;
  network.header.rstat_capacity = 1;  // routes without stops still need a table to start in
  network.strings.push_back("route zero");
  network.routes.push_back(RouteDescription{});
  network.routes[0].company_length = 2;
  for (const NamedRoute& named : routes) {
    RouteDescription route;
    route.name_index = static_cast<std::uint16_t>(network.strings.size());
    route.company_length = named.company_length;
    network.strings.push_back(named.name);
    network.routes.push_back(route);
  }
  return network;
}

std::vector<std::uint16_t> Companies(const Network& network) {
  std::vector<std::uint16_t> numbers;
  for (const Route& route : network.routes) numbers.push_back(route.company);
  return numbers;
}

// Loads the network; its routes' company numbers, and how many companies there are.
struct Grouped {
  std::vector<std::uint16_t> numbers;
  std::size_t companies;
};
Grouped Group(const NetworkDescription& description) {
  const Network network = LoadNetwork(description).network;
  return {Companies(network), network.companies.size()};
}

constexpr std::uint16_t kNone = kNoIndex;

TEST(AssignCompanies, NumbersCompaniesInOrderOfFirstAppearance) {
  const Grouped grouped = Group(Routes({{"A1", 1}, {"A2", 1}, {"B1", 1}, {"A3", 1}}));
  EXPECT_EQ(grouped.numbers, (std::vector<std::uint16_t>{kNone, 0, 0, 1, 0}));
  EXPECT_EQ(grouped.companies, 2u);
}

TEST(AssignCompanies, RoutesWithoutACompanyFormTheLastGroup) {
  const Grouped grouped = Group(Routes({{"A1", 1}, {"nameless", 0}, {"B1", 1}, {"A2", 1}}));
  EXPECT_EQ(grouped.numbers, (std::vector<std::uint16_t>{kNone, 0, 2, 1, 0}));
  EXPECT_EQ(grouped.companies, 3u);
}

TEST(AssignCompanies, TheSameBytesWithDifferentLengthsAreDifferentCompanies) {
  EXPECT_EQ(Group(Routes({{"ABCD", 2}, {"ABCD", 3}, {"ABXX", 2}, {"ABCE", 3}})).numbers,
            (std::vector<std::uint16_t>{kNone, 0, 1, 0, 1}));
}

TEST(AssignCompanies, ShiftJisPrefixesCompareAsRawBytes) {
  // Two-byte characters: the first company is 2 characters long, 4 bytes.
  EXPECT_EQ(Group(Routes({{"\x93\x8c\x93\x73\x90\xfc", 4}, {"\x93\x8c\x93\x73\x96\x7b", 4}, {"\x93\x8c\x8b\x9e", 4}}))
                .numbers,
            (std::vector<std::uint16_t>{kNone, 0, 0, 1}));
}

TEST(AssignCompanies, WithNoRouteBeyondRouteZeroNothingIsAssigned) {
  const Grouped grouped = Group(Routes({}));
  EXPECT_EQ(grouped.numbers, (std::vector<std::uint16_t>{kNone}));
  EXPECT_EQ(grouped.companies, 0u);
  EXPECT_EQ(Group(NetworkDescription{}).companies, 0u);
}

TEST(AssignCompanies, ALengthBeyondTheNameCountsTheRestAsNul) {
  // "AB" with length 5 is "AB\0\0\0": equal to "AB" with length 5, not to "ABC".
  EXPECT_EQ(Group(Routes({{"AB", 5}, {"ABC", 5}, {"AB", 5}, {"ABC", 255}})).numbers,
            (std::vector<std::uint16_t>{kNone, 0, 1, 0, 2}));
}

TEST(AssignCompanies, ALastStringWithoutItsNulEndsAtThePool) {
  NetworkDescription network = Routes({{"XY", 4}});
  network.strings.clear();
  network.raw_string_index = std::vector<std::uint16_t>{0, 0, 2};
  network.raw_pool = std::string("XYXY", 4);  // route 1 names "XY" from offset 2 up to the end, no NUL
  network.routes[1].name_index = 2;
  network.routes.push_back(network.routes[1]);
  network.routes[2].name_index = 1;  // "XYXY" from offset 0: a different company at length 4
  EXPECT_EQ(Group(network).numbers, (std::vector<std::uint16_t>{kNone, 0, 1}));
}

TEST(AssignCompanies, LongNamesAreComparedWithoutLimit) {
  const std::string long_name(300, 'L');
  EXPECT_EQ(Group(Routes({{long_name, 255}, {long_name + "x", 255}, {std::string(254, 'L') + "M", 255}})).numbers,
            (std::vector<std::uint16_t>{kNone, 0, 0, 1}));
}

std::vector<NamedRoute> DistinctCompanies(int count) {
  std::vector<NamedRoute> routes;
  for (int i = 0; i < count; ++i) routes.push_back({"C" + std::to_string(100 + i) + " line", 4});
  return routes;
}

TEST(AssignCompanies, FortyCompaniesFit) {
  const Grouped grouped = Group(Routes(DistinctCompanies(40)));
  EXPECT_EQ(grouped.companies, 40u);
  EXPECT_EQ(grouped.numbers.back(), 39);
}

TEST(AssignCompanies, AFortyFirstCompanyFails) {
  const std::string text = FatalText([] { LoadNetwork(Routes(DistinctCompanies(41))); });
  EXPECT_EQ(text.rfind("Assertion failed: Num_kaisya < MAX_KAISYA", 0), 0u) << text;
}

TEST(AssignCompanies, FortyCompaniesLeaveNoRoomForTheUnnamedGroup) {
  std::vector<NamedRoute> routes = DistinctCompanies(40);
  routes.push_back({"nameless", 0});
  const std::string text = FatalText([&] { LoadNetwork(Routes(routes)); });
  EXPECT_EQ(text.rfind("Assertion failed: Num_kaisya < MAX_KAISYA", 0), 0u) << text;
  routes.erase(routes.begin());
  EXPECT_EQ(Group(Routes(routes)).numbers.back(), 39);
}

TEST(AssignCompanies, RouteNamesOutsideTheStringTableAreRefused) {
  NetworkDescription network = Routes({{"A1", 1}});
  network.routes[1].name_index = 2;  // two strings: 0 and 1
  EXPECT_NE(FatalText([&] { LoadNetwork(network); }).find("route 1 names string 2, but there are only 2 strings"),
            std::string::npos);
  network = Routes({{"A1", 0}});
  network.strings.clear();
  network.raw_string_index = std::vector<std::uint16_t>{0, 3};
  network.raw_pool = std::string("ab\0", 3);
  EXPECT_NE(
      FatalText([&] { LoadNetwork(network); }).find("route 1 names string 1 at pool offset 3, outside the 3-byte"),
      std::string::npos);
  network.routes[1].name_index = 0;
  network.routes[0].name_index = 1;  // route 0 is never grouped, so its name is not read
  EXPECT_EQ(Group(network).companies, 1u);
}

}  // namespace
