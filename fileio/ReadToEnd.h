// Reading a stream to its end, a chunk at a time and at most so many bytes:
// standard input for the tools, and a file that cannot be read at will.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Appends everything `read` gives to `bytes`, at most `most` bytes. `read(buffer,
// room, error)` puts up to `room` bytes into `buffer` and returns how many, 0 at
// the end, or -1 with the reason in `error`. More than `most` is refused with
// "it holds more than the MOST bytes " followed by `limit` in `error`.
template <typename Bytes, typename Read>
bool ReadToEnd(Read read, Bytes& bytes, std::uint64_t most, const char* limit, std::string& error) {
  char chunk[64 * 1024];
  for (std::int64_t got; (got = read(chunk, sizeof chunk, error)) != 0;) {
    if (got < 0) return false;
    if (bytes.size() + static_cast<std::uint64_t>(got) > most) {
      error = "it holds more than the " + std::to_string(most) + " bytes " + limit;
      return false;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return true;
}
