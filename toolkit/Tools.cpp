#include "toolkit/Tools.h"

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
std::string ProblemLines(const Document& document, const std::string& name, bool summary) {
  constexpr std::size_t kListed = 10;
  const std::vector<std::string>& problems = ProblemsOf(document);
  const std::size_t count = FoundCount(document.problems, document.problems_not_listed);
  const std::string prefix = "fenwadump: " + Escaped(name) + ": ";
  std::string text;
  if (summary) {
    if (count > 0) text = prefix + std::to_string(count) + (count == 1 ? " problem\n" : " problems\n");
    return text;
  }
  for (std::size_t i = 0; i < problems.size() && i < kListed; ++i) text += prefix + Escaped(problems[i]) + "\n";
  if (count > kListed)
    text += prefix + "… and " + std::to_string(count - kListed) + " more problems (the JSON dump lists " +
            (document.problems_not_listed == 0 ? std::string("every one")
                                               : "the first " + std::to_string(problems.size() - 1)) +
            ")\n";
  return text;
}

}  // namespace

ToolOutput RunFenwadump(ByteSource& file, const std::string& name, const DumpRequest& request) {
  ToolOutput run;
  Document document;
  try {
    document = Inspect(file);
  } catch (const ToolError& error) {
    run.err = "fenwadump: " + Escaped(name) + ": cannot read it: " + error.what() + "\n";
    run.status = tool_status::kDumpFailed;
    return run;
  }
  switch (request.output) {
    case DumpRequest::Output::kJson: run.out = WriteDocument(document, request.drain); break;
    case DumpRequest::Output::kSummary: run.out = Escaped(name) + ": " + Summarize(document); break;
    case DumpRequest::Output::kDot: try { run.out = DrawDot(document, request.dot);
      } catch (const ToolError& error) {
        run.err = "fenwadump: " + Escaped(name) + ": " + error.what() + "\n";
        run.status = tool_status::kMisused;
        return run;
      }
  }
  run.err = ProblemLines(document, name, request.output == DumpRequest::Output::kSummary);
  run.status = ProblemsOf(document).empty() ? tool_status::kSuccess : tool_status::kFindings;
  return run;
}

namespace {

// The document read() gives; `reading` is cleared once it is read.
Document ReadAll(const std::function<Document()>& read, bool& reading) {
  Document document = read();
  reading = false;
  return document;
}

// What fenwamake says when it makes no file: a refusal with its place, a text
// that cannot be read, or a file that cannot be laid out.
void Refuse(ToolOutput& run, const std::string& prefix, const ToolError& error, bool reading) {
  run.status = tool_status::kFindings;
  if (error.At()) {
    run.err = prefix + Escaped(DescribeRefusal(error)) + "\n";
    run.refusal = error;
  } else if (reading) {
    run.err = prefix + "cannot read it: " + error.what() + "\n";
    run.status = tool_status::kMakeFailed;
  } else {
    run.err = prefix + "cannot lay out the file: " + Escaped(error.what()) + "\n";
  }
}

ToolOutput Make(const std::function<Document()>& read, const std::string& name, const MakeOptions& options) {
  ToolOutput run;
  const std::string prefix = "fenwamake: " + Escaped(name) + ": ";
  bool reading = true;
  try {
    const MadeNetwork made = MakeNetwork(ReadAll(read, reading), options);
    run.file = BuildNetworkFile(made.network);
    for (const std::string& note : made.notes) run.err += prefix + "note: " + Escaped(note) + "\n";
    for (const std::string& warning : made.warnings) run.err += prefix + "warning: " + Escaped(warning) + "\n";
  } catch (const ToolError& error) {
    Refuse(run, prefix, error, reading);
  }
  return run;
}

}  // namespace

ToolOutput RunFenwamake(std::string_view json, const std::string& name, const MakeOptions& options) {
  return Make([json] { return ReadDocument(json); }, name, options);
}

ToolOutput RunFenwamake(const std::function<JsonPieces()>& open, const std::string& name, const MakeOptions& options) {
  return Make([&open] { return ReadDocument(open); }, name, options);
}

