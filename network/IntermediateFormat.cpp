#include "network/IntermediateFormat.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/Bytes.h"
#include "base/Fatal.h"

namespace intermediate {

namespace {

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

bool HasMagic(const std::uint8_t* header) {
  return std::memcmp(header + header::kMagic.offset, header::kMagicBytes, sizeof header::kMagicBytes) == 0;
}

FileHeader DecodeHeader(const std::uint8_t* header) {
  FileHeader fields;
  fields.base_offset = Long(header, header::kBaseOffset);
  fields.trailer_offset = Long(header, header::kTrailerOffset);
  fields.rstat_capacity = SignedWord(header, header::kRStatCapacity);
  fields.node_count = Word(header, header::kNodeCount);
  fields.station_count = SignedWord(header, header::kStationCount);
  fields.route_count = SignedWord(header, header::kRouteCount);
  fields.string_count = SignedWord(header, header::kStringCount);
  fields.pool_size = Word(header, header::kPoolSize);
  fields.edge_capacity = SignedWord(header, header::kEdgeCapacity);
  return fields;
}

std::int32_t EffectiveRStatCapacity(const FileHeader& header) {
  return header.rstat_capacity > 0 ? header.rstat_capacity : 2 * header.station_count;
}

std::int32_t EffectiveEdgeCapacity(const FileHeader& header) {
  return header.edge_capacity > 0 ? header.edge_capacity : kDefaultEdgeCapacity;
}

std::int32_t StoredEdgeLimit(const FileHeader& header) {
  return std::min(EffectiveEdgeCapacity(header), kMaxStoredEdges);
}

std::int64_t LeastRStatCapacity(const std::vector<std::uint16_t>& stop_counts) {
  std::int64_t entries = 0;
  std::int64_t least = 0;
  for (std::uint16_t stops : stop_counts) {
    least = std::max<std::int64_t>(least, entries + std::max<std::int64_t>(stops, 1));
    entries += stops;
  }
  return least;
}

void CheckHeaderLimits(const FileHeader& header) {
  CheckOffset("base", header.base_offset);
  CheckOffset("trailer", header.trailer_offset);
  CheckCount("station count", header.station_count, kMaxStations);
  CheckCount("route count", header.route_count, kMaxRoutes);
  CheckCount("string count", header.string_count, kMaxStrings);
  CheckCount("route-station capacity", EffectiveRStatCapacity(header), kMaxRStatCapacity);
  CheckCount("node count", header.node_count, kMaxFileNodes);
}

SectionWindows WindowsOf(const FileHeader& header) {
  const auto count = [](std::int32_t value) { return static_cast<std::uint64_t>(value > 0 ? value : 0); };
  // Edges are read one at a time and stored before the next is read: at most the
  // stored ones and the one that finds the table full.
  const std::uint64_t edges = count(StoredEdgeLimit(header)) + 1;
  // A route's stops are read only when its block fits the table: at most Q stops in all.
  const std::uint64_t stops = count(EffectiveRStatCapacity(header));
  const std::uint64_t stations = count(header.station_count);
  const std::uint64_t routes = count(header.route_count);
  SectionWindows windows;
  windows.nodes = {kNodeSectionOffset, header.node_count * std::uint64_t{node::kSize} + edges * edge::kSize};
  windows.base = {header.base_offset, stations * (station::kSize + sort::kSize) + routes * route::kSize +
                                          stops * stop::kSize + count(header.string_count) * kStringIndexEntrySize +
                                          header.pool_size};
  windows.trailer = {header.trailer_offset, routes * kTrailerWordSize};
  return windows;
}

std::vector<FileWindow> MergeWindows(const SectionWindows& sections, std::uint64_t gap) {
  std::vector<FileWindow> windows = {sections.nodes, sections.base, sections.trailer};
  std::sort(windows.begin(), windows.end(),
            [](const FileWindow& a, const FileWindow& b) { return a.offset < b.offset; });
  std::vector<FileWindow> merged;
  for (const FileWindow& window : windows) {
    if (window.length == 0) continue;
    if (!merged.empty() && window.offset <= merged.back().offset + merged.back().length + gap) {
      FileWindow& last = merged.back();
      last.length = std::max(last.length, window.offset + window.length - last.offset);
    } else {
      merged.push_back(window);
    }
  }
  return merged;
}

}  // namespace intermediate
