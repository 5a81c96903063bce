// Reading and writing a standard stream whole, with the reason a failure has;
// shared by the console of each platform.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fileio/ReadToEnd.h"

// All of `stream`, at most `most` bytes; false with the reason in `error`.
inline bool ReadStream(std::FILE* stream, std::string& bytes, std::uint64_t most, std::string& error) {
  const auto read = [stream](char* buffer, std::size_t room, std::string& reason) -> std::int64_t {
    const std::size_t got = std::fread(buffer, 1, room, stream);
    if (got > 0 || std::ferror(stream) == 0) return static_cast<std::int64_t>(got);
    reason = std::strerror(errno);
    return -1;
  };
  return ReadToEnd(read, bytes, most, "the tools read", error);
}

// `text` to `stream`, flushed; false with the reason in `error`.
inline bool WriteStream(std::FILE* stream, const std::string& text, std::string& error) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  if (written && std::fflush(stream) == 0) return true;
  error = errno != 0 ? std::strerror(errno) : "the stream is closed";
  return false;
}