std::span<const ToolOption<MakeOptions>> MakeOptionTable() {
  static constexpr ToolOption<MakeOptions> kOptions[] = {
      {"--accept-damage", false, [](MakeOptions& options, const std::string&) { options.accept_damage = true; }},
  };
  return kOptions;
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
      run.status = tool_status::kDumpFailed;
    }
    for (const std::string& note : file.notes) run.err += "fenwadump: " + Escaped(name) + ": " + Escaped(note) + "\n";
    return file;
  };
  const diff::ComparedFile old_side = read(old_file, old_name);
  const diff::ComparedFile new_side = read(new_file, new_name);
  if (run.status == tool_status::kDumpFailed) return run;
  const diff::Difference difference = diff::Compare(old_side, new_side);
  switch (request.output) {
    case DiffRequest::Output::kText: run.out = diff::DiffText(difference, old_side, new_side); break;
    case DiffRequest::Output::kJson: run.out = diff::DiffJson(difference, old_side, new_side); break;
    case DiffRequest::Output::kDot: run.out = diff::DiffDot(difference, old_side, new_side); break;
  }
  run.status = difference.same_image ? tool_status::kSuccess : tool_status::kFindings;
  return run;
}

std::span<const ToolOption<DumpOptions>> DumpOptionTable() {
  static constexpr ToolOption<DumpOptions> kOptions[] = {
      {"--summary", false, [](DumpOptions& options, const std::string&) { options.summary = true; }},
      {"--dot", true, [](DumpOptions& options, const std::string& view) { options.dot = view; }},
      {"--only", true, [](DumpOptions& options, const std::string& only) { options.only = only; }},
      {"--diff", false, [](DumpOptions& options, const std::string&) { options.diff = true; }},
      {"--json", false, [](DumpOptions& options, const std::string&) { options.json = true; }},
  };
  return kOptions;
}

namespace {

[[noreturn]] void Wrong(const std::string& what) { throw ToolError(what); }

// --diff with --json or --dot (the network only); none of the dump's other options.
DiffRequest ReadDiffOptions(const DumpOptions& options) {
  if (options.summary || options.only) Wrong("--diff takes --json or --dot, no other option");
  if (options.json && options.dot) Wrong("give --json or --dot, not both");
  DiffRequest diff;
  if (options.json) diff.output = DiffRequest::Output::kJson;
  if (!options.dot) return diff;
  if (*options.dot != "" && *options.dot != "network")
    Wrong("--dot=" + Escaped(*options.dot) + ": --diff draws the network only; give --dot");
  diff.output = DiffRequest::Output::kDot;
  return diff;
}

// --only=company:NAME or --only=route:NAME, which needs --dot.
void ReadOnly(const DumpOptions& options, DotOptions& dot) {
  if (!options.dot) Wrong("--only needs --dot");
  const std::string& only = *options.only;
  for (auto [prefix, kind] :
       {std::pair{"company:", DotOptions::Only::kCompany}, std::pair{"route:", DotOptions::Only::kRoute}}) {
    if (only.rfind(prefix, 0) == 0 && only.size() > std::string(prefix).size()) {
      dot.only = kind;
      dot.name = only.substr(std::string(prefix).size());
      return;
    }
  }
  Wrong("--only=" + Escaped(only) + ": give --only=company:NAME or --only=route:NAME");
}

}  // namespace

DumpRequest ReadDumpOptions(const DumpOptions& options) {
  DumpRequest request;
  if (options.diff) {
    request.diff = ReadDiffOptions(options);
    return request;
  }
  if (options.json) Wrong("--json needs --diff (a dump is JSON already)");
  if (options.summary && options.dot) Wrong("give --summary or --dot, not both");
  if (options.summary) request.output = DumpRequest::Output::kSummary;
  if (options.dot) {
    const std::string& view = *options.dot;
    if (view != "" && view != "network" && view != "graph")
      Wrong("--dot=" + Escaped(view) + ": give --dot=network or --dot=graph");
    request.output = DumpRequest::Output::kDot;
    if (view == "graph") request.dot.view = DotOptions::View::kGraph;
  }
  if (options.only) ReadOnly(options, request.dot);
  return request;
}
