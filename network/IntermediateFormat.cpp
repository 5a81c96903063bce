#include "network/IntermediateFormat.h"

#include <cstring>
#include <string>

#include "base/Fatal.h"

namespace {

std::int32_t SignedWord(const std::uint8_t* bytes) { return static_cast<std::int16_t>(ReadLE16(bytes)); }

void CheckCount(const char* what, std::int32_t count, std::int32_t most) {
  if (count < 0) InputLimitError(std::string("the ") + what + " " + std::to_string(count) + " is negative");
  if (count > most)
    InputLimitError(std::string("the ") + what + " " + std::to_string(count) + " is more than " + std::to_string(most) +
                    ", the most an image record can hold");
}

void CheckOffset(const char* what, std::uint32_t offset) {
  if (offset > kMaxSectionOffset)
    InputLimitError(std::string("the ") + what + " offset " + std::to_string(offset) + " is 2^31 or more");
}

}  // namespace

bool HasMagic(const std::uint8_t* header) { return std::memcmp(header, kMagic, sizeof kMagic) == 0; }

FileHeader DecodeHeader(const std::uint8_t* header) {
  FileHeader fields;
  fields.base_offset = ReadLE32(header + kHeaderBaseOffset);
  fields.trailer_offset = ReadLE32(header + kHeaderTrailerOffset);
  fields.rstat_capacity = SignedWord(header + kHeaderRStatCapacity);
  fields.node_count = ReadLE16(header + kHeaderNodeCount);
  fields.station_count = SignedWord(header + kHeaderStationCount);
  fields.route_count = SignedWord(header + kHeaderRouteCount);
  fields.string_count = SignedWord(header + kHeaderStringCount);
  fields.pool_size = ReadLE16(header + kHeaderPoolSize);
  fields.edge_capacity = SignedWord(header + kHeaderEdgeCapacity);
  return fields;
}

std::int32_t EffectiveRStatCapacity(const FileHeader& header) {
  return header.rstat_capacity > 0 ? header.rstat_capacity : 2 * header.station_count;
}

std::int32_t EffectiveEdgeCapacity(const FileHeader& header) {
  return header.edge_capacity > 0 ? header.edge_capacity : kDefaultEdgeCapacity;
}

void CheckHeaderLimits(const FileHeader& header) {
  CheckOffset("base", header.base_offset);
  CheckOffset("trailer", header.trailer_offset);
  CheckCount("station count", header.station_count, kMaxStations);
  CheckCount("route count", header.route_count, kMaxRoutes);
  CheckCount("string count", header.string_count, 0x7FFF);
  CheckCount("route-station capacity", EffectiveRStatCapacity(header), kMaxRStatCapacity);
  CheckCount("node count", header.node_count, kMaxFileNodes);
}
