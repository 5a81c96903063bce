// Copies a file as the converter writes its image: the bytes go to a new
// temporary file beside the target, are flushed to disk, the temporary file is
// renamed over the target, and the folder is flushed. The floor of time for a
// program that replaces a file so that neither a crash nor a power cut can
// leave a broken one.
// Usage: fenwa_bench_durable_copy FROM TO   (TO in the current folder)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FROM TO\n", argv[0]);
    return 2;
  }
  const int in = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (in < 0 || ::fstat(in, &info) != 0) return 1;
  std::vector<char> bytes(static_cast<std::size_t>(info.st_size));
  if (::read(in, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
  ::close(in);
  const std::string temporary = std::string(argv[2]) + ".tmp";
  const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0 || ::write(out, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
  if (::fdatasync(out) != 0 || ::close(out) != 0 || std::rename(temporary.c_str(), argv[2]) != 0) return 1;
  const int folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0 || ::fsync(folder) != 0) return 1;
  ::close(folder);
  return 0;
}
