// Where a reader gets a file's bytes: a run of them at a time, so that a file
// of any size is read only where its structure says something is. The tools'
// readers take one; a program gives them the file, a test or a web page bytes
// in memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/ToolError.h"

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The size of the whole file.
  virtual std::uint64_t Size() const = 0;
  // Up to `length` bytes from `offset` on (fewer at the end of the file).
  // Throws ToolError when the system cannot read them.
  virtual std::vector<std::uint8_t> Read(std::uint64_t offset, std::uint64_t length) = 0;
};

// Bytes held in memory, which must outlive the source.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::vector<std::uint8_t> Read(std::uint64_t offset, std::uint64_t length) override {
    if (offset >= bytes_.size()) return {};
    const std::uint64_t count = length < bytes_.size() - offset ? length : bytes_.size() - offset;
    return {bytes_.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes_.begin() + static_cast<std::ptrdiff_t>(offset + count)};
  }

 private:
  std::span<const std::uint8_t> bytes_;
};
