#include "network/Block.h"

#include <new>
#include <string>

#include "base/Fatal.h"

void Block::Create(std::size_t size) {
  try {
    bytes_ = std::make_unique<std::uint8_t[]>(size);  // value-initialised: all zero
  } catch (const std::bad_alloc&) {
    FatalError("out of memory for a table of " + std::to_string(size) + " bytes");
  }
  size_ = size;
}
