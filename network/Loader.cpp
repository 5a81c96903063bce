#include "network/Loader.h"

#include <algorithm>
#include <string>

#include "base/Fatal.h"

using namespace intermediate;

const char* ReadSiteDescription(int site) {
  switch (site) {
    case kSiteHeader: return "the 64-byte header";
    case kSiteStation: return "a 6-byte station record";
    case kSiteSort: return "a 4-byte sort record";
    case kSiteRoute: return "a 10-byte route record";
    case kSiteRouteStation: return "a 4-byte route-station entry";
    case kSiteStringIndex: return "a chunk of the string index";
    case kSiteStringPool: return "a chunk of the string pool";
    case kSiteTrailer: return "a 2-byte route trailer word";
    case kSiteNode: return "a 6-byte node record";
    case kSiteEdge: return "a 4-byte edge entry";
    default: return "an unknown read";
  }
}

void ShortRead(int site, std::uint64_t offset) { ReadFailure(site, kShortRead, ReadSiteDescription(site), offset); }

namespace {

// Sections this close are read as one run of bytes: one system call instead of two.
constexpr std::uint64_t kMergeGap = 64 * 1024;
// The string index and pool are read in chunks of this size.
constexpr std::uint64_t kChunkSize = 512;

// The next `count` bytes at the cursor, read in pieces of `piece` bytes (one
// record each, or one chunk): a file that ends inside a piece is a read failure
// of `site` where that piece starts.
const std::uint8_t* Need(ByteCursor& cursor, std::uint64_t count, std::uint64_t piece, int site) {
  const std::uint8_t* bytes = cursor.Take(count);
  if (bytes == nullptr) ShortRead(site, cursor.Offset() + cursor.Remaining() / piece * piece);
  return bytes;
}

}  // namespace

NetworkInput::Region NetworkInput::ReadRegion(CurrentFile& file, std::uint64_t offset, std::uint64_t length) {
  Region region{offset, std::unique_ptr<std::uint8_t[]>(new std::uint8_t[length]), {}};
  std::size_t size = 0;
  if (file.Seek(static_cast<std::int32_t>(offset)) >= 0)
    size = static_cast<std::size_t>(std::max(file.Read(region.owned.get(), static_cast<std::int32_t>(length)), 0));
  if (file.ReadFailed()) FatalError("cannot read " + file.Name() + ": " + file.Error());
  region.bytes = {region.owned.get(), size};
  return region;
}

void NetworkInput::TakeHeader(std::span<const std::uint8_t> header, const std::string& name) {
  if (header.size() < header::kSize) ShortRead(kSiteHeader, 0);
  if (!HasMagic(header.data()))
    DataError(kErrorObsoleteData,
              name + " is not an intermediate data file: it does not start with \"AD4\" and the byte 0x1A");
  header_ = DecodeHeader(header.data());
  CheckHeaderLimits(header_);
  windows_ = WindowsOf(header_);
}

template <typename ReadAt>
NetworkInput NetworkInput::ReadWith(const std::string& name, ReadAt read_at) {
  NetworkInput input;
  const Region header = read_at(0, header::kSize);
  input.TakeHeader(header.bytes, name);
  for (const FileWindow& window : MergeWindows(input.windows_, kMergeGap))
    input.regions_.push_back(read_at(window.offset, window.length));
  return input;
}

NetworkInput NetworkInput::Read(CurrentFile& file) {
  return ReadWith(file.Name(),
                  [&file](std::uint64_t offset, std::uint64_t length) { return ReadRegion(file, offset, length); });
}

NetworkInput NetworkInput::Read(ByteSource& source, const std::string& name) {
  return ReadWith(name, [&source](std::uint64_t offset, std::uint64_t length) {
    std::vector<std::uint8_t> bytes = source.Read(offset, length);
    Region region{offset, std::unique_ptr<std::uint8_t[]>(new std::uint8_t[bytes.size() + 1]), {}};
    std::copy(bytes.begin(), bytes.end(), region.owned.get());
    region.bytes = {region.owned.get(), bytes.size()};
    return region;
  });
}

NetworkInput NetworkInput::FromBytes(std::span<const std::uint8_t> file, const std::string& name) {
  NetworkInput input;
  input.TakeHeader(file.first(std::min<std::size_t>(file.size(), header::kSize)), name);
  input.regions_.push_back(Region{0, nullptr, file});
  return input;
}

ByteCursor NetworkInput::Section(const FileWindow& window) const {
  for (const Region& region : regions_) {
    if (window.offset >= region.offset && window.offset <= region.offset + region.bytes.size())
      return ByteCursor(region.bytes, region.offset).Slice(window.offset, window.length);
  }
  return ByteCursor({}, window.offset);  // nothing of it was read: the file ends before it
}

