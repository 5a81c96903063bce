// The base tables of a railway network, as a value: stations with their two
// sort orders, routes, the packed route-station table, the string table, and
// the companies that grouping finds. The base loader makes one from the
// intermediate data file, company grouping completes its routes, and the image
// writer writes it.
#pragma once

#include <cstdint>
#include <vector>

// "None" in a 16-bit table index: no company, no first edge, no mark.
inline constexpr std::uint16_t kNoIndex = 0xFFFF;

struct Station {
  std::uint16_t name_string = 0;  // the string index of its name (the format's word A)
  std::uint16_t opaque_word = 0;  // word B, copied as it is
  std::uint16_t sort = 0;         // the station's place in the SORT order
  std::uint16_t kana_sort = 0;    // the station's place in the KSOR order
};

struct Route {
  std::uint16_t name = 0;            // string index of the route's name
  std::uint16_t first_slot = 0;      // where its block starts in the route-station table (low 16 bits)
  std::uint16_t company = kNoIndex;  // its company's number; none until grouping, and always for route 0
  std::uint16_t station_count = 0;   // K
  std::uint16_t opaque_word = 0;     // the route word, copied as it is
  std::uint8_t opaque_byte = 0;      // the route byte, copied as it is
  std::uint8_t company_length = 0;   // bytes of the name that name the company; 0 for none
  std::uint16_t trailer = 0;
};

// A company: the route name that introduced it and its length in bytes.
struct Company {
  std::uint16_t name = 0;
  std::uint8_t length = 0;
};

struct Network {
  std::vector<Station> stations;  // S
  std::vector<Route> routes;      // R
  // 2Q word slots. Each route owns a block of 2K slots from its first slot:
  // its stops' station words, then their companion words.
  std::vector<std::uint16_t> route_stations;
  std::vector<std::uint16_t> string_index;  // C offsets into the pool
  std::vector<std::uint8_t> string_pool;    // P bytes of NUL-terminated strings
  std::vector<Company> companies;           // in order of number, as grouping found them

  // Q, in entries of two slots.
  std::int32_t RStatCapacity() const { return static_cast<std::int32_t>(route_stations.size() / 2); }
};
