// fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE:
// prints an intermediate data file or a fenwaimg.pdb as JSON (or, with
// --summary, as a few lines; with --dot, as a Graphviz picture), and exits
// with status 1 when the file is damaged or inconsistent.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "tools/fenwadump/Dump.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kProblemsOnStderr = 10;

int Usage() {
  std::cerr << "usage: fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE\n"
               "Prints an intermediate data file or a fenwaimg.pdb as JSON; --summary prints a short summary.\n"
               "--dot prints a Graphviz picture of the stations and routes (--dot=graph: of the route-finding\n"
               "graph); --only draws one company or one route and what lies next to it.\n"
               "Exits with status 1 when the file is damaged or inconsistent.\n";
  return kExitUsage;
}

// Reads --dot, --dot=network, --dot=graph and --only=company:NAME, --only=route:NAME.
bool DotOption(const std::string& arg, std::optional<DotOptions>& dot, std::optional<std::string>& only) {
  if (arg == "--dot" || arg == "--dot=network" || arg == "--dot=graph") {
    if (dot) return false;
    dot.emplace();
    if (arg == "--dot=graph") dot->view = DotOptions::View::kGraph;
    return true;
  }
  if (arg.rfind("--only=", 0) != 0 || only) return false;
  only = arg.substr(7);
  return true;
}

bool ApplyOnly(const std::string& only, DotOptions& dot) {
  for (auto [prefix, kind] :
       {std::pair{"company:", DotOptions::Only::kCompany}, std::pair{"route:", DotOptions::Only::kRoute}}) {
    if (only.rfind(prefix, 0) == 0 && only.size() > std::string(prefix).size()) {
      dot.only = kind;
      dot.name = only.substr(std::string(prefix).size());
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  bool summary = false;
  std::optional<DotOptions> dot;
  std::optional<std::string> only;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--summary") {
      summary = true;
    } else if (arg.rfind("--dot", 0) == 0 || arg.rfind("--only", 0) == 0) {
      if (!DotOption(arg, dot, only)) return Usage();
    } else if (arg == "--help" || arg == "-h" || !path.empty()) {
      return Usage();
    } else {
      path = arg;
    }
  }
  if (path.empty() || (summary && dot) || (only && (!dot || !ApplyOnly(*only, *dot)))) return Usage();
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
  } else if (dot) {
    try {
      std::cout << DrawDot(dump, *dot);
    } catch (const std::invalid_argument& error) {
      std::cerr << "fenwadump: " << path << ": " << error.what() << "\n";
      return kExitUsage;
    }
  } else {
    std::cout << dump.document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  std::cout.flush();
  // The summary lists the problems itself: standard error only counts them there.
  const std::size_t listed = summary ? 0 : kProblemsOnStderr;
  if (summary && !dump.problems.empty())
    std::cerr << "fenwadump: " << path << ": " << dump.problems.size()
              << (dump.problems.size() == 1 ? " problem\n" : " problems\n");
  for (std::size_t i = 0; i < dump.problems.size() && i < listed; ++i)
    std::cerr << "fenwadump: " << path << ": " << dump.problems[i] << "\n";
  if (!summary && dump.problems.size() > listed)
    std::cerr << "fenwadump: " << path << ": … and " << dump.problems.size() - listed
              << " more problems (the JSON dump lists every one)\n";
  return dump.problems.empty() ? 0 : kExitProblems;
}
