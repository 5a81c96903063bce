#include "tools/fenwamake/Description.h"

#include <algorithm>
#include <map>

#include "tools/fenwamake/Fields.h"

using nlohmann::json;

namespace {

using namespace fields;

class Reader {
 public:
  NetworkSpec Read(const json& description) {
    AllowOnly(description, "",
              {"header", "section_order", "strings", "raw_string_index", "raw_pool", "stations", "routes", "nodes"});
    if (description.contains("strings")) {
      const json& strings = Array(description.at("strings"), "strings");
      for (std::size_t i = 0; i < strings.size(); ++i) spec_.strings.push_back(Text(strings[i], At("strings", i)));
    }
    if (description.contains("stations")) ReadStations(Array(description.at("stations"), "stations"));
    if (description.contains("routes")) ReadRoutes(Array(description.at("routes"), "routes"));
    if (description.contains("nodes")) ReadNodes(Array(description.at("nodes"), "nodes"));
    if (description.contains("raw_string_index")) {
      const json& index = Array(description.at("raw_string_index"), "raw_string_index");
      std::vector<std::uint16_t> words;
      for (std::size_t i = 0; i < index.size(); ++i) words.push_back(Word(index[i], At("raw_string_index", i)));
      spec_.raw_string_index = words;
    }
    if (description.contains("raw_pool")) spec_.raw_pool = Text(description.at("raw_pool"), "raw_pool");
    if (description.contains("section_order")) ReadOrder(description.at("section_order"));
    if (description.contains("header")) ReadHeader(description.at("header"));
    return std::move(spec_);
  }

 private:
  // The index of `bytes` in the string table, added at the end when not there yet.
  std::uint16_t Intern(const std::string& bytes, const std::string& where) {
    auto found = std::find(spec_.strings.begin(), spec_.strings.end(), bytes);
    if (found != spec_.strings.end()) return static_cast<std::uint16_t>(found - spec_.strings.begin());
    if (spec_.strings.size() >= 0x7FFF) Fail(where, "the string table is full");
    spec_.strings.push_back(bytes);
    return static_cast<std::uint16_t>(spec_.strings.size() - 1);
  }

  void ReadStations(const json& stations) {
    for (std::size_t i = 0; i < stations.size(); ++i) {
      const std::string where = At("stations", i);
      const json& item = stations[i];
      AllowOnly(item, where, {"name", "word_a", "word_b", "spare", "sort", "kana_sort"});
      StationSpec station;
      if (item.contains("name")) {
        const std::string name = Text(item.at("name"), At(where, "name"));
        station.word_a = Intern(name, At(where, "name"));
        if (item.at("name").is_string()) {
          stations_.Add(item.at("name").get<std::string>(), i);
        }
      }
      OptionalField(item, "word_a", where, station.word_a, Word);
      OptionalField(item, "word_b", where, station.word_b, Word);
      OptionalField(item, "spare", where, station.spare, Word);
      OptionalField(item, "sort", where, station.sort, Word);
      OptionalField(item, "kana_sort", where, station.kana_sort, Word);
      spec_.stations.push_back(station);
    }
  }

  void ReadRoutes(const json& routes) {
    for (std::size_t i = 0; i < routes.size(); ++i) {
      const std::string where = At("routes", i);
      const json& item = routes[i];
      AllowOnly(item, where,
                {"name", "name_index", "company", "company_length", "spare", "word", "byte", "trailer", "stops",
                 "station_count"});
      RouteSpec route;
      std::string name;
      if (item.contains("name")) {
        name = Text(item.at("name"), At(where, "name"));
        route.name_index = Intern(name, At(where, "name"));
        if (item.at("name").is_string()) {
          routes_.Add(item.at("name").get<std::string>(), i);
        }
      } else if (!item.contains("name_index")) {
        Fail(where, "needs a name (or a raw name_index)");
      }
      if (item.contains("company")) {
        if (item.contains("company_length")) Fail(where, "gives both company and company_length");
        if (!item.contains("name")) Fail(At(where, "company"), "needs the route's name to be a prefix of");
        const std::string company = Text(item.at("company"), At(where, "company"));
        if (company.empty()) Fail(At(where, "company"), "is empty; leave it out for a route without a company");
        if (company.size() > name.size() || name.compare(0, company.size(), company) != 0)
          Fail(At(where, "company"), "is not the beginning of the route's name " + item.at("name").dump());
        if (company.size() > 0xFF) Fail(At(where, "company"), "is longer than 255 bytes in Shift_JIS");
        route.company_length = static_cast<std::uint8_t>(company.size());
      }
      OptionalField(item, "name_index", where, route.name_index, Word);
      if (item.contains("company_length"))
        route.company_length =
            static_cast<std::uint8_t>(Integer(item.at("company_length"), At(where, "company_length"), 0, 0xFF));
      OptionalField(item, "spare", where, route.spare, Word);
      OptionalField(item, "word", where, route.word, Word);
      if (item.contains("byte"))
        route.byte = static_cast<std::uint8_t>(Integer(item.at("byte"), At(where, "byte"), 0, 0xFF));
      OptionalField(item, "trailer", where, route.trailer, Word);
      if (item.contains("station_count"))
        route.station_count = Word(item.at("station_count"), At(where, "station_count"));
      route.stops = Stops(item, where, stations_);
      spec_.routes.push_back(route);
    }
  }

