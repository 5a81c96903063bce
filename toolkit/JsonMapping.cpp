#include "toolkit/JsonMapping.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <unordered_set>

#include "network/IntermediateFormat.h"
#include "text/Hex.h"
#include "text/Json.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"

namespace {

// ---------------------------------------------------------------------------
// Reading with a path: every refusal names the field it is about.

// A table of the file that a list's items go into, and the most items the
// file's count of it holds; a table that records share (the route-station
// table of every route's stops, the edges of every node) is counted over the
// whole document. Each has its own slot in Input::tallies.
struct Table {
  const char* items;
  std::size_t most;
  const char* count;
  std::size_t slot;
};
constexpr std::size_t kTables = 12;

// The string table a description's texts go into while it is read: each of
// its strings, and each station or route name that is not one of them yet
// (fenwamake makes one string of a name, and refers to it from every station
// or route of that name). Its texts are at most the pool's bytes.
class PoolTally {
 public:
  // What the table passes by the bytes of another string or name, or empty.
  std::string AddString(const std::string& bytes) {
    Count(bytes, +1);
    if (names_.erase(bytes) > 0) Count(bytes, -1);  // that name uses this string from now on
    strings_.insert(bytes);
    return Passed();
  }
  std::string AddName(const std::string& bytes) {
    if (strings_.count(bytes) == 0 && names_.insert(bytes).second) Count(bytes, +1);
    return Passed();
  }

 private:
  void Count(const std::string& bytes, int sign) {
    bytes_ += sign * static_cast<std::int64_t>(bytes.size() + 1);
    strings_count_ += sign;
  }
  std::string Passed() const {
    if (strings_count_ > intermediate::kMaxStrings)
      return "more than " + std::to_string(intermediate::kMaxStrings) +
             " strings and names: the file's string count is a signed 16-bit number";
    if (bytes_ > 0xFFFF)
      return "the strings and names come to more than 65535 bytes with their NULs: the file's string pool size is an "
             "unsigned 16-bit number";
    return "";
  }

  std::unordered_set<std::string> strings_;
  std::unordered_set<std::string> names_;  // those that are not strings too
  std::int64_t bytes_ = 0;
  std::int64_t strings_count_ = 0;
};

class Input {
 public:
  explicit Input(std::string_view text) : json(text) {}
  explicit Input(JsonPieces pieces) : json(std::move(pieces)) {}

  [[noreturn]] void Fail(std::size_t offset, const std::string& what) const {
    throw ToolError(json.PositionOf(offset), FieldPath(path), what);
  }
  [[noreturn]] void Fail(const std::string& what) { Fail(json.Offset(), what); }
  // For a value that may span lines: where it started, taken before it is read.
  [[noreturn]] void Fail(const TextPosition& at, const std::string& what) const {
    throw ToolError(at, FieldPath(path), what);
  }

  JsonReader json;
  std::vector<std::string> path;               // left as it is when a refusal is thrown, so that it names the field
  std::array<std::size_t, kTables> tallies{};  // the items read so far of each table
  PoolTally pool;
};

// A record's field: its key, its role, and how its value is written and read.
template <typename Record>
struct Rule {
  const char* key;
  FieldRole role;
  bool (*present)(const Record&);
  void (*write)(JsonWriter&, const Record&);
  void (*read)(Input&, Record&);
};

template <typename Member>
struct MemberOf;
template <typename Class, typename Type>
struct MemberOf<Type Class::*> {
  using Record = Class;
};

template <typename Value, auto Member>
constexpr Rule<typename MemberOf<decltype(Member)>::Record> Field(const char* key, FieldRole role) {
  using Record = typename MemberOf<decltype(Member)>::Record;
  return {key, role, [](const Record& record) { return (record.*Member).has_value(); },
          [](JsonWriter& out, const Record& record) { Value::Write(out, *(record.*Member)); },
          [](Input& in, Record& record) { record.*Member = Value::Read(in); }};
}

template <typename Record, std::size_t N>
void WriteObject(JsonWriter& out, const Record& record, const Rule<Record> (&rules)[N]) {
  out.BeginObject();
  for (const Rule<Record>& rule : rules) {
    if (!rule.present(record)) continue;
    out.Key(rule.key);
    rule.write(out, record);
  }
  out.EndObject();
}

template <typename Record, std::size_t N>
void ReadObject(Input& in, Record& record, const Rule<Record> (&rules)[N]) {
  static_assert(N < 32);
  if (in.json.Peek() != JsonReader::Type::kObject) in.Fail("must be a JSON object");
  record.at = in.json.PositionOf(in.json.Offset());
  in.json.BeginObject();
  std::uint32_t seen = 0;
  std::string key;
  while (in.json.NextKey(key)) {
    const TextPosition key_at = in.json.KeyAt();
    in.path.push_back(key);
    std::size_t found = N;
    for (std::size_t i = 0; i < N && found == N; ++i) {
      if (key == rules[i].key) found = i;
    }
    const std::uint32_t bit = 1u << (found == N ? 31 : found);
    if ((seen & bit) != 0 && (found != N || key == "note")) in.Fail(key_at, "is given twice");
    if (found == N && key != "note") in.Fail(key_at, "unknown field");
    seen |= bit;
    if (found == N) {
      if (in.json.Peek() != JsonReader::Type::kString) in.Fail("must be a text");
      in.json.Skip();  // a note: for the reader, ignored
    } else {
      rules[found].read(in, record);
    }
    in.path.pop_back();
  }
}

// ---------------------------------------------------------------------------
// Values.

template <std::int64_t Low, std::int64_t High, typename Type>
struct IntegerValue {
  static void Write(JsonWriter& out, Type value) {
    if constexpr (std::numeric_limits<Type>::is_signed) {
      out.Signed(value);
    } else {
      out.Unsigned(value);
    }
  }
  static Type Read(Input& in) {
    const std::size_t at = in.json.Offset();
    if (in.json.Peek() != JsonReader::Type::kNumber) in.Fail("must be an integer");
    std::int64_t value = 0;
    try {
      value = in.json.Integer();
    } catch (const JsonError& error) {
      in.Fail(at, error.what());  // a fraction, an exponent, or too large: not a field's value
    }
    if (value < Low || value > High)
      in.Fail(at, std::to_string(value) + " is outside " + std::to_string(Low) + " to " + std::to_string(High));
    return static_cast<Type>(value);
  }
};

using ByteValue = IntegerValue<0, 0xFF, std::uint8_t>;
using WordValue = IntegerValue<0, 0xFFFF, std::uint16_t>;
using OffsetValue = IntegerValue<0, 0xFFFFFFFF, std::uint32_t>;
using CountValue = IntegerValue<0, std::numeric_limits<std::int64_t>::max(), std::uint64_t>;
using IndexValue = IntegerValue<0, std::numeric_limits<std::uint32_t>::max(), std::uint32_t>;
// Header fields the file holds in 16 bits, given by hand as signed or unsigned numbers.
using SignedOrUnsignedWordValue = IntegerValue<-0x8000, 0xFFFF, std::int32_t>;
using SignedWordValue = IntegerValue<-0x8000, 0x7FFF, std::int32_t>;
using IntValue =
    IntegerValue<std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), std::int32_t>;

