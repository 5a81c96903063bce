// Reading and writing a standard stream whole, with the reason a failure has;
// shared by the console of each platform.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

// All of `stream`, at most `most` bytes; false with the reason in `error`.
inline bool ReadStream(std::FILE* stream, std::string& bytes, std::uint64_t most, std::string& error) {
  char chunk[65536];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) {
    if (bytes.size() + got > most) {
      error = "it holds more than the " + std::to_string(most) + " bytes the tools read";
      return false;
    }
    bytes.append(chunk, got);
  }
  if (std::ferror(stream) == 0) return true;
  error = std::strerror(errno);
  return false;
}

// `text` to `stream`, flushed; false with the reason in `error`.
inline bool WriteStream(std::FILE* stream, const std::string& text, std::string& error) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  if (written && std::fflush(stream) == 0) return true;
  error = errno != 0 ? std::strerror(errno) : "the stream is closed";
  return false;
}
