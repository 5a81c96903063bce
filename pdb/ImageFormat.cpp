#include "pdb/ImageFormat.h"

namespace image {

std::array<std::uint32_t, kRecordCount> RecordLengths(const ImageCounts& c) {
  return {image_header::kSize,
          kTagSize,
          station::kSize * c.stations,
          kTagSize,
          kWordSize * c.stations,
          kTagSize,
          kWordSize * c.stations,
          kTagSize,
          route::kSize * c.routes,
          kTagSize,
          kWordSize * c.strings,
          kTagSize,
          c.pool_size,
          kTagSize,
          kRouteStationEntrySize * c.rstat_capacity,
          kTagSize,
          node::kSize * c.node_total,
          kTagSize,
          edge::kSize * c.edges};
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

}  // namespace image
