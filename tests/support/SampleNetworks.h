// Valid networks made with the builder: small ones with every kind of record,
// and ones at every limit the converter accepts. The fuzzer's seeds, the
// benchmark's inputs and the hostile-input suite's accepted neighbours all
// come from here, so each limit is written down once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "network/NetworkFile.h"

namespace samples {

// The largest counts the converter accepts (each table's image record stays
// below 65536 bytes).
inline constexpr std::size_t kMostStations = 16383;
inline constexpr std::size_t kMostRoutes = 4681;
inline constexpr std::uint16_t kMostRStatCapacity = 16383;
inline constexpr std::size_t kMostNodes = 6533;
inline constexpr std::size_t kMostEdges = 16383;
inline constexpr std::size_t kMostStrings = 32767;
inline constexpr std::size_t kMostPoolBytes = 65535;
inline constexpr std::size_t kMostCompanies = 40;
inline constexpr std::size_t kDefaultEdgeCapacity = 10000;

inline std::uint16_t W(std::size_t value) { return static_cast<std::uint16_t>(value); }

inline std::vector<StationDescription> Stations(std::size_t count) {
  std::vector<StationDescription> stations;
  stations.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    stations.push_back({W(0x100 + i), W(0x8000 + i), W(0xEEEE), W(count - 1 - i), W(i * 7 % (count ? count : 1))});
  return stations;
}

// `count` routes whose stop counts add up to exactly `total_stops`, spread as
// evenly as possible; route i names string i % strings, and every route from
// 1 on whose company length is not 0 names one of `companies` companies.
inline std::vector<RouteDescription> Routes(std::size_t count, std::size_t total_stops, std::size_t strings,
                                            std::size_t stations) {
  std::vector<RouteDescription> routes;
  routes.reserve(count);
  for (std::size_t r = 0; r < count; ++r) {
    RouteDescription route;
    route.name_index = W(strings ? r % strings : 0);
    route.opaque_word = W(0x1000 + r);
    route.opaque_byte = static_cast<std::uint8_t>(r);
    route.trailer = W(0x7000 + r);
    const std::size_t stops = total_stops / count + (r < total_stops % count ? 1 : 0);
    for (std::size_t j = 0; j < stops; ++j) route.stops.push_back({W(stations ? (r + j) % stations : j), W(j)});
    routes.push_back(std::move(route));
  }
  return routes;
}

// Names "Cnn line mm" whose first four bytes ("Cnn ") name company nn.
inline std::vector<std::string> CompanyNames(std::size_t count, std::size_t companies) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t company = companies ? i % companies : 0;
    std::string name(1, 'C');  // appended piece by piece: GCC 12 warns falsely on "C" + std::string
    name.append(std::to_string(10 + company)).append(" line ").append(std::to_string(i));
    names.push_back(std::move(name));
  }
  return names;
}

// Nodes with `edges` edges in all, spread over the nodes from node 2 on.
inline std::vector<NodeDescription> Nodes(std::size_t count, std::size_t edges) {
  std::vector<NodeDescription> nodes(count);
  for (std::size_t i = 0; i < count; ++i) {
    nodes[i].station = W(0x4000 + i);
    nodes[i].route = W(i * 3);
  }
  const std::size_t owners = count > 2 ? count - 2 : count;
  for (std::size_t e = 0; e < edges && owners > 0; ++e) {
    NodeDescription& node = nodes[count > 2 ? 2 + e % owners : e % owners];
    node.edges.push_back({W((e % 3 == 0 ? 0x8000 : 0) | (e % (count ? count : 1))), W(e)});
  }
  return nodes;
}

// Every kind of record at least once: nodes with and without edges, stations,
// routes with stops (one with none), strings and trailer words.
inline NetworkDescription Tiny() {
  NetworkDescription network;
  network.stations = Stations(3);
  network.strings = {"Route zero", "AAA north", "AAA south", "BB loop"};
  network.routes = Routes(4, 6, 4, 3);
  network.routes[1].company_length = 3;
  network.routes[2].company_length = 3;
  network.routes[3].company_length = 0;
  network.routes[3].stops.clear();
  network.nodes = Nodes(4, 5);
  return network;
}

// All counts 0: the smallest valid file.
inline NetworkDescription Empty() { return NetworkDescription{}; }

// More than one chunk of string index (257 words) and of pool (over 512 bytes).
inline NetworkDescription Chunked() {
  NetworkDescription network;
  network.stations = Stations(20);
  network.strings = CompanyNames(257, 7);
  network.routes = Routes(30, 40, 257, 20);
  for (std::size_t r = 1; r < network.routes.size(); ++r) network.routes[r].company_length = r % 5 == 0 ? 0 : 4;
  network.nodes = Nodes(12, 30);
  return network;
}

inline NetworkDescription MostStations() {
  NetworkDescription network;
  network.stations = Stations(kMostStations);
  network.header.rstat_capacity = 8;  // twice 16383 would not fit, so Q is given
  network.strings = {"Only route"};
  network.routes = Routes(1, 4, 1, kMostStations);
  return network;
}

inline NetworkDescription MostRoutes() {
  NetworkDescription network;
  network.stations = Stations(50);
  network.strings = CompanyNames(39, 39);
  network.routes = Routes(kMostRoutes, 100, 39, 50);
  network.header.rstat_capacity = 101;  // a route may start only below the last slot, even with no stops
  // 39 named companies and the unnamed group: 40 in all.
  for (std::size_t r = 1; r < network.routes.size(); ++r) network.routes[r].company_length = r % 11 == 0 ? 0 : 4;
  return network;
}