struct BoolValue {
  static void Write(JsonWriter& out, bool value) { out.Bool(value); }
  static bool Read(Input& in) {
    if (in.json.Peek() != JsonReader::Type::kBool) in.Fail("must be true or false");
    return in.json.Bool();
  }
};

// A text: UTF-8 as it is.
struct StringValue {
  static void Write(JsonWriter& out, const std::string& text) { out.String(text); }
  static std::string Read(Input& in) {
    if (in.json.Peek() != JsonReader::Type::kString) in.Fail("must be a text");
    return in.json.String();
  }
};

// Bytes as pairs of hexadecimal digits.
struct HexValue {
  static void Write(JsonWriter& out, const std::string& bytes) { out.String(HexBytes(bytes)); }
  static std::string Read(Input& in) {
    const std::size_t at = in.json.Offset();
    std::optional<std::string> bytes =
        in.json.Peek() == JsonReader::Type::kString ? ParseHexBytes(in.json.String()) : std::nullopt;
    if (!bytes) in.Fail(at, "must be pairs of hexadecimal digits");
    return *bytes;
  }
};

// By hand: a UTF-8 text stored in Shift_JIS, or {"hex": "..."} for raw bytes.
struct TextValue {
  static void Write(JsonWriter& out, const std::string& bytes) {
    out.BeginObject();
    out.Key("hex");
    HexValue::Write(out, bytes);
    out.EndObject();
  }
  static std::string Read(Input& in) {
    const TextPosition at = in.json.Here();
    if (in.json.Peek() == JsonReader::Type::kString) {
      const std::string utf8 = in.json.String();
      std::optional<std::string> bytes = Utf8ToShiftJis(utf8);
      if (!bytes) in.Fail(at, NoShiftJisForm(utf8));
      return *bytes;
    }
    if (in.json.Peek() != JsonReader::Type::kObject) in.Fail("must be a text or {\"hex\": \"...\"}");
    in.json.BeginObject();
    std::string key;
    std::optional<std::string> bytes;
    while (in.json.NextKey(key)) {
      if (key != "hex" || bytes) in.Fail(at, "must be a text or {\"hex\": \"...\"}");
      in.path.push_back("hex");
      bytes = HexValue::Read(in);
      in.path.pop_back();
    }
    if (!bytes) in.Fail(at, "must be a text or {\"hex\": \"...\"}");
    return *bytes;
  }
};

// By hand: a name or a string of the table, which ends at its first NUL in the file.
struct NameTextValue {
  static void Write(JsonWriter& out, const std::string& bytes) { TextValue::Write(out, bytes); }
  static std::string Read(Input& in) {
    const TextPosition at = in.json.Here();
    std::string bytes = TextValue::Read(in);
    if (bytes.find('\0') != std::string::npos) in.Fail(at, kTextHoldsNul);
    return bytes;
  }
};

