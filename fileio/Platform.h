// What the current file needs of the operating system: open an existing file
// to read, read, write, absolute seek, sync, close, rename and remove.
// One implementation per platform; everything above it is shared.
#pragma once

#include <cstdint>
#include <span>
#include <string>

using PlatformHandle = std::intptr_t;
inline constexpr PlatformHandle kInvalidHandle = -1;

enum class Access {
  kRead,
  kReadShared,  // letting other readers open the file too (the tools: a file compared with itself)
};

// Opens an existing regular file (never a folder) to read, for exclusive use
// where the platform offers it (but for kReadShared).
PlatformHandle PlatformOpen(const char* name, Access access);
// Returns bytes read, 0 at the end, or -1 on error.
std::int64_t PlatformRead(PlatformHandle handle, void* buffer, std::size_t count);
// Returns bytes written (possibly fewer than asked), or -1 on error.
std::int64_t PlatformWrite(PlatformHandle handle, const void* buffer, std::size_t count);
// Moves to `offset` from the start (or from the end when `from_end`); returns the new position or -1.
std::int64_t PlatformSeek(PlatformHandle handle, std::int64_t offset, bool from_end);
bool PlatformSync(PlatformHandle handle);
bool PlatformClose(PlatformHandle handle);
bool PlatformReplace(const char* from, const char* to);
// The file a replacement of `name` takes the place of: where a symbolic link
// (or a chain of them) points, whether that exists or not, so that the link
// survives; `name` itself otherwise. A relative link is read from its folder.
std::string PlatformReplacementTarget(const char* name);
// False, with the reason in `reason`, when `name` exists but is not a regular
// file once links are followed (a folder, a device, a named pipe, a socket),
// or cannot be looked at. Never opens it.
bool PlatformIsReplaceable(const char* name, std::string& reason);
// False, with the system's reason, when `name` exists but may not be written.
bool PlatformMayReplace(const char* name);
void PlatformRemove(const char* name);

// Creates a new file for writing beside `target`, named after it with a random
// ending (`name` receives the name). A name that is taken is never opened:
// another is tried, so neither a leftover of an earlier run nor a converter at
// work in the same folder is in the way. When `target` exists, the new file
// gets its permission bits, and its owner and group where the process may set
// them (on Windows, its attributes). Until PlatformForgetTemporary, an
// interruption that ends the process (a signal; Ctrl+C, Ctrl+Break or a closed
// console on Windows) removes the file first.
PlatformHandle PlatformCreateTemporary(const std::string& target, std::string& name);
// The temporary file is about to be closed and renamed or removed: an
// interruption leaves it alone from now on.
void PlatformForgetTemporary();
// Makes a rename in the folder of `name` last through a power cut, where the
// platform does not do so with the rename itself; where the folder cannot be
// flushed, the rename is left to the system.
void PlatformSyncFolder(const char* name);
// A block of `size` bytes of memory for a run's large tables, on large pages
// where the system offers them, so that a first touch costs one page fault
// instead of hundreds (on a virtual machine each is dear); empty when there is
// none. It lives until the process ends.
std::span<std::uint8_t> PlatformReserveLargeMemory(std::size_t size);

// True when both names exist and are the same file (through links, or a
// second name of it); false otherwise.
bool PlatformSameFile(const char* a, const char* b);

// From now on names are UTF-8 (the companion tools); until then they are in
// the system's own encoding, as the converter has always taken them. Only
// Windows makes a difference: its ANSI code page, or UTF-8 through the wide
// calls.
void PlatformUseUtf8Names();

// The system's text for the last failure.
std::string PlatformLastError();
// Sets the process up for writing: a write past a size limit fails instead of
// ending the process, and an interrupted conversion leaves no temporary file.
void PlatformPrepareProcess();
