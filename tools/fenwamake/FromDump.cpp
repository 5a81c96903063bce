// fenwadump's JSON read back into a description of an intermediate data file.
//
// What the dump shows of the file or image is taken as it is; what the
// converter works out (company numbers, route-station blocks, first edges,
// counts, the image's container) is left for it to work out again, so that an
// edit means what it says. Names are compared with the string they were read
// from: a name that still reads so changes nothing, a changed one gives its
// station or route a string with the new text.
#include <algorithm>

#include "network/IntermediateFormat.h"
#include "network/StringTable.h"
#include "text/ShiftJis.h"
#include "tools/fenwamake/Description.h"
#include "tools/fenwamake/Fields.h"

using nlohmann::json;

namespace {

using namespace fields;

class DumpReader {
 public:
  explicit DumpReader(std::vector<std::string>& notes) : notes_(notes) {}

  NetworkSpec Read(const json& dump) {
    if (!dump.at("kind").is_string() || (dump.at("kind") != "database" && dump.at("kind") != "intermediate"))
      Fail("kind",
           "must be \"database\" or \"intermediate\": fenwamake reads fenwadump's dump of a file it could read");
    image_ = dump.at("kind") == "database";
    if (image_) {
      AllowOnly(
          dump, "",
          {"kind", "size", "database", "records", "image_header", "stations", "route_stations", "routes", "companies",
           "strings", "string_pool", "nodes", "unowned_edges", "edge_count", "problems", "warnings"});
    } else {
      AllowOnly(dump, "",
                {"kind", "size", "header", "node_section_end", "edge_total", "stations", "routes", "companies",
                 "strings", "string_pool", "nodes", "problems", "warnings"});
    }
    ReadStrings(dump);
    const json empty = json::array();
    const json& stations = dump.contains("stations") ? Array(dump.at("stations"), "stations") : empty;
    const json& routes = dump.contains("routes") ? Array(dump.at("routes"), "routes") : empty;
    for (std::size_t i = 0; i < stations.size(); ++i) {
      if (stations[i].is_object() && stations[i].contains("name") && stations[i].at("name").is_string())
        station_names_.Add(stations[i].at("name").get<std::string>(), i);
    }
    for (std::size_t i = 0; i < stations.size(); ++i) ReadStation(stations[i], At("stations", i));
    for (std::size_t r = 0; r < routes.size(); ++r) ReadRoute(routes[r], At("routes", r));
    ReadNodes(dump);
    const StringTableBytes table = strings_->Finish();
    file_.raw_string_index = table.index;
    file_.raw_pool = table.pool;
    if (image_) {
      ReadImageCapacities(dump);
    } else if (dump.contains("header")) {
      ReadHeader(dump.at("header"));
    }
    return std::move(file_);
  }

 private:
  // The bytes a text field gives: its `..._bytes` while the text still reads
  // as those bytes do, else the text in Shift_JIS; nullopt when there is no text.
  static std::optional<std::string> TextBytes(const json& object, const std::string& key, const std::string& where) {
    if (!object.contains(key) || object.at(key).is_null()) return std::nullopt;
    const json& text = object.at(key);
    if (!text.is_string()) Fail(At(where, key), "must be a text or null");
    const std::string bytes_key = key + "_bytes";
    if (object.contains(bytes_key)) {
      const std::string bytes = HexText(object.at(bytes_key), At(where, bytes_key));
      if (ShiftJisToUtf8(bytes).utf8 == text.get<std::string>()) return bytes;
    }
    return ShiftJis(text.get<std::string>(), At(where, key));
  }

  void ReadStrings(const json& dump) {
    const std::string pool = dump.contains("string_pool") ? HexText(dump.at("string_pool"), "string_pool") : "";
    if (pool.size() > 0xFFFF) Fail("string_pool", "holds more than 65535 bytes");
    const json empty = json::array();
    const json& strings = dump.contains("strings") ? Array(dump.at("strings"), "strings") : empty;
    std::vector<std::uint16_t> index;
    for (std::size_t i = 0; i < strings.size(); ++i) {
      const std::string where = At("strings", i);
      AllowOnly(strings[i], where, {"index", "offset", "text", "text_bytes", "terminated"});
      if (!strings[i].contains("offset") && !strings[i].contains("text"))
        Fail(where, "needs a text (or the offset of its bytes in string_pool)");
      // A string without an offset has no bytes in the pool yet: it is added.
      index.push_back(strings[i].contains("offset") ? Word(strings[i].at("offset"), At(where, "offset")) : 0xFFFF);
    }
    strings_.emplace(index, pool);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      const std::optional<std::string> bytes = TextBytes(strings[i], "text", At("strings", i));
      if (bytes) strings_->Set(i, *bytes);
    }
  }

