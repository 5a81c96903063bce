// fenwadump [--summary] FILE: prints an intermediate data file or a
// fenwaimg.pdb as JSON (or, with --summary, as a few lines), and exits with
// status 1 when the file is damaged or inconsistent.
#include <fstream>
#include <iostream>
#include <iterator>

#include "tools/fenwadump/Dump.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;

int Usage() {
  std::cerr << "usage: fenwadump [--summary] FILE\n"
               "Prints an intermediate data file or a fenwaimg.pdb as JSON; --summary prints a short summary.\n"
               "Exits with status 1 when the file is damaged or inconsistent.\n";
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  bool summary = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--summary") {
      summary = true;
    } else if (arg == "--help" || arg == "-h" || !path.empty()) {
      return Usage();
    } else {
      path = arg;
    }
  }
  if (path.empty()) return Usage();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "fenwadump: " << path << ": cannot open it\n";
    return kExitUsage;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    std::cerr << "fenwadump: " << path << ": cannot read it\n";
    return kExitUsage;
  }
  const Dump dump = DumpBytes(bytes);
  if (summary) {
    std::cout << path << ": " << Summarize(dump);
  } else {
    std::cout << dump.document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  std::cout.flush();
  for (const std::string& problem : dump.problems) std::cerr << "fenwadump: " << path << ": " << problem << "\n";
  return dump.problems.empty() ? 0 : kExitProblems;
}
