// The views of a difference between two networks: text for people, JSON for
// programs, and a Graphviz picture with what changed marked.
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <sstream>

#include "diff/Diff.h"
#include "text/Json.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"
#include "toolkit/DotText.h"

namespace {

// ---------------------------------------------------------------------------
// Text.

const char* KindText(FileKind kind) {
  switch (kind) {
    case FileKind::kIntermediate: return "an intermediate data file";
    case FileKind::kDatabase: return "a fenwaimg.pdb";
    case FileKind::kDescription: return "a description";
    case FileKind::kIntermediateDump: return "a dump of an intermediate data file";
    case FileKind::kDatabaseDump: return "a dump of a fenwaimg.pdb";
  }
  return "";
}

std::string NameText(const std::optional<std::string>& name, const std::optional<std::string>& bytes) {
  if (!name) return "(no name)";
  return Quoted(*name) + (bytes ? " (bytes " + HexBytes(*bytes) + ")" : "");
}
std::string NameText(const Named& named) { return NameText(named.name, named.name_bytes); }

// A station or route by its name, or by its number when it has none.
std::string NameOrNumber(const Named& named, const char* what) {
  return named.name ? NameText(named) : std::string(what) + " " + std::to_string(named.number);
}

// "station 5 "name"", with "(now 6)" when its number changed.
std::string ItemText(const char* what, const std::optional<Named>& a, const std::optional<Named>& b) {
  const Named& shown = a ? *a : *b;
  std::string text = std::string(what) + " " + std::to_string(shown.number);
  if (a && b && a->number != b->number) text += " (now " + std::to_string(b->number) + ")";
  return text + " " + NameText(shown);
}

std::string ValueText(const Value& value) {
  if (value.number) return std::to_string(*value.number);
  return value.text ? Quoted(*value.text) : "null";
}

std::string FieldsText(const std::vector<FieldChange>& fields) {
  std::string text;
  for (const FieldChange& f : fields)
    text += (text.empty() ? "" : ", ") + f.field + " " + ValueText(f.old_value) + " -> " + ValueText(f.new_value);
  return text;
}

std::string StationsText(const std::vector<Named>& stops) {
  std::string text;
  for (const Named& stop : stops) text += (text.empty() ? ": stops " : ", ") + NameOrNumber(stop, "station");
  return text;
}

std::string ItemLine(const char* what, const ItemChange& item) {
  const std::string text = ItemText(what, item.old_item, item.new_item);
  switch (item.change) {
    case Change::kAdded: return "+ " + text + StationsText(item.stops);
    case Change::kRemoved: return "- " + text + StationsText(item.stops);
    case Change::kRenamed: return "~ " + text + " renamed " + NameText(*item.new_item);
    case Change::kMoved: return "~ " + text + " moved";
    case Change::kChanged: break;
  }
  return "~ " + text + ": " + FieldsText(item.fields);
}

std::string StopLine(const StopChange& stop) {
  const std::string route = "route " + std::to_string(stop.route.number) + " " + NameText(stop.route);
  const std::string station = NameOrNumber(stop.station, "station");
  const auto at = [](const std::optional<std::uint32_t>& place) { return " stop " + std::to_string(*place) + " "; };
  switch (stop.kind) {
    case StopChange::Kind::kGained: return "+ " + route + at(stop.new_stop) + station;
    case StopChange::Kind::kLost: return "- " + route + at(stop.old_stop) + station;
    case StopChange::Kind::kMoved:
      return "~ " + route + at(stop.old_stop) + station + " moved to stop " + std::to_string(*stop.new_stop);
    case StopChange::Kind::kChanged: break;
  }
  return "~ " + route + at(stop.new_stop) + station + ": " + FieldsText(stop.fields);
}

std::string CompanyText(const std::optional<std::string>& company) {
  return company ? Quoted(*company) : "(no company)";
}

std::string RoutesText(const std::vector<Named>& routes) {
  std::string text;
  for (const Named& r : routes) text += (text.empty() ? "" : ", ") + ItemText("route", r, std::nullopt);
  return text;
}

std::string CompanyLine(const CompanyChange& change) {
  switch (change.change) {
    case Change::kAdded: return "+ company " + CompanyText(change.company) + ": " + RoutesText(change.routes);
    case Change::kRemoved: return "- company " + CompanyText(change.company) + ": " + RoutesText(change.routes);
    default: break;
  }
  return "~ " + RoutesText(change.routes) + " moved from " + CompanyText(change.old_company) + " to " +
         CompanyText(change.new_company);
}

std::string NodeText(const NodeSide& node, const std::optional<NodeSide>& now = std::nullopt) {
  if (!node.number) return "(owned by no node)";
  std::string text = "node " + std::to_string(*node.number);
  if (now && now->number != node.number) text += " (now " + std::to_string(*now->number) + ")";
  if (node.missing) return text + " (no such node)";
  if (node.role) return text + " (" + Escaped(*node.role) + ")";
  const std::string a = node.station ? NameOrNumber(*node.station, "station") : "A " + std::to_string(node.word_a);
  const std::string b = node.route ? NameOrNumber(*node.route, "route") : "B " + std::to_string(node.word_b);
  return text + " (" + a + ", " + b + ")";
}

std::string NodeLine(const NodeChange& change) {
  switch (change.change) {
    case Change::kAdded: return "+ " + NodeText(*change.new_node);
    case Change::kRemoved: return "- " + NodeText(*change.old_node);
    case Change::kMoved: return "~ " + NodeText(*change.old_node, change.new_node) + " moved";
    default: break;
  }
  return "~ " + NodeText(*change.old_node, change.new_node) + ": " + FieldsText(change.fields);
}

std::string EdgeLine(const EdgeChange& edge) {
  std::string text = "edge " + NodeText(edge.from) + " -> " + NodeText(edge.to);
  if (edge.flags != 0) text += " (flags " + std::to_string(edge.flags) + ")";
  const auto value = [](const std::optional<std::uint16_t>& v) { return std::to_string(*v); };
  switch (edge.change) {
    case Change::kAdded: return "+ " + text + ": value " + value(edge.new_value);
    case Change::kRemoved: return "- " + text + ": value " + value(edge.old_value);
    default: break;
  }
  return "~ " + text + ": value " + value(edge.old_value) + " -> " + value(edge.new_value);
}

std::string StringLine(const StringChange& string) {
  const std::string text = string.text ? NameText(string.text, string.text_bytes) : "(outside the pool)";
  return (string.change == Change::kAdded ? "+ string " : "- string ") + text;
}

// A section: its title, the count of each kind of change, and a line each.
class Section {
 public:
  explicit Section(std::string title) : title_(std::move(title)) {}
  void Add(const std::string& kind, const std::string& line) {
    ++counts_[kind];
    lines_.push_back(line);
  }
  void WriteTo(std::ostringstream& out) const {
    if (lines_.empty()) return;
    static const std::array<const char*, 9> kOrder = {"added",   "gained", "removed", "lost",  "renamed",
                                                      "shifted", "moved",  "changed", "differ"};
    std::string counts;
    for (const char* kind : kOrder) {
      const auto found = counts_.find(kind);
      if (found != counts_.end())
        counts += (counts.empty() ? "" : ", ") + std::to_string(found->second) + " " + std::string(kind);
    }
    out << title_ << ": " << counts << "\n";
    for (const std::string& line : lines_) out << "  " << line << "\n";
  }