// By hand: a string of the table or a station's or route's name, which goes into the string pool.
template <bool Name>
struct PooledTextValue {
  static void Write(JsonWriter& out, const std::string& bytes) { TextValue::Write(out, bytes); }
  static std::string Read(Input& in) {
    const TextPosition at = in.json.Here();
    std::string bytes = NameTextValue::Read(in);
    const std::string passed = Name ? in.pool.AddName(bytes) : in.pool.AddString(bytes);
    if (!passed.empty()) in.Fail(at, passed);
    return bytes;
  }
};

// Bytes of the string pool, which holds at most 65535.
template <typename Value>
struct PoolValue {
  static void Write(JsonWriter& out, const std::string& bytes) { Value::Write(out, bytes); }
  static std::string Read(Input& in) {
    const TextPosition at = in.json.Here();
    std::string bytes = Value::Read(in);
    if (bytes.size() > 0xFFFF) in.Fail(at, "holds more than 65535 bytes");
    return bytes;
  }
};

template <typename Value>
struct NullableValue {
  template <typename Type>
  static void Write(JsonWriter& out, const std::optional<Type>& value) {
    if (value) {
      Value::Write(out, *value);
    } else {
      out.Null();
    }
  }
  static auto Read(Input& in) -> std::optional<decltype(Value::Read(in))> {
    if (in.json.Peek() == JsonReader::Type::kNull) {
      in.json.Null();
      return std::nullopt;
    }
    return Value::Read(in);
  }
};

// A number as it is, or a name.
struct ReferenceValue {
  static void Write(JsonWriter& out, const Reference& reference) {
    if (reference.number) {
      out.Unsigned(*reference.number);
    } else {
      out.String(reference.name);
    }
  }
  static Reference Read(Input& in) {
    Reference reference;
    if (in.json.Peek() == JsonReader::Type::kString) {
      reference.name = in.json.String();
    } else {
      reference.number = WordValue::Read(in);
    }
    return reference;
  }
};

template <typename Value, const Table* Limit = nullptr>
struct ListValue {
  template <typename Type>
  static void Write(JsonWriter& out, const std::vector<Type>& items) {
    out.BeginArray();
    for (const Type& item : items) Value::Write(out, item);
    out.EndArray();
  }
  static auto Read(Input& in) -> std::vector<decltype(Value::Read(in))> {
    std::vector<decltype(Value::Read(in))> items;
    if (in.json.Peek() != JsonReader::Type::kArray) in.Fail("must be a JSON array");
    in.json.BeginArray();
    while (in.json.NextItem()) {
      in.path.push_back("[" + std::to_string(items.size()) + "]");
      if constexpr (Limit != nullptr) {
        if (++in.tallies[Limit->slot] > Limit->most)
          in.Fail("more than " + std::to_string(Limit->most) + " " + Limit->items + ": " + Limit->count);
      }
      items.push_back(Value::Read(in));
      in.path.pop_back();
    }
    return items;
  }
};

template <typename Record, const auto& Rules>
struct ObjectValue {
  static void Write(JsonWriter& out, const Record& record) { WriteObject(out, record, Rules); }
  static Record Read(Input& in) {
    Record record;
    ReadObject(in, record, Rules);
    return record;
  }
};

template <typename Record, const auto& Rules, const Table* Limit>
using ObjectListValue = ListValue<ObjectValue<Record, Rules>, Limit>;

// The tables, with the width of their counts in the file (network/IntermediateFormat.h).
constexpr Table kStationTable = {"stations", 0x7FFF, "the file's station count is a signed 16-bit number", 0};
constexpr Table kRouteTable = {"routes", 0x7FFF, "the file's route count is a signed 16-bit number", 1};
constexpr Table kStopTable = {"stops in all", 0x7FFF,
                              "the file's route-station capacity, which they must fit, is a signed 16-bit number", 2};
constexpr Table kNodeTable = {"nodes", 0xFFFF, "the file's node count is an unsigned 16-bit number", 3};
constexpr Table kEdgeTable = {"edges in all", 0x7FFF,
                              "the file's edge capacity, which they must fit, is a signed 16-bit number", 4};
constexpr Table kStringTable = {"strings", 0x7FFF, "the file's string count is a signed 16-bit number", 5};
constexpr Table kStringIndexTable = {"strings", 0x7FFF, "the file's string count is a signed 16-bit number", 6};
constexpr Table kCompanyTable = {"companies", 0x7FFF,
                                 "each has a route, and the file's route count is a signed 16-bit number", 7};
constexpr Table kCompanyRouteTable = {
    "routes in all", 0x7FFF, "each is in one company, and the file's route count is a signed 16-bit number", 8};
constexpr Table kRecordTable = {"records", 0xFFFF, "the image's record count is an unsigned 16-bit number", 9};
constexpr Table kProblemTable = {"problems", 0xFFFF, "no dump of a file lists that many", 10};
constexpr Table kWarningTable = {"warnings", 0xFFFF, "no dump of a file lists that many", 11};

constexpr FieldRole kReadBack = FieldRole::kReadBack;
constexpr FieldRole kDerived = FieldRole::kDerived;
constexpr FieldRole kName = FieldRole::kName;
constexpr FieldRole kByHand = FieldRole::kByHand;

// ---------------------------------------------------------------------------
// The records' fields, by kind of document. A field that two kinds share is
// defined once and listed in both tables.

