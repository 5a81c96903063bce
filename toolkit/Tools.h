// fenwadump and fenwamake as calls on bytes: what each program prints and
// makes, its exit status included, without a file system. The programs only
// read their arguments and files, call these, and write what they return; the
// web page calls the same functions, so both give the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSource.h"
#include "text/Json.h"
#include "toolkit/Make.h"
#include "toolkit/Views.h"

// The exit statuses of both tools.
inline constexpr int kToolSuccess = 0;
// fenwadump: the file has problems; fenwamake: refused, or a file that cannot be read or written.
inline constexpr int kToolProblems = 1;
// Wrong arguments; fenwadump: a file that cannot be read, or output that cannot be written.
inline constexpr int kToolTrouble = 2;

// The most bytes of JSON either tool reads (a dump of the largest network the
// converter accepts takes about 13 MB).
inline constexpr std::uint64_t kMostJsonBytes = 64u << 20;

struct ToolOutput {
  int status = kToolSuccess;
  std::string out;                 // standard output
  std::string err;                 // standard error
  std::vector<std::uint8_t> file;  // fenwamake: the intermediate data file, when it succeeds
};

// fenwadump --diff OLD NEW: what differs between two networks (diff/Diff.h),
// as text, as JSON (--json) or as a picture (--dot). Status 0 when both are
// or make the same image, 1 when they differ, 2 when a file cannot be compared.
struct DiffRequest {
  enum class Output { kText, kJson, kDot } output = Output::kText;
};
ToolOutput RunDiff(ByteSource& old_file, const std::string& old_name, ByteSource& new_file, const std::string& new_name,
                   const DiffRequest& request);

// fenwadump FILE: the JSON dump, the summary (--summary) or a picture (--dot).
struct DumpRequest {
  enum class Output { kJson, kSummary, kDot } output = Output::kJson;
  DotOptions dot;
  std::optional<DiffRequest> diff;  // --diff: compare two files instead
  // Where the JSON goes as it is made, a megabyte at a time (it must take and
  // empty what it is given); unset, all of it is in ToolOutput::out.
  std::function<void(std::string&)> drain;
};
ToolOutput RunFenwadump(ByteSource& file, const std::string& name, const DumpRequest& request);
// The request fenwadump's options make (--summary, --dot[=network|graph],
// --only=company:NAME|route:NAME, --diff, --json, by name with their values);
// a message saying what is wrong with them, or empty.
std::string ReadDumpOptions(const std::map<std::string, std::string>& options, DumpRequest& request);

// fenwamake NETWORK.json OUT: the file the description or dump `json` makes.
ToolOutput RunFenwamake(std::string_view json, const std::string& name, const MakeOptions& options);
// The same, of a text that open() gives in pieces from its start, each time
// it is called (see ReadDocument), so that it is never held whole.
ToolOutput RunFenwamake(const std::function<JsonPieces()>& open, const std::string& name, const MakeOptions& options);
