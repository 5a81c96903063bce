// What differs between two networks (fenwadump --diff): each file, of any
// kind the tools read, is taken as the fenwaimg.pdb it is or makes, and the
// two images are compared as networks, not as bytes.
//
// Stations and routes are matched by name, never by number, so that a station
// inserted or removed does not make every later one look changed: first along
// the order of their tables (a shortest script of insertions and deletions),
// where both the name and the neighbours agree; then by name alone. Where a
// name repeats, a namesake pairs with the one whose neighbours are the same
// (a station's: the routes it is a stop of and the stations next to it there;
// a route's: its company and its stations), then with the one that has the
// most neighbours in common, then in their order. An item left without a
// partner of its name is renamed when one on the other side has its place: a
// station the same stops between the same neighbours and the same nodes, a
// route the same stations (in any order), either with none of those the same
// item before it in its table. A route's stops are paired by station along
// the route as the tables are. Companies are matched by name, nodes by what
// their words name (a station and a route, or the words themselves), edges by
// the nodes at their ends.
//
// An item moved is one out of the longest run that keeps its order on both
// sides (of runs as long, the one whose items keep their numbers), and never
// one that keeps its number; no field is listed whose two sides are equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "toolkit/Document.h"

namespace diff {

// What a file given to compare is.
enum class FileKind { kIntermediate, kDatabase, kDescription, kIntermediateDump, kDatabaseDump };
// "intermediate", "database", "description", "intermediate dump", "database dump".
const char* FileKindName(FileKind kind);
// A JSON document's kind as a file: a description or a dump; none for an unknown one.
std::optional<FileKind> JsonFileKind(DocumentKind kind);
// Whether `bytes` start with "{", after white space: a JSON document.
bool LooksLikeJson(std::span<const std::uint8_t> bytes);

// A file as compared: the image it is or makes, and that image's dump.
struct ComparedFile {
  std::string name;
  FileKind kind = FileKind::kIntermediate;
  std::vector<std::uint8_t> bytes;  // the file as given
  std::vector<std::uint8_t> image;  // the image it is or makes
  Document dump;                    // of the image
  std::vector<std::string> notes;   // what the reader should know: how it was made, an image's problems
};

// The most bytes a file to compare may have.
inline constexpr std::uint64_t kMostComparedBytes = 64u << 20;

// Reads any file the tools read: an intermediate data file or an image as it
// is, a description or a dump through what fenwamake would make of it; all
// but an image through the converter. Throws ToolError (base/ToolError.h),
// saying why, for a file that cannot be read, is of no known kind, or that
// fenwamake or the converter refuse.
ComparedFile ReadCompared(ByteSource& source, const std::string& name);

enum class Change { kAdded, kRemoved, kRenamed, kMoved, kChanged };
// "added", "removed", "renamed", "moved", "changed".
const char* ChangeName(Change change);

struct FieldChange {
  std::string field;  // as the dump names it: "word_b", "companion", "pool_size"; a node's "edges"
  FieldValue old_value, new_value;
};

// A station or a route as one side has it.
struct Named {
  std::uint32_t number = 0;
  std::optional<std::string> name;        // UTF-8; none when it has no readable name
  std::optional<std::string> name_bytes;  // the Shift_JIS bytes, when the name does not give them back
};

// A station or a route added, removed, renamed, moved in its table or with other words.
struct ItemChange {
  Change change = Change::kChanged;
  std::optional<Named> old_item, new_item;  // on the sides it is on
  std::vector<FieldChange> fields;          // what changed
  std::vector<Named> stops;                 // a route added or removed: the stations it stops at
};

// A stop of a route that is on both sides.
struct StopChange {
  enum class Kind { kGained, kLost, kMoved, kChanged } kind = Kind::kChanged;
  Named route;                                      // as it is on the new side
  Named station;                                    // on the side the stop is on (the new one when on both)
  std::optional<std::uint32_t> old_stop, new_stop;  // its place in the route on either side
  std::vector<FieldChange> fields;                  // the companion word
};
const char* StopChangeName(StopChange::Kind kind);  // "gained", "lost", "moved", "changed"

// A company added or removed (with its routes), or a route moved between two.
// A company is the beginning of its routes' names; none is the group of the
// routes that name no company.
struct CompanyChange {
  Change change = Change::kAdded;  // kAdded, kRemoved, or kMoved for a route
  std::optional<std::string> company;
  std::vector<Named> routes;                            // the company's, or the route moved
  std::optional<std::string> old_company, new_company;  // a route moved
};

// A node of the route-finding graph as one side has it: what its words name.
struct NodeSide {
  std::optional<std::uint32_t> number;             // none: the edges no node owns
  std::optional<std::string> role;                 // in an image: "special" or "reserve"
  bool missing = false;                            // an edge leads to a node that does not exist
  std::uint16_t station_word = 0, route_word = 0;  // its words A and B
  std::optional<Named> station, route;             // when word A names a station and word B a route
};

struct NodeChange {
  Change change = Change::kChanged;  // kAdded, kRemoved, kMoved or kChanged
  std::optional<NodeSide> old_node, new_node;
  std::vector<FieldChange> fields;  // the mark, the order of its edges (the stations they lead to)
};

// An edge added, removed, or with another value. It is shown as the side it
// is on has it (the new one when on both).
struct EdgeChange {
  Change change = Change::kChanged;  // kAdded, kRemoved or kChanged
  NodeSide from, to;
  std::uint16_t flags = 0;  // the target's bits beyond the node number
  std::optional<std::uint16_t> old_value, new_value;
};

// A string added to the table or taken from it that is no station's or route's name.
struct StringChange {
  Change change = Change::kAdded;   // kAdded or kRemoved
  std::optional<std::string> text;  // none: it starts outside the pool
  std::optional<std::string> text_bytes;
};

// Stations that keep their order in a sort table under other sort words.
struct SortShift {
  std::string field;  // "sort" or "kana_sort"
  std::size_t stations = 0;
};

struct Difference {
  bool same_bytes = false;  // the two files are the same bytes
  bool same_image = false;  // they are or make the same image
  std::vector<ItemChange> stations;
  std::vector<SortShift> sort_shifts;
  std::vector<ItemChange> routes;
  std::vector<StopChange> stops;
  std::vector<CompanyChange> companies;
  std::vector<NodeChange> nodes;
  std::vector<EdgeChange> edges;
  std::vector<StringChange> strings;
  std::vector<FieldChange> image_header;
  std::vector<FieldChange> database;
  // Regions of the images that differ although nothing above says how (the
  // string table laid out otherwise, say): "table STRI", "record list".
  std::vector<std::string> regions;
  // Which station and route of the old side is which on the new one (none: removed).
  std::vector<std::optional<std::uint32_t>> station_partner, route_partner;
};

// Compares two files read by ReadCompared.
Difference Compare(const ComparedFile& old_file, const ComparedFile& new_file);

// The views of a difference: text for people, JSON (tools/network.schema.json,
// "kind": "difference"), and a Graphviz picture of the network with what
// changed marked. Every name from a file is shown with its control characters
// escaped in the text and the picture.
std::string DiffText(const Difference& difference, const ComparedFile& old_file, const ComparedFile& new_file);
std::string DiffJson(const Difference& difference, const ComparedFile& old_file, const ComparedFile& new_file);
std::string DiffDot(const Difference& difference, const ComparedFile& old_file, const ComparedFile& new_file);

}  // namespace diff
