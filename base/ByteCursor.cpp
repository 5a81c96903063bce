#include "base/ByteCursor.h"

#include <algorithm>

ByteCursor ByteCursor::Slice(std::uint64_t file_offset, std::uint64_t length) const {
  const std::uint64_t first = std::clamp(file_offset, start_, End());
  const std::uint64_t last = std::clamp(file_offset + std::min(length, UINT64_MAX - file_offset), first, End());
  ByteCursor slice(bytes_.subspan(static_cast<std::size_t>(first - start_), static_cast<std::size_t>(last - first)),
                   first);
  slice.Seek(file_offset);
  return slice;
}