template <typename Record>
constexpr Rule<Record> Index() {
  return Field<IndexValue, &Record::index>("index", kDerived);
}

// Stops and edges.
constexpr Rule<StopEntry> kStopStation = Field<ReferenceValue, &StopEntry::station>("station", kReadBack);
constexpr Rule<StopEntry> kStopCompanion = Field<WordValue, &StopEntry::companion>("companion", kReadBack);
constexpr Rule<StopEntry> kStop[] = {kStopStation, kStopCompanion};

constexpr Rule<EdgeEntry> kEdgeTarget = Field<WordValue, &EdgeEntry::target>("target", kReadBack);
constexpr Rule<EdgeEntry> kEdgeValue = Field<WordValue, &EdgeEntry::value>("value", kReadBack);
constexpr Rule<EdgeEntry> kEdge[] = {kEdgeTarget, kEdgeValue};
constexpr Rule<EdgeEntry> kUnownedEdge[] = {Index<EdgeEntry>(), kEdgeTarget, kEdgeValue};
constexpr Rule<EdgeEntry> kDescribedEdge[] = {Field<ReferenceValue, &EdgeEntry::to>("to", kByHand), kEdgeValue};

// Stations.
constexpr Rule<StationEntry> kStationName = Field<StringValue, &StationEntry::name>("name", kName);
constexpr Rule<StationEntry> kStationNameBytes = Field<HexValue, &StationEntry::name_bytes>("name_bytes", kReadBack);
constexpr Rule<StationEntry> kStationWordA = Field<WordValue, &StationEntry::word_a>("word_a", kReadBack);
constexpr Rule<StationEntry> kStationWordB = Field<WordValue, &StationEntry::word_b>("word_b", kReadBack);
constexpr Rule<StationEntry> kStationSpare = Field<WordValue, &StationEntry::spare>("spare", kReadBack);
constexpr Rule<StationEntry> kStationSort = Field<WordValue, &StationEntry::sort>("sort", kReadBack);
constexpr Rule<StationEntry> kStationKanaSort = Field<WordValue, &StationEntry::kana_sort>("kana_sort", kReadBack);
constexpr Rule<StationEntry> kFileStation[] = {Index<StationEntry>(), kStationName,    kStationNameBytes,
                                               kStationWordA,         kStationWordB,   kStationSpare,
                                               kStationSort,          kStationKanaSort};
constexpr Rule<StationEntry> kImageStation[] = {Index<StationEntry>(), kStationName, kStationNameBytes, kStationWordA,
                                                kStationWordB,         kStationSort, kStationKanaSort};
constexpr Rule<StationEntry> kDescribedStation[] = {
    Field<PooledTextValue<true>, &StationEntry::name_text>("name", kByHand),
    kStationWordA,
    kStationWordB,
    kStationSpare,
    kStationSort,
    kStationKanaSort};

// Routes.
constexpr Rule<RouteEntry> kRouteNameIndex = Field<WordValue, &RouteEntry::name_index>("name_index", kReadBack);
constexpr Rule<RouteEntry> kRouteName = Field<NullableValue<StringValue>, &RouteEntry::name>("name", kName);
constexpr Rule<RouteEntry> kRouteNameBytes = Field<HexValue, &RouteEntry::name_bytes>("name_bytes", kReadBack);
constexpr Rule<RouteEntry> kRouteCompany = Field<NullableValue<WordValue>, &RouteEntry::company>("company", kDerived);
constexpr Rule<RouteEntry> kRouteCompanyLength =
    Field<ByteValue, &RouteEntry::company_length>("company_length", kReadBack);
constexpr Rule<RouteEntry> kRouteCompanyName = Field<StringValue, &RouteEntry::company_name>("company_name", kDerived);
constexpr Rule<RouteEntry> kRouteCompanyNameBytes =
    Field<HexValue, &RouteEntry::company_name_bytes>("company_name_bytes", kDerived);
constexpr Rule<RouteEntry> kRouteSpare = Field<WordValue, &RouteEntry::spare>("spare", kReadBack);
constexpr Rule<RouteEntry> kRouteFirstSlot = Field<WordValue, &RouteEntry::first_slot>("first_slot", kDerived);
constexpr Rule<RouteEntry> kRouteStationCount = Field<WordValue, &RouteEntry::station_count>("station_count", kDerived);
constexpr Rule<RouteEntry> kRouteWord = Field<WordValue, &RouteEntry::word>("word", kReadBack);
constexpr Rule<RouteEntry> kRouteByte = Field<ByteValue, &RouteEntry::byte>("byte", kReadBack);
constexpr Rule<RouteEntry> kRouteTrailer = Field<WordValue, &RouteEntry::trailer>("trailer", kReadBack);
constexpr Rule<RouteEntry> kRouteStops =
    Field<ObjectListValue<StopEntry, kStop, &kStopTable>, &RouteEntry::stops>("stops", kReadBack);
constexpr Rule<RouteEntry> kFileRoute[] = {
    Index<RouteEntry>(), kRouteNameIndex,     kRouteName,        kRouteNameBytes,
    kRouteCompany,       kRouteCompanyLength, kRouteCompanyName, kRouteCompanyNameBytes,
    kRouteSpare,         kRouteStationCount,  kRouteWord,        kRouteByte,
    kRouteTrailer,       kRouteStops};
