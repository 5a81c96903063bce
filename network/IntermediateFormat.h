// The intermediate data file: the converter's only input. Every reader and
// writer of the file (the loader, the tolerant reader, the builder) takes its
// layout from here, and no offset of it is written anywhere else.
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
//   node record (6): word A (a station), word B (a route), edge count E (u16)
//   edge entry  (4): target word (bit 15 is cleared on load), value word
//
// Base section, at the base offset, five parts back to back:
//   S station records (6): word A (the name's string), word B, 2 bytes not interpreted
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
#include <span>
#include <vector>

#include "base/Bytes.h"

namespace intermediate {

inline std::uint16_t Word(const std::uint8_t* record, const WordField& field) {
  return ReadLE16(record + field.offset);
}
inline std::uint32_t Long(const std::uint8_t* record, const LongField& field) {
  return ReadLE32(record + field.offset);
}
inline std::int16_t SignedWord(const std::uint8_t* record, const SignedWordField& field) {
  return static_cast<std::int16_t>(ReadLE16(record + field.offset));
}
inline void PutWord(std::uint8_t* record, const WordField& field, std::uint16_t value) {
  StoreLE16(record + field.offset, value);
}
// A signed word given as its 16 bits.
inline void PutWord(std::uint8_t* record, const SignedWordField& field, std::uint16_t bits) {
  StoreLE16(record + field.offset, bits);
}
inline void PutLong(std::uint8_t* record, const LongField& field, std::uint32_t value) {
  StoreLE32(record + field.offset, value);
}

namespace header {
inline constexpr std::uint32_t kSize = 64;
inline constexpr BytesField<4> kMagic{"magic", 0};
inline constexpr LongField kBaseOffset{"base offset", 4};
inline constexpr LongField kTrailerOffset{"trailer offset", 8};
inline constexpr BytesField<34> kUnusedMiddle{"not interpreted", 12};
inline constexpr SignedWordField kRStatCapacity{"route-station capacity", 46};
inline constexpr WordField kNodeCount{"node count", 48};
inline constexpr SignedWordField kStationCount{"station count", 50};
inline constexpr SignedWordField kRouteCount{"route count", 52};
inline constexpr SignedWordField kStringCount{"string count", 54};
inline constexpr WordField kPoolSize{"string pool size", 56};
inline constexpr SignedWordField kEdgeCapacity{"edge capacity", 58};
inline constexpr BytesField<4> kUnusedTail{"not interpreted", 60};
inline constexpr std::uint8_t kMagicBytes[4] = {'A', 'D', '4', 0x1A};
}  // namespace header

// The node section starts right behind the header.
inline constexpr std::uint32_t kNodeSectionOffset = header::kSize;

namespace node {
inline constexpr std::uint32_t kSize = 6;
inline constexpr WordField kStation{"word A", 0};  // the station the node stands for
inline constexpr WordField kRoute{"word B", 2};    // the route the node stands for
inline constexpr WordField kEdgeCount{"edge count", 4};
}  // namespace node

namespace edge {
inline constexpr std::uint32_t kSize = 4;
inline constexpr WordField kTarget{"target", 0};
inline constexpr WordField kValue{"value", 2};
}  // namespace edge

namespace station {
inline constexpr std::uint32_t kSize = 6;
inline constexpr WordField kNameString{"word A", 0};  // the string index of the station's name
inline constexpr WordField kOpaqueWord{"word B", 2};  // copied as it is
inline constexpr WordField kUnusedWord{"not interpreted", 4};
}  // namespace station

namespace sort {
inline constexpr std::uint32_t kSize = 4;
inline constexpr WordField kSort{"SORT word", 0};
inline constexpr WordField kKanaSort{"KSOR word", 2};
}  // namespace sort

namespace route {
inline constexpr std::uint32_t kSize = 10;
inline constexpr WordField kNameIndex{"name string index", 0};
inline constexpr WordField kUnusedWord{"not interpreted", 2};
inline constexpr WordField kStationCount{"station count", 4};
inline constexpr WordField kOpaqueWord{"route word", 6};  // copied as it is
inline constexpr ByteField kOpaqueByte{"route byte", 8};  // copied as it is
inline constexpr ByteField kCompanyLength{"company-name length", 9};
}  // namespace route

namespace stop {
inline constexpr std::uint32_t kSize = 4;
inline constexpr WordField kStation{"station word", 0};
inline constexpr WordField kCompanion{"companion word", 2};
}  // namespace stop

inline constexpr std::uint32_t kStringIndexEntrySize = 2;
inline constexpr std::uint32_t kTrailerWordSize = 2;

inline constexpr std::int32_t kDefaultEdgeCapacity = 10000;
inline constexpr std::uint16_t kReserveNodes = 20;
inline constexpr std::uint16_t kEdgeTargetMask = 0x7FFF;  // bit 15 of a target is a search flag

// The largest tables whose image records stay below 65536 bytes.
inline constexpr std::int32_t kMaxStations = 16383;       // 4-byte station entries
inline constexpr std::int32_t kMaxRoutes = 4681;          // 14-byte route records
inline constexpr std::int32_t kMaxRStatCapacity = 16383;  // 4-byte route-station entries
inline constexpr std::int32_t kMaxFileNodes = 6533;       // 10-byte nodes, 20 reserve ones included
inline constexpr std::int32_t kMaxStoredEdges = 16383;    // 4-byte edges
inline constexpr std::int32_t kMaxStrings = 0x7FFF;
inline constexpr std::int32_t kMaxEdgeCapacity = 0x7FFF;  // the most a signed 16-bit header field gives
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

// True when the first four of the header's bytes are the magic.
bool HasMagic(const std::uint8_t* header);
// The fields of the 64 header bytes.
FileHeader DecodeHeader(const std::uint8_t* header);

// Q: the capacity given, or twice the station count when none is given.
std::int32_t EffectiveRStatCapacity(const FileHeader& header);
// M: the edge capacity given, or 10000 when none is given.
std::int32_t EffectiveEdgeCapacity(const FileHeader& header);
// The edges the converter stores at the most: M, or fewer when the table cannot
// hold M. It reads one edge more, and refuses it.
std::int32_t StoredEdgeLimit(const FileHeader& header);

// The least route-station capacity the converter accepts for routes with these
// stop counts, in route order: every route's block must start below the last
// slot of the table and end inside it.
std::int64_t LeastRStatCapacity(const std::vector<std::uint16_t>& stop_counts);

// Refuses (through the fatal-error road) a header whose counts or offsets the
// converter cannot use safely or whose tables the image could not hold.
void CheckHeaderLimits(const FileHeader& header);

// A run of the file's bytes: where it starts and how long it is at most.
struct FileWindow {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

// The most bytes the converter can read of each section of a file whose header
// passed CheckHeaderLimits, counted from each section's start. A reader that
// fetches these windows has every byte a conversion can read.
struct SectionWindows {
  FileWindow nodes;
  FileWindow base;
  FileWindow trailer;
};
SectionWindows WindowsOf(const FileHeader& header);

// The windows in file order, those that overlap or lie within `gap` bytes of
// each other merged into one, so that each is read with one call.
std::vector<FileWindow> MergeWindows(const SectionWindows& sections, std::uint64_t gap);

}  // namespace intermediate
