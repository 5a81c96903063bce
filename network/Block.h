// A zero-filled heap block that holds one table exactly as its image record lies:
// 16-bit words are kept little-endian in memory whatever the host, so swapping
// each word's bytes turns a table into the handheld's big-endian record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "network/IntermediateFormat.h"

class Block {
 public:
  // False while the table does not exist (the handle is empty).
  bool Exists() const { return bytes_ != nullptr; }
  // Zero-filled; an allocation failure ends the conversion.
  void Create(std::size_t size);
  void Release() {
    bytes_.reset();
    size_ = 0;
  }
  std::uint8_t* Data() { return bytes_.get(); }
  const std::uint8_t* Data() const { return bytes_.get(); }
  std::size_t Size() const { return size_; }

  std::uint16_t Word(std::size_t index) const { return ReadLE16(bytes_.get() + 2 * index); }
  void SetWord(std::size_t index, std::uint16_t value) { StoreLE16(bytes_.get() + 2 * index, value); }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t size_ = 0;
};
