// The lists of what changed between two networks whose partners are known:
// stations, routes and their stops, companies, the graph's nodes and edges.
#include <algorithm>
#include <optional>

#include "diff/Comparison.h"
#include "network/IntermediateFormat.h"

namespace diff {

namespace {

std::string NameOf(const Named& named, const char* what) {
  return named.name ? *named.name : std::string(what) + " " + std::to_string(named.number);
}

// The node an edge leads to as people know it: by its station, with its
// route when that is another than `route` (the route of the node the edge
// leaves), with `numbered` after its number; by its number where its words
// name no station.
std::string TargetText(const Side& side, std::uint32_t to, std::uint16_t route, bool numbered) {
  const std::string number = "node " + std::to_string(to);
  if (to >= side.nodes.size()) return number + " (no such node)";
  const NodeEntry& node = side.nodes[to];
  if (node.role) return number + " (" + *node.role + ")";
  const std::uint16_t a = node.station.value_or(0), b = node.route.value_or(0);
  if (!side.IsStation(a)) return number;
  std::string text = (numbered ? std::to_string(to) + " " : "") + NameOf(StationNamed(side, a), "station");
  if (b == route) return text;
  return text + " (" + (side.IsRoute(b) ? NameOf(RouteNamed(side, b), "route") : "B " + std::to_string(b)) + ")";
}

class Lists {
 public:
  explicit Lists(const Matching& m)
      : old_(m.old_side), new_(m.new_side), stations_(m.stations), routes_(m.routes), nodes_(m.nodes) {}

  void Run(Difference& d) const {
    ListStations(d);
    ListRoutes(d);
    ListCompanies(d);
    ListNodes(d);
    ListEdges(d);
    for (std::uint32_t o = 0; o < old_.stations.size(); ++o) d.station_partner.push_back(Partner(stations_, o));
    for (std::uint32_t o = 0; o < old_.routes.size(); ++o) d.route_partner.push_back(Partner(routes_, o));
  }

 private:
  const Side& Of(bool old) const { return old ? old_ : new_; }
  static std::optional<std::uint32_t> Partner(const Pairing& pairing, std::uint32_t o) {
    return pairing.to_new[o] == kNone ? std::nullopt : std::optional<std::uint32_t>(pairing.to_new[o]);
  }

  std::uint64_t NodeIdentity(bool old, std::uint32_t i) const {
    return i < Of(old).nodes.size() ? Identity(nodes_, old, i) : Mix(kMissing, i);
  }

  NodeSide NodeOf(bool old, std::uint32_t i) const {
    const Side& side = Of(old);
    NodeSide node;
    node.number = i;
    if (i >= side.nodes.size()) {
      node.missing = true;
      return node;
    }
    const NodeEntry& entry = side.nodes[i];
    node.role = entry.role;
    node.station_word = entry.station.value_or(0);
    node.route_word = entry.route.value_or(0);
    if (!node.role && side.IsStation(node.station_word)) node.station = StationNamed(side, node.station_word);
    if (!node.role && side.IsRoute(node.route_word)) node.route = RouteNamed(side, node.route_word);
    return node;
  }

  // -- The lists: added, removed, renamed, moved, changed, each in order.

