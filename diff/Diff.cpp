// The comparison of two networks: stations, routes and companies matched by
// name, namesakes by their neighbours, renamed items by their place, nodes by
// what their words name and edges by their ends (see Diff.h); here what the
// network view does not show, and the whole comparison.
#include "diff/Diff.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "base/ByteSource.h"
#include "diff/Comparison.h"

namespace diff {

namespace {

// Strings added to the table or taken from it that are no station's or route's
// name, and regions of the images that differ otherwise.

std::uint64_t StringKey(const StringEntry& entry, Names& names) {
  return entry.text && *entry.text ? names.Of(**entry.text, entry.text_bytes) : names.Made("o");
}

// The names of a network's stations and routes.
void AddNames(const Document& doc, Names& names, std::unordered_set<std::uint64_t>& keys) {
  for (const StationEntry& s : Items(doc.stations))
    if (s.name) keys.insert(names.Of(*s.name, s.name_bytes));
  for (const RouteEntry& r : Items(doc.routes))
    if (r.name && *r.name) keys.insert(names.Of(**r.name, r.name_bytes));
}

// The strings of `these` that `those` do not have as many times, but for names.
void StringsBeyond(const Document& these, const Document& those, Change change, Names& names,
                   const std::unordered_set<std::uint64_t>& name_keys, Difference& d) {
  std::unordered_map<std::uint64_t, std::size_t> count;
  for (const StringEntry& entry : Items(those.strings)) ++count[StringKey(entry, names)];
  for (const StringEntry& entry : Items(these.strings)) {
    const std::uint64_t key = StringKey(entry, names);
    std::size_t& left = count[key];
    if (left > 0) {
      --left;
      continue;
    }
    if (name_keys.count(key)) continue;
    StringChange string;
    string.change = change;
    if (entry.text && *entry.text) string.text = **entry.text;
    string.text_bytes = entry.text_bytes;
    d.strings.push_back(std::move(string));
  }
}

void CompareStrings(const Document& a, const Document& b, Difference& d) {
  Names names;
  std::unordered_set<std::uint64_t> name_keys;
  AddNames(a, names, name_keys);
  AddNames(b, names, name_keys);
  StringsBeyond(b, a, Change::kAdded, names, name_keys, d);
  StringsBeyond(a, b, Change::kRemoved, names, name_keys, d);
}

bool NothingListed(const Difference& d) {
  return d.stations.empty() && d.sort_shifts.empty() && d.routes.empty() && d.stops.empty() && d.companies.empty() &&
         d.nodes.empty() && d.edges.empty() && d.strings.empty() && d.image_header.empty() && d.database.empty();
}

// Which regions of two images differ: the header with the record list, and each record.
void ListRegions(const ComparedFile& a, const ComparedFile& b, Difference& d) {
  const std::vector<RecordEntry>&x = Items(a.dump.records), &y = Items(b.dump.records);
  const auto front = [](const ComparedFile& file, const std::vector<RecordEntry>& records) {
    return MemorySource(file.image).Read(0, records.empty() ? file.image.size() : records[0].offset.value_or(0));
  };
  if (front(a, x) != front(b, y)) d.regions.push_back("database header and record list");
  for (std::size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
    const auto bytes = [i](const ComparedFile& file, const std::vector<RecordEntry>& records) {
      if (i >= records.size() || !records[i].length || !*records[i].length) return std::vector<std::uint8_t>();
      return MemorySource(file.image).Read(records[i].offset.value_or(0), **records[i].length);
    };
    if (bytes(a, x) != bytes(b, y)) d.regions.push_back((i < x.size() ? x[i] : y[i]).content.value_or("record"));
  }
  if (d.regions.empty()) d.regions.push_back("image");
}

}  // namespace

const char* ChangeName(Change change) {
  switch (change) {
    case Change::kAdded: return "added";
    case Change::kRemoved: return "removed";
    case Change::kRenamed: return "renamed";
    case Change::kMoved: return "moved";
    case Change::kChanged: return "changed";
  }
  return "";
}

const char* StopChangeName(StopChange::Kind kind) {
  switch (kind) {
    case StopChange::Kind::kGained: return "gained";
    case StopChange::Kind::kLost: return "lost";
    case StopChange::Kind::kMoved: return "moved";
    case StopChange::Kind::kChanged: return "changed";
  }
  return "";
}

Difference Compare(const ComparedFile& old_file, const ComparedFile& new_file) {
  Difference d;
  d.same_bytes = old_file.bytes == new_file.bytes;
  d.same_image = old_file.image == new_file.image;
  if (d.same_image) {
    for (std::uint32_t s = 0; s < Items(old_file.dump.stations).size(); ++s) d.station_partner.push_back(s);
    for (std::uint32_t r = 0; r < Items(old_file.dump.routes).size(); ++r) d.route_partner.push_back(r);
    return d;
  }
  const Document &a = old_file.dump, &b = new_file.dump;
  ListChanges(Matching(a, b), d);
  CompareStrings(a, b, d);
  ImageHeaderFields(a.image_header.value_or(ImageHeaderEntry{}), b.image_header.value_or(ImageHeaderEntry{}),
                    d.image_header);
  DatabaseFields(a.database.value_or(DatabaseEntry{}), b.database.value_or(DatabaseEntry{}), d.database);
  if (NothingListed(d)) ListRegions(old_file, new_file, d);
  return d;
}

}  // namespace diff
