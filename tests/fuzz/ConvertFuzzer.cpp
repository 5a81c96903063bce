// Runs the whole conversion in-process on arbitrary bytes and checks what a
// user relies on, whatever the input:
//   - a conversion either succeeds, and then the image reads back without a
//     problem, its counts agree with the input's header and converting in
//     memory gives the same image, or it fails through FatalErrorException
//     with a one-line reason, before the output was touched;
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

#include "base/ByteSource.h"
#include "base/Fatal.h"
#include "driver/Convert.h"
#include "network/IntermediateFormat.h"
#include "toolkit/ImageReader.h"

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

// What a user relies on of an image the converter wrote: the tolerant reader
// finds nothing wrong with it, its counts are the input's, and converting the
// same bytes in memory gives the same image.
void CheckImage(const std::vector<std::uint8_t>& image, const std::uint8_t* input, std::size_t input_size) {
  namespace header = intermediate::header;
  Check(input_size >= header::kSize && intermediate::HasMagic(input), "an input without header and magic was accepted");
  const intermediate::FileHeader in = intermediate::DecodeHeader(input);
  Check(in.base_offset <= intermediate::kMaxSectionOffset && in.trailer_offset <= intermediate::kMaxSectionOffset,
        "a section offset of 2^31 or more was accepted");
  Check(in.station_count >= 0 && in.route_count >= 0 && in.string_count >= 0, "a negative count was accepted");

  MemorySource source(image);
  const ImageReading reading = ReadImage(source);
  Check(reading.findings.problems.empty(),
        "the image reads back with problems: " +
            (reading.findings.problems.empty() ? std::string() : reading.findings.problems.front()));
  Check(reading.image_header.has_value(), "the image has no image header");
  const image::ImageCounts& c = reading.counts;
  Check(c.stations == static_cast<std::uint32_t>(in.station_count), "station count differs from the input's");
  Check(c.routes == static_cast<std::uint32_t>(in.route_count), "route count differs from the input's");
  Check(c.strings == static_cast<std::uint32_t>(in.string_count), "string count differs from the input's");
  Check(c.pool_size == in.pool_size, "pool size differs from the input's");
  Check(c.rstat_capacity == static_cast<std::uint32_t>(intermediate::EffectiveRStatCapacity(in)),
        "route-station capacity differs from the input's");
  Check(c.file_nodes == in.node_count, "node count differs from the input's");
  for (std::uint32_t length : image::RecordLengths(c)) Check(length < 65536, "a record of 65536 bytes or more");

  const Conversion in_memory = ConvertInMemory({input, input_size}, kInputName);
  Check(in_memory.status == 0 && in_memory.image == image, "converting in memory gives another result");
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
    Check(ConvertInMemory({data, size}, kInputName).status == kExitFailure, "converting in memory succeeds");
  }
  return 0;
}
