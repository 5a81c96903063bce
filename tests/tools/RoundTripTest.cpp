// JSON description -> fenwamake -> fenwaimg -> fenwadump: the tables come back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "tests/support/ToolRun.h"

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

TEST(SampleNetwork, SummaryListsTheCompaniesInGroupingOrder) {
  TempDir dir;
  MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  const RunResult summary = RunFenwadump(dir.Path(), {"--summary", "fenwaimg.pdb"});
  EXPECT_EQ(summary.status, 0) << summary.err;
  const std::vector<std::string> lines = {"0 東都急行: 東都急行本線 (5 stops), 東都急行空港線 (3 stops)",
                                          "1 北辰電鉄: 北辰電鉄北辰線 (4 stops), 北辰電鉄白樺支線 (3 stops)",
                                          "2 湾岸高速鉄道: 湾岸高速鉄道臨海線 (3 stops)",
                                          "3 (no company): みなと環状線 (5 stops)", "no problems"};
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
            "fenwamake: 絵文字入り.json: strings[0]: \"電車🚃\" has a character that Shift_JIS cannot hold\n");
  const RunResult missing = RunFenwadump(dir.Path(), {"無い.pdb"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "fenwadump: 無い.pdb: cannot open it\n");
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
