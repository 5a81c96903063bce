// Pictures of a dump in Graphviz's language: the network (stations, and each
// route as a path of its stops coloured by its company, with a legend) or the
// route-finding graph (nodes and their edges with their values).
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>

#include "network/IntermediateFormat.h"
#include "text/Terminal.h"
#include "toolkit/DotText.h"
#include "toolkit/Views.h"

namespace {

// Colours that stay apart on white; companies beyond them take them again.
constexpr const char* kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b",
                                    "#e377c2", "#17becf", "#bcbd22", "#393b79", "#637939", "#843c39"};
constexpr const char* kNoCompany = "#888888";
constexpr const char* kMissing = "#cc0000";

// What the pictures need of a dump.
struct Model {
  struct Route {
    std::string name;
    std::optional<std::uint64_t> company;
    std::vector<std::uint64_t> stops;
  };
  struct Company {
    std::string name;
    std::string colour;
  };
  std::vector<std::string> stations;  // labels
  std::vector<Route> routes;
  std::map<std::uint64_t, Company> companies;

  std::string Colour(const Route& route) const {
    const auto found = route.company ? companies.find(*route.company) : companies.end();
    return found != companies.end() ? found->second.colour : kNoCompany;
  }
};

Model ModelOf(const Document& doc) {
  Model model;
  for (const StationEntry& station : Items(doc.stations)) {
    model.stations.push_back(station.name ? DotName(Escaped(*station.name))
                                          : "station " + std::to_string(model.stations.size()));
  }
  for (const RouteEntry& item : Items(doc.routes)) {
    Model::Route route;
    route.name = item.name && *item.name ? Escaped(**item.name) : "route " + std::to_string(model.routes.size());
    if (item.company && *item.company) route.company = **item.company;
    for (const StopEntry& stop : Items(item.stops))
      route.stops.push_back(stop.station && stop.station->number ? *stop.station->number : 0);
    model.routes.push_back(route);
  }
  std::size_t named = 0;
  for (const CompanyEntry& item : Items(doc.companies)) {
    if (!item.number) continue;
    const bool has_name = item.name && *item.name;
    model.companies[*item.number] = {has_name ? Escaped(**item.name) : "(no company)",
                                     has_name ? kPalette[named++ % std::size(kPalette)] : kNoCompany};
  }
  return model;
}

// The routes a picture is about.
std::vector<bool> Chosen(const Model& model, const DotOptions& options) {
  std::vector<bool> chosen(model.routes.size(), options.only == DotOptions::Only::kAll);
  if (options.only == DotOptions::Only::kAll) return chosen;
  const bool by_company = options.only == DotOptions::Only::kCompany;
  const auto matches = [&](std::size_t r, bool by_number) {
    const Model::Route& route = model.routes[r];
    if (!by_company) return by_number ? std::to_string(r) == options.name : route.name == options.name;
    const auto company = route.company ? model.companies.find(*route.company) : model.companies.end();
    if (company == model.companies.end()) return false;
    return by_number ? std::to_string(company->first) == options.name : company->second.name == options.name;
  };
  bool any = false;
  for (bool by_number : {false, true}) {
    for (std::size_t r = 0; r < chosen.size() && !any; ++r) any = matches(r, by_number);
    if (!any) continue;
    for (std::size_t r = 0; r < chosen.size(); ++r) chosen[r] = matches(r, by_number);
    return chosen;
  }
  throw ToolError(std::string("no ") + (by_company ? "company" : "route") + " is named " + Quoted(options.name));
}

std::string StationId(std::uint64_t station, const Model& model) {
  return (station < model.stations.size() ? "s" : "x") + std::to_string(station);
}

void Legend(std::ostringstream& out, const Model& model, const std::set<std::uint64_t>& shown) {
  if (shown.empty()) return;
  std::vector<DotLegendRow> rows;
  for (std::uint64_t number : shown) {
    const Model::Company& company = model.companies.at(number);
    rows.push_back({company.colour, std::to_string(number) + " " + DotName(company.name)});
  }
  out << DotLegend("companies", rows);
}

std::string DrawNetwork(const Document& doc, const DotOptions& options) {
  const Model model = ModelOf(doc);
  const std::vector<bool> chosen = Chosen(model, options);
  const bool all = options.only == DotOptions::Only::kAll;
  std::set<std::uint64_t> stations;  // the stations of the chosen routes
  for (std::size_t r = 0; r < model.routes.size(); ++r) {
    if (chosen[r]) stations.insert(model.routes[r].stops.begin(), model.routes[r].stops.end());
  }
  if (all) {
    for (std::uint64_t s = 0; s < model.stations.size(); ++s) stations.insert(s);
  }
  // The other routes' stretches from and to those stations, and the stations at their other ends.
  std::ostringstream paths;
  std::set<std::uint64_t> drawn = stations;
  std::set<std::uint64_t> companies;
  for (std::size_t r = 0; r < model.routes.size(); ++r) {
    const Model::Route& route = model.routes[r];
    const std::string attributes = "color=\"" + model.Colour(route) + "\", tooltip=" + DotQuoted(DotName(route.name));
    if (chosen[r]) {
      if (route.company && model.companies.count(*route.company)) companies.insert(*route.company);
      if (route.stops.empty()) continue;
      paths << "  // route " << r << "\n  ";
      for (std::size_t j = 0; j < route.stops.size(); ++j)
        paths << (j == 0 ? "" : " -- ") << StationId(route.stops[j], model);
      paths << (route.stops.size() > 1 ? " [" + attributes + "]" : "") << ";\n";
      continue;
    }
    bool touches = false;
    for (std::size_t j = 0; j + 1 < route.stops.size(); ++j) {
      const std::uint64_t from = route.stops[j], to = route.stops[j + 1];
      if (!stations.count(from) && !stations.count(to)) continue;
      drawn.insert(from);
      drawn.insert(to);
      touches = true;
      paths << "  " << StationId(from, model) << " -- " << StationId(to, model) << " [" << attributes
            << ", style=dashed, penwidth=1];\n";
    }
    if (touches && route.company && model.companies.count(*route.company)) companies.insert(*route.company);
  }
  std::ostringstream out;
  out << "graph network {\n" << DotNetworkStyle();
  for (std::uint64_t s : drawn) {
    if (s < model.stations.size()) {
      out << "  s" << s << " [label=" << DotQuoted(model.stations[s]) << (all || stations.count(s) ? "" : kDotFaded)
          << "];\n";
    } else {
      out << "  x" << s << " [label=" << DotQuoted("station " + std::to_string(s) + "\n(no such station)")
          << ", color=\"" << kMissing << "\", fontcolor=\"" << kMissing << "\", style=dashed];\n";
    }
  }
  out << paths.str();
  if (all) {
    for (const auto& [number, company] : model.companies) companies.insert(number);
  }
  Legend(out, model, companies);
  out << "}\n";
  return out.str();
}

