// The picture of a difference between two networks: Graphviz's, of the
// network of both with what changed marked.
#include <map>
#include <set>
#include <sstream>

#include "diff/Diff.h"
#include "text/Terminal.h"
#include "toolkit/DotText.h"

namespace diff {

namespace {

constexpr const char* kAdded = "#2ca02c";
constexpr const char* kRemoved = "#d62728";
constexpr const char* kRenamed = "#9467bd";
constexpr const char* kChanged = "#ff7f0e";
constexpr const char* kSame = "#aaaaaa";
// A network of at most this many stations is drawn whole; a larger one shows
// what changed and the stops next to it.
constexpr std::size_t kWholeNetwork = 150;

// A station or a route in the picture: its label and mark (a colour, or none).
struct Mark {
  std::string label;
  const char* colour = nullptr;
  bool removed = false;
};

class Picture {
 public:
  Picture(const Difference& d, const Document& old_doc, const Document& new_doc, std::string title)
      : d_(d), old_(old_doc), new_(new_doc), title_(std::move(title)) {
    MarkStations();
    MarkRoutes();
  }

  std::string Draw() const {
    std::set<std::string> focus = Focus();
    std::ostringstream paths;
    std::set<std::string> drawn = focus;
    for (const auto& [id, route] : routes_) DrawRoute(paths, route, focus, drawn);
    std::ostringstream out;
    out << "graph difference {\n" << DotNetworkStyle();
    for (const std::string& id : drawn) DrawStation(out, id, focus.count(id) > 0);
    out << paths.str();
    Legend(out);
    out << "}\n";
    return out.str();
  }

 private:
  struct Route {
    Mark mark;
    std::vector<std::string> stops;       // station ids
    std::vector<std::string> lost_stops;  // a changed route: its old stops, for the stretches it lost
  };

  // A name as a label, cut to a length Graphviz reads and a picture shows.
  static std::string Label(const Maybe<std::string>& name, std::uint32_t number, const char* what) {
    return name ? DotName(Escaped(*name)) : std::string(what) + " " + std::to_string(number);
  }
  static std::string RouteLabel(const RouteEntry& route, std::uint32_t number) {
    return Label(route.name ? *route.name : std::nullopt, number, "route");
  }

  // The id a station of either side has in the picture: new stations by their
  // new number, removed ones by their old.
  std::string StationId(bool old, std::uint32_t s) const {
    if (!old) return "n" + std::to_string(s);
    if (s < d_.station_partner.size() && d_.station_partner[s]) return "n" + std::to_string(*d_.station_partner[s]);
    return "o" + std::to_string(s);
  }

  void MarkStations() {
    const std::vector<StationEntry>&a = Items(old_.stations), &b = Items(new_.stations);
    for (std::uint32_t s = 0; s < b.size(); ++s)
      stations_["n" + std::to_string(s)].label = Label(b[s].name, s, "station");
    for (std::uint32_t s = 0; s < a.size(); ++s) {
      if (s < d_.station_partner.size() && d_.station_partner[s]) continue;
      stations_["o" + std::to_string(s)] = {Label(a[s].name, s, "station"), kRemoved, true};
    }
    for (const ItemChange& item : d_.stations) {
      if (!item.new_item) continue;
      Mark& mark = stations_["n" + std::to_string(item.new_item->number)];
      if (item.change == Change::kAdded) mark.colour = kAdded;
      if (item.change == Change::kRenamed) {
        mark.colour = kRenamed;
        mark.label = Label(item.old_item->name, item.old_item->number, "station") + " → " + mark.label;
      }
      if (!mark.colour) mark.colour = kChanged;
    }
  }

  void MarkRoutes() {
    const std::vector<RouteEntry>&a = Items(old_.routes), &b = Items(new_.routes);
    for (std::uint32_t r = 0; r < b.size(); ++r) {
      Route& route = routes_["n" + std::to_string(r)];
      route.mark.label = RouteLabel(b[r], r);
      for (const StopEntry& stop : Items(b[r].stops)) route.stops.push_back(StationId(false, StopStation(stop)));
    }
    std::map<std::uint32_t, std::uint32_t> old_of;  // new route -> old route
    for (std::uint32_t r = 0; r < a.size(); ++r) {
      if (r < d_.route_partner.size() && d_.route_partner[r]) {
        old_of[*d_.route_partner[r]] = r;
        continue;
      }
      Route& route = routes_["o" + std::to_string(r)];
      route.mark = {RouteLabel(a[r], r), kRemoved, true};
      for (const StopEntry& stop : Items(a[r].stops)) route.stops.push_back(StationId(true, StopStation(stop)));
    }
    for (const ItemChange& item : d_.routes) MarkRoute(item, old_of);
    for (const StopChange& stop : d_.stops) ChangeRoute(stop.route.number, old_of);
    for (const CompanyChange& change : d_.companies)
      if (change.change == Change::kMoved) ChangeRoute(change.routes.at(0).number, old_of);
  }

  static std::uint32_t StopStation(const StopEntry& stop) {
    return stop.station && stop.station->number ? *stop.station->number : 0;
  }

