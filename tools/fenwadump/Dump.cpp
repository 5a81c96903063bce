#include "tools/fenwadump/Dump.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "network/IntermediateFormat.h"
#include "pdb/Container.h"
#include "text/ShiftJis.h"

namespace {

constexpr std::uint16_t kNone = 0xFFFF;
constexpr std::uint32_t kDatabaseDate = 0x34EEA753;
constexpr std::size_t kNameFieldSize = 32;
constexpr std::size_t kImageCountsOffset = 8;
constexpr std::size_t kImageCountsEnd = 26;
constexpr std::uint32_t kRouteRecordBytes = 14;  // in the image
constexpr std::uint32_t kNodeRecordBytes = 10;   // in the image
constexpr std::uint16_t kEdgeFlag = 0x8000;
constexpr const char* kTags[] = {"STAT", "SORT", "KSOR", "ROSE", "STRI", "STRP", "RSTA", "ADJL", "FNOD"};

// A bounds-checked window on bytes. Every read names its offset; callers ask
// Has() first, and reads outside the window give 0 rather than touching memory.
class View {
 public:
  View() = default;
  View(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Size() const { return size_; }
  bool Has(std::uint64_t offset, std::uint64_t count) const { return offset <= size_ && count <= size_ - offset; }
  std::uint8_t U8(std::uint64_t offset) const { return Has(offset, 1) ? data_[offset] : 0; }
  std::uint16_t LE16(std::uint64_t offset) const {
    return Has(offset, 2) ? static_cast<std::uint16_t>(data_[offset] | data_[offset + 1] << 8) : 0;
  }
  std::uint32_t LE32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(LE16(offset)) | static_cast<std::uint32_t>(LE16(offset + 2)) << 16;
  }
  std::uint16_t BE16(std::uint64_t offset) const {
    return Has(offset, 2) ? static_cast<std::uint16_t>(data_[offset] << 8 | data_[offset + 1]) : 0;
  }
  std::uint32_t BE32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(BE16(offset)) << 16 | BE16(offset + 2);
  }
  std::string Bytes(std::uint64_t offset, std::uint64_t count) const {
    if (!Has(offset, count)) return {};
    return std::string(reinterpret_cast<const char*>(data_ + offset), static_cast<std::size_t>(count));
  }
  View Sub(std::uint64_t offset, std::uint64_t count) const {
    return Has(offset, count) ? View(data_ + offset, static_cast<std::size_t>(count)) : View();
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

std::string Hex(const std::string& bytes) { return HexBytes(bytes); }

std::string Hex4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

// Printable ASCII as it is, other bytes as \xNN: for tags, names and identities.
std::string Ascii(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

// Shift_JIS bytes as JSON: the text, and the raw bytes when some do not decode.
void AddText(OrderedJson& object, const char* key, const std::string& bytes) {
  const DecodedText decoded = ShiftJisToUtf8(bytes);
  object[key] = decoded.utf8;
  if (!decoded.complete) object[std::string(key) + "_bytes"] = Hex(bytes);
}

// The string table of either file: an index of offsets into a pool.
class Strings {
 public:
  Strings(std::vector<std::uint16_t> index, std::string pool) : index_(std::move(index)), pool_(std::move(pool)) {}
  std::size_t Count() const { return index_.size(); }
  std::size_t PoolSize() const { return pool_.size(); }
  std::uint16_t Offset(std::size_t i) const { return index_[i]; }
  bool Valid(std::size_t i) const { return i < index_.size() && index_[i] < pool_.size(); }
  bool Terminated(std::size_t i) const { return Valid(i) && pool_.find('\0', index_[i]) != std::string::npos; }
  // String i's bytes up to its NUL or the end of the pool; empty when outside.
  std::string At(std::size_t i) const {
    if (!Valid(i)) return {};
    const std::size_t end = pool_.find('\0', index_[i]);
    return pool_.substr(index_[i], end == std::string::npos ? std::string::npos : end - index_[i]);
  }

  OrderedJson ToJson(std::vector<std::string>& warnings) const {
    OrderedJson list = OrderedJson::array();
    for (std::size_t i = 0; i < index_.size(); ++i) {
      OrderedJson entry;
      entry["index"] = i;
      entry["offset"] = index_[i];
      if (!Valid(i)) {
        entry["text"] = nullptr;
        warnings.push_back("string " + std::to_string(i) + " starts at offset " + std::to_string(index_[i]) +
                           ", outside the " + std::to_string(pool_.size()) + "-byte pool");
      } else {
        AddText(entry, "text", At(i));
        if (!Terminated(i)) {
          entry["terminated"] = false;
          warnings.push_back("string " + std::to_string(i) + " runs to the end of the pool without a NUL");
        }
      }
      list.push_back(entry);
    }
    return list;
  }

 private:
  std::vector<std::uint16_t> index_;
  std::string pool_;
};

// The company a route's name begins with: its length in bytes and the bytes
// of the name up to that length (fewer when the name ends sooner).
std::string CompanyPrefix(const Strings& strings, std::uint16_t name_index, std::uint8_t length) {
  return strings.At(name_index).substr(0, length);
}

// Company numbers as grouping gives them: routes 1 onwards in order of first
// appearance of (length, prefix bytes); routes without a company last.
std::vector<std::uint16_t> GroupCompanies(const std::vector<std::pair<std::uint16_t, std::uint8_t>>& routes,
                                          const Strings& strings) {
  std::vector<std::uint16_t> numbers(routes.size(), kNone);
  std::vector<std::pair<std::uint8_t, std::string>> seen;
  bool unnamed = false;
  for (std::size_t r = 1; r < routes.size(); ++r) {
    const auto [name, length] = routes[r];
    if (length == 0) {
      unnamed = true;
      continue;
    }
    const std::pair<std::uint8_t, std::string> key{length, CompanyPrefix(strings, name, length)};
    auto found = std::find(seen.begin(), seen.end(), key);
    if (found == seen.end()) found = seen.insert(seen.end(), key);
    numbers[r] = static_cast<std::uint16_t>(found - seen.begin());
  }
  if (unnamed) {
    for (std::size_t r = 1; r < routes.size(); ++r) {
      if (routes[r].second == 0) numbers[r] = static_cast<std::uint16_t>(seen.size());
    }
  }
  return numbers;
}

class Reporter {
 public:
  explicit Reporter(Dump& dump) : dump_(dump) {}
  void Problem(const std::string& text) { dump_.problems.push_back(text); }
  void Warning(const std::string& text) { dump_.warnings.push_back(text); }
  std::vector<std::string>& Warnings() { return dump_.warnings; }

 private:
  Dump& dump_;
};

// ---------------------------------------------------------------------------
// The intermediate data file.

class IntermediateReader {
 public:
  IntermediateReader(View file, Dump& dump) : file_(file), dump_(dump), report_(dump) {}

  void Read() {
    OrderedJson& doc = dump_.document;
    doc["kind"] = "intermediate";
    doc["size"] = file_.Size();
    if (!file_.Has(0, kHeaderSize)) {
      report_.Problem("the file is " + std::to_string(file_.Size()) + " bytes, shorter than the 64-byte header");
      return;
    }
    ReadHeaderFields();
    ReadNodes();
    ReadBase();
    ReadTrailer();
    doc["stations"] = stations_;
    doc["routes"] = routes_;
    doc["strings"] = strings_ ? strings_->ToJson(report_.Warnings()) : OrderedJson::array();
    doc["nodes"] = nodes_;
  }

 private:
  void ReadHeaderFields() {
    OrderedJson h;
    h["magic"] = Hex(file_.Bytes(0, 4));
    base_offset_ = file_.LE32(kHeaderBaseOffset);
    trailer_offset_ = file_.LE32(kHeaderTrailerOffset);
    h["base_offset"] = base_offset_;
    h["trailer_offset"] = trailer_offset_;
    h["unused_middle"] = Hex(file_.Bytes(12, 34));
    rstat_capacity_ = static_cast<std::int16_t>(file_.LE16(kHeaderRStatCapacity));
    node_count_ = file_.LE16(kHeaderNodeCount);
    station_count_ = static_cast<std::int16_t>(file_.LE16(kHeaderStationCount));
    route_count_ = static_cast<std::int16_t>(file_.LE16(kHeaderRouteCount));
    string_count_ = static_cast<std::int16_t>(file_.LE16(kHeaderStringCount));
    pool_size_ = file_.LE16(kHeaderPoolSize);
    edge_capacity_ = static_cast<std::int16_t>(file_.LE16(kHeaderEdgeCapacity));
    h["rstat_capacity"] = rstat_capacity_;
    h["node_count"] = node_count_;
    h["station_count"] = station_count_;
    h["route_count"] = route_count_;
    h["string_count"] = string_count_;
    h["pool_size"] = pool_size_;
    h["edge_capacity"] = edge_capacity_;
    h["unused_tail"] = Hex(file_.Bytes(60, 4));
    effective_rstat_ = rstat_capacity_ > 0 ? rstat_capacity_ : 2 * std::max(station_count_, 0);
    h["effective_rstat_capacity"] = effective_rstat_;
    h["effective_edge_capacity"] = edge_capacity_ > 0 ? edge_capacity_ : kDefaultEdgeCapacity;
    dump_.document["header"] = h;
    for (auto [what, count] : {std::pair{"station count", station_count_}, std::pair{"route count", route_count_},
                               std::pair{"string count", string_count_}}) {
      if (count < 0)
        report_.Problem(std::string("the header's ") + what + " " + std::to_string(count) + " is negative");
    }
    for (auto [what, offset] : {std::pair{"base", base_offset_}, std::pair{"trailer", trailer_offset_}}) {
      if (offset > kMaxSectionOffset)
        report_.Problem(std::string("the ") + what + " offset " + std::to_string(offset) + " is 2^31 or more");
    }
  }

  // Reads `count` bytes at the cursor; false (and a problem) when the file ends first.
  bool Take(std::uint64_t& cursor, std::uint64_t count, const std::string& what) {
    if (!file_.Has(cursor, count)) {
      report_.Problem("the file ends inside " + what + " (at offset " + std::to_string(cursor) + ")");
      return false;
    }
    cursor += count;
    return true;
  }

  void ReadNodes() {
    std::uint64_t at = kHeaderSize;
    std::uint64_t edge_total = 0;
    for (std::uint32_t i = 0; i < node_count_; ++i) {
      const std::uint64_t record = at;
      if (!Take(at, kNodeRecordSize, "node " + std::to_string(i))) return;
      OrderedJson node;
      node["index"] = i;
      node["word_a"] = file_.LE16(record);
      node["word_b"] = file_.LE16(record + 2);
      const std::uint16_t edges = file_.LE16(record + 4);
      node["edge_count"] = edges;
      node["edges"] = OrderedJson::array();
      for (std::uint32_t j = 0; j < edges; ++j) {
        const std::uint64_t entry = at;
        if (!Take(at, kEdgeEntrySize, "edge " + std::to_string(j) + " of node " + std::to_string(i))) {
          nodes_.push_back(node);
          return;
        }
        node["edges"].push_back({{"target", file_.LE16(entry)}, {"value", file_.LE16(entry + 2)}});
      }
      edge_total += edges;
      nodes_.push_back(node);
    }
    dump_.document["node_section_end"] = at;
    dump_.document["edge_total"] = edge_total;
  }

  void ReadBase() {
    std::uint64_t at = base_offset_;
    const std::int32_t stations = std::max(station_count_, 0);
    for (std::int32_t i = 0; i < stations; ++i) {
      const std::uint64_t record = at;
      if (!Take(at, kStationRecordSize, "station " + std::to_string(i))) return ReadStrings(std::nullopt);
      stations_.push_back({{"index", i},
                           {"word_a", file_.LE16(record)},
                           {"word_b", file_.LE16(record + 2)},
                           {"spare", file_.LE16(record + 4)}});
    }
    for (std::int32_t i = 0; i < stations; ++i) {
      const std::uint64_t record = at;
      if (!Take(at, kSortRecordSize, "the sort record of station " + std::to_string(i)))
        return ReadStrings(std::nullopt);
      stations_[static_cast<std::size_t>(i)]["sort"] = file_.LE16(record);
      stations_[static_cast<std::size_t>(i)]["kana_sort"] = file_.LE16(record + 2);
    }
    const std::int32_t routes = std::max(route_count_, 0);
    for (std::int32_t r = 0; r < routes; ++r) {
      const std::uint64_t record = at;
      if (!Take(at, kRouteRecordSize, "route " + std::to_string(r))) return ReadStrings(std::nullopt);
      OrderedJson route;
      route["index"] = r;
      route["name_index"] = file_.LE16(record);
      route["spare"] = file_.LE16(record + 2);
      const std::uint16_t stops = file_.LE16(record + 4);
      route["station_count"] = stops;
      route["word"] = file_.LE16(record + 6);
      route["byte"] = file_.U8(record + 8);
      route["company_length"] = file_.U8(record + 9);
      route["stops"] = OrderedJson::array();
      for (std::uint32_t j = 0; j < stops; ++j) {
        const std::uint64_t entry = at;
        if (!Take(at, kRouteStationEntrySize, "stop " + std::to_string(j) + " of route " + std::to_string(r))) {
          routes_.push_back(route);
          return ReadStrings(std::nullopt);
        }
        route["stops"].push_back({{"station", file_.LE16(entry)}, {"companion", file_.LE16(entry + 2)}});
      }
      routes_.push_back(route);
    }
    ReadStrings(at);
  }

  void ReadStrings(std::optional<std::uint64_t> start) {
    std::vector<std::uint16_t> index;
    std::string pool;
    if (start) {
      std::uint64_t at = *start;
      const std::int32_t count = std::max(string_count_, 0);
      bool complete = true;
      for (std::int32_t i = 0; i < count && complete; ++i) {
        const std::uint64_t entry = at;
        complete = Take(at, 2, "the string index (entry " + std::to_string(i) + ")");
        if (complete) index.push_back(file_.LE16(entry));
      }
      if (complete && Take(at, pool_size_, "the string pool")) pool = file_.Bytes(at - pool_size_, pool_size_);
    }
    strings_.emplace(index, pool);
    NameRoutes();
  }

  void NameRoutes() {
    for (OrderedJson& route : routes_) {
      const auto name = route["name_index"].get<std::uint16_t>();
      const auto length = route["company_length"].get<std::uint8_t>();
      if (strings_->Valid(name)) {
        AddText(route, "name", strings_->At(name));
        if (length > 0) AddText(route, "company_name", CompanyPrefix(*strings_, name, length));
      } else {
        route["name"] = nullptr;
        if (route["index"] != 0)
          report_.Warning("route " + route["index"].dump() + " names string " + std::to_string(name) +
                          ", which the string table does not hold; the converter refuses that");
      }
    }
  }

  void ReadTrailer() {
    std::uint64_t at = trailer_offset_;
    for (std::size_t r = 0; r < static_cast<std::size_t>(std::max(route_count_, 0)); ++r) {
      const std::uint64_t word = at;
      if (!Take(at, 2, "the trailer word of route " + std::to_string(r))) return;
      if (r < routes_.size()) routes_[r]["trailer"] = file_.LE16(word);
    }
  }

  View file_;
  Dump& dump_;
  Reporter report_;
  std::uint32_t base_offset_ = 0, trailer_offset_ = 0;
  std::int32_t rstat_capacity_ = 0, station_count_ = 0, route_count_ = 0, string_count_ = 0, edge_capacity_ = 0;
  std::int32_t effective_rstat_ = 0;
  std::uint16_t node_count_ = 0, pool_size_ = 0;
  OrderedJson stations_ = OrderedJson::array();
  OrderedJson routes_ = OrderedJson::array();
  OrderedJson nodes_ = OrderedJson::array();
  std::optional<Strings> strings_;
};

// ---------------------------------------------------------------------------
// The database.

class DatabaseReader {
 public:
  DatabaseReader(View file, Dump& dump) : file_(file), dump_(dump), report_(dump) {}

  void Read() {
    OrderedJson& doc = dump_.document;
    doc["kind"] = "database";
    doc["size"] = file_.Size();
    if (!file_.Has(0, kDatabaseHeaderSize)) {
      report_.Problem("the file is " + std::to_string(file_.Size()) +
                      " bytes, shorter than the 78-byte database header");
      return;
    }
    ReadDatabaseHeader();
    ReadRecordList();
    ReadImageHeader();
    CheckTags();
    if (!counts_) return;
    ReadStations();
    ReadStringTable();
    ReadRoutes();
    ReadGraph();
  }

 private:
  void Expect(bool good, const std::string& text) {
    if (!good) report_.Problem(text);
  }

  void ReadDatabaseHeader() {
    OrderedJson h;
    const std::string name_field = file_.Bytes(0, kNameFieldSize);
    const std::string name = name_field.substr(0, name_field.find('\0'));
    h["name"] = Ascii(name);
    h["attributes"] = file_.BE16(32);
    h["version"] = file_.BE16(34);
    h["creation_date"] = file_.BE32(36);
    h["modification_date"] = file_.BE32(40);
    h["backup_date"] = file_.BE32(44);
    h["modification_number"] = file_.BE32(48);
    h["app_info_offset"] = file_.BE32(52);
    h["sort_info_offset"] = file_.BE32(56);
    h["type"] = Ascii(file_.Bytes(60, 4));
    h["creator"] = Ascii(file_.Bytes(64, 4));
    h["unique_id_seed"] = file_.BE32(68);
    h["next_record_list"] = file_.BE32(72);
    record_count_ = file_.BE16(76);
    h["record_count"] = record_count_;
    dump_.document["database"] = h;

    std::string expected_name(kNameFieldSize, '\0');
    std::memcpy(expected_name.data(), "fenwaimg", 8);
    Expect(name_field == expected_name,
           "the database name is \"" + Ascii(name_field) + "\", not \"fenwaimg\" padded with NULs");
    Expect(file_.Bytes(60, 4) == "Data", "the type is \"" + Ascii(file_.Bytes(60, 4)) + "\", not \"Data\"");
    Expect(file_.Bytes(64, 4) == "FNWA", "the creator is \"" + Ascii(file_.Bytes(64, 4)) + "\", not \"FNWA\"");
    Expect(file_.BE32(36) == kDatabaseDate && file_.BE32(40) == kDatabaseDate,
           "the creation and modification dates are not the converter's fixed date 0x34EEA753");
    for (auto [what, offset, size] :
         {std::tuple{"attributes", 32, 2}, std::tuple{"version", 34, 2}, std::tuple{"backup date", 44, 4},
          std::tuple{"modification number", 48, 4}, std::tuple{"application info offset", 52, 4},
          std::tuple{"sort info offset", 56, 4}, std::tuple{"unique ID seed", 68, 4},
          std::tuple{"next record list", 72, 4}}) {
      const std::uint32_t value = size == 2 ? file_.BE16(offset) : file_.BE32(offset);
      Expect(value == 0, std::string("the ") + what + " is " + std::to_string(value) + ", not 0");
    }
    Expect(record_count_ == kRecordCount,
           "the header counts " + std::to_string(record_count_) + " records, not " + std::to_string(kRecordCount));
  }

  void ReadRecordList() {
    OrderedJson list = OrderedJson::array();
    const std::uint64_t list_end = kDatabaseHeaderSize + std::uint64_t{kRecordEntrySize} * record_count_;
    std::size_t entries = record_count_;
    if (!file_.Has(0, list_end)) {
      entries = (file_.Size() - kDatabaseHeaderSize) / kRecordEntrySize;
      report_.Problem("the record list of " + std::to_string(record_count_) +
                      " entries runs past the end of the file; " + std::to_string(entries) + " entries are there");
    }
    std::vector<std::uint32_t> offsets;
    for (std::size_t i = 0; i < entries; ++i) offsets.push_back(file_.BE32(kDatabaseHeaderSize + kRecordEntrySize * i));
    const std::uint64_t data_start = list_end + 2;
    if (file_.Has(list_end, 2)) {
      Expect(file_.BE16(list_end) == 0, "the two bytes behind the record list are not zero");
    }
    records_.assign(entries, std::nullopt);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint64_t entry = kDatabaseHeaderSize + kRecordEntrySize * i;
      const std::uint8_t attributes = file_.U8(entry + 4);
      const std::uint32_t unique_id = static_cast<std::uint32_t>(file_.U8(entry + 5)) << 16 |
                                      static_cast<std::uint32_t>(file_.U8(entry + 6)) << 8 | file_.U8(entry + 7);
      OrderedJson record;
      record["index"] = i;
      record["content"] = i == 0             ? std::string("image header")
                          : i < kRecordCount ? std::string(i % 2 == 1 ? "tag " : "table ") + kTags[(i - 1) / 2]
                                             : std::string("unexpected");
      record["offset"] = offsets[i];
      record["attributes"] = attributes;
      record["unique_id"] = unique_id;
      Expect(attributes == kRecordAttributes,
             "record " + std::to_string(i) + " has the attributes " + Hex4(attributes) + ", not 0x0040 (dirty)");
      Expect(unique_id == 0,
             "record " + std::to_string(i) + " has the unique ID " + std::to_string(unique_id) + ", not 0");
      const std::uint64_t start = offsets[i];
      const std::uint64_t end = i + 1 < entries ? std::uint64_t{offsets[i + 1]} : file_.Size();
      bool good = true;
      if (start < data_start && start <= file_.Size()) {
        report_.Problem("record " + std::to_string(i) + " starts at " + std::to_string(start) +
                        ", inside the header and record list (records start at " + std::to_string(data_start) + ")");
        good = false;
      }
      if (start > file_.Size()) {
        report_.Problem("record " + std::to_string(i) + " starts at " + std::to_string(start) +
                        ", past the end of the " + std::to_string(file_.Size()) + "-byte file");
        good = false;
      } else if (end < start) {
        report_.Problem("record " + std::to_string(i + 1) + " starts at " + std::to_string(end) + ", before record " +
                        std::to_string(i) + " at " + std::to_string(start) + ": the offsets are not ascending");
        good = false;
      }
      if (good) {
        const std::uint64_t stop = std::min<std::uint64_t>(end, file_.Size());
        records_[i] = file_.Sub(start, stop - start);
        record["length"] = stop - start;
      } else {
        record["length"] = nullptr;
      }
      list.push_back(record);
    }
    dump_.document["records"] = list;
  }

  // The data of record i, or nullopt (reported) when the list does not give it.
  std::optional<View> Record(std::size_t i) const { return i < records_.size() ? records_[i] : std::nullopt; }

  void ReadImageHeader() {
    std::optional<View> record = Record(0);
    if (!record) {
      report_.Problem("there is no readable image header record (record 0)");
      return;
    }
    Expect(record->Size() == kImageHeaderSize, "the image header record is " + std::to_string(record->Size()) +
                                                   " bytes, not " + std::to_string(kImageHeaderSize));
    if (!record->Has(0, kImageCountsEnd)) {
      report_.Problem("the image header record is too short to hold the table sizes");
      return;
    }
    OrderedJson h;
    h["magic"] = Ascii(record->Bytes(0, 4));
    h["version"] = Ascii(record->Bytes(4, 4));
    Expect(record->Bytes(0, 4) == "IMG0",
           "the image header's magic is \"" + Ascii(record->Bytes(0, 4)) + "\", not \"IMG0\"");
    Counts c;
    std::uint16_t* fields[] = {&c.stations,   &c.routes,     &c.strings, &c.pool,         &c.rstat,
                               &c.node_total, &c.file_nodes, &c.edges,   &c.value_entries};
    const char* names[] = {"station_count", "route_count",     "string_count", "pool_size",        "rstat_capacity",
                           "node_total",    "file_node_count", "edge_count",   "value_entry_count"};
    for (std::size_t k = 0; k < 9; ++k) {
      *fields[k] = record->BE16(kImageCountsOffset + 2 * k);
      h[names[k]] = *fields[k];
    }
    const std::string rest = record->Bytes(kImageCountsEnd, record->Size() - kImageCountsEnd);
    Expect(std::all_of(rest.begin(), rest.end(), [](char b) { return b == 0; }),
           "the image header's bytes behind the table sizes are not all zero");
    Expect(c.node_total == c.file_nodes + kReserveNodes,
           "the node total " + std::to_string(c.node_total) + " is not the file nodes " + std::to_string(c.file_nodes) +
               " and " + std::to_string(kReserveNodes) + " reserve nodes");
    Expect(c.value_entries == 0, "the value-entry count is " + std::to_string(c.value_entries) + ", not 0");
    dump_.document["image_header"] = h;
    counts_ = c;
  }

  void CheckTags() {
    for (std::size_t k = 0; k < 9; ++k) {
      const std::size_t index = 1 + 2 * k;
      std::optional<View> record = Record(index);
      if (!record) {
        report_.Problem("the tag record " + std::to_string(index) + " (\"" + kTags[k] + "\") is missing");
        continue;
      }
      Expect(record->Size() == kTagSize && record->Bytes(0, 4) == kTags[k],
             "record " + std::to_string(index) + " is \"" +
                 Ascii(record->Bytes(0, std::min<std::size_t>(record->Size(), 8))) + "\", not the tag \"" + kTags[k] +
                 "\"");
    }
    if (counts_) {
      const Counts& c = *counts_;
      const std::uint32_t lengths[] = {
          4u * c.stations, 2u * c.stations, 2u * c.stations, kRouteRecordBytes * c.routes,
          2u * c.strings,  c.pool,          4u * c.rstat,    kNodeRecordBytes * c.node_total,
          4u * c.edges};
      for (std::size_t k = 0; k < 9; ++k) {
        std::optional<View> table = Record(2 + 2 * k);
        if (!table) {
          report_.Problem(std::string("the ") + kTags[k] + " table (record " + std::to_string(2 + 2 * k) +
                          ") is missing");
          continue;
        }
        Expect(table->Size() == lengths[k],
               std::string("the ") + kTags[k] + " table is " + std::to_string(table->Size()) +
                   " bytes; the image header's counts make it " + std::to_string(lengths[k]));
      }
    }
    if (records_.size() > kRecordCount) report_.Problem("there are records beyond the 19 the image has");
  }

  View Table(std::size_t k) const { return Record(2 + 2 * k).value_or(View()); }

  void ReadStations() {
    const View stat = Table(0), sort = Table(1), ksor = Table(2);
    OrderedJson stations = OrderedJson::array();
    for (std::uint32_t i = 0; i < counts_->stations && stat.Has(4 * i, 4); ++i) {
      OrderedJson station;
      station["index"] = i;
      station["word_a"] = stat.BE16(4 * i);
      station["word_b"] = stat.BE16(4 * i + 2);
      if (sort.Has(2 * i, 2)) station["sort"] = sort.BE16(2 * i);
      if (ksor.Has(2 * i, 2)) station["kana_sort"] = ksor.BE16(2 * i);
      stations.push_back(station);
    }
    dump_.document["stations"] = stations;
  }

  void ReadStringTable() {
    const View index_table = Table(4), pool_table = Table(5);
    std::vector<std::uint16_t> index;
    for (std::uint32_t i = 0; i < counts_->strings && index_table.Has(2 * i, 2); ++i)
      index.push_back(index_table.BE16(2 * i));
    strings_.emplace(index, pool_table.Bytes(0, std::min<std::size_t>(pool_table.Size(), counts_->pool)));
  }

  void ReadRoutes() {
    const View rose = Table(3), rsta = Table(6);
    const std::uint64_t slots = rsta.Size() / 2;
    OrderedJson routes = OrderedJson::array();
    std::vector<std::pair<std::uint16_t, std::uint8_t>> names;
    std::vector<std::uint16_t> stored;
    std::uint64_t next_slot = 0;
    for (std::uint32_t r = 0; r < counts_->routes && rose.Has(kRouteRecordBytes * r, kRouteRecordBytes); ++r) {
      const std::uint64_t at = kRouteRecordBytes * r;
      const std::uint16_t name = rose.BE16(at), first = rose.BE16(at + 2), company = rose.BE16(at + 4);
      const std::uint16_t count = rose.BE16(at + 6);
      const std::uint8_t length = rose.U8(at + 11);
      OrderedJson route;
      route["index"] = r;
      route["name_index"] = name;
      if (strings_->Valid(name)) {
        AddText(route, "name", strings_->At(name));
      } else {
        route["name"] = nullptr;
        if (r > 0)
          report_.Problem("route " + std::to_string(r) + " names string " + std::to_string(name) +
                          ", outside the string table");
      }
      route["company"] = company == kNone ? OrderedJson(nullptr) : OrderedJson(company);
      route["company_length"] = length;
      if (length > 0 && strings_->Valid(name)) AddText(route, "company_name", CompanyPrefix(*strings_, name, length));
      route["first_slot"] = first;
      route["station_count"] = count;
      route["word"] = rose.BE16(at + 8);
      route["byte"] = rose.U8(at + 10);
      route["trailer"] = rose.BE16(at + 12);
      route["stops"] = OrderedJson::array();
      if (first + 2ull * count > slots) {
        report_.Problem("route " + std::to_string(r) + "'s " + std::to_string(count) + " stops from slot " +
                        std::to_string(first) + " run past the route-station table's " + std::to_string(slots) +
                        " slots");
      } else {
        for (std::uint32_t j = 0; j < count; ++j)
          route["stops"].push_back(
              {{"station", rsta.BE16(2ull * (first + j))}, {"companion", rsta.BE16(2ull * (first + count + j))}});
      }
      Expect(first == (next_slot & 0xFFFF), "route " + std::to_string(r) + " starts at slot " + std::to_string(first) +
                                                ", not " + std::to_string(next_slot) +
                                                " behind the blocks of the routes before it");
      next_slot += 2ull * count;
      names.emplace_back(name, length);
      stored.push_back(company);
      routes.push_back(route);
    }
    for (std::uint64_t s = next_slot; s < slots; ++s) {
      if (rsta.BE16(2 * s) != 0) {
        report_.Problem("route-station slot " + std::to_string(s) + " behind the last route's block is not zero");
        break;
      }
    }
    OrderedJson table;
    table["capacity"] = counts_->rstat;
    table["slots"] = 2 * counts_->rstat;
    table["slots_used"] = next_slot;
    dump_.document["route_stations"] = table;
    dump_.document["routes"] = routes;
    CheckCompanies(names, stored);
    dump_.document["strings"] = strings_->ToJson(report_.Warnings());
  }

  void CheckCompanies(const std::vector<std::pair<std::uint16_t, std::uint8_t>>& names,
                      const std::vector<std::uint16_t>& stored) {
    const std::vector<std::uint16_t> expected = GroupCompanies(names, *strings_);
    for (std::size_t r = 0; r < stored.size(); ++r) {
      if (stored[r] != expected[r]) {
        report_.Problem("route " + std::to_string(r) + " has company " +
                        (stored[r] == kNone ? std::string("none") : std::to_string(stored[r])) +
                        "; its name makes it " +
                        (expected[r] == kNone ? std::string("none") : std::to_string(expected[r])));
      }
    }
    std::map<std::uint16_t, OrderedJson> companies;
    for (std::size_t r = 1; r < stored.size(); ++r) {
      if (stored[r] == kNone) continue;
      OrderedJson& company = companies[stored[r]];
      if (company.is_null()) {
        company["number"] = stored[r];
        if (names[r].second == 0) {
          company["name"] = nullptr;
        } else {
          AddText(company, "name", CompanyPrefix(*strings_, names[r].first, names[r].second));
        }
        company["routes"] = OrderedJson::array();
      }
      company["routes"].push_back(r);
    }
    OrderedJson list = OrderedJson::array();
    for (auto& [number, company] : companies) list.push_back(company);
    dump_.document["companies"] = list;
  }

  void ReadGraph() {
    const View adjl = Table(7), fnod = Table(8);
    const std::uint32_t edges = static_cast<std::uint32_t>(std::min<std::size_t>(counts_->edges, fnod.Size() / 4));
    OrderedJson nodes = OrderedJson::array();
    for (std::uint32_t i = 0; i < counts_->node_total && adjl.Has(kNodeRecordBytes * i, kNodeRecordBytes); ++i) {
      const std::uint64_t at = kNodeRecordBytes * i;
      const std::uint16_t a = adjl.BE16(at), b = adjl.BE16(at + 2), mark = adjl.BE16(at + 4);
      const std::uint16_t first = adjl.BE16(at + 6), count = adjl.BE16(at + 8);
      const bool special = i < 2 || i >= counts_->file_nodes;
      if (special && (a != 0 || b != 0 || mark != kNone || first != kNone || count != 0)) {
        report_.Problem("node " + std::to_string(i) + (i < 2 ? " (special)" : " (reserve)") + " is not empty");
      }
      Expect(mark == kNone, "node " + std::to_string(i) + " carries the mark " + std::to_string(mark) + ", not none");
      OrderedJson node;
      node["index"] = i;
      node["word_a"] = a;
      node["word_b"] = b;
      node["mark"] = mark == kNone ? OrderedJson(nullptr) : OrderedJson(mark);
      node["first_edge"] = first == kNone ? OrderedJson(nullptr) : OrderedJson(first);
      node["edge_count"] = count;
      node["edges"] = OrderedJson::array();
      if (count > 0 && (first == kNone || std::uint64_t{first} + count > edges)) {
        report_.Problem("node " + std::to_string(i) + "'s " + std::to_string(count) + " edges from edge " +
                        (first == kNone ? std::string("none") : std::to_string(first)) + " run past the " +
                        std::to_string(edges) + " stored edges");
      } else {
        for (std::uint32_t j = 0; j < count; ++j) {
          const std::uint16_t target = fnod.BE16(4ull * (first + j)), value = fnod.BE16(4ull * (first + j) + 2);
          Expect((target & kEdgeFlag) == 0, "edge " + std::to_string(first + j) + " keeps bit 15 of its target set");
          if ((target & 0x7FFF) >= counts_->node_total)
            report_.Warning("edge " + std::to_string(first + j) + " of node " + std::to_string(i) + " leads to node " +
                            std::to_string(target & 0x7FFF) + ", beyond the " + std::to_string(counts_->node_total) +
                            " nodes");
          node["edges"].push_back({{"target", target}, {"value", value}});
        }
      }
      if (special) {
        node["role"] = i < 2 ? "special" : "reserve";
      }
      nodes.push_back(node);
    }
    dump_.document["nodes"] = nodes;
    dump_.document["edge_count"] = edges;
  }

  struct Counts {
    std::uint16_t stations = 0, routes = 0, strings = 0, pool = 0, rstat = 0, node_total = 0, file_nodes = 0, edges = 0,
                  value_entries = 0;
  };

  View file_;
  Dump& dump_;
  Reporter report_;
  std::uint16_t record_count_ = 0;
  std::vector<std::optional<View>> records_;
  std::optional<Counts> counts_;
  std::optional<Strings> strings_;
};

}  // namespace

FileKind DetectKind(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), kMagic, 4) == 0) return FileKind::kIntermediate;
  const View file(bytes.data(), bytes.size());
  if (file.Bytes(0, 8) == "fenwaimg" || (file.Has(0, 68) && file.Bytes(60, 8) == "DataFNWA"))
    return FileKind::kDatabase;
  return FileKind::kUnknown;
}

Dump DumpBytes(const std::vector<std::uint8_t>& bytes) {
  Dump dump;
  dump.kind = DetectKind(bytes);
  const View file(bytes.data(), bytes.size());
  if (dump.kind == FileKind::kIntermediate) {
    IntermediateReader(file, dump).Read();
  } else if (dump.kind == FileKind::kDatabase) {
    DatabaseReader(file, dump).Read();
  } else {
    dump.document["kind"] = "unknown";
    dump.document["size"] = bytes.size();
    dump.problems.push_back("neither an intermediate data file (\"AD4\" and 0x1A) nor a fenwaimg.pdb");
  }
  dump.document["problems"] = dump.problems;
  dump.document["warnings"] = dump.warnings;
  return dump;
}
