// fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE:
// prints an intermediate data file or a fenwaimg.pdb as JSON (or, with
// --summary, as a few lines; with --dot, as a Graphviz picture), and exits
// with status 1 when the file is damaged or inconsistent.
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "fileio/Console.h"
#include "tools/fenwadump/Dump.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kProblemsOnStderr = 10;

constexpr char kUsage[] =
    "usage: fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE\n"
    "       fenwadump --help | --version\n"
    "Prints an intermediate data file or a fenwaimg.pdb as JSON; --summary prints a short summary.\n"
    "--dot prints a Graphviz picture of the stations and routes (--dot=graph: of the route-finding\n"
    "graph); --only draws one company or one route and what lies next to it.\n"
    "Exits with status 1 when the file is damaged or inconsistent.\n";

int Usage() {
  WriteStandardError(kUsage);
  return kExitUsage;
}

int Help() {
  WriteStandardOutput(
      std::string(kUsage) +
      "Exit status: 0 when the file is consistent; 1 when problems were found (the first ten also on\n"
      "standard error, their count with --summary); 2 for wrong arguments or a file that cannot be read.\n"
      "fenwadump (fenwaimg) " FENWA_VERSION "\n");
  return 0;
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

// The problems on standard error: the summary lists them itself and only counts
// them there; otherwise the first few, then how many more.
void ReportProblems(const Dump& dump, const std::string& path, bool summary) {
  const std::size_t listed = summary ? 0 : kProblemsOnStderr;
  std::string text;
  if (summary && !dump.problems.empty())
    text += "fenwadump: " + path + ": " + std::to_string(dump.problems.size()) +
            (dump.problems.size() == 1 ? " problem\n" : " problems\n");
  for (std::size_t i = 0; i < dump.problems.size() && i < listed; ++i)
    text += "fenwadump: " + path + ": " + dump.problems[i] + "\n";
  if (!summary && dump.problems.size() > listed)
    text += "fenwadump: " + path + ": … and " + std::to_string(dump.problems.size() - listed) +
            " more problems (the JSON dump lists every one)\n";
  if (!text.empty()) WriteStandardError(text);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  bool summary = false;
  std::optional<DotOptions> dot;
  std::optional<std::string> only;
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
    } else if (arg.rfind("--dot", 0) == 0 || arg.rfind("--only", 0) == 0) {
      if (!DotOption(arg, dot, only)) return Usage();
    } else if (!path.empty()) {
      return Usage();
    } else {
      path = arg;
    }
  }
  if (path.empty() || (summary && dot) || (only && (!dot || !ApplyOnly(*only, *dot)))) return Usage();
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
  } else if (dot) {
    try {
      WriteStandardOutput(DrawDot(dump, *dot));
    } catch (const std::invalid_argument& error) {
      WriteStandardError("fenwadump: " + path + ": " + error.what() + "\n");
      return kExitUsage;
    }
  } else {
    WriteStandardOutput(dump.document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
  }
  ReportProblems(dump, path, summary);
  return dump.problems.empty() ? 0 : kExitProblems;
}
