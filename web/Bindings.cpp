// The library for JavaScript: what fenwaimg, fenwadump and fenwamake print and
// make, as calls on bytes in memory (Embind). web/api.js wraps these raw calls
// into the documented API (README, "The JavaScript API"); each returns what the
// program would: its exit status, its standard output and standard error, and
// the file it writes.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "base/ToolError.h"
#include "diff/Diff.h"
#include "driver/Convert.h"
#include "pdb/ImageFormat.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"
#include "text/Utf8.h"
#include "toolkit/Inspect.h"
#include "toolkit/JsonMapping.h"
#include "toolkit/Tools.h"

namespace {

using emscripten::val;

std::span<const std::uint8_t> BytesOf(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// A Uint8Array of its own holding `bytes` (a copy: the wasm memory may move).
template <typename Bytes>
val Uint8Array(const Bytes& bytes) {
  return val::global("Uint8Array")
      .new_(emscripten::typed_memory_view(bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data())));
}

// UTF-8 text as a JavaScript string.
val Text(const std::string& utf8) { return val(utf8); }

val Result(int status) {
  val result = val::object();
  result.set("status", status);
  return result;
}

// The bytes the converter gets on the command line for the file name `utf8`
// where its console is Shift_JIS: the name in code page 932, each character
// without a form there (one outside the Basic Multilingual Plane too) as one
// '?', as the conversion to that platform's ANSI code page gives them.
std::string ShiftJisName(const std::string& utf8) {
  std::string bytes;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character character = Utf8CharacterAt(utf8, at);
    const std::size_t length = character.length == 0 ? 1 : character.length;  // a stray byte: one '?'
    const std::optional<std::string> encoded = Utf8ToShiftJis(utf8.substr(at, length));
    bytes += encoded ? *encoded : "?";
    at += length;
  }
  return bytes;
}

// fenwaimg NAME on `input`, `name` given as text: the console is its
// Shift_JIS bytes, and the standard-error line, which names the file as the
// console does, that line decoded as text.
val Convert(const std::string& input, const std::string& name) {
  const Conversion run = ConvertInMemory(BytesOf(input), ShiftJisName(name));
  val result = Result(run.status);
  result.set("console", Uint8Array(run.console));
  result.set("error", Text(ShiftJisToUtf8(run.Error()).utf8));
  result.set("image", Uint8Array(run.image));
  return result;
}

val ToolResult(const ToolOutput& output) {
  val result = Result(output.status);
  result.set("out", Text(output.out));
  result.set("err", Text(output.err));
  return result;
}

// A refusal of a JSON text: {message (what is wrong), line, column, path (the
// field's, empty when it names none)}.
val Refusal(const ToolError& refusal) {
  val result = val::object();
  result.set("message", Text(refusal.what()));
  result.set("line", refusal.At() ? refusal.At()->line : 0);
  result.set("column", refusal.At() ? refusal.At()->column : 0);
  result.set("path", Text(refusal.Path()));
  return result;
}

// What a program prints when it fails as a whole (RunProgram in tools/common).
ToolOutput Failed(const char* program, const std::string& reason, int status) {
  ToolOutput output;
  output.status = status;
  output.err = std::string(program) + ": " + reason + "\n";
  return output;
}

// What fenwadump prints for `run`, or when it fails as a whole.
template <typename Run>
ToolOutput AsFenwadump(const Run& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    return Failed("fenwadump", "out of memory", tool_status::kDumpFailed);
  } catch (const std::exception& failure) {
    return Failed("fenwadump", Escaped(failure.what()), tool_status::kDumpFailed);
  }
}

// The request fenwadump's options make, as on the command line.
template <typename Run>
ToolOutput WithOptions(const DumpOptions& options, const Run& run) {
  return AsFenwadump([&] {
    DumpRequest request;
    try {
      request = ReadDumpOptions(options);
    } catch (const ToolError& wrong) {
      return Failed("fenwadump", wrong.what(), tool_status::kMisused);
    }
    return run(request);
  });
}

