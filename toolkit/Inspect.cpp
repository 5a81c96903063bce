#include "toolkit/Inspect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>

#include "base/ByteWriter.h"
#include "base/Fatal.h"
#include "driver/Convert.h"
#include "network/Companies.h"
#include "toolkit/IntermediateReader.h"
#include "network/Loader.h"
#include "toolkit/ImageReader.h"
#include "text/ShiftJis.h"
#include "text/Terminal.h"

namespace {

// The most bytes of text a dump shows of a file of `size` bytes. Strings may
// overlap in the pool, and a name is shown for every station and route that
// names it, so that a file of a few hundred kilobytes could otherwise make a
// dump of gigabytes: a dump shows a file in proportion to its size. The
// texts of the largest file the converter takes, its strings overlapping as
// much as they do in the most crowded networks, come to six and a half times
// its size.
std::uint64_t TextBudget(std::uint64_t size) { return 8 * std::min<std::uint64_t>(size, 1u << 20) + (64u << 10); }

// How many strings outside the pool, or without a NUL, the warnings name.
constexpr std::size_t kNamedStrings = 10;

// The string table of either file: an index of offsets into a pool.
class Strings {
 public:
  Strings(const std::vector<std::uint16_t>& index, const std::string& pool, std::uint64_t size)
      : index_(index), pool_(pool), end_(pool.size() + 1, pool.size()), limit_(TextBudget(size)), budget_(limit_) {
    for (std::size_t at = pool.size(); at-- > 0;) end_[at] = pool[at] == '\0' ? at : end_[at + 1];
  }
  bool Valid(std::size_t i) const { return i < index_.size() && index_[i] < pool_.size(); }
  bool Terminated(std::size_t i) const { return Valid(i) && end_[index_[i]] < pool_.size(); }
  // String i's bytes up to its NUL or the end of the pool, at most `most` of
  // them; none when it starts outside the pool or the texts shown so far have
  // spent the budget.
  std::optional<std::string> At(std::size_t i, std::size_t most = std::string::npos) {
    if (!Valid(i)) return std::nullopt;
    const std::size_t length = std::min<std::size_t>(end_[index_[i]] - index_[i], most);
    if (length > budget_) {
      spent_ = true;
      return std::nullopt;
    }
    budget_ -= length;
    return pool_.substr(index_[i], length);
  }

  // The entries of the table. A string that starts outside the pool or runs
  // to its end is a warning: the first few of each are named, the rest
  // counted, as a string costs the file two bytes.
  std::vector<StringEntry> Entries(Findings& findings) {
    std::vector<StringEntry> entries;
    entries.reserve(index_.size());
    std::size_t outside = 0, unterminated = 0;
    for (std::size_t i = 0; i < index_.size(); ++i) {
      StringEntry& entry = entries.emplace_back();
      entry.index = i;
      entry.offset = index_[i];
      if (!Valid(i) && outside++ < kNamedStrings)
        findings.Warning("string " + std::to_string(i) + " starts at offset " + std::to_string(index_[i]) +
                         ", outside the " + std::to_string(pool_.size()) + "-byte pool");
      SetText(At(i), entry.text, entry.text_bytes);
      if (!entry.text) entry.text.emplace(std::nullopt);
      if (Valid(i) && !Terminated(i)) {
        entry.terminated = false;
        if (unterminated++ < kNamedStrings)
          findings.Warning("string " + std::to_string(i) + " runs to the end of the pool without a NUL");
      }
    }
    if (outside > kNamedStrings)
      findings.Warning("… and " + std::to_string(outside - kNamedStrings) + " more strings start outside the pool");
    if (unterminated > kNamedStrings)
      findings.Warning("… and " + std::to_string(unterminated - kNamedStrings) +
                       " more strings run to the end of the pool without a NUL");
    return entries;
  }

  // Once every text is shown: whether some were left out.
  void ReportLeftOut(Findings& findings) const {
    if (spent_)
      findings.Problem("the names and strings overlap so much in the pool that their texts come to more than the " +
                       std::to_string(limit_) + " bytes shown of a file this size; those beyond are left out");
  }

  // Shift_JIS bytes as a text, and the raw bytes as well when the text does
  // not give them back (some do not decode, or a character has another code
  // too and encodes to that one); none leaves the text absent.
  template <typename Text>
  static void SetText(const std::optional<std::string>& bytes, Text& text, Maybe<std::string>& raw) {
    if (!bytes) return;
    DecodedText decoded = ShiftJisToUtf8(*bytes);
    text = std::move(decoded.utf8);
    if (!decoded.round_trips) raw = *bytes;
  }

