#include "toolkit/Make.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "network/Companies.h"
#include "network/IntermediateFormat.h"
#include "network/StringTable.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"
#include "toolkit/Grouping.h"
#include "toolkit/JsonMapping.h"

namespace {

std::string At(const std::string& where, const std::string& key) { return where.empty() ? key : where + "." + key; }
std::string At(const std::string& where, std::size_t index) { return where + "[" + std::to_string(index) + "]"; }

[[noreturn]] void Fail(const TextPosition& at, const std::string& where, const std::string& what) {
  throw ToolError(at, where, what);
}

// The Shift_JIS bytes of a name or a string given as UTF-8; refused when a
// character has no Shift_JIS form or the text holds a NUL.
std::string ShiftJis(const std::string& utf8, const TextPosition& offset, const std::string& where) {
  std::optional<std::string> bytes = Utf8ToShiftJis(utf8);
  if (!bytes) Fail(offset, where, NoShiftJisForm(utf8));
  if (bytes->find('\0') != std::string::npos) Fail(offset, where, kTextHoldsNul);
  return *bytes;
}

// The bytes a text of a dump gives: its raw bytes while the text still reads
// as they do, else the text in Shift_JIS.
std::string TextBytes(const std::string& utf8, const Maybe<std::string>& raw, const TextPosition& offset,
                      const std::string& where) {
  if (raw && ShiftJisToUtf8(*raw).utf8 == utf8) return *raw;
  return ShiftJis(utf8, offset, where);
}

// The numbers that stations or routes are known by, by the bytes of their
// names; a name given twice cannot be used to refer to either.
class NameIndex {
 public:
  explicit NameIndex(const char* kind) : kind_(kind) {}

  // `bytes` must stay where they are while the index is used: they are not copied.
  void Add(std::string_view bytes, std::size_t number) {
    if (!numbers_.emplace(bytes, static_cast<std::uint16_t>(number)).second) ambiguous_.insert(bytes);
  }
  // A number given as it is, or the number of the one that has the name.
  std::uint16_t Resolve(const Reference& reference, const TextPosition& offset, const std::string& where) const {
    if (reference.number) return *reference.number;
    const std::optional<std::string> bytes = Utf8ToShiftJis(reference.name);
    const auto found = bytes ? numbers_.find(*bytes) : numbers_.end();
    if (found == numbers_.end())
      Fail(offset, where, std::string("no ") + kind_ + " is named " + Quoted(reference.name));
    if (ambiguous_.count(*bytes) > 0)
      Fail(offset, where, std::string("two ") + kind_ + "s are named " + Quoted(reference.name));
    return found->second;
  }

 private:
  const char* kind_;
  std::unordered_map<std::string_view, std::uint16_t> numbers_;
  std::set<std::string_view, std::less<>> ambiguous_;
};

// A route's stops, at stations by number or name.
std::vector<StopDescription> Stops(const RouteEntry& route, const std::string& where, const NameIndex& names) {
  std::vector<StopDescription> stops;
  const std::vector<StopEntry>& entries = Items(route.stops);
  for (std::size_t j = 0; j < entries.size(); ++j) {
    const StopEntry& stop = entries[j];
    const std::string stop_where = At(At(where, "stops"), j);
    if (!stop.station) Fail(stop.at, stop_where, "needs a station");
    stops.push_back({names.Resolve(*stop.station, stop.at, At(stop_where, "station")), stop.companion.value_or(0)});
  }
  return stops;
}

// Bytes of a header field that takes exactly N of them.
template <std::size_t N>
void FixedBytes(const Maybe<std::string>& bytes, std::array<std::uint8_t, N>& target, const TextPosition& at,
                const std::string& where) {
  if (!bytes) return;
  if (bytes->size() != N) Fail(at, where, "must be exactly " + std::to_string(N) + " bytes");
  std::copy(bytes->begin(), bytes->end(), target.begin());
}

// ---------------------------------------------------------------------------
// A description written by hand.

class DescriptionMaker {
 public:
  NetworkDescription Make(const Document& d) {
    for (const std::string& bytes : Items(d.extra_strings)) AddString(bytes);
    ReadStations(Items(d.stations));
    ReadRoutes(Items(d.routes));
    ReadNodes(Items(d.nodes));
    if (d.raw_string_index) network_.raw_string_index = *d.raw_string_index;
    if (d.raw_pool) network_.raw_pool = *d.raw_pool;
    if (d.section_order) ReadOrder(*d.section_order, d);
    if (d.header) ReadHeader(*d.header);
    return std::move(network_);
  }