  template <typename T>
  static void Append(std::vector<T>& out, std::vector<T>& more) {
    out.insert(out.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }

  static ItemChange Item(Change change, std::optional<Named> old_item, std::optional<Named> new_item) {
    ItemChange item;
    item.change = change;
    item.old_item = std::move(old_item);
    item.new_item = std::move(new_item);
    return item;
  }

  // The items of one side without a partner: added (new) or removed (old).
  template <typename T, typename Make>
  static void Unpaired(const Pairing& pairing, bool old, std::vector<T>& out, const Make& make) {
    const std::vector<std::uint32_t>& partners = old ? pairing.to_new : pairing.to_old;
    for (std::uint32_t i = 0; i < partners.size(); ++i)
      if (partners[i] == kNone) out.push_back(make(old, i));
  }

  // A station or a route added (on the new side) or removed (on the old).
  static ItemChange Lone(bool old, const Named& named) {
    return old ? Item(Change::kRemoved, named, std::nullopt) : Item(Change::kAdded, std::nullopt, named);
  }

  // A table of named items: the stations or the routes, with their names as keys.
  struct Table {
    const Pairing& pairing;
    const std::vector<std::uint64_t> Side::*names;
    Named (*named)(const Side& side, std::uint32_t i);
  };

  // The items of a table added, removed, then of the partners those renamed,
  // moved in the table and with other words, each in order: `lone` makes an
  // item added or removed, `fields` (old, new, out) lists what else changed.
  template <typename LoneOf, typename Fields>
  void ListItems(const Table& table, const LoneOf& lone, const Fields& fields, std::vector<ItemChange>& out) const {
    Unpaired(table.pairing, false, out, lone);
    Unpaired(table.pairing, true, out, lone);
    const std::vector<bool> moved_in_table = Moved(table.pairing);
    std::vector<ItemChange> renamed, moved, changed;
    for (std::uint32_t o = 0; o < table.pairing.to_new.size(); ++o) {
      const std::uint32_t n = table.pairing.to_new[o];
      if (n == kNone) continue;
      const Named a = table.named(old_, o), b = table.named(new_, n);
      if ((old_.*table.names)[o] != (new_.*table.names)[n]) renamed.push_back(Item(Change::kRenamed, a, b));
      if (moved_in_table[o]) moved.push_back(Item(Change::kMoved, a, b));
      ItemChange item = Item(Change::kChanged, a, b);
      fields(o, n, item.fields);
      if (!item.fields.empty()) changed.push_back(std::move(item));
    }
    Append(out, renamed);
    Append(out, moved);
    Append(out, changed);
  }

  void ListStations(Difference& d) const {
    const std::vector<bool> sort_moved = SortMoved(&StationEntry::sort, d);
    const std::vector<bool> kana_moved = SortMoved(&StationEntry::kana_sort, d);
    const auto lone = [this](bool old, std::uint32_t s) { return Lone(old, StationNamed(Of(old), s)); };
    const auto fields = [&](std::uint32_t o, std::uint32_t n, std::vector<FieldChange>& out) {
      StationFields(old_.stations[o], new_.stations[n], sort_moved[o], kana_moved[o], out);
    };
    ListItems({stations_, &Side::station_name, &StationNamed}, lone, fields, d.stations);
  }

  // Which stations moved among the others in a sort order (a station without
  // a partner or without the word counts as moved); those whose word only
  // shifted with the others are counted.
  std::vector<bool> SortMoved(Maybe<std::uint16_t> StationEntry::*field, Difference& d) const {
    std::vector<std::uint32_t> olds;
    for (std::uint32_t o = 0; o < stations_.to_new.size(); ++o) {
      if (stations_.to_new[o] != kNone && old_.stations[o].*field && new_.stations[stations_.to_new[o]].*field)
        olds.push_back(o);
    }
    const auto word = [&](const Side& side, std::uint32_t s) { return *(side.stations[s].*field); };
    std::stable_sort(olds.begin(), olds.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return word(old_, a) < word(old_, b); });
    std::vector<std::uint64_t> values;  // the new words in the old order, ties broken by the new number
    for (std::uint32_t o : olds) {
      const std::uint32_t n = stations_.to_new[o];
      values.push_back((std::uint64_t{word(new_, n)} << 32) | n);
    }
    const std::vector<bool> kept = KeptInOrder(values);
    std::vector<bool> moved(stations_.to_new.size(), true);
    std::size_t shifted = 0;
    for (std::size_t k = 0; k < olds.size(); ++k) {
      if (!kept[k]) continue;
      moved[olds[k]] = false;
      if (word(old_, olds[k]) != word(new_, stations_.to_new[olds[k]])) ++shifted;
    }
    if (shifted > 0) d.sort_shifts.push_back({field == &StationEntry::sort ? "sort" : "kana_sort", shifted});
    return moved;
  }

