#include "tools/common/Program.h"

#include <algorithm>
#include <exception>
#include <new>

#include "fileio/Console.h"
#include "fileio/FileSource.h"
#include "fileio/Platform.h"
#include "text/Terminal.h"

namespace {

std::string Prefix(const ProgramText& program) { return std::string(program.name) + ": "; }

// How many single-character edits turn `a` into `b`.
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string UnknownOption(const std::string& name, const std::vector<OptionRule>& rules) {
  std::string text = "unknown option " + Quoted(name);
  const OptionRule* closest = nullptr;
  for (const OptionRule& rule : rules) {
    if (closest == nullptr || Distance(name, rule.name) < Distance(name, closest->name)) closest = &rule;
  }
  if (closest != nullptr && Distance(name, closest->name) <= 2)
    text += std::string(" (did you mean ") + closest->name + (closest->takes_value ? "=...)" : ")");
  return text;
}

}  // namespace

int Misused(const ProgramText& program, const std::string& what) {
  WriteStandardError(Prefix(program) + what + "\n" + program.usage);
  return tool_status::kMisused;
}

int ReadArguments(const ProgramText& program, const std::vector<std::string>& args,
                  const std::vector<OptionRule>& rules, Arguments& arguments) {
  const std::string version = std::string(program.name) + " (fenwaimg) " FENWA_VERSION "\n";
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h")
      return Finish(program, {.out = std::string(program.usage) + program.help + version});
    if (arg == "--version") return Finish(program, {.out = version});
  }
  bool only_operands = false;
  for (const std::string& arg : args) {
    if (only_operands || arg == "-" || arg.size() < 2 || arg[0] != '-') {
      arguments.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_operands = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& r) { return name == r.name; });
    if (rule == rules.end()) return Misused(program, UnknownOption(name, rules));
    if (equals != std::string::npos && !rule->takes_value)
      return Misused(program, "the option " + name + " takes no value, but was given " + Quoted(arg));
    const std::size_t index = static_cast<std::size_t>(rule - rules.begin());
    const auto given = [index](const auto& option) { return option.first == index; };
    if (std::any_of(arguments.options.begin(), arguments.options.end(), given))
      return Misused(program, "the option " + name + " is given twice");
    arguments.options.emplace_back(index, equals == std::string::npos ? "" : arg.substr(equals + 1));
  }
  return -1;
}

std::unique_ptr<FileSource> OpenInput(const ProgramText& program, const std::string& name, std::uint64_t most) {
  try {
    std::unique_ptr<FileSource> file = FileSource::Open(name);
    if (file->Size() > most)
      throw ToolError("it is " + std::to_string(file->Size()) + " bytes, more than the " + std::to_string(most) +
                      " it may be");
    return file;
  } catch (const ToolError& error) {
    WriteStandardError(Prefix(program) + Escaped(name) + ": cannot open it: " + error.what() + "\n");
  }
  return nullptr;
}

bool ReadAllStandardInput(const ProgramText& program, std::string& bytes) {
  std::string error;
  if (ReadStandardInput(bytes, kMostJsonBytes, error)) return true;
  WriteStandardError(Prefix(program) + "standard input: cannot read it: " + error + "\n");
  return false;
}

void StreamedOutput::Take(std::string& text) {
  if (failure_.empty()) WriteStandardOutput(text, failure_);
  text.clear();
}

int Finish(const ProgramText& program, const ToolOutput& output, const StreamedOutput& streamed) {
  std::string error = streamed.Failure();
  if (!error.empty() || (!output.out.empty() && !WriteStandardOutput(output.out, error))) {
    WriteStandardError(output.err + Prefix(program) + "cannot write to standard output: " + error + "\n");
    return program.failure_status;
  }
  if (!output.err.empty()) WriteStandardError(output.err);
  return output.status;
}

int RunProgram(const ProgramText& program, int argc, char** argv,
               const std::function<int(const std::vector<std::string>&)>& body) {
  try {
    KeepRunningOnClosedPipes();
    PlatformUseUtf8Names();
    return body(Utf8Arguments(argc, argv));
  } catch (const std::bad_alloc&) {
    WriteStandardError(Prefix(program) + "out of memory\n");
  } catch (const std::exception& failure) {  // none is expected; any would still take the one road
    WriteStandardError(Prefix(program) + Escaped(failure.what()) + "\n");
  }
  return program.failure_status;
}
