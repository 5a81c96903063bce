// Writes the inputs the web page is compared with the native programs on, one
// file each in the given folder: every sample network (small, typical and at
// each limit the converter accepts), one past each limit, header fields the
// converter refuses, and random networks of every size with Japanese names,
// some with company counts or string references out of range. The test adds
// cuts and damaged bytes of these. The same seed gives the same files.
// Usage: fenwa_web_inputs FOLDER
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/SampleNetworks.h"

namespace {

using samples::W;

// Station and route names in Shift_JIS: kanji, kana and ASCII.
const std::vector<std::string> kNameParts = {
    "\x93\x8c\x8b\x9e",          // 東京
    "\x91\xe5\x8d\xe3",          // 大阪
    "\x8b\x9e\x93\x73",          // 京都
    "\x82\xb3\x82\xad\x82\xe7",  // さくら
    "\x83\x7e\x83\x69\x83\x67",  // ミナト
    "Central",
    "\x96\x6b",  // 北
    "\x93\xec",  // 南
    "\x89\x77",  // 駅
    "\x90\xfc",  // 線
};

std::string RandomName(std::mt19937& random, std::size_t parts) {
  std::string name;
  for (std::size_t i = 0; i < parts; ++i) name += kNameParts[random() % kNameParts.size()];
  return name;
}

// A network of `stations` stations, `routes` routes and `nodes` nodes whose
// names, stops and edges are drawn at random; company names are the first
// word of route names, so that routes group into a few companies.
NetworkDescription RandomNetwork(std::mt19937& random, std::size_t stations, std::size_t routes, std::size_t nodes) {
  NetworkDescription network;
  for (std::size_t i = 0; i < stations; ++i) {
    network.strings.push_back(RandomName(random, 1 + random() % 3));
    network.stations.push_back({W(network.strings.size() - 1), W(random() % 0x10000), 0, W(random() % (stations + 1)),
                                W(random() % (stations + 1))});
  }
  const std::size_t companies = 1 + random() % 6;
  for (std::size_t r = 0; r < routes; ++r) {
    RouteDescription route;
    const std::string company = kNameParts[r % companies];
    network.strings.push_back(company + RandomName(random, 1 + random() % 2));
    route.name_index = W(network.strings.size() - 1);
    route.company_length = r == 0 || random() % 7 == 0 ? 0 : static_cast<std::uint8_t>(company.size());
    route.opaque_word = W(random() % 0x10000);
    route.opaque_byte = static_cast<std::uint8_t>(random());
    route.trailer = W(random() % 0x10000);
    const std::size_t stops = stations ? random() % (stations < 12 ? stations + 1 : 12) : 0;
    for (std::size_t j = 0; j < stops; ++j) route.stops.push_back({W(random() % stations), W(random() % 0x10000)});
    network.routes.push_back(std::move(route));
  }
  for (std::size_t n = 0; n < nodes; ++n) {
    NodeDescription node;
    node.station = W(stations ? random() % stations : 0);
    node.route = W(routes ? random() % routes : 0);
    const std::size_t edges = n < 2 ? 0 : random() % 4;
    for (std::size_t e = 0; e < edges; ++e) node.edges.push_back({W(random() % nodes), W(random() % 1000)});
    network.nodes.push_back(std::move(node));
  }
  return network;
}

void Write(const std::filesystem::path& folder, const std::string& name, const NetworkDescription& network) {
  std::printf("%-40s %7zu bytes\n", name.c_str(), samples::WriteNetworkFile(folder / (name + ".dat"), network));
}

NetworkDescription Changed(NetworkDescription (*make)(), const std::function<void(NetworkDescription&)>& change) {
  NetworkDescription network = make();
  change(network);
  return network;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const samples::Sample& sample : samples::AllSamples()) Write(folder, sample.name, sample.make());

    // One past each limit, and header fields the converter refuses.
    Write(folder, "past-stations", Changed(samples::MostStations, [](auto& n) { n.stations.push_back({}); }));
    Write(folder, "past-routes", Changed(samples::MostRoutes, [](auto& n) { n.routes.push_back(n.routes[1]); }));
    Write(folder, "past-nodes", Changed(samples::MostNodes, [](auto& n) { n.nodes.push_back({}); }));
    Write(folder, "past-edges", Changed(samples::MostEdges, [](auto& n) { n.nodes[5].edges.push_back({1, 1}); }));
    Write(folder, "past-capacity",
          Changed(samples::FullRouteStations, [](auto& n) { n.header.rstat_capacity = 16384; }));
    Write(folder, "past-companies", Changed(samples::FortyCompanies, [](auto& n) {
            n.routes[0].company_length = 0;
            n.routes.push_back(n.routes[0]);
          }));
    Write(folder, "bad-magic", Changed(samples::Tiny, [](auto& n) { n.header.magic[2] = '3'; }));
    Write(folder, "stations-minus-1", Changed(samples::Tiny, [](auto& n) { n.header.station_count = 0xFFFF; }));
    Write(folder, "routes-minus-1", Changed(samples::Tiny, [](auto& n) { n.header.route_count = 0xFFFF; }));
    Write(folder, "strings-minus-1", Changed(samples::Tiny, [](auto& n) { n.header.string_count = 0xFFFF; }));
    Write(folder, "nodes-65535", Changed(samples::Tiny, [](auto& n) { n.header.node_count = 0xFFFF; }));
    Write(folder, "pool-too-short", Changed(samples::Tiny, [](auto& n) { n.header.pool_size = 3; }));
    Write(folder, "base-far", Changed(samples::Tiny, [](auto& n) { n.header.base_offset = 0x7FFFFFF0; }));
    Write(folder, "trailer-far", Changed(samples::Tiny, [](auto& n) { n.header.trailer_offset = 0x80000000; }));
    Write(folder, "trailer-first",
          Changed(samples::Chunked, [](auto& n) { n.order = SectionOrder::kTrailerThenBase; }));
    Write(folder, "route-name-outside", Changed(samples::Tiny, [](auto& n) { n.routes[2].name_index = 4000; }));
    Write(folder, "stop-count-lies", Changed(samples::Tiny, [](auto& n) { n.routes[1].station_count = 9000; }));
    Write(folder, "edge-count-lies", Changed(samples::Tiny, [](auto& n) { n.nodes[2].edge_count = 20000; }));

    // Random networks, from empty to a few hundred stations.
    std::mt19937 random(20261209);
    for (int i = 0; i < 70; ++i) {
      const std::size_t stations = i < 10 ? static_cast<std::size_t>(i) : random() % (i < 60 ? 60 : 600);
      const std::size_t routes = random() % (stations / 3 + 3);
      const std::size_t nodes = random() % (stations + 3);
      NetworkDescription network = RandomNetwork(random, stations, routes, nodes);
      // Some with header fields drawn at random too: most of them refused.
      if (i % 5 == 4) network.header.rstat_capacity = W(random() % 40);
      if (i % 7 == 6) network.header.edge_capacity = W(random() % 8);
      if (i % 11 == 10) network.header.string_count = W(random() % 0x10000);
      Write(folder, "random-" + std::to_string(i), network);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "fenwa_web_inputs: %s\n", failure.what());
    return 1;
  }
  return 0;
}
