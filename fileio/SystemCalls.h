// The system calls the POSIX file layer makes to open, read, write, flush,
// close and rename files, one function each. They stand alone so that a test
// program can link its own in their place and make any of them fail.
#pragma once

#include <cstddef>

namespace system_calls {

int Open(const char* name, int flags, unsigned mode);
long Read(int fd, void* buffer, std::size_t count);
long Write(int fd, const void* buffer, std::size_t count);
int Fdatasync(int fd);
int Fsync(int fd);
int Close(int fd);
int Rename(const char* from, const char* to);

}  // namespace system_calls
