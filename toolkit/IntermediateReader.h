// The tolerant reader of intermediate data files: whatever a file holds, as
// the description that would make it again, and what is wrong with it. It
// never fails on a damaged file; it reads the sections the header names,
// never more of each than the converter can read (so that a file of any size
// costs no more than the largest the converter accepts), and reports where
// the file ends early or holds more than the converter reads.
#pragma once

#include <cstdint>
#include <optional>

#include "base/ByteSource.h"
#include "base/Findings.h"
#include "network/IntermediateFormat.h"
#include "network/NetworkFile.h"

struct IntermediateReading {
  std::uint64_t size = 0;
  intermediate::FileHeader header;
  // The header as given (every field set), and the records that were read,
  // each route with its stops and each node with its edges; the string table
  // as a raw index and pool.
  NetworkDescription file;
  std::size_t sorted_stations = 0;                // the first stations, whose sort records were read
  std::size_t routes_with_trailer = 0;            // the first routes, whose trailer words were read
  std::optional<std::uint64_t> node_section_end;  // when every node was read
  std::uint64_t edge_total = 0;
  Findings findings;

  bool HasHeader() const { return size >= intermediate::header::kSize; }
};

// Reads a file that starts with the magic (or any file: one without the magic
// is read as well as it can be).
IntermediateReading ReadIntermediate(ByteSource& source);
