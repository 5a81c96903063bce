// Reads an intermediate data file or a fenwaimg.pdb and describes all of it as
// JSON: every header field, every table decoded, Shift_JIS text as UTF-8.
//
// The reader works on the file's bytes alone (it shares nothing with the
// converter's tables), checks every offset and count before it reads, and
// never fails on a damaged file: what does not fit is reported instead.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

using OrderedJson = nlohmann::ordered_json;

enum class FileKind { kIntermediate, kDatabase, kUnknown };

// Tells the two files apart by their first bytes.
FileKind DetectKind(const std::vector<std::uint8_t>& bytes);

struct Dump {
  FileKind kind = FileKind::kUnknown;
  OrderedJson document;               // the whole file; "problems" and "warnings" included
  std::vector<std::string> problems;  // inconsistencies: the file is damaged or not what the converter writes
  std::vector<std::string> warnings;  // oddities the converter passes through unchanged
};

Dump DumpBytes(const std::vector<std::uint8_t>& bytes);

// A screenful at most for people: identity, problems first, counts, routes by
// company; long lists cut, with a count of what was left out.
std::string Summarize(const Dump& dump);

// A Graphviz picture of the network in a dump: the stations and routes, or the
// route-finding graph; all of it, or one company or one route and what lies
// next to it.
struct DotOptions {
  enum class View { kNetwork, kGraph } view = View::kNetwork;
  enum class Only { kAll, kCompany, kRoute } only = Only::kAll;
  std::string name;  // the company's or the route's name (or number) when not all is drawn
};

// The picture as Graphviz text. Throws std::invalid_argument when no company
// or route has the name asked for.
std::string DrawDot(const Dump& dump, const DotOptions& options);