// fenwadump [OPTIONS] NAME on `file`.
ToolOutput Dump(const std::string& file, const std::string& name, const DumpOptions& options) {
  return WithOptions(options, [&](const DumpRequest& request) {
    MemorySource source(BytesOf(file));
    return RunFenwadump(source, name, request);
  });
}

val DumpJson(const std::string& file, const std::string& name) { return ToolResult(Dump(file, name, {})); }

val Summary(const std::string& file, const std::string& name) {
  return ToolResult(Dump(file, name, {.summary = true}));
}

// fenwadump --dot=VIEW [--only=ONLY] NAME; an empty `only` draws everything.
val Draw(const std::string& file, const std::string& name, const std::string& view, const std::string& only) {
  DumpOptions options{.dot = view};
  if (!only.empty()) options.only = only;
  return ToolResult(Dump(file, name, options));
}

// fenwadump --diff [--json | --dot] OLD NEW on `old_file` and `new_file`; `output` is "text", "json" or "dot".
val Diff(const std::string& old_file, const std::string& old_name, const std::string& new_file,
         const std::string& new_name, const std::string& output) {
  DumpOptions options{.diff = true};
  if (output == "json") options.json = true;
  if (output == "dot") options.dot = "";
  if (output != "text" && !options.json && !options.dot)
    return ToolResult(
        Failed("fenwadump", "the output " + Quoted(output) + " is none of text, json and dot", tool_status::kMisused));
  return ToolResult(WithOptions(options, [&](const DumpRequest& request) {
    MemorySource old_source(BytesOf(old_file)), new_source(BytesOf(new_file));
    return RunDiff(old_source, old_name, new_source, new_name, *request.diff);
  }));
}

// fenwamake [--accept-damage] NAME OUT with the text `json` in NAME.
val Make(const std::string& json, const std::string& name, bool accept_damage) {
  ToolOutput output;
  try {
    MakeOptions options;
    options.accept_damage = accept_damage;
    if (json.size() > kMostJsonBytes) {
      output = Failed("fenwamake",
                      Escaped(name) + ": cannot open it: it is " + std::to_string(json.size()) +
                          " bytes, more than the " + std::to_string(kMostJsonBytes) + " it may be",
                      tool_status::kMakeFailed);
    } else {
      output = RunFenwamake(json, name, options);
    }
  } catch (const std::bad_alloc&) {
    output = Failed("fenwamake", "out of memory", tool_status::kMakeFailed);
  } catch (const std::exception& failure) {
    output = Failed("fenwamake", Escaped(failure.what()), tool_status::kMakeFailed);
  }
  val result = ToolResult(output);
  result.set("file", Uint8Array(output.file));
  result.set("refusal", output.refusal ? Refusal(*output.refusal) : val::null());
  return result;
}

// What kind of file `bytes` is: "intermediate", "database", or, for JSON,
// "description", "intermediate dump", "database dump" or "unknown dump" when
// fenwamake can read it and "json" when it cannot; "unknown" otherwise.
val Identify(const std::string& bytes) {
  MemorySource source(BytesOf(bytes));
  const DocumentKind kind = DetectKind(source.Read(0, image::database::kSize));  // as fenwadump tells them apart
  if (kind == DocumentKind::kIntermediate) return Text(diff::FileKindName(diff::FileKind::kIntermediate));
  if (kind == DocumentKind::kDatabase) return Text(diff::FileKindName(diff::FileKind::kDatabase));
  if (!diff::LooksLikeJson(BytesOf(bytes)) || bytes.size() > kMostJsonBytes) return Text("unknown");
  try {
    const std::optional<diff::FileKind> json = diff::JsonFileKind(ReadDocument(bytes).kind);
    return Text(json ? diff::FileKindName(*json) : "unknown dump");
  } catch (const std::exception&) {
  }
  return Text("json");
}

}  // namespace

EMSCRIPTEN_BINDINGS(fenwa) {
  emscripten::function("rawIdentify", &Identify);
  emscripten::function("rawConvert", &Convert);
  emscripten::function("rawDump", &DumpJson);
  emscripten::function("rawSummary", &Summary);
  emscripten::function("rawDraw", &Draw);
  emscripten::function("rawDiff", &Diff);
  emscripten::function("rawMake", &Make);
}
