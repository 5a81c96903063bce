// The machinery of the records' declarations (Records.h): how a field's value
// is written to JSON, read back from it with a path for every refusal, taken
// from a file's record, and shown by the difference. Only Records.h and the
// code that walks its tables include this.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "base/Bytes.h"
#include "network/IntermediateFormat.h"
#include "network/Network.h"
#include "pdb/ImageFormat.h"
#include "text/Hex.h"
#include "text/Json.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"
#include "toolkit/Document.h"
#include "toolkit/JsonMapping.h"

namespace records {

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
inline constexpr std::size_t kTables = 12;

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

// Which documents list a field: a dump of an intermediate data file, a dump of
// an image, a description written by hand.
enum Documents : unsigned {
  kInIntermediateDump = 1,
  kInImageDump = 2,
  kInDescription = 4,
  kInUnknownDump = 8,  // a dump of a file of no kind
  kInDumps = kInIntermediateDump | kInImageDump,
  kInAll = kInDumps | kInDescription | kInUnknownDump,
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
  unsigned documents = kInAll;                 // the kind of document being read
  std::vector<std::string> path;               // left as it is when a refusal is thrown, so that it names the field
  std::array<std::size_t, kTables> tallies{};  // the items read so far of each table
  PoolTally pool;
};

// The file formats a record is read from.
enum class RecordFormat { kIntermediate, kImage };

template <typename T>
struct IsNullableNumber : std::false_type {};
template <typename T>
struct IsNullableNumber<std::optional<T>> : std::bool_constant<std::is_arithmetic_v<T>> {};

// The value of a field that is a number, a text or a number that may be null;
// nothing of a list or an object, which the difference does not show as one value.
template <typename T>
FieldValue ValueOf(const Maybe<T>& value) {
  FieldValue out;
  if constexpr (std::is_same_v<T, std::string>) {
    out.text = value;
  } else if constexpr (std::is_arithmetic_v<T>) {
    if (value) out.number = static_cast<std::uint64_t>(*value);
  } else if constexpr (IsNullableNumber<T>::value) {
    if (value && *value) out.number = static_cast<std::uint64_t>(**value);
  }
  return out;
}

// Where a field is not: in no record of that file.
struct NoPlace {};
inline constexpr NoPlace kNowhere;

// A field's bytes in a record of a file, in the file's byte order; the type
// of what is read is the field's width.
template <RecordFormat Format>
std::uint16_t ReadPlace(const std::uint8_t* record, const WordField& field) {
  if constexpr (Format == RecordFormat::kImage) return image::Word(record, field);
  return intermediate::Word(record, field);
}
template <RecordFormat Format>
std::int16_t ReadPlace(const std::uint8_t* record, const SignedWordField& field) {
  static_assert(Format == RecordFormat::kIntermediate);
  return intermediate::SignedWord(record, field);
}
template <RecordFormat Format>
std::uint32_t ReadPlace(const std::uint8_t* record, const LongField& field) {
  if constexpr (Format == RecordFormat::kImage) return image::Long(record, field);
  return intermediate::Long(record, field);
}
template <RecordFormat Format>
std::uint32_t ReadPlace(const std::uint8_t* record, const image::ThreeByteField& field) {
  static_assert(Format == RecordFormat::kImage);
  return image::Long24(record, field);
}
template <RecordFormat Format>
std::uint8_t ReadPlace(const std::uint8_t* record, const ByteField& field) {
  return Byte(record, field);
}
template <RecordFormat Format, std::uint32_t Width>
std::string ReadPlace(const std::uint8_t* record, const BytesField<Width>& field) {
  return std::string(reinterpret_cast<const char*>(record) + field.offset, Width);
}

// A record's field: its key, what it is to fenwamake, the documents that list
// it, whether the difference compares it as it is, and how its value is
// written, read, taken from a file's record and shown.
template <typename Record>
struct Rule {
  using Decoder = void (*)(const std::uint8_t*, Record&);
  const char* key;
  FieldRole role;
  unsigned documents;
  bool compared;
  bool (*present)(const Record&);
  void (*write)(JsonWriter&, const Record&);
  void (*read)(Input&, Record&);
  Decoder decode[2];  // from its record in an intermediate data file, in an image; none where it is not there
  FieldValue (*value)(const Record&);

