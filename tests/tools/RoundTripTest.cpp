// JSON description -> fenwamake -> fenwaimg -> fenwadump: the tables come back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "pdb/ImageFormat.h"
#include "tests/support/SampleNetworks.h"
#include "tests/support/ToolRun.h"
#include "text/Hex.h"
#include "text/ShiftJis.h"
#include "toolkit/Inspect.h"
#include "toolkit/Views.h"

namespace fs = std::filesystem;
using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// The bytes a text takes in Shift_JIS, counted from its UTF-8 alone: ASCII and
// half-width katakana take one byte, every other character two.
std::size_t ShiftJisLength(const std::string& utf8) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::uint32_t code = size == 1 ? lead : lead & (0xFF >> (size + 1));
    for (std::size_t k = 1; k < size; ++k) code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    bytes += code < 0x80 || (code >= 0xFF61 && code <= 0xFF9F) ? 1 : 2;
    i += size;
  }
  return bytes;
}

TEST(SampleNetwork, DumpOfItsImageIsTheCommittedOne) {
  TempDir dir;
  MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  const RunResult dump = RunFenwadump(dir.Path(), {"fenwaimg.pdb"});
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.err, "");
  const char* update = std::getenv("FENWA_UPDATE_EXPECTED");
  if (update != nullptr && std::string(update) == "1") WriteText(FENWA_EXPECTED_SAMPLE_DUMP, dump.out);
  EXPECT_EQ(dump.out, ReadText(FENWA_EXPECTED_SAMPLE_DUMP))
      << "run with FENWA_UPDATE_EXPECTED=1 to rewrite the expected dump after an intended change";
}

TEST(SampleNetwork, SummaryGivesProblemsFirstThenTheCompaniesInGroupingOrder) {
  TempDir dir;
  MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  const RunResult summary = RunFenwadump(dir.Path(), {"--summary", "fenwaimg.pdb"});
  EXPECT_EQ(summary.status, 0) << summary.err;
  const std::vector<std::string> lines = {"no problems", "0 東都急行: 東都急行本線 (5 stops), 東都急行空港線 (3 stops)",
                                          "1 北辰電鉄: 北辰電鉄北辰線 (4 stops), 北辰電鉄白樺支線 (3 stops)",
                                          "2 湾岸高速鉄道: 湾岸高速鉄道臨海線 (3 stops)",
                                          "3 (no company): みなと環状線 (5 stops)"};
  std::size_t at = 0;
  for (const std::string& line : lines) {
    const std::size_t found = summary.out.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << summary.out;
    at = found + line.size();
  }
}

// Files named in Japanese: the names reach the file system whole (on Windows
// through the wide command line, whatever the ANSI code page) and come back
// unchanged in the summary and in messages.
TEST(SampleNetwork, FilesNamedInJapanese) {
  TempDir dir;
  WriteText(dir / "東都路線図.json", ReadText(FENWA_SAMPLE_NETWORK));
  const RunResult make = RunFenwamake(dir.Path(), {"東都路線図.json", "東都路線図.dat"});
  ASSERT_EQ(make.status, 0) << make.err;
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"東都路線図.dat", "東都路線図.json"}));
  const DumpRun dump = DumpFile(dir.Path(), "東都路線図.dat");
  EXPECT_EQ(dump.run.status, 0) << dump.run.err;
  EXPECT_EQ(dump.json["routes"][1]["name"], "東都急行本線");
  const RunResult summary = RunFenwadump(dir.Path(), {"--summary", "東都路線図.dat"});
  EXPECT_EQ(summary.status, 0);
  EXPECT_EQ(summary.out.rfind("東都路線図.dat: intermediate data file, ", 0), 0u) << summary.out;

  WriteText(dir / "絵文字入り.json", R"({"strings": ["電車🚃"]})");
  const RunResult refused = RunFenwamake(dir.Path(), {"絵文字入り.json", "絵文字入り.dat"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "fenwamake: 絵文字入り.json: line 1, column 14: strings[0]: \"電車🚃\" has a character that Shift_JIS "
            "cannot hold\n");
  const RunResult missing = RunFenwadump(dir.Path(), {"無い.pdb"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err.rfind("fenwadump: 無い.pdb: cannot open it: ", 0), 0u) << missing.err;
}

TEST(SampleNetwork, OutputIsAcceptedByJq) {
  if (std::system("command -v jq >/dev/null 2>&1") != 0) GTEST_SKIP() << "jq is not installed";
  TempDir dir;
  MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  for (const char* file : {"fenwaimg.pdb", "network.dat"}) {
    const RunResult jq =
        RunCommand(dir.Path(), "/bin/sh", {"-c", FenwadumpCommand() + " " + file + " | jq -e '.routes | length == 7'"});
    EXPECT_EQ(jq.status, 0) << file << ": " << jq.out << jq.err;
    EXPECT_EQ(jq.out, "true\n");
  }
}

// fenwadump's JSON of `file` in `dir`, written to `json_name`; the test fails when it has problems.
ordered_json DumpTo(const fs::path& dir, const std::string& file, const std::string& json_name) {
  const RunResult dump = RunFenwadump(dir, {file});
  EXPECT_EQ(dump.status, 0) << file << ": " << dump.err.substr(0, 2000);
  WriteText(dir / json_name, dump.out);
  return ordered_json::parse(dump.out);
}

// fenwamake's messages but for its warnings of edges to nodes and stops at
// stations that do not exist: generated networks hold such words on purpose.
std::string WithoutMissingReferences(const std::string& err) {
  std::istringstream lines(err);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    const bool missing = line.find(" does not exist: there are ") != std::string::npos ||
                         line.find("more stops or edges at stations or nodes that do not exist") != std::string::npos;
    if (!missing) kept += line + "\n";
  }
  return kept;
}

