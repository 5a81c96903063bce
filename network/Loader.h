// The converter's loaders: from an intermediate data file to the network and
// its graph. The file is read once, into memory: its header, and then every
// byte of each section that a conversion can read, the sections that lie close
// together in one read. The loaders decode from memory through a cursor, in
// the order and with the refusals of a reader that reads record after record:
// a record the file ends inside is a read failure that names the read site and
// the offset where the record starts.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ByteCursor.h"
#include "base/ByteSource.h"
#include "fileio/CurrentFile.h"
#include "network/Graph.h"
#include "network/IntermediateFormat.h"
#include "network/Network.h"

// The read sites of the loaders; each names the record whose read came up short.
enum ReadSite : int {
  kSiteHeader = 9,
  kSiteStation = 10,
  kSiteSort = 11,
  kSiteRoute = 12,
  kSiteRouteStation = 13,
  kSiteStringIndex = 14,
  kSiteStringPool = 15,
  kSiteTrailer = 16,
  kSiteNode = 17,
  kSiteEdge = 18,
};
const char* ReadSiteDescription(int site);

// The record of `site` that starts at `offset` is cut short by the end of the input.
[[noreturn]] void ShortRead(int site, std::uint64_t offset);

// What a conversion reads of an intermediate data file.
class NetworkInput {
 public:
  // Reads the header of the open file and refuses a header that is short, has
  // no magic or asks for too much; then reads the sections the header names.
  static NetworkInput Read(CurrentFile& file);
  // The same, of the bytes of the file `name` held in memory (which must outlive the input).
  static NetworkInput FromBytes(std::span<const std::uint8_t> file, const std::string& name);
  // The same, from a source of the bytes of the file `name` (a failed read is a fatal error).
  static NetworkInput Read(ByteSource& source, const std::string& name);

  const intermediate::FileHeader& Header() const { return header_; }
  ByteCursor NodeSection() const { return Section(windows_.nodes); }
  ByteCursor BaseSection() const { return Section(windows_.base); }
  ByteCursor TrailerSection() const { return Section(windows_.trailer); }

 private:
  // Bytes read from the file: as many as it has from `offset` on, up to what was asked.
  struct Region {
    std::uint64_t offset = 0;
    std::unique_ptr<std::uint8_t[]> owned;  // empty when the bytes are the caller's
    std::span<const std::uint8_t> bytes;
  };

  // Reads up to `length` bytes at `offset` of the file; fewer at its end.
  static Region ReadRegion(CurrentFile& file, std::uint64_t offset, std::uint64_t length);
  // Reads the header with read_at(offset, length), checks it, then reads the sections it names.
  template <typename ReadAt>
  static NetworkInput ReadWith(const std::string& name, ReadAt read_at);
  // Checks the 64 header bytes of the file `name` (fewer when it is shorter) and works out the windows.
  void TakeHeader(std::span<const std::uint8_t> header, const std::string& name);
  ByteCursor Section(const intermediate::FileWindow& window) const;

  intermediate::FileHeader header_;
  intermediate::SectionWindows windows_;
  std::vector<Region> regions_;
};

// The base tables: stations, sort orders, routes with their stops, strings and
// route trailer words. Routes have no company yet (see AssignCompanies).
Network LoadBaseTables(const NetworkInput& input);

// The route graph: the file's nodes with their edges and 20 empty reserve nodes.
Graph LoadGraph(const NetworkInput& input);
