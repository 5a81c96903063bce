#include "network/NetworkFile.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "base/ByteWriter.h"
#include "network/IntermediateFormat.h"

namespace {

std::uint16_t Count16(std::size_t count, const char* what) {
  if (count > 0xFFFF) throw std::invalid_argument(std::string("too many ") + what + " for a 16-bit count");
  return static_cast<std::uint16_t>(count);
}

void WriteNodeSection(const NetworkSpec& network, ByteWriter& out) {
  for (const NodeSpec& node : network.nodes) {
    std::uint8_t* record = out.Extend(kNodeRecordSize);
    StoreLE16(record + kNodeRecordWordA, node.word_a);
    StoreLE16(record + kNodeRecordWordB, node.word_b);
    StoreLE16(record + kNodeRecordEdgeCount, node.edge_count.value_or(Count16(node.edges.size(), "edges")));
    for (const EdgeSpec& edge : node.edges) {
      std::uint8_t* entry = out.Extend(kEdgeEntrySize);
      StoreLE16(entry + kEdgeEntryTarget, edge.target);
      StoreLE16(entry + kEdgeEntryValue, edge.value);
    }
  }
}

void WriteRoute(const RouteSpec& route, ByteWriter& out) {
  std::uint8_t* record = out.Extend(kRouteRecordSize);
  StoreLE16(record + kRouteRecordName, route.name_index);
  StoreLE16(record + kRouteRecordSpare, route.spare);
  StoreLE16(record + kRouteRecordStationCount, route.station_count.value_or(Count16(route.stops.size(), "stops")));
  StoreLE16(record + kRouteRecordWord, route.word);
  record[kRouteRecordByte] = route.byte;
  record[kRouteRecordCompanyLength] = route.company_length;
  for (const StopSpec& stop : route.stops) {
    std::uint8_t* entry = out.Extend(kRouteStationEntrySize);
    StoreLE16(entry + kRouteStationEntryStation, stop.station);
    StoreLE16(entry + kRouteStationEntryCompanion, stop.companion);
  }
}

void WriteBaseSection(const NetworkSpec& network, const StringTableBytes& strings, ByteWriter& out) {
  for (const StationSpec& station : network.stations) {
    std::uint8_t* record = out.Extend(kStationRecordSize);
    StoreLE16(record + kStationRecordWordA, station.word_a);
    StoreLE16(record + kStationRecordWordB, station.word_b);
    StoreLE16(record + kStationRecordSpare, station.spare);
  }
  for (const StationSpec& station : network.stations) {
    std::uint8_t* record = out.Extend(kSortRecordSize);
    StoreLE16(record + kSortRecordSort, station.sort);
    StoreLE16(record + kSortRecordKanaSort, station.kana_sort);
  }
  for (const RouteSpec& route : network.routes) WriteRoute(route, out);
  for (std::uint16_t offset : strings.index) out.LE16(offset);
  out.Append(strings.pool);
}

void WriteTrailerSection(const NetworkSpec& network, ByteWriter& out) {
  for (const RouteSpec& route : network.routes) out.LE16(route.trailer);
}

void WriteHeader(const NetworkSpec& network, const StringTableBytes& strings, std::uint32_t base, std::uint32_t trailer,
                 ByteWriter& out) {
  const HeaderSpec& h = network.header;
  std::uint8_t* header = out.Extend(kHeaderSize);
  std::copy(h.magic.begin(), h.magic.end(), header + kHeaderMagic);
  StoreLE32(header + kHeaderBaseOffset, h.base_offset.value_or(base));
  StoreLE32(header + kHeaderTrailerOffset, h.trailer_offset.value_or(trailer));
  std::copy(h.unused_middle.begin(), h.unused_middle.end(), header + kHeaderUnusedMiddle);
  StoreLE16(header + kHeaderRStatCapacity, h.rstat_capacity);
  StoreLE16(header + kHeaderNodeCount, h.node_count.value_or(Count16(network.nodes.size(), "nodes")));
  StoreLE16(header + kHeaderStationCount, h.station_count.value_or(Count16(network.stations.size(), "stations")));
  StoreLE16(header + kHeaderRouteCount, h.route_count.value_or(Count16(network.routes.size(), "routes")));
  StoreLE16(header + kHeaderStringCount, h.string_count.value_or(Count16(strings.index.size(), "strings")));
  StoreLE16(header + kHeaderPoolSize, h.pool_size.value_or(Count16(strings.pool.size(), "pool bytes")));
  StoreLE16(header + kHeaderEdgeCapacity, h.edge_capacity);
  std::copy(h.unused_tail.begin(), h.unused_tail.end(), header + kHeaderUnusedTail);
}

}  // namespace

