#include "tools/fenwadump/Dump.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "base/ByteCursor.h"
#include "network/Companies.h"
#include "network/IntermediateFormat.h"
#include "pdb/ImageFormat.h"
#include "text/ShiftJis.h"

namespace {

// A cursor at a file offset of `bytes`.
ByteCursor At(const ByteCursor& bytes, std::uint64_t offset) {
  ByteCursor cursor = bytes;
  cursor.Seek(offset);
  return cursor;
}

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
  const std::string& Pool() const { return pool_; }
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

// The company numbers grouping gives routes with these names and company-name lengths.
std::vector<std::uint16_t> GroupCompanies(const std::vector<Route>& routes, const Strings& strings) {
  Network network;
  network.routes = routes;
  for (std::size_t i = 0; i < strings.Count(); ++i) network.string_index.push_back(strings.Offset(i));
  network.string_pool.assign(strings.Pool().begin(), strings.Pool().end());
  return CompanyNumbers(network);
}

// The companies by number, each with its name (null for the group of routes
// that name none) and its routes.
OrderedJson CompanyList(const std::vector<Route>& routes, const std::vector<std::uint16_t>& numbers,
                        const Strings& strings) {
  std::map<std::uint16_t, OrderedJson> companies;
  for (std::size_t r = 1; r < numbers.size(); ++r) {
    if (numbers[r] == kNoIndex) continue;
    OrderedJson& company = companies[numbers[r]];
    if (company.is_null()) {
      company["number"] = numbers[r];
      if (routes[r].company_length == 0) {
        company["name"] = nullptr;
      } else {
        AddText(company, "name", CompanyPrefix(strings, routes[r].name, routes[r].company_length));
      }
      company["routes"] = OrderedJson::array();
    }
    company["routes"].push_back(r);
  }
  OrderedJson list = OrderedJson::array();
  for (auto& [number, company] : companies) list.push_back(company);
  return list;
}

// The object with the keys in `order` first (those it has), then the others.
OrderedJson Ordered(const OrderedJson& object, std::initializer_list<const char*> order) {
  OrderedJson sorted = OrderedJson::object();
  for (const char* key : order) {
    if (object.contains(key)) sorted[key] = object.at(key);
  }
  for (const auto& item : object.items()) {
    if (!sorted.contains(item.key())) sorted[item.key()] = item.value();
  }
  return sorted;
}

// A station with the name that its word A gives, when word A is a string of the table.
OrderedJson NamedStation(const OrderedJson& station, const Strings& strings) {
  OrderedJson named = station;
  const auto word_a = station.at("word_a").get<std::uint16_t>();
  if (strings.Valid(word_a)) AddText(named, "name", strings.At(word_a));
  return Ordered(named, {"index", "name", "name_bytes", "word_a"});
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
  IntermediateReader(const ByteCursor& file, Dump& dump) : file_(file), dump_(dump), report_(dump) {}

  void Read() {
    OrderedJson& doc = dump_.document;
    doc["kind"] = "intermediate";
    doc["size"] = file_.End();
    ByteCursor cursor = At(file_, 0);
    const std::uint8_t* header = cursor.Take(kHeaderSize);
    if (header == nullptr) {
      report_.Problem("the file is " + std::to_string(file_.End()) + " bytes, shorter than the 64-byte header");
      return;
    }
    ReadHeaderFields(header);
    ReadNodes(cursor);
    ReadBase();
    ReadTrailer();
    if (!strings_) strings_.emplace(std::vector<std::uint16_t>(), std::string());
    OrderedJson& stations = doc["stations"] = OrderedJson::array();
    for (const OrderedJson& station : stations_) stations.push_back(NamedStation(station, *strings_));
    OrderedJson& routes = doc["routes"] = OrderedJson::array();
    for (const OrderedJson& route : routes_) {
      routes.push_back(
          Ordered(route, {"index", "name_index", "name", "name_bytes", "company", "company_length", "company_name",
                          "company_name_bytes", "spare", "station_count", "word", "byte", "trailer", "stops"}));
    }
    doc["companies"] = companies_;
    doc["strings"] = strings_->ToJson(report_.Warnings());
    doc["string_pool"] = Hex(strings_->Pool());
    doc["nodes"] = nodes_;
  }

 private:
  static std::string Bytes(const std::uint8_t* bytes, std::size_t count) {
    return std::string(reinterpret_cast<const char*>(bytes), count);
  }

  void ReadHeaderFields(const std::uint8_t* header) {
    header_ = DecodeHeader(header);
    OrderedJson h;
    h["magic"] = Hex(Bytes(header + kHeaderMagic, sizeof kMagic));
    h["base_offset"] = header_.base_offset;
    h["trailer_offset"] = header_.trailer_offset;
    h["unused_middle"] = Hex(Bytes(header + kHeaderUnusedMiddle, kHeaderUnusedMiddleSize));
    h["rstat_capacity"] = header_.rstat_capacity;
    h["node_count"] = header_.node_count;
    h["station_count"] = header_.station_count;
    h["route_count"] = header_.route_count;
    h["string_count"] = header_.string_count;
    h["pool_size"] = header_.pool_size;
    h["edge_capacity"] = header_.edge_capacity;
    h["unused_tail"] = Hex(Bytes(header + kHeaderUnusedTail, kHeaderUnusedTailSize));
    h["effective_rstat_capacity"] = std::max(EffectiveRStatCapacity(header_), 0);
    h["effective_edge_capacity"] = EffectiveEdgeCapacity(header_);
    dump_.document["header"] = h;
    for (auto [what, count] :
         {std::pair{"station count", header_.station_count}, std::pair{"route count", header_.route_count},
          std::pair{"string count", header_.string_count}}) {
      if (count < 0)
        report_.Problem(std::string("the header's ") + what + " " + std::to_string(count) + " is negative");
    }
    for (auto [what, offset] : {std::pair{"base", header_.base_offset}, std::pair{"trailer", header_.trailer_offset}}) {
      if (offset > kMaxSectionOffset)
        report_.Problem(std::string("the ") + what + " offset " + std::to_string(offset) + " is 2^31 or more");
    }
  }

  // The next `count` bytes at the cursor; nullptr (and a problem) when the file ends first.
  const std::uint8_t* Take(ByteCursor& cursor, std::uint64_t count, const std::string& what) {
    const std::uint8_t* bytes = cursor.Take(count);
    if (bytes == nullptr)
      report_.Problem("the file ends inside " + what + " (at offset " + std::to_string(cursor.Offset()) + ")");
    return bytes;
  }

  void ReadNodes(ByteCursor& cursor) {
    std::uint64_t edge_total = 0;
    for (std::uint32_t i = 0; i < header_.node_count; ++i) {
      const std::uint8_t* record = Take(cursor, kNodeRecordSize, "node " + std::to_string(i));
      if (record == nullptr) return;
      OrderedJson node;
      node["index"] = i;
      node["word_a"] = ReadLE16(record + kNodeRecordWordA);
      node["word_b"] = ReadLE16(record + kNodeRecordWordB);
      const std::uint16_t edges = ReadLE16(record + kNodeRecordEdgeCount);
      node["edge_count"] = edges;
      node["edges"] = OrderedJson::array();
      for (std::uint32_t j = 0; j < edges; ++j) {
        const std::uint8_t* entry =
            Take(cursor, kEdgeEntrySize, "edge " + std::to_string(j) + " of node " + std::to_string(i));
        if (entry == nullptr) {
          nodes_.push_back(node);
          return;
        }
        node["edges"].push_back(
            {{"target", ReadLE16(entry + kEdgeEntryTarget)}, {"value", ReadLE16(entry + kEdgeEntryValue)}});
      }
      edge_total += edges;
      nodes_.push_back(node);
    }
    dump_.document["node_section_end"] = cursor.Offset();
    dump_.document["edge_total"] = edge_total;
  }

  void ReadBase() {
    ByteCursor cursor = At(file_, header_.base_offset);
    const std::int32_t stations = std::max(header_.station_count, 0);
    for (std::int32_t i = 0; i < stations; ++i) {
      const std::uint8_t* record = Take(cursor, kStationRecordSize, "station " + std::to_string(i));
      if (record == nullptr) return ReadStrings(nullptr);
      stations_.push_back({{"index", i},
                           {"word_a", ReadLE16(record + kStationRecordWordA)},
                           {"word_b", ReadLE16(record + kStationRecordWordB)},
                           {"spare", ReadLE16(record + kStationRecordSpare)}});
    }
    for (std::int32_t i = 0; i < stations; ++i) {
      const std::uint8_t* record = Take(cursor, kSortRecordSize, "the sort record of station " + std::to_string(i));
      if (record == nullptr) return ReadStrings(nullptr);
      stations_[static_cast<std::size_t>(i)]["sort"] = ReadLE16(record + kSortRecordSort);
      stations_[static_cast<std::size_t>(i)]["kana_sort"] = ReadLE16(record + kSortRecordKanaSort);
    }
    const std::int32_t routes = std::max(header_.route_count, 0);
    for (std::int32_t r = 0; r < routes; ++r) {
      const std::uint8_t* record = Take(cursor, kRouteRecordSize, "route " + std::to_string(r));
      if (record == nullptr) return ReadStrings(nullptr);
      OrderedJson route;
      route["index"] = r;
      route["name_index"] = ReadLE16(record + kRouteRecordName);
      route["spare"] = ReadLE16(record + kRouteRecordSpare);
      const std::uint16_t stops = ReadLE16(record + kRouteRecordStationCount);
      route["station_count"] = stops;
      route["word"] = ReadLE16(record + kRouteRecordWord);
      route["byte"] = record[kRouteRecordByte];
      route["company_length"] = record[kRouteRecordCompanyLength];
      route["stops"] = OrderedJson::array();
      for (std::uint32_t j = 0; j < stops; ++j) {
        const std::uint8_t* entry =
            Take(cursor, kRouteStationEntrySize, "stop " + std::to_string(j) + " of route " + std::to_string(r));
        if (entry == nullptr) {
          routes_.push_back(route);
          return ReadStrings(nullptr);
        }
        route["stops"].push_back({{"station", ReadLE16(entry + kRouteStationEntryStation)},
                                  {"companion", ReadLE16(entry + kRouteStationEntryCompanion)}});
      }
      routes_.push_back(route);
    }
    ReadStrings(&cursor);
  }

  // The string table that follows the routes, when the file held every route before it.
  void ReadStrings(ByteCursor* cursor) {
    std::vector<std::uint16_t> index;
    std::string pool;
    if (cursor != nullptr) {
      const std::int32_t count = std::max(header_.string_count, 0);
      bool complete = true;
      for (std::int32_t i = 0; i < count && complete; ++i) {
        const std::uint8_t* entry =
            Take(*cursor, kStringIndexEntrySize, "the string index (entry " + std::to_string(i) + ")");
        complete = entry != nullptr;
        if (complete) index.push_back(ReadLE16(entry));
      }
      const std::uint8_t* bytes = complete ? Take(*cursor, header_.pool_size, "the string pool") : nullptr;
      if (bytes != nullptr) pool = Bytes(bytes, header_.pool_size);
    }
    strings_.emplace(index, pool);
    NameRoutes();
  }

  void NameRoutes() {
    std::vector<Route> names;
    for (const OrderedJson& route : routes_) {
      Route named;
      named.name = route["name_index"].get<std::uint16_t>();
      named.company_length = route["company_length"].get<std::uint8_t>();
      names.push_back(named);
    }
    const std::vector<std::uint16_t> numbers = GroupCompanies(names, *strings_);
    companies_ = CompanyList(names, numbers, *strings_);
    for (std::size_t r = 0; r < routes_.size(); ++r)
      routes_[r]["company"] = numbers[r] == kNoIndex ? OrderedJson(nullptr) : OrderedJson(numbers[r]);
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
    ByteCursor cursor = At(file_, header_.trailer_offset);
    for (std::size_t r = 0; r < static_cast<std::size_t>(std::max(header_.route_count, 0)); ++r) {
      const std::uint8_t* word = Take(cursor, kTrailerWordSize, "the trailer word of route " + std::to_string(r));
      if (word == nullptr) return;
      if (r < routes_.size()) routes_[r]["trailer"] = ReadLE16(word);
    }
  }

  ByteCursor file_;
  Dump& dump_;
  Reporter report_;
  FileHeader header_;
  OrderedJson stations_ = OrderedJson::array();
  OrderedJson routes_ = OrderedJson::array();
  OrderedJson nodes_ = OrderedJson::array();
  OrderedJson companies_ = OrderedJson::array();
  std::optional<Strings> strings_;
};

// ---------------------------------------------------------------------------
// The database.

class DatabaseReader {
 public:
  DatabaseReader(const ByteCursor& file, Dump& dump) : file_(file), dump_(dump), report_(dump) {}