constexpr Rule<RouteEntry> kImageRoute[] = {
    Index<RouteEntry>(), kRouteNameIndex,     kRouteName,        kRouteNameBytes,
    kRouteCompany,       kRouteCompanyLength, kRouteCompanyName, kRouteCompanyNameBytes,
    kRouteFirstSlot,     kRouteStationCount,  kRouteWord,        kRouteByte,
    kRouteTrailer,       kRouteStops};
constexpr Rule<RouteEntry> kDescribedRoute[] = {
    Field<PooledTextValue<true>, &RouteEntry::name_text>("name", kByHand),
    Field<NameTextValue, &RouteEntry::company_text>("company", kByHand),
    kRouteWord,
    kRouteByte,
    kRouteTrailer,
    kRouteStops,
    Field<WordValue, &RouteEntry::name_index>("name_index", kByHand),
    Field<ByteValue, &RouteEntry::company_length>("company_length", kByHand),
    kRouteSpare,
    Field<WordValue, &RouteEntry::station_count>("station_count", kByHand)};

// Nodes.
constexpr Rule<NodeEntry> kNodeWordA = Field<WordValue, &NodeEntry::word_a>("word_a", kReadBack);
constexpr Rule<NodeEntry> kNodeWordB = Field<WordValue, &NodeEntry::word_b>("word_b", kReadBack);
constexpr Rule<NodeEntry> kNodeEdgeCount = Field<WordValue, &NodeEntry::edge_count>("edge_count", kDerived);
constexpr Rule<NodeEntry> kNodeEdges =
    Field<ObjectListValue<EdgeEntry, kEdge, &kEdgeTable>, &NodeEntry::edges>("edges", kReadBack);
constexpr Rule<NodeEntry> kFileNode[] = {Index<NodeEntry>(), kNodeWordA, kNodeWordB, kNodeEdgeCount, kNodeEdges};
constexpr Rule<NodeEntry> kImageNode[] = {
    Index<NodeEntry>(),
    kNodeWordA,
    kNodeWordB,
    Field<NullableValue<WordValue>, &NodeEntry::mark>("mark", kDerived),
    Field<NullableValue<WordValue>, &NodeEntry::first_edge>("first_edge", kDerived),
    kNodeEdgeCount,
    kNodeEdges,
    Field<StringValue, &NodeEntry::role>("role", kDerived)};
constexpr Rule<NodeEntry> kDescribedNode[] = {
    Field<StringValue, &NodeEntry::id>("id", kByHand),
    Field<ReferenceValue, &NodeEntry::station>("station", kByHand),
    Field<ReferenceValue, &NodeEntry::route>("route", kByHand),
    kNodeWordA,
    kNodeWordB,
    Field<ObjectListValue<EdgeEntry, kDescribedEdge, &kEdgeTable>, &NodeEntry::edges>("edges", kByHand),
    Field<WordValue, &NodeEntry::edge_count>("edge_count", kByHand)};

// Strings and companies.
constexpr Rule<StringEntry> kString[] = {Index<StringEntry>(),
                                         Field<WordValue, &StringEntry::offset>("offset", kReadBack),
                                         Field<NullableValue<StringValue>, &StringEntry::text>("text", kReadBack),
                                         Field<HexValue, &StringEntry::text_bytes>("text_bytes", kReadBack),
                                         Field<BoolValue, &StringEntry::terminated>("terminated", kDerived)};
constexpr Rule<CompanyEntry> kCompany[] = {
    Field<CountValue, &CompanyEntry::number>("number", kDerived),
    Field<NullableValue<StringValue>, &CompanyEntry::name>("name", kDerived),
    Field<HexValue, &CompanyEntry::name_bytes>("name_bytes", kDerived),
    Field<ListValue<CountValue, &kCompanyRouteTable>, &CompanyEntry::routes>("routes", kDerived)};

// The header of an intermediate data file: as the dump shows it, and as a description overrides it.
constexpr Rule<HeaderEntry> kBaseOffset = Field<OffsetValue, &HeaderEntry::base_offset>("base_offset", kReadBack);
constexpr Rule<HeaderEntry> kTrailerOffset =
    Field<OffsetValue, &HeaderEntry::trailer_offset>("trailer_offset", kReadBack);
constexpr Rule<HeaderEntry> kFileHeader[] = {
    Field<HexValue, &HeaderEntry::magic>("magic", kReadBack),
    kBaseOffset,
    kTrailerOffset,
    Field<HexValue, &HeaderEntry::unused_middle>("unused_middle", kReadBack),
    Field<SignedWordValue, &HeaderEntry::rstat_capacity>("rstat_capacity", kReadBack),
    Field<IntValue, &HeaderEntry::node_count>("node_count", kDerived),
    Field<IntValue, &HeaderEntry::station_count>("station_count", kDerived),
    Field<IntValue, &HeaderEntry::route_count>("route_count", kDerived),
    Field<IntValue, &HeaderEntry::string_count>("string_count", kDerived),
    Field<IntValue, &HeaderEntry::pool_size>("pool_size", kDerived),
    Field<SignedWordValue, &HeaderEntry::edge_capacity>("edge_capacity", kReadBack),
    Field<HexValue, &HeaderEntry::unused_tail>("unused_tail", kReadBack),
    Field<CountValue, &HeaderEntry::effective_rstat_capacity>("effective_rstat_capacity", kDerived),
    Field<CountValue, &HeaderEntry::effective_edge_capacity>("effective_edge_capacity", kDerived)};
