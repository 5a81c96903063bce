// fenwamake's reading of descriptions and dumps on arbitrary text, in memory:
// every text is made into a file or refused with one message that names the
// line and column, never anything else; a file made is one the tolerant
// reader reads as an intermediate data file (unless a warning says its magic
// makes it none), and a refusal leaves no file.
// Crashes, sanitizer reports and leaks are found by the sanitizers themselves.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "toolkit/Inspect.h"
#include "toolkit/Tools.h"

namespace {

void Check(bool condition, const std::string& what) {
  if (condition) return;
  std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ToolOutput made = RunFenwamake(text, "fuzz.json", MakeOptions{});
  Check(made.out.empty(), "fenwamake printed to standard output");
  Check(made.status == tool_status::kSuccess || made.status == tool_status::kFindings,
        "an exit status other than 0 or 1");
  if (made.status != tool_status::kSuccess) {
    Check(made.file.empty(), "a refusal with a file");
    Check(made.refusal.has_value() || made.err.find(": cannot lay out the file: ") != std::string::npos,
          "a refusal without its place: " + made.err);
    Check(made.err.rfind("fenwamake: fuzz.json: ", 0) == 0 && made.err.find('\n') == made.err.size() - 1,
          "a refusal that is not one line: " + made.err);
    return 0;
  }
  Check(!made.file.empty(), "success without a file");
  const Document document = InspectBytes(made.file);
  Check(document.kind == DocumentKind::kIntermediate || made.err.find("header.magic is ") != std::string::npos,
        "fenwamake made something else than an intermediate data file without a word");
  return 0;
}