std::string DrawGraph(const Document& doc, const DotOptions& options) {
  const Model model = ModelOf(doc);
  const std::vector<bool> chosen = Chosen(model, options);
  const bool all = options.only == DotOptions::Only::kAll;
  const std::vector<NodeEntry>& nodes = Items(doc.nodes);
  struct Arc {
    std::optional<std::uint64_t> from;  // none: owned by no node
    std::uint64_t to;
    std::uint64_t value;
  };
  const auto to_arc = [](std::optional<std::uint64_t> from, const EdgeEntry& edge) {
    return Arc{from, std::uint64_t{edge.target.value_or(0)} & intermediate::kEdgeTargetMask, edge.value.value_or(0)};
  };
  std::vector<Arc> arcs;
  std::vector<bool> empty(nodes.size(), true);
  std::vector<bool> picked(nodes.size(), all);  // the nodes of the chosen routes
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const std::vector<EdgeEntry>& edges = Items(nodes[i].edges);
    const std::uint16_t b = nodes[i].route.value_or(0);
    empty[i] = nodes[i].station.value_or(0) == 0 && b == 0 && edges.empty();
    if (!all && nodes[i].route && b < chosen.size() && chosen[b]) picked[i] = true;
    for (const EdgeEntry& edge : edges) arcs.push_back(to_arc(i, edge));
  }
  for (const EdgeEntry& edge : Items(doc.unowned_edges)) arcs.push_back(to_arc(std::nullopt, edge));
  // The arcs drawn: all, or those from or to a node of the chosen routes; the nodes at their ends.
  std::set<std::uint64_t> drawn;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (picked[i] && (!all || !empty[i])) drawn.insert(i);
  }
  std::vector<const Arc*> shown;
  bool unowned = false;
  for (const Arc& arc : arcs) {
    const bool from_picked = arc.from ? picked[*arc.from] : all;
    const bool to_picked = arc.to < picked.size() && picked[arc.to];
    if (!from_picked && !to_picked) continue;
    shown.push_back(&arc);
    if (arc.from) drawn.insert(*arc.from);
    unowned = unowned || !arc.from;
    drawn.insert(arc.to);
  }
  std::set<std::uint64_t> companies;
  std::ostringstream out;
  out << "digraph route_graph {\n"
      << "  graph [rankdir=LR, " << kDotFont << "];\n"
      << "  node [shape=box, style=\"rounded,filled\", fillcolor=white, fontsize=10, " << kDotFont << "];\n"
      << "  edge [fontsize=9, " << kDotFont << "];\n";
  for (std::uint64_t i : drawn) {
    if (i >= nodes.size()) {
      out << "  n" << i << " [label=" << DotQuoted("node " + std::to_string(i) + "\n(no such node)") << ", color=\""
          << kMissing << "\", fontcolor=\"" << kMissing << "\", style=dashed];\n";
      continue;
    }
    const NodeEntry& node = nodes[i];
    const std::uint64_t a = node.station.value_or(0), b = node.route.value_or(0);
    std::string label = "node " + std::to_string(i);
    if (node.role) label += " (" + Escaped(*node.role) + ")";
    label += "\n" + (a < model.stations.size() ? model.stations[a] : "A " + std::to_string(a));
    label += "\n" + (b < model.routes.size() ? DotName(model.routes[b].name) : "B " + std::to_string(b));
    std::string colour = "black";
    if (b < model.routes.size()) {
      colour = model.Colour(model.routes[b]);
      const std::optional<std::uint64_t> company = model.routes[b].company;
      if (company && model.companies.count(*company)) companies.insert(*company);
    }
    out << "  n" << i << " [label=" << DotQuoted(label) << ", color=\"" << colour << "\""
        << (picked[i] ? ", penwidth=2" : ", fontcolor=\"#777777\"") << "];\n";
  }
  if (unowned) {
    out << "  unowned [label=" << DotQuoted("owned by no node\n(edges of nodes 0 and 1)") << ", style=dashed];\n";
  }
  for (const Arc* arc : shown) {
    out << "  " << (arc->from ? "n" + std::to_string(*arc->from) : std::string("unowned")) << " -> n" << arc->to
        << " [label=\"" << arc->value << "\"" << (arc->from ? "" : ", style=dashed") << "];\n";
  }
  Legend(out, model, companies);
  out << "}\n";
  return out.str();
}

}  // namespace

std::string DrawDot(const Document& document, const DotOptions& options) {
  return options.view == DotOptions::View::kGraph ? DrawGraph(document, options) : DrawNetwork(document, options);
}