constexpr Rule<HeaderEntry> kDescribedHeader[] = {
    Field<TextValue, &HeaderEntry::magic>("magic", kByHand),
    kBaseOffset,
    kTrailerOffset,
    Field<SignedOrUnsignedWordValue, &HeaderEntry::rstat_capacity>("rstat_capacity", kByHand),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::node_count>("node_count", kByHand),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::station_count>("station_count", kByHand),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::route_count>("route_count", kByHand),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::string_count>("string_count", kByHand),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::pool_size>("pool_size", kByHand),
    Field<SignedOrUnsignedWordValue, &HeaderEntry::edge_capacity>("edge_capacity", kByHand),
    Field<TextValue, &HeaderEntry::unused_middle>("unused_middle", kByHand),
    Field<TextValue, &HeaderEntry::unused_tail>("unused_tail", kByHand)};

// The container and the image header of an image.
constexpr Rule<DatabaseEntry> kDatabase[] = {
    Field<StringValue, &DatabaseEntry::name>("name", kDerived),
    Field<CountValue, &DatabaseEntry::attributes>("attributes", kDerived),
    Field<CountValue, &DatabaseEntry::version>("version", kDerived),
    Field<CountValue, &DatabaseEntry::creation_date>("creation_date", kDerived),
    Field<CountValue, &DatabaseEntry::modification_date>("modification_date", kDerived),
    Field<CountValue, &DatabaseEntry::backup_date>("backup_date", kDerived),
    Field<CountValue, &DatabaseEntry::modification_number>("modification_number", kDerived),
    Field<CountValue, &DatabaseEntry::app_info_offset>("app_info_offset", kDerived),
    Field<CountValue, &DatabaseEntry::sort_info_offset>("sort_info_offset", kDerived),
    Field<StringValue, &DatabaseEntry::type>("type", kDerived),
    Field<StringValue, &DatabaseEntry::creator>("creator", kDerived),
    Field<CountValue, &DatabaseEntry::unique_id_seed>("unique_id_seed", kDerived),
    Field<CountValue, &DatabaseEntry::next_record_list>("next_record_list", kDerived),
    Field<CountValue, &DatabaseEntry::record_count>("record_count", kDerived)};
constexpr Rule<RecordEntry> kRecord[] = {Index<RecordEntry>(),
                                         Field<StringValue, &RecordEntry::content>("content", kDerived),
                                         Field<CountValue, &RecordEntry::offset>("offset", kDerived),
                                         Field<CountValue, &RecordEntry::attributes>("attributes", kDerived),
                                         Field<CountValue, &RecordEntry::unique_id>("unique_id", kDerived),
                                         Field<NullableValue<CountValue>, &RecordEntry::length>("length", kDerived)};
constexpr Rule<ImageHeaderEntry> kImageHeader[] = {
    Field<StringValue, &ImageHeaderEntry::magic>("magic", kDerived),
    Field<StringValue, &ImageHeaderEntry::version>("version", kDerived),
    Field<CountValue, &ImageHeaderEntry::station_count>("station_count", kDerived),
    Field<CountValue, &ImageHeaderEntry::route_count>("route_count", kDerived),
    Field<CountValue, &ImageHeaderEntry::string_count>("string_count", kDerived),
    Field<CountValue, &ImageHeaderEntry::pool_size>("pool_size", kDerived),
    Field<WordValue, &ImageHeaderEntry::rstat_capacity>("rstat_capacity", kReadBack),
    Field<CountValue, &ImageHeaderEntry::node_total>("node_total", kDerived),
    Field<CountValue, &ImageHeaderEntry::file_node_count>("file_node_count", kDerived),
    Field<CountValue, &ImageHeaderEntry::edge_count>("edge_count", kDerived),
    Field<CountValue, &ImageHeaderEntry::value_entry_count>("value_entry_count", kDerived)};
constexpr Rule<RouteStationsEntry> kRouteStations[] = {
    Field<CountValue, &RouteStationsEntry::capacity>("capacity", kDerived),
    Field<CountValue, &RouteStationsEntry::slots>("slots", kDerived),
    Field<CountValue, &RouteStationsEntry::slots_used>("slots_used", kDerived)};

// Whole documents. The document has no `at` of its own to speak of.
constexpr const char* KindName(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kIntermediate: return "intermediate";
    case DocumentKind::kDatabase: return "database";
    case DocumentKind::kUnknown: return "unknown";
    case DocumentKind::kDescription: break;
  }
  return "description";
}
// The kinds of dump fenwamake makes a file of (a description has no kind).
constexpr DocumentKind kKindsMade[] = {DocumentKind::kDatabase, DocumentKind::kIntermediate};