 private:
  std::string title_;
  std::map<std::string, std::size_t> counts_;
  std::vector<std::string> lines_;
};

void WriteSections(std::ostringstream& out, const Difference& d) {
  Section stations("stations"), sorts("sort orders"), routes("routes"), stops("stops"), companies("companies");
  for (const ItemChange& item : d.stations) stations.Add(ChangeName(item.change), ItemLine("station", item));
  for (const SortShift& shift : d.sort_shifts)
    sorts.Add("shifted", "~ " + shift.field + ": " + std::to_string(shift.stations) +
                             (shift.stations == 1 ? " station keeps its" : " stations keep their") +
                             " place in the order under another word");
  for (const ItemChange& item : d.routes) routes.Add(ChangeName(item.change), ItemLine("route", item));
  for (const StopChange& stop : d.stops) stops.Add(StopChangeName(stop.kind), StopLine(stop));
  for (const CompanyChange& c : d.companies) companies.Add(ChangeName(c.change), CompanyLine(c));
  Section nodes("graph nodes"), edges("graph edges"), strings("other strings");
  for (const NodeChange& node : d.nodes) nodes.Add(ChangeName(node.change), NodeLine(node));
  for (const EdgeChange& edge : d.edges) edges.Add(ChangeName(edge.change), EdgeLine(edge));
  for (const StringChange& string : d.strings) strings.Add(ChangeName(string.change), StringLine(string));
  Section image_header("image header"), database("database header"), regions("other regions of the image");
  for (const FieldChange& f : d.image_header) image_header.Add("changed", "~ " + FieldsText({f}));
  for (const FieldChange& f : d.database) database.Add("changed", "~ " + FieldsText({f}));
  for (const std::string& region : d.regions) regions.Add("differ", "~ " + region);
  for (const Section* section :
       {&stations, &sorts, &routes, &stops, &companies, &nodes, &edges, &strings, &image_header, &database, &regions})
    section->WriteTo(out);
}

// ---------------------------------------------------------------------------
// JSON.

void WriteValue(JsonWriter& out, const Value& value) {
  if (value.number) {
    out.Unsigned(*value.number);
  } else if (value.text) {
    out.String(*value.text);
  } else {
    out.Null();
  }
}

// Members of the object being written.
void Number(JsonWriter& out, const char* key, std::uint64_t value) {
  out.Key(key);
  out.Unsigned(value);
}
void Flag(JsonWriter& out, const char* key, bool value) {
  out.Key(key);
  out.Bool(value);
}
void Text(JsonWriter& out, const char* key, const std::string& text) {
  out.Key(key);
  out.String(text);
}

void WriteText(JsonWriter& out, const char* key, const std::optional<std::string>& text) {
  out.Key(key);
  if (text) {
    out.String(*text);
  } else {
    out.Null();
  }
}

void WriteNamed(JsonWriter& out, const Named& named) {
  out.BeginObject();
  out.Key("number");
  out.Unsigned(named.number);
  WriteText(out, "name", named.name);
  if (named.name_bytes) WriteText(out, "name_bytes", HexBytes(*named.name_bytes));
  out.EndObject();
}

void NamedMember(JsonWriter& out, const char* key, const Named& named) {
  out.Key(key);
  WriteNamed(out, named);
}

void WriteNamedList(JsonWriter& out, const char* key, const std::vector<Named>& list) {
  out.Key(key);
  out.BeginArray();
  for (const Named& named : list) WriteNamed(out, named);
  out.EndArray();
}

void WriteFields(JsonWriter& out, const char* key, const std::vector<FieldChange>& fields) {
  out.Key(key);
  out.BeginArray();
  for (const FieldChange& f : fields) {
    out.BeginObject();
    out.Key("field");
    out.String(f.field);
    out.Key("old");
    WriteValue(out, f.old_value);
    out.Key("new");
    WriteValue(out, f.new_value);
    out.EndObject();
  }
  out.EndArray();
}

void WriteChange(JsonWriter& out, const char* change) {
  out.Key("change");
  out.String(change);
}

void WriteItems(JsonWriter& out, const char* key, const std::vector<ItemChange>& items) {
  out.Key(key);
  out.BeginArray();
  for (const ItemChange& item : items) {
    out.BeginObject();
    WriteChange(out, ChangeName(item.change));
    if (item.old_item) NamedMember(out, "old", *item.old_item);
    if (item.new_item) NamedMember(out, "new", *item.new_item);
    if (!item.fields.empty()) WriteFields(out, "fields", item.fields);
    if (item.change == Change::kAdded || item.change == Change::kRemoved) WriteNamedList(out, "stops", item.stops);
    out.EndObject();
  }
  out.EndArray();
}

void WriteStops(JsonWriter& out, const std::vector<StopChange>& stops) {
  out.Key("stops");
  out.BeginArray();
  for (const StopChange& stop : stops) {
    out.BeginObject();
    WriteChange(out, StopChangeName(stop.kind));
    NamedMember(out, "route", stop.route);
    NamedMember(out, "station", stop.station);
    if (stop.old_stop) Number(out, "old_stop", *stop.old_stop);
    if (stop.new_stop) Number(out, "new_stop", *stop.new_stop);
    if (!stop.fields.empty()) WriteFields(out, "fields", stop.fields);
    out.EndObject();
  }
  out.EndArray();
}

void WriteCompanies(JsonWriter& out, const std::vector<CompanyChange>& companies) {
  out.Key("companies");
  out.BeginArray();
  for (const CompanyChange& company : companies) {
    out.BeginObject();
    WriteChange(out, ChangeName(company.change));
    if (company.change == Change::kMoved) {
      NamedMember(out, "route", company.routes.at(0));
      WriteText(out, "old_company", company.old_company);
      WriteText(out, "new_company", company.new_company);
    } else {
      WriteText(out, "company", company.company);
      WriteNamedList(out, "routes", company.routes);
    }
    out.EndObject();
  }
  out.EndArray();
}

void WriteNode(JsonWriter& out, const NodeSide& node) {
  if (!node.number) return out.Null();
  out.BeginObject();
  Number(out, "number", *node.number);
  if (node.missing) Flag(out, "missing", true);
  if (node.role) WriteText(out, "role", node.role);
  if (!node.missing) {
    Number(out, "word_a", node.word_a);
    Number(out, "word_b", node.word_b);
  }
  if (node.station) NamedMember(out, "station", *node.station);
  if (node.route) NamedMember(out, "route", *node.route);
  out.EndObject();
}

void NodeMember(JsonWriter& out, const char* key, const NodeSide& node) {
  out.Key(key);
  WriteNode(out, node);
}

void WriteGraph(JsonWriter& out, const Difference& d) {
  out.Key("nodes");
  out.BeginArray();
  for (const NodeChange& node : d.nodes) {
    out.BeginObject();
    WriteChange(out, ChangeName(node.change));
    if (node.old_node) NodeMember(out, "old", *node.old_node);
    if (node.new_node) NodeMember(out, "new", *node.new_node);
    if (!node.fields.empty()) WriteFields(out, "fields", node.fields);
    out.EndObject();
  }
  out.EndArray();
  out.Key("edges");
  out.BeginArray();
  for (const EdgeChange& edge : d.edges) {
    out.BeginObject();
    WriteChange(out, ChangeName(edge.change));
    NodeMember(out, "from", edge.from);
    NodeMember(out, "to", edge.to);
    Number(out, "flags", edge.flags);
    if (edge.old_value) Number(out, "old_value", *edge.old_value);
    if (edge.new_value) Number(out, "new_value", *edge.new_value);
    out.EndObject();
  }
  out.EndArray();
}

void WriteStrings(JsonWriter& out, const std::vector<StringChange>& strings) {
  out.Key("strings");
  out.BeginArray();
  for (const StringChange& string : strings) {
    out.BeginObject();
    WriteChange(out, ChangeName(string.change));
    WriteText(out, "text", string.text);
    if (string.text_bytes) WriteText(out, "text_bytes", HexBytes(*string.text_bytes));
    out.EndObject();
  }
  out.EndArray();
}

void WriteFile(JsonWriter& out, const char* key, const ComparedFile& file) {
  out.Key(key);
  out.BeginObject();
  Text(out, "name", file.name);
  Text(out, "file", FileKindName(file.kind));
  out.EndObject();
}

// ---------------------------------------------------------------------------
// The picture.

constexpr const char* kAdded = "#2ca02c";
constexpr const char* kRemoved = "#d62728";
constexpr const char* kRenamed = "#9467bd";
constexpr const char* kChanged = "#ff7f0e";
constexpr const char* kSame = "#aaaaaa";
// A network of at most this many stations is drawn whole; a larger one shows
// what changed and the stops next to it.
constexpr std::size_t kWholeNetwork = 150;

// A station or a route in the picture: its id, label and mark (a colour, or none).
struct Mark {
  std::string label;
  const char* colour = nullptr;
  bool removed = false;
};

class Picture {
 public:
  Picture(const Difference& d, const Document& old_doc, const Document& new_doc, std::string title)
      : d_(d), old_(old_doc), new_(new_doc), title_(std::move(title)) {
    MarkStations();
    MarkRoutes();
  }

