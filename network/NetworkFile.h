// Lays out intermediate data files from a readable description.
//
// Every header field the converter reads can be set freely (counts and offsets
// left unset follow from the description), the base and trailer sections can
// come in either order, and the string table can be given as strings (the
// index and pool follow) or as a raw index and pool, so that tests and tools
// can make valid files and hostile ones alike.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "network/IntermediateFormat.h"

struct StationDescription {
  std::uint16_t name_string = 0;  // word A
  std::uint16_t opaque_word = 0;  // word B
  std::uint16_t unused_word = 0;  // the two bytes the converter does not read
  std::uint16_t sort = 0;
  std::uint16_t kana_sort = 0;
};

struct StopDescription {
  std::uint16_t station = 0;
  std::uint16_t companion = 0;
};

struct RouteDescription {
  std::uint16_t name_index = 0;
  std::uint16_t unused_word = 0;  // the two bytes the converter does not read
  std::uint16_t opaque_word = 0;  // the route word
  std::uint8_t opaque_byte = 0;   // the route byte
  std::uint8_t company_length = 0;
  std::vector<StopDescription> stops;
  std::uint16_t trailer = 0;
  std::optional<std::uint16_t> station_count;  // default: stops.size()
};

struct EdgeDescription {
  std::uint16_t target = 0;
  std::uint16_t value = 0;
};

struct NodeDescription {
  std::uint16_t station = 0;  // word A
  std::uint16_t route = 0;    // word B
  std::vector<EdgeDescription> edges;
  std::optional<std::uint16_t> edge_count;  // default: edges.size()
};

// Header fields; an unset count or offset follows from the description.
struct HeaderDescription {
  std::array<std::uint8_t, 4> magic = {'A', 'D', '4', 0x1A};
  std::optional<std::uint32_t> base_offset;
  std::optional<std::uint32_t> trailer_offset;
  std::uint16_t rstat_capacity = 0;  // 0: twice the station count
  std::optional<std::uint16_t> node_count;
  std::optional<std::uint16_t> station_count;
  std::optional<std::uint16_t> route_count;
  std::optional<std::uint16_t> string_count;
  std::optional<std::uint16_t> pool_size;
  std::uint16_t edge_capacity = 0;                                                      // 0: 10000
  std::array<std::uint8_t, intermediate::header::kUnusedMiddle.width> unused_middle{};  // not interpreted
  std::array<std::uint8_t, intermediate::header::kUnusedTail.width> unused_tail{};      // not interpreted
};

enum class SectionOrder { kBaseThenTrailer, kTrailerThenBase };

// Where the base and trailer sections are to start in the file.
struct SectionPlacement {
  std::uint32_t base = 0;
  std::uint32_t trailer = 0;
};

// The most bytes a file laid out at a placement may take.
inline constexpr std::uint64_t kMostPlacedFileBytes = 64u << 20;

struct NetworkDescription {
  HeaderDescription header;
  std::vector<StationDescription> stations;
  std::vector<RouteDescription> routes;
  std::vector<std::string> strings;                            // each stored with a NUL behind it
  std::optional<std::vector<std::uint16_t>> raw_string_index;  // replaces the index made from `strings`
  std::optional<std::string> raw_pool;                         // replaces the pool made from `strings`
  std::vector<NodeDescription> nodes;
  SectionOrder order = SectionOrder::kBaseThenTrailer;
  // The sections at these offsets, with zero bytes in the gaps, as long as no
  // section overlaps the header and node section or the other one; otherwise
  // (and when unset) back to back behind the node section in `order`.
  std::optional<SectionPlacement> placement;
};

// The index and pool that `strings` (or the raw replacements) make.
struct StringTableBytes {
  std::vector<std::uint16_t> index;
  std::string pool;
};
StringTableBytes LayOutStrings(const NetworkDescription& network);

// The whole file. Throws ToolError when the description cannot be
// laid out (a count that does not fit its field, a pool over 65535 bytes, a
// placement that makes the file larger than kMostPlacedFileBytes).
std::vector<std::uint8_t> BuildNetworkFile(const NetworkDescription& network);
