// Faults injected at every point of a conversion, in-process: the Nth memory
// allocation fails, or the Nth system call of the file layer fails (EIO,
// ENOSPC), is interrupted (EINTR) or comes back short, for every N until a run
// no longer reaches N. Every run must end either as a success with the exact
// image or as the one failure road: standard output as the converter prints
// it for the step that failed, one line on standard error, status 9, the old
// image untouched, and never a stray file or an open descriptor.
//
// This program links its own system calls and its own operator new in place
// of the library's and the runtime's; outside a run they pass straight through.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "driver/Convert.h"
#include "fileio/SystemCalls.h"
#include "tests/support/Harness.h"
#include "tests/support/SampleNetworks.h"

namespace {

enum class Fault { kNone, kAllocation, kIo, kInterrupted, kShort, kNameTaken };

// What the next run injects, and how far it got.
struct Injection {
  Fault fault = Fault::kNone;
  int error = 0;   // errno of a failed call
  long at = 0;     // the call (or allocation) that fails, counting from 1
  long calls = 0;  // calls (or allocations) made so far in the run
  bool armed = false;
} injection;

// True when this call is the one to tamper with.
bool Strikes(Fault fault) {
  if (!injection.armed || injection.fault != fault) return false;
  return ++injection.calls == injection.at;
}

}  // namespace

