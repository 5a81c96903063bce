// What fenwadump shows of a dump besides its JSON: a summary for people and
// Graphviz pictures. Every name from the file is shown with its control
// characters escaped.
#pragma once

#include <string>

#include "base/ToolError.h"
#include "toolkit/Document.h"

// A screenful at most for people: identity, problems first, counts, routes by
// company; long lists cut, with a count of what was left out.
std::string Summarize(const Document& document);

// A Graphviz picture of the network in a dump: the stations and routes, or the
// route-finding graph; all of it, or one company or one route and what lies
// next to it.
struct DotOptions {
  enum class View { kNetwork, kGraph } view = View::kNetwork;
  enum class Only { kAll, kCompany, kRoute } only = Only::kAll;
  std::string name;  // the company's or the route's name (or number) when not all is drawn
};

// The picture as Graphviz text. Throws ToolError when no company or route has
// the name asked for.
std::string DrawDot(const Document& document, const DotOptions& options);