 private:
  void AddString(const std::string& bytes) {
    string_numbers_.emplace(bytes, network_.strings.size());
    network_.strings.push_back(bytes);
  }

  // The index of `bytes` in the string table, added at the end when not there yet.
  std::uint16_t Intern(const std::string& bytes, const TextPosition& offset, const std::string& where) {
    const auto found = string_numbers_.find(bytes);
    if (found != string_numbers_.end()) return static_cast<std::uint16_t>(found->second);
    if (network_.strings.size() >= static_cast<std::size_t>(intermediate::kMaxStrings))
      Fail(offset, where, "the string table is full");
    AddString(bytes);
    return static_cast<std::uint16_t>(network_.strings.size() - 1);
  }

  void ReadStations(const std::vector<StationEntry>& stations) {
    for (std::size_t i = 0; i < stations.size(); ++i) {
      const StationEntry& item = stations[i];
      StationDescription station;
      if (item.name_by_hand) {
        station.name_string = Intern(*item.name_by_hand, item.at, At(At("stations", i), "name"));
        stations_.Add(*item.name_by_hand, i);
      }
      station.name_string = item.name_string.value_or(station.name_string);
      station.opaque_word = item.opaque_word.value_or(0);
      station.unused_word = item.unused_word.value_or(0);
      station.sort = item.sort.value_or(0);
      station.kana_sort = item.kana_sort.value_or(0);
      network_.stations.push_back(station);
    }
  }

  void ReadRoutes(const std::vector<RouteEntry>& routes) {
    for (std::size_t i = 0; i < routes.size(); ++i) {
      const std::string where = At("routes", i);
      const RouteEntry& item = routes[i];
      RouteDescription route;
      if (item.name_by_hand) {
        route.name_index = Intern(*item.name_by_hand, item.at, At(where, "name"));
        routes_.Add(*item.name_by_hand, i);
      } else if (!item.name_index) {
        Fail(item.at, where, "needs a name (or a raw name_index)");
      }
      if (item.company_by_hand) route.company_length = CompanyLength(item, where);
      route.name_index = item.name_index.value_or(route.name_index);
      route.company_length = item.company_length.value_or(route.company_length);
      route.unused_word = item.unused_word.value_or(0);
      route.opaque_word = item.opaque_word.value_or(0);
      route.opaque_byte = item.opaque_byte.value_or(0);
      route.trailer = item.trailer.value_or(0);
      route.station_count = item.station_count;
      route.stops = Stops(item, where, stations_);
      network_.routes.push_back(route);
    }
  }

  static std::uint8_t CompanyLength(const RouteEntry& item, const std::string& where) {
    const std::string company_where = At(where, "company");
    if (item.company_length) Fail(item.at, where, "gives both company and company_length");
    if (!item.name_by_hand) Fail(item.at, company_where, "needs the route's name to be a prefix of");
    const std::string& company = *item.company_by_hand;
    const std::string& name = *item.name_by_hand;
    if (company.empty()) Fail(item.at, company_where, "is empty; leave it out for a route without a company");
    if (company.size() > name.size() || name.compare(0, company.size(), company) != 0)
      Fail(item.at, company_where, "is not the beginning of the route's name " + Quoted(ShiftJisToUtf8(name).utf8));
    if (company.size() > 0xFF) Fail(item.at, company_where, "is longer than 255 bytes in Shift_JIS");
    return static_cast<std::uint8_t>(company.size());
  }

