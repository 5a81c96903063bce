// The platform layer on Win32: every open is exclusive (share mode 0), and the
// finished output replaces its target with MoveFileExA, written through.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#define _CRT_RAND_S  // rand_s, from the system's random source
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fileio/Platform.h"
#include "fileio/WideText.h"

namespace {

HANDLE AsHandle(PlatformHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// Names in UTF-8 (the companion tools) go through the wide calls; otherwise
// (the converter) names are in the ANSI code page, as they always were.
bool utf8_names = false;

HANDLE CreateByName(const char* name, DWORD access, DWORD share, DWORD creation, DWORD flags) {
  return utf8_names ? ::CreateFileW(WideFromUtf8(name).c_str(), access, share, nullptr, creation, flags, nullptr)
                    : ::CreateFileA(name, access, share, nullptr, creation, flags, nullptr);
}

DWORD AttributesByName(const char* name) {
  return utf8_names ? ::GetFileAttributesW(WideFromUtf8(name).c_str()) : ::GetFileAttributesA(name);
}

// ReadFile and WriteFile take 32-bit counts; a larger request is served in part.
DWORD ClampCount(std::size_t count) { return static_cast<DWORD>(std::min<std::size_t>(count, 0x7FFFFFFF)); }

}  // namespace

PlatformHandle PlatformOpen(const char* name, Access access) {
  const DWORD share = access == Access::kReadShared ? FILE_SHARE_READ : 0;
  HANDLE handle = CreateByName(name, GENERIC_READ, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
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

// A target that another process is replacing at the same moment refuses the
// rename for an instant: it is tried again for half a second before the
// failure stands (a target another program holds open stays refused).
bool PlatformReplace(const char* from, const char* to) {
  for (int attempt = 0;; ++attempt) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if ((utf8_names ? ::MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), flags)
                    : ::MoveFileExA(from, to, flags)) != 0)
      return true;
    const DWORD error = ::GetLastError();
    if (attempt == 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) return false;
    ::Sleep(25);
    ::SetLastError(error);
  }
}

void PlatformRemove(const char* name) {
  if (utf8_names) {
    ::DeleteFileW(WideFromUtf8(name).c_str());
  } else {
    ::DeleteFileA(name);
  }
}

std::string PlatformReplacementTarget(const char* name) { return name; }

namespace {

// True when the system takes `name` for a device ("NUL", "COM1", "\\.\pipe\x"):
// its full form lies in the device space "\\.\", but for a drive there ("\\.\C:\...").
template <typename Char>
bool InDeviceSpace(const Char* full, DWORD length) {
  return length >= 4 && full[0] == '\\' && full[1] == '\\' && full[2] == '.' && full[3] == '\\' &&
         !(length >= 6 && full[5] == ':');
}

bool IsDevice(const char* name) {
  if (utf8_names) {
    wchar_t full[MAX_PATH + 8];
    const DWORD length = ::GetFullPathNameW(WideFromUtf8(name).c_str(), MAX_PATH + 8, full, nullptr);
    return length > 0 && length < MAX_PATH + 8 && InDeviceSpace(full, length);
  }
  char full[MAX_PATH + 8];
  const DWORD length = ::GetFullPathNameA(name, MAX_PATH + 8, full, nullptr);
  return length > 0 && length < MAX_PATH + 8 && InDeviceSpace(full, length);
}

}  // namespace

bool PlatformIsReplaceable(const char* name, std::string& reason) {
  const DWORD attributes = AttributesByName(name);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = "not a regular file (a folder)";
    return false;
  }
  if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) || IsDevice(name)) {
    reason = "not a regular file (a device)";
    return false;
  }
  return true;
}

bool PlatformMayReplace(const char* name) {
  const DWORD attributes = AttributesByName(name);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

namespace {

// The temporary file an interruption removes, and the handle it is held by;
// the handle is taken by whoever closes the file first.
wchar_t removal_name[MAX_PATH + 64];
HANDLE volatile removal_handle = nullptr;

// Ctrl+C, Ctrl+Break, a closed console, a logoff or a shutdown: the temporary
// file is closed and removed, then the default handler ends the process.
BOOL WINAPI RemoveOnInterrupt(DWORD) {
  HANDLE held = ::InterlockedExchangePointer(const_cast<HANDLE*>(&removal_handle), nullptr);
  if (held != nullptr) {
    ::CloseHandle(held);
    ::DeleteFileW(removal_name);
  }
  return FALSE;
}

// Sixteen hexadecimal digits from the system's random source, or, should it
// fail, from the clock, the process and a counter.
std::string RandomSuffix() {
  unsigned int high = 0;
  unsigned int low = 0;
  if (rand_s(&high) != 0 || rand_s(&low) != 0) {
    static unsigned int counter = 0;
    high = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    low = static_cast<unsigned int>(::GetCurrentThreadId()) * 2654435761u + ++counter;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", high, low);
  return text;
}

constexpr int kNameAttempts = 100;
// The attributes a new image takes over from the old one.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

PlatformHandle PlatformCreateTemporary(const std::string& target, std::string& name) {
  const DWORD old = AttributesByName(target.c_str());
  const bool keep = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY) == 0;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = target + ".tmp-" + RandomSuffix();
    const HANDLE handle = CreateByName(name.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return kInvalidHandle;
    }
    if (keep && (old & kKeptAttributes) != 0) {
      FILE_BASIC_INFO basic{};  // times of zero are left as they are
      basic.FileAttributes = old & kKeptAttributes;
      ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    }
    // The name the interruption removes it by, in the form that names it whatever the encoding.
    const int length = utf8_names ? ::MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, removal_name, MAX_PATH + 64)
                                  : ::MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, removal_name, MAX_PATH + 64);
    if (length > 0) ::InterlockedExchangePointer(const_cast<HANDLE*>(&removal_handle), handle);
    return reinterpret_cast<PlatformHandle>(handle);
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return kInvalidHandle;
}

void PlatformForgetTemporary() { ::InterlockedExchangePointer(const_cast<HANDLE*>(&removal_handle), nullptr); }

// MoveFileExA with MOVEFILE_WRITE_THROUGH returns only once the rename is on disk.
void PlatformSyncFolder(const char*) {}

// Large pages need a privilege that ordinary users lack: the heap serves.
std::span<std::uint8_t> PlatformReserveLargeMemory(std::size_t) { return {}; }

bool PlatformSameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const char* names[2] = {a, b};
  for (int i = 0; i < 2; ++i) {
    const HANDLE handle = CreateByName(names[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const BOOL known = ::GetFileInformationByHandle(handle, &info[i]);
    ::CloseHandle(handle);
    if (!known) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

void PlatformUseUtf8Names() { utf8_names = true; }

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
void PlatformPrepareProcess() { ::SetConsoleCtrlHandler(RemoveOnInterrupt, TRUE); }
