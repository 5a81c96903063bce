// The base tables of the railway network: stations with their two sort orders,
// routes, the packed route-station table, the string table, and company grouping.
// Each table lies in memory exactly as its image record (see Block.h).
#pragma once

#include <cstdint>

#include "network/Block.h"

// Route record, 14 bytes.
inline constexpr std::size_t kRouteSize = 14;
inline constexpr std::size_t kRouteName = 0;          // string index of the name
inline constexpr std::size_t kRouteFirstSlot = 2;     // first slot of its route-station block
inline constexpr std::size_t kRouteCompany = 4;       // company number, 0xFFFF for none
inline constexpr std::size_t kRouteStationCount = 6;  // K
inline constexpr std::size_t kRouteWord = 8;
inline constexpr std::size_t kRouteByte = 10;
inline constexpr std::size_t kRouteCompanyLength = 11;  // bytes of the name that name the company
inline constexpr std::size_t kRouteTrailer = 12;

inline constexpr std::uint16_t kNoIndex = 0xFFFF;
inline constexpr std::int32_t MAX_KAISYA = 40;

// Sizes, set by the loader from the header before the tables are created.
extern std::int32_t StationCount;   // S
extern std::int32_t Num_r;          // routes
extern std::int32_t RStatCapacity;  // Q, in entries of two words
extern std::int32_t StringCount;    // C
extern std::uint16_t PoolSize;      // P
extern std::int32_t Num_kaisya;     // companies found by AssignCompanies

extern Block StationHandle;      // S x (word A, word B)
extern Block SortHandle;         // S x SORT word
extern Block KanaSortHandle;     // S x KSOR word
extern Block RosenHandle;        // Num_r route records
extern Block RStatHandle;        // 2Q word slots
extern Block StringIndexHandle;  // string offsets into the pool
extern Block StringPoolHandle;   // the strings' bytes

void CreateStationTables();
void ReleaseStationTables();
void CreateRouteTables();
void ReleaseRouteTables();
void CreateStringTable(std::int32_t count, std::uint16_t pool_size);
void ReleaseStringTable();
void ReleaseNetworkTables();

// Route record i; i must be below Num_r.
std::uint8_t* Route(std::int32_t index);
// The pool offset of string i (i below C).
std::uint16_t StringOffset(std::int32_t index);

// Numbers the companies of routes 1 onwards in order of first appearance; the
// routes without a company form the last group. Route 0 keeps 0xFFFF.
void AssignCompanies();

// Compares n bytes as unsigned bytes: 0 when equal, -1 or 1 by the first difference.
int CompareBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n);
