// The current file: the one open file that every read, write and seek acts on.
//
// Modes (first characters of the mode text):
//   "r" not followed by "+"   read                 the file must exist     at offset 0
//   "w" not followed by "+"   write, truncating    created when missing    at offset 0
//   "a" (with or without "+") write                created when missing    at the end
//   anything else             read and write       created when missing    at offset 0
//
// Reads and writes pass through one buffer, so thousands of small records cost
// few system calls; the counts returned behave as unbuffered ones would (a short
// count at the end of the file, a seek past the end showing up at the next read).
//
// The output is written as a replacement: OpenReplacement creates a temporary
// file beside the target, and CommitReplacement renames it over the target only
// after every byte was written, synced and the file closed without error.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kSeekFromStart = 0;
inline constexpr int kSeekFromCurrent = 1;
inline constexpr int kSeekFromEnd = 2;

// Prints the trace line "fn=NAMEP", then opens NAME; false when it cannot be opened.
bool OpenCurrentFile(const char* name, const char* mode);

// Reads up to `count` bytes; returns the number read (0 at the end of the file or on error).
int ReadCurrentFile(void* buffer, std::int32_t count);

// Writes `count` bytes; returns the number written.
int WriteCurrentFile(const void* buffer, std::int32_t count);

// As WriteCurrentFile, with `count` cut to its low 16 bits first.
int WriteCurrentFile16(const void* buffer, std::int32_t count);

// Moves the position by a signed 32-bit distance; returns the new position, or -1.
std::int32_t SeekCurrentFile(std::int32_t offset, int origin);

// The position at which the next read or write takes place.
std::uint32_t CurrentFilePosition();

// Closes the current file if one is open; harmless when none is.
void CloseCurrentFile();

// Prints the trace line for `name`, then opens a new temporary file beside it
// (beside the file a symbolic link `name` points to) as the current file, for
// writing. False when it cannot be created, or when `name` exists but may not
// be written.
bool OpenReplacement(const char* name);

// Flushes, syncs and closes the temporary file and renames it over the target.
// On any failure the temporary file is removed and the target left as it was.
bool CommitReplacement();

// Closes the current file; a replacement in progress is removed unfinished.
void AbandonCurrentFile();

// The system's explanation of the last failed open, write, sync, close or rename.
std::string CurrentFileError();
