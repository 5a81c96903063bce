#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fileio/Platform.h"
#include "fileio/SystemCalls.h"

namespace {

// Repeats a call that a signal interrupted before it did anything.
template <typename Call>
auto Retried(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

int Fd(PlatformHandle handle) { return static_cast<int>(handle); }

}  // namespace

// POSIX has no exclusive open; an ordinary open serves either access.
PlatformHandle PlatformOpen(const char* name, Access) {
  const int fd = Retried([&] { return system_calls::Open(name, O_RDONLY | O_CLOEXEC, 0); });
  if (fd < 0) return kInvalidHandle;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    system_calls::Close(fd);
    errno = EISDIR;
    return kInvalidHandle;
  }
  return fd;
}

std::int64_t PlatformRead(PlatformHandle handle, void* buffer, std::size_t count) {
  return Retried([&] { return system_calls::Read(Fd(handle), buffer, count); });
}

std::int64_t PlatformWrite(PlatformHandle handle, const void* buffer, std::size_t count) {
  return Retried([&] { return system_calls::Write(Fd(handle), buffer, count); });
}

std::int64_t PlatformSeek(PlatformHandle handle, std::int64_t offset, bool from_end) {
  return ::lseek(Fd(handle), static_cast<off_t>(offset), from_end ? SEEK_END : SEEK_SET);
}

bool PlatformSync(PlatformHandle handle) {
  return Retried([&] { return system_calls::Fdatasync(Fd(handle)); }) == 0;
}

// A close that a signal interrupts has still released the descriptor (and the
// data was flushed before): it is not repeated, and it succeeded.
bool PlatformClose(PlatformHandle handle) { return system_calls::Close(Fd(handle)) == 0 || errno == EINTR; }

bool PlatformReplace(const char* from, const char* to) {
  return Retried([&] { return system_calls::Rename(from, to); }) == 0;
}

void PlatformRemove(const char* name) { ::unlink(name); }

namespace {

// As many links as the system follows in one name before it gives up.
constexpr int kMostLinks = 40;

std::string NotRegular(mode_t mode) {
  const char* kind = S_ISDIR(mode)                    ? " (a folder)"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? " (a device)"
                     : S_ISFIFO(mode)                 ? " (a named pipe)"
                     : S_ISSOCK(mode)                 ? " (a socket)"
                                                      : "";
  return std::string("not a regular file") + kind;
}

}  // namespace

std::string PlatformReplacementTarget(const char* name) {
  std::string target = name;
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    char link[PATH_MAX];
    const ssize_t length = ::readlink(target.c_str(), link, sizeof link);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof link) break;  // left for stat() to refuse
    const std::string points_to(link, static_cast<std::size_t>(length));
    const std::size_t slash = target.rfind('/');
    target = points_to[0] == '/' || slash == std::string::npos ? points_to : target.substr(0, slash + 1) + points_to;
  }
  return target;
}

bool PlatformIsReplaceable(const char* name, std::string& reason) {
  struct stat info {};
  if (::stat(name, &info) != 0) {
    if (errno == ENOENT) return true;  // made anew; a folder on the way that is missing fails the creation
    reason = std::strerror(errno);
    return false;
  }
  if (S_ISREG(info.st_mode)) return true;
  reason = NotRegular(info.st_mode);
  return false;
}

bool PlatformMayReplace(const char* name) { return ::access(name, F_OK) != 0 || ::access(name, W_OK) == 0; }

namespace {

// The temporary file an interrupting signal removes; set only while one is open.
char removal_name[PATH_MAX + 64];
volatile std::sig_atomic_t removal_pending = 0;

void RemoveAndEnd(int signal_number) {
  if (removal_pending) ::unlink(removal_name);
  ::raise(signal_number);  // delivered with the default action once this handler returns
}

constexpr int kInterruptingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Blocks the interrupting signals for its lifetime, keeping errno.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : kInterruptingSignals) sigaddset(&held, signal_number);
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() {
    const int saved = errno;
    ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
    errno = saved;
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// Sixteen hexadecimal digits from the system's random source, or, where it has
// none, from the clock, the process and a counter.
std::string RandomSuffix() {
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    static std::uint64_t counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    bits = (static_cast<std::uint64_t>(now.tv_sec) * 1000000007u) ^ static_cast<std::uint64_t>(now.tv_nsec) ^
           (static_cast<std::uint64_t>(::getpid()) << 40) ^ (++counter * 0x9E3779B97F4A7C15ull);
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
  return text;
}

constexpr int kNameAttempts = 100;

}  // namespace

PlatformHandle PlatformCreateTemporary(const std::string& target, std::string& name) {
  struct stat old {};
  const bool keep_mode = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // No signal falls between the open and the note that the file is ours to remove.
  const SignalsHeld held;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = target + ".tmp-" + RandomSuffix();
    const int fd =
        Retried([&] { return system_calls::Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return kInvalidHandle;
    if (name.size() < sizeof removal_name) {
      std::strcpy(removal_name, name.c_str());
      removal_pending = 1;
    }
    if (keep_mode) {
      // As the old image had them, where the process may set them; the permission bits after the owner.
      [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
      ::fchmod(fd, old.st_mode & 0777);
    }
    return fd;
  }
  errno = EEXIST;
  return kInvalidHandle;
}

void PlatformForgetTemporary() { removal_pending = 0; }

void PlatformSyncFolder(const char* name) {
  const char* slash = std::strrchr(name, '/');
  const std::string folder = slash == nullptr ? "." : slash == name ? "/" : std::string(name, slash);
  const int fd = Retried([&] { return system_calls::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); });
  if (fd < 0) return;
  Retried([&] { return system_calls::Fsync(fd); });
  system_calls::Close(fd);
}

std::span<std::uint8_t> PlatformReserveLargeMemory(std::size_t size) {
  constexpr std::uintptr_t kLargePage = 2u << 20;
  void* raw =
      ::mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return {};
  // A large page covers an aligned stretch only.
  auto* start =
      reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(raw) + kLargePage - 1) & ~(kLargePage - 1));
  ::madvise(start, size, MADV_HUGEPAGE);  // where the system has no large pages, small ones serve
  return {start, size};
}

bool PlatformSameFile(const char* a, const char* b) {
  struct stat first {
  }, second{};
  return ::stat(a, &first) == 0 && ::stat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// POSIX names are bytes: UTF-8 ones pass as they are.
void PlatformUseUtf8Names() {}

std::string PlatformLastError() { return std::strerror(errno); }

void PlatformPrepareProcess() {
  // A write past the file-size limit then fails with an error we report,
  // instead of killing the process and leaving a temporary file behind.
  ::signal(SIGXFSZ, SIG_IGN);
  for (int signal_number : kInterruptingSignals) {
    struct sigaction current {};
    if (::sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction removal {};
    removal.sa_handler = RemoveAndEnd;
    removal.sa_flags = SA_RESETHAND;
    sigemptyset(&removal.sa_mask);
    ::sigaction(signal_number, &removal, nullptr);
  }
}