  // The string index a station's word A or a route's name gives: as given,
  // unless the name reads otherwise than the string it was read from.
  std::uint16_t Named(const json& item, const std::string& where, std::uint16_t index) {
    const std::optional<std::string> name = TextBytes(item, "name", where);
    if (!name || strings_->Original(index) == name) return index;
    const std::size_t found = strings_->Intern(*name);
    if (found > static_cast<std::size_t>(kMaxStrings)) Fail(At(where, "name"), "the string table is full");
    return static_cast<std::uint16_t>(found);
  }

  void ReadStation(const json& item, const std::string& where) {
    if (image_) {
      AllowOnly(item, where, {"index", "name", "name_bytes", "word_a", "word_b", "sort", "kana_sort"});
    } else {
      AllowOnly(item, where, {"index", "name", "name_bytes", "word_a", "word_b", "spare", "sort", "kana_sort"});
    }
    StationSpec station;
    OptionalField(item, "word_a", where, station.word_a, Word);
    station.word_a = Named(item, where, station.word_a);
    OptionalField(item, "word_b", where, station.word_b, Word);
    OptionalField(item, "spare", where, station.spare, Word);
    OptionalField(item, "sort", where, station.sort, Word);
    OptionalField(item, "kana_sort", where, station.kana_sort, Word);
    file_.stations.push_back(station);
  }

  void ReadRoute(const json& item, const std::string& where) {
    AllowOnly(item, where,
              {"index", "name_index", "name", "name_bytes", "company", "company_length", "company_name",
               "company_name_bytes", "first_slot", "spare", "station_count", "word", "byte", "trailer", "stops"});
    RouteSpec route;
    if (!item.contains("name_index") && !(item.contains("name") && item.at("name").is_string()))
      Fail(where, "needs a name (or a name_index)");
    if (item.contains("name_index")) route.name_index = Word(item.at("name_index"), At(where, "name_index"));
    route.name_index = Named(item, where, route.name_index);
    if (item.contains("company_length")) {
      route.company_length =
          static_cast<std::uint8_t>(Integer(item.at("company_length"), At(where, "company_length"), 0, 0xFF));
    } else if (const std::optional<std::string> company = TextBytes(item, "company_name", where)) {
      // A route added by hand may name its company instead of giving the length.
      const std::string name = strings_->Current(route.name_index).value_or("");
      if (company->empty() || company->size() > 0xFF || name.compare(0, company->size(), *company) != 0)
        Fail(At(where, "company_name"), "is not the beginning of the route's name");
      route.company_length = static_cast<std::uint8_t>(company->size());
    }
    OptionalField(item, "spare", where, route.spare, Word);
    OptionalField(item, "word", where, route.word, Word);
    if (item.contains("byte"))
      route.byte = static_cast<std::uint8_t>(Integer(item.at("byte"), At(where, "byte"), 0, 0xFF));
    OptionalField(item, "trailer", where, route.trailer, Word);
    route.stops = Stops(item, where, station_names_);
    file_.routes.push_back(route);
  }

  std::vector<EdgeSpec> ReadEdges(const json& edges, const std::string& where, bool indexed) {
    std::vector<EdgeSpec> read;
    for (std::size_t j = 0; j < Array(edges, where).size(); ++j) {
      const std::string edge_where = At(where, j);
      if (indexed) {
        AllowOnly(edges[j], edge_where, {"index", "target", "value"});
      } else {
        AllowOnly(edges[j], edge_where, {"target", "value"});
      }
      if (!edges[j].contains("target")) Fail(edge_where, "needs a target");
      EdgeSpec edge;
      edge.target = Word(edges[j].at("target"), At(edge_where, "target"));
      OptionalField(edges[j], "value", edge_where, edge.value, Word);
      read.push_back(edge);
    }
    return read;
  }