void* operator new(std::size_t size) {
  if (Strikes(Fault::kAllocation)) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace system_calls {

namespace {

bool IoStrikes() { return Strikes(Fault::kIo) || Strikes(Fault::kInterrupted) || Strikes(Fault::kShort); }

// A failed call: the error of the run, EINTR when interrupted.
template <typename Result>
Result Failure() {
  errno = injection.fault == Fault::kInterrupted ? EINTR : injection.error;
  return static_cast<Result>(-1);
}

bool Shortens() { return injection.fault == Fault::kShort; }

}  // namespace

int Open(const char* name, int flags, unsigned mode) {
  // The first N names tried are taken.
  if ((flags & O_EXCL) != 0 && injection.armed && injection.fault == Fault::kNameTaken &&
      ++injection.calls <= injection.at) {
    errno = EEXIST;
    return -1;
  }
  if (IoStrikes() && !Shortens()) return Failure<int>();
  return ::open(name, flags, static_cast<mode_t>(mode));
}

long Read(int fd, void* buffer, std::size_t count) {
  if (IoStrikes()) {
    if (!Shortens()) return Failure<long>();
    if (count > 1) count /= 2;
  }
  return ::read(fd, buffer, count);
}

long Write(int fd, const void* buffer, std::size_t count) {
  if (IoStrikes()) {
    if (!Shortens()) return Failure<long>();
    if (count > 1) count /= 2;
  }
  return ::write(fd, buffer, count);
}

int Fdatasync(int fd) { return IoStrikes() && !Shortens() ? Failure<int>() : ::fdatasync(fd); }
int Fsync(int fd) { return IoStrikes() && !Shortens() ? Failure<int>() : ::fsync(fd); }

// As on Linux, a close that fails has still released the descriptor.
int Close(int fd) {
  const bool fails = IoStrikes() && !Shortens();
  const int result = ::close(fd);
  return fails ? Failure<int>() : result;
}

int Rename(const char* from, const char* to) {
  return IoStrikes() && !Shortens() ? Failure<int>() : std::rename(from, to);
}

}  // namespace system_calls

namespace {

namespace fs = std::filesystem;

const std::string kInput = "network.dat";
const std::string kOutput = "fenwaimg.pdb";
const Bytes kOldImage(999, 0x5A);

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  bool reached = false;  // the fault was injected
};

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

// Converts `input` in a fresh folder holding an old image, with the fault given.
class Converter {
 public:
  explicit Converter(const Bytes& input) {
    WriteBytes(dir_ / kInput, input);
    const Outcome clean = Convert(Fault::kNone, 0, 0);
    EXPECT_EQ(clean.status, 0) << clean.err;
    expected_ = ReadBytes(dir_ / kOutput);
  }

  Outcome Convert(Fault fault, int error, long at) {
    WriteBytes(dir_ / kOutput, kOldImage);
    const fs::path back = fs::current_path();
    fs::current_path(dir_.Path());
    const int descriptors = OpenDescriptors();
    char program[] = "fenwaimg";
    char argument[] = "network.dat";
    char* argv[] = {program, argument, nullptr};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    injection = {fault, error, at, 0, true};
    Outcome run;
    run.status = RunConverter(2, argv);
    std::fflush(stdout);
    injection.armed = false;
    run.reached = injection.calls >= at;
    run.out = testing::internal::GetCapturedStdout();
    run.err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor was left open";
    fs::current_path(back);
    return run;
  }

  // A success with the exact image, or the one failure road.
  void ExpectSuccessOrFailureRoad(const Outcome& run, const std::string& what) const {
    SCOPED_TRACE(what);
    EXPECT_EQ(FolderEntries(dir_.Path()), (std::vector<std::string>{kOutput, kInput})) << "a stray file";
    if (run.status == 0) {
      EXPECT_EQ(ReadBytes(dir_ / kOutput), expected_);
      EXPECT_EQ(run.out, TraceLine(kInput) + TraceLine(kOutput) + kCompletionText);
      EXPECT_EQ(run.err, "");
      return;
    }
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(ReadBytes(dir_ / kOutput), kOldImage) << "the old image was touched";
    const std::vector<std::string> roads = {TraceLine(kInput), TraceLine(kInput) + kOpenFailureText,
                                            TraceLine(kInput) + TraceLine(kOutput) + kOpenFailureText};
    EXPECT_NE(std::find(roads.begin(), roads.end(), run.out), roads.end()) << run.out;
    EXPECT_EQ(run.err.rfind("fenwaimg: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }

  void ExpectSuccess(const Outcome& run, const std::string& what) const {
    EXPECT_EQ(run.status, 0) << what << ": " << run.err;
    ExpectSuccessOrFailureRoad(run, what);
  }

 private:
  TempDir dir_;
  Bytes expected_;
};

// The inputs every sweep runs on: a small network, and one with more than a
// chunk of strings and many routes and nodes.
std::vector<Bytes> Inputs() { return {BuildNetworkFile(SmallNetwork()), BuildNetworkFile(samples::Chunked())}; }

// Runs the fault at every point N from 1 until a run no longer reaches N;
// returns how many points were injected.
template <typename Expect>
long Sweep(Converter& converter, Fault fault, int error, Expect expect) {
  long at = 1;
  for (;; ++at) {
    const Outcome run = converter.Convert(fault, error, at);
    if (!run.reached) break;
    expect(run, "fault at " + std::to_string(at));
    if (testing::Test::HasFailure()) break;
  }
  return at - 1;
}

TEST(AllocationFailure, AtEveryPointEndsAsSuccessOrTheFailureRoad) {
  for (const Bytes& input : Inputs()) {
    Converter converter(input);
    long failed_with_memory = 0;
    const long points = Sweep(converter, Fault::kAllocation, 0, [&](const Outcome& run, const std::string& what) {
      converter.ExpectSuccessOrFailureRoad(run, what);
      if (run.status == 9) {
        EXPECT_EQ(run.err, "fenwaimg: out of memory\n") << what;
        ++failed_with_memory;
      }
    });
    EXPECT_GT(points, 5);
    EXPECT_EQ(failed_with_memory, points) << "every allocation of a conversion is needed";
    std::printf("allocation failures injected: %ld\n", points);
  }
}

TEST(IoFailure, AtEveryCallEndsAsSuccessOrTheFailureRoad) {
  for (const Bytes& input : Inputs()) {
    Converter converter(input);
    for (int error : {EIO, ENOSPC}) {
      const long points = Sweep(converter, Fault::kIo, error, [&](const Outcome& run, const std::string& what) {
        converter.ExpectSuccessOrFailureRoad(run, what);
      });
      EXPECT_GT(points, 5);
      std::printf("%s injected at %ld calls\n", error == EIO ? "EIO" : "ENOSPC", points);
    }
  }
}

TEST(IoFailure, InterruptedOrShortCallsAreRetried) {
  for (const Bytes& input : Inputs()) {
    Converter converter(input);
    for (Fault fault : {Fault::kInterrupted, Fault::kShort}) {
      const long points = Sweep(converter, fault, 0, [&](const Outcome& run, const std::string& what) {
        converter.ExpectSuccess(run, what);
      });
      EXPECT_GT(points, 5);
    }
  }
}

// A leftover of a killed run, or another converter's file, may hold any name
// the converter tries: it tries another.
TEST(IoFailure, ATakenTemporaryNameIsPassedOver) {
  Converter converter(BuildNetworkFile(SmallNetwork()));
  for (long taken : {1, 2, 50}) {
    const Outcome run = converter.Convert(Fault::kNameTaken, 0, taken);
    EXPECT_TRUE(run.reached);
    converter.ExpectSuccess(run, std::to_string(taken) + " names taken");
  }
}

}  // namespace