  void ReadNodes(const std::vector<NodeEntry>& nodes) {
    std::map<std::string_view, std::uint16_t, std::less<>> node_by_id;  // the ids stay in the document
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (!nodes[i].id) continue;
      if (!node_by_id.emplace(*nodes[i].id, static_cast<std::uint16_t>(i)).second)
        Fail(nodes[i].at, At(At("nodes", i), "id"), Quoted(*nodes[i].id) + " names two nodes");
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const std::string where = At("nodes", i);
      const NodeEntry& item = nodes[i];
      NodeDescription node;
      if (item.station_by_hand) node.station = stations_.Resolve(*item.station_by_hand, item.at, At(where, "station"));
      if (item.route_by_hand) node.route = routes_.Resolve(*item.route_by_hand, item.at, At(where, "route"));
      node.station = item.station.value_or(node.station);
      node.route = item.route.value_or(node.route);
      node.edge_count = item.edge_count;
      const std::vector<EdgeEntry>& edges = Items(item.edges);
      for (std::size_t j = 0; j < edges.size(); ++j) {
        const std::string edge_where = At(At(where, "edges"), j);
        if (!edges[j].to) Fail(edges[j].at, edge_where, "needs a target node (to)");
        EdgeDescription edge;
        if (edges[j].to->number) {
          edge.target = *edges[j].to->number;
        } else {
          const auto found = node_by_id.find(edges[j].to->name);
          if (found == node_by_id.end())
            Fail(edges[j].at, At(edge_where, "to"), "no node has the id " + Quoted(edges[j].to->name));
          edge.target = found->second;
        }
        edge.value = edges[j].value.value_or(0);
        node.edges.push_back(edge);
      }
      network_.nodes.push_back(node);
    }
  }

  void ReadOrder(const std::string& order, const Document& d) {
    if (order == "base-then-trailer") {
      network_.order = SectionOrder::kBaseThenTrailer;
    } else if (order == "trailer-then-base") {
      network_.order = SectionOrder::kTrailerThenBase;
    } else {
      Fail(d.at, "section_order", "must be \"base-then-trailer\" or \"trailer-then-base\"");
    }
  }

  void ReadHeader(const HeaderEntry& item) {
    HeaderDescription& h = network_.header;
    FixedBytes(item.magic, h.magic, item.at, "header.magic");
    FixedBytes(item.unused_middle, h.unused_middle, item.at, "header.unused_middle");
    FixedBytes(item.unused_tail, h.unused_tail, item.at, "header.unused_tail");
    if (item.base_offset) h.base_offset = *item.base_offset;
    if (item.trailer_offset) h.trailer_offset = *item.trailer_offset;
    const auto word = [](std::int32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); };
    if (item.rstat_capacity) h.rstat_capacity = word(*item.rstat_capacity);
    if (item.edge_capacity) h.edge_capacity = word(*item.edge_capacity);
    for (auto [given, field] :
         {std::pair{&item.node_count, &h.node_count}, std::pair{&item.station_count, &h.station_count},
          std::pair{&item.route_count, &h.route_count}, std::pair{&item.string_count, &h.string_count},
          std::pair{&item.pool_size, &h.pool_size}}) {
      if (*given) *field = word(**given);
    }
  }

  NetworkDescription network_;
  std::unordered_map<std::string, std::size_t> string_numbers_;  // the first string with these bytes
  NameIndex stations_{"station"};
  NameIndex routes_{"route"};
};

// ---------------------------------------------------------------------------
// fenwadump's dump of a file or an image, perhaps edited.

class DumpMaker {
 public:
  explicit DumpMaker(std::vector<std::string>& notes) : notes_(notes) {}

  NetworkDescription Make(const Document& d) {
    image_ = d.kind == DocumentKind::kDatabase;
    ReadStrings(d);
    const std::vector<StationEntry>& stations = Items(d.stations);
    for (std::size_t i = 0; i < stations.size(); ++i) ReadStation(stations[i], i);
    const std::vector<RouteEntry>& routes = Items(d.routes);
    for (std::size_t r = 0; r < routes.size(); ++r) ReadRoute(routes[r], At("routes", r));
    ReadNodes(d);
    const StringTableBytes table = Finish(d);
    file_.raw_string_index = table.index;
    file_.raw_pool = table.pool;
    if (image_) {
      ReadImageCapacities(d);
    } else if (d.header) {
      ReadHeader(*d.header);
    }
    return std::move(file_);
  }

