#include "pdb/Image.h"

#include <algorithm>
#include <cstring>

#include "base/Fatal.h"
#include "pdb/Container.h"

namespace {

void WriteImageHeader(const ImageCounts& counts, const char* version, ByteWriter& out) {
  std::uint8_t* header = out.Extend(kImageHeaderSize);
  std::memcpy(header, kImageMagic, 4);
  std::memcpy(header + kImageVersionOffset, version, 4);
  const std::uint32_t fields[kImageCountFields] = {counts.stations,   counts.routes,         counts.strings,
                                                   counts.pool_size,  counts.rstat_capacity, counts.node_total,
                                                   counts.file_nodes, counts.edges,          counts.value_entries};
  for (std::size_t i = 0; i < kImageCountFields; ++i)
    StoreBE16(header + kImageCountsOffset + 2 * i, static_cast<std::uint16_t>(fields[i]));  // the low 16 bits
}

// The tag record of a table, and room for the table behind it.
std::uint8_t* StartTable(Table table, std::size_t length, ByteWriter& out) {
  FENWA_ASSERT(length < 0x10000);  // the input limits keep every record below 64 KiB
  std::memcpy(out.ExtendUnfilled(kTagSize), kTableTags[table], kTagSize);
  return out.ExtendUnfilled(length);  // every byte of a table is written
}

void WriteWords(Table table, const std::vector<std::uint16_t>& words, ByteWriter& out) {
  std::uint8_t* at = StartTable(table, 2 * words.size(), out);
  const std::uint16_t* word = words.data();
  const std::size_t count = words.size();
  for (std::size_t i = 0; i < count; ++i) StoreBE16(at + 2 * i, word[i]);
}

void WriteStations(const std::vector<Station>& stations, ByteWriter& out) {
  std::uint8_t* at = StartTable(kStationTable, kStationEntrySize * stations.size(), out);
  for (const Station& station : stations) {
    StoreBE16(at, station.word_a);
    StoreBE16(at + 2, station.word_b);
    at += kStationEntrySize;
  }
  std::uint8_t* sort = StartTable(kSortTable, 2 * stations.size(), out);
  for (const Station& station : stations) {
    StoreBE16(sort, station.sort);
    sort += 2;
  }
  std::uint8_t* kana_sort = StartTable(kKanaSortTable, 2 * stations.size(), out);
  for (const Station& station : stations) {
    StoreBE16(kana_sort, station.kana_sort);
    kana_sort += 2;
  }
}

void WriteRoutes(const std::vector<Route>& routes, ByteWriter& out) {
  std::uint8_t* at = StartTable(kRouteTable, kRouteRecordBytes * routes.size(), out);
  for (const Route& route : routes) {
    StoreBE16(at + kRouteName, route.name);
    StoreBE16(at + kRouteFirstSlot, route.first_slot);
    StoreBE16(at + kRouteCompany, route.company);
    StoreBE16(at + kRouteStationCount, route.station_count);
    StoreBE16(at + kRouteWord, route.word);
    at[kRouteByte] = route.byte;
    at[kRouteCompanyLength] = route.company_length;
    StoreBE16(at + kRouteTrailer, route.trailer);
    at += kRouteRecordBytes;
  }
}

void WriteGraph(const Graph& graph, ByteWriter& out) {
  std::uint8_t* at = StartTable(kNodeTable, kNodeRecordBytes * graph.nodes.size(), out);
  for (const Node& node : graph.nodes) {
    StoreBE16(at + kNodeWordA, node.word_a);
    StoreBE16(at + kNodeWordB, node.word_b);
    StoreBE16(at + kNodeMark, node.mark);
    StoreBE16(at + kNodeFirstEdge, node.first_edge);
    StoreBE16(at + kNodeEdgeCount, node.edge_count);
    at += kNodeRecordBytes;
  }
  at = StartTable(kEdgeTable, kEdgeBytes * graph.edges.size(), out);
  for (const Edge& edge : graph.edges) {
    StoreBE16(at, edge.target);
    StoreBE16(at + 2, edge.value);
    at += kEdgeBytes;
  }
}

}  // namespace

ImageCounts CountsOf(const Network& network, const Graph& graph) {
  ImageCounts counts;
  counts.stations = static_cast<std::uint32_t>(network.stations.size());
  counts.routes = static_cast<std::uint32_t>(network.routes.size());
  counts.strings = static_cast<std::uint32_t>(network.string_index.size());
  counts.pool_size = static_cast<std::uint32_t>(network.string_pool.size());
  counts.rstat_capacity = static_cast<std::uint32_t>(network.RStatCapacity());
  counts.node_total = graph.NodeTotal();
  counts.file_nodes = graph.file_node_count;
  counts.edges = static_cast<std::uint32_t>(graph.edges.size());
  counts.value_entries = graph.value_entry_count;
  return counts;
}

void WriteImage(const Network& network, const Graph& graph, const char* version, ByteWriter& out) {
  const ImageCounts counts = CountsOf(network, graph);
  const auto offsets = RecordOffsets(counts);
  out.Reserve(offsets.back() + RecordLengths(counts).back());
  WriteDatabaseHeader(counts, out);
  WriteImageHeader(counts, version, out);
  WriteStations(network.stations, out);
  WriteRoutes(network.routes, out);
  WriteWords(kStringIndexTable, network.string_index, out);
  std::uint8_t* pool = StartTable(kStringPoolTable, network.string_pool.size(), out);
  std::copy(network.string_pool.begin(), network.string_pool.end(), pool);
  WriteWords(kRouteStationTable, network.route_stations, out);
  WriteGraph(graph, out);
}
