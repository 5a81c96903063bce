// fenwaimg.pdb: the database image the handheld loads. Every writer and reader
// of the image (the image writer, the tolerant reader, the tools) takes its
// layout from here, and no offset of it is written anywhere else. All numbers
// are big-endian.
//
// Database header, 78 bytes:
//    0 32  name "fenwaimg", padded with NULs      52  4  application info offset (0)
//   32  2  attributes (0)                         56  4  sort info offset (0)
//   34  2  version (0)                            60  4  type "Data"
//   36  4  creation date 0x34EEA753               64  4  creator "FNWA"
//   40  4  modification date 0x34EEA753          68  4  unique ID seed (0)
//   44  4  last backup date (0)                   72  4  next record list (0)
//   48  4  modification number (0)                76  2  number of records (19)
// Record list at 78: 19 entries of 8 bytes (offset of the record's data, the
// attributes 0x40 (dirty), a 3-byte unique ID 0), then two zero bytes; the
// first record starts at 232. The last record runs to the end of the file.
//
// Records, in order: the image header (130 bytes: "IMG0", the 4-character
// format version, nine 16-bit counts, zeros), then for each of nine tables a
// 4-byte tag record and the table:
//   STAT  stations, S entries of word A (the name's string), word B
//   SORT  S SORT words                   KSOR  S KSOR words
//   ROSE  R route records of 14 bytes: name, first slot, company, station
//         count, word (16-bit each), byte, company-name length, trailer word
//   STRI  C string offsets               STRP  the P-byte string pool
//   RSTA  the route-station table, Q entries of two slots
//   ADJL  T nodes of 10 bytes: word A (a station), word B (a route), mark,
//         first edge, edge count
//   FNOD  the F edges stored: target, value
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/Bytes.h"

