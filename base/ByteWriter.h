// Writing a file's bytes in order, numbers in either byte order.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "base/Bytes.h"

class ByteWriter {
 public:
  void Reserve(std::size_t capacity);
  std::size_t Size() const { return size_; }
  std::span<const std::uint8_t> Bytes() const { return {bytes_.get(), size_}; }
  std::vector<std::uint8_t> ToVector() const { return {bytes_.get(), bytes_.get() + size_}; }

  // `count` new bytes at the end, to be filled in place; valid until the next
  // append. ExtendUnfilled leaves them as they happen to be: the caller writes
  // every one of them.
  std::uint8_t* Extend(std::size_t count) {
    std::uint8_t* bytes = ExtendUnfilled(count);
    if (count > 0) std::memset(bytes, 0, count);
    return bytes;
  }
  std::uint8_t* ExtendUnfilled(std::size_t count) {
    if (count > capacity_ - size_) Grow(count);
    std::uint8_t* bytes = bytes_.get() + size_;
    size_ += count;
    return bytes;
  }

  void U8(std::uint8_t value) { *ExtendUnfilled(1) = value; }
  void LE16(std::uint16_t value) { StoreLE16(ExtendUnfilled(2), value); }
  void LE32(std::uint32_t value) { StoreLE32(ExtendUnfilled(4), value); }
  void BE16(std::uint16_t value) { StoreBE16(ExtendUnfilled(2), value); }
  void BE32(std::uint32_t value) { StoreBE32(ExtendUnfilled(4), value); }
  void Append(std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) std::memcpy(ExtendUnfilled(bytes.size()), bytes.data(), bytes.size());
  }
  void Append(std::string_view bytes) {
    Append(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  }

 private:
  void Grow(std::size_t more);

  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};
