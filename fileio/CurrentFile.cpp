#include "fileio/CurrentFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Large enough that thousands of small records cost a handful of system calls.
constexpr std::size_t kBufferSize = 256 * 1024;
// Reads and writes at least this large skip the buffer.
constexpr std::size_t kDirectSize = 64 * 1024;

void PrintTraceLine(const char* name) {
  std::fputs("fn=", stdout);
  std::fputs(name, stdout);
  std::fputs("P\n", stdout);
}

}  // namespace

void CurrentFile::NoteFailure(const char* what) { error_ = std::string(what) + ": " + PlatformLastError(); }

void CurrentFile::Reset() {
  handle_ = kInvalidHandle;
  can_read_ = can_write_ = false;
  position_ = os_position_ = 0;
  state_ = BufferState::kEmpty;
  buffer_start_ = 0;
  buffer_length_ = 0;
  write_failed_ = false;
  read_failed_ = false;
  name_.clear();
  replacement_temp_.clear();
  replacement_target_.clear();
}

bool CurrentFile::Adopt(PlatformHandle handle, bool can_read, bool can_write) {
  handle_ = handle;
  if (handle == kInvalidHandle) return false;
  can_read_ = can_read;
  can_write_ = can_write;
  return true;
}

bool CurrentFile::MoveSystemPointer(std::int64_t offset) {
  if (os_position_ == offset) return true;
  if (PlatformSeek(handle_, offset, false) != offset) {
    NoteFailure("seek");
    return false;
  }
  os_position_ = offset;
  return true;
}

// Writes `count` bytes at the position `at`; returns how many the system took.
std::size_t CurrentFile::WriteAt(std::int64_t at, const std::uint8_t* in, std::size_t count) {
  if (!MoveSystemPointer(at)) {
    write_failed_ = true;
    return 0;
  }
  std::size_t done = 0;
  while (done < count) {
    const std::int64_t written = PlatformWrite(handle_, in + done, count - done);
    if (written <= 0) {
      if (written < 0) {
        NoteFailure("write");
      } else {
        error_ = "write: the system accepted no more bytes";
      }
      write_failed_ = true;
      os_position_ = -1;
      return done;
    }
    done += static_cast<std::size_t>(written);
  }
  os_position_ = at + static_cast<std::int64_t>(done);
  return done;
}

bool CurrentFile::FlushWrites() {
  if (state_ != BufferState::kWriting) return true;
  state_ = BufferState::kEmpty;
  return WriteAt(buffer_start_, buffer_.get(), buffer_length_) == buffer_length_;
}

// Reads up to `count` bytes at the position straight into `out`.
std::int32_t CurrentFile::ReadFromSystem(std::uint8_t* out, std::int32_t count) {
  if (!MoveSystemPointer(position_)) return 0;
  std::int32_t done = 0;
  while (done < count) {
    const std::int64_t got = PlatformRead(handle_, out + done, static_cast<std::size_t>(count - done));
    if (got <= 0) {
      if (got < 0) {
        NoteFailure("read");
        read_failed_ = true;
      }
      os_position_ = -1;
      break;
    }
    done += static_cast<std::int32_t>(got);
    os_position_ = position_ + done;
  }
  position_ += done;
  return done;
}

bool CurrentFile::FillBuffer() {
  state_ = BufferState::kEmpty;
  if (!MoveSystemPointer(position_)) return false;
  if (!buffer_) buffer_.reset(new std::uint8_t[kBufferSize]);
  const std::int64_t got = PlatformRead(handle_, buffer_.get(), kBufferSize);
  if (got <= 0) {
    if (got < 0) {
      NoteFailure("read");
      read_failed_ = true;
    }
    os_position_ = -1;
    return false;
  }
  state_ = BufferState::kReading;
  buffer_start_ = position_;
  buffer_length_ = static_cast<std::size_t>(got);
  os_position_ = position_ + got;
  return true;
}

std::size_t CurrentFile::BufferedBytesAtPosition() const {
  if (state_ != BufferState::kReading) return 0;
  const std::int64_t end = buffer_start_ + static_cast<std::int64_t>(buffer_length_);
  if (position_ < buffer_start_ || position_ >= end) return 0;
  return static_cast<std::size_t>(end - position_);
}

bool CurrentFile::Open(const char* name, const char* mode) {
  PrintTraceLine(name);
  Close();
  const bool plus = mode[0] != '\0' && mode[1] == '+';
  PlatformHandle handle = kInvalidHandle;
  bool can_read = true;
  bool can_write = true;
  if (mode[0] == 'r' && !plus) {
    handle = PlatformOpen(name, Access::kRead, Disposition::kOpenExisting);
    can_write = false;
  } else if (mode[0] == 'w' && !plus) {
    handle = PlatformOpen(name, Access::kWrite, Disposition::kCreateAlways);
    can_read = false;
  } else if (mode[0] == 'a') {
    handle = PlatformOpen(name, Access::kWrite, Disposition::kOpenAlways);
    can_read = false;
  } else {
    handle = PlatformOpen(name, Access::kReadWrite, Disposition::kOpenAlways);
  }
  if (!Adopt(handle, can_read, can_write)) {
    error_ = PlatformLastError();
    return false;
  }
  name_ = name;
  if (mode[0] == 'a') {
    position_ = PlatformSeek(handle, 0, true);
    os_position_ = position_;
  }
  return true;
}

