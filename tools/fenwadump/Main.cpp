// fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE: prints an
// intermediate data file or a fenwaimg.pdb as JSON, a summary or a picture.
#include "fileio/FileSource.h"
#include "text/Terminal.h"
#include "toolkit/Tools.h"
#include "tools/common/Program.h"

namespace {

constexpr ProgramText kProgram = {
    "fenwadump",
    "usage: fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE\n"
    "       fenwadump --help | --version\n",
    "Prints an intermediate data file or a fenwaimg.pdb as JSON; --summary prints a short summary.\n"
    "--dot prints a Graphviz picture of the stations and routes (--dot=graph: of the route-finding\n"
    "graph); --only draws one company or one route and what lies next to it.\n"
    "Exit status: 0 when the file is consistent; 1 when problems were found (the first ten also on\n"
    "standard error, their count with --summary); 2 for wrong arguments, a file that cannot be read,\n"
    "output that cannot be written, or running out of memory.\n",
    kToolTrouble};

int Dump(const std::vector<std::string>& args) {
  Arguments arguments;
  const int status =
      ReadArguments(kProgram, args, {{"--summary", false}, {"--dot", true}, {"--only", true}}, arguments);
  if (status >= 0) return status;
  DumpRequest request;
  const std::string wrong = ReadDumpOptions(arguments.options, request);
  if (!wrong.empty()) return Misused(kProgram, wrong);
  if (arguments.operands.size() != 1)
    return Misused(kProgram, arguments.operands.empty()
                                 ? "no FILE given"
                                 : "one FILE only, but also given " + Quoted(arguments.operands[1]));
  const std::string& name = arguments.operands[0];
  const std::unique_ptr<FileSource> file = OpenInput(kProgram, name);
  if (!file) return kProgram.failure_status;
  StreamedOutput streamed;
  request.drain = [&streamed](std::string& text) { streamed.Take(text); };
  const ToolOutput output = RunFenwadump(*file, name, request);
  return Finish(kProgram, output, streamed);
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(kProgram, argc, argv, Dump); }
