// The tolerant reader of images: the container, the image header and every
// table, decoded as the converter's own network and graph, and every way in
// which the image differs from what the converter writes. It never fails on a
// damaged image, and reads of each record no more than the image header's
// counts make it, so that an image of any size costs no more than the
// largest the converter writes. A table region that several routes or nodes
// claim is reported once and shown with the first of them only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "base/Findings.h"
#include "network/Graph.h"
#include "network/Network.h"
#include "network/NetworkFile.h"
#include "pdb/ImageFormat.h"

struct DatabaseHeaderFields {
  std::string name;  // the whole 32-byte field
  std::uint16_t attributes = 0;
  std::uint16_t version = 0;
  std::uint32_t creation_date = 0;
  std::uint32_t modification_date = 0;
  std::uint32_t backup_date = 0;
  std::uint32_t modification_number = 0;
  std::uint32_t app_info_offset = 0;
  std::uint32_t sort_info_offset = 0;
  std::string type;
  std::string creator;
  std::uint32_t unique_id_seed = 0;
  std::uint32_t next_record_list = 0;
  std::uint16_t record_count = 0;
};

struct ImageRecordInfo {
  std::uint32_t offset = 0;
  std::uint8_t attributes = 0;
  std::uint32_t unique_id = 0;
  std::optional<std::uint64_t> length;  // none when the list gives the record no sound place
};

struct ImageHeaderFields {
  std::string magic;
  std::string version;
  image::ImageCounts counts;
};

struct ImageStation {
  std::uint16_t name_string = 0;
  std::uint16_t opaque_word = 0;
  std::optional<std::uint16_t> sort;  // when the SORT table holds it
  std::optional<std::uint16_t> kana_sort;
};

struct ImageRoute {
  Route record;
  std::vector<StopDescription> stops;  // its block of the route-station table, when that is sound
};

struct ImageNode {
  Node record;
  std::vector<EdgeDescription> edges;  // its run of the edge table, when that is sound
  const char* role = nullptr;          // "special" (nodes 0 and 1), "reserve" (behind the file's nodes)
};

struct UnownedEdge {
  std::uint32_t index = 0;
  EdgeDescription edge;
};

struct ImageReading {
  std::uint64_t size = 0;
  DatabaseHeaderFields database;
  std::vector<ImageRecordInfo> records;
  std::optional<ImageHeaderFields> image_header;
  // The tables, when the image header gave their sizes.
  std::vector<ImageStation> stations;
  std::vector<ImageRoute> routes;
  std::vector<std::uint16_t> string_index;
  std::string string_pool;
  std::uint64_t slots_used = 0;  // behind the last route's block
  std::vector<ImageNode> nodes;
  std::vector<UnownedEdge> unowned_edges;
  std::uint32_t edge_count = 0;  // the edges the table holds
  Findings findings;

  bool HasDatabaseHeader() const { return size >= image::database::kSize; }
};

// True when `bytes` (the first of a file) look like an image: its name or its type and creator.
bool LooksLikeImage(const std::vector<std::uint8_t>& bytes);

ImageReading ReadImage(ByteSource& source);
