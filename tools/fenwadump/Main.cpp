// fenwadump [--summary] FILE: prints an intermediate data file or a
// fenwaimg.pdb as JSON (or, with --summary, as a few lines), and exits with
// status 1 when the file is damaged or inconsistent.
#include <fstream>
#include <iterator>

#include "fileio/Console.h"
#include "tools/fenwadump/Dump.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: fenwadump [--summary] FILE\n"
    "       fenwadump --help | --version\n"
    "Prints an intermediate data file or a fenwaimg.pdb as JSON; --summary prints a short summary.\n"
    "Exits with status 1 when the file is damaged or inconsistent.\n";

int Usage() {
  WriteStandardError(kUsage);
  return kExitUsage;
}

int Help() {
  WriteStandardOutput(std::string(kUsage) +
                      "Exit status: 0 when the file is consistent; 1 when problems were found (each also on\n"
                      "standard error); 2 for wrong arguments or a file that cannot be read.\n"
                      "fenwadump (fenwaimg) " FENWA_VERSION "\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  bool summary = false;
  std::string path;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return Help();
    if (arg == "--version") {
      WriteStandardOutput("fenwadump (fenwaimg) " FENWA_VERSION "\n");
      return 0;
    }
  }
  for (const std::string& arg : args) {
    if (arg == "--summary") {
      summary = true;
    } else if (!path.empty()) {
      return Usage();
    } else {
      path = arg;
    }
  }
  if (path.empty()) return Usage();
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) {
    WriteStandardError("fenwadump: " + path + ": cannot open it\n");
    return kExitUsage;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    WriteStandardError("fenwadump: " + path + ": cannot read it\n");
    return kExitUsage;
  }
  const Dump dump = DumpBytes(bytes);
  if (summary) {
    WriteStandardOutput(path + ": " + Summarize(dump));
  } else {
    WriteStandardOutput(dump.document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
  }
  std::string problems;
  for (const std::string& problem : dump.problems) problems += "fenwadump: " + path + ": " + problem + "\n";
  if (!problems.empty()) WriteStandardError(problems);
  return dump.problems.empty() ? 0 : kExitProblems;
}
