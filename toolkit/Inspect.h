// Inspecting a file: an intermediate data file, a fenwaimg.pdb, or neither,
// read by the tolerant readers and described as a dump (Document.h), with
// every problem and warning found. An intermediate data file is also given to
// the converter's own loading, so that whatever the converter would refuse is
// a problem in its words.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/ByteSource.h"
#include "toolkit/Document.h"

// Tells the two files apart by their first bytes.
DocumentKind DetectKind(const std::vector<std::uint8_t>& head);

// The dump of the file `source` holds: kind kIntermediate, kDatabase or kUnknown.
Document Inspect(ByteSource& source);
// The same, of a file's bytes in memory.
inline Document InspectBytes(std::span<const std::uint8_t> bytes) {
  MemorySource source(bytes);
  return Inspect(source);
}

// The problems of a dump; none when it has none.
inline const std::vector<std::string>& ProblemsOf(const Document& document) {
  static const std::vector<std::string> kNone;
  return document.problems ? *document.problems : kNone;
}
