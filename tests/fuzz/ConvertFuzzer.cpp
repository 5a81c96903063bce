// Runs the whole conversion in-process on arbitrary bytes and checks what a
// user relies on, whatever the input:
//   - a conversion either succeeds, and then the image's record list agrees
//     with its records and its counts agree with the input's header, or it
//     fails through FatalErrorException with a one-line reason, before the
//     output was touched;
//   - no file is left behind but the image, and no file descriptor stays open.
// Crashes, sanitizer reports and leaks are found by the sanitizers themselves.
//
// The scratch folder is FENWA_FUZZ_SCRATCH when set, else a new folder under
// /dev/shm (or the system's temporary folder); the process works inside it.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Fatal.h"
#include "driver/Convert.h"

namespace {

namespace fs = std::filesystem;

constexpr char kInputName[] = "input.dat";
constexpr char kOutputName[] = "fenwaimg.pdb";
// What stands in the output's place before every run; a failed run must leave it.
const std::string kPreviousImage = "previous image, to be kept byte for byte by every failed run\n";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void Check(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

void WriteWhole(const char* name, const void* data, std::size_t size) {
  int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail(std::string("cannot create ") + name);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    ssize_t done = ::write(fd, bytes, size);
    if (done <= 0) Fail(std::string("cannot write ") + name);
    bytes += done;
    size -= static_cast<std::size_t>(done);
  }
  ::close(fd);
}

std::vector<std::uint8_t> ReadWhole(const char* name) {
  std::vector<std::uint8_t> bytes;
  int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(std::string("cannot open ") + name);
  std::uint8_t chunk[65536];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) Fail(std::string("cannot read ") + name);
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ::close(fd);
  return bytes;
}

// The names in the current folder, "." and ".." left out.
std::vector<std::string> FolderNames() {
  std::vector<std::string> names;
  DIR* dir = ::opendir(".");
  if (dir == nullptr) Fail("cannot list the scratch folder");
  while (const dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// The descriptors open in this process.
std::vector<int> OpenDescriptors() {
  std::vector<int> fds;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) Fail("cannot list /proc/self/fd");
  const int own = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    int fd = std::atoi(entry->d_name);
    if (fd != own) fds.push_back(fd);
  }
  ::closedir(dir);
  return fds;
}

std::uint16_t LE16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t LE32(const std::uint8_t* p) { return LE16(p) | static_cast<std::uint32_t>(LE16(p + 2)) << 16; }
std::uint16_t BE16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}
std::uint32_t BE32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(BE16(b, at)) << 16 | BE16(b, at + 2);
}

// The input's header, decoded here independently of the converter.
struct InputCounts {
  std::int32_t stations, routes, strings, rstat;
  std::uint16_t pool, nodes;
};

InputCounts DecodeInput(const std::uint8_t* data) {
  InputCounts counts{};
  counts.stations = static_cast<std::int16_t>(LE16(data + 50));
  counts.routes = static_cast<std::int16_t>(LE16(data + 52));
  counts.strings = static_cast<std::int16_t>(LE16(data + 54));
  counts.pool = LE16(data + 56);
  counts.nodes = LE16(data + 48);
  const std::int32_t given = static_cast<std::int16_t>(LE16(data + 46));
  counts.rstat = given > 0 ? given : 2 * counts.stations;
  return counts;
}