  // A route added or removed, with the stations it stops at.
  ItemChange LoneRoute(bool old, std::uint32_t r) const {
    ItemChange item = Lone(old, RouteNamed(Of(old), r));
    for (std::uint32_t s : Of(old).stops[r]) item.stops.push_back(StationNamed(Of(old), s));
    return item;
  }

  void ListRoutes(Difference& d) const {
    const auto lone = [this](bool old, std::uint32_t r) { return LoneRoute(old, r); };
    const auto fields = [&](std::uint32_t o, std::uint32_t n, std::vector<FieldChange>& out) {
      RouteFields(old_.routes[o], new_.routes[n], out);
      ListStops(o, n, d);
    };
    ListItems({routes_, &Side::route_name, &RouteNamed}, lone, fields, d.routes);
  }

  // The stops of a route on both sides, paired by station along the route as
  // the tables are aligned (a loop that loses its first stop keeps its last):
  // gained, lost, moved among the others, or with another companion word.
  void ListStops(std::uint32_t ro, std::uint32_t rn, Difference& d) const {
    const std::vector<std::uint32_t>&a = old_.stops[ro], &b = new_.stops[rn];
    Pairing stops(a.size(), b.size());
    PairAligned(StopKeys(true, a), StopKeys(false, b), stops);
    const std::vector<bool> moved = Moved(stops);
    const Named route = RouteNamed(new_, rn);
    const auto stop = [&](StopChange::Kind kind, std::optional<std::uint32_t> o, std::optional<std::uint32_t> n) {
      StopChange change;
      change.kind = kind;
      change.route = route;
      change.station = n ? StationNamed(new_, b[*n]) : StationNamed(old_, a[*o]);
      change.old_stop = o;
      change.new_stop = n;
      return change;
    };
    for (std::uint32_t n = 0; n < b.size(); ++n)
      if (stops.to_old[n] == kNone) d.stops.push_back(stop(StopChange::Kind::kGained, std::nullopt, n));
    for (std::uint32_t o = 0; o < a.size(); ++o)
      if (stops.to_new[o] == kNone) d.stops.push_back(stop(StopChange::Kind::kLost, o, std::nullopt));
    for (std::uint32_t o = 0; o < a.size(); ++o)
      if (moved[o]) d.stops.push_back(stop(StopChange::Kind::kMoved, o, stops.to_new[o]));
    for (std::uint32_t o = 0; o < a.size(); ++o) {
      const std::uint32_t n = stops.to_new[o];
      if (n == kNone) continue;
      StopChange change = stop(StopChange::Kind::kChanged, o, n);
      StopFields(Items(old_.routes[ro].stops)[o], Items(new_.routes[rn].stops)[n], change.fields);
      if (!change.fields.empty()) d.stops.push_back(std::move(change));
    }
  }

  std::vector<std::uint64_t> StopKeys(bool old, const std::vector<std::uint32_t>& stops) const {
    std::vector<std::uint64_t> keys;
    for (std::uint32_t s : stops) keys.push_back(Of(old).IsStation(s) ? Identity(stations_, old, s) : Mix(kMissing, s));
    return keys;
  }

  // -- Companies: by name; a route on both sides may move between them.

  static std::vector<std::uint64_t> CompanyOrder(const Side& side) {
    std::vector<std::uint64_t> order;
    for (std::uint64_t key : side.company)
      if (key != kNoKey && std::find(order.begin(), order.end(), key) == order.end()) order.push_back(key);
    return order;
  }

