#include "pdb/Image.h"

#include <cstring>
#include <utility>

#include "fileio/CurrentFile.h"
#include "network/Base.h"
#include "network/Graph.h"
#include "network/IntermediateFormat.h"
#include "pdb/Container.h"

namespace {

void EmptySpecialAndReserveNodes() {
  for (std::size_t i = 0; i < NodeTotal; ++i) {
    if (i < 2 || i >= FileNodeCount) EmptyNode(i);
  }
}

void StoreWord(std::uint8_t* bytes, std::uint16_t value) { StoreLE16(bytes, Swap16(value)); }

void WriteImageHeader(const char* version) {
  std::uint8_t header[kImageHeaderSize] = {};
  std::memcpy(header, "IMG0", 4);
  std::memcpy(header + 4, version, 4);
  const std::uint16_t counts[] = {static_cast<std::uint16_t>(StationCount),
                                  static_cast<std::uint16_t>(Num_r),
                                  static_cast<std::uint16_t>(StringCount),
                                  PoolSize,
                                  static_cast<std::uint16_t>(RStatCapacity),
                                  NodeTotal,
                                  FileNodeCount,
                                  static_cast<std::uint16_t>(EdgeCount),
                                  ValueEntryCount};
  std::uint8_t* word = header + 8;
  for (std::uint16_t count : counts) {
    StoreWord(word, count);  // the little-endian store of the swapped value: big-endian bytes
    word += 2;
  }
  WriteCurrentFile(header, sizeof header);
}

void WriteTable(const char* tag, std::uint8_t* table, std::uint32_t length, bool swap_words) {
  WriteCurrentFile(tag, kTagSize);
  if (swap_words) SwapWords(table, length);
  WriteCurrentFile16(table, static_cast<std::int32_t>(length));
}

}  // namespace

std::uint16_t Swap16(std::uint16_t value) { return static_cast<std::uint16_t>((value >> 8) | (value << 8)); }

void SwapWords(std::uint8_t* buffer, std::uint32_t length) {
  const std::uint32_t bytes = length & 0xFFFF;
  for (std::uint32_t i = 0; i + 1 < bytes; i += 2) std::swap(buffer[i], buffer[i + 1]);
}

void SwapRoutes(std::uint8_t* routes, std::uint32_t count) {
  const std::uint32_t records = count & 0xFFFF;
  for (std::uint32_t r = 0; r < records; ++r) {
    std::uint8_t* route = routes + r * kRouteSize;
    for (std::size_t field :
         {kRouteName, kRouteFirstSlot, kRouteCompany, kRouteStationCount, kRouteWord, kRouteTrailer})
      std::swap(route[field], route[field + 1]);
  }
}

int WriteImage(const char* version) {
  FinishGraph();
  EmptySpecialAndReserveNodes();
  SeekCurrentFile(0, kSeekFromStart);
  WriteDatabaseHeader();
  WriteImageHeader(version);
  const auto lengths = RecordLengths();
  WriteTable("STAT", StationHandle.Data(), lengths[2], true);
  WriteTable("SORT", SortHandle.Data(), lengths[4], true);
  WriteTable("KSOR", KanaSortHandle.Data(), lengths[6], true);
  WriteCurrentFile("ROSE", kTagSize);
  SwapRoutes(RosenHandle.Data(), static_cast<std::uint32_t>(Num_r));
  WriteCurrentFile16(RosenHandle.Data(), static_cast<std::int32_t>(lengths[8]));
  WriteTable("STRI", StringIndexHandle.Data(), lengths[10], true);
  WriteTable("STRP", StringPoolHandle.Data(), lengths[12], false);
  WriteTable("RSTA", RStatHandle.Data(), lengths[14], true);
  WriteTable("ADJL", AdjHandle.Data(), lengths[16], true);
  WriteTable("FNOD", FNodeHandle.Data(), lengths[18], true);
  return 0;
}
