#include "toolkit/ImageReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "base/ByteCursor.h"
#include "network/Companies.h"
#include "text/Terminal.h"

using namespace image;

namespace {

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
  if (at >= bytes.size()) return {};
  return std::string(reinterpret_cast<const char*>(bytes.data()) + at, std::min(count, bytes.size() - at));
}

std::string Hex4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

std::string Number(std::uint16_t value) { return value == kNoIndex ? std::string("none") : std::to_string(value); }

// Runs of a table that routes or nodes have claimed, none overlapping another.
class ClaimedRuns {
 public:
  // Claims [first, end) unless it overlaps a run claimed before; true when claimed.
  bool Claim(std::uint64_t first, std::uint64_t end) {
    auto next = runs_.lower_bound(first);
    if (next != runs_.end() && next->first < end) return false;
    if (next != runs_.begin() && std::prev(next)->second > first) return false;
    runs_.emplace(first, end);
    return true;
  }

 private:
  std::map<std::uint64_t, std::uint64_t> runs_;  // first -> end
};

class Reader {
 public:
  Reader(ByteSource& source, ImageReading& reading) : source_(source), reading_(reading) {}

  void Read() {
    reading_.size = source_.Size();
    if (reading_.size < database::kSize) {
      Report().Problem("the file is " + std::to_string(reading_.size) + " bytes, shorter than the " +
                       std::to_string(database::kSize) + "-byte database header");
      return;
    }
    ReadDatabaseHeader();
    ReadRecordList();
    ReadImageHeader();
    CheckTags();
    if (!reading_.image_header) return;
    ReadStringTable();
    ReadStations();
    ReadRoutes();
    CheckCompanies();
    ReadGraph();
  }

 private:
  Findings& Report() { return reading_.findings; }
  void Expect(bool good, const std::string& text) {
    if (!good) Report().Problem(text);
  }
  const ImageCounts& Counts() const { return reading_.image_header->counts; }

  void ReadDatabaseHeader() {
    const std::vector<std::uint8_t> bytes = source_.Read(0, database::kSize);
    const std::uint8_t* h = bytes.data();
    DatabaseHeaderFields& d = reading_.database;
    d.name = Text(bytes, database::kName.offset, database::kName.width);
    d.attributes = Word(h, database::kAttributes);
    d.version = Word(h, database::kVersion);
    d.creation_date = Long(h, database::kCreationDate);
    d.modification_date = Long(h, database::kModificationDate);
    d.backup_date = Long(h, database::kBackupDate);
    d.modification_number = Long(h, database::kModificationNumber);
    d.app_info_offset = Long(h, database::kAppInfoOffset);
    d.sort_info_offset = Long(h, database::kSortInfoOffset);
    d.type = Text(bytes, database::kType.offset, database::kType.width);
    d.creator = Text(bytes, database::kCreator.offset, database::kCreator.width);
    d.unique_id_seed = Long(h, database::kUniqueIdSeed);
    d.next_record_list = Long(h, database::kNextRecordList);
    d.record_count = Word(h, database::kNumberOfRecords);

    std::string expected_name(database::kName.width, '\0');
    std::memcpy(expected_name.data(), database::kNameText, sizeof database::kNameText - 1);
    Expect(d.name == expected_name, "the database name is \"" + AsciiEscaped(d.name) + "\", not \"" +
                                        database::kNameText + "\" padded with NULs");
    Expect(d.type == database::kTypeText,
           "the type is \"" + AsciiEscaped(d.type) + "\", not \"" + database::kTypeText + "\"");
    Expect(d.creator == database::kCreatorText,
           "the creator is \"" + AsciiEscaped(d.creator) + "\", not \"" + database::kCreatorText + "\"");
    Expect(d.creation_date == database::kDate && d.modification_date == database::kDate,
           "the creation and modification dates are not the converter's fixed date " + Hex4(database::kDate));
    for (const WordField& field : database::kZeroWords) ExpectZero(field.name, Word(h, field));
    for (const LongField& field : database::kZeroLongs) ExpectZero(field.name, Long(h, field));
    Expect(d.record_count == kRecordCount,
           "the header counts " + std::to_string(d.record_count) + " records, not " + std::to_string(kRecordCount));
  }

