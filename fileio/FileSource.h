// A file the companion tools read: its bytes a run at a time, through the
// platform layer, so that a reader fetches only what it needs of a file of
// any size. A folder is refused like a missing file, with the system's reason.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/ByteSource.h"
#include "fileio/Platform.h"

class FileSource : public ByteSource {
 public:
  // The file `name`; throws ToolError with the system's reason when it cannot
  // be opened. A file that cannot be read at will (a pipe, a terminal) is read
  // whole first, at most `most_streamed` bytes of it.
  static std::unique_ptr<FileSource> Open(const std::string& name, std::uint64_t most_streamed = 64u << 20);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t Size() const override { return size_; }
  // True when the file was a stream (a pipe, a terminal), read whole at the open.
  bool Streamed() const { return streamed_.has_value(); }
  std::vector<std::uint8_t> Read(std::uint64_t offset, std::uint64_t length) override;
  // The file from its start, a piece at a time: each call puts up to `room`
  // bytes into `buffer` and returns how many (0 at the end).
  std::function<std::size_t(char* buffer, std::size_t room)> Pieces();
  // Up to `length` bytes from `offset` into `buffer`; returns how many there were.
  std::size_t ReadInto(void* buffer, std::uint64_t offset, std::size_t length);

 private:
  FileSource(PlatformHandle handle, std::uint64_t size) : handle_(handle), size_(size) {}
  // Reads a stream to its end into streamed_; false with the reason when it cannot, or holds more.
  bool ReadStream(std::uint64_t most, std::string& error);

  PlatformHandle handle_;
  std::uint64_t size_;
  std::optional<std::vector<std::uint8_t>> streamed_;  // the whole of a file read as a stream
};

// Writes `bytes` in place of the file `name`, as the converter writes its
// image: a temporary file beside it, synced, renamed over it, the folder
// synced; the old file's permissions kept; nothing left behind on failure.
// Throws ToolError with the system's reason.
void ReplaceFileWith(const std::string& name, const std::string& bytes);
