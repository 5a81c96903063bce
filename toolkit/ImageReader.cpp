#include "toolkit/ImageReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "base/ByteCursor.h"
#include "network/Network.h"
#include "text/Terminal.h"
#include "toolkit/Grouping.h"
#include "toolkit/Records.h"

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

// The fields of a record that lie in its bytes in the image.
template <typename Record, std::size_t N>
void Decode(const std::uint8_t* bytes, Record& record, const records::Rule<Record> (&rules)[N]) {
  records::DecodeRecord(records::RecordFormat::kImage, bytes, record, rules);
}

// A table index as the image holds it: none is kNoIndex.
std::uint16_t Raw(const MaybeNull<std::uint16_t>& index) { return index->value_or(kNoIndex); }

std::string RecordContent(std::size_t i) {
  if (i == 0) return "image header";
  if (i >= kRecordCount) return "unexpected";
  return std::string(i % 2 == 1 ? "tag " : "table ") + kTableTags[(i - 1) / 2];
}

StopEntry Stop(std::uint16_t station, std::uint16_t companion) {
  StopEntry stop;
  stop.station = Reference{station, {}};
  stop.companion = companion;
  return stop;
}

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
  const ImageCounts& Counts() const { return reading_.counts; }

  void ReadDatabaseHeader() {
    const std::vector<std::uint8_t> bytes = source_.Read(0, database::kSize);
    const std::uint8_t* h = bytes.data();
    DatabaseEntry& d = reading_.database;
    Decode(h, d, records::kDatabase);  // its texts escaped, the name up to its first NUL

    const std::string name = Text(bytes, database::kName.offset, database::kName.width);  // the whole field
    std::string expected_name(database::kName.width, '\0');
    std::memcpy(expected_name.data(), database::kNameText, sizeof database::kNameText - 1);
    Expect(name == expected_name,
           "the database name is \"" + AsciiEscaped(name) + "\", not \"" + database::kNameText + "\" padded with NULs");
    Expect(*d.type == database::kTypeText, "the type is \"" + *d.type + "\", not \"" + database::kTypeText + "\"");
    Expect(*d.creator == database::kCreatorText,
           "the creator is \"" + *d.creator + "\", not \"" + database::kCreatorText + "\"");
    Expect(*d.creation_date == database::kDate && *d.modification_date == database::kDate,
           "the creation and modification dates are not the converter's fixed date " + Hex4(database::kDate));
    for (const WordField& field : database::kZeroWords) ExpectZero(field.name, Word(h, field));
    for (const LongField& field : database::kZeroLongs) ExpectZero(field.name, Long(h, field));
    Expect(*d.record_count == kRecordCount,
           "the header counts " + std::to_string(*d.record_count) + " records, not " + std::to_string(kRecordCount));
  }

  void ExpectZero(std::string name, std::uint32_t value) {
    std::replace(name.begin(), name.end(), '_', ' ');
    Expect(value == 0, "the " + name + " is " + std::to_string(value) + ", not 0");
  }

  void ReadRecordList() {
    const std::uint64_t count = *reading_.database.record_count;
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
      RecordEntry& record = reading_.records.emplace_back();
      record.index = i;
      record.content = RecordContent(i);
      Decode(list.data() + record_entry::kSize * i, record, records::kRecord);
      record.length.emplace();  // null until the record is found a sound place
    }
    for (std::size_t i = 0; i < entries; ++i) CheckRecord(i, data_start);
  }

  void CheckRecord(std::size_t i, std::uint64_t data_start) {
    RecordEntry& record = reading_.records[i];
    const std::uint64_t size = reading_.size;
    Expect(*record.attributes == record_entry::kDirty, "record " + std::to_string(i) + " has the attributes " +
                                                           Hex4(static_cast<std::uint32_t>(*record.attributes)) +
                                                           ", not " + Hex4(record_entry::kDirty) + " (dirty)");
    Expect(*record.unique_id == 0,
           "record " + std::to_string(i) + " has the unique ID " + std::to_string(*record.unique_id) + ", not 0");
    const std::uint64_t start = *record.offset;
    const std::uint64_t end = i + 1 < reading_.records.size() ? *reading_.records[i + 1].offset : size;
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
    if (good) record.length.emplace(std::min(end, size) - start);
  }

  // Record i's length; none when the record list gives it no sound place.
  std::optional<std::uint64_t> LengthOf(std::size_t i) const {
    return i < reading_.records.size() ? *reading_.records[i].length : std::nullopt;
  }
  // At most `most` bytes of record i; empty when the record list gives it no sound place.
  std::vector<std::uint8_t> RecordBytes(std::size_t i, std::uint64_t most) {
    if (!HasRecord(i)) return {};
    return source_.Read(*reading_.records[i].offset, std::min(Length(i), most));
  }
  bool HasRecord(std::size_t i) const { return LengthOf(i).has_value(); }
  std::uint64_t Length(std::size_t i) const { return *LengthOf(i); }

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
    ImageHeaderEntry header;
    Decode(bytes.data(), header, records::kImageHeader);  // its texts escaped
    ImageCounts& c = reading_.counts;
    for (const CountField& count : kCountFields) c.*count.count = Word(bytes.data(), count.field);
    Expect(*header.magic == image_header::kMagicText,
           "the image header's magic is \"" + *header.magic + "\", not \"" + image_header::kMagicText + "\"");
    Expect(*header.version == image_header::kVersionText, "the image header's format version is \"" + *header.version +
                                                              "\", not \"" + image_header::kVersionText +
                                                              "\", the version the converter writes");
    Expect(std::all_of(bytes.begin() + kImageHeaderZerosOffset, bytes.end(), [](std::uint8_t b) { return b == 0; }),
           "the image header's bytes behind the table sizes are not all zero");
    Expect(c.node_total == c.file_nodes + intermediate::kReserveNodes,
           "the node total " + std::to_string(c.node_total) + " is not the file nodes " + std::to_string(c.file_nodes) +
               " and " + std::to_string(intermediate::kReserveNodes) + " reserve nodes");
    Expect(c.value_entries == 0, "the value-entry count is " + std::to_string(c.value_entries) + ", not 0");
    reading_.image_header = std::move(header);
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
        const std::string length_text = std::string("the ") + kTableTags[k] + " table is " +
                                        std::to_string(Length(index)) + " bytes; the image header's counts make it " +
                                        std::to_string(lengths[index]);
        if (lengths[index] > kMostTableBytes)
          Report().Problem(length_text + ", more than a record holds: at most its first " +
                           std::to_string(kMostTableBytes) + " bytes are read");
        else
          Expect(Length(index) == lengths[index], length_text);
      }
    }
    if (reading_.records.size() > kRecordCount)
      Report().Problem("there are records beyond the " + std::to_string(kRecordCount) + " the image has");
  }

  // The bytes of table k that its count in the image header makes, or as many as it has;
  // never more than a table holds, so that no dump lists more than a file can.
  ByteCursor Table(std::size_t k) {
    const std::uint32_t length = std::min(RecordLengths(Counts())[TableRecord(k)], kMostTableBytes);
    tables_[k] = RecordBytes(TableRecord(k), length);
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
      StationEntry& s = reading_.stations.emplace_back();
      s.index = i;
      Decode(stat.Take(station::kSize), s, records::kStation);
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
      RouteEntry& entry = reading_.routes.emplace_back();
      entry.index = r;
      Decode(rose.Take(route::kSize), entry, records::kRoute);
      std::vector<StopEntry>& stops = entry.stops.emplace();
      if (r > 0 && *entry.name_index >= reading_.string_index.size())
        Report().Problem("route " + std::to_string(r) + " names string " + std::to_string(*entry.name_index) +
                         ", outside the string table");
      const std::uint64_t first = *entry.first_slot, count = *entry.station_count;
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
        for (std::uint64_t j = 0; j < count; ++j) stops.push_back(Stop(stations.BE16(), companions.BE16()));
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
    RouteStationsEntry& table = reading_.route_stations;
    table.capacity = Counts().rstat_capacity;
    table.slots = 2ull * Counts().rstat_capacity;
    table.slots_used = next_slot;
  }

  void CheckCompanies() {
    const std::vector<std::uint16_t> expected =
        CompanyNumbersOf(reading_.routes, reading_.string_index, reading_.string_pool);
    for (std::size_t r = 0; r < expected.size(); ++r) {
      const std::uint16_t stored = Raw(reading_.routes[r].company);
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
      NodeEntry& entry = reading_.nodes.emplace_back();
      entry.index = i;
      Decode(adjl.Take(node::kSize), entry, records::kNode);
      std::vector<EdgeEntry>& node_edges = entry.edges.emplace();
      const std::uint16_t mark = Raw(entry.mark), first_edge = Raw(entry.first_edge);
      // Nodes 0 and 1 and the reserve nodes behind the file's nodes are emptied.
      const char* role = i >= Counts().file_nodes ? "reserve" : i < 2 ? "special" : nullptr;
      if (role != nullptr) entry.role = role;
      if (role != nullptr && (*entry.station != 0 || *entry.route != 0 || mark != kNoIndex || first_edge != kNoIndex ||
                              *entry.edge_count != 0))
        Report().Problem("node " + std::to_string(i) + " (" + role + ") is not empty");
      Expect(mark == kNoIndex,
             "node " + std::to_string(i) + " carries the mark " + std::to_string(mark) + ", not none");
      const std::uint64_t first = first_edge, count = *entry.edge_count;
      Expect(
          count > 0 || first_edge == kNoIndex,
          "node " + std::to_string(i) + " has no edges, but its first edge is " + std::to_string(first) + ", not none");
      if (count > 0 && (first_edge == kNoIndex || first + count > edges)) {
        Report().Problem("node " + std::to_string(i) + "'s " + std::to_string(count) + " edges from edge " +
                         Number(first_edge) + " run past the " + std::to_string(edges) + " stored edges");
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
            node_edges.push_back(Edge(j, i));
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
      if (!owned[e]) reading_.unowned_edges.push_back(Edge(e, std::nullopt));
    }
  }

  // Edge `index`, which node `owner` has; one that no node owns is given with its index.
  EdgeEntry Edge(std::uint64_t index, std::optional<std::uint32_t> owner) {
    const std::uint8_t* at = tables_[kEdgeTable].data() + edge::kSize * index;
    EdgeEntry e;
    if (owner) {
      Decode(at, e, records::kEdge);
    } else {
      e.index = static_cast<std::uint32_t>(index);
      Decode(at, e, records::kUnownedEdge);
    }
    const std::uint16_t target = *e.target;
    Expect((target & edge::kTargetFlag) == 0, "edge " + std::to_string(index) + " keeps bit 15 of its target set");
    if ((target & intermediate::kEdgeTargetMask) >= Counts().node_total)
      Report().Warning("edge " + std::to_string(index) +
                       (owner ? " of node " + std::to_string(*owner) : std::string(", owned by no node,")) +
                       " leads to node " + std::to_string(target & intermediate::kEdgeTargetMask) + ", beyond the " +
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