  std::string Draw() const {
    std::set<std::string> focus = Focus();
    std::ostringstream paths;
    std::set<std::string> drawn = focus;
    for (const auto& [id, route] : routes_) DrawRoute(paths, route, focus, drawn);
    std::ostringstream out;
    out << "graph difference {\n" << DotNetworkStyle();
    for (const std::string& id : drawn) DrawStation(out, id, focus.count(id) > 0);
    out << paths.str();
    Legend(out);
    out << "}\n";
    return out.str();
  }

 private:
  struct Route {
    Mark mark;
    std::vector<std::string> stops;       // station ids
    std::vector<std::string> lost_stops;  // a changed route: its old stops, for the stretches it lost
  };

  // A name as a label, cut to a length Graphviz reads and a picture shows.
  static std::string Label(const Maybe<std::string>& name, std::uint32_t number, const char* what) {
    return name ? DotName(Escaped(*name)) : std::string(what) + " " + std::to_string(number);
  }
  static std::string RouteLabel(const RouteEntry& route, std::uint32_t number) {
    return Label(route.name ? *route.name : std::nullopt, number, "route");
  }

  // The id a station of either side has in the picture: new stations by their
  // new number, removed ones by their old.
  std::string StationId(bool old, std::uint32_t s) const {
    if (!old) return "n" + std::to_string(s);
    if (s < d_.station_partner.size() && d_.station_partner[s]) return "n" + std::to_string(*d_.station_partner[s]);
    return "o" + std::to_string(s);
  }