 private:
  StringTableBytes Finish(const Document& d) {
    try {
      return strings_->Finish();
    } catch (const ToolError& error) {
      Fail(d.at, "strings", error.what());
    }
  }

  void ReadStrings(const Document& d) {
    const std::string pool = d.string_pool.value_or("");
    if (pool.size() > 0xFFFF) Fail(d.at, "string_pool", "holds more than 65535 bytes");
    const std::vector<StringEntry>& strings = Items(d.strings);
    std::vector<std::uint16_t> index;
    for (std::size_t i = 0; i < strings.size(); ++i) {
      if (!strings[i].offset && !strings[i].text)
        Fail(strings[i].at, At("strings", i), "needs a text (or the offset of its bytes in string_pool)");
      // A string without an offset has no bytes in the pool yet: it is added.
      index.push_back(strings[i].offset.value_or(0xFFFF));
    }
    strings_.emplace(index, pool);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      if (strings[i].text && *strings[i].text) {
        const std::string where = At(At("strings", i), "text");
        strings_->Set(i, TextBytes(**strings[i].text, strings[i].text_bytes, strings[i].at, where));
        CheckPool(strings[i].at, where);
      }
    }
  }

  // The string index a station's word A or a route's name gives: as given,
  // unless the name reads otherwise than the string it was read from. With a
  // name, `bytes` is where the string table keeps its bytes.
  std::uint16_t Named(const Maybe<std::string>& name, const Maybe<std::string>& raw, const TextPosition& at,
                      const std::string& where, std::uint16_t index, std::string_view* bytes = nullptr) {
    if (!name) return index;
    const std::string text = TextBytes(*name, raw, at, At(where, "name"));
    const std::optional<std::string_view> original = strings_->Original(index);
    if (original == text) {
      if (bytes) *bytes = *original;
      return index;
    }
    const std::size_t found = strings_->Intern(text);
    if (found > static_cast<std::size_t>(intermediate::kMaxStrings))
      Fail(at, At(where, "name"), "the string table is full");
    CheckPool(at, At(where, "name"));
    if (bytes) *bytes = strings_->View(found).value_or("");
    return static_cast<std::uint16_t>(found);
  }

  // The strings edited or added so far take no more than the pool holds.
  void CheckPool(const TextPosition& at, const std::string& where) const {
    if (strings_->EditedBytes() > 0xFFFF) Fail(at, where, "the string pool would hold more than 65535 bytes");
  }

  void ReadStation(const StationEntry& item, std::size_t i) {
    const std::string where = At("stations", i);
    StationDescription station;
    std::string_view bytes;
    station.name_string = Named(item.name, item.name_bytes, item.at, where, item.name_string.value_or(0), &bytes);
    if (item.name) station_names_.Add(bytes, i);
    station.opaque_word = item.opaque_word.value_or(0);
    station.unused_word = item.unused_word.value_or(0);
    station.sort = item.sort.value_or(0);
    station.kana_sort = item.kana_sort.value_or(0);
    file_.stations.push_back(station);
  }

  void ReadRoute(const RouteEntry& item, const std::string& where) {
    RouteDescription route;
    const bool named = item.name && *item.name;
    if (!item.name_index && !named) Fail(item.at, where, "needs a name (or a name_index)");
    const Maybe<std::string> name = named ? Maybe<std::string>(**item.name) : std::nullopt;
    route.name_index = Named(name, item.name_bytes, item.at, where, item.name_index.value_or(0));
    if (item.company_length) {
      route.company_length = *item.company_length;
    } else if (item.company_name) {
      // A route added by hand may name its company instead of giving the length.
      const std::string company =
          TextBytes(*item.company_name, item.company_name_bytes, item.at, At(where, "company_name"));
      const std::string full = strings_->Current(route.name_index).value_or("");
      if (company.empty() || company.size() > 0xFF || full.compare(0, company.size(), company) != 0)
        Fail(item.at, At(where, "company_name"), "is not the beginning of the route's name");
      route.company_length = static_cast<std::uint8_t>(company.size());
    }
    route.unused_word = item.unused_word.value_or(0);
    route.opaque_word = item.opaque_word.value_or(0);
    route.opaque_byte = item.opaque_byte.value_or(0);
    route.trailer = item.trailer.value_or(0);
    route.stops = Stops(item, where, station_names_);
    file_.routes.push_back(route);
  }

  static std::vector<EdgeDescription> Edges(const std::vector<EdgeEntry>& entries, const std::string& where) {
    std::vector<EdgeDescription> edges;
    for (std::size_t j = 0; j < entries.size(); ++j) {
      if (!entries[j].target) Fail(entries[j].at, At(where, j), "needs a target");
      edges.push_back({*entries[j].target, entries[j].value.value_or(0)});
    }
    return edges;
  }

  void ReadNodes(const Document& d) {
    const std::vector<NodeEntry>& nodes = Items(d.nodes);
    std::optional<std::size_t> first_reserve;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const std::string where = At("nodes", i);
      // The reserve nodes behind the file's nodes are the converter's own.
      if (nodes[i].role == "reserve") {
        if (!first_reserve) first_reserve = i;
        continue;
      }
      if (first_reserve)
        Fail(nodes[i].at, where,
             "follows the reserve node " + std::to_string(*first_reserve) +
                 ": reserve nodes come only behind the last node of the file, and leaving one out would renumber "
                 "every node behind it");
      if (nodes[i].role && *nodes[i].role != "special")
        Fail(nodes[i].at, At(where, "role"), "must be \"special\" or \"reserve\"");
      NodeDescription node;
      node.station = nodes[i].station.value_or(0);
      node.route = nodes[i].route.value_or(0);
      node.edges = Edges(Items(nodes[i].edges), At(where, "edges"));
      file_.nodes.push_back(node);
    }
    const std::vector<EdgeEntry>& unowned = Items(d.unowned_edges);
    if (!image_ || unowned.empty()) return;
    // The edges nodes 0 and 1 had before the converter emptied them: which of
    // the two had which is not in the image, and makes no difference to it.
    if (file_.nodes.empty()) Fail(d.at, "unowned_edges", "need a node 0 to belong to, and the dump has no file nodes");
    std::vector<EdgeDescription> edges = Edges(unowned, "unowned_edges");
    std::vector<EdgeDescription>& first = file_.nodes.front().edges;
    first.insert(first.begin(), edges.begin(), edges.end());
  }

  // The image holds the route-station capacity but not the edge capacity: the
  // file gets the capacity the image has (raised when the routes' stops no
  // longer fit it) and room for its edges.
  void ReadImageCapacities(const Document& d) {
    std::uint16_t capacity = d.image_header ? d.image_header->rstat_capacity.value_or(0) : 0;
    std::vector<std::uint16_t> stops;
    for (const RouteDescription& route : file_.routes) stops.push_back(static_cast<std::uint16_t>(route.stops.size()));
    const std::int64_t least = intermediate::LeastRStatCapacity(stops);
    const std::int64_t effective = capacity > 0 ? capacity : 2 * static_cast<std::int64_t>(file_.stations.size());
    if (effective < least) {
      if (least > intermediate::kMaxRStatCapacity)
        Fail(d.at, "routes",
             "the stops need " + std::to_string(least) + " route-station entries, more than the " +
                 std::to_string(intermediate::kMaxRStatCapacity) + " an image holds");
      notes_.push_back("the routes' stops need " + std::to_string(least) +
                       " route-station entries: the capacity is raised from " + std::to_string(effective));
      capacity = static_cast<std::uint16_t>(least);
    }
    file_.header.rstat_capacity = capacity;
    std::size_t edges = 0;
    for (const NodeDescription& node : file_.nodes) edges += node.edges.size();
    if (edges > static_cast<std::size_t>(intermediate::kDefaultEdgeCapacity))
      file_.header.edge_capacity =
          static_cast<std::uint16_t>(std::min<std::size_t>(edges, intermediate::kMaxEdgeCapacity));
  }

  void ReadHeader(const HeaderEntry& item) {
    HeaderDescription& h = file_.header;
    FixedBytes(item.magic, h.magic, item.at, "header.magic");
    FixedBytes(item.unused_middle, h.unused_middle, item.at, "header.unused_middle");
    FixedBytes(item.unused_tail, h.unused_tail, item.at, "header.unused_tail");
    if (item.rstat_capacity) h.rstat_capacity = static_cast<std::uint16_t>(*item.rstat_capacity & 0xFFFF);
    if (item.edge_capacity) h.edge_capacity = static_cast<std::uint16_t>(*item.edge_capacity & 0xFFFF);
    if (item.base_offset && item.trailer_offset) {
      for (auto [offset, key] : {std::pair{*item.base_offset, "header.base_offset"},
                                 std::pair{*item.trailer_offset, "header.trailer_offset"}}) {
        if (offset > intermediate::kMaxSectionOffset)
          Fail(item.at, key,
               std::to_string(offset) + " is outside 0 to " + std::to_string(intermediate::kMaxSectionOffset));
      }
      file_.placement = SectionPlacement{*item.base_offset, *item.trailer_offset};
    }
  }

  std::vector<std::string>& notes_;
  bool image_ = false;
  NetworkDescription file_;
  std::optional<StringTableEditor> strings_;
  NameIndex station_names_{"station"};
};

