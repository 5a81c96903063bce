#include <sstream>

#include "tools/fenwadump/Dump.h"

namespace {

std::size_t Count(const OrderedJson& doc, const char* key) {
  return doc.contains(key) && doc.at(key).is_array() ? doc.at(key).size() : 0;
}

std::string Text(const OrderedJson& value) { return value.is_string() ? value.get<std::string>() : "(unreadable)"; }

std::string Field(const OrderedJson& object, const char* key) {
  return object.contains(key) ? (object.at(key).is_string() ? object.at(key).get<std::string>() : object.at(key).dump())
                              : "?";
}

void RouteList(std::ostringstream& out, const OrderedJson& routes, const OrderedJson& numbers) {
  bool first = true;
  for (const OrderedJson& number : numbers) {
    for (const OrderedJson& route : routes) {
      if (route.value("index", -1) != number.get<int>()) continue;
      out << (first ? "" : ", ") << Text(route.value("name", OrderedJson())) << " (" << Count(route, "stops")
          << " stops)";
      first = false;
    }
  }
}

void Problems(std::ostringstream& out, const Dump& dump) {
  if (dump.problems.empty()) {
    out << "  no problems";
  } else {
    out << "  " << dump.problems.size() << (dump.problems.size() == 1 ? " problem:" : " problems:");
    for (const std::string& problem : dump.problems) out << "\n    " << problem;
  }
  if (!dump.warnings.empty()) out << "; " << dump.warnings.size() << " warnings (see the JSON dump)";
  out << "\n";
}

}  // namespace

std::string Summarize(const Dump& dump) {
  const OrderedJson& doc = dump.document;
  std::ostringstream out;
  if (dump.kind == FileKind::kDatabase) {
    const OrderedJson db = doc.value("database", OrderedJson::object());
    const OrderedJson image = doc.value("image_header", OrderedJson::object());
    out << "database \"" << Field(db, "name") << "\" (type " << Field(db, "type") << ", creator "
        << Field(db, "creator") << "), " << Count(doc, "records") << " records, " << Field(doc, "size")
        << " bytes, image format " << Field(image, "version") << "\n";
    out << "  " << Count(doc, "stations") << " stations, " << Count(doc, "routes") << " routes, "
        << Count(doc, "companies") << " companies, " << Count(doc, "strings") << " strings ("
        << Field(image, "pool_size") << " pool bytes)\n";
    const OrderedJson rsta = doc.value("route_stations", OrderedJson::object());
    out << "  route-station table: " << Field(rsta, "slots_used") << " of " << Field(rsta, "slots")
        << " slots used; nodes: " << Field(image, "file_node_count") << " from the file and "
        << "20"
        << " reserve; edges: " << Field(doc, "edge_count") << "\n";
    if (Count(doc, "companies") > 0) out << "  companies:\n";
    for (const OrderedJson& company : doc.value("companies", OrderedJson::array())) {
      out << "    " << Field(company, "number") << " "
          << (company.value("name", OrderedJson()).is_null() ? std::string("(no company)") : Text(company.at("name")))
          << ": ";
      RouteList(out, doc.value("routes", OrderedJson::array()), company.value("routes", OrderedJson::array()));
      out << "\n";
    }
  } else if (dump.kind == FileKind::kIntermediate) {
    const OrderedJson header = doc.value("header", OrderedJson::object());
    out << "intermediate data file, " << Field(doc, "size") << " bytes\n";
    out << "  " << Count(doc, "stations") << " stations, " << Count(doc, "routes") << " routes, "
        << Count(doc, "strings") << " strings (" << Field(header, "pool_size") << " pool bytes), "
        << Count(doc, "nodes") << " nodes, " << Field(doc, "edge_total") << " edges\n";
    if (Count(doc, "routes") > 0) out << "  routes:\n";
    for (const OrderedJson& route : doc.value("routes", OrderedJson::array())) {
      out << "    " << Field(route, "index") << " " << Text(route.value("name", OrderedJson()));
      if (route.contains("company_name")) out << " [" << Text(route.at("company_name")) << "]";
      out << " (" << Count(route, "stops") << " stops)\n";
    }
  } else {
    out << "neither an intermediate data file nor a fenwaimg.pdb, " << Field(doc, "size") << " bytes\n";
  }
  Problems(out, dump);
  return out.str();
}
