// The companion tools' JSON, as typed records: a network description written
// by hand, and fenwadump's dump of an intermediate data file or of an image.
//
// fenwadump fills these records from what it read of a file and writes them
// as JSON; fenwamake reads JSON into them and makes a file of them. Both go
// through the one mapping of each record to its JSON fields (JsonMapping.h),
// so a field exists in both directions or in neither.
//
// Every field is optional: absent in the JSON, absent here. A field that JSON
// may also give as null is an optional inside the optional.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/Json.h"

template <typename T>
using Maybe = std::optional<T>;
template <typename T>
using MaybeNull = std::optional<std::optional<T>>;

// The items of a list, none when it is absent.
template <typename T>
const std::vector<T>& Items(const Maybe<std::vector<T>>& list) {
  static const std::vector<T> kNoItems;
  return list ? *list : kNoItems;
}

enum class DocumentKind { kDescription, kIntermediate, kDatabase, kUnknown };

// A station, route or node named by its number or by its name (or a node by its id).
struct Reference {
  std::optional<std::uint16_t> number;
  std::string name;  // UTF-8, when not given by number
};

struct StopEntry {
  TextPosition at;  // where the object starts in the JSON text
  Maybe<Reference> station;
  Maybe<std::uint16_t> companion;
};

struct EdgeEntry {
  TextPosition at;
  Maybe<std::uint32_t> index;  // of an edge no node owns: its place in the edge table
  Maybe<Reference> to;         // by hand: a node's id, or the target word as it is
  Maybe<std::uint16_t> target;
  Maybe<std::uint16_t> value;
};

struct StationEntry {
  TextPosition at;
  Maybe<std::uint32_t> index;
  Maybe<std::string> name;           // UTF-8
  Maybe<std::string> name_bytes;     // the raw bytes, when the name does not give them back
  Maybe<std::string> name_by_hand;   // by hand: the name's Shift_JIS bytes
  Maybe<std::uint16_t> name_string;  // "word_a": the string index of its name
  Maybe<std::uint16_t> opaque_word;  // "word_b"
  Maybe<std::uint16_t> unused_word;  // "spare", in an intermediate data file
  Maybe<std::uint16_t> sort;
  Maybe<std::uint16_t> kana_sort;
};

struct RouteEntry {
  TextPosition at;
  Maybe<std::uint32_t> index;
  Maybe<std::uint16_t> name_index;
  MaybeNull<std::string> name;  // UTF-8; null when the name lies outside the string table
  Maybe<std::string> name_bytes;
  Maybe<std::string> name_by_hand;        // by hand: the name's Shift_JIS bytes
  MaybeNull<std::uint16_t> company;       // the company's number; null for none
  Maybe<std::string> company_by_hand;     // by hand: the bytes of the name's beginning that name the company
  Maybe<std::uint8_t> company_length;     //
  Maybe<std::string> company_name;        // UTF-8
  Maybe<std::string> company_name_bytes;  //
  Maybe<std::uint16_t> first_slot;        // in an image
  Maybe<std::uint16_t> unused_word;       // "spare", in an intermediate data file
  Maybe<std::uint16_t> station_count;     //
  Maybe<std::uint16_t> opaque_word;       // "word"
  Maybe<std::uint8_t> opaque_byte;        // "byte"
  Maybe<std::uint16_t> trailer;           //
  Maybe<std::vector<StopEntry>> stops;    //
};

struct NodeEntry {
  TextPosition at;
  Maybe<std::uint32_t> index;
  Maybe<std::string> id;             // by hand: the name edges refer to it by
  Maybe<Reference> station_by_hand;  // by hand: gives its station
  Maybe<Reference> route_by_hand;    // by hand: gives its route
  Maybe<std::uint16_t> station;      // "word_a"
  Maybe<std::uint16_t> route;        // "word_b"
  MaybeNull<std::uint16_t> mark;     // in an image
  MaybeNull<std::uint16_t> first_edge;
  Maybe<std::uint16_t> edge_count;
  Maybe<std::vector<EdgeEntry>> edges;
  Maybe<std::string> role;  // in an image: "special" or "reserve"
};

struct StringEntry {
  TextPosition at;
  Maybe<std::uint32_t> index;
  Maybe<std::uint16_t> offset;
  MaybeNull<std::string> text;  // UTF-8; null when the offset lies outside the pool
  Maybe<std::string> text_bytes;
  Maybe<bool> terminated;  // false when the string runs to the end of the pool
};

struct CompanyEntry {
  TextPosition at;
  Maybe<std::uint64_t> number;
  MaybeNull<std::string> name;  // null for the routes that name no company
  Maybe<std::string> name_bytes;
  Maybe<std::vector<std::uint64_t>> routes;
};

