#include "fileio/CurrentFile.h"

void CurrentFile::NoteFailure(const char* what) { error_ = std::string(what) + ": " + PlatformLastError(); }

void CurrentFile::Reset() {
  handle_ = kInvalidHandle;
  position_ = os_position_ = 0;
  write_failed_ = false;
  read_failed_ = false;
  name_.clear();
  replacement_temp_.clear();
  replacement_target_.clear();
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

bool CurrentFile::Open(const char* name) {
  Close();
  handle_ = PlatformOpen(name, Access::kRead);
  if (handle_ == kInvalidHandle) {
    error_ = PlatformLastError();
    return false;
  }
  name_ = name;
  return true;
}

int CurrentFile::Read(void* destination, std::int32_t count) {
  if (handle_ == kInvalidHandle || !replacement_temp_.empty() || count <= 0 || !MoveSystemPointer(position_)) return 0;
  auto* out = static_cast<std::uint8_t*>(destination);
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

int CurrentFile::Write(const void* source, std::int32_t count) {
  if (handle_ == kInvalidHandle || replacement_temp_.empty() || count <= 0) return 0;
  if (!MoveSystemPointer(position_)) {
    write_failed_ = true;
    return 0;
  }
  const auto* in = static_cast<const std::uint8_t*>(source);
  std::int32_t done = 0;
  while (done < count) {
    const std::int64_t written = PlatformWrite(handle_, in + done, static_cast<std::size_t>(count - done));
    if (written <= 0) {
      if (written < 0) {
        NoteFailure("write");
      } else {
        error_ = "write: the system accepted no more bytes";
      }
      write_failed_ = true;
      os_position_ = -1;
      break;
    }
    done += static_cast<std::int32_t>(written);
    os_position_ = position_ + done;
  }
  position_ += done;
  return done;
}

std::int32_t CurrentFile::Seek(std::int32_t offset) {
  if (handle_ == kInvalidHandle || offset < 0) return -1;
  position_ = offset;
  return offset;
}

void CurrentFile::Close() {
  if (handle_ == kInvalidHandle) return;
  if (!replacement_temp_.empty()) {
    Abandon();
    return;
  }
  PlatformClose(handle_);
  Reset();
}

bool CurrentFile::OpenReplacement(const char* name) {
  Close();
  std::string target = PlatformReplacementTarget(name);
  if (!PlatformIsReplaceable(target.c_str(), error_)) return false;
  if (!PlatformMayReplace(target.c_str())) {
    error_ = PlatformLastError();
    return false;
  }
  std::string temp;
  handle_ = PlatformCreateTemporary(target, temp);
  if (handle_ == kInvalidHandle) {
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
  bool ok = !write_failed_;
  if (ok && !PlatformSync(handle_)) {
    NoteFailure("sync");
    ok = false;
  }
  PlatformForgetTemporary();
  if (!PlatformClose(handle_) && ok) {
    NoteFailure("close");
    ok = false;
  }
  // Should something else have taken the target's place meanwhile, it is not renamed over.
  if (ok && !PlatformIsReplaceable(replacement_target_.c_str(), error_)) ok = false;
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
