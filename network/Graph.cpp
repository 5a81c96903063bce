#include "network/Graph.h"

#include <algorithm>
#include <string>

#include "base/Fatal.h"
#include "fileio/CurrentFile.h"
#include "network/Base.h"
#include "network/IntermediateFormat.h"

std::uint16_t NodeTotal = 0;
std::uint16_t FileNodeCount = 0;
std::uint16_t ActiveNodeCount = 0;
std::int32_t EdgeCapacity = 0;
std::int32_t EdgeCount = 0;
std::uint16_t ValueEntryCount = 0;

Block AdjHandle;
Block FNodeHandle;

namespace {

constexpr std::int32_t kChunkSize = 512;  // the string index and pool are read in chunks of this size
constexpr std::int32_t kReadBufferSize = 4096;
std::uint8_t read_buffer[kReadBufferSize];

// Reads exactly `count` bytes into the read buffer, or fails naming the read site.
void ReadExactly(std::int32_t count, int site) {
  std::uint32_t offset = CurrentFilePosition();
  if (ReadCurrentFile(read_buffer, count) != count) ReadFailure(site, kShortRead, offset);
}

// Reads `count` records of `size` bytes, as many at a time as the read buffer
// holds, and hands record i to decode(i, bytes). A file that ends inside a
// record fails naming the read site and the offset where that record starts,
// exactly as reading the records one by one would.
template <typename Decode>
void ReadRecords(std::int32_t count, std::int32_t size, int site, Decode decode) {
  const std::int32_t per_read = kReadBufferSize / size;
  for (std::int32_t done = 0; done < count;) {
    const std::int32_t records = std::min(per_read, count - done);
    const std::uint32_t offset = CurrentFilePosition();
    const int got = ReadCurrentFile(read_buffer, records * size);
    if (got != records * size) ReadFailure(site, kShortRead, offset + static_cast<std::uint32_t>(got / size * size));
    for (std::int32_t i = 0; i < records; ++i) decode(done + i, read_buffer + i * size);
    done += records;
  }
}

FileHeader ReadHeader() {
  SeekCurrentFile(0, kSeekFromStart);
  ReadExactly(kHeaderSize, kSiteHeader);
  if (!HasMagic(read_buffer)) DataError(kErrorObsoleteData);
  FileHeader header = DecodeHeader(read_buffer);
  CheckHeaderLimits(header);
  return header;
}

void LoadStations() {
  ReadRecords(StationCount, kStationRecordSize, kSiteStation, [](std::int32_t i, const std::uint8_t* record) {
    StationHandle.SetWord(2 * static_cast<std::size_t>(i), ReadLE16(record));
    StationHandle.SetWord(2 * static_cast<std::size_t>(i) + 1, ReadLE16(record + 2));
  });
  ReadRecords(StationCount, kSortRecordSize, kSiteSort, [](std::int32_t i, const std::uint8_t* record) {
    SortHandle.SetWord(static_cast<std::size_t>(i), ReadLE16(record));
    KanaSortHandle.SetWord(static_cast<std::size_t>(i), ReadLE16(record + 2));
  });
}

// Checks that route r's block of 2K slots, starting at slot c, fits the table.
void CheckRouteBlock(std::int32_t route, std::int32_t slot, std::uint16_t stops) {
  const std::int32_t slots = 2 * RStatCapacity;
  if (slot >= slots)
    DataError(kErrorInsufficientRStat, "route " + std::to_string(route) + " starts at slot " + std::to_string(slot) +
                                           " of a table with " + std::to_string(slots) + " slots");
  if (slot + 2 * stops > slots)
    DataError(kErrorInsufficientRStat, "route " + std::to_string(route) + " needs slots " + std::to_string(slot) +
                                           " to " + std::to_string(slot + 2 * stops - 1) + " of a table with " +
                                           std::to_string(slots) + " slots");
}

void LoadRoutes() {
  std::int32_t slot = 0;
  for (std::int32_t r = 0; r < Num_r; ++r) {
    ReadExactly(kRouteRecordSize, kSiteRoute);
    std::uint8_t* route = Route(r);
    const std::uint16_t stops = ReadLE16(read_buffer + 4);
    StoreLE16(route + kRouteName, ReadLE16(read_buffer));
    StoreLE16(route + kRouteStationCount, stops);
    StoreLE16(route + kRouteWord, ReadLE16(read_buffer + 6));
    route[kRouteByte] = read_buffer[8];
    route[kRouteCompanyLength] = read_buffer[9];
    StoreLE16(route + kRouteCompany, kNoIndex);
    CheckRouteBlock(r, slot, stops);
    StoreLE16(route + kRouteFirstSlot, static_cast<std::uint16_t>(slot));
    ReadRecords(stops, kRouteStationEntrySize, kSiteRouteStation, [&](std::int32_t j, const std::uint8_t* entry) {
      RStatHandle.SetWord(static_cast<std::size_t>(slot + j), ReadLE16(entry));
      RStatHandle.SetWord(static_cast<std::size_t>(slot + stops + j), ReadLE16(entry + 2));
    });
    slot += 2 * stops;
  }
}

// The index is read in chunks of 256 words while more than 256 remain.
void LoadStringIndex() {
  std::int32_t remaining = StringCount;
  std::int32_t rsize = 0;
  std::int32_t chunk_position = 0;
  for (std::int32_t i = 0; i < StringCount; ++i) {
    if (rsize == 0) {
      rsize = remaining > kChunkSize / 2 ? kChunkSize : remaining * 2;
      ReadExactly(rsize, kSiteStringIndex);
      chunk_position = 0;
    }
    StringIndexHandle.SetWord(static_cast<std::size_t>(i), ReadLE16(read_buffer + chunk_position));
    chunk_position += 2;
    rsize -= 2;
    --remaining;
  }
  FENWA_ASSERT(rsize == 0);
}

void LoadStringPool() {
  std::uint8_t* pool = StringPoolHandle.Data();
  for (std::int32_t done = 0; done < PoolSize;) {
    const std::int32_t chunk = std::min<std::int32_t>(kChunkSize, PoolSize - done);
    ReadExactly(chunk, kSiteStringPool);
    std::copy(read_buffer, read_buffer + chunk, pool + done);
    done += chunk;
  }
}

void LoadTrailerWords(std::uint32_t trailer_offset) {
  SeekCurrentFile(static_cast<std::int32_t>(trailer_offset), kSeekFromStart);
  ReadRecords(Num_r, 2, kSiteTrailer,
              [](std::int32_t r, const std::uint8_t* word) { StoreLE16(Route(r) + kRouteTrailer, ReadLE16(word)); });
}

void LoadNodes() {
  for (std::size_t i = 0; i < FileNodeCount; ++i) {
    ReadExactly(kNodeRecordSize, kSiteNode);
    const std::uint16_t edges = ReadLE16(read_buffer + 4);
    SetNodeWord(i, kNodeWordA, ReadLE16(read_buffer));
    SetNodeWord(i, kNodeWordB, ReadLE16(read_buffer + 2));
    SetNodeWord(i, kNodeEdgeCount, edges);
    // One edge at a time: a full edge table is reported before a short read further on.
    for (std::uint16_t j = 0; j < edges; ++j) {
      ReadExactly(kEdgeEntrySize, kSiteEdge);
      const std::uint16_t index = AddEdge(ReadLE16(read_buffer), ReadLE16(read_buffer + 2));
      if (j == 0) SetNodeWord(i, kNodeFirstEdge, index);
    }
  }
}

}  // namespace