namespace image {

// A three-byte number, high byte first (a record's unique ID).
using ThreeByteField = FieldOf<3>;

inline std::uint16_t Word(const std::uint8_t* record, const WordField& field) {
  return ReadBE16(record + field.offset);
}
inline std::uint32_t Long(const std::uint8_t* record, const LongField& field) {
  return ReadBE32(record + field.offset);
}
inline std::uint32_t Long24(const std::uint8_t* record, const ThreeByteField& field) {
  return std::uint32_t{record[field.offset]} << 16 | ReadBE16(record + field.offset + 1);
}
inline void PutWord(std::uint8_t* record, const WordField& field, std::uint16_t value) {
  StoreBE16(record + field.offset, value);
}
inline void PutLong(std::uint8_t* record, const LongField& field, std::uint32_t value) {
  StoreBE32(record + field.offset, value);
}

inline constexpr std::size_t kRecordCount = 19;
inline constexpr std::size_t kTableCount = 9;

namespace database {
inline constexpr std::uint32_t kSize = 78;
inline constexpr BytesField<32> kName{"name", 0};
inline constexpr WordField kAttributes{"attributes", 32};
inline constexpr WordField kVersion{"version", 34};
inline constexpr LongField kCreationDate{"creation_date", 36};
inline constexpr LongField kModificationDate{"modification_date", 40};
inline constexpr LongField kBackupDate{"backup_date", 44};
inline constexpr LongField kModificationNumber{"modification_number", 48};
inline constexpr LongField kAppInfoOffset{"app_info_offset", 52};
inline constexpr LongField kSortInfoOffset{"sort_info_offset", 56};
inline constexpr BytesField<4> kType{"type", 60};
inline constexpr BytesField<4> kCreator{"creator", 64};
inline constexpr LongField kUniqueIdSeed{"unique_id_seed", 68};
inline constexpr LongField kNextRecordList{"next_record_list", 72};
inline constexpr WordField kNumberOfRecords{"record_count", 76};
// The numbers of the header that the converter always writes as 0, in order.
inline constexpr WordField kZeroWords[] = {kAttributes, kVersion};
inline constexpr LongField kZeroLongs[] = {kBackupDate,     kModificationNumber, kAppInfoOffset,
                                           kSortInfoOffset, kUniqueIdSeed,       kNextRecordList};

inline constexpr char kNameText[] = "fenwaimg";
inline constexpr char kTypeText[] = "Data";
inline constexpr char kCreatorText[] = "FNWA";
inline constexpr std::uint32_t kDate = 0x34EEA753;  // both dates, whatever the clock says
}  // namespace database

namespace record_entry {
inline constexpr std::uint32_t kSize = 8;
inline constexpr std::uint32_t kListOffset = database::kSize;
inline constexpr LongField kOffset{"offset", 0};
inline constexpr ByteField kAttributes{"attributes", 4};
inline constexpr ThreeByteField kUniqueId{"unique_id", 5};
inline constexpr std::uint8_t kDirty = 0x40;
inline constexpr std::uint32_t kFillerSize = 2;  // zeros behind the list
}  // namespace record_entry

inline constexpr std::uint32_t kFirstRecordOffset =
    database::kSize + kRecordCount * record_entry::kSize + record_entry::kFillerSize;

namespace image_header {
inline constexpr std::uint32_t kSize = 130;
inline constexpr BytesField<4> kMagic{"magic", 0};
inline constexpr BytesField<4> kVersion{"version", 4};
inline constexpr WordField kStationCount{"station count S", 8};
inline constexpr WordField kRouteCount{"route count R", 10};
inline constexpr WordField kStringCount{"string count C", 12};
inline constexpr WordField kPoolSize{"string pool size P", 14};
inline constexpr WordField kRStatCapacity{"route-station capacity Q", 16};
inline constexpr WordField kNodeTotal{"node total T", 18};
inline constexpr WordField kFileNodeCount{"file node count N", 20};
inline constexpr WordField kEdgeCount{"edge count F", 22};
inline constexpr WordField kValueEntryCount{"value entry count", 24};
inline constexpr char kMagicText[] = "IMG0";
inline constexpr char kVersionText[] = "0.25";
}  // namespace image_header

// The nine counts of the image header, in their order there.
struct ImageCounts {
  std::uint32_t stations = 0;        // S
  std::uint32_t routes = 0;          // R
  std::uint32_t strings = 0;         // C
  std::uint32_t pool_size = 0;       // P
  std::uint32_t rstat_capacity = 0;  // Q
  std::uint32_t node_total = 0;      // T
  std::uint32_t file_nodes = 0;      // N
  std::uint32_t edges = 0;           // F
  std::uint32_t value_entries = 0;
};

// Each count's field of the image header and its place in ImageCounts.
struct CountField {
  WordField field;
  std::uint32_t ImageCounts::*count;
};
inline constexpr CountField kCountFields[] = {
    {image_header::kStationCount, &ImageCounts::stations},         {image_header::kRouteCount, &ImageCounts::routes},
    {image_header::kStringCount, &ImageCounts::strings},           {image_header::kPoolSize, &ImageCounts::pool_size},
    {image_header::kRStatCapacity, &ImageCounts::rstat_capacity},  {image_header::kNodeTotal, &ImageCounts::node_total},
    {image_header::kFileNodeCount, &ImageCounts::file_nodes},      {image_header::kEdgeCount, &ImageCounts::edges},
    {image_header::kValueEntryCount, &ImageCounts::value_entries},
};
// Zeros from here to the end of the image header.
inline constexpr std::uint32_t kImageHeaderZerosOffset = 26;

// Tag records and table entries.
inline constexpr std::uint32_t kTagSize = 4;
inline constexpr std::array<const char*, kTableCount> kTableTags = {"STAT", "SORT", "KSOR", "ROSE", "STRI",
                                                                    "STRP", "RSTA", "ADJL", "FNOD"};
enum Table : std::size_t {
  kStationTable,
  kSortTable,
  kKanaSortTable,
  kRouteTable,
  kStringIndexTable,
  kStringPoolTable,
  kRouteStationTable,
  kNodeTable,
  kEdgeTable,
};
// A record of the handheld's database is shorter than 64 KiB; the converter's
// input limits keep every table within it.
inline constexpr std::uint32_t kMostTableBytes = 0xFFFF;
// The record numbers of a table's tag and of the table itself.
constexpr std::size_t TagRecord(std::size_t table) { return 1 + 2 * table; }
constexpr std::size_t TableRecord(std::size_t table) { return 2 + 2 * table; }

namespace station {
inline constexpr std::uint32_t kSize = 4;
inline constexpr WordField kNameString{"word A", 0};  // the string index of the station's name
inline constexpr WordField kOpaqueWord{"word B", 2};  // copied as it is
}  // namespace station

// The SORT, KSOR and STRI tables and the two slots of a route-station entry are words.
inline constexpr std::uint32_t kWordSize = 2;

namespace route {
inline constexpr std::uint32_t kSize = 14;
inline constexpr WordField kNameIndex{"name index", 0};
inline constexpr WordField kFirstSlot{"first slot", 2};
inline constexpr WordField kCompany{"company", 4};
inline constexpr WordField kStationCount{"station count", 6};
inline constexpr WordField kOpaqueWord{"route word", 8};   // copied as it is
inline constexpr ByteField kOpaqueByte{"route byte", 10};  // copied as it is
inline constexpr ByteField kCompanyLength{"company-name length", 11};
inline constexpr WordField kTrailer{"trailer word", 12};
}  // namespace route

inline constexpr std::uint32_t kRouteStationEntrySize = 4;  // two slots

namespace node {
inline constexpr std::uint32_t kSize = 10;
inline constexpr WordField kStation{"word A", 0};  // the station the node stands for
inline constexpr WordField kRoute{"word B", 2};    // the route the node stands for
inline constexpr WordField kMark{"mark", 4};
inline constexpr WordField kFirstEdge{"first edge", 6};
inline constexpr WordField kEdgeCount{"edge count", 8};
}  // namespace node

namespace edge {
inline constexpr std::uint32_t kSize = 4;
inline constexpr WordField kTarget{"target", 0};
inline constexpr WordField kValue{"value", 2};
inline constexpr std::uint16_t kTargetFlag = 0x8000;
}  // namespace edge

// The length of every record, in record order, that the counts make.
std::array<std::uint32_t, kRecordCount> RecordLengths(const ImageCounts& counts);
// The offset of every record from the start of the file.
std::array<std::uint32_t, kRecordCount> RecordOffsets(const ImageCounts& counts);

}  // namespace image
