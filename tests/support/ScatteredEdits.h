// A copy of the largest input with 100 edits scattered through it, as people
// make them between two releases of a network: stations renamed, stops moved,
// a route replaced by a new one, edges given other values. The benchmark
// compares it with the original; the tool tests check that the difference is
// exactly these edits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "tests/support/SampleNetworks.h"

namespace samples {

struct ScatteredEdits {
  NetworkDescription network;
  std::size_t renamed_stations = 0;  // each takes the name of the next string: a namesake of others
  std::size_t moved_stops = 0;       // each swaps a route's first two stops
  std::size_t changed_edges = 0;     // each edge keeps its ends and takes another value
  std::uint16_t replaced_route = 0;  // the last route, replaced by a new one with another name and stops
};

// Largest() with 25 stations renamed (half of them on routes, half on none),
// 25 stops moved on other routes, the last route replaced, and 49 edges
// changed: 100 edits.
inline ScatteredEdits LargestWithScatteredEdits() {
  ScatteredEdits edits;
  NetworkDescription& network = edits.network = Largest();
  // Routes r stop at stations r to r + 4: a moved stop on route 100 + 180k stays clear of the
  // stations renamed on routes, 190 + 180k.
  for (std::size_t k = 0; k < 25; ++k) {
    std::vector<StopDescription>& stops = network.routes[100 + 180 * k].stops;
    std::swap(stops[0], stops[1]);
    ++edits.moved_stops;
    const std::size_t station = k % 2 == 0 ? 190 + 180 * k : 5000 + 450 * k;
    ++network.stations[station].name_string;
    ++edits.renamed_stations;
  }
  edits.replaced_route = W(network.routes.size() - 1);
  RouteDescription& route = network.routes.back();
  route.name_index = W(route.name_index + 500);
  for (std::size_t j = 0; j < route.stops.size(); ++j) route.stops[j].station = W(9000 + 7 * j);
  for (std::size_t k = 0; k < 49; ++k) {
    network.nodes[2 + 133 * k].edges.at(0).value ^= 0x0100;
    ++edits.changed_edges;
  }
  return edits;
}

}  // namespace samples