 private:
  const std::vector<std::uint16_t>& index_;
  const std::string& pool_;
  std::vector<std::size_t> end_;  // for each offset in the pool: where the string that starts there ends
  std::uint64_t limit_;
  std::uint64_t budget_;  // what is left of the limit
  bool spent_ = false;
};

// The companies by number, each with its name (null for the group of routes
// that name none) and its routes.
std::vector<CompanyEntry> CompanyList(const std::vector<Route>& routes, const std::vector<std::uint16_t>& numbers,
                                      Strings& strings) {
  std::map<std::uint16_t, CompanyEntry> companies;
  for (std::size_t r = 1; r < numbers.size(); ++r) {
    if (numbers[r] == kNoIndex) continue;
    CompanyEntry& company = companies[numbers[r]];
    if (!company.number) {
      company.number = numbers[r];
      if (routes[r].company_length == 0) {
        company.name.emplace(std::nullopt);
      } else {
        const std::optional<std::string> name =
            strings.Valid(routes[r].name) ? strings.At(routes[r].name, routes[r].company_length) : "";
        Strings::SetText(name, company.name, company.name_bytes);
      }
      company.routes.emplace();
    }
    company.routes->push_back(r);
  }
  std::vector<CompanyEntry> list;
  for (auto& [number, company] : companies) list.push_back(std::move(company));
  return list;
}

// A route's name, and its company's name when it names one.
void NameRoute(RouteEntry& entry, const Route& route, Strings& strings) {
  entry.name_index = route.name;
  entry.company_length = route.company_length;
  const std::optional<std::string> name = strings.At(route.name);
  Strings::SetText(name, entry.name, entry.name_bytes);
  if (!entry.name) {
    entry.name.emplace(std::nullopt);
    return;
  }
  if (route.company_length > 0)
    Strings::SetText(name->substr(0, route.company_length), entry.company_name, entry.company_name_bytes);
}

std::vector<StopEntry> StopEntries(const std::vector<StopDescription>& stops) {
  std::vector<StopEntry> entries(stops.size());
  for (std::size_t j = 0; j < stops.size(); ++j) {
    entries[j].station = Reference{stops[j].station, {}};
    entries[j].companion = stops[j].companion;
  }
  return entries;
}

std::vector<EdgeEntry> EdgeEntries(const std::vector<EdgeDescription>& edges) {
  std::vector<EdgeEntry> entries(edges.size());
  for (std::size_t j = 0; j < edges.size(); ++j) {
    entries[j].target = edges[j].target;
    entries[j].value = edges[j].value;
  }
  return entries;
}

MaybeNull<std::uint16_t> NumberOrNull(std::uint16_t value) {
  return value == kNoIndex ? MaybeNull<std::uint16_t>(std::optional<std::uint16_t>()) : MaybeNull<std::uint16_t>(value);
}

// ---------------------------------------------------------------------------
// An intermediate data file.

HeaderEntry HeaderOf(const IntermediateReading& reading) {
  const HeaderDescription& h = reading.file.header;
  const intermediate::FileHeader& f = reading.header;
  HeaderEntry entry;
  entry.magic = std::string(h.magic.begin(), h.magic.end());
  entry.base_offset = f.base_offset;
  entry.trailer_offset = f.trailer_offset;
  entry.unused_middle = std::string(h.unused_middle.begin(), h.unused_middle.end());
  entry.rstat_capacity = f.rstat_capacity;
  entry.node_count = f.node_count;
  entry.station_count = f.station_count;
  entry.route_count = f.route_count;
  entry.string_count = f.string_count;
  entry.pool_size = f.pool_size;
  entry.edge_capacity = f.edge_capacity;
  entry.unused_tail = std::string(h.unused_tail.begin(), h.unused_tail.end());
  entry.effective_rstat_capacity = std::max(intermediate::EffectiveRStatCapacity(f), 0);
  entry.effective_edge_capacity = intermediate::EffectiveEdgeCapacity(f);
  return entry;
}

void DescribeIntermediate(IntermediateReading& reading, Document& document) {
  Findings& findings = reading.findings;
  if (!reading.HasHeader()) return;
  document.header = HeaderOf(reading);
  if (reading.node_section_end) {
    document.node_section_end = *reading.node_section_end;
    document.edge_total = reading.edge_total;
  }
  const NetworkDescription& file = reading.file;
  Strings strings(*file.raw_string_index, *file.raw_pool, reading.size);
  document.strings = strings.Entries(findings);
  std::vector<StationEntry>& stations = document.stations.emplace();
  for (std::size_t i = 0; i < file.stations.size(); ++i) {
    const StationDescription& s = file.stations[i];
    StationEntry& entry = stations.emplace_back();
    entry.index = i;
    Strings::SetText(strings.At(s.name_string), entry.name, entry.name_bytes);
    entry.name_string = s.name_string;
    entry.opaque_word = s.opaque_word;
    entry.unused_word = s.unused_word;
    if (i < reading.sorted_stations) {
      entry.sort = s.sort;
      entry.kana_sort = s.kana_sort;
    }
  }
  Network network;  // what grouping needs: the routes' names and company-name lengths
  network.string_index = *file.raw_string_index;
  network.string_pool.assign(file.raw_pool->begin(), file.raw_pool->end());
  for (const RouteDescription& r : file.routes) {
    Route route;
    route.name = r.name_index;
    route.company_length = r.company_length;
    network.routes.push_back(route);
  }
  const std::vector<std::uint16_t> numbers = CompanyNumbers(network);
  std::vector<RouteEntry>& routes = document.routes.emplace();
  for (std::size_t r = 0; r < file.routes.size(); ++r) {
    const RouteDescription& route = file.routes[r];
    RouteEntry& entry = routes.emplace_back();
    entry.index = r;
    NameRoute(entry, network.routes[r], strings);
    entry.company = NumberOrNull(numbers[r]);
    entry.unused_word = route.unused_word;
    entry.station_count = route.station_count;
    entry.opaque_word = route.opaque_word;
    entry.opaque_byte = route.opaque_byte;
    if (r < reading.routes_with_trailer) entry.trailer = route.trailer;
    entry.stops = StopEntries(route.stops);
  }
  document.companies = CompanyList(network.routes, numbers, strings);
  strings.ReportLeftOut(findings);
  document.string_pool = *file.raw_pool;
  std::vector<NodeEntry>& nodes = document.nodes.emplace();
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    NodeEntry& entry = nodes.emplace_back();
    entry.index = i;
    entry.station = file.nodes[i].station;
    entry.route = file.nodes[i].route;
    entry.edge_count = file.nodes[i].edge_count;
    entry.edges = EdgeEntries(file.nodes[i].edges);
  }
}

