// Writes the fuzzer's seed corpus: every sample network, valid and small or
// at one of the converter's limits, as one file each in the given folder.
// Usage: fenwa_make_seeds FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tests/support/SampleNetworks.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const samples::Sample& sample : samples::AllSamples()) {
      const std::size_t size = samples::WriteNetworkFile(folder / (std::string(sample.name) + ".dat"), sample.make());
      std::printf("%-28s %7zu bytes\n", sample.name, size);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "fenwa_make_seeds: %s\n", failure.what());
    return 1;
  }
  return 0;
}