int CurrentFile::Read(void* destination, std::int32_t count) {
  if (handle_ == kInvalidHandle || !can_read_ || count <= 0) return 0;
  auto* out = static_cast<std::uint8_t*>(destination);
  std::int32_t total = 0;
  if (!FlushWrites()) return 0;
  while (total < count) {
    std::size_t available = BufferedBytesAtPosition();
    if (available == 0 && static_cast<std::size_t>(count - total) >= kDirectSize) {
      return total + ReadFromSystem(out + total, count - total);
    }
    if (available == 0) {
      if (!FillBuffer()) break;
      available = BufferedBytesAtPosition();
    }
    const std::size_t take = std::min(available, static_cast<std::size_t>(count - total));
    std::memcpy(out + total, buffer_.get() + (position_ - buffer_start_), take);
    position_ += static_cast<std::int64_t>(take);
    total += static_cast<std::int32_t>(take);
  }
  return total;
}

int CurrentFile::ReadDirect(void* destination, std::int32_t count) {
  if (handle_ == kInvalidHandle || !can_read_ || count <= 0 || !FlushWrites()) return 0;
  return ReadFromSystem(static_cast<std::uint8_t*>(destination), count);
}

int CurrentFile::Write(const void* source, std::int32_t count) {
  if (handle_ == kInvalidHandle || !can_write_ || count <= 0) return 0;
  if (state_ == BufferState::kReading) state_ = BufferState::kEmpty;
  const auto* in = static_cast<const std::uint8_t*>(source);
  if (static_cast<std::size_t>(count) >= kDirectSize) {
    if (!FlushWrites()) return 0;
    const std::size_t written = WriteAt(position_, in, static_cast<std::size_t>(count));
    position_ += static_cast<std::int64_t>(written);
    return static_cast<int>(written);
  }
  if (!buffer_) buffer_.reset(new std::uint8_t[kBufferSize]);
  std::int32_t total = 0;
  while (total < count) {
    if (state_ == BufferState::kWriting && buffer_length_ == kBufferSize && !FlushWrites()) break;
    if (state_ != BufferState::kWriting) {
      state_ = BufferState::kWriting;
      buffer_start_ = position_;
      buffer_length_ = 0;
    }
    const std::size_t take = std::min(kBufferSize - buffer_length_, static_cast<std::size_t>(count - total));
    std::memcpy(buffer_.get() + buffer_length_, in + total, take);
    buffer_length_ += take;
    position_ += static_cast<std::int64_t>(take);
    total += static_cast<std::int32_t>(take);
  }
  return total;
}

int CurrentFile::Write16(const void* source, std::int32_t count) { return Write(source, count & 0xFFFF); }

std::int32_t CurrentFile::Seek(std::int32_t offset, int origin) {
  if (handle_ == kInvalidHandle || !FlushWrites()) return -1;
  std::int64_t base = 0;
  if (origin == kSeekFromCurrent) base = position_;
  if (origin == kSeekFromEnd) {
    base = PlatformSeek(handle_, 0, true);
    os_position_ = base;
    if (base < 0) return -1;
  }
  const std::int64_t target = base + offset;
  if (target < 0 || target > std::numeric_limits<std::int32_t>::max()) return -1;
  position_ = target;
  return static_cast<std::int32_t>(target);
}

void CurrentFile::Close() {
  if (handle_ == kInvalidHandle) return;
  if (!replacement_temp_.empty()) {
    Abandon();
    return;
  }
  FlushWrites();
  PlatformClose(handle_);
  Reset();
}

bool CurrentFile::OpenReplacement(const char* name) {
  PrintTraceLine(name);
  Close();
  std::string target = PlatformReplacementTarget(name);
  if (!PlatformMayReplace(target.c_str())) {
    error_ = PlatformLastError();
    return false;
  }
  std::string temp;
  if (!Adopt(PlatformCreateTemporary(target, temp), false, true)) {
    error_ = PlatformLastError();
    Reset();
    return false;
  }
  // Noted without allocating, so that it is removed whatever happens from here on.
  replacement_temp_ = std::move(temp);
  replacement_target_ = std::move(target);
  name_ = name;
  return true;
}

bool CurrentFile::CommitReplacement() {
  if (handle_ == kInvalidHandle || replacement_temp_.empty()) return false;
  bool ok = FlushWrites() && !write_failed_;
  if (ok && !PlatformSync(handle_)) {
    NoteFailure("sync");
    ok = false;
  }
  PlatformForgetTemporary();
  if (!PlatformClose(handle_) && ok) {
    NoteFailure("close");
    ok = false;
  }
  if (ok && !PlatformReplace(replacement_temp_.c_str(), replacement_target_.c_str())) {
    NoteFailure("rename");
    ok = false;
  }
  if (ok) PlatformSyncFolder(replacement_target_.c_str());
  if (!ok) PlatformRemove(replacement_temp_.c_str());
  Reset();
  return ok;
}

void CurrentFile::Abandon() {
  if (!replacement_temp_.empty()) PlatformForgetTemporary();
  if (handle_ != kInvalidHandle) PlatformClose(handle_);
  if (!replacement_temp_.empty()) PlatformRemove(replacement_temp_.c_str());
  Reset();
}