void CreateNodeTable(std::uint16_t total) {
  FENWA_ASSERT(!AdjHandle.Exists());
  NodeTotal = total;
  ActiveNodeCount = total;
  AdjHandle.Create(static_cast<std::size_t>(total) * kNodeSize);
  for (std::size_t i = 0; i < total; ++i) EmptyNode(i);
}

void ReleaseNodeTable() {
  AdjHandle.Release();
  NodeTotal = 0;
  FileNodeCount = 0;
  ActiveNodeCount = 0;
}

void CreateEdgeTable() {
  FENWA_ASSERT(!FNodeHandle.Exists());
  EdgeCount = 0;
  FNodeHandle.Create(static_cast<std::size_t>(EdgeCapacity > 0 ? EdgeCapacity : 0) * kEdgeSize);
}

void ReleaseEdgeTable() { FNodeHandle.Release(); }

void ReleaseGraphTables() {
  ReleaseEdgeTable();
  ReleaseNodeTable();
}

std::uint16_t NodeWord(std::size_t node, std::size_t field) { return AdjHandle.Word(node * 5 + field); }

void SetNodeWord(std::size_t node, std::size_t field, std::uint16_t value) {
  AdjHandle.SetWord(node * 5 + field, value);
}

void EmptyNode(std::size_t node) {
  SetNodeWord(node, kNodeWordA, 0);
  SetNodeWord(node, kNodeWordB, 0);
  SetNodeWord(node, kNodeMark, kNoIndex);
  SetNodeWord(node, kNodeFirstEdge, kNoIndex);
  SetNodeWord(node, kNodeEdgeCount, 0);
}

std::uint16_t AddEdge(std::uint16_t target, std::uint16_t value) {
  if (EdgeCount >= EdgeCapacity)
    DataError(kErrorInsufficientNodes, "more than " + std::to_string(EdgeCapacity) + " edges");
  if (EdgeCount >= kMaxStoredEdges)
    InputLimitError("more than " + std::to_string(kMaxStoredEdges) + " edges, the most an image record can hold");
  const auto index = static_cast<std::size_t>(EdgeCount);
  FNodeHandle.SetWord(2 * index, target & kEdgeTargetMask);
  FNodeHandle.SetWord(2 * index + 1, value);
  ++EdgeCount;
  return static_cast<std::uint16_t>(index);
}

void LoadBaseTables() {
  const FileHeader header = ReadHeader();
  StationCount = header.station_count;
  Num_r = header.route_count;
  StringCount = header.string_count;
  PoolSize = header.pool_size;
  RStatCapacity = EffectiveRStatCapacity(header);
  SeekCurrentFile(static_cast<std::int32_t>(header.base_offset), kSeekFromStart);
  CreateStationTables();
  CreateRouteTables();
  CreateStringTable(StringCount, PoolSize);
  LoadStations();
  LoadRoutes();
  LoadStringIndex();
  LoadStringPool();
  LoadTrailerWords(header.trailer_offset);
}

void LoadGraph() {
  const FileHeader header = ReadHeader();
  ReleaseGraphTables();
  CreateNodeTable(static_cast<std::uint16_t>(header.node_count + kReserveNodes));
  FileNodeCount = header.node_count;
  ActiveNodeCount = header.node_count;
  EdgeCapacity = EffectiveEdgeCapacity(header);
  CreateEdgeTable();
  LoadNodes();
  ValueEntryCount = 0;
}

void FinishGraph() {
  for (std::size_t i = 0; i < FileNodeCount; ++i) {
    const std::uint16_t mark = NodeWord(i, kNodeMark);
    if (mark != kNoIndex && mark >= ValueEntryCount) SetNodeWord(i, kNodeMark, kNoIndex);
  }
  for (std::size_t i = 0; i < static_cast<std::size_t>(EdgeCount); ++i)
    FNodeHandle.SetWord(2 * i, FNodeHandle.Word(2 * i) & kEdgeTargetMask);
  ActiveNodeCount = FileNodeCount;
}
