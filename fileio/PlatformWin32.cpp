// The platform layer on Win32: every open is exclusive (share mode 0), and the
// finished output replaces its target with MoveFileExA.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "fileio/Platform.h"

namespace {

HANDLE AsHandle(PlatformHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// ReadFile and WriteFile take 32-bit counts; a larger request is served in part.
DWORD ClampCount(std::size_t count) { return static_cast<DWORD>(std::min<std::size_t>(count, 0x7FFFFFFF)); }

}  // namespace

PlatformHandle PlatformOpen(const char* name, Access access, Disposition disposition) {
  DWORD desired = access == Access::kRead    ? GENERIC_READ
                  : access == Access::kWrite ? GENERIC_WRITE
                                             : GENERIC_READ | GENERIC_WRITE;
  DWORD creation = OPEN_EXISTING;
  if (disposition == Disposition::kCreateAlways) creation = CREATE_ALWAYS;
  if (disposition == Disposition::kOpenAlways) creation = OPEN_ALWAYS;
  if (disposition == Disposition::kCreateNew) creation = CREATE_NEW;
  HANDLE handle = ::CreateFileA(name, desired, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kInvalidHandle;
  // CreateFileA already refuses folders without FILE_FLAG_BACKUP_SEMANTICS; this
  // keeps the rule whatever the file system does.
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return kInvalidHandle;
  }
  return reinterpret_cast<PlatformHandle>(handle);
}

std::int64_t PlatformRead(PlatformHandle handle, void* buffer, std::size_t count) {
  DWORD got = 0;
  if (!::ReadFile(AsHandle(handle), buffer, ClampCount(count), &got, nullptr)) return -1;
  return got;
}

std::int64_t PlatformWrite(PlatformHandle handle, const void* buffer, std::size_t count) {
  DWORD written = 0;
  if (!::WriteFile(AsHandle(handle), buffer, ClampCount(count), &written, nullptr)) return -1;
  return written;
}

std::int64_t PlatformSeek(PlatformHandle handle, std::int64_t offset, bool from_end) {
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  DWORD low = ::SetFilePointer(AsHandle(handle), static_cast<LONG>(offset & 0xFFFFFFFF), &high,
                               from_end ? FILE_END : FILE_BEGIN);
  // INVALID_SET_FILE_POINTER is also the low half of some valid positions.
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return -1;
  return (static_cast<std::int64_t>(high) << 32) | low;
}

bool PlatformSync(PlatformHandle handle) { return ::FlushFileBuffers(AsHandle(handle)) != 0; }

bool PlatformClose(PlatformHandle handle) { return ::CloseHandle(AsHandle(handle)) != 0; }

bool PlatformReplace(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void PlatformRemove(const char* name) { ::DeleteFileA(name); }

std::string PlatformReplacementTarget(const char* name) { return name; }

bool PlatformMayReplace(const char* name) {
  const DWORD attributes = ::GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

// The temporary file is held exclusively while it is written, so no handler
// could remove it; an interrupted run may leave it behind.
void PlatformRemoveOnSignal(const char*) {}

std::string PlatformUniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

std::string PlatformLastError() {
  const DWORD code = ::GetLastError();
  char text[512] = {};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  while (length > 0 &&
         (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  const std::string number = "error " + std::to_string(code);
  return length == 0 ? number : std::string(text, length) + " (" + number + ")";
}

// A Win32 write past a quota fails with an error code; nothing kills the process.
void PlatformPrepareProcess() {}