StringTableBytes LayOutStrings(const NetworkSpec& network) {
  StringTableBytes table;
  for (const std::string& text : network.strings) {
    table.index.push_back(Count16(table.pool.size(), "pool bytes before a string"));
    table.pool += text;
    table.pool += '\0';
  }
  if (network.raw_string_index) table.index = *network.raw_string_index;
  if (network.raw_pool) table.pool = *network.raw_pool;
  Count16(table.pool.size(), "pool bytes");
  return table;
}

namespace {

// True when neither section overlaps the header and node section or the other section.
bool Fits(const SectionPlacement& at, std::uint64_t after_nodes, std::uint64_t base, std::uint64_t trailer) {
  const auto apart = [](std::uint64_t a, std::uint64_t a_size, std::uint64_t b, std::uint64_t b_size) {
    return a_size == 0 || b_size == 0 || a + a_size <= b || b + b_size <= a;
  };
  return apart(0, after_nodes, at.base, base) && apart(0, after_nodes, at.trailer, trailer) &&
         apart(at.base, base, at.trailer, trailer);
}

}  // namespace

std::vector<std::uint8_t> BuildNetworkFile(const NetworkSpec& network) {
  const StringTableBytes strings = LayOutStrings(network);
  ByteWriter nodes, base, trailer;
  WriteNodeSection(network, nodes);
  WriteBaseSection(network, strings, base);
  WriteTrailerSection(network, trailer);
  const std::uint64_t after_nodes = kNodeSectionOffset + nodes.Size();
  if (network.placement && Fits(*network.placement, after_nodes, base.Size(), trailer.Size())) {
    const SectionPlacement& at = *network.placement;
    const std::uint64_t end = std::max({after_nodes, base.Size() == 0 ? 0 : at.base + base.Size(),
                                        trailer.Size() == 0 ? 0 : at.trailer + trailer.Size()});
    if (end > kMostPlacedFileBytes)
      throw std::invalid_argument("the sections at offsets " + std::to_string(at.base) + " and " +
                                  std::to_string(at.trailer) + " make a file of " + std::to_string(end) +
                                  " bytes, more than " + std::to_string(kMostPlacedFileBytes));
    ByteWriter out;
    WriteHeader(network, strings, at.base, at.trailer, out);
    out.Append(nodes.Bytes());
    std::vector<std::uint8_t> file = out.ToVector();
    file.resize(end, 0);
    if (base.Size() > 0) std::copy(base.Bytes().begin(), base.Bytes().end(), file.begin() + at.base);
    if (trailer.Size() > 0) std::copy(trailer.Bytes().begin(), trailer.Bytes().end(), file.begin() + at.trailer);
    return file;
  }
  const bool base_first = network.placement ? network.placement->base <= network.placement->trailer
                                            : network.order == SectionOrder::kBaseThenTrailer;
  const auto base_offset = static_cast<std::uint32_t>(after_nodes + (base_first ? 0 : trailer.Size()));
  const auto trailer_offset = static_cast<std::uint32_t>(after_nodes + (base_first ? base.Size() : 0));
  ByteWriter out;
  WriteHeader(network, strings, base_offset, trailer_offset, out);
  out.Append(nodes.Bytes());
  out.Append(base_first ? base.Bytes() : trailer.Bytes());
  out.Append(base_first ? trailer.Bytes() : base.Bytes());
  return out.ToVector();
}
