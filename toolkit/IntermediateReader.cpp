#include "toolkit/IntermediateReader.h"

#include <algorithm>
#include <string>

#include "base/ByteCursor.h"
#include "toolkit/Records.h"

using namespace intermediate;

namespace {

// The fields of a record that lie in its bytes in the file.
template <typename Record, std::size_t N>
void Decode(const std::uint8_t* bytes, Record& record, const records::Rule<Record> (&rules)[N]) {
  records::DecodeRecord(records::RecordFormat::kIntermediate, bytes, record, rules);
}

// One section of the file: the bytes of its window that the file holds.
class Section {
 public:
  Section(ByteSource& source, const FileWindow& window, Findings& findings)
      : bytes_(window.offset < source.Size() ? source.Read(window.offset, window.length) : std::vector<std::uint8_t>()),
        cursor_(bytes_, window.offset),
        window_end_(window.offset + window.length),
        file_size_(source.Size()),
        findings_(findings) {}

  // The next `count` bytes, for `what`; nullptr (and a problem) when the file
  // ends first or they lie beyond what the converter reads.
  const std::uint8_t* Take(std::uint64_t count, const std::string& what) {
    const std::uint64_t at = cursor_.Offset();
    const std::uint8_t* bytes = cursor_.Take(count);
    if (bytes != nullptr) return bytes;
    if (at + count > window_end_ && window_end_ < file_size_) {
      findings_.Problem(what + " (at offset " + std::to_string(at) +
                        ") lies beyond what the converter reads of its section: the header's counts and capacities "
                        "make that end at offset " +
                        std::to_string(window_end_));
    } else {
      findings_.Problem("the file ends inside " + what + " (at offset " + std::to_string(at) + ")");
    }
    return nullptr;
  }
  std::uint64_t Offset() const { return cursor_.Offset(); }

 private:
  std::vector<std::uint8_t> bytes_;
  ByteCursor cursor_;
  std::uint64_t window_end_;
  std::uint64_t file_size_;
  Findings& findings_;
};

class Reader {
 public:
  Reader(ByteSource& source, IntermediateReading& reading) : source_(source), reading_(reading) {}

  void Read() {
    reading_.size = source_.Size();
    const std::vector<std::uint8_t> header = source_.Read(0, header::kSize);
    if (header.size() < header::kSize) {
      reading_.findings.Problem("the file is " + std::to_string(reading_.size) + " bytes, shorter than the " +
                                std::to_string(header::kSize) + "-byte header");
      return;
    }
    ReadHeader(header.data());
    const SectionWindows windows = WindowsOf(reading_.fields);
    std::uint64_t end = header::kSize;
    bool whole = ReadNodes(windows.nodes, end);
    whole = ReadBase(windows.base, end) && whole;
    whole = ReadTrailer(windows.trailer, end) && whole;
    if (whole && end < reading_.size)
      reading_.findings.Warning("the " + std::to_string(reading_.size - end) +
                                " bytes behind the last section (from offset " + std::to_string(end) +
                                ") are not read by the converter");
  }

 private:
  Findings& Report() { return reading_.findings; }
  std::uint64_t StoredEdges() const { return static_cast<std::uint64_t>(StoredEdgeLimit(reading_.fields)); }
  // The route-station entries the converter fills at the most.
  std::uint64_t FilledEntries() const {
    return static_cast<std::uint64_t>(std::clamp(EffectiveRStatCapacity(reading_.fields), 0, kMaxRStatCapacity));
  }
  // The route-station table as a problem names it.
  std::string TableText() const {
    const std::int32_t capacity = EffectiveRStatCapacity(reading_.fields);
    if (capacity <= kMaxRStatCapacity)
      return "the " + std::to_string(FilledEntries()) + " entries of the route-station table";
    return "the " + std::to_string(kMaxRStatCapacity) + " entries a route-station table holds (the converter refuses " +
           std::to_string(capacity) + ")";
  }

  void ReadHeader(const std::uint8_t* bytes) {
    const FileHeader fields = DecodeHeader(bytes);
    reading_.fields = fields;
    HeaderEntry& h = reading_.header;
    Decode(bytes, h, records::kHeader);
    h.effective_rstat_capacity = std::max(EffectiveRStatCapacity(fields), 0);
    h.effective_edge_capacity = EffectiveEdgeCapacity(fields);
    for (auto [what, count] :
         {std::pair{"station count", fields.station_count}, std::pair{"route count", fields.route_count},
          std::pair{"string count", fields.string_count}}) {
      if (count < 0)
        Report().Problem(std::string("the header's ") + what + " " + std::to_string(count) + " is negative");
    }
    for (auto [what, offset] : {std::pair{"base", fields.base_offset}, std::pair{"trailer", fields.trailer_offset}}) {
      if (offset > kMaxSectionOffset)
        Report().Problem(std::string("the ") + what + " offset " + std::to_string(offset) + " is 2^31 or more");
    }
  }