// Q = 16383, filled to the last slot.
inline NetworkDescription FullRouteStations() {
  NetworkDescription network;
  network.stations = Stations(100);
  network.header.rstat_capacity = kMostRStatCapacity;
  network.strings = {"R"};
  network.routes = Routes(64, kMostRStatCapacity, 1, 100);
  return network;
}

inline NetworkDescription MostNodes() {
  NetworkDescription network;
  network.nodes = Nodes(kMostNodes, 2000);
  return network;
}

inline NetworkDescription MostEdges() {
  NetworkDescription network;
  network.header.edge_capacity = 0x7FFF;
  network.nodes = Nodes(40, kMostEdges);
  return network;
}

// Edge capacity 0 means 10000, and exactly that many edges load.
inline NetworkDescription DefaultEdgeCapacityFull() {
  NetworkDescription network;
  network.nodes = Nodes(30, kDefaultEdgeCapacity);
  return network;
}

// A pool of 65535 bytes: many names, the last one padded to fill the pool.
inline NetworkDescription LargestPool() {
  NetworkDescription network;
  network.strings = CompanyNames(3000, 30);
  std::size_t pool = 0;
  for (const std::string& text : network.strings) pool += text.size() + 1;
  network.strings.back() += std::string(kMostPoolBytes - pool, 'z');
  network.routes = Routes(200, 0, 3000, 0);
  network.header.rstat_capacity = 1;
  for (std::size_t r = 1; r < network.routes.size(); ++r) network.routes[r].company_length = 4;
  return network;
}

// 32767 index entries over a small pool (entries may share a string).
inline NetworkDescription MostStrings() {
  NetworkDescription network;
  network.raw_pool = std::string("A1 first\0B2 second\0C3 third", 28);
  std::vector<std::uint16_t> index(kMostStrings);
  for (std::size_t i = 0; i < index.size(); ++i) index[i] = W(i % 3 * 9 + i % 2);
  network.raw_string_index = index;
  network.routes = Routes(300, 10, kMostStrings, 0);
  network.header.rstat_capacity = 11;
  for (RouteDescription& route : network.routes) route.name_index = W(route.name_index * 109 % kMostStrings);
  for (std::size_t r = 1; r < network.routes.size(); ++r)
    network.routes[r].company_length = static_cast<std::uint8_t>(r % 4);
  return network;
}

// Exactly 40 named companies and no unnamed route.
inline NetworkDescription FortyCompanies() {
  NetworkDescription network;
  network.strings = CompanyNames(kMostCompanies, kMostCompanies);
  network.routes = Routes(kMostCompanies * 2 + 1, 0, kMostCompanies, 0);
  network.header.rstat_capacity = 1;
  for (std::size_t r = 1; r < network.routes.size(); ++r) {
    network.routes[r].name_index = W((r - 1) % kMostCompanies);
    network.routes[r].company_length = 4;
  }
  return network;
}

// Every table at once as large as the image allows: the largest valid input.
inline NetworkDescription Largest() {
  NetworkDescription network;
  network.stations = Stations(kMostStations);
  network.header.rstat_capacity = kMostRStatCapacity;
  network.header.edge_capacity = 0x7FFF;
  network.strings = CompanyNames(1000, 39);
  std::size_t pool = 0;
  for (const std::string& text : network.strings) pool += text.size() + 1;
  network.strings.back() += std::string(kMostPoolBytes - pool, 'z');
  StringTableBytes laid_out = LayOutStrings(network);
  std::vector<std::uint16_t> index(kMostStrings);
  for (std::size_t i = 0; i < index.size(); ++i) index[i] = laid_out.index[i % laid_out.index.size()];
  network.raw_string_index = index;
  network.routes = Routes(kMostRoutes, kMostRStatCapacity, kMostStrings, kMostStations);
  for (std::size_t r = 1; r < network.routes.size(); ++r) network.routes[r].company_length = r % 13 == 0 ? 0 : 4;
  network.nodes = Nodes(kMostNodes, kMostEdges);
  return network;
}

// A typical small network: a few hundred stations, dozens of routes.
inline NetworkDescription Typical() {
  NetworkDescription network;
  network.stations = Stations(400);
  network.strings = CompanyNames(60, 8);
  network.routes = Routes(60, 900, 60, 400);
  network.header.rstat_capacity = 1000;
  for (std::size_t r = 1; r < network.routes.size(); ++r) network.routes[r].company_length = r % 9 == 0 ? 0 : 4;
  network.nodes = Nodes(500, 1500);
  return network;
}

struct Sample {
  const char* name;
  NetworkDescription (*make)();
};

inline const std::vector<Sample>& AllSamples() {
  static const std::vector<Sample> samples = {
      {"tiny", Tiny},
      {"empty", Empty},
      {"chunked", Chunked},
      {"most-stations", MostStations},
      {"most-routes", MostRoutes},
      {"full-route-stations", FullRouteStations},
      {"most-nodes", MostNodes},
      {"most-edges", MostEdges},
      {"default-edge-capacity-full", DefaultEdgeCapacityFull},
      {"largest-pool", LargestPool},
      {"most-strings", MostStrings},
      {"forty-companies", FortyCompanies},
      {"typical", Typical},
      {"largest", Largest},
  };
  return samples;
}

// Writes the file `network` makes to `path`; returns its size in bytes.
inline std::size_t WriteNetworkFile(const std::filesystem::path& path, const NetworkDescription& network) {
  const std::vector<std::uint8_t> bytes = BuildNetworkFile(network);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return bytes.size();
}

}  // namespace samples
