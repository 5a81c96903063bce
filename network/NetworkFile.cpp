#include "network/NetworkFile.h"

#include <algorithm>
#include <string>

#include "base/ByteWriter.h"
#include "base/ToolError.h"
#include "network/IntermediateFormat.h"

using namespace intermediate;

namespace {

std::uint16_t Count16(std::size_t count, const char* what) {
  if (count > 0xFFFF) throw ToolError(std::string("too many ") + what + " for a 16-bit count");
  return static_cast<std::uint16_t>(count);
}

void WriteNodeSection(const NetworkDescription& network, ByteWriter& out) {
  for (const NodeDescription& node : network.nodes) {
    std::uint8_t* record = out.Extend(node::kSize);
    PutWord(record, node::kStation, node.station);
    PutWord(record, node::kRoute, node.route);
    PutWord(record, node::kEdgeCount, node.edge_count.value_or(Count16(node.edges.size(), "edges")));
    for (const EdgeDescription& edge : node.edges) {
      std::uint8_t* entry = out.Extend(edge::kSize);
      PutWord(entry, edge::kTarget, edge.target);
      PutWord(entry, edge::kValue, edge.value);
    }
  }
}

void WriteRoute(const RouteDescription& route, ByteWriter& out) {
  std::uint8_t* record = out.Extend(route::kSize);
  PutWord(record, route::kNameIndex, route.name_index);
  PutWord(record, route::kUnusedWord, route.unused_word);
  PutWord(record, route::kStationCount, route.station_count.value_or(Count16(route.stops.size(), "stops")));
  PutWord(record, route::kOpaqueWord, route.opaque_word);
  PutByte(record, route::kOpaqueByte, route.opaque_byte);
  PutByte(record, route::kCompanyLength, route.company_length);
  for (const StopDescription& stop : route.stops) {
    std::uint8_t* entry = out.Extend(stop::kSize);
    PutWord(entry, stop::kStation, stop.station);
    PutWord(entry, stop::kCompanion, stop.companion);
  }
}

void WriteBaseSection(const NetworkDescription& network, const StringTableBytes& strings, ByteWriter& out) {
  for (const StationDescription& station : network.stations) {
    std::uint8_t* record = out.Extend(station::kSize);
    PutWord(record, station::kNameString, station.name_string);
    PutWord(record, station::kOpaqueWord, station.opaque_word);
    PutWord(record, station::kUnusedWord, station.unused_word);
  }
  for (const StationDescription& station : network.stations) {
    std::uint8_t* record = out.Extend(sort::kSize);
    PutWord(record, sort::kSort, station.sort);
    PutWord(record, sort::kKanaSort, station.kana_sort);
  }
  for (const RouteDescription& route : network.routes) WriteRoute(route, out);
  for (std::uint16_t offset : strings.index) out.LE16(offset);
  out.Append(strings.pool);
}

void WriteTrailerSection(const NetworkDescription& network, ByteWriter& out) {
  for (const RouteDescription& route : network.routes) out.LE16(route.trailer);
}

void WriteHeader(const NetworkDescription& network, const StringTableBytes& strings, std::uint32_t base,
                 std::uint32_t trailer, ByteWriter& out) {
  const HeaderDescription& h = network.header;
  std::uint8_t* header = out.Extend(header::kSize);
  std::copy(h.magic.begin(), h.magic.end(), header + header::kMagic.offset);
  PutLong(header, header::kBaseOffset, h.base_offset.value_or(base));
  PutLong(header, header::kTrailerOffset, h.trailer_offset.value_or(trailer));
  std::copy(h.unused_middle.begin(), h.unused_middle.end(), header + header::kUnusedMiddle.offset);
  PutWord(header, header::kRStatCapacity, h.rstat_capacity);
  PutWord(header, header::kNodeCount, h.node_count.value_or(Count16(network.nodes.size(), "nodes")));
  PutWord(header, header::kStationCount, h.station_count.value_or(Count16(network.stations.size(), "stations")));
  PutWord(header, header::kRouteCount, h.route_count.value_or(Count16(network.routes.size(), "routes")));
  PutWord(header, header::kStringCount, h.string_count.value_or(Count16(strings.index.size(), "strings")));
  PutWord(header, header::kPoolSize, h.pool_size.value_or(Count16(strings.pool.size(), "pool bytes")));
  PutWord(header, header::kEdgeCapacity, h.edge_capacity);
  std::copy(h.unused_tail.begin(), h.unused_tail.end(), header + header::kUnusedTail.offset);
}

}  // namespace

StringTableBytes LayOutStrings(const NetworkDescription& network) {
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

std::vector<std::uint8_t> BuildNetworkFile(const NetworkDescription& network) {
  const StringTableBytes strings = LayOutStrings(network);
  ByteWriter nodes, base, trailer;
  WriteNodeSection(network, nodes);
  WriteBaseSection(network, strings, base);
  WriteTrailerSection(network, trailer);
  const std::uint64_t after_nodes = kNodeSectionOffset + nodes.Size();
  if (network.placement && Fits(*network.placement, after_nodes, base.Size(), trailer.Size())) {
    const SectionPlacement& at = *network.placement;
    const std::uint64_t end = std::max<std::uint64_t>({after_nodes, base.Size() == 0 ? 0 : at.base + base.Size(),
                                                       trailer.Size() == 0 ? 0 : at.trailer + trailer.Size()});
    if (end > kMostPlacedFileBytes)
      throw ToolError("the sections at offsets " + std::to_string(at.base) + " and " + std::to_string(at.trailer) +
                      " make a file of " + std::to_string(end) + " bytes, more than " +
                      std::to_string(kMostPlacedFileBytes));
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
