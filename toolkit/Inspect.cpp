#include "toolkit/Inspect.h"

#include <algorithm>
#include <map>

#include "base/ByteWriter.h"
#include "base/Fatal.h"
#include "driver/Convert.h"
#include "network/Loader.h"
#include "network/Network.h"
#include "text/ShiftJis.h"
#include "toolkit/FieldTypes.h"
#include "toolkit/Grouping.h"
#include "toolkit/ImageReader.h"
#include "toolkit/IntermediateReader.h"

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
std::vector<CompanyEntry> CompanyList(const std::vector<RouteEntry>& routes, Strings& strings) {
  std::map<std::uint16_t, CompanyEntry> companies;
  for (std::size_t r = 1; r < routes.size(); ++r) {
    const RouteEntry& route = routes[r];
    if (!*route.company) continue;
    CompanyEntry& company = companies[**route.company];
    if (!company.number) {
      company.number = **route.company;
      if (*route.company_length == 0) {
        company.name.emplace(std::nullopt);
      } else {
        const std::optional<std::string> name =
            strings.Valid(*route.name_index) ? strings.At(*route.name_index, *route.company_length) : "";
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
void NameRoute(RouteEntry& route, Strings& strings) {
  const std::optional<std::string> name = strings.At(*route.name_index);
  Strings::SetText(name, route.name, route.name_bytes);
  if (!route.name) {
    route.name.emplace(std::nullopt);
    return;
  }
  if (*route.company_length > 0)
    Strings::SetText(name->substr(0, *route.company_length), route.company_name, route.company_name_bytes);
}

// What both files' readings give alike: the string table, the stations and
// routes with their names, the companies the routes' numbers make, the nodes.
template <typename Reading>
void DescribeTables(Reading& reading, Document& document) {
  Strings strings(reading.string_index, reading.string_pool, reading.size);
  document.strings = strings.Entries(reading.findings);
  for (StationEntry& station : reading.stations)
    Strings::SetText(strings.At(*station.name_string), station.name, station.name_bytes);
  for (RouteEntry& route : reading.routes) NameRoute(route, strings);
  document.companies = CompanyList(reading.routes, strings);
  strings.ReportLeftOut(reading.findings);
  document.stations = std::move(reading.stations);
  document.routes = std::move(reading.routes);
  document.string_pool = std::move(reading.string_pool);
  document.nodes = std::move(reading.nodes);
}

// ---------------------------------------------------------------------------
// An intermediate data file.

void DescribeIntermediate(IntermediateReading& reading, Document& document) {
  if (!reading.HasHeader()) return;
  document.header = std::move(reading.header);
  if (reading.node_section_end) {
    document.node_section_end = *reading.node_section_end;
    document.edge_total = reading.edge_total;
  }
  // The file holds no company numbers: grouping gives them.
  const std::vector<std::uint16_t> numbers =
      CompanyNumbersOf(reading.routes, reading.string_index, reading.string_pool);
  for (std::size_t r = 0; r < numbers.size(); ++r) {
    reading.routes[r].company = numbers[r] == kNoIndex ? std::optional<std::uint16_t>() : numbers[r];
  }
  DescribeTables(reading, document);
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

void DescribeImage(ImageReading& reading, Document& document) {
  if (!reading.HasDatabaseHeader()) return;
  document.database = std::move(reading.database);
  document.records = std::move(reading.records);
  if (!reading.image_header) return;
  document.image_header = std::move(*reading.image_header);
  document.route_stations = reading.route_stations;
  DescribeTables(reading, document);
  document.unowned_edges = std::move(reading.unowned_edges);
  document.edge_count = reading.edge_count;
}

// At most as many as a dump lists: the last of them counts the rest.
std::vector<std::string> Listed(std::vector<std::string> texts, const records::Table& table, const char* what,
                                std::size_t& not_listed) {
  if (texts.size() > table.most) {
    not_listed = texts.size() - (table.most - 1);
    texts.resize(table.most - 1);
    texts.push_back("and " + std::to_string(not_listed) + " more " + what + ", not listed");
  }
  return texts;
}

void SetFindings(Findings& findings, Document& document) {
  document.problems =
      Listed(std::move(findings.problems), records::kProblemTable, "problems", document.problems_not_listed);
  document.warnings =
      Listed(std::move(findings.warnings), records::kWarningTable, "warnings", document.warnings_not_listed);
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