  void MarkStations() {
    const std::vector<StationEntry>&a = Items(old_.stations), &b = Items(new_.stations);
    for (std::uint32_t s = 0; s < b.size(); ++s)
      stations_["n" + std::to_string(s)].label = Label(b[s].name, s, "station");
    for (std::uint32_t s = 0; s < a.size(); ++s) {
      if (s < d_.station_partner.size() && d_.station_partner[s]) continue;
      stations_["o" + std::to_string(s)] = {Label(a[s].name, s, "station"), kRemoved, true};
    }
    for (const ItemChange& item : d_.stations) {
      if (!item.new_item) continue;
      Mark& mark = stations_["n" + std::to_string(item.new_item->number)];
      if (item.change == Change::kAdded) mark.colour = kAdded;
      if (item.change == Change::kRenamed) {
        mark.colour = kRenamed;
        mark.label = Label(item.old_item->name, item.old_item->number, "station") + " → " + mark.label;
      }
      if (!mark.colour) mark.colour = kChanged;
    }
  }

  void MarkRoutes() {
    const std::vector<RouteEntry>&a = Items(old_.routes), &b = Items(new_.routes);
    for (std::uint32_t r = 0; r < b.size(); ++r) {
      Route& route = routes_["n" + std::to_string(r)];
      route.mark.label = RouteLabel(b[r], r);
      for (const StopEntry& stop : Items(b[r].stops)) route.stops.push_back(StationId(false, StopStation(stop)));
    }
    std::map<std::uint32_t, std::uint32_t> old_of;  // new route -> old route
    for (std::uint32_t r = 0; r < a.size(); ++r) {
      if (r < d_.route_partner.size() && d_.route_partner[r]) {
        old_of[*d_.route_partner[r]] = r;
        continue;
      }
      Route& route = routes_["o" + std::to_string(r)];
      route.mark = {RouteLabel(a[r], r), kRemoved, true};
      for (const StopEntry& stop : Items(a[r].stops)) route.stops.push_back(StationId(true, StopStation(stop)));
    }
    for (const ItemChange& item : d_.routes) MarkRoute(item, old_of);
    for (const StopChange& stop : d_.stops) ChangeRoute(stop.route.number, old_of);
    for (const CompanyChange& change : d_.companies)
      if (change.change == Change::kMoved) ChangeRoute(change.routes.at(0).number, old_of);
  }

