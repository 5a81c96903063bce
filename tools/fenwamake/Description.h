// A network described in JSON, read into the builder's NetworkSpec.
//
// The description names things the way people do (station and route names in
// UTF-8, a route's company as the start of its name, stops by station name,
// edges by node id); the reader turns names into Shift_JIS bytes and indexes,
// puts every route and station name into the string table, and works out the
// company-name length in bytes. Every field of the file can also be given by
// hand, so that a description can make a damaged or hostile file on purpose.
// Every field is documented in tools/network.schema.json.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "network/NetworkFile.h"

// A description that cannot be read; what() names the field, as in "routes[2].company: ...".
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A description written by hand, or fenwadump's dump of an intermediate data
// file or an image (told apart by its "kind"; see ReadDump). Notes for the
// user (such as a capacity fenwamake had to raise) are added to `notes`.
NetworkSpec ReadDescription(const nlohmann::json& description, std::vector<std::string>& notes);

// fenwadump's dump of a file ("kind": "intermediate") or of an image ("kind":
// "database"), perhaps edited: the file it gives converts to the image the
// dump shows with the edits made. What each field of the dump counts for is
// written in tools/network.schema.json.
NetworkSpec ReadDump(const nlohmann::json& dump, std::vector<std::string>& notes);