// A dump's kind, written from the document's; the kind was read before the rest (KindOf).
constexpr Rule<Document> kKind = {
    "kind", kDerived, [](const Document& document) { return document.kind != DocumentKind::kDescription; },
    [](JsonWriter& out, const Document& document) { out.String(KindName(document.kind)); },
    [](Input& in, Document&) { StringValue::Read(in); }};
constexpr Rule<Document> kSize = Field<CountValue, &Document::size>("size", kDerived);
constexpr Rule<Document> kCompanies =
    Field<ObjectListValue<CompanyEntry, kCompany, &kCompanyTable>, &Document::companies>("companies", kDerived);
constexpr Rule<Document> kStrings =
    Field<ObjectListValue<StringEntry, kString, &kStringTable>, &Document::strings>("strings", kReadBack);
constexpr Rule<Document> kStringPool = Field<PoolValue<HexValue>, &Document::string_pool>("string_pool", kReadBack);
constexpr Rule<Document> kProblems =
    Field<ListValue<StringValue, &kProblemTable>, &Document::problems>("problems", kDerived);
constexpr Rule<Document> kWarnings =
    Field<ListValue<StringValue, &kWarningTable>, &Document::warnings>("warnings", kDerived);
constexpr Rule<Document> kFileDocument[] = {
    kKind,
    kSize,
    Field<ObjectValue<HeaderEntry, kFileHeader>, &Document::header>("header", kReadBack),
    Field<CountValue, &Document::node_section_end>("node_section_end", kDerived),
    Field<CountValue, &Document::edge_total>("edge_total", kDerived),
    Field<ObjectListValue<StationEntry, kFileStation, &kStationTable>, &Document::stations>("stations", kReadBack),
    Field<ObjectListValue<RouteEntry, kFileRoute, &kRouteTable>, &Document::routes>("routes", kReadBack),
    kCompanies,
    kStrings,
    kStringPool,
    Field<ObjectListValue<NodeEntry, kFileNode, &kNodeTable>, &Document::nodes>("nodes", kReadBack),
    kProblems,
    kWarnings};
constexpr Rule<Document> kImageDocument[] = {
    kKind,
    kSize,
    Field<ObjectValue<DatabaseEntry, kDatabase>, &Document::database>("database", kDerived),
    Field<ObjectListValue<RecordEntry, kRecord, &kRecordTable>, &Document::records>("records", kDerived),
    Field<ObjectValue<ImageHeaderEntry, kImageHeader>, &Document::image_header>("image_header", kDerived),
    Field<ObjectListValue<StationEntry, kImageStation, &kStationTable>, &Document::stations>("stations", kReadBack),
    Field<ObjectValue<RouteStationsEntry, kRouteStations>, &Document::route_stations>("route_stations", kDerived),
    Field<ObjectListValue<RouteEntry, kImageRoute, &kRouteTable>, &Document::routes>("routes", kReadBack),
    kCompanies,
    kStrings,
    kStringPool,
    Field<ObjectListValue<NodeEntry, kImageNode, &kNodeTable>, &Document::nodes>("nodes", kReadBack),
    Field<ObjectListValue<EdgeEntry, kUnownedEdge, &kEdgeTable>, &Document::unowned_edges>("unowned_edges", kReadBack),
    Field<CountValue, &Document::edge_count>("edge_count", kDerived),
    kProblems,
    kWarnings};
constexpr Rule<Document> kUnknownDocument[] = {kKind, kSize, kProblems, kWarnings};
constexpr Rule<Document> kDescription[] = {
    Field<ListValue<PooledTextValue<false>, &kStringTable>, &Document::extra_strings>("strings", kByHand),
    Field<ObjectListValue<StationEntry, kDescribedStation, &kStationTable>, &Document::stations>("stations", kByHand),
    Field<ObjectListValue<RouteEntry, kDescribedRoute, &kRouteTable>, &Document::routes>("routes", kByHand),
    Field<ObjectListValue<NodeEntry, kDescribedNode, &kNodeTable>, &Document::nodes>("nodes", kByHand),
    Field<ObjectValue<HeaderEntry, kDescribedHeader>, &Document::header>("header", kByHand),
    Field<StringValue, &Document::section_order>("section_order", kByHand),
    Field<ListValue<WordValue, &kStringIndexTable>, &Document::raw_string_index>("raw_string_index", kByHand),
    Field<PoolValue<TextValue>, &Document::raw_pool>("raw_pool", kByHand)};

// The kind a document says it is, from its "kind" (usually its first member).
DocumentKind KindOf(Input& in) {
  if (in.json.Peek() != JsonReader::Type::kObject) in.Fail("must be a JSON object");
  in.json.BeginObject();
  std::string key;
  while (in.json.NextKey(key)) {
    if (key != "kind") {
      in.json.Skip();
      continue;
    }
    in.path.push_back("kind");
    const std::size_t at = in.json.Offset();
    const std::string kind = StringValue::Read(in);
    for (DocumentKind dump : {DocumentKind::kIntermediate, DocumentKind::kDatabase, DocumentKind::kUnknown}) {
      if (kind == KindName(dump)) return dump;
    }
    in.Fail(at, KindRefusal());
  }
  return DocumentKind::kDescription;
}