  void ReadNodes(const json& nodes) {
    std::map<std::string, std::uint16_t> node_by_id;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (!nodes[i].is_object() || !nodes[i].contains("id")) continue;
      const json& id = nodes[i].at("id");
      if (!id.is_string()) Fail(At(At("nodes", i), "id"), "must be a text");
      if (node_by_id.count(id.get<std::string>()))
        Fail(At(At("nodes", i), "id"), "\"" + id.get<std::string>() + "\" names two nodes");
      node_by_id[id.get<std::string>()] = static_cast<std::uint16_t>(i);
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const std::string where = At("nodes", i);
      const json& item = nodes[i];
      AllowOnly(item, where, {"id", "station", "route", "word_a", "word_b", "edges", "edge_count"});
      NodeSpec node;
      if (item.contains("station")) node.word_a = stations_.NamedWord(item.at("station"), At(where, "station"));
      if (item.contains("route")) node.word_b = routes_.NamedWord(item.at("route"), At(where, "route"));
      OptionalField(item, "word_a", where, node.word_a, Word);
      OptionalField(item, "word_b", where, node.word_b, Word);
      if (item.contains("edge_count")) node.edge_count = Word(item.at("edge_count"), At(where, "edge_count"));
      if (item.contains("edges")) {
        const json& edges = Array(item.at("edges"), At(where, "edges"));
        for (std::size_t j = 0; j < edges.size(); ++j) {
          const std::string edge_where = At(At(where, "edges"), j);
          AllowOnly(edges[j], edge_where, {"to", "value"});
          if (!edges[j].contains("to")) Fail(edge_where, "needs a target node (to)");
          EdgeSpec edge;
          const json& to = edges[j].at("to");
          if (to.is_string()) {
            auto found = node_by_id.find(to.get<std::string>());
            if (found == node_by_id.end())
              Fail(At(edge_where, "to"), "no node has the id \"" + to.get<std::string>() + "\"");
            edge.target = found->second;
          } else {
            edge.target = Word(to, At(edge_where, "to"));
          }
          OptionalField(edges[j], "value", edge_where, edge.value, Word);
          node.edges.push_back(edge);
        }
      }
      spec_.nodes.push_back(node);
    }
  }

  void ReadOrder(const json& order) {
    if (order == "base-then-trailer") {
      spec_.order = SectionOrder::kBaseThenTrailer;
    } else if (order == "trailer-then-base") {
      spec_.order = SectionOrder::kTrailerThenBase;
    } else {
      Fail("section_order", "must be \"base-then-trailer\" or \"trailer-then-base\"");
    }
  }

  void ReadHeader(const json& item) {
    const std::string where = "header";
    AllowOnly(item, where,
              {"magic", "base_offset", "trailer_offset", "rstat_capacity", "node_count", "station_count", "route_count",
               "string_count", "pool_size", "edge_capacity", "unused_middle", "unused_tail"});
    HeaderSpec& h = spec_.header;
    FixedBytes(item, "magic", where, h.magic);
    if (item.contains("base_offset"))
      h.base_offset =
          static_cast<std::uint32_t>(Integer(item.at("base_offset"), At(where, "base_offset"), 0, 0xFFFFFFFF));
    if (item.contains("trailer_offset"))
      h.trailer_offset =
          static_cast<std::uint32_t>(Integer(item.at("trailer_offset"), At(where, "trailer_offset"), 0, 0xFFFFFFFF));
    OptionalField(item, "rstat_capacity", where, h.rstat_capacity, SignedOrUnsignedWord);
    OptionalField(item, "edge_capacity", where, h.edge_capacity, SignedOrUnsignedWord);
    for (auto [key, field] : {std::pair{"node_count", &h.node_count}, std::pair{"station_count", &h.station_count},
                              std::pair{"route_count", &h.route_count}, std::pair{"string_count", &h.string_count},
                              std::pair{"pool_size", &h.pool_size}}) {
      if (item.contains(key)) *field = SignedOrUnsignedWord(item.at(key), At(where, key));
    }
    FixedBytes(item, "unused_middle", where, h.unused_middle);
    FixedBytes(item, "unused_tail", where, h.unused_tail);
  }

  NetworkSpec spec_;
  NameIndex stations_{"station", {}, {}};
  NameIndex routes_{"route", {}, {}};
};

}  // namespace

NetworkSpec ReadDescription(const json& description, std::vector<std::string>& notes) {
  if (description.is_object() && description.contains("kind")) return ReadDump(description, notes);
  return Reader().Read(description);
}
