// The tolerant reader of images: the container, the image header and every
// table, each record decoded into the dump's own entries (Document.h) by its
// fields' places in the image (Records.h), and every way in which the image
// differs from what the converter writes. It never fails on a damaged image,
// and reads of each record no more than the image header's counts make it, so
// that an image of any size costs no more than the largest the converter
// writes. A table region that several routes or nodes claim is reported once
// and shown with the first of them only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "base/Findings.h"
#include "pdb/ImageFormat.h"
#include "toolkit/Document.h"

struct ImageReading {
  std::uint64_t size = 0;
  DatabaseEntry database;
  std::vector<RecordEntry> records;  // each with its length, null when the list gives it no sound place
  std::optional<ImageHeaderEntry> image_header;
  image::ImageCounts counts;  // the image header's, when there is one
  // The tables, when the image header gave their sizes: names and companies' names are not read.
  std::vector<StationEntry> stations;
  std::vector<RouteEntry> routes;  // each with its stops, when its block of the route-station table is sound
  RouteStationsEntry route_stations;
  std::vector<std::uint16_t> string_index;
  std::string string_pool;
  std::vector<NodeEntry> nodes;  // each with its edges, when its run of the edge table is sound
  std::vector<EdgeEntry> unowned_edges;
  std::uint32_t edge_count = 0;  // the edges the table holds
  Findings findings;

  bool HasDatabaseHeader() const { return size >= image::database::kSize; }
};

// True when `bytes` (the first of a file) look like an image: its name or its type and creator.
bool LooksLikeImage(const std::vector<std::uint8_t>& bytes);

ImageReading ReadImage(ByteSource& source);