// ---------------------------------------------------------------------------
// Warnings.

// The converter refuses more than 40 companies, counting the routes that name none as one.
void CountCompanies(const NetworkDescription& network, std::vector<std::string>& warnings) {
  const StringTableBytes strings = LayOutStrings(network);
  std::set<std::uint16_t> companies;
  for (std::uint16_t number : CompanyNumbersOf(network.routes, strings.index, strings.pool)) {
    if (number != kNoIndex) companies.insert(number);
  }
  if (companies.size() > kMaxCompanies)
    warnings.push_back("the routes name " + std::to_string(companies.size()) +
                       " companies (the routes that name none count as one); the converter refuses more than " +
                       std::to_string(kMaxCompanies));
}

// Any magic but "AD4" and 0x1A makes a file that no reader takes for an
// intermediate data file; a description may give one on purpose.
void CheckMagic(const NetworkDescription& network, std::vector<std::string>& warnings) {
  if (intermediate::HasMagic(network.header.magic.data())) return;
  warnings.push_back(
      "header.magic is " + AsciiEscaped(std::string(network.header.magic.begin(), network.header.magic.end())) +
      ", not \"AD4\" and 0x1A: the file made is no intermediate data file, and the converter refuses it");
}

// Fields of a dump that fenwamake works out again from others, which an edit
// of them cannot change: a company's name (the start of its routes' names) and
// a route's or node's count of stops or edges. One that says otherwise than
// the file made was edited in vain, or left behind by an edit of what it is
// worked out from. (The header's counts and sizes are not compared: adding a
// route or renaming a station changes them, and nobody is asked to count.)
class DerivedFields {
 public:
  explicit DerivedFields(const NetworkDescription& made) : made_(made) {}