// The image fenwamake and fenwaimg make of the JSON in `json_name`, in a folder of its own.
Bytes ImageOf(const fs::path& dir, const std::string& json_name, const std::string& expected_err = "") {
  const std::string made = json_name + ".dat";
  const RunResult make = RunFenwamake(dir, {json_name, made});
  EXPECT_EQ(make.status, 0) << make.err;
  EXPECT_EQ(WithoutMissingReferences(make.err), expected_err);
  const fs::path folder = dir / (json_name + ".image");
  fs::create_directories(folder);
  const RunResult convert = RunFenwaimg(folder, {"../" + made});
  EXPECT_EQ(convert.status, 0) << convert.out << convert.err;
  return convert.status == 0 ? ReadBytes(folder / "fenwaimg.pdb") : Bytes();
}

// The round trips from either file, in `dir` with network.dat and its
// fenwaimg.pdb: the image's dump makes a file that converts to the same image,
// and the file's dump, piped into fenwamake, the same file.
void ExpectDumpsMakeTheFilesAgain(const fs::path& dir) {
  DumpTo(dir, "fenwaimg.pdb", "image.json");
  EXPECT_TRUE(ImageOf(dir, "image.json") == ReadBytes(dir / "fenwaimg.pdb")) << "the image's dump gives another image";
  const RunResult piped =
      RunCommand(dir, "/bin/sh", {"-c", FenwadumpCommand() + " network.dat | " + FenwamakeCommand() + " - piped.dat"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(WithoutMissingReferences(piped.err), "");
  EXPECT_TRUE(ReadBytes(dir / "piped.dat") == ReadBytes(dir / "network.dat")) << "the file's dump gives another file";
}

// The same edits, made in a description (stations, stops and nodes by name)
// and in a dump of its file or image (by number): station 0 renamed, the last
// stop of the first route that has one moved to the end of the last route, and
// a route of a new company added at the end. In the description the strings
// come in the dump's order, the new names behind them, as fenwamake adds them
// to a dump's table.
constexpr const char* kNewStationName = "改名駅";
constexpr const char* kNewRouteName = "ﾃｽﾄ新線";

struct StopMove {
  std::optional<std::size_t> from, to;
};

StopMove MoveOf(const json& routes) {
  StopMove move;
  for (std::size_t r = 0; r < routes.size() && !move.from; ++r) {
    if (!routes[r]["stops"].empty()) move.from = r;
  }
  if (move.from && routes.size() - 1 != *move.from) move.to = routes.size() - 1;
  return move;
}

// Moves the stop, and keeps the routes' stop counts (in a dump) saying how many they have.
template <typename Json>
void MoveStop(Json& routes, const StopMove& move) {
  if (!move.to) return;
  Json& from = routes[*move.from]["stops"];
  routes[*move.to]["stops"].push_back(from.back());
  from.erase(from.size() - 1);
  for (std::size_t r : {*move.from, *move.to}) {
    if (routes[r].contains("station_count")) routes[r]["station_count"] = routes[r]["stops"].size();
  }
}

json EditedDescription(json d, const ordered_json& dump) {
  const bool stations = !d["stations"].empty();
  json strings = json::array();
  for (const ordered_json& string : dump["strings"]) {
    if (string.contains("text_bytes")) {
      strings.push_back({{"hex", string["text_bytes"].get<std::string>()}});
    } else {
      strings.push_back(string["text"].get<std::string>());
    }
  }
  if (stations) {
    const json old = d["stations"][0]["name"];
    d["stations"][0]["name"] = kNewStationName;
    strings.push_back(kNewStationName);
    for (json& route : d["routes"]) {
      for (json& stop : route["stops"]) {
        if (stop["station"] == old) stop["station"] = kNewStationName;
      }
    }
    for (json& node : d["nodes"]) {
      if (node.contains("station") && node["station"] == old) node["station"] = kNewStationName;
    }
  }
  strings.push_back(kNewRouteName);
  d["strings"] = strings;
  MoveStop(d["routes"], MoveOf(d["routes"]));
  json route = {{"name", kNewRouteName}, {"company", "ﾃｽﾄ"}, {"word", 1}, {"byte", 2}, {"trailer", 3}};
  route["stops"] = stations ? json::array({{{"station", kNewStationName}, {"companion", 9}}}) : json::array();
  d["routes"].push_back(route);
  return d;
}

// The dump edited the same way; a route added to an image's dump names its
// company, one added to a file's dump gives the length.
ordered_json EditedDump(ordered_json dump) {
  const bool stations = !dump["stations"].empty();
  if (stations) dump["stations"][0]["name"] = kNewStationName;
  MoveStop(dump["routes"], MoveOf(dump["routes"]));
  ordered_json route = {{"name", kNewRouteName}, {"word", 1}, {"byte", 2}, {"trailer", 3}};
  if (dump["kind"] == "database") {
    route["company_name"] = "ﾃｽﾄ";
  } else {
    route["company_length"] = 3;
  }
  route["stops"] = stations ? ordered_json::array({{{"station", 0}, {"companion", 9}}}) : ordered_json::array();
  dump["routes"].push_back(route);
  return dump;
}

// The round trips from a description: its file and image made again from
// their dumps, and the edits made in either dump giving what they give in the
// description. Every JSON on the way matches the schema.
void ExpectRoundTrips(const json& description) {
  TempDir dir;
  MakeAndConvert(dir.Path(), description);
  if (testing::Test::HasFatalFailure()) return;
  ExpectDumpsMakeTheFilesAgain(dir.Path());
  const ordered_json image_dump = ordered_json::parse(ReadText(dir / "image.json"));
  const ordered_json file_dump = DumpTo(dir.Path(), "network.dat", "file.json");

  TempDir expected;
  MakeAndConvert(expected.Path(), EditedDescription(description, image_dump));
  if (testing::Test::HasFatalFailure()) return;
  WriteText(dir / "image-edited.json", EditedDump(image_dump).dump(1));
  EXPECT_TRUE(ImageOf(dir.Path(), "image-edited.json") == ReadBytes(expected / "fenwaimg.pdb"))
      << "the edits in the image's dump give another image than in the description";
  WriteText(dir / "file-edited.json", EditedDump(file_dump).dump(1));
  const RunResult make = RunFenwamake(dir.Path(), {"file-edited.json", "file-edited.dat"});
  ASSERT_EQ(make.status, 0) << make.err;
  EXPECT_TRUE(ReadBytes(dir / "file-edited.dat") == ReadBytes(expected / "network.dat"))
      << "the edits in the file's dump give another file than in the description";
  CheckAgainstSchema(dir.Path(), {"network.json", "image.json", "file.json", "image-edited.json", "file-edited.json"});
}

TEST(SampleNetwork, DumpsOfItsFileAndImageMakeThemAgainAndTakeEdits) {
  ExpectRoundTrips(json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
}

// Every code of two bytes whose character code page 932 encodes to other
// bytes (its twin's: NEC's and IBM's extensions, NEC's row 13), as the
// decoder and the encoder have them.
std::vector<std::string> CodesWithTwins() {
  std::vector<std::string> codes;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC && (lead < 0xA0 || lead >= 0xE0); ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const DecodedText text = ShiftJisToUtf8(bytes);
      if (text.complete && Utf8ToShiftJis(text.utf8) != bytes) codes.push_back(bytes);
    }
  }
  return codes;
}

// A network whose strings, station names and companies are those codes keeps
// their bytes through the dump of its image and of its file, and takes edits.
TEST(TwinCodes, KeepTheirBytesThroughEitherDump) {
  const std::vector<std::string> codes = CodesWithTwins();
  const auto has = [&](const char* code) { return std::find(codes.begin(), codes.end(), code) != codes.end(); };
  ASSERT_TRUE(has("\xED\x95") && !has("\xFA\xB1") && has("\xFA\x4A") && !has("\x87\x54")) << codes.size();
  json d = {
      {"strings", json::array()}, {"stations", json::array()}, {"routes", json::array()}, {"nodes", json::array()}};
  for (std::size_t i = 0; i < codes.size(); ++i) {
    d["strings"].push_back({{"hex", HexBytes(codes[i])}});
    d["stations"].push_back({{"name", {{"hex", HexBytes("\x89\x77" + codes[i])}}}});  // 駅 and the code
  }
  for (std::size_t i = 0; i < codes.size(); i += codes.size() / 8) {
    const json stops = {{{"station", i}, {"companion", 1}}, {{"station", codes.size() - 1 - i}, {"companion", 2}}};
    d["routes"].push_back({{"name", {{"hex", HexBytes(codes[i] + "\x90\xFC")}}},  // the code and 線
                           {"company", {{"hex", HexBytes(codes[i])}}},
                           {"stops", stops}});
  }
  TempDir dir;
  MakeAndConvert(dir.Path(), d);
  const DumpRun dump = DumpFile(dir.Path(), "fenwaimg.pdb");
  ASSERT_EQ(dump.json["strings"].size(), 2 * codes.size() + d["routes"].size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    EXPECT_EQ(dump.json["strings"][i]["text"], ShiftJisToUtf8(codes[i]).utf8);
    EXPECT_EQ(dump.json["strings"][i].value("text_bytes", ""), HexBytes(codes[i]));
  }
  EXPECT_EQ(dump.json["routes"][1].value("company_name_bytes", ""), HexBytes(codes[codes.size() / 8]));
  ExpectRoundTrips(d);
}

// An added route whose stops the image's route-station table cannot hold: the
// capacity grows to the least that holds them, and fenwamake says so.
TEST(SampleNetwork, StopsBeyondTheImagesRouteStationCapacityRaiseIt) {
  TempDir dir;
  MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  ordered_json dump = DumpTo(dir.Path(), "fenwaimg.pdb", "image.json");
  ASSERT_EQ(dump["route_stations"]["capacity"], 32);
  ASSERT_EQ(dump["route_stations"]["slots_used"], 46);
  ordered_json route = {{"name", "長い線"}, {"stops", ordered_json::array()}};
  for (int j = 0; j < 10; ++j) route["stops"].push_back({{"station", j}, {"companion", j}});
  dump["routes"].push_back(route);
  WriteText(dir / "longer.json", dump.dump());
  const Bytes image = ImageOf(dir.Path(), "longer.json",
                              "fenwamake: longer.json: note: the routes' stops need 33 route-station entries: the "
                              "capacity is raised from 32\n");
  WriteBytes(dir / "longer.pdb", image);
  const DumpRun longer = DumpFile(dir.Path(), "longer.pdb");
  EXPECT_EQ(longer.json["problems"], ordered_json::array());
  EXPECT_EQ(longer.json["route_stations"]["capacity"], 33);
  EXPECT_EQ(longer.json["routes"][7]["first_slot"], 46);
  EXPECT_EQ(longer.json["routes"][7]["company"], 3);  // with the routes that name no company
}

// A network drawn from a seed: stations, routes of several companies (two of
// which share the first bytes of their names), routes without a company, a
// route named just its company, strings and a graph.
struct Generated {
  json description;
  std::vector<std::string> extra_strings;
  std::vector<std::optional<std::string>> companies;  // per route
};

Generated Generate(unsigned seed, int stations, int routes, int nodes) {
  std::mt19937 random(seed);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::vector<std::string> pieces = {"桜", "若葉", "緑",   "星", "北", "白樺",
                                           "潮", "港",   "海浜", "高", "ｶﾜ", "Ki"};
  const std::vector<std::string> companies = {"東都", "東都急行", "北辰電鉄", "ﾐﾅﾄ交通", "Kaigan", "湾岸高速鉄道"};
  Generated g;
  json& d = g.description;
  g.extra_strings = {"路線図", "", "ｻﾝﾌﾟﾙ", "図"};
  g.extra_strings.resize(pick(g.extra_strings.size() + 1));
  d["strings"] = g.extra_strings;
  d["stations"] = json::array();
  for (int i = 0; i < stations; ++i) {
    d["stations"].push_back({{"name", pieces[pick(pieces.size())] + pieces[pick(pieces.size())] + std::to_string(i)},
                             {"word_b", random() % 0x10000},
                             {"sort", random() % 0x10000},
                             {"kana_sort", random() % 0x10000}});
  }
  d["routes"] = json::array();
  std::size_t stop_total = 0;
  std::set<std::string> bare_names;
  for (int r = 0; r < routes; ++r) {
    json route;
    const std::size_t kind = pick(companies.size() + 2);
    std::optional<std::string> company;
    if (kind < companies.size()) {
      company = companies[kind];
      route["company"] = *company;
      const bool bare = pick(5) == 0 && !bare_names.count(*company);  // a route named just its company
      if (bare) bare_names.insert(*company);
      route["name"] = *company + (bare ? "" : "線" + std::to_string(r));
    } else {
      route["name"] = "連絡線" + std::to_string(r);
    }
    g.companies.push_back(company);
    route["word"] = random() % 0x10000;
    route["byte"] = random() % 0x100;
    route["trailer"] = random() % 0x10000;
    route["stops"] = json::array();
    const std::size_t stops = stations == 0 ? 0 : pick(6);
    for (std::size_t j = 0; j < stops; ++j)
      route["stops"].push_back({{"station", d["stations"][pick(stations)]["name"]}, {"companion", random() % 0x10000}});
    stop_total += stops;
    d["routes"].push_back(route);
  }
  // The default capacity, twice the station count, must stay above the stops (a full table refuses the next route).
  if (stop_total >= static_cast<std::size_t>(2 * stations) || pick(2) == 0)
    d["header"] = {{"rstat_capacity", stop_total + pick(4) + 1}};
  d["nodes"] = json::array();
  for (int i = 0; i < nodes; ++i) {
    json node = {{"id", "n" + std::to_string(i)}, {"edges", json::array()}};
    if (stations > 0 && pick(2) == 0) {
      node["station"] = d["stations"][pick(stations)]["name"];
    } else {
      node["word_a"] = random() % 0x10000;
    }
    if (routes > 0 && pick(2) == 0) {
      node["route"] = d["routes"][pick(routes)]["name"];
    } else {
      node["word_b"] = random() % 0x10000;
    }
    const std::size_t edges = pick(4);
    for (std::size_t j = 0; j < edges; ++j) {
      const json to = pick(3) == 0 ? json(random() % 0x10000) : json("n" + std::to_string(pick(nodes)));
      node["edges"].push_back({{"to", to}, {"value", random() % 0x10000}});
    }
    d["nodes"].push_back(node);
  }
  return g;
}

// Company numbers as grouping must give them: routes 1 onwards numbered by the
// first appearance of their company, routes without one after all companies.
std::vector<std::optional<std::size_t>> ExpectedCompanies(const std::vector<std::optional<std::string>>& companies) {
  std::vector<std::optional<std::size_t>> numbers(companies.size());
  std::vector<std::string> seen;
  for (std::size_t r = 1; r < companies.size(); ++r) {
    if (!companies[r]) continue;
    auto found = std::find(seen.begin(), seen.end(), *companies[r]);
    numbers[r] = static_cast<std::size_t>(found - seen.begin());
    if (found == seen.end()) seen.push_back(*companies[r]);
  }
  for (std::size_t r = 1; r < companies.size(); ++r) {
    if (!companies[r]) numbers[r] = seen.size();
  }
  return numbers;
}

std::uint16_t NodeIndex(const json& to) {
  return to.is_string() ? static_cast<std::uint16_t>(std::stoi(to.get<std::string>().substr(1)))
                        : to.get<std::uint16_t>();
}

struct Shape {
  unsigned seed;
  int stations, routes, nodes;
};

class GeneratedNetwork : public testing::TestWithParam<Shape> {};

TEST_P(GeneratedNetwork, EveryTableComesBackThroughTheImage) {
  const Shape shape = GetParam();
  const Generated g = Generate(shape.seed, shape.stations, shape.routes, shape.nodes);
  const json& d = g.description;
  TempDir dir;
  MakeAndConvert(dir.Path(), d);
  if (HasFatalFailure()) return;
  const DumpRun dump = DumpFile(dir.Path(), "fenwaimg.pdb");
  ASSERT_EQ(dump.run.status, 0) << dump.run.err;
  const ordered_json& out = dump.json;
  EXPECT_EQ(out["problems"], ordered_json::array());

  // Strings: the extra ones first, in order; every name somewhere in the table.
  const ordered_json& strings = out["strings"];
  for (std::size_t i = 0; i < g.extra_strings.size(); ++i) EXPECT_EQ(strings[i]["text"], g.extra_strings[i]);
  auto text = [&](const ordered_json& index) { return strings.at(index.get<std::size_t>())["text"]; };

  ASSERT_EQ(out["stations"].size(), d["stations"].size());
  for (std::size_t i = 0; i < d["stations"].size(); ++i) {
    const ordered_json& station = out["stations"][i];
    SCOPED_TRACE("station " + std::to_string(i));
    EXPECT_EQ(text(station["word_a"]), d["stations"][i]["name"]);
    EXPECT_EQ(station["word_b"], d["stations"][i]["word_b"]);
    EXPECT_EQ(station["sort"], d["stations"][i]["sort"]);
    EXPECT_EQ(station["kana_sort"], d["stations"][i]["kana_sort"]);
  }

  const auto numbers = ExpectedCompanies(g.companies);
  std::map<std::string, std::size_t> station_index;
  for (std::size_t i = 0; i < d["stations"].size(); ++i) station_index[d["stations"][i]["name"]] = i;
  ASSERT_EQ(out["routes"].size(), d["routes"].size());
  for (std::size_t r = 0; r < d["routes"].size(); ++r) {
    const json& given = d["routes"][r];
    const ordered_json& route = out["routes"][r];
    SCOPED_TRACE("route " + std::to_string(r));
    EXPECT_EQ(route["name"], given["name"]);
    EXPECT_EQ(text(route["name_index"]), given["name"]);
    if (numbers[r]) {
      EXPECT_EQ(route["company"], *numbers[r]);
    } else {
      EXPECT_TRUE(route["company"].is_null());
    }
    EXPECT_EQ(route["company_length"], g.companies[r] ? ShiftJisLength(*g.companies[r]) : 0);
    if (g.companies[r]) {
      EXPECT_EQ(route["company_name"], *g.companies[r]);
    }
    EXPECT_EQ(route["word"], given["word"]);
    EXPECT_EQ(route["byte"], given["byte"]);
    EXPECT_EQ(route["trailer"], given["trailer"]);
    ASSERT_EQ(route["stops"].size(), given["stops"].size());
    EXPECT_EQ(route["station_count"], given["stops"].size());
    for (std::size_t j = 0; j < given["stops"].size(); ++j) {
      EXPECT_EQ(route["stops"][j]["station"], station_index.at(given["stops"][j]["station"]));
      EXPECT_EQ(route["stops"][j]["companion"], given["stops"][j]["companion"]);
    }
  }

  std::map<std::string, std::size_t> route_index;
  for (std::size_t r = 0; r < d["routes"].size(); ++r) route_index[d["routes"][r]["name"]] = r;
  const std::size_t file_nodes = d["nodes"].size();
  ASSERT_EQ(out["nodes"].size(), file_nodes + 20);
  std::size_t edge_total = 0;
  for (std::size_t i = 0; i < out["nodes"].size(); ++i) {
    const ordered_json& node = out["nodes"][i];
    SCOPED_TRACE("node " + std::to_string(i));
    if (i < 2 || i >= file_nodes) {
      EXPECT_EQ(node["word_a"], 0);
      EXPECT_EQ(node["word_b"], 0);
      EXPECT_TRUE(node["first_edge"].is_null());
      EXPECT_EQ(node["edges"], ordered_json::array());
      if (i < file_nodes) edge_total += d["nodes"][i]["edges"].size();
      continue;
    }
    const json& given = d["nodes"][i];
    EXPECT_EQ(node["word_a"],
              given.contains("station") ? station_index.at(given["station"]) : given["word_a"].get<std::size_t>());
    EXPECT_EQ(node["word_b"],
              given.contains("route") ? route_index.at(given["route"]) : given["word_b"].get<std::size_t>());
    ASSERT_EQ(node["edges"].size(), given["edges"].size());
    for (std::size_t j = 0; j < given["edges"].size(); ++j) {
      EXPECT_EQ(node["edges"][j]["target"], NodeIndex(given["edges"][j]["to"]) & 0x7FFF);
      EXPECT_EQ(node["edges"][j]["value"], given["edges"][j]["value"]);
    }
    EXPECT_EQ(node["first_edge"], given["edges"].empty() ? ordered_json(nullptr) : ordered_json(edge_total));
    edge_total += given["edges"].size();
  }
  EXPECT_EQ(out["edge_count"], edge_total);
}

TEST_P(GeneratedNetwork, IntermediateDumpShowsTheDescription) {
  const Shape shape = GetParam();
  const Generated g = Generate(shape.seed, shape.stations, shape.routes, shape.nodes);
  TempDir dir;
  WriteText(dir / "network.json", g.description.dump());
  ASSERT_EQ(RunFenwamake(dir.Path(), {"network.json", "network.dat"}).status, 0);
  const DumpRun dump = DumpFile(dir.Path(), "network.dat");
  ASSERT_EQ(dump.run.status, 0) << dump.run.err;
  const ordered_json& out = dump.json;
  EXPECT_EQ(out["kind"], "intermediate");
  EXPECT_EQ(out["header"]["magic"], "4144341a");
  EXPECT_EQ(out["header"]["station_count"], shape.stations);
  EXPECT_EQ(out["header"]["route_count"], shape.routes);
  EXPECT_EQ(out["header"]["node_count"], shape.nodes);
  ASSERT_EQ(out["routes"].size(), g.description["routes"].size());
  for (std::size_t r = 0; r < g.companies.size(); ++r) {
    EXPECT_EQ(out["routes"][r]["name"], g.description["routes"][r]["name"]);
    if (g.companies[r]) {
      EXPECT_EQ(out["routes"][r]["company_name"], *g.companies[r]);
    } else {
      EXPECT_FALSE(out["routes"][r].contains("company_name"));
    }
  }
  ASSERT_EQ(out["nodes"].size(), g.description["nodes"].size());
  for (std::size_t i = 0; i < out["nodes"].size(); ++i) {
    const json& edges = g.description["nodes"][i]["edges"];
    ASSERT_EQ(out["nodes"][i]["edges"].size(), edges.size());
    for (std::size_t j = 0; j < edges.size(); ++j)
      EXPECT_EQ(out["nodes"][i]["edges"][j]["target"], NodeIndex(edges[j]["to"]));  // bit 15 as given
  }
}

TEST_P(GeneratedNetwork, DumpsOfItsFileAndImageMakeThemAgainAndTakeEdits) {
  const Shape shape = GetParam();
  ExpectRoundTrips(Generate(shape.seed, shape.stations, shape.routes, shape.nodes).description);
}

INSTANTIATE_TEST_SUITE_P(Shapes, GeneratedNetwork,
                         testing::Values(Shape{1, 0, 0, 0}, Shape{2, 0, 1, 0}, Shape{3, 1, 2, 2}, Shape{4, 3, 1, 5},
                                         Shape{5, 12, 8, 20}, Shape{6, 40, 12, 30}, Shape{7, 25, 20, 3},
                                         Shape{8, 5, 30, 60}),
                         [](const auto& param_info) {
                           const Shape& s = param_info.param;
                           return "Seed" + std::to_string(s.seed) + "_" + std::to_string(s.stations) + "Stations" +
                                  std::to_string(s.routes) + "Routes" + std::to_string(s.nodes) + "Nodes";
                         });

}  // namespace

