// The views of a difference between two networks: text for people and JSON
// for programs.
#include <algorithm>
#include <array>
#include <map>
#include <sstream>

#include "diff/Diff.h"
#include "text/Hex.h"
#include "text/Json.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"

namespace diff {

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

std::string ValueText(const FieldValue& value) {
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
  const std::string a =
      node.station ? NameOrNumber(*node.station, "station") : "A " + std::to_string(node.station_word);
  const std::string b = node.route ? NameOrNumber(*node.route, "route") : "B " + std::to_string(node.route_word);
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

void WriteValue(JsonWriter& out, const FieldValue& value) {
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

// A member that lists an object for each of `items`; `write` writes an item's members.
template <typename T, typename Write>
void ObjectList(JsonWriter& out, const char* key, const std::vector<T>& items, const Write& write) {
  out.Key(key);
  out.BeginArray();
  for (const T& item : items) {
    out.BeginObject();
    write(item);
    out.EndObject();
  }
  out.EndArray();
}

void WriteFields(JsonWriter& out, const char* key, const std::vector<FieldChange>& fields) {
  ObjectList(out, key, fields, [&out](const FieldChange& f) {
    Text(out, "field", f.field);
    out.Key("old");
    WriteValue(out, f.old_value);
    out.Key("new");
    WriteValue(out, f.new_value);
  });
}

void WriteChange(JsonWriter& out, const char* change) { Text(out, "change", change); }

// A change of an item: what it is, the item as the sides it is on have it
// (`member` writes one), and its fields that changed.
template <typename T, typename Member>
void WriteSides(JsonWriter& out, Change change, const std::optional<T>& old_item, const std::optional<T>& new_item,
                const std::vector<FieldChange>& fields, const Member& member) {
  WriteChange(out, ChangeName(change));
  if (old_item) member(out, "old", *old_item);
  if (new_item) member(out, "new", *new_item);
  if (!fields.empty()) WriteFields(out, "fields", fields);
}

void WriteItems(JsonWriter& out, const char* key, const std::vector<ItemChange>& items) {
  ObjectList(out, key, items, [&out](const ItemChange& item) {
    WriteSides(out, item.change, item.old_item, item.new_item, item.fields, NamedMember);
    if (item.change == Change::kAdded || item.change == Change::kRemoved) WriteNamedList(out, "stops", item.stops);
  });
}

void WriteStop(JsonWriter& out, const StopChange& stop) {
  WriteChange(out, StopChangeName(stop.kind));
  NamedMember(out, "route", stop.route);
  NamedMember(out, "station", stop.station);
  if (stop.old_stop) Number(out, "old_stop", *stop.old_stop);
  if (stop.new_stop) Number(out, "new_stop", *stop.new_stop);
  if (!stop.fields.empty()) WriteFields(out, "fields", stop.fields);
}

void WriteCompany(JsonWriter& out, const CompanyChange& company) {
  WriteChange(out, ChangeName(company.change));
  if (company.change == Change::kMoved) {
    NamedMember(out, "route", company.routes.at(0));
    WriteText(out, "old_company", company.old_company);
    WriteText(out, "new_company", company.new_company);
  } else {
    WriteText(out, "company", company.company);
    WriteNamedList(out, "routes", company.routes);
  }
}

void WriteNode(JsonWriter& out, const NodeSide& node) {
  if (!node.number) return out.Null();
  out.BeginObject();
  Number(out, "number", *node.number);
  if (node.missing) Flag(out, "missing", true);
  if (node.role) WriteText(out, "role", node.role);
  if (!node.missing) {
    Number(out, "word_a", node.station_word);
    Number(out, "word_b", node.route_word);
  }
  if (node.station) NamedMember(out, "station", *node.station);
  if (node.route) NamedMember(out, "route", *node.route);
  out.EndObject();
}

void NodeMember(JsonWriter& out, const char* key, const NodeSide& node) {
  out.Key(key);
  WriteNode(out, node);
}

void WriteEdge(JsonWriter& out, const EdgeChange& edge) {
  WriteChange(out, ChangeName(edge.change));
  NodeMember(out, "from", edge.from);
  NodeMember(out, "to", edge.to);
  Number(out, "flags", edge.flags);
  if (edge.old_value) Number(out, "old_value", *edge.old_value);
  if (edge.new_value) Number(out, "new_value", *edge.new_value);
}

void WriteString(JsonWriter& out, const StringChange& string) {
  WriteChange(out, ChangeName(string.change));
  WriteText(out, "text", string.text);
  if (string.text_bytes) WriteText(out, "text_bytes", HexBytes(*string.text_bytes));
}

// The lists of changes, from the stations to the strings.
void WriteLists(JsonWriter& out, const Difference& d) {
  WriteItems(out, "stations", d.stations);
  ObjectList(out, "sort_shifts", d.sort_shifts, [&out](const SortShift& shift) {
    Text(out, "field", shift.field);
    Number(out, "stations", shift.stations);
  });
  WriteItems(out, "routes", d.routes);
  ObjectList(out, "stops", d.stops, [&out](const StopChange& stop) { WriteStop(out, stop); });
  ObjectList(out, "companies", d.companies, [&out](const CompanyChange& company) { WriteCompany(out, company); });
  ObjectList(out, "nodes", d.nodes, [&out](const NodeChange& node) {
    WriteSides(out, node.change, node.old_node, node.new_node, node.fields, NodeMember);
  });
  ObjectList(out, "edges", d.edges, [&out](const EdgeChange& edge) { WriteEdge(out, edge); });
  ObjectList(out, "strings", d.strings, [&out](const StringChange& string) { WriteString(out, string); });
}

void WriteFile(JsonWriter& out, const char* key, const ComparedFile& file) {
  out.Key(key);
  out.BeginObject();
  Text(out, "name", file.name);
  Text(out, "file", FileKindName(file.kind));
  out.EndObject();
}

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
  WriteLists(out, d);
  WriteFields(out, "image_header", d.image_header);
  WriteFields(out, "database", d.database);
  out.Key("regions");
  out.BeginArray();
  for (const std::string& region : d.regions) out.String(region);
  out.EndArray();
  out.EndObject();
  return text + "\n";
}

}  // namespace diff
