// fenwamake NETWORK.json OUT: writes the intermediate data file a JSON
// description of a network makes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "tools/fenwamake/Description.h"

namespace {

constexpr int kExitFailure = 1;

int Usage() {
  std::cerr << "usage: fenwamake NETWORK.json OUT\n"
               "Writes the intermediate data file that the network description NETWORK.json makes to OUT.\n";
  return 2;
}

int Failure(const std::string& path, const std::string& text) {
  std::cerr << "fenwamake: " << path << ": " << text << "\n";
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string input = argv[1];
  const std::string output = argv[2];
  std::ifstream in(input, std::ios::binary);
  if (!in) return Failure(input, "cannot open it");
  nlohmann::json description;
  try {
    description = nlohmann::json::parse(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const nlohmann::json::exception& error) {
    return Failure(input, std::string("not valid JSON: ") + error.what());
  }
  std::vector<std::uint8_t> file;
  try {
    file = BuildNetworkFile(ReadDescription(description));
  } catch (const DescriptionError& error) {
    return Failure(input, error.what());
  } catch (const std::invalid_argument& error) {
    return Failure(input, std::string("cannot lay out the file: ") + error.what());
  } catch (const std::exception& error) {
    return Failure(input, error.what());
  }
  const std::string temporary = output + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return Failure(output, "cannot write it");
    }
  }
  if (std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::remove(temporary.c_str());
    return Failure(output, "cannot write it");
  }
  return 0;
}