  void Read() {
    OrderedJson& doc = dump_.document;
    doc["kind"] = "database";
    doc["size"] = file_.Size();
    if (!file_.Has(kDatabaseHeaderSize)) {
      report_.Problem("the file is " + std::to_string(file_.Size()) +
                      " bytes, shorter than the 78-byte database header");
      return;
    }
    ReadDatabaseHeader();
    ReadRecordList();
    ReadImageHeader();
    CheckTags();
    if (!counts_) return;
    ReadStringTable();
    ReadStations();
    ReadRoutes();
    ReadGraph();
  }

 private:
  void Expect(bool good, const std::string& text) {
    if (!good) report_.Problem(text);
  }

  void ReadDatabaseHeader() {
    ByteCursor cursor = At(file_, 0);
    const std::string name_field = cursor.Text(kDatabaseNameSize);
    const std::string name = name_field.substr(0, name_field.find('\0'));
    const std::uint16_t attributes = cursor.BE16();
    const std::uint16_t version = cursor.BE16();
    const std::uint32_t creation_date = cursor.BE32();
    const std::uint32_t modification_date = cursor.BE32();
    const std::uint32_t backup_date = cursor.BE32();
    const std::uint32_t modification_number = cursor.BE32();
    const std::uint32_t app_info_offset = cursor.BE32();
    const std::uint32_t sort_info_offset = cursor.BE32();
    const std::string type = cursor.Text(4);
    const std::string creator = cursor.Text(4);
    const std::uint32_t unique_id_seed = cursor.BE32();
    const std::uint32_t next_record_list = cursor.BE32();
    record_count_ = cursor.BE16();
    OrderedJson h;
    h["name"] = Ascii(name);
    h["attributes"] = attributes;
    h["version"] = version;
    h["creation_date"] = creation_date;
    h["modification_date"] = modification_date;
    h["backup_date"] = backup_date;
    h["modification_number"] = modification_number;
    h["app_info_offset"] = app_info_offset;
    h["sort_info_offset"] = sort_info_offset;
    h["type"] = Ascii(type);
    h["creator"] = Ascii(creator);
    h["unique_id_seed"] = unique_id_seed;
    h["next_record_list"] = next_record_list;
    h["record_count"] = record_count_;
    dump_.document["database"] = h;

    std::string expected_name(kDatabaseNameSize, '\0');
    std::memcpy(expected_name.data(), kDatabaseName, sizeof kDatabaseName - 1);
    Expect(name_field == expected_name,
           "the database name is \"" + Ascii(name_field) + "\", not \"fenwaimg\" padded with NULs");
    Expect(type == kDatabaseTypeText, "the type is \"" + Ascii(type) + "\", not \"Data\"");
    Expect(creator == kDatabaseCreatorText, "the creator is \"" + Ascii(creator) + "\", not \"FNWA\"");
    Expect(creation_date == kDatabaseDate && modification_date == kDatabaseDate,
           "the creation and modification dates are not the converter's fixed date 0x34EEA753");
    for (auto [what, value] :
         {std::pair{"attributes", std::uint32_t{attributes}}, std::pair{"version", std::uint32_t{version}},
          std::pair{"backup date", backup_date}, std::pair{"modification number", modification_number},
          std::pair{"application info offset", app_info_offset}, std::pair{"sort info offset", sort_info_offset},
          std::pair{"unique ID seed", unique_id_seed}, std::pair{"next record list", next_record_list}}) {
      Expect(value == 0, std::string("the ") + what + " is " + std::to_string(value) + ", not 0");
    }
    Expect(record_count_ == kRecordCount,
           "the header counts " + std::to_string(record_count_) + " records, not " + std::to_string(kRecordCount));
  }