namespace {

// The largest input the converter accepts: every table within a few bytes of
// its record limit, a string pool not laid out string after string, and
// edges that nodes 0 and 1 own.
class LargestInput : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    samples::WriteNetworkFile(*dir_ / "network.dat", samples::Largest());
    const RunResult convert = RunFenwaimg(dir_->Path(), {"network.dat"});
    ASSERT_EQ(convert.status, 0) << convert.out << convert.err;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static TempDir* dir_;
};
TempDir* LargestInput::dir_ = nullptr;

TEST_F(LargestInput, DumpsOfItsFileAndImageMakeThemAgain) { ExpectDumpsMakeTheFilesAgain(dir_->Path()); }

// Full tables leave room for no new station, route, stop or byte of string:
// station 0 is renamed to a name the table holds, a stop moves to another
// station, and the last route gives way to a new route 1 that takes its stops
// (every company's number moves up by one). Made in either dump, the edits
// give the file (and so the image) the same edits give the builder.
TEST_F(LargestInput, EditsInEitherDumpMeanWhatTheySay) {
  NetworkDescription network = samples::Largest();
  network.stations[0].name_string = 5;  // the first string that reads so
  network.routes[2].stops[0].station = 7;
  RouteDescription route = network.routes.back();
  network.routes.pop_back();
  route.name_index = 3;
  network.routes.insert(network.routes.begin() + 1, route);
  TempDir expected;
  samples::WriteNetworkFile(expected / "network.dat", network);
  ASSERT_EQ(RunFenwaimg(expected.Path(), {"network.dat"}).status, 0);

  for (const char* file : {"fenwaimg.pdb", "network.dat"}) {
    SCOPED_TRACE(file);
    ordered_json dump = DumpTo(dir_->Path(), file, "dump.json");
    ASSERT_EQ(dump["routes"].size(), samples::kMostRoutes);
    const std::string renamed = dump["strings"][5]["text"];
    dump["stations"][0]["name"] = renamed;
    dump["routes"][2]["stops"][0]["station"] = 7;
    ordered_json added = dump["routes"].back();
    dump["routes"].erase(dump["routes"].size() - 1);
    for (const char* derived : {"name_index", "company", "company_name"}) added.erase(derived);
    added["name"] = dump["strings"][3]["text"];
    dump["routes"].insert(dump["routes"].begin() + 1, added);
    WriteText(dir_->Path() / "edited.json", dump.dump());
    const std::string moved = "fenwamake: edited.json: warning: routes: " + std::to_string(samples::kMostRoutes - 1) +
                              " entries are not where their index says (routes[1] has index " +
                              std::to_string(samples::kMostRoutes - 1) +
                              ", routes[2] has index 1, routes[3] has index 2, routes[4] has index 3, routes[5] has "
                              "index 4, routes[6] has index 5, routes[7] has index 6, routes[8] has index 7, "
                              "routes[9] has index 8, routes[10] has index 9, … and " +
                              std::to_string(samples::kMostRoutes - 11) +
                              " more): fenwamake goes by place, not by index, so a node's word_b means the route at "
                              "its place\n";
    EXPECT_TRUE(ImageOf(dir_->Path(), "edited.json", moved) == ReadBytes(expected / "fenwaimg.pdb"));
    if (std::string(file) == "network.dat") {
      EXPECT_TRUE(ReadBytes(dir_->Path() / "edited.json.dat") == ReadBytes(expected / "network.dat"));
    }
  }
}

