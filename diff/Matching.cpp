// Which stations, routes and nodes of two networks are partners: stations and
// routes by name, namesakes by their neighbours, renamed items by their place,
// nodes by what their words name (see Diff.h).
#include <algorithm>
#include <functional>
#include <optional>

#include "diff/Comparison.h"
#include "network/IntermediateFormat.h"

namespace diff {

namespace {

// Renames found in one round place others; rounds end when one finds none.
constexpr int kMostRounds = 8;

std::uint64_t CompanyKey(const RouteEntry& route, Names& names) {
  if (!route.company || !*route.company) return kNoKey;
  return route.company_name ? names.Of(*route.company_name, route.company_name_bytes) : names.Made("c");
}

// Pairs the items of a matching, first by name, then by place, then the nodes.
class Matcher {
 public:
  explicit Matcher(Matching& m)
      : old_(m.old_side), new_(m.new_side), stations_(m.stations), routes_(m.routes), nodes_(m.nodes) {}

  void Run() {
    PairByName();
    for (int round = 0; round < kMostRounds; ++round) {
      const std::size_t paired = stations_.Count() + routes_.Count();
      PairByKey(StationPlaces(true), StationPlaces(false), stations_);
      PairByKey(RoutePlaces(true), RoutePlaces(false), routes_);
      if (stations_.Count() + routes_.Count() == paired) break;
    }
    PairAligned(NodeKeys(true), NodeKeys(false), nodes_,
                [this](bool old, std::uint32_t i) { return NodeContext(old, i); });
  }

 private:
  const Side& Of(bool old) const { return old ? old_ : new_; }

  // -- Names.

  void PairByName() {
    PairAligned(old_.station_name, new_.station_name, stations_,
                [this](bool old, std::uint32_t s) { return StationNeighbours(old, s); });
    PairAligned(old_.route_name, new_.route_name, routes_,
                [this](bool old, std::uint32_t r) { return RouteNeighbours(old, r); });
  }

  // A station's neighbours by name: at each stop, the route and the stations before and after it.
  std::vector<std::uint64_t> StationNeighbours(bool old, std::uint32_t s) const {
    const Side& side = Of(old);
    std::vector<std::uint64_t> items;
    for (auto [r, j] : side.stops_at[s]) {
      const std::vector<std::uint32_t>& stops = side.stops[r];
      const std::uint64_t before = j > 0 ? side.StationName(stops[j - 1]) : kStart;
      const std::uint64_t after = j + 1 < stops.size() ? side.StationName(stops[j + 1]) : kEnd;
      items.push_back(Mix(Mix(side.route_name[r], before), after));
    }
    std::sort(items.begin(), items.end());
    return items;
  }

  // A route's neighbours by name: its company and the stations it stops at.
  std::vector<std::uint64_t> RouteNeighbours(bool old, std::uint32_t r) const {
    const Side& side = Of(old);
    std::vector<std::uint64_t> items = {Mix(kCompany, side.company[r])};
    for (std::uint32_t s : side.stops[r]) items.push_back(side.StationName(s));
    std::sort(items.begin(), items.end());
    return items;
  }

  // -- Places: what a renamed item keeps.

  // The nearest item before each that has a partner, as both sides know it.
  static std::vector<std::uint64_t> PlacesInTable(const Pairing& pairing, bool old, std::size_t count) {
    std::vector<std::uint64_t> places(count);
    std::uint64_t last = kStart;
    for (std::uint32_t i = 0; i < count; ++i) {
      places[i] = Mix(kTable, last);
      if (pairing.Common(old, i) != kNone) last = Mix(kPaired, pairing.Common(old, i));
    }
    return places;
  }

  // What a station, route or node word is to both sides, where known; `known` tells whether it was.
  std::uint64_t Known(const Pairing& pairing, bool old, std::uint32_t i, bool exists, bool& known) const {
    if (!exists) return Mix(kMissing, i);
    const std::uint32_t common = pairing.Common(old, i);
    known = known || common != kNone;
    return common != kNone ? Mix(kPaired, common) : kUnknown;
  }

  // The places of one side's items without a partner (kNoKey for the
  // others): what `place` makes of an item, or where it has no neighbours,
  // its place in the table.
  template <typename PlaceOf>
  static std::vector<std::uint64_t> Places(const Pairing& pairing, bool old, std::size_t count, const PlaceOf& place) {
    const std::vector<std::uint64_t> in_table = PlacesInTable(pairing, old, count);
    std::vector<std::uint64_t> places(count, kNoKey);
    for (std::uint32_t i = 0; i < count; ++i)
      if (!pairing.Paired(old, i)) places[i] = place(i).value_or(in_table[i]);
    return places;
  }

  // Neighbours as a place: kNoKey where none of them is known.
  static std::uint64_t Place(std::vector<std::uint64_t>& items, bool known) {
    std::sort(items.begin(), items.end());
    return known ? Fold(items) : kNoKey;
  }

  std::vector<std::uint64_t> StationPlaces(bool old) const {
    return Places(stations_, old, Of(old).stations.size(), [&](std::uint32_t s) { return StationPlace(old, s); });
  }
  std::vector<std::uint64_t> RoutePlaces(bool old) const {
    return Places(routes_, old, Of(old).routes.size(), [&](std::uint32_t r) { return RoutePlace(old, r); });
  }

