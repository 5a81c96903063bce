// The converter's memory. A run keeps its input, its tables and its image in
// memory at once, well over a thousand small pages for the largest input; where
// every first touch of a page is dear (a virtual machine traps each one), that
// is most of a run's time. The program therefore takes its large blocks from
// one block of large pages while it has room, and the heap's after that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Room for the largest input's regions, tables and image together.
inline constexpr std::size_t kLargeMemorySize = 2u << 20;

// Blocks of 16 KiB or more come from `memory` from now on, while it has room;
// they are never given back (a run is short).
void UseLargeMemory(std::span<std::uint8_t> memory);