namespace {

void LoadStations(ByteCursor& cursor, Network& network) {
  const std::size_t count = network.stations.size();
  const std::uint8_t* record = Need(cursor, count * station::kSize, station::kSize, kSiteStation);
  for (Station& station : network.stations) {
    station.name_string = Word(record, station::kNameString);
    station.opaque_word = Word(record, station::kOpaqueWord);
    record += station::kSize;
  }
  record = Need(cursor, count * sort::kSize, sort::kSize, kSiteSort);
  for (Station& station : network.stations) {
    station.sort = Word(record, sort::kSort);
    station.kana_sort = Word(record, sort::kKanaSort);
    record += sort::kSize;
  }
}

// Refuses route r's block of 2K slots from slot c unless it lies inside the table.
void CheckRouteBlock(std::size_t route, std::int32_t slot, std::uint16_t stops, std::int32_t slots) {
  if (slot >= slots)
    DataError(kErrorInsufficientRStat, "route " + std::to_string(route) + " starts at slot " + std::to_string(slot) +
                                           " of a table with " + std::to_string(slots) + " slots");
  if (slot + 2 * stops > slots)
    DataError(kErrorInsufficientRStat, "route " + std::to_string(route) + " needs slots " + std::to_string(slot) +
                                           " to " + std::to_string(slot + 2 * stops - 1) + " of a table with " +
                                           std::to_string(slots) + " slots");
}

void LoadRoutes(ByteCursor& cursor, Network& network) {
  const auto slots = static_cast<std::int32_t>(network.route_stations.size());
  std::int32_t slot = 0;
  for (std::size_t r = 0; r < network.routes.size(); ++r) {
    Route& route = network.routes[r];
    const std::uint8_t* record = Need(cursor, route::kSize, route::kSize, kSiteRoute);
    route.name = Word(record, route::kNameIndex);
    route.station_count = Word(record, route::kStationCount);
    route.opaque_word = Word(record, route::kOpaqueWord);
    route.opaque_byte = Byte(record, route::kOpaqueByte);
    route.company_length = Byte(record, route::kCompanyLength);
    route.company = kNoIndex;
    CheckRouteBlock(r, slot, route.station_count, slots);
    route.first_slot = static_cast<std::uint16_t>(slot);
    std::uint16_t* stations = network.route_stations.data() + slot;
    std::uint16_t* companions = stations + route.station_count;
    const std::uint8_t* entry = Need(cursor, route.station_count * stop::kSize, stop::kSize, kSiteRouteStation);
    for (std::uint16_t j = 0; j < route.station_count; ++j) {
      stations[j] = Word(entry, stop::kStation);
      companions[j] = Word(entry, stop::kCompanion);
      entry += stop::kSize;
    }
    slot += 2 * route.station_count;
  }
}

// The index and the pool are read in chunks of 512 bytes (the last one
// shorter): a file that ends inside a chunk fails where the chunk starts.
void LoadStrings(ByteCursor& cursor, Network& network) {
  const std::uint8_t* entry =
      Need(cursor, network.string_index.size() * kStringIndexEntrySize, kChunkSize, kSiteStringIndex);
  for (std::uint16_t& offset : network.string_index) {
    offset = ReadLE16(entry);
    entry += kStringIndexEntrySize;
  }
  const std::size_t pool_size = network.string_pool.size();
  const std::uint8_t* pool = Need(cursor, pool_size, kChunkSize, kSiteStringPool);
  std::copy(pool, pool + pool_size, network.string_pool.begin());
}

void LoadTrailerWords(ByteCursor cursor, Network& network) {
  const std::uint8_t* word = Need(cursor, network.routes.size() * kTrailerWordSize, kTrailerWordSize, kSiteTrailer);
  for (Route& route : network.routes) {
    route.trailer = ReadLE16(word);
    word += kTrailerWordSize;
  }
}

// Node i's E edges, stored in file order. Edges are taken one at a time, so a
// full edge table is reported before a file that ends further on.
void LoadEdges(ByteCursor& cursor, Graph& graph, Node& node) {
  const std::uint64_t whole = std::min<std::uint64_t>(node.edge_count, cursor.Remaining() / edge::kSize);
  const std::uint8_t* entry = cursor.Take(whole * edge::kSize);
  const std::size_t first = graph.edges.size();
  const std::size_t fit = std::min<std::size_t>(whole, EdgeRoom(graph));
  for (std::size_t j = 0; j < fit; ++j) {
    graph.edges.push_back(
        {static_cast<std::uint16_t>(Word(entry, edge::kTarget) & kEdgeTargetMask), Word(entry, edge::kValue)});
    entry += edge::kSize;
  }
  if (fit < whole) AddEdge(graph, Word(entry, edge::kTarget), Word(entry, edge::kValue));  // refused
  if (whole < node.edge_count) ShortRead(kSiteEdge, cursor.Offset());
  if (node.edge_count > 0) node.first_edge = static_cast<std::uint16_t>(first);
}

std::size_t Count(std::int32_t count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

}  // namespace

Network LoadBaseTables(const NetworkInput& input) {
  const FileHeader& header = input.Header();
  Network network;
  network.stations.resize(Count(header.station_count));
  network.routes.resize(Count(header.route_count));
  network.route_stations.resize(2 * Count(EffectiveRStatCapacity(header)));
  network.string_index.resize(Count(header.string_count));
  network.string_pool.resize(header.pool_size);
  ByteCursor base = input.BaseSection();
  LoadStations(base, network);
  LoadRoutes(base, network);
  LoadStrings(base, network);
  LoadTrailerWords(input.TrailerSection(), network);
  return network;
}

Graph LoadGraph(const NetworkInput& input) {
  const FileHeader& header = input.Header();
  Graph graph;
  graph.nodes.reserve(header.node_count + std::size_t{kReserveNodes});
  graph.file_node_count = header.node_count;
  graph.edge_capacity = EffectiveEdgeCapacity(header);
  graph.edges.reserve(static_cast<std::size_t>(StoredEdgeLimit(header)));
  ByteCursor cursor = input.NodeSection();
  for (std::size_t i = 0; i < header.node_count; ++i) {
    const std::uint8_t* record = Need(cursor, node::kSize, node::kSize, kSiteNode);
    Node node;
    node.station = Word(record, node::kStation);
    node.route = Word(record, node::kRoute);
    node.edge_count = Word(record, node::kEdgeCount);
    LoadEdges(cursor, graph, node);
    graph.nodes.push_back(node);
  }
  graph.nodes.resize(graph.nodes.size() + kReserveNodes);  // empty
  graph.value_entry_count = 0;
  return graph;
}
