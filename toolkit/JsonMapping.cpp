#include "toolkit/JsonMapping.h"

#include <algorithm>
#include <cstdint>

#include "text/Json.h"
#include "text/Terminal.h"
#include "toolkit/Records.h"

using namespace records;

namespace {

// Whole documents. The document has no `at` of its own to speak of.
constexpr const char* KindName(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kIntermediate: return "intermediate";
    case DocumentKind::kDatabase: return "database";
    case DocumentKind::kUnknown: return "unknown";
    case DocumentKind::kDescription: break;
  }
  return "description";
}
// The kinds of dump fenwamake makes a file of (a description has no kind).
constexpr DocumentKind kKindsMade[] = {DocumentKind::kDatabase, DocumentKind::kIntermediate};

// The documents of a kind, as the fields' tables name them.
constexpr unsigned DocumentsOf(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kIntermediate: return kInIntermediateDump;
    case DocumentKind::kDatabase: return kInImageDump;
    case DocumentKind::kUnknown: return kInUnknownDump;
    case DocumentKind::kDescription: break;
  }
  return kInDescription;
}

constexpr unsigned kInAnyDump = kInDumps | kInUnknownDump;

// A dump's kind, written from the document's; the kind was read before the rest (KindOf).
constexpr Rule<Document> kKind = {
    "kind",
    kDerived,
    kInAnyDump,
    false,
    [](const Document& document) { return document.kind != DocumentKind::kDescription; },
    [](JsonWriter& out, const Document& document) { out.String(KindName(document.kind)); },
    [](Input& in, Document&) { Utf8Value::Read(in); },
    {nullptr, nullptr},
    [](const Document&) { return FieldValue{}; }};

// Every document's fields: a dump's of either file or of a file of no kind, and a description's.
constexpr Rule<Document> kDocument[] = {
    kKind,
    Field<CountValue, &Document::size>("size", kDerived).In(kInAnyDump),
    Field<ObjectValue<HeaderEntry, kHeader>, &Document::header>("header", kReadBack).In(kInIntermediateDump),
    Field<CountValue, &Document::node_section_end>("node_section_end", kDerived).In(kInIntermediateDump),
    Field<CountValue, &Document::edge_total>("edge_total", kDerived).In(kInIntermediateDump),
    Field<ObjectValue<DatabaseEntry, kDatabase>, &Document::database>("database", kDerived).In(kInImageDump),
    Field<ObjectListValue<RecordEntry, kRecord, &kRecordTable>, &Document::records>("records", kDerived)
        .In(kInImageDump),
    Field<ObjectValue<ImageHeaderEntry, kImageHeader>, &Document::image_header>("image_header", kDerived)
        .In(kInImageDump),
    Field<ListValue<PooledValue<false>, &kStringTable>, &Document::extra_strings>("strings", kByHand)
        .In(kInDescription),
    Field<ObjectListValue<StationEntry, kStation, &kStationTable>, &Document::stations>("stations", kReadBack)
        .In(kInDumps),
    Field<ObjectListValue<StationEntry, kStation, &kStationTable>, &Document::stations>("stations", kByHand)
        .In(kInDescription),
    Field<ObjectValue<RouteStationsEntry, kRouteStations>, &Document::route_stations>("route_stations", kDerived)
        .In(kInImageDump),
    Field<ObjectListValue<RouteEntry, kRoute, &kRouteTable>, &Document::routes>("routes", kReadBack).In(kInDumps),
    Field<ObjectListValue<RouteEntry, kRoute, &kRouteTable>, &Document::routes>("routes", kByHand).In(kInDescription),
    Field<ObjectListValue<CompanyEntry, kCompany, &kCompanyTable>, &Document::companies>("companies", kDerived)
        .In(kInDumps),
    Field<ObjectListValue<StringEntry, kString, &kStringTable>, &Document::strings>("strings", kReadBack).In(kInDumps),
    Field<PoolValue<HexValue>, &Document::string_pool>("string_pool", kReadBack).In(kInDumps),
    Field<ObjectListValue<NodeEntry, kNode, &kNodeTable>, &Document::nodes>("nodes", kReadBack).In(kInDumps),
    Field<ObjectListValue<NodeEntry, kNode, &kNodeTable>, &Document::nodes>("nodes", kByHand).In(kInDescription),
    Field<ObjectListValue<EdgeEntry, kUnownedEdge, &kEdgeTable>, &Document::unowned_edges>("unowned_edges", kReadBack)
        .In(kInImageDump),
    Field<CountValue, &Document::edge_count>("edge_count", kDerived).In(kInImageDump),
    Field<ListValue<Utf8Value, &kProblemTable>, &Document::problems>("problems", kDerived).In(kInAnyDump),
    Field<ListValue<Utf8Value, &kWarningTable>, &Document::warnings>("warnings", kDerived).In(kInAnyDump),
    Field<ObjectValue<HeaderEntry, kHeader>, &Document::header>("header", kByHand).In(kInDescription),
    Field<Utf8Value, &Document::section_order>("section_order", kByHand).In(kInDescription),
    Field<ListValue<WordValue, &kStringIndexTable>, &Document::raw_string_index>("raw_string_index", kByHand)
        .In(kInDescription),
    Field<PoolValue<ShiftJisValue>, &Document::raw_pool>("raw_pool", kByHand).In(kInDescription),
};

