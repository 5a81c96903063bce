// Editing a string table taken from a file or an image: an index of offsets
// into a pool of bytes, where entries may share bytes, point inside other
// strings or lie outside the pool, and the pool may hold bytes no entry reads.
// Strings left as they were keep their offsets and the pool keeps its bytes,
// so a table nobody edited comes out byte for byte as it went in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "network/NetworkFile.h"

class StringTableEditor {
 public:
  StringTableEditor(std::vector<std::uint16_t> index, std::string pool);

  std::size_t Count() const { return edited_.size(); }
  // String i's bytes as the table held them, up to its NUL or the end of the
  // pool; nullopt when its offset lies outside the pool or it was added.
  std::optional<std::string_view> Original(std::size_t i) const;
  // String i's bytes now: as edited or added, else as held.
  std::optional<std::string> Current(std::size_t i) const;
  // The same where they are kept, until string i is set again: a string left
  // as it was is not copied, so strings that overlap in the pool cost no more
  // than the pool.
  std::optional<std::string_view> View(std::size_t i) const;
  // The bytes the strings edited or added take in the pool, their NULs included.
  std::size_t EditedBytes() const { return edited_bytes_; }

  // String i reads `bytes` from now on.
  void Set(std::size_t i, const std::string& bytes);
  // A new string at the end of the index; returns its index.
  std::size_t Add(const std::string& bytes);
  // The first string that reads `bytes` now; one is added when none does.
  std::size_t Intern(const std::string& bytes);

  // The index and the pool. When the table held its strings one after another
  // (each with its NUL, and the pool nothing else), they are laid out one after
  // another again; otherwise the pool is kept and each edited or added string
  // goes at its end with a NUL. Throws ToolError beyond 32767
  // strings or 65535 pool bytes.
  StringTableBytes Finish() const;

 private:
  bool HeldOneAfterAnother() const;

  std::vector<std::uint16_t> index_;              // as held
  std::string pool_;                              // as held
  std::deque<std::optional<std::string>> edits_;  // string i's bytes when edited or added (a deque keeps them in place)
  std::vector<bool> edited_;                      // differs from what was held, or added
  std::size_t edited_bytes_ = 0;
  std::unordered_map<std::string_view, std::size_t> first_;  // by bytes, built at the first Intern
};