// The header of an intermediate data file; by hand, its fields override what the description gives.
struct HeaderEntry {
  TextPosition at;
  Maybe<std::string> magic;  // bytes
  Maybe<std::uint32_t> base_offset;
  Maybe<std::uint32_t> trailer_offset;
  Maybe<std::string> unused_middle;  // bytes
  Maybe<std::int32_t> rstat_capacity;
  Maybe<std::int32_t> node_count;
  Maybe<std::int32_t> station_count;
  Maybe<std::int32_t> route_count;
  Maybe<std::int32_t> string_count;
  Maybe<std::int32_t> pool_size;
  Maybe<std::int32_t> edge_capacity;
  Maybe<std::string> unused_tail;  // bytes
  Maybe<std::uint64_t> effective_rstat_capacity;
  Maybe<std::uint64_t> effective_edge_capacity;
};

// The database header of an image.
struct DatabaseEntry {
  TextPosition at;
  Maybe<std::string> name;
  Maybe<std::uint64_t> attributes;
  Maybe<std::uint64_t> version;
  Maybe<std::uint64_t> creation_date;
  Maybe<std::uint64_t> modification_date;
  Maybe<std::uint64_t> backup_date;
  Maybe<std::uint64_t> modification_number;
  Maybe<std::uint64_t> app_info_offset;
  Maybe<std::uint64_t> sort_info_offset;
  Maybe<std::string> type;
  Maybe<std::string> creator;
  Maybe<std::uint64_t> unique_id_seed;
  Maybe<std::uint64_t> next_record_list;
  Maybe<std::uint64_t> record_count;
};

struct RecordEntry {
  TextPosition at;
  Maybe<std::uint32_t> index;
  Maybe<std::string> content;
  Maybe<std::uint64_t> offset;
  Maybe<std::uint64_t> attributes;
  Maybe<std::uint64_t> unique_id;
  MaybeNull<std::uint64_t> length;
};

struct ImageHeaderEntry {
  TextPosition at;
  Maybe<std::string> magic;
  Maybe<std::string> version;
  Maybe<std::uint64_t> station_count;
  Maybe<std::uint64_t> route_count;
  Maybe<std::uint64_t> string_count;
  Maybe<std::uint64_t> pool_size;
  Maybe<std::uint16_t> rstat_capacity;
  Maybe<std::uint64_t> node_total;
  Maybe<std::uint64_t> file_node_count;
  Maybe<std::uint64_t> edge_count;
  Maybe<std::uint64_t> value_entry_count;
};

struct RouteStationsEntry {
  TextPosition at;
  Maybe<std::uint64_t> capacity;
  Maybe<std::uint64_t> slots;
  Maybe<std::uint64_t> slots_used;
};

// A field's value as the difference shows it: a number, a text, or neither (null).
struct FieldValue {
  std::optional<std::uint64_t> number;
  std::optional<std::string> text;
  bool operator==(const FieldValue&) const = default;
};

// A whole document. Which fields a kind has is the mapping's to say.
struct Document {
  TextPosition at;
  DocumentKind kind = DocumentKind::kDescription;
  Maybe<std::uint64_t> size;
  // A dump of an intermediate data file.
  Maybe<HeaderEntry> header;
  Maybe<std::uint64_t> node_section_end;
  Maybe<std::uint64_t> edge_total;
  // A dump of an image.
  Maybe<DatabaseEntry> database;
  Maybe<std::vector<RecordEntry>> records;
  Maybe<ImageHeaderEntry> image_header;
  Maybe<RouteStationsEntry> route_stations;
  Maybe<std::vector<EdgeEntry>> unowned_edges;
  Maybe<std::uint64_t> edge_count;
  // Both dumps and descriptions.
  Maybe<std::vector<StationEntry>> stations;
  Maybe<std::vector<RouteEntry>> routes;
  Maybe<std::vector<CompanyEntry>> companies;
  Maybe<std::vector<StringEntry>> strings;
  Maybe<std::string> string_pool;  // bytes
  Maybe<std::vector<NodeEntry>> nodes;
  Maybe<std::vector<std::string>> problems;
  Maybe<std::vector<std::string>> warnings;
  // Found past what a dump lists (not in the JSON): its last problem or warning counts them.
  std::size_t problems_not_listed = 0, warnings_not_listed = 0;
  // A description written by hand.
  Maybe<std::vector<std::string>> extra_strings;  // Shift_JIS
  Maybe<std::string> section_order;
  Maybe<std::vector<std::uint16_t>> raw_string_index;
  Maybe<std::string> raw_pool;  // bytes
};

// How many problems or warnings were found: those listed, the last counting
// the ones not listed when there are any.
inline std::size_t FoundCount(const Maybe<std::vector<std::string>>& listed, std::size_t not_listed) {
  const std::size_t count = listed ? listed->size() : 0;
  return not_listed == 0 ? count : count - 1 + not_listed;
}
