// The database container around the image: a 78-byte header with the
// converter's fixed identity, a list of 19 record entries, two filler bytes.
// The record offsets are computed in advance from the loaded table sizes,
// from the same record lengths the image writer writes.
#pragma once

#include <array>
#include <cstdint>

inline constexpr std::size_t kRecordCount = 19;
inline constexpr std::uint32_t kDatabaseHeaderSize = 78;
inline constexpr std::uint32_t kRecordEntrySize = 8;
inline constexpr std::uint32_t kFirstRecordOffset = kDatabaseHeaderSize + kRecordCount * kRecordEntrySize + 2;
inline constexpr std::uint32_t kImageHeaderSize = 130;
inline constexpr std::uint32_t kTagSize = 4;
inline constexpr std::uint8_t kRecordAttributes = 0x40;  // dirty

// The length of every record, in record order, from the loaded counts.
std::array<std::uint32_t, kRecordCount> RecordLengths();
// The offset of every record from the start of the file.
std::array<std::uint32_t, kRecordCount> RecordOffsets();

// Writes the header, the record list and the filler to the current file.
void WriteDatabaseHeader();

std::uint32_t Swap32(std::uint32_t value);
