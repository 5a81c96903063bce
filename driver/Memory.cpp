// The converter program's operator new and delete: large blocks from the block
// of large pages given to UseLargeMemory, everything else from the heap.
#include "driver/Memory.h"

#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kLargeBlock = 16 * 1024;
constexpr std::size_t kAlignment = 64;

std::uint8_t* large_start = nullptr;
std::uint8_t* large_next = nullptr;
std::uint8_t* large_end = nullptr;

bool IsLarge(void* block) { return block >= large_start && block < large_end; }

}  // namespace

void UseLargeMemory(std::span<std::uint8_t> memory) {
  large_start = large_next = memory.data();
  large_end = memory.data() + memory.size();
}

void* operator new(std::size_t size) {
  if (size >= kLargeBlock && static_cast<std::size_t>(large_end - large_next) >= size) {
    void* block = large_next;
    large_next += (size + kAlignment - 1) & ~(kAlignment - 1);
    if (large_next > large_end) large_next = large_end;
    return block;
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
  if (!IsLarge(block)) std::free(block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
