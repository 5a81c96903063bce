// The tolerant reader of intermediate data files: whatever a file holds,
// each record decoded into the dump's own entries (Document.h) by its fields'
// places in the file (Records.h), and what is wrong with it. It never fails on
// a damaged file; it reads the sections the header names, never more of each
// than the converter can read (so that a file of any size costs no more than
// the largest the converter accepts), and reports where the file ends early or
// holds more than the converter reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "base/Findings.h"
#include "network/IntermediateFormat.h"
#include "toolkit/Document.h"

struct IntermediateReading {
  std::uint64_t size = 0;
  // The header as given (every field set, and the capacities in effect), and
  // the fields of it that size the sections.
  HeaderEntry header;
  intermediate::FileHeader fields;
  // The records that were read, each route with its stops and each node with
  // its edges; the sort words of the first stations, whose sort records were
  // read, and the trailer words of the first routes, whose trailer words were.
  // Names and companies are not read.
  std::vector<StationEntry> stations;
  std::vector<RouteEntry> routes;
  std::vector<NodeEntry> nodes;
  // The string table as a raw index and pool; both empty unless read whole.
  std::vector<std::uint16_t> string_index;
  std::string string_pool;
  std::optional<std::uint64_t> node_section_end;  // when every node was read
  std::uint64_t edge_total = 0;
  Findings findings;

  bool HasHeader() const { return size >= intermediate::header::kSize; }
};

// Reads a file that starts with the magic (or any file: one without the magic
// is read as well as it can be).
IntermediateReading ReadIntermediate(ByteSource& source);
