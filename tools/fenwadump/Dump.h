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

// A few lines for people: identity, counts, routes by company, problems.
std::string Summarize(const Dump& dump);