  void ListCompanies(Difference& d) const {
    for (bool old : {false, true}) {
      const Side& side = Of(old);
      const std::vector<std::uint64_t> others = CompanyOrder(Of(!old));
      for (std::uint64_t key : CompanyOrder(side)) {
        if (std::find(others.begin(), others.end(), key) != others.end()) continue;
        CompanyChange change;
        change.change = old ? Change::kRemoved : Change::kAdded;
        for (std::uint32_t r = 0; r < side.routes.size(); ++r) {
          if (side.company[r] != key) continue;
          if (change.routes.empty()) change.company = side.routes[r].company_name;
          change.routes.push_back(RouteNamed(side, r));
        }
        d.companies.push_back(std::move(change));
      }
    }
    for (std::uint32_t o = 0; o < routes_.to_new.size(); ++o) {
      const std::uint32_t n = routes_.to_new[o];
      if (n == kNone || old_.company[o] == new_.company[n] || old_.company[o] == kNoKey || new_.company[n] == kNoKey)
        continue;
      CompanyChange change;
      change.change = Change::kMoved;
      change.routes.push_back(RouteNamed(new_, n));
      change.old_company = old_.routes[o].company_name;
      change.new_company = new_.routes[n].company_name;
      d.companies.push_back(std::move(change));
    }
  }

  // -- The graph.

  void ListNodes(Difference& d) const {
    const auto lone = [this](bool old, std::uint32_t i) {
      NodeChange change;
      change.change = old ? Change::kRemoved : Change::kAdded;
      (old ? change.old_node : change.new_node) = NodeOf(old, i);
      return change;
    };
    Unpaired(nodes_, false, d.nodes, lone);
    Unpaired(nodes_, true, d.nodes, lone);
    const std::vector<bool> moved_in_table = Moved(nodes_);
    std::vector<NodeChange> moved, changed;
    for (std::uint32_t o = 0; o < nodes_.to_new.size(); ++o) {
      const std::uint32_t n = nodes_.to_new[o];
      if (n == kNone) continue;
      NodeChange change;
      change.old_node = NodeOf(true, o);
      change.new_node = NodeOf(false, n);
      change.change = Change::kMoved;
      if (moved_in_table[o]) moved.push_back(change);
      change.change = Change::kChanged;
      NodeFields(old_.nodes[o], new_.nodes[n], change.fields);
      if (!SameEdgeOrder(o, n)) RecordEdgeOrder(o, n, change.fields);
      if (!change.fields.empty()) changed.push_back(std::move(change));
    }
    Append(d.nodes, moved);
    Append(d.nodes, changed);
  }

  // An edge of one side: the nodes at its ends (none: owned by no node).
  struct EdgeAt {
    std::optional<std::uint32_t> from;
    std::uint32_t to;
    std::uint16_t flags, value;
  };

  static EdgeAt At(std::optional<std::uint32_t> from, const EdgeEntry& edge) {
    const std::uint16_t target = edge.target.value_or(0);
    return {from, static_cast<std::uint32_t>(target & intermediate::kEdgeTargetMask),
            static_cast<std::uint16_t>(target & ~intermediate::kEdgeTargetMask), edge.value.value_or(0)};
  }

  std::vector<EdgeAt> EdgesOf(bool old) const {
    std::vector<EdgeAt> edges;
    const Side& side = Of(old);
    for (std::uint32_t i = 0; i < side.nodes.size(); ++i)
      for (const EdgeEntry& edge : Items(side.nodes[i].edges)) edges.push_back(At(i, edge));
    for (const EdgeEntry& edge : Items(Of(old).doc.unowned_edges)) edges.push_back(At(std::nullopt, edge));
    return edges;
  }

  std::uint64_t EdgeKey(bool old, std::optional<std::uint32_t> from, std::uint32_t to, std::uint16_t flags) const {
    return Mix(Mix(from ? NodeIdentity(old, *from) : kUnowned, NodeIdentity(old, to)), flags);
  }

