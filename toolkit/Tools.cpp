#include "toolkit/Tools.h"

#include <stdexcept>

#include "base/ToolError.h"
#include "diff/Diff.h"
#include "network/NetworkFile.h"
#include "text/Json.h"
#include "text/Terminal.h"
#include "toolkit/Inspect.h"
#include "toolkit/JsonMapping.h"

namespace {

// The first problems on standard error (the summary lists them itself and
// only counts them there), then how many more.
std::string ProblemLines(const std::vector<std::string>& problems, const std::string& name, bool summary) {
  constexpr std::size_t kListed = 10;
  const std::string prefix = "fenwadump: " + Escaped(name) + ": ";
  std::string text;
  if (summary) {
    if (!problems.empty())
      text = prefix + std::to_string(problems.size()) + (problems.size() == 1 ? " problem\n" : " problems\n");
    return text;
  }
  for (std::size_t i = 0; i < problems.size() && i < kListed; ++i) text += prefix + Escaped(problems[i]) + "\n";
  if (problems.size() > kListed)
    text += prefix + "… and " + std::to_string(problems.size() - kListed) +
            " more problems (the JSON dump lists every one)\n";
  return text;
}

}  // namespace

ToolOutput RunFenwadump(ByteSource& file, const std::string& name, const DumpRequest& request) {
  ToolOutput run;
  Document document;
  try {
    document = Inspect(file);
  } catch (const ReadError& error) {
    run.err = "fenwadump: " + Escaped(name) + ": cannot read it: " + error.what() + "\n";
    run.status = kToolTrouble;
    return run;
  }
  switch (request.output) {
    case DumpRequest::Output::kJson: run.out = WriteDocument(document, request.drain); break;
    case DumpRequest::Output::kSummary: run.out = Escaped(name) + ": " + Summarize(document); break;
    case DumpRequest::Output::kDot: try { run.out = DrawDot(document, request.dot);
      } catch (const std::invalid_argument& error) {
        run.err = "fenwadump: " + Escaped(name) + ": " + error.what() + "\n";
        run.status = kToolTrouble;
        return run;
      }
  }
  const std::vector<std::string>& problems = ProblemsOf(document);
  run.err = ProblemLines(problems, name, request.output == DumpRequest::Output::kSummary);
  run.status = problems.empty() ? kToolSuccess : kToolProblems;
  return run;
}

namespace {

ToolOutput Make(const std::function<Document()>& read, const std::string& name, const MakeOptions& options) {
  ToolOutput run;
  const std::string prefix = "fenwamake: " + Escaped(name) + ": ";
  try {
    const MadeNetwork made = MakeNetwork(read(), options);
    run.file = BuildNetworkFile(made.network);
    for (const std::string& note : made.notes) run.err += prefix + "note: " + Escaped(note) + "\n";
    for (const std::string& warning : made.warnings) run.err += prefix + "warning: " + Escaped(warning) + "\n";
  } catch (const DocumentError& error) {
    run.err = prefix + Escaped(DescribeRefusal(error)) + "\n";
    run.status = kToolProblems;
  } catch (const std::invalid_argument& error) {
    run.err = prefix + "cannot lay out the file: " + Escaped(error.what()) + "\n";
    run.status = kToolProblems;
  } catch (const ReadError& error) {
    run.err = prefix + "cannot read it: " + error.what() + "\n";
    run.status = kToolProblems;
  }
  if (run.status != kToolSuccess) run.file.clear();
  return run;
}

}  // namespace

ToolOutput RunFenwamake(std::string_view json, const std::string& name, const MakeOptions& options) {
  return Make([json] { return ReadDocument(json); }, name, options);
}

ToolOutput RunFenwamake(const std::function<JsonPieces()>& open, const std::string& name, const MakeOptions& options) {
  return Make([&open] { return ReadDocument(open); }, name, options);
}

ToolOutput RunDiff(ByteSource& old_file, const std::string& old_name, ByteSource& new_file, const std::string& new_name,
                   const DiffRequest& request) {
  ToolOutput run;
  const auto read = [&run](ByteSource& source, const std::string& name) {
    diff::ComparedFile file;
    try {
      file = diff::ReadCompared(source, name);
    } catch (const ToolError& error) {
      run.err += "fenwadump: " + Escaped(name) + ": " + Escaped(error.what()) + "\n";
      run.status = kToolTrouble;
    }
    for (const std::string& note : file.notes) run.err += "fenwadump: " + Escaped(name) + ": " + Escaped(note) + "\n";
    return file;
  };
  const diff::ComparedFile old_side = read(old_file, old_name);
  const diff::ComparedFile new_side = read(new_file, new_name);
  if (run.status == kToolTrouble) return run;
  const diff::Difference difference = diff::Compare(old_side, new_side);
  switch (request.output) {
    case DiffRequest::Output::kText: run.out = diff::DiffText(difference, old_side, new_side); break;
    case DiffRequest::Output::kJson: run.out = diff::DiffJson(difference, old_side, new_side); break;
    case DiffRequest::Output::kDot: run.out = diff::DiffDot(difference, old_side, new_side); break;
  }
  run.status = difference.same_image ? kToolSuccess : kToolProblems;
  return run;
}

namespace {

// --diff with --json or --dot (the network only); none of the dump's other options.
std::string ReadDiffOptions(const std::map<std::string, std::string>& options, DumpRequest& request) {
  if (options.count("--summary") || options.count("--only")) return "--diff takes --json or --dot, no other option";
  DiffRequest& diff = request.diff.emplace();
  const bool dot = options.count("--dot") > 0;
  if (options.count("--json") && dot) return "give --json or --dot, not both";
  if (options.count("--json")) diff.output = DiffRequest::Output::kJson;
  if (!dot) return "";
  if (options.at("--dot") != "" && options.at("--dot") != "network")
    return "--dot=" + Escaped(options.at("--dot")) + ": --diff draws the network only; give --dot";
  diff.output = DiffRequest::Output::kDot;
  return "";
}

}  // namespace

std::string ReadDumpOptions(const std::map<std::string, std::string>& options, DumpRequest& request) {
  if (options.count("--diff")) return ReadDiffOptions(options, request);
  if (options.count("--json")) return "--json needs --diff (a dump is JSON already)";
  const bool dot = options.count("--dot") > 0;
  if (options.count("--summary") && dot) return "give --summary or --dot, not both";
  if (options.count("--summary")) request.output = DumpRequest::Output::kSummary;
  if (dot) {
    const std::string& view = options.at("--dot");
    if (view != "" && view != "network" && view != "graph")
      return "--dot=" + Escaped(view) + ": give --dot=network or --dot=graph";
    request.output = DumpRequest::Output::kDot;
    if (view == "graph") request.dot.view = DotOptions::View::kGraph;
  }
  if (!options.count("--only")) return "";
  if (!dot) return "--only needs --dot";
  const std::string& only = options.at("--only");
  for (auto [prefix, kind] :
       {std::pair{"company:", DotOptions::Only::kCompany}, std::pair{"route:", DotOptions::Only::kRoute}}) {
    if (only.rfind(prefix, 0) == 0 && only.size() > std::string(prefix).size()) {
      request.dot.only = kind;
      request.dot.name = only.substr(std::string(prefix).size());
      return "";
    }
  }
  return "--only=" + Escaped(only) + ": give --only=company:NAME or --only=route:NAME";
}