  // A station's place: its stops (the route, the stations before and after
  // it) and its nodes (their route); none without either.
  std::optional<std::uint64_t> StationPlace(bool old, std::uint32_t s) const {
    const Side& side = Of(old);
    if (side.stops_at[s].empty() && side.nodes_at[s].empty()) return std::nullopt;
    bool known = false;
    std::vector<std::uint64_t> items;
    for (auto [r, j] : side.stops_at[s]) items.push_back(StopPlace(side, old, r, j, known));
    for (std::uint32_t node : side.nodes_at[s]) {
      const std::uint16_t b = side.nodes[node].route.value_or(0);
      items.push_back(Mix(kNode, side.IsRoute(b) ? Known(routes_, old, b, true, known) : Mix(kRawRoute, b)));
    }
    return Place(items, known);
  }

  std::uint64_t StopPlace(const Side& side, bool old, std::uint32_t r, std::uint32_t j, bool& known) const {
    const std::vector<std::uint32_t>& stops = side.stops[r];
    const auto station = [&](std::uint32_t s) { return Known(stations_, old, s, side.IsStation(s), known); };
    const std::uint64_t before = j > 0 ? station(stops[j - 1]) : kStart;
    const std::uint64_t after = j + 1 < stops.size() ? station(stops[j + 1]) : kEnd;
    return Mix(Mix(Mix(kStop, Known(routes_, old, r, true, known)), before), after);
  }

  // A route's place: the stations it stops at (in any order: its stops may
  // have moved); none without stops.
  std::optional<std::uint64_t> RoutePlace(bool old, std::uint32_t r) const {
    const Side& side = Of(old);
    if (side.stops[r].empty()) return std::nullopt;
    bool known = false;
    std::vector<std::uint64_t> items;
    for (std::uint32_t s : side.stops[r]) items.push_back(Known(stations_, old, s, side.IsStation(s), known));
    const std::uint64_t place = Place(items, known);
    return place == kNoKey ? kNoKey : Mix(kStop, place);
  }

  // -- Nodes: known by what their words name.

  std::uint64_t NodeKey(bool old, std::uint32_t i) const {
    const Side& side = Of(old);
    const NodeEntry& node = side.nodes[i];
    if (node.role) return Mix(kRole, std::hash<std::string>()(*node.role));
    const std::uint16_t a = node.station.value_or(0), b = node.route.value_or(0);
    const std::uint64_t station = side.IsStation(a) ? Identity(stations_, old, a) : Mix(kRawStation, a);
    const std::uint64_t route = side.IsRoute(b) ? Identity(routes_, old, b) : Mix(kRawRoute, b);
    return Mix(station, route);
  }

  std::vector<std::uint64_t> NodeKeys(bool old) const {
    std::vector<std::uint64_t> keys;
    for (std::uint32_t i = 0; i < Of(old).nodes.size(); ++i) keys.push_back(NodeKey(old, i));
    return keys;
  }

  // A node's neighbours: the nodes its edges lead to.
  std::vector<std::uint64_t> NodeContext(bool old, std::uint32_t i) const {
    std::vector<std::uint64_t> items;
    for (const EdgeEntry& edge : Items(Of(old).nodes[i].edges)) {
      const std::uint32_t to = edge.target.value_or(0) & intermediate::kEdgeTargetMask;
      items.push_back(to < Of(old).nodes.size() ? NodeKey(old, to) : Mix(kMissing, to));
    }
    std::sort(items.begin(), items.end());
    return items;
  }

  const Side &old_, &new_;
  Pairing &stations_, &routes_, &nodes_;
};

}  // namespace

Matching::Matching(const Document& old_doc, const Document& new_doc)
    : old_side(old_doc, names),
      new_side(new_doc, names),
      stations(old_side.stations.size(), new_side.stations.size()),
      routes(old_side.routes.size(), new_side.routes.size()),
      nodes(old_side.nodes.size(), new_side.nodes.size()) {
  Matcher(*this).Run();
}

Side::Side(const Document& doc_, Names& names)
    : doc(doc_), stations(Items(doc_.stations)), routes(Items(doc_.routes)), nodes(Items(doc_.nodes)) {
  for (const StationEntry& s : stations)
    station_name.push_back(s.name ? names.Of(*s.name, s.name_bytes)
                                  : names.Made("a" + std::to_string(s.name_string.value_or(0))));
  stops_at.resize(stations.size());
  nodes_at.resize(stations.size());
  for (std::uint32_t r = 0; r < routes.size(); ++r) {
    const RouteEntry& route = routes[r];
    route_name.push_back(route.name && *route.name ? names.Of(**route.name, route.name_bytes)
                                                   : names.Made("r" + std::to_string(route.name_index.value_or(0))));
    company.push_back(CompanyKey(route, names));
    std::vector<std::uint32_t>& at = stops.emplace_back();
    for (const StopEntry& stop : Items(route.stops)) {
      const std::uint32_t s = stop.station && stop.station->number ? *stop.station->number : 0;
      if (IsStation(s)) stops_at[s].emplace_back(r, static_cast<std::uint32_t>(at.size()));
      at.push_back(s);
    }
  }
  for (std::uint32_t i = 0; i < nodes.size(); ++i) {
    const std::uint16_t station = nodes[i].station.value_or(0);
    if (!nodes[i].role && IsStation(station)) nodes_at[station].push_back(i);
  }
}

Named StationNamed(const Side& side, std::uint32_t s) {
  Named named{s, std::nullopt, std::nullopt};
  if (side.IsStation(s)) {
    named.name = side.stations[s].name;
    named.name_bytes = side.stations[s].name_bytes;
  }
  return named;
}

Named RouteNamed(const Side& side, std::uint32_t r) {
  Named named{r, std::nullopt, std::nullopt};
  if (side.IsRoute(r) && side.routes[r].name && *side.routes[r].name) {
    named.name = **side.routes[r].name;
    named.name_bytes = side.routes[r].name_bytes;
  }
  return named;
}

}  // namespace diff
