#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "fileio/SystemCalls.h"

namespace system_calls {

int Open(const char* name, int flags, unsigned mode) { return ::open(name, flags, static_cast<mode_t>(mode)); }
long Read(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); }
long Write(int fd, const void* buffer, std::size_t count) { return ::write(fd, buffer, count); }
int Fdatasync(int fd) { return ::fdatasync(fd); }
int Fsync(int fd) { return ::fsync(fd); }
int Close(int fd) { return ::close(fd); }
int Rename(const char* from, const char* to) { return std::rename(from, to); }

}  // namespace system_calls