// The kind a document says it is, from its "kind" (usually its first member).
DocumentKind KindOf(Input& in) {
  if (in.json.Peek() != JsonReader::Type::kObject) in.Fail("must be a JSON object");
  in.json.BeginObject();
  std::string key;
  while (in.json.NextKey(key)) {
    if (key != "kind") {
      in.json.Skip();
      continue;
    }
    in.path.push_back("kind");
    const std::size_t at = in.json.Offset();
    const std::string kind = Utf8Value::Read(in);
    for (DocumentKind dump : {DocumentKind::kIntermediate, DocumentKind::kDatabase, DocumentKind::kUnknown}) {
      if (kind == KindName(dump)) return dump;
    }
    in.Fail(at, KindRefusal());
  }
  return DocumentKind::kDescription;
}

template <typename Record, std::size_t N>
FieldListing Listing(const std::string& record, const Rule<Record> (&rules)[N], unsigned documents) {
  FieldListing listing{record, {}};
  for (const Rule<Record>& rule : rules) {
    if ((rule.documents & documents) != 0) listing.fields.emplace_back(rule.key, rule.role);
  }
  return listing;
}

}  // namespace

std::string NoShiftJisForm(const std::string& utf8) {
  return Quoted(utf8) + " has a character that Shift_JIS cannot hold";
}

std::string FieldPath(const std::vector<std::string>& segments) {
  std::string path;
  for (const std::string& segment : segments) {
    if (!path.empty() && segment[0] != '[') path += '.';
    path += segment;
  }
  return path;
}

namespace {

// A refusal of the JSON itself, at the field `in` was reading.
[[noreturn]] void Refuse(const Input& in, const JsonError& error) {
  throw ToolError(in.json.PositionOf(error.Offset()), FieldPath(in.path),
                  std::string("not valid JSON: ") + error.what());
}

// The kind `in` says it is; a text that is not JSON before any "kind" is read
// as a description, which meets the same fault and names its field.
DocumentKind KindOfText(Input in) {
  try {
    return KindOf(in);
  } catch (const JsonError&) {
    return DocumentKind::kDescription;
  }
}

// Reads the document `in` holds, of the kind it says it is.
Document Read(DocumentKind kind, Input& in) {
  Document document;
  document.kind = kind;
  try {
    in.documents = DocumentsOf(kind);
    ReadObject(in, document, kDocument);
    in.json.Finish();
  } catch (const JsonError& error) {
    Refuse(in, error);
  }
  return document;
}

}  // namespace

bool KindIsMade(DocumentKind kind) {
  return kind == DocumentKind::kDescription ||
         std::find(std::begin(kKindsMade), std::end(kKindsMade), kind) != std::end(kKindsMade);
}

std::string KindRefusal() {
  std::string text = "must be";
  for (std::size_t i = 0; i < std::size(kKindsMade); ++i) {
    text += i == 0 ? " \"" : i + 1 < std::size(kKindsMade) ? ", \"" : " or \"";
    text += KindName(kKindsMade[i]) + std::string("\"");
  }
  return text + ": fenwamake reads fenwadump's dump of a file it could read";
}

std::string DescribeRefusal(const ToolError& error) {
  std::string text;
  if (error.At())
    text = "line " + std::to_string(error.At()->line) + ", column " + std::to_string(error.At()->column) + ": ";
  return text + (error.Path().empty() ? "" : error.Path() + ": ") + error.what();
}

Document ReadDocument(std::string_view text) {
  const DocumentKind kind = KindOfText(Input(text));
  Input in(text);
  return Read(kind, in);
}

Document ReadDocument(const std::function<JsonPieces()>& open) {
  const DocumentKind kind = KindOfText(Input(open()));  // its buffer is gone before the document is read
  Input in(open());
  return Read(kind, in);
}

std::string WriteDocument(const Document& document, const std::function<void(std::string&)>& drain) {
  std::string text;
  JsonWriter out(text, drain);
  WriteObject(out, document, kDocument);
  text += '\n';
  return text;
}

std::vector<FieldListing> ListFields() {
  const unsigned hand = kInDescription, file = kInIntermediateDump, image = kInImageDump;
  return {Listing("description", kDocument, hand),
          Listing("description station", kStation, hand),
          Listing("description route", kRoute, hand),
          Listing("description stop", kStop, hand),
          Listing("description node", kNode, hand),
          Listing("description edge", kEdge, hand),
          Listing("description header", kHeader, hand),
          Listing("intermediate", kDocument, file),
          Listing("intermediate header", kHeader, file),
          Listing("intermediate station", kStation, file),
          Listing("intermediate route", kRoute, file),
          Listing("intermediate stop", kStop, file),
          Listing("intermediate company", kCompany, file),
          Listing("intermediate string", kString, file),
          Listing("intermediate node", kNode, file),
          Listing("intermediate edge", kEdge, file),
          Listing("database", kDocument, image),
          Listing("database database", kDatabase, image),
          Listing("database record", kRecord, image),
          Listing("database image_header", kImageHeader, image),
          Listing("database station", kStation, image),
          Listing("database route_stations", kRouteStations, image),
          Listing("database route", kRoute, image),
          Listing("database stop", kStop, image),
          Listing("database company", kCompany, image),
          Listing("database string", kString, image),
          Listing("database node", kNode, image),
          Listing("database edge", kEdge, image),
          Listing("database unowned edge", kUnownedEdge, image),
          Listing("unknown", kDocument, kInUnknownDump)};
}
