#include "pdb/Container.h"

#include <cstring>

#include "fileio/CurrentFile.h"
#include "network/Base.h"
#include "network/Graph.h"
#include "network/IntermediateFormat.h"

namespace {

// Both dates hold these four bytes, whatever the clock says.
constexpr std::uint8_t kDatabaseDate[4] = {0x34, 0xEE, 0xA7, 0x53};

void StoreBE16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value >> 8);
  bytes[1] = static_cast<std::uint8_t>(value);
}

std::uint32_t Count(std::int32_t count) { return static_cast<std::uint32_t>(count); }

}  // namespace

std::uint32_t Swap32(std::uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

std::array<std::uint32_t, kRecordCount> RecordLengths() {
  const std::uint32_t s = Count(StationCount);
  return {kImageHeaderSize,
          kTagSize,
          4 * s,
          kTagSize,
          2 * s,
          kTagSize,
          2 * s,
          kTagSize,
          14 * Count(Num_r),
          kTagSize,
          2 * Count(StringCount),
          kTagSize,
          PoolSize,
          kTagSize,
          4 * Count(RStatCapacity),
          kTagSize,
          10u * NodeTotal,
          kTagSize,
          4 * Count(EdgeCount)};
}

std::array<std::uint32_t, kRecordCount> RecordOffsets() {
  std::array<std::uint32_t, kRecordCount> offsets{};
  const auto lengths = RecordLengths();
  std::uint32_t offset = kFirstRecordOffset;
  for (std::size_t i = 0; i < kRecordCount; ++i) {
    offsets[i] = offset;
    offset += lengths[i];
  }
  return offsets;
}

void WriteDatabaseHeader() {
  std::uint8_t header[kFirstRecordOffset] = {};
  std::memcpy(header, "fenwaimg", 8);
  std::memcpy(header + 36, kDatabaseDate, 4);
  std::memcpy(header + 40, kDatabaseDate, 4);
  std::memcpy(header + 60, "Data", 4);
  std::memcpy(header + 64, "FNWA", 4);
  StoreBE16(header + 76, kRecordCount);
  std::uint8_t* entry = header + kDatabaseHeaderSize;
  for (std::uint32_t offset : RecordOffsets()) {
    StoreLE32(entry, Swap32(offset));  // the little-endian store of the swapped value: big-endian bytes
    entry[4] = kRecordAttributes;
    entry += kRecordEntrySize;
  }
  WriteCurrentFile(header, sizeof header);
}
