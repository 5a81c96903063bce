// The inside of the comparison of two networks (Diff.h): each side's network
// as the comparison reads it, which of their stations, routes and nodes are
// partners (Matching.cpp), the lists of what changed (Lists.cpp), and the
// fields compared of each kind of record (Fields.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "diff/Alignment.h"
#include "diff/Diff.h"
#include "toolkit/Document.h"

namespace diff {

// What the keys of the comparison mix with the numbers they stand for, so
// that keys of different things never meet.
enum Tag : std::uint64_t {
  kPaired = 1,
  kOldOnly,
  kNewOnly,
  kMissing,
  kUnknown,
  kStart,
  kEnd,
  kStop,
  kNode,
  kTable,
  kRole,
  kRawStation,
  kRawRoute,
  kUnowned,
  kCompany,
};

// What an item is to both sides: the same key for partners, its own for the others.
inline std::uint64_t Identity(const Pairing& pairing, bool old, std::uint32_t i) {
  const std::uint32_t common = pairing.Common(old, i);
  return common != kNone ? Mix(kPaired, common) : Mix(old ? kOldOnly : kNewOnly, i);
}

// Names as numbers: the same name on either side (its text and, where some
// bytes do not decode, its bytes) is the same number.
class Names {
 public:
  // A name read from a file; the text must outlive the names.
  std::uint64_t Of(const std::string& text, const Maybe<std::string>& bytes) {
    if (bytes) return Made("n" + text + '\0' + *bytes);
    const auto [at, fresh] = texts_.try_emplace(text, count_ + 1);
    count_ += fresh ? 1 : 0;
    return at->second;
  }
  // A name made for what has none: "a12" for a station by its word A, "r3" for a route by its string.
  std::uint64_t Made(const std::string& key) {
    const auto [at, fresh] = made_.try_emplace(key, count_ + 1);
    count_ += fresh ? 1 : 0;
    return at->second;
  }

 private:
  std::unordered_map<std::string_view, std::uint64_t> texts_;
  std::unordered_map<std::string, std::uint64_t> made_;
  std::uint64_t count_ = 0;
};

// One side's network, as the comparison needs it.
struct Side {
  Side(const Document& doc, Names& names);
  bool IsStation(std::uint32_t s) const { return s < stations.size(); }
  bool IsRoute(std::uint32_t r) const { return r < routes.size(); }
  std::uint64_t StationName(std::uint32_t s) const { return IsStation(s) ? station_name[s] : Mix(kMissing, s); }

  const Document& doc;
  const std::vector<StationEntry>& stations;
  const std::vector<RouteEntry>& routes;
  const std::vector<NodeEntry>& nodes;
  std::vector<std::uint64_t> station_name, route_name;
  std::vector<std::uint64_t> company;             // kNoKey: in no company (route 0)
  std::vector<std::vector<std::uint32_t>> stops;  // per route, its stations
  // Per station, its stops (route, place) and the nodes whose word A names it.
  std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> stops_at;
  std::vector<std::vector<std::uint32_t>> nodes_at;
};

// A station or a route of one side as the lists show it.
Named StationNamed(const Side& side, std::uint32_t s);
Named RouteNamed(const Side& side, std::uint32_t r);

// Which stations, routes and nodes of two sides are partners: made whole by
// the constructor, by name, then by place, then nodes by what they name.
struct Matching {
  Matching(const Document& old_doc, const Document& new_doc);

  Names names;
  Side old_side, new_side;
  Pairing stations, routes, nodes;
};

// Lists what changed between the partners and of the items without one:
// the stations, sort orders, routes, stops, companies, nodes and edges of `d`,
// and which station and route of the old side is which on the new one.
void ListChanges(const Matching& matching, Difference& d);

// The fields of a record that changed, one function for each kind of record,
// each appending to `out` in the order of the record's fields. A station's
// sort words count only where it moved in that order.
void StationFields(const StationEntry& x, const StationEntry& y, bool sort_moved, bool kana_sort_moved,
                   std::vector<FieldChange>& out);
void RouteFields(const RouteEntry& x, const RouteEntry& y, std::vector<FieldChange>& out);
void StopFields(const StopEntry& x, const StopEntry& y, std::vector<FieldChange>& out);
void NodeFields(const NodeEntry& x, const NodeEntry& y, std::vector<FieldChange>& out);
void ImageHeaderFields(const ImageHeaderEntry& x, const ImageHeaderEntry& y, std::vector<FieldChange>& out);
void DatabaseFields(const DatabaseEntry& x, const DatabaseEntry& y, std::vector<FieldChange>& out);

// Records a field that changed; one whose two sides are the same did not, and is dropped.
void RecordField(std::vector<FieldChange>& out, const char* field, FieldValue old_value, FieldValue new_value);

}  // namespace diff