  // The same field, listed in these documents only.
  constexpr Rule In(unsigned in) const {
    Rule rule = *this;
    rule.documents = in;
    return rule;
  }
  // The same field, which the difference lists when its two sides differ.
  constexpr Rule Compared() const {
    Rule rule = *this;
    rule.compared = true;
    return rule;
  }
};

template <typename Member>
struct MemberOf;
template <typename Class, typename Type>
struct MemberOf<Type Class::*> {
  using Record = Class;
};

// The decoder of a field at `Place` in the records of `Format`, none when it is not there.
template <typename Value, auto Member, RecordFormat Format, const auto& Place>
constexpr auto DecoderAt() {
  using Record = typename MemberOf<decltype(Member)>::Record;
  if constexpr (std::is_same_v<std::decay_t<decltype(Place)>, NoPlace>) {
    return static_cast<typename Rule<Record>::Decoder>(nullptr);
  } else {
    return static_cast<typename Rule<Record>::Decoder>([](const std::uint8_t* bytes, Record& record) {
      record.*Member = Value::Decoded(ReadPlace<Format>(bytes, Place));
    });
  }
}

// A field of a record, in every document, at these places in the two files' records.
template <typename Value, auto Member, const auto& InIntermediate = kNowhere, const auto& InImage = kNowhere>
constexpr Rule<typename MemberOf<decltype(Member)>::Record> Field(const char* key, FieldRole role) {
  using Record = typename MemberOf<decltype(Member)>::Record;
  return {key,
          role,
          kInAll,
          false,
          [](const Record& record) { return (record.*Member).has_value(); },
          [](JsonWriter& out, const Record& record) { Value::Write(out, *(record.*Member)); },
          [](Input& in, Record& record) { record.*Member = Value::Read(in); },
          {DecoderAt<Value, Member, RecordFormat::kIntermediate, InIntermediate>(),
           DecoderAt<Value, Member, RecordFormat::kImage, InImage>()},
          [](const Record& record) { return ValueOf(record.*Member); }};
}

template <typename Record, std::size_t N>
void WriteObject(JsonWriter& out, const Record& record, const Rule<Record> (&rules)[N]) {
  out.BeginObject();
  for (const Rule<Record>& rule : rules) {
    // Only dumps are written: a field a description alone has is not.
    if ((rule.documents & (kInDumps | kInUnknownDump)) == 0 || !rule.present(record)) continue;
    out.Key(rule.key);
    rule.write(out, record);
  }
  out.EndObject();
}

template <typename Record, std::size_t N>
void ReadObject(Input& in, Record& record, const Rule<Record> (&rules)[N]) {
  static_assert(N < 64);
  if (in.json.Peek() != JsonReader::Type::kObject) in.Fail("must be a JSON object");
  record.at = in.json.PositionOf(in.json.Offset());
  in.json.BeginObject();
  std::uint64_t seen = 0;
  std::string key;
  while (in.json.NextKey(key)) {
    const TextPosition key_at = in.json.KeyAt();
    in.path.push_back(key);
    std::size_t found = N;
    for (std::size_t i = 0; i < N && found == N; ++i) {
      if (key == rules[i].key && (rules[i].documents & in.documents) != 0) found = i;
    }
    const std::uint64_t bit = std::uint64_t{1} << (found == N ? 63 : found);
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

// The fields of a record that lie in its bytes in a file of `format`, each
// read at its width in the file's byte order; the others are left as they are.
template <typename Record, std::size_t N>
void DecodeRecord(RecordFormat format, const std::uint8_t* bytes, Record& record, const Rule<Record> (&rules)[N]) {
  for (const Rule<Record>& rule : rules) {
    if (const auto decode = rule.decode[format == RecordFormat::kImage ? 1 : 0]) decode(bytes, record);
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
  // A number of a file's record, whose every value the field holds: a word cannot be taken as a byte.
  template <typename From>
  static Type Decoded(From value) {
    static_assert(std::is_integral_v<From> && std::numeric_limits<From>::min() >= Low &&
                  std::numeric_limits<From>::max() <= High);
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
struct Utf8Value {
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
  static std::string Decoded(std::string bytes) { return bytes; }
};

// A text of a file shown as ASCII, other bytes escaped; a name ends at its first NUL.
template <bool Name>
struct AsciiValue {
  static void Write(JsonWriter& out, const std::string& text) { Utf8Value::Write(out, text); }
  static std::string Read(Input& in) { return Utf8Value::Read(in); }
  static std::string Decoded(const std::string& bytes) {
    return AsciiEscaped(Name ? bytes.substr(0, bytes.find('\0')) : bytes);
  }
};

// By hand: a UTF-8 text stored in Shift_JIS, or {"hex": "..."} for raw bytes.
struct ShiftJisValue {
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
struct ShiftJisNameValue {
  static void Write(JsonWriter& out, const std::string& bytes) { ShiftJisValue::Write(out, bytes); }
  static std::string Read(Input& in) {
    const TextPosition at = in.json.Here();
    std::string bytes = ShiftJisValue::Read(in);
    if (bytes.find('\0') != std::string::npos) in.Fail(at, kTextHoldsNul);
    return bytes;
  }
};

// By hand: a string of the table or a station's or route's name, which goes into the string pool.
template <bool Name>
struct PooledValue {
  static void Write(JsonWriter& out, const std::string& bytes) { ShiftJisValue::Write(out, bytes); }
  static std::string Read(Input& in) {
    const TextPosition at = in.json.Here();
    std::string bytes = ShiftJisNameValue::Read(in);
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
  // A table index of a file's record: none is null.
  template <typename From>
  static auto Decoded(From index) {
    static_assert(std::is_same_v<From, std::uint16_t>);
    using Decoded = decltype(Value::Decoded(index));
    return index == kNoIndex ? std::optional<Decoded>() : std::optional<Decoded>(Value::Decoded(index));
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
  static Reference Decoded(std::uint16_t number) { return Reference{number, {}}; }
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
      if (Limit != nullptr) {  // known when compiled; a plain if, as the sanitizers build it
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
inline constexpr Table kStationTable = {"stations", 0x7FFF, "the file's station count is a signed 16-bit number", 0};
inline constexpr Table kRouteTable = {"routes", 0x7FFF, "the file's route count is a signed 16-bit number", 1};
inline constexpr Table kStopTable = {
    "stops in all", 0x7FFF, "the file's route-station capacity, which they must fit, is a signed 16-bit number", 2};
inline constexpr Table kNodeTable = {"nodes", 0xFFFF, "the file's node count is an unsigned 16-bit number", 3};
inline constexpr Table kEdgeTable = {"edges in all", 0x7FFF,
                                     "the file's edge capacity, which they must fit, is a signed 16-bit number", 4};
inline constexpr Table kStringTable = {"strings", 0x7FFF, "the file's string count is a signed 16-bit number", 5};
inline constexpr Table kStringIndexTable = {"strings", 0x7FFF, "the file's string count is a signed 16-bit number", 6};
inline constexpr Table kCompanyTable = {"companies", 0x7FFF,
                                        "each has a route, and the file's route count is a signed 16-bit number", 7};
inline constexpr Table kCompanyRouteTable = {
    "routes in all", 0x7FFF, "each is in one company, and the file's route count is a signed 16-bit number", 8};
inline constexpr Table kRecordTable = {"records", 0xFFFF, "the image's record count is an unsigned 16-bit number", 9};
inline constexpr Table kProblemTable = {"problems", 0xFFFF, "no dump of a file lists that many", 10};
inline constexpr Table kWarningTable = {"warnings", 0xFFFF, "no dump of a file lists that many", 11};

inline constexpr FieldRole kReadBack = FieldRole::kReadBack;
inline constexpr FieldRole kDerived = FieldRole::kDerived;
inline constexpr FieldRole kName = FieldRole::kName;
inline constexpr FieldRole kByHand = FieldRole::kByHand;

}  // namespace records
