// Writes the fuzzers' seed corpora into a folder:
//   convert/  every sample network, valid and small or at one of the
//             converter's limits, as an intermediate data file;
//   dump/     the same files and the images the converter makes of them;
//   make/     the sample description and the dumps of the small samples;
//   make.dict the keys of every record of the tools' JSON, for the fuzzer's dictionary.
// Usage: fenwa_make_seeds FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "driver/Convert.h"
#include "tests/support/SampleNetworks.h"
#include "toolkit/Inspect.h"
#include "toolkit/JsonMapping.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const fs::path folder = argv[1];
    for (const char* corpus : {"convert", "dump", "make"}) fs::create_directories(folder / corpus);
    for (const samples::Sample& sample : samples::AllSamples()) {
      const std::vector<std::uint8_t> file = BuildNetworkFile(sample.make());
      Write(folder / "convert" / (std::string(sample.name) + ".dat"), Text(file));
      Write(folder / "dump" / (std::string(sample.name) + ".dat"), Text(file));
      const Conversion image = ConvertInMemory(file, sample.name);
      if (image.status == 0) Write(folder / "dump" / (std::string(sample.name) + ".pdb"), Text(image.image));
      if (file.size() < 4096) {
        Write(folder / "make" / (std::string(sample.name) + "-file.json"), WriteDocument(InspectBytes(file)));
        if (image.status == 0)
          Write(folder / "make" / (std::string(sample.name) + "-image.json"), WriteDocument(InspectBytes(image.image)));
      }
      std::printf("%-28s %7zu bytes\n", sample.name, file.size());
    }
    std::ifstream description(FENWA_SAMPLE_NETWORK, std::ios::binary);
    Write(folder / "make" / "sample-network.json",
          std::string(std::istreambuf_iterator<char>(description), std::istreambuf_iterator<char>()));
    std::set<std::string> keys;
    for (const FieldListing& listing : ListFields()) {
      for (const auto& [key, role] : listing.fields) keys.insert(key);
    }
    std::string dictionary;
    for (const std::string& key : keys) dictionary += "\"\\\"" + key + "\\\": \"\n";
    Write(folder / "make.dict", dictionary);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "fenwa_make_seeds: %s\n", failure.what());
    return 1;
  }
  return 0;
}