  void Check(const Document& d, std::vector<std::string>& warnings) const {
    const std::vector<RouteEntry>& routes = Items(d.routes);
    for (std::size_t r = 0; r < routes.size() && r < made_.routes.size(); ++r) {
      const std::string where = At("routes", r);
      if (routes[r].station_count && *routes[r].station_count != made_.routes[r].stops.size())
        warnings.push_back(
            Count(At(where, "station_count"), *routes[r].station_count, made_.routes[r].stops.size(), "stops"));
      if (routes[r].company_name && *routes[r].company_name != CompanyName(r))
        warnings.push_back(
            Name(At(where, "company_name"), *routes[r].company_name, CompanyName(r), "the route's name begins with"));
    }
    // The list of companies is worked out again whole; a name in it that no
    // route's name begins with was edited there in vain.
    std::set<std::string> names;
    for (std::size_t r = 0; r < made_.routes.size(); ++r) {
      if (made_.routes[r].company_length > 0) names.insert(CompanyName(r));
    }
    const std::vector<CompanyEntry>& companies = Items(d.companies);
    for (std::size_t c = 0; c < companies.size(); ++c) {
      if (companies[c].name && *companies[c].name && !names.count(**companies[c].name))
        warnings.push_back(At(At("companies", c), "name") + " is " + Quoted(**companies[c].name) +
                           ", but no route's name begins with it: a company's name is the start of its routes' "
                           "names, so this field is not read");
    }
    const std::vector<NodeEntry>& nodes = Items(d.nodes);
    for (std::size_t i = 0, made = 0; i < nodes.size() && made < made_.nodes.size(); ++i) {
      if (nodes[i].role == "reserve") continue;
      // Node 0 of a file made from an image's dump also gets the edges no node owns.
      const std::size_t unowned = made == 0 ? Items(d.unowned_edges).size() : 0;
      const std::size_t edges = made_.nodes[made++].edges.size() - unowned;
      if (nodes[i].edge_count && *nodes[i].edge_count != edges)
        warnings.push_back(Count(At(At("nodes", i), "edge_count"), *nodes[i].edge_count, edges, "edges"));
    }
  }