  static std::string RecordContent(std::size_t i) {
    if (i == 0) return "image header";
    if (i >= kRecordCount) return "unexpected";
    return std::string(i % 2 == 1 ? "tag " : "table ") + kTableTags[(i - 1) / 2];
  }

  void ReadRecordList() {
    OrderedJson list = OrderedJson::array();
    const std::uint64_t list_end = kDatabaseHeaderSize + std::uint64_t{kRecordEntrySize} * record_count_;
    std::size_t entries = record_count_;
    if (file_.Size() < list_end) {
      entries = (file_.Size() - kDatabaseHeaderSize) / kRecordEntrySize;
      report_.Problem("the record list of " + std::to_string(record_count_) +
                      " entries runs past the end of the file; " + std::to_string(entries) + " entries are there");
    }
    struct Entry {
      std::uint32_t offset;
      std::uint8_t attributes;
      std::uint32_t unique_id;
    };
    std::vector<Entry> list_entries;
    ByteCursor cursor = At(file_, kDatabaseHeaderSize);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* entry = cursor.Take(kRecordEntrySize);
      list_entries.push_back({ReadBE32(entry + kRecordEntryOffset), entry[kRecordEntryAttributes],
                              ReadBE32(entry + kRecordEntryAttributes) & 0xFFFFFF});
    }
    const std::uint64_t data_start = list_end + kRecordListFillerSize;
    if (ByteCursor filler = At(file_, list_end); filler.Has(kRecordListFillerSize)) {
      Expect(filler.BE16() == 0, "the two bytes behind the record list are not zero");
    }
    records_.assign(entries, std::nullopt);
    for (std::size_t i = 0; i < entries; ++i) {
      const Entry& entry = list_entries[i];
      OrderedJson record;
      record["index"] = i;
      record["content"] = RecordContent(i);
      record["offset"] = entry.offset;
      record["attributes"] = entry.attributes;
      record["unique_id"] = entry.unique_id;
      Expect(entry.attributes == kRecordAttributes,
             "record " + std::to_string(i) + " has the attributes " + Hex4(entry.attributes) + ", not 0x0040 (dirty)");
      Expect(entry.unique_id == 0,
             "record " + std::to_string(i) + " has the unique ID " + std::to_string(entry.unique_id) + ", not 0");
      const std::uint64_t start = entry.offset;
      const std::uint64_t end = i + 1 < entries ? std::uint64_t{list_entries[i + 1].offset} : file_.Size();
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
        records_[i] = file_.Slice(start, stop - start);
        record["length"] = stop - start;
      } else {
        record["length"] = nullptr;
      }
      list.push_back(record);
    }
    dump_.document["records"] = list;
  }

  // The data of record i, or nullopt when the list does not give it.
  std::optional<ByteCursor> Record(std::size_t i) const { return i < records_.size() ? records_[i] : std::nullopt; }

  static std::string Head(const ByteCursor& record, std::uint64_t count) {
    return At(record, record.Start()).Text(std::min<std::uint64_t>(count, record.Size()));
  }

  void ReadImageHeader() {
    std::optional<ByteCursor> record = Record(0);
    if (!record) {
      report_.Problem("there is no readable image header record (record 0)");
      return;
    }
    Expect(record->Size() == kImageHeaderSize, "the image header record is " + std::to_string(record->Size()) +
                                                   " bytes, not " + std::to_string(kImageHeaderSize));
    if (record->Size() < kImageCountsEnd) {
      report_.Problem("the image header record is too short to hold the table sizes");
      return;
    }
    const std::string magic = record->Text(4);
    const std::string version = record->Text(4);
    OrderedJson h;
    h["magic"] = Ascii(magic);
    h["version"] = Ascii(version);
    Expect(magic == kImageMagic, "the image header's magic is \"" + Ascii(magic) + "\", not \"IMG0\"");
    ImageCounts c;
    std::uint32_t* fields[] = {&c.stations,   &c.routes,     &c.strings, &c.pool_size,    &c.rstat_capacity,
                               &c.node_total, &c.file_nodes, &c.edges,   &c.value_entries};
    const char* names[] = {"station_count", "route_count",     "string_count", "pool_size",        "rstat_capacity",
                           "node_total",    "file_node_count", "edge_count",   "value_entry_count"};
    for (std::size_t k = 0; k < kImageCountFields; ++k) {
      *fields[k] = record->BE16();
      h[names[k]] = static_cast<std::uint16_t>(*fields[k]);
    }
    const std::string rest = record->Text(record->Size() - kImageCountsEnd);
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
    for (std::size_t k = 0; k < kTableCount; ++k) {
      const std::size_t index = TagRecord(k);
      std::optional<ByteCursor> record = Record(index);
      if (!record) {
        report_.Problem("the tag record " + std::to_string(index) + " (\"" + kTableTags[k] + "\") is missing");
        continue;
      }
      Expect(record->Size() == kTagSize && Head(*record, kTagSize) == kTableTags[k],
             "record " + std::to_string(index) + " is \"" + Ascii(Head(*record, 8)) + "\", not the tag \"" +
                 kTableTags[k] + "\"");
    }
    if (counts_) {
      const auto lengths = RecordLengths(*counts_);
      for (std::size_t k = 0; k < kTableCount; ++k) {
        std::optional<ByteCursor> table = Record(TableRecord(k));
        if (!table) {
          report_.Problem(std::string("the ") + kTableTags[k] + " table (record " + std::to_string(TableRecord(k)) +
                          ") is missing");
          continue;
        }
        const std::uint32_t length = lengths[TableRecord(k)];
        Expect(table->Size() == length, std::string("the ") + kTableTags[k] + " table is " +
                                            std::to_string(table->Size()) +
                                            " bytes; the image header's counts make it " + std::to_string(length));
      }
    }
    if (records_.size() > kRecordCount) report_.Problem("there are records beyond the 19 the image has");
  }

  ByteCursor Table(std::size_t k) const { return Record(TableRecord(k)).value_or(ByteCursor()); }

  void ReadStations() {
    ByteCursor stat = Table(kStationTable), sort = Table(kSortTable), ksor = Table(kKanaSortTable);
    OrderedJson stations = OrderedJson::array();
    for (std::uint32_t i = 0; i < counts_->stations && stat.Has(kStationEntrySize); ++i) {
      OrderedJson station;
      station["index"] = i;
      station["word_a"] = stat.BE16();
      station["word_b"] = stat.BE16();
      if (sort.Has(2)) station["sort"] = sort.BE16();
      if (ksor.Has(2)) station["kana_sort"] = ksor.BE16();
      stations.push_back(NamedStation(station, *strings_));
    }
    dump_.document["stations"] = stations;
  }

  void ReadStringTable() {
    ByteCursor index_table = Table(kStringIndexTable);
    const ByteCursor pool_table = Table(kStringPoolTable);
    std::vector<std::uint16_t> index;
    for (std::uint32_t i = 0; i < counts_->strings && index_table.Has(2); ++i) index.push_back(index_table.BE16());
    strings_.emplace(index, Head(pool_table, counts_->pool_size));
  }

  void ReadRoutes() {
    ByteCursor rose = Table(kRouteTable);
    const ByteCursor rsta = Table(kRouteStationTable);
    const std::uint64_t slots = rsta.Size() / 2;
    OrderedJson routes = OrderedJson::array();
    std::vector<Route> names;
    std::vector<std::uint16_t> stored;
    std::uint64_t next_slot = 0;
    for (std::uint32_t r = 0; r < counts_->routes && rose.Has(kRouteRecordBytes); ++r) {
      const std::uint8_t* at = rose.Take(kRouteRecordBytes);
      const std::uint16_t name = ReadBE16(at + kRouteName), first = ReadBE16(at + kRouteFirstSlot);
      const std::uint16_t company = ReadBE16(at + kRouteCompany), count = ReadBE16(at + kRouteStationCount);
      const std::uint8_t length = at[kRouteCompanyLength];
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
      route["company"] = company == kNoIndex ? OrderedJson(nullptr) : OrderedJson(company);
      route["company_length"] = length;
      if (length > 0 && strings_->Valid(name)) AddText(route, "company_name", CompanyPrefix(*strings_, name, length));
      route["first_slot"] = first;
      route["station_count"] = count;
      route["word"] = ReadBE16(at + kRouteWord);
      route["byte"] = at[kRouteByte];
      route["trailer"] = ReadBE16(at + kRouteTrailer);
      route["stops"] = OrderedJson::array();
      if (first + 2ull * count > slots) {
        report_.Problem("route " + std::to_string(r) + "'s " + std::to_string(count) + " stops from slot " +
                        std::to_string(first) + " run past the route-station table's " + std::to_string(slots) +
                        " slots");
      } else {
        ByteCursor stations = At(rsta, rsta.Start() + 2ull * first);
        ByteCursor companions = At(rsta, rsta.Start() + 2ull * (first + count));
        for (std::uint32_t j = 0; j < count; ++j)
          route["stops"].push_back({{"station", stations.BE16()}, {"companion", companions.BE16()}});
      }
      Expect(first == (next_slot & 0xFFFF), "route " + std::to_string(r) + " starts at slot " + std::to_string(first) +
                                                ", not " + std::to_string(next_slot) +
                                                " behind the blocks of the routes before it");
      next_slot += 2ull * count;
      Route named;
      named.name = name;
      named.company_length = length;
      names.push_back(named);
      stored.push_back(company);
      routes.push_back(route);
    }
    for (ByteCursor rest = At(rsta, rsta.Start() + 2 * next_slot); rest.Has(2);) {
      if (rest.BE16() != 0) {
        report_.Problem("route-station slot " + std::to_string((rest.Offset() - rsta.Start()) / 2 - 1) +
                        " behind the last route's block is not zero");
        break;
      }
    }
    OrderedJson table;
    table["capacity"] = static_cast<std::uint16_t>(counts_->rstat_capacity);
    table["slots"] = 2 * counts_->rstat_capacity;
    table["slots_used"] = next_slot;
    dump_.document["route_stations"] = table;
    dump_.document["routes"] = routes;
    CheckCompanies(names, stored);
    dump_.document["strings"] = strings_->ToJson(report_.Warnings());
    dump_.document["string_pool"] = Hex(strings_->Pool());
  }

  void CheckCompanies(const std::vector<Route>& names, const std::vector<std::uint16_t>& stored) {
    const std::vector<std::uint16_t> expected = GroupCompanies(names, *strings_);
    for (std::size_t r = 0; r < stored.size(); ++r) {
      if (stored[r] != expected[r]) {
        report_.Problem("route " + std::to_string(r) + " has company " +
                        (stored[r] == kNoIndex ? std::string("none") : std::to_string(stored[r])) +
                        "; its name makes it " +
                        (expected[r] == kNoIndex ? std::string("none") : std::to_string(expected[r])));
      }
    }
    dump_.document["companies"] = CompanyList(names, stored, *strings_);
  }

  void ReadGraph() {
    ByteCursor adjl = Table(kNodeTable);
    const ByteCursor fnod = Table(kEdgeTable);
    const auto edges = static_cast<std::uint32_t>(std::min<std::uint64_t>(counts_->edges, fnod.Size() / kEdgeBytes));
    std::vector<bool> owned(edges, false);
    std::optional<std::uint32_t> run_end;  // where the edges of the last node that had some end
    OrderedJson nodes = OrderedJson::array();
    for (std::uint32_t i = 0; i < counts_->node_total && adjl.Has(kNodeRecordBytes); ++i) {
      const std::uint8_t* at = adjl.Take(kNodeRecordBytes);
      const std::uint16_t a = ReadBE16(at + kNodeWordA), b = ReadBE16(at + kNodeWordB), mark = ReadBE16(at + kNodeMark);
      const std::uint16_t first = ReadBE16(at + kNodeFirstEdge), count = ReadBE16(at + kNodeEdgeCount);
      // Nodes 0 and 1 and the reserve nodes behind the file's nodes are emptied.
      const char* role = i >= counts_->file_nodes ? "reserve" : i < 2 ? "special" : nullptr;
      if (role != nullptr && (a != 0 || b != 0 || mark != kNoIndex || first != kNoIndex || count != 0)) {
        report_.Problem("node " + std::to_string(i) + " (" + role + ") is not empty");
      }
      Expect(mark == kNoIndex,
             "node " + std::to_string(i) + " carries the mark " + std::to_string(mark) + ", not none");
      OrderedJson node;
      node["index"] = i;
      node["word_a"] = a;
      node["word_b"] = b;
      node["mark"] = mark == kNoIndex ? OrderedJson(nullptr) : OrderedJson(mark);
      node["first_edge"] = first == kNoIndex ? OrderedJson(nullptr) : OrderedJson(first);
      node["edge_count"] = count;
      node["edges"] = OrderedJson::array();
      if (count > 0 && (first == kNoIndex || std::uint64_t{first} + count > edges)) {
        report_.Problem("node " + std::to_string(i) + "'s " + std::to_string(count) + " edges from edge " +
                        (first == kNoIndex ? std::string("none") : std::to_string(first)) + " run past the " +
                        std::to_string(edges) + " stored edges");
      } else if (count > 0) {
        // Each node's edges follow those of the node before it that had some.
        Expect(!run_end || first == *run_end,
               "node " + std::to_string(i) + "'s edges start at edge " + std::to_string(first) + ", not at edge " +
                   std::to_string(run_end.value_or(0)) + " behind those of the nodes before it");
        run_end = first + count;
        ByteCursor edge = At(fnod, fnod.Start() + std::uint64_t{kEdgeBytes} * first);
        for (std::uint32_t j = 0; j < count; ++j) {
          owned[first + j] = true;
          node["edges"].push_back(EdgeJson(edge, first + j, i));
        }
      }
      if (role != nullptr) node["role"] = role;
      nodes.push_back(node);
    }
    if (run_end && *run_end < edges)
      report_.Problem("edges " + std::to_string(*run_end) + " to " + std::to_string(edges - 1) +
                      " behind the last node's edges are owned by no node");
    // The edges nodes 0 and 1 had stay in the table when the nodes are emptied.
    OrderedJson unowned = OrderedJson::array();
    for (std::uint32_t e = 0; e < edges; ++e) {
      if (owned[e]) continue;
      ByteCursor edge = At(fnod, fnod.Start() + std::uint64_t{kEdgeBytes} * e);
      OrderedJson entry = {{"index", e}};
      entry.update(EdgeJson(edge, e, std::nullopt));
      unowned.push_back(entry);
    }
    dump_.document["nodes"] = nodes;
    dump_.document["unowned_edges"] = unowned;
    dump_.document["edge_count"] = edges;
  }

  // Edge `index` at the cursor, which node `owner` (if any) has.
  OrderedJson EdgeJson(ByteCursor& edge, std::uint32_t index, std::optional<std::uint32_t> owner) {
    const std::uint16_t target = edge.BE16(), value = edge.BE16();
    Expect((target & kEdgeTargetFlag) == 0, "edge " + std::to_string(index) + " keeps bit 15 of its target set");
    if ((target & 0x7FFF) >= counts_->node_total)
      report_.Warning("edge " + std::to_string(index) +
                      (owner ? " of node " + std::to_string(*owner) : std::string(", owned by no node,")) +
                      " leads to node " + std::to_string(target & 0x7FFF) + ", beyond the " +
                      std::to_string(counts_->node_total) + " nodes");
    return {{"target", target}, {"value", value}};
  }

  ByteCursor file_;
  Dump& dump_;
  Reporter report_;
  std::uint16_t record_count_ = 0;
  std::vector<std::optional<ByteCursor>> records_;
  std::optional<ImageCounts> counts_;
  std::optional<Strings> strings_;
};

}  // namespace

FileKind DetectKind(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() >= sizeof kMagic && std::memcmp(bytes.data(), kMagic, sizeof kMagic) == 0)
    return FileKind::kIntermediate;
  ByteCursor file(bytes);
  const std::string name = file.Text(8);
  file.Seek(kDatabaseType);
  if (name == kDatabaseName || file.Text(8) == std::string(kDatabaseTypeText) + kDatabaseCreatorText)
    return FileKind::kDatabase;
  return FileKind::kUnknown;
}

Dump DumpBytes(const std::vector<std::uint8_t>& bytes) {
  Dump dump;
  dump.kind = DetectKind(bytes);
  const ByteCursor file(bytes);
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
