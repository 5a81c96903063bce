// The summary: a screenful at most, whatever the file. Problems come first;
// long lists are cut, with a count of what was left out.
#include <sstream>

#include "text/Terminal.h"
#include "toolkit/Views.h"

namespace {

constexpr std::size_t kColumns = 80;
constexpr std::size_t kShownProblems = 5;
constexpr std::size_t kShownCompanies = 10;

template <typename T>
std::size_t Count(const Maybe<std::vector<T>>& list) {
  return list ? list->size() : 0;
}

template <typename T>
std::string Show(const Maybe<T>& value) {
  if (!value) return "?";
  if constexpr (std::is_same_v<T, std::string>) {
    return Escaped(*value);
  } else {
    return std::to_string(*value);
  }
}

std::string Clip(const std::string& line) { return ClipToWidth(line, kColumns); }

std::string More(std::size_t count, const std::string& what) {
  return "… and " + std::to_string(count) + " more" + (what.empty() ? "" : " " + what);
}

void Problems(std::ostringstream& out, const Document& doc) {
  const std::size_t count = FoundCount(doc.problems, doc.problems_not_listed);
  const std::size_t warnings = FoundCount(doc.warnings, doc.warnings_not_listed);
  std::string head = count == 0   ? "  no problems"
                     : count == 1 ? "  1 problem"
                                  : "  " + std::to_string(count) + " problems";
  if (warnings > 0) head += "; " + std::to_string(warnings) + " warnings (see the JSON dump)";
  out << Clip(head + (count > 0 ? ":" : "")) << "\n";
  for (std::size_t i = 0; i < Count(doc.problems) && i < kShownProblems; ++i)
    out << Clip("    " + Escaped((*doc.problems)[i])) << "\n";
  if (count > kShownProblems) out << "    " << More(count - kShownProblems, "problems") << "\n";
}

std::string RouteName(const RouteEntry& route) {
  return route.name && *route.name ? Escaped(**route.name) : "(unreadable)";
}

// One line a company: its number, its name and as many of its routes as fit.
void Companies(std::ostringstream& out, const Document& doc) {
  if (Count(doc.companies) == 0) return;
  const std::vector<RouteEntry>& routes = Items(doc.routes);
  static const RouteEntry kNoRoute;
  out << "  companies:\n";
  for (std::size_t c = 0; c < doc.companies->size() && c < kShownCompanies; ++c) {
    const CompanyEntry& company = (*doc.companies)[c];
    const bool named = company.name && *company.name;
    std::string line = "    " + Show(company.number) + " " + (named ? Escaped(**company.name) : "(no company)") + ":";
    const std::vector<std::uint64_t>& numbers = Items(company.routes);
    for (std::size_t k = 0; k < numbers.size(); ++k) {
      const RouteEntry& route = numbers[k] < routes.size() ? routes[numbers[k]] : kNoRoute;
      const std::string item =
          std::string(k == 0 ? " " : ", ") + RouteName(route) + " (" + std::to_string(Count(route.stops)) + " stops)";
      const std::size_t left = numbers.size() - k - 1;
      if (k > 0 && DisplayWidth(line + item + (left > 0 ? ", " + More(left, "") : "")) > kColumns) {
        line += ", " + More(numbers.size() - k, "");
        break;
      }
      line += item;
    }
    out << Clip(line) << "\n";
  }
  if (doc.companies->size() > kShownCompanies)
    out << "    " << More(doc.companies->size() - kShownCompanies, "companies") << "\n";
}

void DescribeImage(std::ostringstream& out, const Document& doc) {
  const DatabaseEntry db = doc.database.value_or(DatabaseEntry());
  const ImageHeaderEntry image = doc.image_header.value_or(ImageHeaderEntry());
  out << Clip("database \"" + Show(db.name) + "\", type " + Show(db.type) + ", creator " + Show(db.creator) +
              ", image format " + Show(image.version))
      << "\n";
  Problems(out, doc);
  out << Clip("  " + Show(doc.size) + " bytes in " + std::to_string(Count(doc.records)) + " records; " +
              std::to_string(Count(doc.stations)) + " stations, " + std::to_string(Count(doc.routes)) + " routes, " +
              std::to_string(Count(doc.companies)) + " companies")
      << "\n";
  const RouteStationsEntry rsta = doc.route_stations.value_or(RouteStationsEntry());
  out << Clip("  " + std::to_string(Count(doc.strings)) + " strings (" + Show(image.pool_size) + " pool bytes); " +
              Show(image.file_node_count) + " nodes and 20 reserve; " + Show(doc.edge_count) + " edges")
      << "\n";
  out << Clip("  route-station table: " + Show(rsta.slots_used) + " of " + Show(rsta.slots) + " slots used") << "\n";
}

void DescribeIntermediate(std::ostringstream& out, const Document& doc) {
  const HeaderEntry header = doc.header.value_or(HeaderEntry());
  out << "intermediate data file, " << Show(doc.size) << " bytes\n";
  Problems(out, doc);
  out << Clip("  " + std::to_string(Count(doc.stations)) + " stations, " + std::to_string(Count(doc.routes)) +
              " routes, " + std::to_string(Count(doc.companies)) + " companies, " + std::to_string(Count(doc.nodes)) +
              " nodes, " + Show(doc.edge_total) + " edges")
      << "\n";
  out << Clip("  " + std::to_string(Count(doc.strings)) + " strings (" + Show(header.pool_size) +
              " pool bytes); route-station capacity " + Show(header.effective_rstat_capacity) + " entries")
      << "\n";
}

}  // namespace

std::string Summarize(const Document& doc) {
  std::ostringstream out;
  if (doc.kind == DocumentKind::kDatabase) {
    DescribeImage(out, doc);
  } else if (doc.kind == DocumentKind::kIntermediate) {
    DescribeIntermediate(out, doc);
  } else {
    out << "neither an intermediate data file nor a fenwaimg.pdb, " << Show(doc.size) << " bytes\n";
    Problems(out, doc);
  }
  Companies(out, doc);
  return out.str();
}