  static std::uint32_t StopStation(const StopEntry& stop) {
    return stop.station && stop.station->number ? *stop.station->number : 0;
  }

  void MarkRoute(const ItemChange& item, const std::map<std::uint32_t, std::uint32_t>& old_of) {
    if (!item.new_item) return;
    Route& route = routes_["n" + std::to_string(item.new_item->number)];
    if (item.change == Change::kAdded) route.mark.colour = kAdded;
    if (item.change == Change::kRenamed) {
      route.mark.colour = kRenamed;
      route.mark.label =
          RouteLabel(Items(old_.routes)[item.old_item->number], item.old_item->number) + " → " + route.mark.label;
    }
    if (!route.mark.colour) ChangeRoute(item.new_item->number, old_of);
  }

  void ChangeRoute(std::uint32_t r, const std::map<std::uint32_t, std::uint32_t>& old_of) {
    Route& route = routes_["n" + std::to_string(r)];
    if (!route.mark.colour || route.mark.colour == kRenamed) route.mark.colour = kChanged;
    const auto found = old_of.find(r);
    if (found == old_of.end() || !route.lost_stops.empty()) return;
    for (const StopEntry& stop : Items(Items(old_.routes)[found->second].stops))
      route.lost_stops.push_back(StationId(true, StopStation(stop)));
  }

