#include "tools/fenwamake/Fields.h"

#include <algorithm>

#include "text/ShiftJis.h"

namespace fields {

void Fail(const std::string& where, const std::string& what) { throw DescriptionError(where + ": " + what); }

std::string At(const std::string& where, const std::string& key) { return where.empty() ? key : where + "." + key; }
std::string At(const std::string& where, std::size_t index) { return where + "[" + std::to_string(index) + "]"; }

void AllowOnly(const json& object, const std::string& where, std::initializer_list<const char*> keys) {
  if (!object.is_object()) Fail(where.empty() ? "the description" : where, "must be a JSON object");
  for (const auto& item : object.items()) {
    const bool known = item.key() == "note" ||
                       std::any_of(keys.begin(), keys.end(), [&](const char* key) { return item.key() == key; });
    if (!known) Fail(At(where, item.key()), "unknown field");
  }
}

const json& Array(const json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be a JSON array");
  return value;
}

std::int64_t Integer(const json& value, const std::string& where, std::int64_t low, std::int64_t high) {
  if (!value.is_number_integer()) Fail(where, "must be an integer");
  const std::int64_t number =
      value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX ? INT64_MAX : value.get<std::int64_t>();
  if (number < low || number > high)
    Fail(where, std::to_string(number) + " is outside " + std::to_string(low) + " to " + std::to_string(high));
  return number;
}

std::uint16_t Word(const json& value, const std::string& where) {
  return static_cast<std::uint16_t>(Integer(value, where, 0, 0xFFFF));
}

std::uint16_t SignedOrUnsignedWord(const json& value, const std::string& where) {
  return static_cast<std::uint16_t>(Integer(value, where, -0x8000, 0xFFFF) & 0xFFFF);
}

std::string ShiftJis(const std::string& utf8, const std::string& where) {
  std::optional<std::string> bytes = Utf8ToShiftJis(utf8);
  if (!bytes) Fail(where, "\"" + utf8 + "\" has a character that Shift_JIS cannot hold");
  return *bytes;
}

std::string Text(const json& value, const std::string& where) {
  if (value.is_string()) return ShiftJis(value.get<std::string>(), where);
  if (value.is_object() && value.size() == 1 && value.contains("hex") && value.at("hex").is_string())
    return HexText(value.at("hex"), At(where, "hex"));
  Fail(where, "must be a text or {\"hex\": \"...\"}");
}

std::string HexText(const json& value, const std::string& where) {
  std::optional<std::string> bytes = value.is_string() ? ParseHexBytes(value.get<std::string>()) : std::nullopt;
  if (!bytes) Fail(where, "must be pairs of hexadecimal digits");
  return *bytes;
}

std::uint16_t NameIndex::NamedWord(const json& value, const std::string& where) const {
  if (!value.is_string()) return Word(value, where);
  const std::string name = value.get<std::string>();
  auto found = numbers.find(name);
  if (found == numbers.end()) Fail(where, std::string("no ") + kind + " is named \"" + name + "\"");
  if (ambiguous.count(name)) Fail(where, std::string("two ") + kind + "s are named \"" + name + "\"");
  return found->second;
}

std::vector<StopSpec> Stops(const json& route, const std::string& where, const NameIndex& stations) {
  std::vector<StopSpec> stops;
  if (!route.contains("stops")) return stops;
  const json& list = Array(route.at("stops"), At(where, "stops"));
  for (std::size_t j = 0; j < list.size(); ++j) {
    const std::string stop_where = At(At(where, "stops"), j);
    AllowOnly(list[j], stop_where, {"station", "companion"});
    if (!list[j].contains("station")) Fail(stop_where, "needs a station");
    StopSpec stop;
    stop.station = stations.NamedWord(list[j].at("station"), At(stop_where, "station"));
    OptionalField(list[j], "companion", stop_where, stop.companion, Word);
    stops.push_back(stop);
  }
  return stops;
}

}  // namespace fields
