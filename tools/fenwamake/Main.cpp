// fenwamake [--accept-damage] NETWORK.json OUT: writes the intermediate data
// file that a JSON description of a network (or fenwadump's dump of a file or
// an image) makes; OUT - is standard output.
#include "fileio/FileSource.h"
#include "fileio/Platform.h"
#include "text/Terminal.h"
#include "tools/common/Program.h"

namespace {

constexpr ProgramText kProgram = {
    "fenwamake",
    "usage: fenwamake [--accept-damage] NETWORK.json OUT\n"
    "       fenwamake --help | --version\n",
    "Writes the intermediate data file that the network description NETWORK.json makes to OUT.\n"
    "NETWORK.json may also be what fenwadump prints of a file or an image; - reads standard input.\n"
    "OUT - writes the file to standard output.\n"
    "A dump whose problems list is not empty came from a damaged file: it is refused unless\n"
    "--accept-damage is given.\n"
    "Exit status: 0 when OUT was written (notes and warnings on standard error); 1 when the\n"
    "description is refused, cannot be read, OUT cannot be written or memory runs out (the\n"
    "reason on standard error, OUT left as it was); 2 for wrong arguments.\n",
    kToolProblems};

int Make(const std::vector<std::string>& args) {
  Arguments arguments;
  const int status = ReadArguments(kProgram, args, {{"--accept-damage", false}}, arguments);
  if (status >= 0) return status;
  if (arguments.operands.size() != 2)
    return Misused(kProgram, "give NETWORK.json and OUT (" + std::to_string(arguments.operands.size()) +
                                 (arguments.operands.size() == 1 ? " argument given)" : " arguments given)"));
  const std::string& input = arguments.operands[0];
  const std::string& output = arguments.operands[1];
  if (input != "-" && output != "-" && PlatformSameFile(input.c_str(), output.c_str()))
    return Misused(kProgram,
                   Quoted(output) + " is the input " + Quoted(input) + " itself: writing it would destroy it");
  MakeOptions options;
  options.accept_damage = arguments.options.count("--accept-damage") > 0;
  ToolOutput made;
  if (input == "-") {
    std::string json;
    if (!ReadAllStandardInput(kProgram, json)) return kProgram.failure_status;
    made = RunFenwamake(json, "standard input", options);
  } else {
    const std::unique_ptr<FileSource> file = OpenInput(kProgram, input, kMostJsonBytes);
    if (!file) return kProgram.failure_status;
    made = RunFenwamake([&file] { return file->Pieces(); }, input, options);
  }
  std::string error;
  if (made.status == kToolSuccess && output == "-") {
    made.out.assign(made.file.begin(), made.file.end());
  } else if (made.status == kToolSuccess &&
             !ReplaceFileWith(output, std::string(made.file.begin(), made.file.end()), error)) {
    made.err += "fenwamake: " + Escaped(output) + ": cannot write it: " + error + "\n";
    made.status = kProgram.failure_status;
  }
  return Finish(kProgram, made);
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(kProgram, argc, argv, Make); }