  // The stations drawn in full: all of a small network, else those marked and the stops of marked routes.
  std::set<std::string> Focus() const {
    std::set<std::string> focus;
    const bool whole = stations_.size() <= kWholeNetwork;
    for (const auto& [id, mark] : stations_)
      if (whole || mark.colour) focus.insert(id);
    for (const auto& [id, route] : routes_) {
      if (!route.mark.colour) continue;
      focus.insert(route.stops.begin(), route.stops.end());
      focus.insert(route.lost_stops.begin(), route.lost_stops.end());
    }
    return focus;
  }

  static std::set<std::pair<std::string, std::string>> Stretches(const std::vector<std::string>& stops) {
    std::set<std::pair<std::string, std::string>> stretches;
    for (std::size_t j = 0; j + 1 < stops.size(); ++j) {
      stretches.emplace(stops[j], stops[j + 1]);
      stretches.emplace(stops[j + 1], stops[j]);
    }
    return stretches;
  }

  void DrawRoute(std::ostringstream& out, const Route& route, const std::set<std::string>& focus,
                 std::set<std::string>& drawn) const {
    const std::string colour = route.mark.colour ? route.mark.colour : kSame;
    const std::string style = route.mark.removed ? ", style=dashed" : route.mark.colour ? "" : ", penwidth=2";
    const std::string tooltip = ", tooltip=" + DotQuoted(route.mark.label);
    // A marked route's name stands at its first stretch.
    std::string label = route.mark.colour
                            ? ", label=" + DotQuoted(route.mark.label) + ", fontcolor=\"" + colour + "\", fontsize=9"
                            : "";
    for (std::size_t j = 0; j + 1 < route.stops.size(); ++j) {
      const std::string &from = route.stops[j], &to = route.stops[j + 1];
      if (!route.mark.colour && !focus.count(from) && !focus.count(to)) continue;
      drawn.insert(from);
      drawn.insert(to);
      out << "  " << from << " -- " << to << " [color=\"" << colour << "\"" << style << tooltip << label << "];\n";
      label.clear();
    }
    if (route.stops.size() == 1 && route.mark.colour) drawn.insert(route.stops[0]);
    const auto kept = Stretches(route.stops);
    for (std::size_t j = 0; j + 1 < route.lost_stops.size(); ++j) {
      const std::string &from = route.lost_stops[j], &to = route.lost_stops[j + 1];
      if (kept.count({from, to})) continue;
      drawn.insert(from);
      drawn.insert(to);
      out << "  " << from << " -- " << to << " [color=\"" << kRemoved << "\", style=dashed, penwidth=2" << tooltip
          << "];\n";
    }
  }

