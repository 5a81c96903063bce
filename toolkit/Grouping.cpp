#include "toolkit/Grouping.h"

#include "network/Companies.h"
#include "network/Network.h"

namespace {

// What grouping reads of a network: its string table, and each route's name
// and company-name length as `naming` gives them.
template <typename Routes, typename Naming>
std::vector<std::uint16_t> Group(const Routes& routes, Naming naming, const std::vector<std::uint16_t>& string_index,
                                 std::string_view pool) {
  Network network;
  network.string_index = string_index;
  network.string_pool.assign(pool.begin(), pool.end());
  for (const auto& route : routes) naming(route, network.routes.emplace_back());
  return CompanyNumbers(network);
}

}  // namespace

std::vector<std::uint16_t> CompanyNumbersOf(const std::vector<RouteEntry>& routes,
                                            const std::vector<std::uint16_t>& string_index, std::string_view pool) {
  const auto naming = [](const RouteEntry& entry, Route& route) {
    route.name = entry.name_index.value_or(0);
    route.company_length = entry.company_length.value_or(0);
  };
  return Group(routes, naming, string_index, pool);
}

std::vector<std::uint16_t> CompanyNumbersOf(const std::vector<RouteDescription>& routes,
                                            const std::vector<std::uint16_t>& string_index, std::string_view pool) {
  const auto naming = [](const RouteDescription& description, Route& route) {
    route.name = description.name_index;
    route.company_length = description.company_length;
  };
  return Group(routes, naming, string_index, pool);
}
