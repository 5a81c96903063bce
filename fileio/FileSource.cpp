#include "fileio/FileSource.h"

#include <algorithm>

#include "fileio/CurrentFile.h"
#include "fileio/ReadToEnd.h"

std::unique_ptr<FileSource> FileSource::Open(const std::string& name, std::uint64_t most_streamed) {
  const PlatformHandle handle = PlatformOpen(name.c_str(), Access::kReadShared);
  if (handle == kInvalidHandle) throw ToolError(PlatformLastError());
  const std::int64_t size = PlatformSeek(handle, 0, true);
  std::unique_ptr<FileSource> file(new FileSource(handle, size < 0 ? 0 : static_cast<std::uint64_t>(size)));
  std::string error;
  if (size < 0 && !file->ReadStream(most_streamed, error)) throw ToolError(error);
  return file;
}

bool FileSource::ReadStream(std::uint64_t most, std::string& error) {
  const auto read = [this](char* buffer, std::size_t room, std::string& reason) {
    const std::int64_t got = PlatformRead(handle_, buffer, room);
    if (got < 0) reason = PlatformLastError();
    return got;
  };
  std::vector<std::uint8_t> bytes;
  if (!ReadToEnd(read, bytes, most, "read of a stream", error)) return false;
  size_ = bytes.size();
  streamed_ = std::move(bytes);
  return true;
}

FileSource::~FileSource() { PlatformClose(handle_); }

std::size_t FileSource::ReadInto(void* buffer, std::uint64_t offset, std::size_t length) {
  if (streamed_) {
    const std::size_t count =
        offset < size_ ? static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset)) : 0;
    std::copy_n(streamed_->begin() + static_cast<std::ptrdiff_t>(offset), count, static_cast<std::uint8_t*>(buffer));
    return count;
  }
  if (PlatformSeek(handle_, static_cast<std::int64_t>(offset), false) != static_cast<std::int64_t>(offset))
    throw ToolError(PlatformLastError());
  std::size_t done = 0;
  while (done < length) {
    const std::int64_t got = PlatformRead(handle_, static_cast<char*>(buffer) + done, length - done);
    if (got < 0) throw ToolError(PlatformLastError());
    if (got == 0) break;  // the file became shorter
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::function<std::size_t(char*, std::size_t)> FileSource::Pieces() {
  return [this, offset = std::uint64_t{0}](char* buffer, std::size_t room) mutable {
    const std::size_t got =
        offset < size_ ? ReadInto(buffer, offset, std::min<std::uint64_t>(room, size_ - offset)) : 0;
    offset += got;
    return got;
  };
}

std::vector<std::uint8_t> FileSource::Read(std::uint64_t offset, std::uint64_t length) {
  if (offset >= size_) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(length, size_ - offset)));
  bytes.resize(ReadInto(bytes.data(), offset, bytes.size()));
  return bytes;
}

void ReplaceFileWith(const std::string& name, const std::string& bytes) {
  CurrentFile file;
  bool ok = file.OpenReplacement(name.c_str());
  if (ok) {
    ok = file.Write(bytes.data(), static_cast<std::int32_t>(bytes.size())) == static_cast<int>(bytes.size()) &&
         file.CommitReplacement();
  }
  if (!ok) throw ToolError(file.Error());
}
