#include "fileio/CurrentFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "fileio/Platform.h"

namespace {

// Large enough that the biggest input and image cost a handful of system calls.
constexpr std::size_t kBufferSize = 256 * 1024;

enum class BufferState { kEmpty, kReading, kWriting };

struct CurrentFile {
  PlatformHandle handle = kInvalidHandle;
  bool can_read = false;
  bool can_write = false;
  std::int64_t position = 0;     // where the next read or write takes place
  std::int64_t os_position = 0;  // where the system's file pointer stands
  BufferState state = BufferState::kEmpty;
  std::int64_t buffer_start = 0;  // file offset of the buffer's first byte
  std::size_t buffer_length = 0;  // bytes read ahead, or bytes waiting to be written
  bool write_failed = false;
  std::string replacement_temp;  // set while a replacement is being written
  std::string replacement_target;
};

CurrentFile current;
std::unique_ptr<std::uint8_t[]> buffer;
std::string last_error;

void PrintTraceLine(const char* name) {
  std::fputs("fn=", stdout);
  std::fputs(name, stdout);
  std::fputs("P\n", stdout);
}

void NoteFailure(const char* what) { last_error = std::string(what) + ": " + PlatformLastError(); }

void ResetCurrentFile() { current = CurrentFile{}; }

bool AdoptHandle(PlatformHandle handle, bool can_read, bool can_write) {
  current.handle = handle;
  if (handle == kInvalidHandle) return false;
  current.can_read = can_read;
  current.can_write = can_write;
  if (!buffer) buffer.reset(new std::uint8_t[kBufferSize]);
  return true;
}

bool MoveSystemPointer(std::int64_t offset) {
  if (current.os_position == offset) return true;
  if (PlatformSeek(current.handle, offset, false) != offset) {
    NoteFailure("seek");
    return false;
  }
  current.os_position = offset;
  return true;
}

bool FlushWrites() {
  if (current.state != BufferState::kWriting) return true;
  current.state = BufferState::kEmpty;
  if (!MoveSystemPointer(current.buffer_start)) {
    current.write_failed = true;
    return false;
  }
  std::size_t done = 0;
  while (done < current.buffer_length) {
    std::int64_t written = PlatformWrite(current.handle, buffer.get() + done, current.buffer_length - done);
    if (written <= 0) {
      if (written < 0)
        NoteFailure("write");
      else
        last_error = "write: the system accepted no more bytes";
      current.write_failed = true;
      current.os_position = -1;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  current.os_position = current.buffer_start + static_cast<std::int64_t>(done);
  return true;
}

bool FillBuffer() {
  current.state = BufferState::kEmpty;
  if (!MoveSystemPointer(current.position)) return false;
  std::int64_t got = PlatformRead(current.handle, buffer.get(), kBufferSize);
  if (got <= 0) {
    current.os_position = -1;
    return false;
  }
  current.state = BufferState::kReading;
  current.buffer_start = current.position;
  current.buffer_length = static_cast<std::size_t>(got);
  current.os_position = current.position + got;
  return true;
}

std::size_t BufferedBytesAtPosition() {
  if (current.state != BufferState::kReading) return 0;
  std::int64_t end = current.buffer_start + static_cast<std::int64_t>(current.buffer_length);
  if (current.position < current.buffer_start || current.position >= end) return 0;
  return static_cast<std::size_t>(end - current.position);
}

}  // namespace

bool OpenCurrentFile(const char* name, const char* mode) {
  PrintTraceLine(name);
  CloseCurrentFile();
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
  if (!AdoptHandle(handle, can_read, can_write)) {
    last_error = PlatformLastError();
    return false;
  }
  if (mode[0] == 'a') {
    current.position = PlatformSeek(handle, 0, true);
    current.os_position = current.position;
  }
  return true;
}

int ReadCurrentFile(void* destination, std::int32_t count) {
  if (current.handle == kInvalidHandle || !current.can_read || count <= 0) return 0;
  auto* out = static_cast<std::uint8_t*>(destination);
  if (static_cast<std::size_t>(count) <= BufferedBytesAtPosition()) {  // the common case: a record read ahead
    std::memcpy(out, buffer.get() + (current.position - current.buffer_start), static_cast<std::size_t>(count));
    current.position += count;
    return count;
  }
  if (!FlushWrites()) return 0;
  std::int32_t total = 0;
  while (total < count) {
    std::size_t available = BufferedBytesAtPosition();
    if (available == 0) {
      if (!FillBuffer()) break;
      continue;
    }
    std::size_t take = std::min(available, static_cast<std::size_t>(count - total));
    std::memcpy(out + total, buffer.get() + (current.position - current.buffer_start), take);
    current.position += static_cast<std::int64_t>(take);
    total += static_cast<std::int32_t>(take);
  }
  return total;
}

int WriteCurrentFile(const void* source, std::int32_t count) {
  if (current.handle == kInvalidHandle || !current.can_write || count <= 0) return 0;
  if (current.state == BufferState::kReading) current.state = BufferState::kEmpty;
  const auto* in = static_cast<const std::uint8_t*>(source);
  std::int32_t total = 0;
  while (total < count) {
    if (current.state == BufferState::kWriting && current.buffer_length == kBufferSize && !FlushWrites()) break;
    if (current.state != BufferState::kWriting) {
      current.state = BufferState::kWriting;
      current.buffer_start = current.position;
      current.buffer_length = 0;
    }
    std::size_t take = std::min(kBufferSize - current.buffer_length, static_cast<std::size_t>(count - total));
    std::memcpy(buffer.get() + current.buffer_length, in + total, take);
    current.buffer_length += take;
    current.position += static_cast<std::int64_t>(take);
    total += static_cast<std::int32_t>(take);
  }
  return total;
}

int WriteCurrentFile16(const void* source, std::int32_t count) { return WriteCurrentFile(source, count & 0xFFFF); }

std::int32_t SeekCurrentFile(std::int32_t offset, int origin) {
  if (current.handle == kInvalidHandle || !FlushWrites()) return -1;
  std::int64_t base = 0;
  if (origin == kSeekFromCurrent) base = current.position;
  if (origin == kSeekFromEnd) {
    base = PlatformSeek(current.handle, 0, true);
    current.os_position = base;
    if (base < 0) return -1;
  }
  std::int64_t target = base + offset;
  if (target < 0 || target > std::numeric_limits<std::int32_t>::max()) return -1;
  current.position = target;
  return static_cast<std::int32_t>(target);
}

std::uint32_t CurrentFilePosition() { return static_cast<std::uint32_t>(current.position); }

void CloseCurrentFile() {
  if (current.handle == kInvalidHandle) return;
  if (!current.replacement_temp.empty()) {
    AbandonCurrentFile();
    return;
  }
  FlushWrites();
  PlatformClose(current.handle);
  ResetCurrentFile();
}

bool OpenReplacement(const char* name) {
  PrintTraceLine(name);
  CloseCurrentFile();
  const std::string target = PlatformReplacementTarget(name);
  if (!PlatformMayReplace(target.c_str())) {
    last_error = PlatformLastError();
    return false;
  }
  const std::string temp = target + ".tmp" + PlatformUniqueSuffix();
  PlatformRemoveOnSignal(temp.c_str());
  if (!AdoptHandle(PlatformOpen(temp.c_str(), Access::kWrite, Disposition::kCreateNew), false, true)) {
    last_error = PlatformLastError();
    PlatformRemoveOnSignal(nullptr);
    ResetCurrentFile();
    return false;
  }
  current.replacement_temp = temp;
  current.replacement_target = target;
  return true;
}

bool CommitReplacement() {
  if (current.handle == kInvalidHandle || current.replacement_temp.empty()) return false;
  bool ok = FlushWrites() && !current.write_failed;
  if (ok && !PlatformSync(current.handle)) {
    NoteFailure("sync");
    ok = false;
  }
  if (!PlatformClose(current.handle) && ok) {
    NoteFailure("close");
    ok = false;
  }
  if (ok && !PlatformReplace(current.replacement_temp.c_str(), current.replacement_target.c_str())) {
    NoteFailure("rename");
    ok = false;
  }
  if (!ok) PlatformRemove(current.replacement_temp.c_str());
  PlatformRemoveOnSignal(nullptr);
  ResetCurrentFile();
  return ok;
}

void AbandonCurrentFile() {
  if (current.handle != kInvalidHandle) PlatformClose(current.handle);
  if (!current.replacement_temp.empty()) PlatformRemove(current.replacement_temp.c_str());
  PlatformRemoveOnSignal(nullptr);
  ResetCurrentFile();
}

std::string CurrentFileError() { return last_error; }
