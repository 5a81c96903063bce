// fenwamake NETWORK.json OUT: writes the intermediate data file a JSON
// description of a network (or fenwadump's dump of a file or an image) makes.
#include <fstream>
#include <iterator>
#include <system_error>

#include "fileio/Console.h"
#include "tools/fenwamake/Description.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: fenwamake NETWORK.json OUT\n"
    "       fenwamake --help | --version\n"
    "Writes the intermediate data file that the network description NETWORK.json makes to OUT.\n"
    "NETWORK.json may also be what fenwadump prints of a file or an image; - reads standard input.\n";

int Usage() {
  WriteStandardError(kUsage);
  return kExitUsage;
}

int Help() {
  WriteStandardOutput(std::string(kUsage) +
                      "Exit status: 0 when OUT was written; 1 when the description is refused or OUT cannot be\n"
                      "written (the reason on standard error, OUT left as it was); 2 for wrong arguments.\n"
                      "fenwamake (fenwaimg) " FENWA_VERSION "\n");
  return 0;
}

int Failure(const std::string& path, const std::string& text) {
  WriteStandardError("fenwamake: " + path + ": " + text + "\n");
  return kExitFailure;
}

// The text of the description: the file `input`, or standard input for "-".
bool ReadInput(const std::string& input, std::string& text) {
  if (input == "-") return ReadStandardInput(text);
  std::ifstream in(PathFromUtf8(input), std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return Help();
    if (arg == "--version") {
      WriteStandardOutput("fenwamake (fenwaimg) " FENWA_VERSION "\n");
      return 0;
    }
  }
  if (args.size() != 2) return Usage();
  // "-" reads the description from standard input, as from a pipe behind fenwadump.
  const std::string input = args[0] == "-" ? "standard input" : args[0];
  const std::string& output = args[1];
  std::string text;
  if (!ReadInput(args[0], text)) return Failure(input, args[0] == "-" ? "cannot read it" : "cannot open it");
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
  for (const std::string& note : notes) WriteStandardError("fenwamake: " + input + ": note: " + note + "\n");
  const std::filesystem::path temporary = PathFromUtf8(output + ".part");
  std::error_code ignored;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temporary, ignored);
      return Failure(output, "cannot write it");
    }
  }
  std::error_code renamed;
  std::filesystem::rename(temporary, PathFromUtf8(output), renamed);
  if (renamed) {
    std::filesystem::remove(temporary, ignored);
    return Failure(output, "cannot write it");
  }
  return 0;
}