 private:
  static std::string Count(const std::string& where, std::uint64_t given, std::uint64_t made, const char* what) {
    return where + " is " + std::to_string(given) + ", but there are " + std::to_string(made) + " " + what +
           ": fenwamake counts them, and does not read this field";
  }
  static std::string Name(const std::string& where, const std::string& given, const std::string& made,
                          const char* what) {
    return where + " is " + Quoted(given) + ", but " + what + " " + Quoted(made) +
           ": a company's name is the start of its routes' names, so this field is not read";
  }

  // The company name of route r of the file made, as text.
  std::string CompanyName(std::size_t r) const {
    const RouteDescription& route = made_.routes[r];
    if (route.name_index >= strings_.index.size() || strings_.index[route.name_index] >= strings_.pool.size())
      return {};
    const std::string_view name = std::string_view(strings_.pool).substr(strings_.index[route.name_index]);
    return ShiftJisToUtf8(std::string(name.substr(0, std::min<std::size_t>(name.find('\0'), route.company_length))))
        .utf8;
  }

  const NetworkDescription& made_;
  const StringTableBytes strings_ = LayOutStrings(made_);
};

// Stops at stations and edges to nodes (the file's and the 20 reserve nodes)
// that the file does not have: the converter copies such words as they are,
// and a file may hold them on purpose, so they are told rather than refused.
void CheckReferences(const NetworkDescription& made, const Document& d, std::vector<std::string>& warnings) {
  constexpr std::size_t kShown = 5;
  std::vector<std::string> found;
  const std::size_t stations = made.stations.size();
  for (std::size_t r = 0; r < made.routes.size(); ++r) {
    for (std::size_t j = 0; j < made.routes[r].stops.size(); ++j) {
      const std::uint16_t station = made.routes[r].stops[j].station;
      if (station >= stations)
        found.push_back(At(At(At("routes", r), "stops"), j) + ".station: station " + std::to_string(station) +
                        " does not exist: there are " + std::to_string(stations) + " stations");
    }
  }
  const std::size_t nodes = made.nodes.size() + intermediate::kReserveNodes;
  const std::size_t unowned = d.kind == DocumentKind::kDatabase ? Items(d.unowned_edges).size() : 0;
  const char* key = d.kind == DocumentKind::kDescription ? ".to" : ".target";
  for (std::size_t i = 0; i < made.nodes.size(); ++i) {
    for (std::size_t j = 0; j < made.nodes[i].edges.size(); ++j) {
      const std::uint16_t node = made.nodes[i].edges[j].target & intermediate::kEdgeTargetMask;
      if (node < nodes) continue;
      const std::string where =
          i == 0 && j < unowned ? At("unowned_edges", j) : At(At(At("nodes", i), "edges"), i == 0 ? j - unowned : j);
      found.push_back(where + key + ": node " + std::to_string(node) + " does not exist: there are " +
                      std::to_string(nodes) + " nodes (" + std::to_string(made.nodes.size()) + " and " +
                      std::to_string(intermediate::kReserveNodes) + " reserve nodes)");
    }
  }
  for (std::size_t k = 0; k < found.size() && k < kShown; ++k) warnings.push_back(found[k]);
  if (found.size() > kShown)
    warnings.push_back("… and " + std::to_string(found.size() - kShown) +
                       " more stops or edges at stations or nodes that do not exist");
}

