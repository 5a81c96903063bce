#include "pdb/ImageFormat.h"

std::array<std::uint32_t, kRecordCount> RecordLengths(const ImageCounts& c) {
  return {kImageHeaderSize,
          kTagSize,
          kStationEntrySize * c.stations,
          kTagSize,
          2 * c.stations,
          kTagSize,
          2 * c.stations,
          kTagSize,
          kRouteRecordBytes * c.routes,
          kTagSize,
          2 * c.strings,
          kTagSize,
          c.pool_size,
          kTagSize,
          kRouteStationEntryBytes * c.rstat_capacity,
          kTagSize,
          kNodeRecordBytes * c.node_total,
          kTagSize,
          kEdgeBytes * c.edges};
}

std::array<std::uint32_t, kRecordCount> RecordOffsets(const ImageCounts& counts) {
  std::array<std::uint32_t, kRecordCount> offsets{};
  const auto lengths = RecordLengths(counts);
  std::uint32_t offset = kFirstRecordOffset;
  for (std::size_t i = 0; i < kRecordCount; ++i) {
    offsets[i] = offset;
    offset += lengths[i];
  }
  return offsets;
}
