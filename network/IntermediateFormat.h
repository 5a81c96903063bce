// The intermediate data file: the converter's only input.
//
// All numbers are little-endian and read byte-wise, so nothing in the file is
// assumed to be aligned. Strings are NUL-terminated Shift_JIS byte strings.
//
// Header, 64 bytes at offset 0:
//    0  4  magic: "AD4" and the byte 0x1A
//    4  4  u32  offset of the base section (below 2^31)
//    8  4  u32  offset of the trailer section (below 2^31)
//   12 34       not interpreted
//   46  2  i16  route-station capacity Q in entries; 0 or less means 2 x station count
//   48  2  u16  node count N
//   50  2  i16  station count S
//   52  2  i16  route count R
//   54  2  i16  string count C
//   56  2  u16  string pool size P in bytes
//   58  2  i16  edge capacity; 0 or less means 10000
//   60  4       not interpreted
//
// Node section, directly behind the header at offset 64: N node records, each
// followed at once by its own edges.
//   node record (6): word A, word B, edge count E (u16)
//   edge entry  (4): target word (bit 15 is cleared on load), value word
//
// Base section, at the base offset, five parts back to back:
//   S station records (6): word A, word B, 2 bytes not interpreted
//   S sort records    (4): SORT word, KSOR word
//   R route records  (10): name string index, 2 bytes not interpreted,
//                          station count K (u16), route word, route byte,
//                          company-name length in bytes (0: no company);
//     each followed at once by K route-station entries (4): station word, companion word
//   C string index entries (2): offset of string i in the pool
//   the string pool, P bytes
//
// Trailer section, at the trailer offset: R words, one per route in route order.
//
// Beyond what the format itself says, a file is refused when it asks for a
// table the handheld image cannot hold (every record is shorter than 65536
// bytes): see the limits below.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kHeaderSize = 64;
inline constexpr std::uint8_t kMagic[4] = {'A', 'D', '4', 0x1A};

inline constexpr std::uint32_t kHeaderBaseOffset = 4;
inline constexpr std::uint32_t kHeaderTrailerOffset = 8;
inline constexpr std::uint32_t kHeaderRStatCapacity = 46;
inline constexpr std::uint32_t kHeaderNodeCount = 48;
inline constexpr std::uint32_t kHeaderStationCount = 50;
inline constexpr std::uint32_t kHeaderRouteCount = 52;
inline constexpr std::uint32_t kHeaderStringCount = 54;
inline constexpr std::uint32_t kHeaderPoolSize = 56;
inline constexpr std::uint32_t kHeaderEdgeCapacity = 58;

inline constexpr std::uint32_t kStationRecordSize = 6;
inline constexpr std::uint32_t kSortRecordSize = 4;
inline constexpr std::uint32_t kRouteRecordSize = 10;
inline constexpr std::uint32_t kRouteStationEntrySize = 4;
inline constexpr std::uint32_t kNodeRecordSize = 6;
inline constexpr std::uint32_t kEdgeEntrySize = 4;

inline constexpr std::int32_t kDefaultEdgeCapacity = 10000;
inline constexpr std::uint16_t kReserveNodes = 20;

// The largest tables whose image records stay below 65536 bytes.
inline constexpr std::int32_t kMaxStations = 16383;       // 4-byte station entries
inline constexpr std::int32_t kMaxRoutes = 4681;          // 14-byte route records
inline constexpr std::int32_t kMaxRStatCapacity = 16383;  // 4-byte route-station entries
inline constexpr std::int32_t kMaxFileNodes = 6533;       // 10-byte nodes, 20 reserve ones included
inline constexpr std::int32_t kMaxStoredEdges = 16383;    // 4-byte edges
inline constexpr std::uint32_t kMaxSectionOffset = 0x7FFFFFFF;

// The fields of the header the converter uses, as the file gives them.
struct FileHeader {
  std::uint32_t base_offset = 0;
  std::uint32_t trailer_offset = 0;
  std::int32_t rstat_capacity = 0;  // as given; see EffectiveRStatCapacity
  std::uint16_t node_count = 0;
  std::int32_t station_count = 0;
  std::int32_t route_count = 0;
  std::int32_t string_count = 0;
  std::uint16_t pool_size = 0;
  std::int32_t edge_capacity = 0;  // as given; see EffectiveEdgeCapacity
};

inline std::uint16_t ReadLE16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline std::uint32_t ReadLE32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(ReadLE16(bytes)) | (static_cast<std::uint32_t>(ReadLE16(bytes + 2)) << 16);
}

inline void StoreLE16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreLE32(std::uint8_t* bytes, std::uint32_t value) {
  StoreLE16(bytes, static_cast<std::uint16_t>(value));
  StoreLE16(bytes + 2, static_cast<std::uint16_t>(value >> 16));
}

bool HasMagic(const std::uint8_t* header);
FileHeader DecodeHeader(const std::uint8_t* header);

// Q: the capacity given, or twice the station count when none is given.
std::int32_t EffectiveRStatCapacity(const FileHeader& header);
// M: the edge capacity given, or 10000 when none is given.
std::int32_t EffectiveEdgeCapacity(const FileHeader& header);

// Refuses (through the fatal-error road) a header whose counts or offsets the
// converter cannot use safely or whose tables the image could not hold.
void CheckHeaderLimits(const FileHeader& header);
