// fenwadump and fenwamake as calls on bytes: what each program prints and
// makes, its exit status included, without a file system. The programs only
// read their arguments and files, call these, and write what they return; the
// web page calls the same functions, so both give the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSource.h"
#include "base/ToolError.h"
#include "text/Json.h"
#include "toolkit/Make.h"
#include "toolkit/Views.h"

// The exit statuses of both tools.
namespace tool_status {
inline constexpr int kSuccess = 0;
// What the tool found says no: fenwadump: the file has problems, or the two
// networks differ; fenwamake: the document is refused.
inline constexpr int kFindings = 1;
// Wrong arguments: an unknown option, a wrong number of files, a name --only finds nowhere.
inline constexpr int kMisused = 2;
// The tool cannot do its work: a file it cannot read (fenwadump --diff: or
// compare), output it cannot write, memory run out. fenwadump says so apart
// from its findings; fenwamake's documented status is that of a refusal.
inline constexpr int kDumpFailed = 2;
inline constexpr int kMakeFailed = 1;
}  // namespace tool_status

// The most bytes of JSON either tool reads (a dump of the largest network the
// converter accepts takes about 13 MB).
inline constexpr std::uint64_t kMostJsonBytes = 64u << 20;

struct ToolOutput {
  int status = tool_status::kSuccess;
  std::string out;                 // standard output
  std::string err;                 // standard error
  std::vector<std::uint8_t> file;  // fenwamake: the intermediate data file, when it succeeds
  // fenwamake: the refusal of a document, with the place and the field it is
  // about (its line on standard error is prefixed and escaped).
  std::optional<ToolError> refusal;
};

// An option of a tool on the command line: --name, or --name=VALUE when it
// takes a value; `set` records it (with its value, empty when none is given)
// in what the options say.
template <typename Options>
struct ToolOption {
  const char* name;
  bool takes_value;
  void (*set)(Options& options, const std::string& value);
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

// What fenwadump's options say, each as given, before they are checked
// against each other.
struct DumpOptions {
  bool summary = false;
  std::optional<std::string> dot;   // --dot: "" alone, else its view
  std::optional<std::string> only;  // --only=company:NAME or --only=route:NAME
  bool diff = false;
  bool json = false;
};
// fenwadump's options (--summary, --dot[=network|graph], --only=..., --diff,
// --json), in the order "did you mean" prefers them.
std::span<const ToolOption<DumpOptions>> DumpOptionTable();
// The request the options make. Throws ToolError saying what is wrong with them.
DumpRequest ReadDumpOptions(const DumpOptions& options);

// fenwamake NETWORK.json OUT: the file the description or dump `json` makes.
ToolOutput RunFenwamake(std::string_view json, const std::string& name, const MakeOptions& options);
// The same, of a text that open() gives in pieces from its start, each time
// it is called (see ReadDocument), so that it is never held whole.
ToolOutput RunFenwamake(const std::function<JsonPieces()>& open, const std::string& name, const MakeOptions& options);
// fenwamake's options besides its files (--accept-damage).
std::span<const ToolOption<MakeOptions>> MakeOptionTable();