  // Each node and its edges; true when the section was read whole.
  bool ReadNodes(const FileWindow& window, std::uint64_t& end) {
    Section section(source_, window, Report());
    for (std::uint32_t i = 0; i < reading_.fields.node_count; ++i) {
      const std::uint8_t* record = section.Take(node::kSize, "node " + std::to_string(i));
      if (record == nullptr) return false;
      NodeEntry& entry = reading_.nodes.emplace_back();
      entry.index = i;
      Decode(record, entry, records::kNode);
      std::vector<EdgeEntry>& edges = entry.edges.emplace();
      for (std::uint32_t j = 0; j < *entry.edge_count; ++j) {
        if (reading_.edge_total + j > StoredEdges()) {
          Report().Problem("edge " + std::to_string(j) + " of node " + std::to_string(i) + " comes after the " +
                           std::to_string(StoredEdges()) +
                           " edges the converter stores and the one it refuses: no further is read");
          return false;
        }
        const std::uint8_t* at =
            section.Take(edge::kSize, "edge " + std::to_string(j) + " of node " + std::to_string(i));
        if (at == nullptr) return false;
        Decode(at, edges.emplace_back(), records::kEdge);
      }
      reading_.edge_total += *entry.edge_count;
    }
    reading_.node_section_end = section.Offset();
    end = std::max(end, section.Offset());
    return true;
  }

  bool ReadStations(Section& section) {
    const auto count = static_cast<std::size_t>(std::max(reading_.fields.station_count, 0));
    std::vector<StationEntry>& stations = reading_.stations;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* record = section.Take(station::kSize, "station " + std::to_string(i));
      if (record == nullptr) return false;
      StationEntry& entry = stations.emplace_back();
      entry.index = i;
      Decode(record, entry, records::kStation);
    }
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* record = section.Take(sort::kSize, "the sort record of station " + std::to_string(i));
      if (record == nullptr) return false;
      stations[i].sort = Word(record, sort::kSort);
      stations[i].kana_sort = Word(record, sort::kKanaSort);
    }
    return true;
  }

  // Each route and its stops, as long as they fit the route-station table.
  bool ReadRoutes(Section& section) {
    const auto count = static_cast<std::size_t>(std::max(reading_.fields.route_count, 0));
    const std::uint64_t capacity = FilledEntries();
    std::uint64_t stops_before = 0;
    for (std::size_t r = 0; r < count; ++r) {
      const std::uint8_t* record = section.Take(route::kSize, "route " + std::to_string(r));
      if (record == nullptr) return false;
      RouteEntry& entry = reading_.routes.emplace_back();
      entry.index = r;
      Decode(record, entry, records::kRoute);
      std::vector<StopEntry>& stops = entry.stops.emplace();
      if (stops_before + *entry.station_count > capacity) {
        Report().Problem("route " + std::to_string(r) + "'s block (" + std::to_string(*entry.station_count) +
                         " stops from entry " + std::to_string(stops_before) + ") does not fit " + TableText() +
                         ": no further is read");
        return false;
      }
      stops_before += *entry.station_count;
      for (std::uint32_t j = 0; j < *entry.station_count; ++j) {
        const std::uint8_t* at =
            section.Take(stop::kSize, "stop " + std::to_string(j) + " of route " + std::to_string(r));
        if (at == nullptr) return false;
        Decode(at, stops.emplace_back(), records::kStop);
      }
    }
    return true;
  }

  bool ReadStrings(Section& section) {
    const auto count = static_cast<std::size_t>(std::max(reading_.fields.string_count, 0));
    std::vector<std::uint16_t> index;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* entry =
          section.Take(kStringIndexEntrySize, "the string index (entry " + std::to_string(i) + ")");
      if (entry == nullptr) return false;
      index.push_back(ReadLE16(entry));
    }
    const std::uint8_t* pool = section.Take(reading_.fields.pool_size, "the string pool");
    if (pool == nullptr) return false;
    reading_.string_index = std::move(index);
    reading_.string_pool = std::string(reinterpret_cast<const char*>(pool), reading_.fields.pool_size);
    return true;
  }

  bool ReadBase(const FileWindow& window, std::uint64_t& end) {
    Section section(source_, window, Report());
    const bool whole = ReadStations(section) && ReadRoutes(section) && ReadStrings(section);
    if (whole && section.Offset() > window.offset) end = std::max(end, section.Offset());
    return whole;
  }

  bool ReadTrailer(const FileWindow& window, std::uint64_t& end) {
    Section section(source_, window, Report());
    const auto count = static_cast<std::size_t>(std::max(reading_.fields.route_count, 0));
    for (std::size_t r = 0; r < count; ++r) {
      const std::uint8_t* word = section.Take(kTrailerWordSize, "the trailer word of route " + std::to_string(r));
      if (word == nullptr) return false;
      if (r < reading_.routes.size()) reading_.routes[r].trailer = ReadLE16(word);
    }
    if (section.Offset() > window.offset) end = std::max(end, section.Offset());
    return true;
  }

  ByteSource& source_;
  IntermediateReading& reading_;
};

}  // namespace

IntermediateReading ReadIntermediate(ByteSource& source) {
  IntermediateReading reading;
  Reader(source, reading).Read();
  return reading;
}
