#include "base/ByteWriter.h"

#include <algorithm>

void ByteWriter::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[capacity]);  // left unfilled: only written bytes count
  if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
  bytes_ = std::move(bytes);
  capacity_ = capacity;
}

void ByteWriter::Grow(std::size_t more) { Reserve(std::max(size_ + more, 2 * capacity_)); }
