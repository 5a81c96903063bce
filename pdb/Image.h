// The image records: an image header that gives the size of every table, then
// nine tag/table pairs, every 16-bit word big-endian as the handheld reads it.
#pragma once

#include <cstdint>

inline constexpr char kImageVersion[] = "0.25";

// Writes the whole database to the current file. The tables are left swapped.
int WriteImage(const char* version);

// Exchanges the bytes of each 16-bit word in the first `length` bytes (taken as 16-bit).
void SwapWords(std::uint8_t* buffer, std::uint32_t length);
// Swaps the six words of each 14-byte route record; the two single bytes stay.
void SwapRoutes(std::uint8_t* routes, std::uint32_t count);
std::uint16_t Swap16(std::uint16_t value);