  void MarkRoute(const ItemChange& item, const std::map<std::uint32_t, std::uint32_t>& old_of) {
    if (!item.new_item) return;
    Route& route = routes_["n" + std::to_string(item.new_item->number)];
    if (item.change == Change::kAdded) route.mark.colour = kAdded;
    if (item.change == Change::kRenamed) {
      route.mark.colour = kRenamed;
      route.mark.label =
          RouteLabel(Items(old_.routes)[item.old_item->number], item.old_item->number) + " → " + route.mark.label;
    }
    if (!route.mark.colour) ChangeRoute(item.new_item->number, old_of);
  }

  void ChangeRoute(std::uint32_t r, const std::map<std::uint32_t, std::uint32_t>& old_of) {
    Route& route = routes_["n" + std::to_string(r)];
    if (!route.mark.colour || route.mark.colour == kRenamed) route.mark.colour = kChanged;
    const auto found = old_of.find(r);
    if (found == old_of.end() || !route.lost_stops.empty()) return;
    for (const StopEntry& stop : Items(Items(old_.routes)[found->second].stops))
      route.lost_stops.push_back(StationId(true, StopStation(stop)));
  }

  // The stations drawn in full: all of a small network, else those marked and the stops of marked routes.
  std::set<std::string> Focus() const {
    std::set<std::string> focus;
    const bool whole = stations_.size() <= kWholeNetwork;
    for (const auto& [id, mark] : stations_)
      if (whole || mark.colour) focus.insert(id);
    for (const auto& [id, route] : routes_) {
      if (!route.mark.colour) continue;
      focus.insert(route.stops.begin(), route.stops.end());
      focus.insert(route.lost_stops.begin(), route.lost_stops.end());
    }
    return focus;
  }

  static std::set<std::pair<std::string, std::string>> Stretches(const std::vector<std::string>& stops) {
    std::set<std::pair<std::string, std::string>> stretches;
    for (std::size_t j = 0; j + 1 < stops.size(); ++j) {
      stretches.emplace(stops[j], stops[j + 1]);
      stretches.emplace(stops[j + 1], stops[j]);
    }
    return stretches;
  }

  void DrawRoute(std::ostringstream& out, const Route& route, const std::set<std::string>& focus,
                 std::set<std::string>& drawn) const {
    const std::string colour = route.mark.colour ? route.mark.colour : kSame;
    const std::string style = route.mark.removed ? ", style=dashed" : route.mark.colour ? "" : ", penwidth=2";
    const std::string tooltip = ", tooltip=" + DotQuoted(route.mark.label);
    // A marked route's name stands at its first stretch.
    std::string label = route.mark.colour
                            ? ", label=" + DotQuoted(route.mark.label) + ", fontcolor=\"" + colour + "\", fontsize=9"
                            : "";
    for (std::size_t j = 0; j + 1 < route.stops.size(); ++j) {
      const std::string &from = route.stops[j], &to = route.stops[j + 1];
      if (!route.mark.colour && !focus.count(from) && !focus.count(to)) continue;
      drawn.insert(from);
      drawn.insert(to);
      out << "  " << from << " -- " << to << " [color=\"" << colour << "\"" << style << tooltip << label << "];\n";
      label.clear();
    }
    if (route.stops.size() == 1 && route.mark.colour) drawn.insert(route.stops[0]);
    const auto kept = Stretches(route.stops);
    for (std::size_t j = 0; j + 1 < route.lost_stops.size(); ++j) {
      const std::string &from = route.lost_stops[j], &to = route.lost_stops[j + 1];
      if (kept.count({from, to})) continue;
      drawn.insert(from);
      drawn.insert(to);
      out << "  " << from << " -- " << to << " [color=\"" << kRemoved << "\", style=dashed, penwidth=2" << tooltip
          << "];\n";
    }
  }

  void DrawStation(std::ostringstream& out, const std::string& id, bool in_focus) const {
    const auto found = stations_.find(id);
    if (found == stations_.end()) {
      out << "  " << id << " [label=" << DotQuoted("station " + id.substr(1) + " (no such station)") << ", color=\""
          << kRemoved << "\", style=dashed];\n";
      return;
    }
    const Mark& mark = found->second;
    out << "  " << id << " [label=" << DotQuoted(mark.label);
    if (mark.colour) out << ", color=\"" << mark.colour << "\", fontcolor=\"" << mark.colour << "\", penwidth=2";
    if (mark.removed) out << ", style=\"dashed,filled\"";
    if (!mark.colour && !in_focus) out << kDotFaded;
    out << "];\n";
  }

  void Legend(std::ostringstream& out) const {
    out << DotLegend(title_, {{kAdded, "added"},
                              {kRemoved, "removed"},
                              {kRenamed, "renamed (old → new)"},
                              {kChanged, "changed: words, stops or company"},
                              {kSame, "the same"}});
  }

  const Difference& d_;
  const Document &old_, &new_;
  std::string title_;
  std::map<std::string, Mark> stations_;
  std::map<std::string, Route> routes_;
};

}  // namespace

std::string DiffDot(const Difference& difference, const ComparedFile& old_file, const ComparedFile& new_file) {
  const auto name = [](const ComparedFile& file) { return DotName(Escaped(file.name)); };
  return Picture(difference, old_file.dump, new_file.dump, name(old_file) + " → " + name(new_file)).Draw();
}

}  // namespace diff