  void ReadNodes(const json& dump) {
    const json empty = json::array();
    const json& nodes = dump.contains("nodes") ? Array(dump.at("nodes"), "nodes") : empty;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const std::string where = At("nodes", i);
      if (image_) {
        AllowOnly(nodes[i], where, {"index", "word_a", "word_b", "mark", "first_edge", "edge_count", "edges", "role"});
        // The reserve nodes behind the file's nodes are the converter's own.
        if (nodes[i].contains("role") && nodes[i].at("role") == "reserve") continue;
      } else {
        AllowOnly(nodes[i], where, {"index", "word_a", "word_b", "edge_count", "edges"});
      }
      NodeSpec node;
      OptionalField(nodes[i], "word_a", where, node.word_a, Word);
      OptionalField(nodes[i], "word_b", where, node.word_b, Word);
      if (nodes[i].contains("edges")) node.edges = ReadEdges(nodes[i].at("edges"), At(where, "edges"), false);
      file_.nodes.push_back(node);
    }
    if (!image_ || !dump.contains("unowned_edges")) return;
    // The edges nodes 0 and 1 had before the converter emptied them: which of
    // the two had which is not in the image, and makes no difference to it.
    std::vector<EdgeSpec> unowned = ReadEdges(dump.at("unowned_edges"), "unowned_edges", true);
    if (unowned.empty()) return;
    if (file_.nodes.empty()) Fail("unowned_edges", "need a node 0 to belong to, and the dump has no file nodes");
    std::vector<EdgeSpec>& first = file_.nodes.front().edges;
    first.insert(first.begin(), unowned.begin(), unowned.end());
  }

  // The image holds the route-station capacity but not the edge capacity: the
  // file gets the capacity the image has (raised when the routes' stops no
  // longer fit it) and room for its edges.
  void ReadImageCapacities(const json& dump) {
    std::uint16_t capacity = 0;
    if (dump.contains("image_header") && dump.at("image_header").is_object() &&
        dump.at("image_header").contains("rstat_capacity"))
      capacity = Word(dump.at("image_header").at("rstat_capacity"), "image_header.rstat_capacity");
    std::vector<std::uint16_t> stops;
    for (const RouteSpec& route : file_.routes) stops.push_back(static_cast<std::uint16_t>(route.stops.size()));
    const std::int64_t least = LeastRStatCapacity(stops);
    const std::int64_t effective = capacity > 0 ? capacity : 2 * static_cast<std::int64_t>(file_.stations.size());
    if (effective < least) {
      if (least > kMaxRStatCapacity)
        Fail("routes", "the stops need " + std::to_string(least) + " route-station entries, more than the " +
                           std::to_string(kMaxRStatCapacity) + " an image holds");
      notes_.push_back("the routes' stops need " + std::to_string(least) +
                       " route-station entries: the capacity is raised from " + std::to_string(effective));
      capacity = static_cast<std::uint16_t>(least);
    }
    file_.header.rstat_capacity = capacity;
    std::size_t edges = 0;
    for (const NodeSpec& node : file_.nodes) edges += node.edges.size();
    if (edges > static_cast<std::size_t>(kDefaultEdgeCapacity))
      file_.header.edge_capacity = static_cast<std::uint16_t>(std::min<std::size_t>(edges, 0x7FFF));
  }

  void ReadHeader(const json& item) {
    const std::string where = "header";
    AllowOnly(item, where,
              {"magic", "base_offset", "trailer_offset", "unused_middle", "rstat_capacity", "node_count",
               "station_count", "route_count", "string_count", "pool_size", "edge_capacity", "unused_tail",
               "effective_rstat_capacity", "effective_edge_capacity"});
    HeaderSpec& h = file_.header;
    FixedBytes(item, "magic", where, h.magic, HexText);
    FixedBytes(item, "unused_middle", where, h.unused_middle, HexText);
    FixedBytes(item, "unused_tail", where, h.unused_tail, HexText);
    OptionalField(item, "rstat_capacity", where, h.rstat_capacity, SignedOrUnsignedWord);
    OptionalField(item, "edge_capacity", where, h.edge_capacity, SignedOrUnsignedWord);
    if (item.contains("base_offset") && item.contains("trailer_offset")) {
      SectionPlacement placement;
      placement.base =
          static_cast<std::uint32_t>(Integer(item.at("base_offset"), At(where, "base_offset"), 0, kMaxSectionOffset));
      placement.trailer = static_cast<std::uint32_t>(
          Integer(item.at("trailer_offset"), At(where, "trailer_offset"), 0, kMaxSectionOffset));
      file_.placement = placement;
    }
  }

  std::vector<std::string>& notes_;
  bool image_ = false;
  NetworkSpec file_;
  std::optional<StringTableEditor> strings_;
  NameIndex station_names_{"station", {}, {}};
};

}  // namespace

NetworkSpec ReadDump(const json& dump, std::vector<std::string>& notes) { return DumpReader(notes).Read(dump); }
