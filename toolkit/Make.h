// From a description or a dump (Document.h) to the intermediate data file it
// makes.
//
// A description names things the way people do (station and route names, a
// route's company as the start of its name, stops by station name, edges by
// node id); every field of the file can also be given by hand, so that a
// description can make a damaged or hostile file on purpose. A dump gives the
// file (or the image) as fenwadump read it: what it shows is taken as it is,
// what the converter works out (company numbers, route-station blocks, first
// edges, counts, the image's container) is worked out again, so that an edit
// means what it says. Every field is documented in tools/network.schema.json.
//
// Nothing that cannot mean what it says is passed on: a stop or an edge at a
// station or node that does not exist, the reserve role before a file node,
// the dump of a damaged file (unless asked for) are refused with the field's
// path and place; what the converter will refuse (more than 40 companies) and
// derived fields that say otherwise than the file made are warned about.
#pragma once

#include <string>
#include <vector>

#include "network/NetworkFile.h"
#include "toolkit/Document.h"

struct MakeOptions {
  bool accept_damage = false;  // make the file of a dump whose file was damaged
};

struct MadeNetwork {
  NetworkDescription network;
  std::vector<std::string> notes;     // what fenwamake did that the user should know
  std::vector<std::string> warnings;  // what the converter will refuse, or edits that change nothing
};

// Throws ToolError for a document that cannot be made: with the place of the
// field it is about, or without one when its file cannot be laid out.
MadeNetwork MakeNetwork(const Document& document, const MakeOptions& options);
