// fenwaimg.pdb: the database image the handheld loads. Every writer and reader
// of the image takes its layout from here. All numbers are big-endian.
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
//   STAT  stations, S entries of word A, word B
//   SORT  S SORT words                   KSOR  S KSOR words
//   ROSE  R route records of 14 bytes: name, first slot, company, station
//         count, word (16-bit each), byte, company-name length, trailer word
//   STRI  C string offsets               STRP  the P-byte string pool
//   RSTA  the route-station table, Q entries of two slots
//   ADJL  T nodes of 10 bytes: word A, word B, mark, first edge, edge count
//   FNOD  the F edges stored: target, value
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kRecordCount = 19;
inline constexpr std::size_t kTableCount = 9;

// Database header.
inline constexpr std::uint32_t kDatabaseHeaderSize = 78;
inline constexpr std::uint32_t kDatabaseNameSize = 32;
inline constexpr std::uint32_t kDatabaseAttributes = 32;
inline constexpr std::uint32_t kDatabaseVersion = 34;
inline constexpr std::uint32_t kDatabaseCreationDate = 36;
inline constexpr std::uint32_t kDatabaseModificationDate = 40;
inline constexpr std::uint32_t kDatabaseBackupDate = 44;
inline constexpr std::uint32_t kDatabaseModificationNumber = 48;
inline constexpr std::uint32_t kDatabaseAppInfoOffset = 52;
inline constexpr std::uint32_t kDatabaseSortInfoOffset = 56;
inline constexpr std::uint32_t kDatabaseType = 60;
inline constexpr std::uint32_t kDatabaseCreator = 64;
inline constexpr std::uint32_t kDatabaseUniqueIdSeed = 68;
inline constexpr std::uint32_t kDatabaseNextRecordList = 72;
inline constexpr std::uint32_t kDatabaseRecordCount = 76;

inline constexpr char kDatabaseName[] = "fenwaimg";
inline constexpr char kDatabaseTypeText[] = "Data";
inline constexpr char kDatabaseCreatorText[] = "FNWA";
inline constexpr std::uint32_t kDatabaseDate = 0x34EEA753;  // both dates, whatever the clock says

// Record list.
inline constexpr std::uint32_t kRecordEntrySize = 8;
inline constexpr std::uint32_t kRecordEntryOffset = 0;
inline constexpr std::uint32_t kRecordEntryAttributes = 4;
inline constexpr std::uint32_t kRecordEntryUniqueId = 5;
inline constexpr std::uint8_t kRecordAttributes = 0x40;  // dirty
inline constexpr std::uint32_t kRecordListFillerSize = 2;
inline constexpr std::uint32_t kFirstRecordOffset =
    kDatabaseHeaderSize + kRecordCount * kRecordEntrySize + kRecordListFillerSize;

// Image header record.
inline constexpr std::uint32_t kImageHeaderSize = 130;
inline constexpr char kImageMagic[] = "IMG0";
inline constexpr std::uint32_t kImageVersionOffset = 4;
inline constexpr std::uint32_t kImageCountsOffset = 8;
inline constexpr std::size_t kImageCountFields = 9;
inline constexpr std::uint32_t kImageCountsEnd = kImageCountsOffset + 2 * kImageCountFields;
inline constexpr char kImageVersion[] = "0.25";

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
// The record numbers of a table's tag and of the table itself.
constexpr std::size_t TagRecord(std::size_t table) { return 1 + 2 * table; }
constexpr std::size_t TableRecord(std::size_t table) { return 2 + 2 * table; }

inline constexpr std::uint32_t kStationEntrySize = 4;
inline constexpr std::uint32_t kRouteRecordBytes = 14;
inline constexpr std::uint32_t kRouteName = 0;
inline constexpr std::uint32_t kRouteFirstSlot = 2;
inline constexpr std::uint32_t kRouteCompany = 4;
inline constexpr std::uint32_t kRouteStationCount = 6;
inline constexpr std::uint32_t kRouteWord = 8;
inline constexpr std::uint32_t kRouteByte = 10;
inline constexpr std::uint32_t kRouteCompanyLength = 11;
inline constexpr std::uint32_t kRouteTrailer = 12;
inline constexpr std::uint32_t kRouteStationEntryBytes = 4;  // two slots
inline constexpr std::uint32_t kNodeRecordBytes = 10;
inline constexpr std::uint32_t kNodeWordA = 0;
inline constexpr std::uint32_t kNodeWordB = 2;
inline constexpr std::uint32_t kNodeMark = 4;
inline constexpr std::uint32_t kNodeFirstEdge = 6;
inline constexpr std::uint32_t kNodeEdgeCount = 8;
inline constexpr std::uint32_t kEdgeBytes = 4;
inline constexpr std::uint16_t kEdgeTargetFlag = 0x8000;

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

// The length of every record, in record order, that the counts make.
std::array<std::uint32_t, kRecordCount> RecordLengths(const ImageCounts& counts);
// The offset of every record from the start of the file.
std::array<std::uint32_t, kRecordCount> RecordOffsets(const ImageCounts& counts);