void CheckImage(const std::vector<std::uint8_t>& image, const std::uint8_t* input, std::size_t input_size) {
  Check(input_size >= 64 && std::memcmp(input, "AD4\x1a", 4) == 0, "an input without header and magic was accepted");
  Check(LE32(input + 4) < 0x80000000u && LE32(input + 8) < 0x80000000u,
        "a section offset of 2^31 or more was accepted");
  Check(image.size() >= 232 + 130, "image shorter than its header, record list and image header");
  Check(std::memcmp(image.data(), "fenwaimg\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 32) == 0,
        "database name");
  Check(std::memcmp(image.data() + 60, "DataFNWA", 8) == 0, "type and creator");
  Check(BE16(image, 76) == 19, "record count in the database header");
  Check(image[230] == 0 && image[231] == 0, "filler bytes");

  const std::size_t image_header = BE32(image, 78);
  Check(image_header == 232, "first record not at 232");
  Check(std::memcmp(image.data() + 232, "IMG0", 4) == 0, "image header magic");
  std::uint16_t counts[9];
  for (int i = 0; i < 9; ++i) counts[i] = BE16(image, 232 + 8 + 2 * static_cast<std::size_t>(i));
  const std::uint32_t s = counts[0], r = counts[1], c = counts[2], p = counts[3], q = counts[4], t = counts[5],
                      n = counts[6], f = counts[7];
  Check(counts[8] == 0, "value-entry count not 0");
  Check(t == n + 20, "node total is not the file nodes plus 20");

  const InputCounts in = DecodeInput(input);
  Check(in.stations >= 0 && in.routes >= 0 && in.strings >= 0, "a negative count was accepted");
  Check(static_cast<std::uint32_t>(in.stations) == s, "station count differs from the input's");
  Check(static_cast<std::uint32_t>(in.routes) == r, "route count differs from the input's");
  Check(static_cast<std::uint32_t>(in.strings) == c, "string count differs from the input's");
  Check(in.pool == p, "pool size differs from the input's");
  Check(in.rstat >= 0 && static_cast<std::uint32_t>(in.rstat) == q, "route-station capacity differs from the input's");
  Check(in.nodes == n, "node count differs from the input's");

  const std::uint32_t lengths[19] = {130,   4, 4 * s, 4, 2 * s, 4, 2 * s,  4, 14 * r, 4,
                                     2 * c, 4, p,     4, 4 * q, 4, 10 * t, 4, 4 * f};
  static const char* const kTags[9] = {"STAT", "SORT", "KSOR", "ROSE", "STRI", "STRP", "RSTA", "ADJL", "FNOD"};
  std::uint32_t expected = 232;
  for (std::size_t i = 0; i < 19; ++i) {
    const std::size_t entry = 78 + 8 * i;
    const std::uint32_t offset = BE32(image, entry);
    Check(offset == expected,
          "record " + std::to_string(i) + " at " + std::to_string(offset) + ", expected " + std::to_string(expected));
    Check(image[entry + 4] == 0x40 && image[entry + 5] == 0 && image[entry + 6] == 0 && image[entry + 7] == 0,
          "record " + std::to_string(i) + " attributes or unique ID");
    Check(lengths[i] < 65536, "record " + std::to_string(i) + " is 65536 bytes or longer");
    if (i % 2 == 1) {
      Check(offset + 4 <= image.size() && std::memcmp(image.data() + offset, kTags[i / 2], 4) == 0,
            std::string("tag ") + kTags[i / 2] + " missing");
    }
    expected += lengths[i];
  }
  Check(image.size() == expected,
        "file size " + std::to_string(image.size()) + ", the record list says " + std::to_string(expected));
}

// The process works inside the scratch folder, so the paths on the command
// line (corpus folders, inputs to rerun, artifact and dictionary paths) are
// made absolute first; crash artifacts go to the folder the fuzzer started in.
void MakePathsAbsolute(int* argc, char*** argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  static const char* const kPathFlags[] = {
      "-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-merge_control_file=", "-features_dir="};
  const std::string here = fs::current_path().string();
  bool has_artifact_prefix = false;
  texts.assign(*argv, *argv + *argc);
  for (std::size_t i = 1; i < texts.size(); ++i) {
    std::string& arg = texts[i];
    if (arg.empty()) continue;
    if (arg[0] != '-') {
      arg = fs::absolute(arg).string();
      continue;
    }
    for (const char* flag : kPathFlags) {
      const std::size_t length = std::strlen(flag);
      if (arg.compare(0, length, flag) != 0) continue;
      if (std::strcmp(flag, "-artifact_prefix=") == 0) has_artifact_prefix = true;
      if (arg.size() > length && arg[length] != '/') arg = flag + (here + "/") + arg.substr(length);
    }
  }
  if (!has_artifact_prefix) texts.push_back("-artifact_prefix=" + here + "/");
  pointers.clear();
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(texts.size());
  *argv = pointers.data();
}

std::string made_folder;  // the scratch folder this process made, removed at exit

void RemoveScratchFolder() {
  ::unlink(kInputName);
  ::unlink(kOutputName);
  if (!made_folder.empty()) ::rmdir(made_folder.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakePathsAbsolute(argc, argv);
  std::string folder;
  if (const char* given = std::getenv("FENWA_FUZZ_SCRATCH"); given != nullptr && *given != '\0') {
    folder = given;
    fs::create_directories(folder);
  } else {
    const fs::path parent = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (parent / "fenwa-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder");
    folder = pattern;
    made_folder = folder;
  }
  std::atexit(RemoveScratchFolder);
  if (::chdir(folder.c_str()) != 0) Fail("cannot enter " + folder);
  // The converter's console lines would drown the fuzzer's own; stderr stays.
  int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) Fail("cannot silence standard output");
  ::close(null);
  std::fprintf(stderr, "fenwa fuzzer: scratch folder %s\n", folder.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WriteWhole(kInputName, data, size);
  WriteWhole(kOutputName, kPreviousImage.data(), kPreviousImage.size());
  const std::vector<int> before = OpenDescriptors();

  bool converted = false;
  try {
    ConvertFile(kInputName);
    converted = true;
  } catch (const FatalErrorException& failure) {
    const std::string reason = failure.what();
    Check(!reason.empty(), "a failure without a reason");
    const std::size_t line_feed = reason.find('\n');
    Check(line_feed == std::string::npos || line_feed == reason.size() - 1,
          "a reason of more than one line: " + reason);
  } catch (const std::exception& other) {
    Fail(std::string("a failure outside the fatal road: ") + other.what());
  } catch (...) {
    Fail("a failure outside the fatal road (not an exception class)");
  }
  std::fflush(stdout);

  Check(OpenDescriptors() == before, "the conversion left a file descriptor open");
  std::vector<std::string> names = FolderNames();
  Check(names.size() == 2, "a stray file was left in the scratch folder");
  for (const std::string& name : names)
    Check(name == kInputName || name == kOutputName, "a stray file was left in the scratch folder: " + name);

  const std::vector<std::uint8_t> output = ReadWhole(kOutputName);
  if (converted) {
    CheckImage(output, data, size);
  } else {
    Check(output == std::vector<std::uint8_t>(kPreviousImage.begin(), kPreviousImage.end()),
          "a failed conversion changed the existing image");
  }
  return 0;
}