  void ExpectZero(std::string name, std::uint32_t value) {
    std::replace(name.begin(), name.end(), '_', ' ');
    Expect(value == 0, "the " + name + " is " + std::to_string(value) + ", not 0");
  }

  void ReadRecordList() {
    const std::uint16_t count = reading_.database.record_count;
    const std::uint64_t list_end = record_entry::kListOffset + std::uint64_t{record_entry::kSize} * count;
    std::size_t entries = count;
    if (reading_.size < list_end) {
      entries = (reading_.size - record_entry::kListOffset) / record_entry::kSize;
      Report().Problem("the record list of " + std::to_string(count) + " entries runs past the end of the file; " +
                       std::to_string(entries) + " entries are there");
    }
    const std::vector<std::uint8_t> list =
        source_.Read(record_entry::kListOffset, std::uint64_t{record_entry::kSize} * entries);
    const std::vector<std::uint8_t> filler = source_.Read(list_end, record_entry::kFillerSize);
    if (filler.size() == record_entry::kFillerSize)
      Expect(filler[0] == 0 && filler[1] == 0, "the two bytes behind the record list are not zero");
    const std::uint64_t data_start = list_end + record_entry::kFillerSize;
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* entry = list.data() + record_entry::kSize * i;
      ImageRecordInfo& record = reading_.records.emplace_back();
      record.offset = Long(entry, record_entry::kOffset);
      record.attributes = Byte(entry, record_entry::kAttributes);
      record.unique_id = Long24(entry, record_entry::kUniqueId);
    }
    for (std::size_t i = 0; i < entries; ++i) CheckRecord(i, data_start);
  }

  void CheckRecord(std::size_t i, std::uint64_t data_start) {
    ImageRecordInfo& record = reading_.records[i];
    const std::uint64_t size = reading_.size;
    Expect(record.attributes == record_entry::kDirty, "record " + std::to_string(i) + " has the attributes " +
                                                          Hex4(record.attributes) + ", not " +
                                                          Hex4(record_entry::kDirty) + " (dirty)");
    Expect(record.unique_id == 0,
           "record " + std::to_string(i) + " has the unique ID " + std::to_string(record.unique_id) + ", not 0");
    const std::uint64_t start = record.offset;
    const std::uint64_t end = i + 1 < reading_.records.size() ? std::uint64_t{reading_.records[i + 1].offset} : size;
    bool good = true;
    if (start < data_start && start <= size) {
      Report().Problem("record " + std::to_string(i) + " starts at " + std::to_string(start) +
                       ", inside the header and record list (records start at " + std::to_string(data_start) + ")");
      good = false;
    }
    if (start > size) {
      Report().Problem("record " + std::to_string(i) + " starts at " + std::to_string(start) +
                       ", past the end of the " + std::to_string(size) + "-byte file");
      good = false;
    } else if (end < start) {
      Report().Problem("record " + std::to_string(i + 1) + " starts at " + std::to_string(end) + ", before record " +
                       std::to_string(i) + " at " + std::to_string(start) + ": the offsets are not ascending");
      good = false;
    }
    if (good) record.length = std::min(end, size) - start;
  }

  // At most `most` bytes of record i; empty when the record list gives it no sound place.
  std::vector<std::uint8_t> RecordBytes(std::size_t i, std::uint64_t most) {
    if (i >= reading_.records.size() || !reading_.records[i].length) return {};
    return source_.Read(reading_.records[i].offset, std::min(*reading_.records[i].length, most));
  }
  bool HasRecord(std::size_t i) const { return i < reading_.records.size() && reading_.records[i].length; }
  std::uint64_t Length(std::size_t i) const { return *reading_.records[i].length; }

  void ReadImageHeader() {
    if (!HasRecord(0)) {
      Report().Problem("there is no readable image header record (record 0)");
      return;
    }
    Expect(Length(0) == image_header::kSize, "the image header record is " + std::to_string(Length(0)) +
                                                 " bytes, not " + std::to_string(image_header::kSize));
    const std::vector<std::uint8_t> bytes = RecordBytes(0, image_header::kSize);
    if (bytes.size() < kImageHeaderZerosOffset) {
      Report().Problem("the image header record is too short to hold the table sizes");
      return;
    }
    ImageHeaderFields fields;
    fields.magic = Text(bytes, image_header::kMagic.offset, image_header::kMagic.width);
    fields.version = Text(bytes, image_header::kVersion.offset, image_header::kVersion.width);
    for (const CountField& count : kCountFields) fields.counts.*count.count = Word(bytes.data(), count.field);
    Expect(fields.magic == image_header::kMagicText, "the image header's magic is \"" + AsciiEscaped(fields.magic) +
                                                         "\", not \"" + image_header::kMagicText + "\"");
    Expect(fields.version == image_header::kVersionText,
           "the image header's format version is \"" + AsciiEscaped(fields.version) + "\", not \"" +
               image_header::kVersionText + "\", the version the converter writes");
    Expect(std::all_of(bytes.begin() + kImageHeaderZerosOffset, bytes.end(), [](std::uint8_t b) { return b == 0; }),
           "the image header's bytes behind the table sizes are not all zero");
    const ImageCounts& c = fields.counts;
    Expect(c.node_total == c.file_nodes + intermediate::kReserveNodes,
           "the node total " + std::to_string(c.node_total) + " is not the file nodes " + std::to_string(c.file_nodes) +
               " and " + std::to_string(intermediate::kReserveNodes) + " reserve nodes");
    Expect(c.value_entries == 0, "the value-entry count is " + std::to_string(c.value_entries) + ", not 0");
    reading_.image_header = fields;
  }

  void CheckTags() {
    for (std::size_t k = 0; k < kTableCount; ++k) {
      const std::size_t index = TagRecord(k);
      if (!HasRecord(index)) {
        Report().Problem("the tag record " + std::to_string(index) + " (\"" + kTableTags[k] + "\") is missing");
        continue;
      }
      const std::vector<std::uint8_t> head = RecordBytes(index, 2 * kTagSize);
      Expect(Length(index) == kTagSize && Text(head, 0, kTagSize) == kTableTags[k],
             "record " + std::to_string(index) + " is \"" + AsciiEscaped(Text(head, 0, head.size())) +
                 "\", not the tag \"" + kTableTags[k] + "\"");
    }
    if (reading_.image_header) {
      const auto lengths = RecordLengths(Counts());
      for (std::size_t k = 0; k < kTableCount; ++k) {
        const std::size_t index = TableRecord(k);
        if (!HasRecord(index)) {
          Report().Problem(std::string("the ") + kTableTags[k] + " table (record " + std::to_string(index) +
                           ") is missing");
          continue;
        }
        Expect(Length(index) == lengths[index],
               std::string("the ") + kTableTags[k] + " table is " + std::to_string(Length(index)) +
                   " bytes; the image header's counts make it " + std::to_string(lengths[index]));
      }
    }
    if (reading_.records.size() > kRecordCount)
      Report().Problem("there are records beyond the " + std::to_string(kRecordCount) + " the image has");
  }

  // The bytes of table k that its count in the image header makes, or as many as it has.
  ByteCursor Table(std::size_t k) {
    tables_[k] = RecordBytes(TableRecord(k), RecordLengths(Counts())[TableRecord(k)]);
    return ByteCursor(tables_[k]);
  }

  void ReadStringTable() {
    ByteCursor index = Table(kStringIndexTable);
    for (std::uint32_t i = 0; i < Counts().strings && index.Has(kWordSize); ++i)
      reading_.string_index.push_back(index.BE16());
    Table(kStringPoolTable);
    reading_.string_pool.assign(tables_[kStringPoolTable].begin(), tables_[kStringPoolTable].end());
  }

  void ReadStations() {
    ByteCursor stat = Table(kStationTable), sort = Table(kSortTable), kana_sort = Table(kKanaSortTable);
    for (std::uint32_t i = 0; i < Counts().stations && stat.Has(station::kSize); ++i) {
      const std::uint8_t* entry = stat.Take(station::kSize);
      ImageStation& s = reading_.stations.emplace_back();
      s.name_string = Word(entry, station::kNameString);
      s.opaque_word = Word(entry, station::kOpaqueWord);
      if (sort.Has(kWordSize)) s.sort = sort.BE16();
      if (kana_sort.Has(kWordSize)) s.kana_sort = kana_sort.BE16();
    }
  }

  void ReadRoutes() {
    ByteCursor rose = Table(kRouteTable);
    const ByteCursor rsta = Table(kRouteStationTable);
    const std::uint64_t slots = rsta.Size() / kWordSize;
    std::uint64_t next_slot = 0;
    ClaimedRuns claimed;
    std::vector<std::size_t> overlapping;
    for (std::uint32_t r = 0; r < Counts().routes && rose.Has(route::kSize); ++r) {
      const std::uint8_t* at = rose.Take(route::kSize);
      ImageRoute& entry = reading_.routes.emplace_back();
      Route& record = entry.record;
      record.name = Word(at, route::kNameIndex);
      record.first_slot = Word(at, route::kFirstSlot);
      record.company = Word(at, route::kCompany);
      record.station_count = Word(at, route::kStationCount);
      record.opaque_word = Word(at, route::kOpaqueWord);
      record.opaque_byte = Byte(at, route::kOpaqueByte);
      record.company_length = Byte(at, route::kCompanyLength);
      record.trailer = Word(at, route::kTrailer);
      if (r > 0 && record.name >= reading_.string_index.size())
        Report().Problem("route " + std::to_string(r) + " names string " + std::to_string(record.name) +
                         ", outside the string table");
      const std::uint64_t first = record.first_slot, count = record.station_count;
      if (first + 2 * count > slots) {
        Report().Problem("route " + std::to_string(r) + "'s " + std::to_string(count) + " stops from slot " +
                         std::to_string(first) + " run past the route-station table's " + std::to_string(slots) +
                         " slots");
      } else if (count > 0 && !claimed.Claim(first, first + 2 * count)) {
        overlapping.push_back(r);  // its block is shown with the route that claimed it first
      } else {
        ByteCursor stations(tables_[kRouteStationTable]), companions(tables_[kRouteStationTable]);
        stations.Seek(kWordSize * first);
        companions.Seek(kWordSize * (first + count));
        for (std::uint64_t j = 0; j < count; ++j) entry.stops.push_back({stations.BE16(), companions.BE16()});
      }
      Expect(first == (next_slot & 0xFFFF), "route " + std::to_string(r) + " starts at slot " + std::to_string(first) +
                                                ", not " + std::to_string(next_slot) +
                                                " behind the blocks of the routes before it");
      next_slot += 2 * count;
    }
    if (!overlapping.empty())
      Report().Problem(std::to_string(overlapping.size()) + " routes (the first route " +
                       std::to_string(overlapping.front()) +
                       ") claim route-station slots that routes before them have: their stops are not shown");
    ByteCursor rest(tables_[kRouteStationTable]);
    for (rest.Seek(kWordSize * next_slot); rest.Has(kWordSize);) {
      if (rest.BE16() != 0) {
        Report().Problem("route-station slot " + std::to_string(rest.Offset() / kWordSize - 1) +
                         " behind the last route's block is not zero");
        break;
      }
    }
    reading_.slots_used = next_slot;
  }

  void CheckCompanies() {
    Network network;
    for (const ImageRoute& entry : reading_.routes) network.routes.push_back(entry.record);
    network.string_index = reading_.string_index;
    network.string_pool.assign(reading_.string_pool.begin(), reading_.string_pool.end());
    const std::vector<std::uint16_t> expected = CompanyNumbers(network);
    for (std::size_t r = 0; r < expected.size(); ++r) {
      const std::uint16_t stored = reading_.routes[r].record.company;
      if (stored != expected[r])
        Report().Problem("route " + std::to_string(r) + " has company " + Number(stored) + "; its name makes it " +
                         Number(expected[r]));
    }
  }

  void ReadGraph() {
    ByteCursor adjl = Table(kNodeTable);
    Table(kEdgeTable);
    const auto edges =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(Counts().edges, tables_[kEdgeTable].size() / edge::kSize));
    reading_.edge_count = edges;
    std::vector<bool> owned(edges, false);
    ClaimedRuns claimed;
    std::optional<std::uint32_t> run_end;  // where the edges of the last node that had some end
    std::vector<std::uint32_t> overlapping;
    for (std::uint32_t i = 0; i < Counts().node_total && adjl.Has(node::kSize); ++i) {
      const std::uint8_t* at = adjl.Take(node::kSize);
      ImageNode& entry = reading_.nodes.emplace_back();
      Node& n = entry.record;
      n.station = Word(at, node::kStation);
      n.route = Word(at, node::kRoute);
      n.mark = Word(at, node::kMark);
      n.first_edge = Word(at, node::kFirstEdge);
      n.edge_count = Word(at, node::kEdgeCount);
      // Nodes 0 and 1 and the reserve nodes behind the file's nodes are emptied.
      entry.role = i >= Counts().file_nodes ? "reserve" : i < 2 ? "special" : nullptr;
      if (entry.role != nullptr &&
          (n.station != 0 || n.route != 0 || n.mark != kNoIndex || n.first_edge != kNoIndex || n.edge_count != 0))
        Report().Problem("node " + std::to_string(i) + " (" + entry.role + ") is not empty");
      Expect(n.mark == kNoIndex,
             "node " + std::to_string(i) + " carries the mark " + std::to_string(n.mark) + ", not none");
      const std::uint64_t first = n.first_edge, count = n.edge_count;
      Expect(
          count > 0 || n.first_edge == kNoIndex,
          "node " + std::to_string(i) + " has no edges, but its first edge is " + std::to_string(first) + ", not none");
      if (count > 0 && (n.first_edge == kNoIndex || first + count > edges)) {
        Report().Problem("node " + std::to_string(i) + "'s " + std::to_string(count) + " edges from edge " +
                         Number(n.first_edge) + " run past the " + std::to_string(edges) + " stored edges");
      } else if (count > 0) {
        // Each node's edges follow those of the node before it that had some.
        Expect(!run_end || first == *run_end,
               "node " + std::to_string(i) + "'s edges start at edge " + std::to_string(first) + ", not at edge " +
                   std::to_string(run_end.value_or(0)) + " behind those of the nodes before it");
        run_end = static_cast<std::uint32_t>(first + count);
        if (!claimed.Claim(first, first + count)) {
          overlapping.push_back(i);  // shown with the node that claimed them first
        } else {
          for (std::uint64_t j = first; j < first + count; ++j) {
            owned[j] = true;
            entry.edges.push_back(Edge(j, i));
          }
        }
      }
    }
    if (!overlapping.empty())
      Report().Problem(std::to_string(overlapping.size()) + " nodes (the first node " +
                       std::to_string(overlapping.front()) +
                       ") claim edges that nodes before them have: their edges are not shown");
    if (run_end && *run_end < edges)
      Report().Problem("edges " + std::to_string(*run_end) + " to " + std::to_string(edges - 1) +
                       " behind the last node's edges are owned by no node");
    // The edges nodes 0 and 1 had stay in the table when the nodes are emptied.
    for (std::uint32_t e = 0; e < edges; ++e) {
      if (!owned[e]) reading_.unowned_edges.push_back({e, Edge(e, std::nullopt)});
    }
  }

  // Edge `index`, which node `owner` (if any) has.
  EdgeDescription Edge(std::uint64_t index, std::optional<std::uint32_t> owner) {
    const std::uint8_t* at = tables_[kEdgeTable].data() + edge::kSize * index;
    const EdgeDescription e{Word(at, edge::kTarget), Word(at, edge::kValue)};
    Expect((e.target & edge::kTargetFlag) == 0, "edge " + std::to_string(index) + " keeps bit 15 of its target set");
    if ((e.target & intermediate::kEdgeTargetMask) >= Counts().node_total)
      Report().Warning("edge " + std::to_string(index) +
                       (owner ? " of node " + std::to_string(*owner) : std::string(", owned by no node,")) +
                       " leads to node " + std::to_string(e.target & intermediate::kEdgeTargetMask) + ", beyond the " +
                       std::to_string(Counts().node_total) + " nodes");
    return e;
  }

  ByteSource& source_;
  ImageReading& reading_;
  std::vector<std::uint8_t> tables_[kTableCount];
};

}  // namespace

bool LooksLikeImage(const std::vector<std::uint8_t>& bytes) {
  const std::string name = Text(bytes, database::kName.offset, sizeof database::kNameText - 1);
  const std::string identity = Text(bytes, database::kType.offset, database::kType.width + database::kCreator.width);
  return name == database::kNameText || identity == std::string(database::kTypeText) + database::kCreatorText;
}

ImageReading ReadImage(ByteSource& source) {
  ImageReading reading;
  Reader(source, reading).Read();
  return reading;
}
