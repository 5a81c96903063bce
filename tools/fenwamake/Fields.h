// Reading the fields of a JSON description: every value is checked before it
// is used, and every failure names the field, as in "routes[2].company: ...".
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "tools/fenwamake/Description.h"

namespace fields {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& where, const std::string& what);

// The path of a field inside an object or an array.
std::string At(const std::string& where, const std::string& key);
std::string At(const std::string& where, std::size_t index);

// Refuses a value that is not an object, or has a field other than `keys` and "note".
void AllowOnly(const json& object, const std::string& where, std::initializer_list<const char*> keys);
const json& Array(const json& value, const std::string& where);
std::int64_t Integer(const json& value, const std::string& where, std::int64_t low, std::int64_t high);
std::uint16_t Word(const json& value, const std::string& where);
// Header fields are stored as 16 bits; the signed ones may be given as negative numbers.
std::uint16_t SignedOrUnsignedWord(const json& value, const std::string& where);
// A UTF-8 text as Shift_JIS bytes; refused when a character has no Shift_JIS form.
std::string ShiftJis(const std::string& utf8, const std::string& where);
// Text: a UTF-8 string stored as Shift_JIS, or {"hex": "..."} for raw bytes.
std::string Text(const json& value, const std::string& where);
// Bytes given as a string of hexadecimal digits.
std::string HexText(const json& value, const std::string& where);

template <typename T>
void OptionalField(const json& object, const char* key, const std::string& where, T& target,
                   T (*read)(const json&, const std::string&)) {
  if (object.contains(key)) target = read(object.at(key), At(where, key));
}

template <std::size_t N>
void FixedBytes(const json& object, const char* key, const std::string& where, std::array<std::uint8_t, N>& target,
                std::string (*read)(const json&, const std::string&) = Text) {
  if (!object.contains(key)) return;
  const std::string bytes = read(object.at(key), At(where, key));
  if (bytes.size() != N) Fail(At(where, key), "must be exactly " + std::to_string(N) + " bytes");
  std::copy(bytes.begin(), bytes.end(), target.begin());
}

// The numbers that stations or routes are known by, by name; a name given twice
// cannot be used to refer to either.
struct NameIndex {
  const char* kind;
  std::map<std::string, std::uint16_t> numbers;
  std::set<std::string> ambiguous;

  void Add(const std::string& name, std::size_t number) {
    if (numbers.count(name)) ambiguous.insert(name);
    numbers[name] = static_cast<std::uint16_t>(number);
  }
  // A number given as is, or as the name of a station or route.
  std::uint16_t NamedWord(const json& value, const std::string& where) const;
};

// A route's "stops", if it has them: each a station (a name or a number) and a companion word.
std::vector<StopSpec> Stops(const json& route, const std::string& where, const NameIndex& stations);

}  // namespace fields
