// The current file: the one open file that every read and write of a
// conversion acts on. The input is opened for reading, read at absolute
// offsets and closed; the output is written as a replacement: OpenReplacement
// creates a temporary file beside the target, and CommitReplacement renames it
// over the target only after every byte was written, synced and the file
// closed without error. Every read and write goes straight to the system; the
// counts returned are those of an unbuffered file (a short count at the end
// of the file, a seek past the end showing up at the next read).
#pragma once

#include <cstdint>
#include <string>

#include "fileio/Platform.h"

class CurrentFile {
 public:
  CurrentFile() = default;
  // Closes the file; a replacement not yet committed is removed.
  ~CurrentFile() { Close(); }
  CurrentFile(const CurrentFile&) = delete;
  CurrentFile& operator=(const CurrentFile&) = delete;

  // Opens NAME, which must exist and not be a folder, for reading, for
  // exclusive use where the platform offers it; false when it cannot.
  bool Open(const char* name);

  // Reads up to `count` bytes at the position; returns the number read (0 at
  // the end of the file or on error) and moves the position past them.
  int Read(void* buffer, std::int32_t count);
  // Writes `count` bytes at the position; returns the number written.
  int Write(const void* buffer, std::int32_t count);
  // Moves the position to `offset` from the start; returns it, or -1 for a
  // negative offset (the position then stays where it was).
  std::int32_t Seek(std::int32_t offset);

  // Closes the file if one is open; harmless when none is.
  void Close();

  // Opens a new temporary file beside NAME (beside the file a symbolic link
  // NAME points to, which need not exist yet) for writing. False when it
  // cannot be created, or when NAME exists but is not a regular file (a
  // folder, a device, a named pipe: never opened) or may not be written.
  bool OpenReplacement(const char* name);
  // Syncs and closes the temporary file and renames it over the target, unless
  // the target has become something other than a regular file meanwhile. On
  // any failure the temporary file is removed and the target left as it was.
  bool CommitReplacement();
  // Closes the file; a replacement in progress is removed unfinished.
  void Abandon();

  // The system's explanation of the last failed open, read, write, sync, close or rename.
  const std::string& Error() const { return error_; }
  // True when a read failed for another reason than the end of the file.
  bool ReadFailed() const { return read_failed_; }
  // The name the file was opened by.
  const std::string& Name() const { return name_; }

 private:
  void Reset();
  void NoteFailure(const char* what);
  bool MoveSystemPointer(std::int64_t offset);

  PlatformHandle handle_ = kInvalidHandle;
  std::int64_t position_ = 0;     // where the next read or write takes place
  std::int64_t os_position_ = 0;  // where the system's file pointer stands
  bool write_failed_ = false;
  bool read_failed_ = false;
  std::string name_;
  std::string replacement_temp_;  // set while a replacement is being written
  std::string replacement_target_;
  std::string error_;
};
