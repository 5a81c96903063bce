// Writes the benchmark's inputs into a folder: largest.dat, the largest input
// the converter accepts (every table close to its 65535-byte record limit),
// typical.dat, a small network as users have them, and largest-edited.dat,
// the largest with 100 edits scattered through it (for fenwadump --diff).
// Usage: fenwa_bench_inputs FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/SampleNetworks.h"
#include "tests/support/ScatteredEdits.h"

namespace {

void Write(const std::filesystem::path& path, const NetworkDescription& network) {
  std::printf("%s: %zu bytes\n", path.string().c_str(), samples::WriteNetworkFile(path, network));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    Write(folder / "largest.dat", samples::Largest());
    Write(folder / "typical.dat", samples::Typical());
    Write(folder / "largest-edited.dat", samples::LargestWithScatteredEdits().network);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "fenwa_bench_inputs: %s\n", failure.what());
    return 1;
  }
  return 0;
}