// An entry of a dump is known by its place in its table, not by its `index`:
// what refers to one by number (a stop, a node's words, an edge) means the
// entry at that place. An index that is not the entry's place tells of
// entries deleted, added or moved before it, after which such numbers mean
// others; the first few of each table are named, the rest counted.
template <typename Entry>
void CheckPlaces(const char* table, const Maybe<std::vector<Entry>>& list, const std::string& meaning,
                 std::vector<std::string>& warnings) {
  constexpr std::size_t kNamed = 10;
  const std::vector<Entry>& entries = Items(list);
  std::string named;
  std::size_t count = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].index || *entries[i].index == i) continue;
    if (count++ < kNamed)
      named += (count > 1 ? ", " : "") + At(table, i) + " has index " + std::to_string(*entries[i].index);
  }
  if (count == 0) return;
  if (count > kNamed) named += ", … and " + std::to_string(count - kNamed) + " more";
  warnings.push_back(
      std::string(table) + ": " + std::to_string(count) +
      (count == 1 ? " entry is not where its index says (" : " entries are not where their index says (") + named +
      "): " + meaning);
}

void CheckPlaces(const Document& d, std::vector<std::string>& warnings) {
  const std::string by_place = "fenwamake goes by place, not by index, so ";
  CheckPlaces("stations", d.stations, by_place + "a stop's station or a node's word_a means the station at its place",
              warnings);
  CheckPlaces("routes", d.routes, by_place + "a node's word_b means the route at its place", warnings);
  CheckPlaces("strings", d.strings,
              by_place +
                  "a station's word_a or a route's name_index means the string at its place, unless the "
                  "station's or route's name says otherwise",
              warnings);
  CheckPlaces("nodes", d.nodes, by_place + "an edge's target means the node at its place", warnings);
  CheckPlaces("unowned_edges", d.unowned_edges, by_place + "these edges go into the edge table in this order",
              warnings);
  CheckPlaces("records", d.records, "fenwamake works the records out again and does not read this list", warnings);
}

// A dump of a damaged file makes a damaged network: refused unless asked for.
void RefuseDamage(const Document& d, const MakeOptions& options) {
  const std::vector<std::string>& problems = Items(d.problems);
  if (problems.empty() || options.accept_damage) return;
  std::string text = "the dump lists " + std::to_string(problems.size()) +
                     (problems.size() == 1 ? " problem" : " problems") +
                     " of the file it was made from, so that file was damaged (";
  for (std::size_t i = 0; i < problems.size() && i < 3; ++i) text += (i > 0 ? "; " : "") + Escaped(problems[i]);
  text += problems.size() > 3 ? "; …)" : ")";
  Fail(d.at, "problems", text + "; fenwamake --accept-damage makes it anyway");
}

}  // namespace

MadeNetwork MakeNetwork(const Document& document, const MakeOptions& options) {
  MadeNetwork made;
  if (!KindIsMade(document.kind)) Fail(document.at, "kind", KindRefusal());
  if (document.kind == DocumentKind::kDescription) {
    made.network = DescriptionMaker().Make(document);
  } else {
    RefuseDamage(document, options);
    made.network = DumpMaker(made.notes).Make(document);
  }
  CheckReferences(made.network, document, made.warnings);
  CountCompanies(made.network, made.warnings);
  CheckMagic(made.network, made.warnings);
  if (document.kind != DocumentKind::kDescription) {
    CheckPlaces(document, made.warnings);
    DerivedFields(made.network).Check(document, made.warnings);
  }
  return made;
}