std::size_t CodePoints(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The summary fits in a screenful of 80 by 24, with every company's line
// short, also when every route's company number is wrong.
TEST_F(LargestInput, SummaryFitsInAScreenful) {
  Bytes image = ReadBytes(*dir_ / "fenwaimg.pdb");
  const RunResult summary = RunFenwadump(dir_->Path(), {"--summary", "fenwaimg.pdb"});
  EXPECT_EQ(summary.status, 0) << summary.err;
  const Database db = ParseDatabase(image);
  const std::size_t rose = db.offsets[image::TableRecord(image::kRouteTable)];
  for (std::size_t r = 1; r < samples::kMostRoutes; ++r)
    image[rose + image::route::kSize * r + image::route::kCompany.offset + 1] ^= 0x01;
  const Document damaged = InspectBytes(image);
  ASSERT_EQ(ProblemsOf(damaged).size(), samples::kMostRoutes - 1);
  const std::vector<std::string> summaries = {summary.out, "fenwaimg.pdb: " + Summarize(damaged)};
  for (const std::string& text : summaries) {
    std::istringstream lines(text);
    std::vector<std::string> shown;
    for (std::string line; std::getline(lines, line);) shown.push_back(line);
    EXPECT_LE(shown.size(), 24u) << text;
    for (const std::string& line : shown) EXPECT_LE(CodePoints(line), 80u) << line;
    EXPECT_NE(text.find("… and 30 more companies"), std::string::npos) << text;
    ASSERT_GE(shown.size(), 2u);
    if (&text == &summaries.back()) {
      EXPECT_EQ(shown[1], "  4680 problems:");
      EXPECT_NE(text.find("… and 4675 more problems"), std::string::npos) << text;
    }
  }
}

}  // namespace
