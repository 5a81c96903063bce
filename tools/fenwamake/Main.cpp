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
    tool_status::kMakeFailed};

// Writes the file made to `output`; when it cannot, says why after the notes.
void Write(const std::string& output, ToolOutput& made) {
  try {
    ReplaceFileWith(output, std::string(made.file.begin(), made.file.end()));
  } catch (const ToolError& error) {
    made.err += "fenwamake: " + Escaped(output) + ": cannot write it: " + error.what() + "\n";
    made.status = kProgram.failure_status;
  }
}

int Make(const std::vector<std::string>& args) {
  MakeOptions options;
  std::vector<std::string> files;
  const int status = ReadArguments(kProgram, args, MakeOptionTable(), options, files);
  if (status >= 0) return status;
  if (files.size() != 2)
    return Misused(kProgram, "give NETWORK.json and OUT (" + std::to_string(files.size()) +
                                 (files.size() == 1 ? " argument given)" : " arguments given)"));
  const std::string& input = files[0];
  const std::string& output = files[1];
  if (input != "-" && output != "-" && PlatformSameFile(input.c_str(), output.c_str()))
    return Misused(kProgram,
                   Quoted(output) + " is the input " + Quoted(input) + " itself: writing it would destroy it");
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
  if (made.status == tool_status::kSuccess && output == "-") {
    made.out.assign(made.file.begin(), made.file.end());
  } else if (made.status == tool_status::kSuccess) {
    Write(output, made);
  }
  return Finish(kProgram, made);
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(kProgram, argc, argv, Make); }
