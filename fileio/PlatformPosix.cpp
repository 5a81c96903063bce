#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fileio/Platform.h"

// POSIX has no exclusive open; an ordinary open serves.
PlatformHandle PlatformOpen(const char* name, Access access, Disposition disposition) {
  int flags = O_CLOEXEC;
  flags |= access == Access::kRead ? O_RDONLY : access == Access::kWrite ? O_WRONLY : O_RDWR;
  if (disposition == Disposition::kCreateAlways) flags |= O_CREAT | O_TRUNC;
  if (disposition == Disposition::kOpenAlways) flags |= O_CREAT;
  if (disposition == Disposition::kCreateNew) flags |= O_CREAT | O_EXCL;
  int fd;
  do {
    fd = ::open(name, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidHandle;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return kInvalidHandle;
  }
  return fd;
}

std::int64_t PlatformRead(PlatformHandle handle, void* buffer, std::size_t count) {
  ssize_t got;
  do {
    got = ::read(static_cast<int>(handle), buffer, count);
  } while (got < 0 && errno == EINTR);
  return got;
}

std::int64_t PlatformWrite(PlatformHandle handle, const void* buffer, std::size_t count) {
  ssize_t written;
  do {
    written = ::write(static_cast<int>(handle), buffer, count);
  } while (written < 0 && errno == EINTR);
  return written;
}

std::int64_t PlatformSeek(PlatformHandle handle, std::int64_t offset, bool from_end) {
  return ::lseek(static_cast<int>(handle), static_cast<off_t>(offset), from_end ? SEEK_END : SEEK_SET);
}

bool PlatformSync(PlatformHandle handle) { return ::fdatasync(static_cast<int>(handle)) == 0; }

bool PlatformClose(PlatformHandle handle) { return ::close(static_cast<int>(handle)) == 0; }

bool PlatformReplace(const char* from, const char* to) { return std::rename(from, to) == 0; }

void PlatformRemove(const char* name) { ::unlink(name); }

std::string PlatformReplacementTarget(const char* name) {
  struct stat info {};
  if (::lstat(name, &info) != 0 || !S_ISLNK(info.st_mode)) return name;
  char resolved[PATH_MAX];
  return ::realpath(name, resolved) != nullptr ? std::string(resolved) : std::string(name);
}

bool PlatformMayReplace(const char* name) { return ::access(name, F_OK) != 0 || ::access(name, W_OK) == 0; }

namespace {

char removal_name[PATH_MAX + 64];
volatile std::sig_atomic_t removal_pending = 0;

void RemoveAndEnd(int signal_number) {
  if (removal_pending) ::unlink(removal_name);
  ::raise(signal_number);  // delivered with the default action once this handler returns
}

}  // namespace

void PlatformRemoveOnSignal(const char* name) {
  removal_pending = 0;
  if (name == nullptr || std::strlen(name) >= sizeof removal_name) return;
  std::strcpy(removal_name, name);
  removal_pending = 1;
}

std::string PlatformUniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

std::string PlatformLastError() { return std::strerror(errno); }

void PlatformPrepareProcess() {
  // A write past the file-size limit then fails with an error we report,
  // instead of killing the process and leaving a temporary file behind.
  ::signal(SIGXFSZ, SIG_IGN);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (::sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction removal {};
    removal.sa_handler = RemoveAndEnd;
    removal.sa_flags = SA_RESETHAND;
    sigemptyset(&removal.sa_mask);
    ::sigaction(signal_number, &removal, nullptr);
  }
}
