// The current file: the one open file that every read, write and seek of a
// conversion acts on.
//
// Modes (first characters of the mode text):
//   "r" not followed by "+"   read                 the file must exist     at offset 0
//   "w" not followed by "+"   write, truncating    created when missing    at offset 0
//   "a" (with or without "+") write                created when missing    at the end
//   anything else             read and write       created when missing    at offset 0
//
// Small reads and writes pass through one buffer, so thousands of them cost
// few system calls, and large ones go straight to the system; the counts
// returned behave as unbuffered ones would (a short count at the end of the
// file, a seek past the end showing up at the next read).
//
// The output is written as a replacement: OpenReplacement creates a temporary
// file beside the target, and CommitReplacement renames it over the target only
// after every byte was written, synced and the file closed without error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fileio/Platform.h"

inline constexpr int kSeekFromStart = 0;
inline constexpr int kSeekFromCurrent = 1;
inline constexpr int kSeekFromEnd = 2;

class CurrentFile {
 public:
  CurrentFile() = default;
  // Closes the file; a replacement not yet committed is removed.
  ~CurrentFile() { Close(); }
  CurrentFile(const CurrentFile&) = delete;
  CurrentFile& operator=(const CurrentFile&) = delete;

  // Prints the trace line "fn=NAMEP", then opens NAME; false when it cannot be opened.
  bool Open(const char* name, const char* mode);

  // Reads up to `count` bytes; returns the number read (0 at the end of the file or on error).
  int Read(void* buffer, std::int32_t count);
  // As Read, without reading ahead: for a reader that keeps what it reads.
  int ReadDirect(void* buffer, std::int32_t count);
  // Writes `count` bytes; returns the number written.
  int Write(const void* buffer, std::int32_t count);
  // As Write, with `count` cut to its low 16 bits first.
  int Write16(const void* buffer, std::int32_t count);
  // Moves the position by a signed 32-bit distance; returns the new position, or -1.
  std::int32_t Seek(std::int32_t offset, int origin);
  // The position at which the next read or write takes place.
  std::uint32_t Position() const { return static_cast<std::uint32_t>(position_); }

  // Closes the file if one is open; harmless when none is.
  void Close();

  // Prints the trace line for `name`, then opens a new temporary file beside it
  // (beside the file a symbolic link `name` points to) for writing. False when
  // it cannot be created, or when `name` exists but may not be written.
  bool OpenReplacement(const char* name);
  // Flushes, syncs and closes the temporary file and renames it over the target.
  // On any failure the temporary file is removed and the target left as it was.
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
  enum class BufferState { kEmpty, kReading, kWriting };

  bool Adopt(PlatformHandle handle, bool can_read, bool can_write);
  void Reset();
  void NoteFailure(const char* what);
  bool MoveSystemPointer(std::int64_t offset);
  bool FlushWrites();
  bool FillBuffer();
  std::size_t BufferedBytesAtPosition() const;
  std::int32_t ReadFromSystem(std::uint8_t* out, std::int32_t count);
  std::size_t WriteAt(std::int64_t at, const std::uint8_t* in, std::size_t count);

  PlatformHandle handle_ = kInvalidHandle;
  bool can_read_ = false;
  bool can_write_ = false;
  std::int64_t position_ = 0;     // where the next read or write takes place
  std::int64_t os_position_ = 0;  // where the system's file pointer stands
  BufferState state_ = BufferState::kEmpty;
  std::int64_t buffer_start_ = 0;  // file offset of the buffer's first byte
  std::size_t buffer_length_ = 0;  // bytes read ahead, or bytes waiting to be written
  std::unique_ptr<std::uint8_t[]> buffer_;
  bool write_failed_ = false;
  bool read_failed_ = false;
  std::string name_;
  std::string replacement_temp_;  // set while a replacement is being written
  std::string replacement_target_;
  std::string error_;
};
