// fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE: prints an
// intermediate data file or a fenwaimg.pdb as JSON, a summary or a picture; fenwadump --diff OLD NEW
// prints what differs between two networks.
#include "fileio/Console.h"
#include "fileio/FileSource.h"
#include "fileio/Platform.h"
#include "text/Terminal.h"
#include "toolkit/Tools.h"
#include "tools/common/Program.h"

namespace {

constexpr ProgramText kProgram = {
    "fenwadump",
    "usage: fenwadump [--summary | --dot[=graph] [--only=company:NAME | --only=route:NAME]] FILE\n"
    "       fenwadump --diff [--json | --dot] OLD NEW\n"
    "       fenwadump --help | --version\n",
    "Prints an intermediate data file or a fenwaimg.pdb as JSON; --summary prints a short summary.\n"
    "--dot prints a Graphviz picture of the stations and routes (--dot=graph: of the route-finding\n"
    "graph); --only draws one company or one route and what lies next to it.\n"
    "--diff prints what differs between the networks OLD and NEW (each an intermediate data file, a\n"
    "fenwaimg.pdb, a description or a dump): stations, routes and their stops, companies, the graph,\n"
    "the headers; --json prints it as JSON, --dot as a picture with the changes marked.\n"
    "Exit status: 0 when the file is consistent (--diff: the same network); 1 when problems were\n"
    "found (the first ten also on standard error, their count with --summary; --diff: the networks\n"
    "differ); 2 for wrong arguments, a file that cannot be read (--diff: or compared), output that\n"
    "cannot be written, or running out of memory.\n",
    tool_status::kDumpFailed};

// OLD and NEW name one stream (standard input twice, say): reading OLD used it up.
int SameStream(const std::vector<std::string>& files) {
  WriteStandardError(std::string(kProgram.name) + ": " + Escaped(files[1]) +
                     ": cannot read it as NEW: it is the stream OLD " + Quoted(files[0]) +
                     " was read from, and a stream (standard input, a pipe) can be read only once\n");
  return kProgram.failure_status;
}

int Dump(const std::vector<std::string>& args) {
  DumpOptions options;
  std::vector<std::string> files;
  const int status = ReadArguments(kProgram, args, DumpOptionTable(), options, files);
  if (status >= 0) return status;
  DumpRequest request;
  try {
    request = ReadDumpOptions(options);
  } catch (const ToolError& wrong) {
    return Misused(kProgram, wrong.what());
  }
  if (request.diff && files.size() != 2)
    return Misused(kProgram, "--diff compares two files, OLD and NEW; given " + std::to_string(files.size()));
  if (!request.diff && files.size() != 1)
    return Misused(kProgram, files.empty() ? "no FILE given" : "one FILE only, but also given " + Quoted(files[1]));
  const std::unique_ptr<FileSource> file = OpenInput(kProgram, files[0]);
  if (!file) return kProgram.failure_status;
  if (request.diff) {
    if (file->Streamed() && PlatformSameFile(files[0].c_str(), files[1].c_str())) return SameStream(files);
    const std::unique_ptr<FileSource> new_file = OpenInput(kProgram, files[1]);
    return new_file ? Finish(kProgram, RunDiff(*file, files[0], *new_file, files[1], *request.diff))
                    : kProgram.failure_status;
  }
  StreamedOutput streamed;
  request.drain = [&streamed](std::string& text) { streamed.Take(text); };
  return Finish(kProgram, RunFenwadump(*file, files[0], request), streamed);
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(kProgram, argc, argv, Dump); }
