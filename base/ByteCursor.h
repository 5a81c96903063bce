// Reading bytes taken from a file: a cursor that knows where in the file it
// stands and stops at the first read that comes up short, so that every
// refusal can say at which offset what was missing.
//
// A read that needs more bytes than remain fails: it returns 0 (or nullptr),
// leaves the position where it was and is remembered; every later read fails
// too, so a run of reads may be checked once at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Bytes.h"

class ByteCursor {
 public:
  ByteCursor() = default;
  // `bytes` are the file's bytes from `file_offset` on (as many as there are or were read).
  explicit ByteCursor(std::span<const std::uint8_t> bytes, std::uint64_t file_offset = 0)
      : bytes_(bytes.data() != nullptr ? bytes : std::span<const std::uint8_t>(&kNoByte, std::size_t{0})),
        start_(file_offset),
        offset_(file_offset) {}

  // The file offset of the next byte.
  std::uint64_t Offset() const { return offset_; }
  // The file offset just past the last byte held; how many there are.
  std::uint64_t End() const { return start_ + bytes_.size(); }
  std::uint64_t Size() const { return bytes_.size(); }
  std::uint64_t Remaining() const { return Index() < bytes_.size() ? bytes_.size() - Index() : 0; }
  bool Has(std::uint64_t count) const { return !failed_ && count <= bytes_.size() && Index() <= bytes_.size() - count; }

  // The next `count` bytes, or nullptr when fewer remain (never for a count of 0 that succeeds).
  const std::uint8_t* Take(std::uint64_t count) {
    if (!Has(count)) return Fail();
    const std::uint8_t* bytes = bytes_.data() + Index();
    offset_ += count;
    return bytes;
  }

  std::uint16_t BE16() {
    const std::uint8_t* bytes = Take(2);
    return bytes != nullptr ? ReadBE16(bytes) : 0;
  }

  // Moves to a file offset; outside the bytes held, the next read fails there.
  void Seek(std::uint64_t file_offset) { offset_ = file_offset; }
  // A cursor over the bytes held in [file_offset, file_offset + length), at its start.
  ByteCursor Slice(std::uint64_t file_offset, std::uint64_t length) const;

 private:
  // Where the next byte is among the bytes held; beyond them when the offset
  // lies outside (below the start it wraps around to a huge number).
  std::uint64_t Index() const { return offset_ - start_; }
  const std::uint8_t* Fail() {
    failed_ = true;
    return nullptr;
  }

  static constexpr std::uint8_t kNoByte = 0;  // where an empty run of bytes points

  std::span<const std::uint8_t> bytes_{&kNoByte, std::size_t{0}};
  std::uint64_t start_ = 0;
  std::uint64_t offset_ = 0;
  bool failed_ = false;  // a read came up short
};