// The converter's own loading of the file: what it would refuse is a problem in its words.
void TryConversion(ByteSource& source, Findings& findings) {
  try {
    ByteWriter image;
    BuildImage(NetworkInput::Read(source, "the file"), image);
  } catch (const FatalErrorException& refusal) {
    findings.Problem("the converter refuses the file: " + ReasonOf(refusal));
  }
}

// ---------------------------------------------------------------------------
// An image.

DatabaseEntry DatabaseOf(const DatabaseHeaderFields& d) {
  DatabaseEntry entry;
  entry.name = AsciiEscaped(d.name.substr(0, d.name.find('\0')));
  entry.attributes = d.attributes;
  entry.version = d.version;
  entry.creation_date = d.creation_date;
  entry.modification_date = d.modification_date;
  entry.backup_date = d.backup_date;
  entry.modification_number = d.modification_number;
  entry.app_info_offset = d.app_info_offset;
  entry.sort_info_offset = d.sort_info_offset;
  entry.type = AsciiEscaped(d.type);
  entry.creator = AsciiEscaped(d.creator);
  entry.unique_id_seed = d.unique_id_seed;
  entry.next_record_list = d.next_record_list;
  entry.record_count = d.record_count;
  return entry;
}

std::string RecordContent(std::size_t i) {
  if (i == 0) return "image header";
  if (i >= image::kRecordCount) return "unexpected";
  return std::string(i % 2 == 1 ? "tag " : "table ") + image::kTableTags[(i - 1) / 2];
}

ImageHeaderEntry ImageHeaderOf(const ImageHeaderFields& fields) {
  const image::ImageCounts& c = fields.counts;
  ImageHeaderEntry entry;
  entry.magic = AsciiEscaped(fields.magic);
  entry.version = AsciiEscaped(fields.version);
  entry.station_count = c.stations;
  entry.route_count = c.routes;
  entry.string_count = c.strings;
  entry.pool_size = c.pool_size;
  entry.rstat_capacity = static_cast<std::uint16_t>(c.rstat_capacity);
  entry.node_total = c.node_total;
  entry.file_node_count = c.file_nodes;
  entry.edge_count = c.edges;
  entry.value_entry_count = c.value_entries;
  return entry;
}

