// fenwamake NETWORK.json OUT: writes the intermediate data file a JSON
// description of a network (or fenwadump's dump of a file or an image) makes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "tools/fenwamake/Description.h"

namespace {

constexpr int kExitFailure = 1;

int Usage() {
  std::cerr << "usage: fenwamake NETWORK.json OUT\n"
               "Writes the intermediate data file that the network description NETWORK.json makes to OUT.\n"
               "NETWORK.json may also be what fenwadump prints of a file or an image; - reads standard input.\n";
  return 2;
}

int Failure(const std::string& path, const std::string& text) {
  std::cerr << "fenwamake: " << path << ": " << text << "\n";
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  // "-" reads the description from standard input, as from a pipe behind fenwadump.
  const bool from_stdin = std::string(argv[1]) == "-";
  const std::string input = from_stdin ? "standard input" : argv[1];
  const std::string output = argv[2];
  std::ifstream file_in;
  if (!from_stdin) {
    file_in.open(input, std::ios::binary);
    if (!file_in) return Failure(input, "cannot open it");
  }
  std::istream& in = from_stdin ? std::cin : file_in;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return Failure(input, "cannot read it");
  nlohmann::json description;
  std::vector<std::string> notes;
  try {
    description = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& error) {
    return Failure(input, std::string("not valid JSON: ") + error.what());
  }
  std::vector<std::uint8_t> file;
  try {
    file = BuildNetworkFile(ReadDescription(description, notes));
  } catch (const DescriptionError& error) {
    return Failure(input, error.what());
  } catch (const std::invalid_argument& error) {
    return Failure(input, std::string("cannot lay out the file: ") + error.what());
  } catch (const std::exception& error) {
    return Failure(input, error.what());
  }
  for (const std::string& note : notes) std::cerr << "fenwamake: " << input << ": note: " << note << "\n";
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