  void DrawStation(std::ostringstream& out, const std::string& id, bool in_focus) const {
    const auto found = stations_.find(id);
    if (found == stations_.end()) {
      out << "  " << id << " [label=" << DotQuoted("station " + id.substr(1) + " (no such station)") << ", color=\""
          << kRemoved << "\", style=dashed];\n";
      return;
    }
    const Mark& mark = found->second;
    out << "  " << id << " [label=" << DotQuoted(mark.label);
    if (mark.colour) out << ", color=\"" << mark.colour << "\", fontcolor=\"" << mark.colour << "\", penwidth=2";
    if (mark.removed) out << ", style=\"dashed,filled\"";
    if (!mark.colour && !in_focus) out << kDotFaded;
    out << "];\n";
  }

  void Legend(std::ostringstream& out) const {
    out << DotLegend(title_, {{kAdded, "added"},
                              {kRemoved, "removed"},
                              {kRenamed, "renamed (old → new)"},
                              {kChanged, "changed: words, stops or company"},
                              {kSame, "the same"}});
  }

  const Difference& d_;
  const Document &old_, &new_;
  std::string title_;
  std::map<std::string, Mark> stations_;
  std::map<std::string, Route> routes_;
};

}  // namespace

std::string DiffText(const Difference& difference, const ComparedFile& old_file, const ComparedFile& new_file) {
  std::ostringstream out;
  out << "old: " << Escaped(old_file.name) << ", " << KindText(old_file.kind) << "\n"
      << "new: " << Escaped(new_file.name) << ", " << KindText(new_file.kind) << "\n";
  if (difference.same_bytes) {
    out << "no difference: the same bytes\n";
  } else if (difference.same_image) {
    out << "no difference: the two make the same fenwaimg.pdb, though their bytes differ\n";
  } else {
    WriteSections(out, difference);
  }
  return out.str();
}

std::string DiffJson(const Difference& d, const ComparedFile& old_file, const ComparedFile& new_file) {
  std::string text;
  JsonWriter out(text);
  out.BeginObject();
  Text(out, "kind", "difference");
  WriteFile(out, "old", old_file);
  WriteFile(out, "new", new_file);
  Flag(out, "same_bytes", d.same_bytes);
  Flag(out, "same_image", d.same_image);
  WriteItems(out, "stations", d.stations);
  out.Key("sort_shifts");
  out.BeginArray();
  for (const SortShift& shift : d.sort_shifts) {
    out.BeginObject();
    Text(out, "field", shift.field);
    Number(out, "stations", shift.stations);
    out.EndObject();
  }
  out.EndArray();
  WriteItems(out, "routes", d.routes);
  WriteStops(out, d.stops);
  WriteCompanies(out, d.companies);
  WriteGraph(out, d);
  WriteStrings(out, d.strings);
  WriteFields(out, "image_header", d.image_header);
  WriteFields(out, "database", d.database);
  out.Key("regions");
  out.BeginArray();
  for (const std::string& region : d.regions) out.String(region);
  out.EndArray();
  out.EndObject();
  return text + "\n";
}

std::string DiffDot(const Difference& difference, const ComparedFile& old_file, const ComparedFile& new_file) {
  const auto name = [](const ComparedFile& file) { return DotName(Escaped(file.name)); };
  return Picture(difference, old_file.dump, new_file.dump, name(old_file) + " → " + name(new_file)).Draw();
}