void DescribeTables(ImageReading& reading, Document& document) {
  Strings strings(reading.string_index, reading.string_pool, reading.size);
  document.strings = strings.Entries(reading.findings);
  std::vector<StationEntry>& stations = document.stations.emplace();
  for (std::size_t i = 0; i < reading.stations.size(); ++i) {
    const ImageStation& s = reading.stations[i];
    StationEntry& entry = stations.emplace_back();
    entry.index = i;
    Strings::SetText(strings.At(s.name_string), entry.name, entry.name_bytes);
    entry.name_string = s.name_string;
    entry.opaque_word = s.opaque_word;
    entry.sort = s.sort;
    entry.kana_sort = s.kana_sort;
  }
  const std::uint32_t capacity = reading.image_header->counts.rstat_capacity;
  RouteStationsEntry& table = document.route_stations.emplace();
  table.capacity = static_cast<std::uint16_t>(capacity);
  table.slots = 2ull * capacity;
  table.slots_used = reading.slots_used;
  std::vector<RouteEntry>& routes = document.routes.emplace();
  std::vector<Route> records;
  std::vector<std::uint16_t> numbers;
  for (std::size_t r = 0; r < reading.routes.size(); ++r) {
    const Route& route = reading.routes[r].record;
    RouteEntry& entry = routes.emplace_back();
    entry.index = r;
    NameRoute(entry, route, strings);
    entry.company = NumberOrNull(route.company);
    entry.first_slot = route.first_slot;
    entry.station_count = route.station_count;
    entry.opaque_word = route.opaque_word;
    entry.opaque_byte = route.opaque_byte;
    entry.trailer = route.trailer;
    entry.stops = StopEntries(reading.routes[r].stops);
    records.push_back(route);
    numbers.push_back(route.company);
  }
  document.companies = CompanyList(records, numbers, strings);
  strings.ReportLeftOut(reading.findings);
  document.string_pool = reading.string_pool;
  std::vector<NodeEntry>& nodes = document.nodes.emplace();
  for (std::size_t i = 0; i < reading.nodes.size(); ++i) {
    const Node& n = reading.nodes[i].record;
    NodeEntry& entry = nodes.emplace_back();
    entry.index = i;
    entry.station = n.station;
    entry.route = n.route;
    entry.mark = NumberOrNull(n.mark);
    entry.first_edge = NumberOrNull(n.first_edge);
    entry.edge_count = n.edge_count;
    entry.edges = EdgeEntries(reading.nodes[i].edges);
    if (reading.nodes[i].role != nullptr) entry.role = reading.nodes[i].role;
  }
  std::vector<EdgeEntry>& unowned = document.unowned_edges.emplace();
  for (const UnownedEdge& edge : reading.unowned_edges) {
    EdgeEntry& entry = unowned.emplace_back();
    entry.index = edge.index;
    entry.target = edge.edge.target;
    entry.value = edge.edge.value;
  }
  document.edge_count = reading.edge_count;
}

void DescribeImage(ImageReading& reading, Document& document) {
  if (!reading.HasDatabaseHeader()) return;
  document.database = DatabaseOf(reading.database);
  std::vector<RecordEntry>& records = document.records.emplace();
  for (std::size_t i = 0; i < reading.records.size(); ++i) {
    const ImageRecordInfo& info = reading.records[i];
    RecordEntry& entry = records.emplace_back();
    entry.index = i;
    entry.content = RecordContent(i);
    entry.offset = info.offset;
    entry.attributes = info.attributes;
    entry.unique_id = info.unique_id;
    entry.length = info.length;
  }
  if (reading.image_header) document.image_header = ImageHeaderOf(*reading.image_header);
  if (reading.image_header) DescribeTables(reading, document);
}

void SetFindings(Findings& findings, Document& document) {
  document.problems = std::move(findings.problems);
  document.warnings = std::move(findings.warnings);
}

}  // namespace

DocumentKind DetectKind(const std::vector<std::uint8_t>& head) {
  if (head.size() >= sizeof intermediate::header::kMagicBytes && intermediate::HasMagic(head.data()))
    return DocumentKind::kIntermediate;
  if (LooksLikeImage(head)) return DocumentKind::kDatabase;
  return DocumentKind::kUnknown;
}

Document Inspect(ByteSource& source) {
  Document document;
  document.kind = DetectKind(source.Read(0, image::database::kSize));
  document.size = source.Size();
  if (document.kind == DocumentKind::kIntermediate) {
    IntermediateReading reading = ReadIntermediate(source);
    DescribeIntermediate(reading, document);
    // What the converter refuses beyond the damage found already is news.
    if (reading.HasHeader() && reading.findings.problems.empty()) TryConversion(source, reading.findings);
    SetFindings(reading.findings, document);
  } else if (document.kind == DocumentKind::kDatabase) {
    ImageReading reading = ReadImage(source);
    DescribeImage(reading, document);
    SetFindings(reading.findings, document);
  } else {
    Findings findings;
    findings.Problem("neither an intermediate data file (\"AD4\" and 0x1A) nor a fenwaimg.pdb");
    SetFindings(findings, document);
  }
  return document;
}
