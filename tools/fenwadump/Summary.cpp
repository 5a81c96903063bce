// The summary: a screenful at most, whatever the file. Problems come first;
// long lists are cut, with a count of what was left out.
#include <sstream>

#include "tools/fenwadump/Dump.h"

namespace {

constexpr std::size_t kColumns = 80;
constexpr std::size_t kShownProblems = 5;
constexpr std::size_t kShownCompanies = 10;

std::size_t Count(const OrderedJson& doc, const char* key) {
  return doc.contains(key) && doc.at(key).is_array() ? doc.at(key).size() : 0;
}

std::string Text(const OrderedJson& value) { return value.is_string() ? value.get<std::string>() : "(unreadable)"; }

std::string Field(const OrderedJson& object, const char* key) {
  return object.contains(key) ? (object.at(key).is_string() ? object.at(key).get<std::string>() : object.at(key).dump())
                              : "?";
}

// The length of the UTF-8 sequence that starts with `lead`.
std::size_t SequenceLength(unsigned char lead) { return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// The columns a character takes on a terminal: two for the wide East Asian ones.
std::size_t Columns(const std::string& utf8, std::size_t at, std::size_t length) {
  if (length < 3) return 1;
  std::uint32_t code = static_cast<unsigned char>(utf8[at]) & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length && at + k < utf8.size(); ++k)
    code = code << 6 | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
  const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                    (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                    (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                    (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
  return wide ? 2 : 1;
}

std::size_t Width(const std::string& utf8) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(utf8[i]));
    width += Columns(utf8, i, length);
    i += length;
  }
  return width;
}

// The line, cut to the screen's width with "…" where it was cut.
std::string Clip(const std::string& line) {
  if (Width(line) <= kColumns) return line;
  std::string clipped;
  std::size_t width = 0;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(line[i]));
    const std::size_t columns = Columns(line, i, length);
    if (width + columns > kColumns - 1) break;
    clipped += line.substr(i, length);
    width += columns;
    i += length;
  }
  return clipped + "…";
}

std::string More(std::size_t count, const std::string& what) {
  return "… and " + std::to_string(count) + " more" + (what.empty() ? "" : " " + what);
}

void Problems(std::ostringstream& out, const Dump& dump) {
  const std::size_t count = dump.problems.size();
  std::string head = count == 0   ? "  no problems"
                     : count == 1 ? "  1 problem"
                                  : "  " + std::to_string(count) + " problems";
  if (!dump.warnings.empty()) head += "; " + std::to_string(dump.warnings.size()) + " warnings (see the JSON dump)";
  out << Clip(head + (count > 0 ? ":" : "")) << "\n";
  for (std::size_t i = 0; i < count && i < kShownProblems; ++i) out << Clip("    " + dump.problems[i]) << "\n";
  if (count > kShownProblems) out << "    " << More(count - kShownProblems, "problems") << "\n";
}

// One line a company: its number, its name and as many of its routes as fit.
void Companies(std::ostringstream& out, const OrderedJson& doc) {
  const OrderedJson companies = doc.value("companies", OrderedJson::array());
  const OrderedJson routes = doc.value("routes", OrderedJson::array());
  if (companies.empty()) return;
  out << "  companies:\n";
  for (std::size_t c = 0; c < companies.size() && c < kShownCompanies; ++c) {
    const OrderedJson& company = companies[c];
    const OrderedJson name = company.value("name", OrderedJson());
    std::string line = "    " + Field(company, "number") + " " + (name.is_null() ? "(no company)" : Text(name)) + ":";
    const OrderedJson numbers = company.value("routes", OrderedJson::array());
    for (std::size_t k = 0; k < numbers.size(); ++k) {
      const auto r = numbers[k].is_number_unsigned() ? numbers[k].get<std::size_t>() : routes.size();
      const OrderedJson route = r < routes.size() ? routes[r] : OrderedJson::object();
      const std::string item = std::string(k == 0 ? " " : ", ") + Text(route.value("name", OrderedJson())) + " (" +
                               std::to_string(Count(route, "stops")) + " stops)";
      const std::size_t left = numbers.size() - k - 1;
      if (k > 0 && Width(line + item + (left > 0 ? ", " + More(left, "") : "")) > kColumns) {
        line += ", " + More(numbers.size() - k, "");
        break;
      }
      line += item;
    }
    out << Clip(line) << "\n";
  }
  if (companies.size() > kShownCompanies)
    out << "    " << More(companies.size() - kShownCompanies, "companies") << "\n";
}

}  // namespace

std::string Summarize(const Dump& dump) {
  const OrderedJson& doc = dump.document;
  std::ostringstream out;
  if (dump.kind == FileKind::kDatabase) {
    const OrderedJson db = doc.value("database", OrderedJson::object());
    const OrderedJson image = doc.value("image_header", OrderedJson::object());
    out << Clip("database \"" + Field(db, "name") + "\", type " + Field(db, "type") + ", creator " +
                Field(db, "creator") + ", image format " + Field(image, "version"))
        << "\n";
    Problems(out, dump);
    out << Clip("  " + Field(doc, "size") + " bytes in " + std::to_string(Count(doc, "records")) + " records; " +
                std::to_string(Count(doc, "stations")) + " stations, " + std::to_string(Count(doc, "routes")) +
                " routes, " + std::to_string(Count(doc, "companies")) + " companies")
        << "\n";
    const OrderedJson rsta = doc.value("route_stations", OrderedJson::object());
    out << Clip("  " + std::to_string(Count(doc, "strings")) + " strings (" + Field(image, "pool_size") +
                " pool bytes); " + Field(image, "file_node_count") + " nodes and 20 reserve; " +
                Field(doc, "edge_count") + " edges")
        << "\n";
    out << Clip("  route-station table: " + Field(rsta, "slots_used") + " of " + Field(rsta, "slots") + " slots used")
        << "\n";
  } else if (dump.kind == FileKind::kIntermediate) {
    const OrderedJson header = doc.value("header", OrderedJson::object());
    out << "intermediate data file, " << Field(doc, "size") << " bytes\n";
    Problems(out, dump);
    out << Clip("  " + std::to_string(Count(doc, "stations")) + " stations, " + std::to_string(Count(doc, "routes")) +
                " routes, " + std::to_string(Count(doc, "companies")) + " companies, " +
                std::to_string(Count(doc, "nodes")) + " nodes, " + Field(doc, "edge_total") + " edges")
        << "\n";
    out << Clip("  " + std::to_string(Count(doc, "strings")) + " strings (" + Field(header, "pool_size") +
                " pool bytes); route-station capacity " + Field(header, "effective_rstat_capacity") + " entries")
        << "\n";
  } else {
    out << "neither an intermediate data file nor a fenwaimg.pdb, " << Field(doc, "size") << " bytes\n";
    Problems(out, dump);
  }
  Companies(out, doc);
  return out.str();
}
