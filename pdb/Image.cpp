#include "pdb/Image.h"

#include <algorithm>
#include <cstring>

#include "base/Fatal.h"
#include "pdb/Container.h"

using namespace image;

namespace {

void WriteImageHeader(const ImageCounts& counts, const char* version, ByteWriter& out) {
  std::uint8_t* header = out.Extend(image_header::kSize);
  std::memcpy(header + image_header::kMagic.offset, image_header::kMagicText, image_header::kMagic.width);
  std::memcpy(header + image_header::kVersion.offset, version, image_header::kVersion.width);
  for (const CountField& count : kCountFields)
    PutWord(header, count.field, static_cast<std::uint16_t>(counts.*count.count));  // the low 16 bits
}

// The tag record of a table, and room for the table behind it.
std::uint8_t* StartTable(Table table, std::size_t length, ByteWriter& out) {
  FENWA_ASSERT(length <= kMostTableBytes);
  std::memcpy(out.ExtendUnfilled(kTagSize), kTableTags[table], kTagSize);
  return out.ExtendUnfilled(length);  // every byte of a table is written
}

void WriteWords(Table table, const std::vector<std::uint16_t>& words, ByteWriter& out) {
  std::uint8_t* at = StartTable(table, kWordSize * words.size(), out);
  const std::uint16_t* word = words.data();
  const std::size_t count = words.size();
  for (std::size_t i = 0; i < count; ++i) StoreBE16(at + kWordSize * i, word[i]);
}

void WriteStations(const std::vector<Station>& stations, ByteWriter& out) {
  std::uint8_t* at = StartTable(kStationTable, station::kSize * stations.size(), out);
  for (const Station& entry : stations) {
    PutWord(at, station::kNameString, entry.name_string);
    PutWord(at, station::kOpaqueWord, entry.opaque_word);
    at += station::kSize;
  }
  std::uint8_t* sort = StartTable(kSortTable, kWordSize * stations.size(), out);
  for (const Station& entry : stations) {
    StoreBE16(sort, entry.sort);
    sort += kWordSize;
  }
  std::uint8_t* kana_sort = StartTable(kKanaSortTable, kWordSize * stations.size(), out);
  for (const Station& entry : stations) {
    StoreBE16(kana_sort, entry.kana_sort);
    kana_sort += kWordSize;
  }
}

void WriteRoutes(const std::vector<Route>& routes, ByteWriter& out) {
  std::uint8_t* at = StartTable(kRouteTable, route::kSize * routes.size(), out);
  for (const Route& entry : routes) {
    PutWord(at, route::kNameIndex, entry.name);
    PutWord(at, route::kFirstSlot, entry.first_slot);
    PutWord(at, route::kCompany, entry.company);
    PutWord(at, route::kStationCount, entry.station_count);
    PutWord(at, route::kOpaqueWord, entry.opaque_word);
    PutByte(at, route::kOpaqueByte, entry.opaque_byte);
    PutByte(at, route::kCompanyLength, entry.company_length);
    PutWord(at, route::kTrailer, entry.trailer);
    at += route::kSize;
  }
}

void WriteGraph(const Graph& graph, ByteWriter& out) {
  std::uint8_t* at = StartTable(kNodeTable, node::kSize * graph.nodes.size(), out);
  for (const Node& entry : graph.nodes) {
    PutWord(at, node::kStation, entry.station);
    PutWord(at, node::kRoute, entry.route);
    PutWord(at, node::kMark, entry.mark);
    PutWord(at, node::kFirstEdge, entry.first_edge);
    PutWord(at, node::kEdgeCount, entry.edge_count);
    at += node::kSize;
  }
  at = StartTable(kEdgeTable, edge::kSize * graph.edges.size(), out);
  for (const Edge& entry : graph.edges) {
    PutWord(at, edge::kTarget, entry.target);
    PutWord(at, edge::kValue, entry.value);
    at += edge::kSize;
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
