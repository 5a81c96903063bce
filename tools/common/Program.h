// What fenwamake and fenwadump share as programs: their options, help and
// version, reading their inputs, writing what the library made of them, and
// the one road every failure takes (a message on standard error and the
// documented exit status, never an abort).
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fileio/FileSource.h"
#include "toolkit/Tools.h"

struct ProgramText {
  const char* name;    // "fenwadump"
  const char* usage;   // the usage lines, each ending with a line feed
  const char* help;    // what --help adds: the options and the exit statuses
  int failure_status;  // when a file cannot be read or written, or memory runs out
};

// An option as the command line is read against it: "--summary", and
// whether it is given as --name=VALUE.
struct OptionRule {
  const char* name;
  bool takes_value;
};

struct Arguments {
  std::vector<std::string> operands;
  // Each option given, in order: its place among the rules, and its value (empty when none).
  std::vector<std::pair<std::size_t, std::string>> options;
};

// Reads the command line. --help and --version (anywhere) print to standard
// output and end the program with status 0 (the failure status, said why, when
// standard output cannot take them); an unknown option, an option given
// twice or a value where none belongs is named on standard error with the usage,
// status 2. Returns the status to end with, or -1 to go on.
int ReadArguments(const ProgramText& program, const std::vector<std::string>& args,
                  const std::vector<OptionRule>& rules, Arguments& arguments);

// The same against a tool's table of options, each recorded in `options`
// through its table entry; the operands in `operands`.
template <typename Options>
int ReadArguments(const ProgramText& program, const std::vector<std::string>& args,
                  std::span<const ToolOption<Options>> table, Options& options, std::vector<std::string>& operands) {
  std::vector<OptionRule> rules;
  for (const ToolOption<Options>& option : table) rules.push_back({option.name, option.takes_value});
  Arguments arguments;
  const int status = ReadArguments(program, args, rules, arguments);
  for (const auto& [index, value] : arguments.options) table[index].set(options, value);
  operands = std::move(arguments.operands);
  return status;
}

// Names a wrong argument (or a wrong number of them) with the usage; returns status 2.
int Misused(const ProgramText& program, const std::string& what);

// Opens the file `name` for reading, at most `most` bytes of it; on failure
// says why on standard error and returns nullptr.
std::unique_ptr<FileSource> OpenInput(const ProgramText& program, const std::string& name,
                                      std::uint64_t most = UINT64_MAX);

// All of standard input, at most kMostJsonBytes; on failure says why on
// standard error and returns false.
bool ReadAllStandardInput(const ProgramText& program, std::string& bytes);

// Standard output written in pieces as a tool makes them (DumpRequest::drain);
// after the first failure the rest is dropped and the failure kept for Finish.
class StreamedOutput {
 public:
  void Take(std::string& text);
  const std::string& Failure() const { return failure_; }

 private:
  std::string failure_;
};

// Writes a tool's output and messages; a failure to write standard output (now
// or while it was streamed) is one more failure (the program's failure status).
// Returns the exit status.
int Finish(const ProgramText& program, const ToolOutput& output, const StreamedOutput& streamed = {});

// Runs `body`, the whole program, on the one road: running out of memory or
// any other failure ends with one message on standard error and the program's
// failure status.
int RunProgram(const ProgramText& program, int argc, char** argv,
               const std::function<int(const std::vector<std::string>&)>& body);