template <typename Record, std::size_t N>
FieldListing Listing(const std::string& record, const Rule<Record> (&rules)[N]) {
  FieldListing listing{record, {}};
  for (const Rule<Record>& rule : rules) listing.fields.emplace_back(rule.key, rule.role);
  return listing;
}

}  // namespace

std::string NoShiftJisForm(const std::string& utf8) {
  return Quoted(utf8) + " has a character that Shift_JIS cannot hold";
}

std::string FieldPath(const std::vector<std::string>& segments) {
  std::string path;
  for (const std::string& segment : segments) {
    if (!path.empty() && segment[0] != '[') path += '.';
    path += segment;
  }
  return path;
}

namespace {

// A refusal of the JSON itself, at the field `in` was reading.
[[noreturn]] void Refuse(const Input& in, const JsonError& error) {
  throw ToolError(in.json.PositionOf(error.Offset()), FieldPath(in.path),
                  std::string("not valid JSON: ") + error.what());
}

// The kind `in` says it is; a text that is not JSON before any "kind" is read
// as a description, which meets the same fault and names its field.
DocumentKind KindOfText(Input in) {
  try {
    return KindOf(in);
  } catch (const JsonError&) {
    return DocumentKind::kDescription;
  }
}

// Reads the document `in` holds, of the kind it says it is.
Document Read(DocumentKind kind, Input& in) {
  Document document;
  document.kind = kind;
  try {
    switch (document.kind) {
      case DocumentKind::kDescription: ReadObject(in, document, kDescription); break;
      case DocumentKind::kIntermediate: ReadObject(in, document, kFileDocument); break;
      case DocumentKind::kDatabase: ReadObject(in, document, kImageDocument); break;
      case DocumentKind::kUnknown: ReadObject(in, document, kUnknownDocument); break;
    }
    in.json.Finish();
  } catch (const JsonError& error) {
    Refuse(in, error);
  }
  return document;
}

}  // namespace

bool KindIsMade(DocumentKind kind) {
  return kind == DocumentKind::kDescription ||
         std::find(std::begin(kKindsMade), std::end(kKindsMade), kind) != std::end(kKindsMade);
}

std::string KindRefusal() {
  std::string text = "must be";
  for (std::size_t i = 0; i < std::size(kKindsMade); ++i) {
    text += i == 0 ? " \"" : i + 1 < std::size(kKindsMade) ? ", \"" : " or \"";
    text += KindName(kKindsMade[i]) + std::string("\"");
  }
  return text + ": fenwamake reads fenwadump's dump of a file it could read";
}

std::string DescribeRefusal(const ToolError& error) {
  std::string text;
  if (error.At())
    text = "line " + std::to_string(error.At()->line) + ", column " + std::to_string(error.At()->column) + ": ";
  return text + (error.Path().empty() ? "" : error.Path() + ": ") + error.what();
}

Document ReadDocument(std::string_view text) {
  const DocumentKind kind = KindOfText(Input(text));
  Input in(text);
  return Read(kind, in);
}

Document ReadDocument(const std::function<JsonPieces()>& open) {
  const DocumentKind kind = KindOfText(Input(open()));  // its buffer is gone before the document is read
  Input in(open());
  return Read(kind, in);
}

std::string WriteDocument(const Document& document, const std::function<void(std::string&)>& drain) {
  std::string text;
  JsonWriter out(text, drain);
  switch (document.kind) {
    case DocumentKind::kIntermediate: WriteObject(out, document, kFileDocument); break;
    case DocumentKind::kDatabase: WriteObject(out, document, kImageDocument); break;
    case DocumentKind::kUnknown:
    case DocumentKind::kDescription: WriteObject(out, document, kUnknownDocument); break;
  }
  text += '\n';
  return text;
}

std::vector<FieldListing> ListFields() {
  return {Listing("description", kDescription),
          Listing("description station", kDescribedStation),
          Listing("description route", kDescribedRoute),
          Listing("description stop", kStop),
          Listing("description node", kDescribedNode),
          Listing("description edge", kDescribedEdge),
          Listing("description header", kDescribedHeader),
          Listing("intermediate", kFileDocument),
          Listing("intermediate header", kFileHeader),
          Listing("intermediate station", kFileStation),
          Listing("intermediate route", kFileRoute),
          Listing("intermediate stop", kStop),
          Listing("intermediate company", kCompany),
          Listing("intermediate string", kString),
          Listing("intermediate node", kFileNode),
          Listing("intermediate edge", kEdge),
          Listing("database", kImageDocument),
          Listing("database database", kDatabase),
          Listing("database record", kRecord),
          Listing("database image_header", kImageHeader),
          Listing("database station", kImageStation),
          Listing("database route_stations", kRouteStations),
          Listing("database route", kImageRoute),
          Listing("database stop", kStop),
          Listing("database company", kCompany),
          Listing("database string", kString),
          Listing("database node", kImageNode),
          Listing("database edge", kEdge),
          Listing("database unowned edge", kUnownedEdge),
          Listing("unknown", kUnknownDocument)};
}