  std::vector<std::uint64_t> EdgeKeys(bool old, const std::vector<EdgeAt>& edges) const {
    std::vector<std::uint64_t> keys;
    for (const EdgeAt& edge : edges) keys.push_back(EdgeKey(old, edge.from, edge.to, edge.flags));
    return keys;
  }

  // Whether a node's edges that are on both sides come in the same order.
  bool SameEdgeOrder(std::uint32_t o, std::uint32_t n) const {
    const auto keys = [this](bool old, std::uint32_t i) {
      std::vector<std::uint64_t> out;
      for (const EdgeEntry& edge : Items(Of(old).nodes[i].edges)) {
        const EdgeAt at = At(i, edge);
        out.push_back(EdgeKey(old, std::nullopt, at.to, at.flags));
      }
      return out;
    };
    const std::vector<std::uint64_t> a = keys(true, o), b = keys(false, n);
    Pairing pairing(a.size(), b.size());
    PairByKey(a, b, pairing);
    const std::vector<bool> kept = KeptInOrder({pairing.to_new.begin(), pairing.to_new.end()});
    for (std::size_t k = 0; k < a.size(); ++k)
      if (pairing.to_new[k] != kNone && !kept[k]) return false;
    return true;
  }

  // The nodes a node's edges lead to, in order.
  std::string EdgeTargets(bool old, std::uint32_t i, bool numbered) const {
    const Side& side = Of(old);
    const std::uint16_t route = side.nodes[i].route.value_or(0);
    std::string text;
    for (const EdgeEntry& edge : Items(side.nodes[i].edges)) {
      const std::uint32_t to = edge.target.value_or(0) & intermediate::kEdgeTargetMask;
      text += (text.empty() ? "" : ", ") + TargetText(side, to, route, numbered);
    }
    return text;
  }

  // A node whose edges come in another order: where they lead, by station,
  // and by number too where the stations read the same on both sides.
  void RecordEdgeOrder(std::uint32_t o, std::uint32_t n, std::vector<FieldChange>& fields) const {
    const bool numbered = EdgeTargets(true, o, false) == EdgeTargets(false, n, false);
    RecordField(fields, "edges", {std::nullopt, EdgeTargets(true, o, numbered)},
                {std::nullopt, EdgeTargets(false, n, numbered)});
  }

  EdgeChange EdgeOf(Change change, bool old, const EdgeAt& edge) const {
    EdgeChange out;
    out.change = change;
    if (edge.from) out.from = NodeOf(old, *edge.from);
    out.to = NodeOf(old, edge.to);
    out.flags = edge.flags;
    (old ? out.old_value : out.new_value) = edge.value;
    return out;
  }

  void ListEdges(Difference& d) const {
    const std::vector<EdgeAt> a = EdgesOf(true), b = EdgesOf(false);
    Pairing edges(a.size(), b.size());
    PairAligned(EdgeKeys(true, a), EdgeKeys(false, b), edges);
    std::vector<EdgeChange> removed, changed;
    for (std::uint32_t n = 0; n < b.size(); ++n)
      if (edges.to_old[n] == kNone) d.edges.push_back(EdgeOf(Change::kAdded, false, b[n]));
    for (std::uint32_t o = 0; o < a.size(); ++o) {
      const std::uint32_t n = edges.to_new[o];
      if (n == kNone) {
        removed.push_back(EdgeOf(Change::kRemoved, true, a[o]));
      } else if (a[o].value != b[n].value) {
        changed.push_back(EdgeOf(Change::kChanged, false, b[n]));
        changed.back().old_value = a[o].value;
      }
    }
    Append(d.edges, removed);
    Append(d.edges, changed);
  }

  const Side &old_, &new_;
  const Pairing &stations_, &routes_, &nodes_;
};

}  // namespace

void ListChanges(const Matching& matching, Difference& d) { Lists(matching).Run(d); }

}  // namespace diff
