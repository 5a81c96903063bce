// fenwadump --diff: the sample network against copies with one kind of edit
// each, and with all of them, in every pairing of the four kinds of file
// (description, intermediate file, image, dump of either); the largest input
// against a copy with 100 scattered edits; its JSON, its picture and its
// refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "driver/Convert.h"
#include "tests/support/ScatteredEdits.h"
#include "tests/support/ToolRun.h"
#include "toolkit/Tools.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

// ---------------------------------------------------------------------------
// Editing the sample's description.

ordered_json& Named(ordered_json& list, const std::string& name) {
  for (ordered_json& item : list)
    if (item.value("name", "") == name || item.value("id", "") == name) return item;
  throw std::invalid_argument("the sample has no " + name);
}

// Every reference to a station or route by name follows it.
void Rename(ordered_json& d, const char* table, const char* field, const std::string& from, const std::string& to) {
  Named(d[table], from)["name"] = to;
  for (ordered_json& route : d["routes"])
    for (ordered_json& stop : route["stops"])
      if (std::string(field) == "station" && stop["station"] == from) stop["station"] = to;
  for (ordered_json& node : d["nodes"])
    if (node.contains(field) && node[field] == from) node[field] = to;
}

void RemoveEdgesTo(ordered_json& d, const std::string& node_id) {
  for (ordered_json& node : d["nodes"]) {
    if (!node.contains("edges")) continue;
    ordered_json kept = ordered_json::array();
    for (const ordered_json& edge : node["edges"])
      if (edge["to"] != node_id) kept.push_back(edge);
    node["edges"] = kept;
  }
}

void RemoveNamed(ordered_json& list, const std::string& name) {
  list.erase(list.begin() + (&Named(list, name) - &list[0]));
}

void RenameStation(ordered_json& d) { Rename(d, "stations", "station", "北町", "北町駅"); }

// Inserted in the middle of the table and first in the name order, whose other words move up.
void InsertStation(ordered_json& d) {
  for (ordered_json& station : d["stations"])
    if (station["sort"] >= 4) station["sort"] = station["sort"].get<int>() + 1;
  d["stations"].insert(d["stations"].begin() + 8,
                       ordered_json::object({{"name", "新駅"}, {"word_b", 1}, {"sort", 4}, {"kana_sort", 16}}));
  Named(d["routes"], "東都急行本線")["stops"].push_back({{"station", "新駅"}, {"companion", 22}});
  d["nodes"].push_back({{"id", "新駅"},
                        {"station", "新駅"},
                        {"route", "東都急行本線"},
                        {"edges", {{{"to", "星見台 東都急行本線"}, {"value", 4}}}}});
  Named(d["nodes"], "星見台 東都急行本線")["edges"].push_back({{"to", "新駅"}, {"value", 4}});
}

void RemoveStation(ordered_json& d) {
  RemoveNamed(d["stations"], "北辰湖");
  ordered_json& stops = Named(d["routes"], "北辰電鉄北辰線")["stops"];
  stops.erase(stops.end() - 1);
  RemoveNamed(d["nodes"], "北辰湖 北辰電鉄北辰線");
  RemoveEdgesTo(d, "北辰湖 北辰電鉄北辰線");
}

void ReorderStops(ordered_json& d) {
  ordered_json& stops = Named(d["routes"], "みなと環状線")["stops"];
  std::swap(stops[1], stops[2]);
}

void RenameRoute(ordered_json& d) { Rename(d, "routes", "route", "みなと環状線", "みなと環状本線"); }

void AddRoute(ordered_json& d) {
  d["routes"].push_back(
      {{"name", "山手電鉄山線"},
       {"company", "山手電鉄"},
       {"word", 1},
       {"byte", 2},
       {"trailer", 40},
       {"stops", {{{"station", "高原"}, {"companion", 0}}, {{"station", "緑山"}, {"companion", 9}}}}});
}

void RemoveRoute(ordered_json& d) {
  RemoveNamed(d["routes"], "湾岸高速鉄道臨海線");
  for (const char* node : {"潮見 湾岸高速鉄道臨海線", "港南 湾岸高速鉄道臨海線", "海浜公園 湾岸高速鉄道臨海線"}) {
    RemoveNamed(d["nodes"], node);
    RemoveEdgesTo(d, node);
  }
}

void MoveRouteToACompany(ordered_json& d) {
  ordered_json& route = Named(d["routes"], "みなと環状線");
  route["company"] = "みなと";
}

void ChangeWords(ordered_json& d) {
  Named(d["stations"], "緑山")["word_b"] = 2;
  ordered_json& route = Named(d["routes"], "北辰電鉄北辰線");
  route["word"] = 32;
  route["trailer"] = 181;
  Named(d["routes"], "東都急行本線")["stops"][2]["companion"] = 10;
}

void ChangeGraph(ordered_json& d) {
  Named(d["nodes"], "中央 東都急行本線")["edges"][0]["value"] = 5;
  Named(d["nodes"], "星見台 東都急行本線")["edges"].push_back({{"to", "中央 東都急行本線"}, {"value", 30}});
  Named(d["nodes"], "北辰湖 北辰電鉄北辰線")["edges"] = ordered_json::array();
}

void AddString(ordered_json& d) { d["strings"].push_back("追加の文字列"); }

// The same network with its string table laid out otherwise.
void ReorderStrings(ordered_json& d) { std::swap(d["strings"][0], d["strings"][1]); }

// A second 中央 first in the table, on no route: every stop and node keeps the first by number.
void InsertNamesake(ordered_json& d) {
  for (ordered_json& route : d["routes"])
    for (ordered_json& stop : route["stops"])
      if (stop["station"] == "中央") stop["station"] = 1;
  for (ordered_json& node : d["nodes"])
    if (node.value("station", "") == "中央") node["station"] = 1;
  d["stations"].insert(d["stations"].begin(),
                       ordered_json::object({{"name", "中央"}, {"sort", 16}, {"kana_sort", 16}}));
}

// みなと環状線 closed into a loop: back to 中央 at its end.
void CloseTheLoop(ordered_json& d) {
  Named(d["routes"], "みなと環状線")["stops"].push_back({{"station", "中央"}, {"companion", 7}});
}

// The loop starts at its second stop: the 中央 it loses is the first, not the last.
void LoopLosesItsFirstStop(ordered_json& d) {
  CloseTheLoop(d);
  ordered_json& stops = Named(d["routes"], "みなと環状線")["stops"];
  stops.erase(stops.begin());
}

// 北辰電鉄白樺支線 the other way round, its nodes too, each with the edge to
// the stop before it first: the middle node keeps its number and its edges'
// numbers, which now lead to the other ends.
void ReverseRoute(ordered_json& d) {
  ordered_json& stops = Named(d["routes"], "北辰電鉄白樺支線")["stops"];
  std::reverse(stops.begin(), stops.end());
  ordered_json& nodes = d["nodes"];
  const auto first = nodes.begin() + (&Named(nodes, "白樺 北辰電鉄白樺支線") - &nodes[0]);
  std::reverse(first, first + 3);
  ordered_json& middle = Named(nodes, "高原 北辰電鉄白樺支線")["edges"];
  std::reverse(middle.begin(), middle.end());
}

// 北辰湖 renamed 北町, a namesake of the 北町 two places before it; every
// reference to either by number.
void MakeNamesakes(ordered_json& d) {
  for (ordered_json& route : d["routes"])
    for (ordered_json& stop : route["stops"])
      for (auto [name, number] : {std::pair{"北町", 5}, {"北辰湖", 7}})
        if (stop["station"] == name) stop["station"] = number;
  for (ordered_json& node : d["nodes"])
    for (auto [name, number] : {std::pair{"北町", 5}, {"北辰湖", 7}})
      if (node.contains("station") && node["station"] == name) node["station"] = number;
  Named(d["stations"], "北辰湖")["name"] = "北町";
}

// The two 北町 trade places in the table, and every reference follows them;
// 白樺 between them stays.
void SwapNamesakes(ordered_json& d) {
  MakeNamesakes(d);
  std::swap(d["stations"][5], d["stations"][7]);
  for (ordered_json& route : d["routes"])
    for (ordered_json& stop : route["stops"])
      if (stop["station"] == 5 || stop["station"] == 7) stop["station"] = 12 - stop["station"].get<int>();
  for (ordered_json& node : d["nodes"])
    if (node.contains("station") && (node["station"] == 5 || node["station"] == 7))
      node["station"] = 12 - node["station"].get<int>();
}

void AllTogether(ordered_json& d) {
  for (const auto& edit : {RenameStation, ChangeWords, ChangeGraph, ReorderStops, MoveRouteToACompany, RenameRoute,
                           AddString, AddRoute, InsertStation, RemoveStation, RemoveRoute})
    edit(d);
}

struct Edit {
  const char* label;
  void (*apply)(ordered_json&);
  std::vector<std::string> lines;           // what --diff prints below its first two lines
  void (*before)(ordered_json&) = nullptr;  // the old side: the sample, or the sample so edited
};

const std::vector<Edit>& Edits();

// ---------------------------------------------------------------------------
// The four kinds of file of a description.

struct Files {
  std::string description, intermediate, image, file_dump, image_dump;
};

Files FilesOf(const ordered_json& description) {
  Files files;
  files.description = description.dump(2);
  const ToolOutput made = RunFenwamake(files.description, "network.json", MakeOptions{});
  EXPECT_EQ(made.status, tool_status::kSuccess) << made.err;
  files.intermediate.assign(made.file.begin(), made.file.end());
  const Conversion converted = ConvertInMemory(made.file, "network.dat");
  EXPECT_EQ(converted.status, 0) << converted.Error();
  files.image.assign(converted.image.begin(), converted.image.end());
  for (auto [bytes, dump] : {std::pair{&files.intermediate, &files.file_dump}, {&files.image, &files.image_dump}}) {
    MemorySource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
    *dump = ::RunFenwadump(source, "file", DumpRequest{}).out;
  }
  return files;
}

struct Kind {
  const char* name;
  std::string Files::*member;
};
constexpr Kind kKinds[] = {{"description.json", &Files::description},
                           {"network.dat", &Files::intermediate},
                           {"fenwaimg.pdb", &Files::image},
                           {"file-dump.json", &Files::file_dump},
                           {"image-dump.json", &Files::image_dump}};

const Files& SampleFiles() {
  static const Files files = FilesOf(ordered_json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  return files;
}

ToolOutput Diff(const std::string& old_bytes, const std::string& new_bytes, DiffRequest::Output output) {
  const auto span = [](const std::string& bytes) {
    return std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  };
  MemorySource old_source(span(old_bytes)), new_source(span(new_bytes));
  return RunDiff(old_source, "old", new_source, "new", DiffRequest{output});
}

std::vector<std::string> LinesAfterTheNames(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  if (lines.size() >= 2) lines.erase(lines.begin(), lines.begin() + 2);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class DiffOfTheSample : public testing::TestWithParam<Edit> {};

// In-process for every pairing; through the program for one pairing a row,
// which must print the same.
TEST_P(DiffOfTheSample, ReportsExactlyTheEditInEveryPairingOfFileKinds) {
  const Edit& edit = GetParam();
  ordered_json edited = ordered_json::parse(ReadText(FENWA_SAMPLE_NETWORK));
  ordered_json before = edited;
  if (edit.before) edit.before(before);
  const Files old_files = edit.before ? FilesOf(before) : SampleFiles();
  if (edit.apply) edit.apply(edited);
  const Files files = FilesOf(edited);
  for (const Kind& old_kind : kKinds) {
    for (const Kind& new_kind : kKinds) {
      SCOPED_TRACE(std::string(old_kind.name) + " -> " + new_kind.name);
      const ToolOutput run = Diff(old_files.*old_kind.member, files.*new_kind.member, DiffRequest::Output::kText);
      std::vector<std::string> expected = edit.lines;
      if (!edit.apply) {
        expected = {&old_kind == &new_kind ? "no difference: the same bytes"
                                           : "no difference: the two make the same fenwaimg.pdb, though their bytes "
                                             "differ"};
      }
      EXPECT_EQ(Joined(LinesAfterTheNames(run.out)), Joined(expected));
      EXPECT_EQ(run.status, edit.apply ? 1 : 0);
      EXPECT_EQ(run.err, "");
    }
  }
  const std::size_t row = static_cast<std::size_t>(&edit - &Edits()[0]);
  const Kind &old_kind = kKinds[row % 5], &new_kind = kKinds[(row * 2 + 1) % 5];
  TempDir dir;
  WriteText(dir / (std::string("old-") + old_kind.name), old_files.*old_kind.member);
  WriteText(dir / new_kind.name, files.*new_kind.member);
  const RunResult program = RunFenwadump(dir.Path(), {"--diff", std::string("old-") + old_kind.name, new_kind.name});
  EXPECT_EQ(program.status, edit.apply ? 1 : 0) << program.err;
  EXPECT_EQ(Joined(LinesAfterTheNames(program.out)),
            Joined(LinesAfterTheNames(
                Diff(old_files.*old_kind.member, files.*new_kind.member, DiffRequest::Output::kText).out)));
}

const std::vector<Edit>& Edits() {
  static const std::vector<Edit> edits = {
      {"Unchanged", nullptr, {}},
      {"StationRenamed",
       RenameStation,
       {"stations: 1 renamed", "  ~ station 5 \"北町\" renamed \"北町駅\"", "image header: 1 changed",
        "  ~ pool_size 247 -> 249"}},
      {"StationInserted",
       InsertStation,
       {"stations: 1 added", "  + station 8 \"新駅\"", "sort orders: 1 shifted",
        "  ~ sort: 12 stations keep their place in the order under another word", "stops: 1 gained",
        "  + route 1 \"東都急行本線\" stop 5 \"新駅\"", "graph nodes: 1 added",
        "  + node 25 (\"新駅\", \"東都急行本線\")", "graph edges: 2 added",
        "  + edge node 6 (\"星見台\", \"東都急行本線\") -> node 25 (\"新駅\", \"東都急行本線\"): value 4",
        "  + edge node 25 (\"新駅\", \"東都急行本線\") -> node 6 (\"星見台\", \"東都急行本線\"): value 4",
        "image header: 7 changed", "  ~ station_count 16 -> 17", "  ~ string_count 25 -> 26",
        "  ~ pool_size 247 -> 252", "  ~ rstat_capacity 32 -> 34", "  ~ node_total 45 -> 46",
        "  ~ file_node_count 25 -> 26", "  ~ edge_count 50 -> 52"}},
      {"StationRemoved",
       RemoveStation,
       {"stations: 1 removed", "  - station 7 \"北辰湖\"", "stops: 1 lost",
        "  - route 2 \"北辰電鉄北辰線\" stop 3 \"北辰湖\"", "graph nodes: 1 removed",
        "  - node 10 (\"北辰湖\", \"北辰電鉄北辰線\")", "graph edges: 2 removed",
        "  - edge node 9 (\"白樺\", \"北辰電鉄北辰線\") -> node 10 (\"北辰湖\", \"北辰電鉄北辰線\"): value 9",
        "  - edge node 10 (\"北辰湖\", \"北辰電鉄北辰線\") -> node 9 (\"白樺\", \"北辰電鉄北辰線\"): value 9",
        "image header: 7 changed", "  ~ station_count 16 -> 15", "  ~ string_count 25 -> 24",
        "  ~ pool_size 247 -> 240", "  ~ rstat_capacity 32 -> 30", "  ~ node_total 45 -> 44",
        "  ~ file_node_count 25 -> 24", "  ~ edge_count 50 -> 48"}},
      {"StopsReordered",
       ReorderStops,
       {"stops: 1 moved", "  ~ route 5 \"みなと環状線\" stop 1 \"旧市街\" moved to stop 2"}},
      {"RouteRenamed",
       RenameRoute,
       {"routes: 1 renamed", "  ~ route 5 \"みなと環状線\" renamed \"みなと環状本線\"", "image header: 1 changed",
        "  ~ pool_size 247 -> 249"}},
      {"RouteAdded",
       AddRoute,
       {"routes: 1 added", "  + route 7 \"山手電鉄山線\": stops \"高原\", \"緑山\"", "companies: 1 added",
        "  + company \"山手電鉄\": route 7 \"山手電鉄山線\"", "image header: 3 changed", "  ~ route_count 7 -> 8",
        "  ~ string_count 25 -> 26", "  ~ pool_size 247 -> 260"}},
      {"RouteRemoved",
       RemoveRoute,
       {"routes: 1 removed",
        "  - route 4 \"湾岸高速鉄道臨海線\": stops \"潮見\", \"港南\", \"海浜公園\"",
        "companies: 1 removed",
        "  - company \"湾岸高速鉄道\": route 4 \"湾岸高速鉄道臨海線\"",
        "graph nodes: 3 removed",
        "  - node 14 (\"潮見\", \"湾岸高速鉄道臨海線\")",
        "  - node 15 (\"港南\", \"湾岸高速鉄道臨海線\")",
        "  - node 16 (\"海浜公園\", \"湾岸高速鉄道臨海線\")",
        "graph edges: 8 removed",
        "  - edge node 12 (\"潮見\", \"東都急行空港線\") -> node 14 (\"潮見\", \"湾岸高速鉄道臨海線\"): value 3",
        "  - edge node 14 (\"潮見\", \"湾岸高速鉄道臨海線\") -> node 15 (\"港南\", \"湾岸高速鉄道臨海線\"): value 5",
        "  - edge node 14 (\"潮見\", \"湾岸高速鉄道臨海線\") -> node 12 (\"潮見\", \"東都急行空港線\"): value 3",
        "  - edge node 15 (\"港南\", \"湾岸高速鉄道臨海線\") -> node 14 (\"潮見\", \"湾岸高速鉄道臨海線\"): value 5",
        "  - edge node 15 (\"港南\", \"湾岸高速鉄道臨海線\") -> node 16 (\"海浜公園\", \"湾岸高速鉄道臨海線\"): value "
        "4",
        "  - edge node 15 (\"港南\", \"湾岸高速鉄道臨海線\") -> node 19 (\"港南\", \"みなと環状線\"): value 3",
        "  - edge node 16 (\"海浜公園\", \"湾岸高速鉄道臨海線\") -> node 15 (\"港南\", \"湾岸高速鉄道臨海線\"): value "
        "4",
        "  - edge node 19 (\"港南\", \"みなと環状線\") -> node 15 (\"港南\", \"湾岸高速鉄道臨海線\"): value 3",
        "image header: 6 changed",
        "  ~ route_count 7 -> 6",
        "  ~ string_count 25 -> 24",
        "  ~ pool_size 247 -> 228",
        "  ~ node_total 45 -> 42",
        "  ~ file_node_count 25 -> 22",
        "  ~ edge_count 50 -> 42"}},
      {"RouteMovedToACompany",
       MoveRouteToACompany,
       {"companies: 1 added, 1 removed, 1 moved", "  + company \"みなと\": route 5 \"みなと環状線\"",
        "  - company (no company): route 5 \"みなと環状線\"",
        "  ~ route 5 \"みなと環状線\" moved from (no company) to \"みなと\""}},
      {"WordsChanged",
       ChangeWords,
       {"stations: 1 changed", "  ~ station 3 \"緑山\": word_b 1 -> 2", "routes: 1 changed",
        "  ~ route 2 \"北辰電鉄北辰線\": word 31 -> 32, trailer 180 -> 181", "stops: 1 changed",
        "  ~ route 1 \"東都急行本線\" stop 2 \"若葉台\": companion 9 -> 10"}},
      {"GraphChanged",
       ChangeGraph,
       {"graph edges: 1 added, 1 removed, 1 changed",
        "  + edge node 6 (\"星見台\", \"東都急行本線\") -> node 2 (\"中央\", \"東都急行本線\"): value 30",
        "  - edge node 10 (\"北辰湖\", \"北辰電鉄北辰線\") -> node 9 (\"白樺\", \"北辰電鉄北辰線\"): value 9",
        "  ~ edge node 2 (\"中央\", \"東都急行本線\") -> node 3 (\"桜ヶ丘\", \"東都急行本線\"): value 4 -> 5"}},
      {"StringAdded",
       AddString,
       {"other strings: 1 added", "  + string \"追加の文字列\"", "image header: 2 changed", "  ~ string_count 25 -> 26",
        "  ~ pool_size 247 -> 260"}},
      {"StringsReordered",
       ReorderStrings,
       {"other regions of the image: 2 differ", "  ~ table STRI", "  ~ table STRP"}},
      {"NamesakeInserted",
       InsertNamesake,
       {"stations: 1 added", "  + station 0 \"中央\"", "image header: 2 changed", "  ~ station_count 16 -> 17",
        "  ~ rstat_capacity 32 -> 34"}},
      {"AllTogether",
       AllTogether,
       {"stations: 1 added, 1 removed, 1 renamed, 1 changed",
        "  + station 7 \"新駅\"",
        "  - station 7 \"北辰湖\"",
        "  ~ station 5 \"北町\" renamed \"北町駅\"",
        "  ~ station 3 \"緑山\": word_b 1 -> 2",
        "sort orders: 1 shifted",
        "  ~ sort: 11 stations keep their place in the order under another word",
        "routes: 1 added, 1 removed, 1 renamed, 1 changed",
        "  + route 6 \"山手電鉄山線\": stops \"高原\", \"緑山\"",
        "  - route 4 \"湾岸高速鉄道臨海線\": stops \"潮見\", \"港南\", \"海浜公園\"",
        "  ~ route 5 (now 4) \"みなと環状線\" renamed \"みなと環状本線\"",
        "  ~ route 2 \"北辰電鉄北辰線\": word 31 -> 32, trailer 180 -> 181",
        "stops: 1 gained, 1 lost, 1 moved, 1 changed",
        "  + route 1 \"東都急行本線\" stop 5 \"新駅\"",
        "  ~ route 1 \"東都急行本線\" stop 2 \"若葉台\": companion 9 -> 10",
        "  - route 2 \"北辰電鉄北辰線\" stop 3 \"北辰湖\"",
        "  ~ route 4 \"みなと環状本線\" stop 1 \"旧市街\" moved to stop 2",
        "companies: 2 added, 2 removed, 1 moved",
        "  + company \"みなと\": route 4 \"みなと環状本線\"",
        "  + company \"山手電鉄\": route 6 \"山手電鉄山線\"",
        "  - company \"湾岸高速鉄道\": route 4 \"湾岸高速鉄道臨海線\"",
        "  - company (no company): route 5 \"みなと環状線\"",
        "  ~ route 4 \"みなと環状本線\" moved from (no company) to \"みなと\"",
        "graph nodes: 1 added, 4 removed",
        "  + node 21 (\"新駅\", \"東都急行本線\")",
        "  - node 10 (\"北辰湖\", \"北辰電鉄北辰線\")",
        "  - node 14 (\"潮見\", \"湾岸高速鉄道臨海線\")",
        "  - node 15 (\"港南\", \"湾岸高速鉄道臨海線\")",
        "  - node 16 (\"海浜公園\", \"湾岸高速鉄道臨海線\")",
        "graph edges: 3 added, 10 removed, 1 changed",
        "  + edge node 6 (\"星見台\", \"東都急行本線\") -> node 2 (\"中央\", \"東都急行本線\"): value 30",
        "  + edge node 6 (\"星見台\", \"東都急行本線\") -> node 21 (\"新駅\", \"東都急行本線\"): value 4",
        "  + edge node 21 (\"新駅\", \"東都急行本線\") -> node 6 (\"星見台\", \"東都急行本線\"): value 4",
        "  - edge node 9 (\"白樺\", \"北辰電鉄北辰線\") -> node 10 (\"北辰湖\", \"北辰電鉄北辰線\"): value 9",
        "  - edge node 10 (\"北辰湖\", \"北辰電鉄北辰線\") -> node 9 (\"白樺\", \"北辰電鉄北辰線\"): value 9",
        "  - edge node 12 (\"潮見\", \"東都急行空港線\") -> node 14 (\"潮見\", \"湾岸高速鉄道臨海線\"): value 3",
        "  - edge node 14 (\"潮見\", \"湾岸高速鉄道臨海線\") -> node 15 (\"港南\", \"湾岸高速鉄道臨海線\"): value 5",
        "  - edge node 14 (\"潮見\", \"湾岸高速鉄道臨海線\") -> node 12 (\"潮見\", \"東都急行空港線\"): value 3",
        "  - edge node 15 (\"港南\", \"湾岸高速鉄道臨海線\") -> node 14 (\"潮見\", \"湾岸高速鉄道臨海線\"): value 5",
        "  - edge node 15 (\"港南\", \"湾岸高速鉄道臨海線\") -> node 16 (\"海浜公園\", \"湾岸高速鉄道臨海線\"): value "
        "4",
        "  - edge node 15 (\"港南\", \"湾岸高速鉄道臨海線\") -> node 19 (\"港南\", \"みなと環状線\"): value 3",
        "  - edge node 16 (\"海浜公園\", \"湾岸高速鉄道臨海線\") -> node 15 (\"港南\", \"湾岸高速鉄道臨海線\"): value "
        "4",
        "  - edge node 19 (\"港南\", \"みなと環状線\") -> node 15 (\"港南\", \"湾岸高速鉄道臨海線\"): value 3",
        "  ~ edge node 2 (\"中央\", \"東都急行本線\") -> node 3 (\"桜ヶ丘\", \"東都急行本線\"): value 4 -> 5",
        "other strings: 1 added",
        "  + string \"追加の文字列\"",
        "image header: 5 changed",
        "  ~ string_count 25 -> 26",
        "  ~ pool_size 247 -> 256",
        "  ~ node_total 45 -> 42",
        "  ~ file_node_count 25 -> 22",
        "  ~ edge_count 50 -> 43"}},
      {"LoopLosesItsFirstStop",
       LoopLosesItsFirstStop,
       {"stops: 1 lost", "  - route 5 \"みなと環状線\" stop 0 \"中央\""},
       CloseTheLoop},
      {"RouteReversed",
       ReverseRoute,
       {"stops: 2 moved", "  ~ route 6 \"北辰電鉄白樺支線\" stop 0 \"白樺\" moved to stop 2",
        "  ~ route 6 \"北辰電鉄白樺支線\" stop 2 \"牧場前\" moved to stop 0", "graph nodes: 2 moved, 1 changed",
        "  ~ node 22 (now 24) (\"白樺\", \"北辰電鉄白樺支線\") moved",
        "  ~ node 24 (now 22) (\"牧場前\", \"北辰電鉄白樺支線\") moved",
        "  ~ node 23 (\"高原\", \"北辰電鉄白樺支線\"): edges \"白樺, 牧場前\" -> \"牧場前, 白樺\""}},
      {"NamesakesSwapped",
       SwapNamesakes,
       {"stations: 2 moved", "  ~ station 5 (now 7) \"北町\" moved", "  ~ station 7 (now 5) \"北町\" moved"},
       MakeNamesakes},
  };
  return edits;
}

INSTANTIATE_TEST_SUITE_P(Edits, DiffOfTheSample, testing::ValuesIn(Edits()),
                         [](const auto& param_info) { return std::string(param_info.param.label); });

void PutByte(std::string& bytes, std::size_t offset, char value) { bytes.at(offset) = value; }

// --json for all the edits, for an undecodable name, for an image from
// elsewhere (other header fields, a problem) and for no difference: the
// schema accepts each, and each lists as many changes as the text.
TEST(Diff, JsonMatchesTheSchemaAndTheText) {
  TempDir dir;
  ordered_json edited = ordered_json::parse(ReadText(FENWA_SAMPLE_NETWORK));
  AllTogether(edited);
  edited["stations"].push_back({{"name", {{"hex", "82a0ff"}}}});
  WriteText(dir / "old.pdb", SampleFiles().image);
  WriteText(dir / "new.json", FilesOf(edited).description);
  std::string elsewhere = SampleFiles().image;
  PutByte(elsewhere, 63, 'b');  // the type "Datb"
  PutByte(elsewhere, 47, 1);    // a backup date
  WriteText(dir / "elsewhere.pdb", elsewhere);
  for (const auto& [name, edits] : {std::pair{"loop.json", std::vector{CloseTheLoop}},
                                    {"loop-lost.json", {LoopLosesItsFirstStop}},
                                    {"reversed.json", {ReverseRoute}},
                                    {"namesakes.json", {MakeNamesakes}},
                                    {"swapped.json", {SwapNamesakes}}}) {
    ordered_json network = ordered_json::parse(ReadText(FENWA_SAMPLE_NETWORK));
    for (const auto& edit : edits) edit(network);
    WriteText(dir / name, network.dump(2));
  }
  std::vector<std::string> outputs;
  std::map<std::string, ordered_json> differences;  // by the new file
  for (const auto& [old_file, new_file, status] : {std::tuple{"old.pdb", "new.json", 1},
                                                   {"old.pdb", "elsewhere.pdb", 1},
                                                   {"old.pdb", "old.pdb", 0},
                                                   {"loop.json", "loop-lost.json", 1},
                                                   {"old.pdb", "reversed.json", 1},
                                                   {"namesakes.json", "swapped.json", 1}}) {
    SCOPED_TRACE(new_file);
    const RunResult json = RunFenwadump(dir.Path(), {"--diff", "--json", old_file, new_file});
    const RunResult text = RunFenwadump(dir.Path(), {"--diff", old_file, new_file});
    EXPECT_EQ(json.status, status) << json.err;
    EXPECT_EQ(json.err, text.err);
    const ordered_json parsed = ordered_json::parse(json.out);
    std::size_t listed = 0;
    for (const char* list : {"stations", "sort_shifts", "routes", "stops", "companies", "nodes", "edges", "strings",
                             "image_header", "database", "regions"})
      listed += parsed[list].size();
    const std::vector<std::string> lines = LinesAfterTheNames(text.out);
    EXPECT_EQ(listed, std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == ' '; }));
    // Nothing is listed as changed or moved whose two sides are the same.
    for (const char* list : {"stations", "routes", "stops", "nodes", "image_header", "database"}) {
      for (const ordered_json& change : parsed[list]) {
        const bool moved = change.value("change", "") == "moved";
        EXPECT_FALSE(moved && change.contains("old_stop") && change["old_stop"] == change["new_stop"]) << change;
        EXPECT_FALSE(moved && change.contains("old") && change["old"]["number"] == change["new"]["number"]) << change;
        for (const ordered_json& field : change.contains("fields") ? change["fields"] : ordered_json::array())
          EXPECT_NE(field["old"], field["new"]) << change;
        EXPECT_FALSE(change.contains("field") && change["old"] == change["new"]) << change;
      }
    }
    differences[new_file] = parsed;
    outputs.push_back(std::string("diff-") + std::to_string(outputs.size()) + ".json");
    WriteText(dir / outputs.back(), json.out);
  }
  EXPECT_EQ(differences["loop-lost.json"]["stops"].dump(),
            R"([{"change":"lost","route":{"number":5,"name":"みなと環状線"},"station":{"number":0,"name":"中央"},)"
            R"("old_stop":0}])");
  EXPECT_EQ(differences["reversed.json"]["nodes"].back()["fields"].dump(),
            R"([{"field":"edges","old":"白樺, 牧場前","new":"牧場前, 白樺"}])");
  EXPECT_EQ(differences["swapped.json"]["stations"].dump(),
            R"([{"change":"moved","old":{"number":5,"name":"北町"},"new":{"number":7,"name":"北町"}},)"
            R"({"change":"moved","old":{"number":7,"name":"北町"},"new":{"number":5,"name":"北町"}}])");
  const RunResult elsewhere_text = RunFenwadump(dir.Path(), {"--diff", "old.pdb", "elsewhere.pdb"});
  EXPECT_EQ(Joined(LinesAfterTheNames(elsewhere_text.out)),
            "database header: 2 changed\n  ~ backup_date 0 -> 1\n  ~ type \"Data\" -> \"Datb\"\n");
  EXPECT_EQ(elsewhere_text.err,
            "fenwadump: elsewhere.pdb: 2 problems in the image, compared as far as it could be read (fenwadump "
            "elsewhere.pdb lists them)\n");
  if (!CheckAgainstSchema(dir.Path(), outputs)) GTEST_SKIP() << "python3-jsonschema is not installed";
}

// The picture of all the edits, and of a station whose name is longer than
// Graphviz reads, renders with the changed stations and the legend.
TEST(Diff, PictureRendersThroughGraphviz) {
  if (std::system("command -v dot >/dev/null 2>&1") != 0) GTEST_SKIP() << "Graphviz (dot) is not installed";
  TempDir dir;
  ordered_json edited = ordered_json::parse(ReadText(FENWA_SAMPLE_NETWORK));
  AllTogether(edited);
  edited["stations"].push_back({{"name", std::string(20000, 'x')}});
  WriteText(dir / "old.dat", SampleFiles().intermediate);
  WriteText(dir / "new.json", FilesOf(edited).description);
  const RunResult svg =
      RunCommand(dir.Path(), "/bin/sh",
                 {"-c", FenwadumpCommand() + " --diff --dot old.dat new.json >diff.dot; dot -Tsvg diff.dot"});
  ASSERT_EQ(svg.status, 0) << svg.err;
  for (const char* text : {">新駅<", ">北辰湖<", ">北町 → 北町駅<", ">みなと環状線 → みなと環状本線<", ">山手電鉄山線<",
                           ">湾岸高速鉄道臨海線<", ">added<", ">removed<", ">the same<", "xxx…<"})
    EXPECT_NE(svg.out.find(text), std::string::npos) << text;
}

// Wrong arguments and files that cannot be compared: status 2, a line that says why, nothing on standard output.
TEST(Diff, RefusesWhatItCannotCompare) {
  TempDir dir;
  WriteText(dir / "a.pdb", SampleFiles().image);
  WriteText(dir / "notes.txt", "just some text");
  WriteText(dir / "bad.json",
            R"({"stations": [{"name": "x"}], "routes": [{"name": "r", "stops": [{"station": "y"}]}]})");
  WriteText(dir / "cut.dat", SampleFiles().intermediate.substr(0, 200));
  WriteText(dir / "marked.json", "\xEF\xBB\xBF" + ReadText(dir / "bad.json"));
  WriteText(dir / "difference.json", R"({"kind": "difference"})");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--diff", "a.pdb"}, "fenwadump: --diff compares two files, OLD and NEW; given 1\n"},
      {{"--diff", "a.pdb", "a.pdb", "a.pdb"}, "fenwadump: --diff compares two files, OLD and NEW; given 3\n"},
      {{"--json", "a.pdb"}, "fenwadump: --json needs --diff (a dump is JSON already)\n"},
      {{"--diff", "--summary", "a.pdb", "a.pdb"}, "fenwadump: --diff takes --json or --dot, no other option\n"},
      {{"--diff", "--dot=graph", "a.pdb", "a.pdb"},
       "fenwadump: --dot=graph: --diff draws the network only; give --dot\n"},
      {{"--diff", "--json", "--dot", "a.pdb", "a.pdb"}, "fenwadump: give --json or --dot, not both\n"},
      {{"--diff", "a.pdb", "missing.pdb"}, "fenwadump: missing.pdb: cannot open it"},
      {{"--diff", "notes.txt", "a.pdb"},
       "fenwadump: notes.txt: neither an intermediate data file, a fenwaimg.pdb, nor a description or dump in JSON\n"},
      {{"--diff", "a.pdb", "bad.json"},
       "fenwadump: bad.json: fenwamake refuses it: line 1, column 66: routes[0].stops[0].station: no station is named "
       "\"y\"\n"},
      // Read as JSON past its byte order mark, the columns counted from the character after it.
      {{"--diff", "a.pdb", "marked.json"},
       "fenwadump: marked.json: fenwamake refuses it: line 1, column 66: routes[0].stops[0].station: no station is "
       "named \"y\"\n"},
      {{"--diff", "difference.json", "a.pdb"},
       "fenwadump: difference.json: fenwamake refuses it: line 1, column 10: kind: must be \"database\" or "
       "\"intermediate\": fenwamake reads fenwadump's dump of a file it could read\n"},
      {{"--diff", "a.pdb", "cut.dat"}, "fenwadump: cut.dat: the converter refuses it: read failure"}};
  for (const auto& [args, err] : cases) {
    SCOPED_TRACE(args.back());
    const RunResult run = RunFenwadump(dir.Path(), args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.substr(0, err.size()), err);
  }
}

// The largest input against a copy with 100 edits scattered through it, many
// among namesakes: exactly those edits; and against its own image, none.
TEST(Diff, LargestInputAgainstACopyWithScatteredEdits) {
  const samples::ScatteredEdits edits = samples::LargestWithScatteredEdits();
  const std::vector<std::uint8_t> original = BuildNetworkFile(samples::Largest());
  const std::vector<std::uint8_t> edited = BuildNetworkFile(edits.network);
  const std::string a(original.begin(), original.end()), b(edited.begin(), edited.end());
  // The replaced route's node goes with it, and so do the edges from and to it.
  std::size_t node = 0, edges = 0;
  while (edits.network.nodes.at(node).route != edits.replaced_route) ++node;
  for (std::size_t i = 0; i < edits.network.nodes.size(); ++i)
    for (const EdgeDescription& edge : edits.network.nodes[i].edges)
      edges += i == node || (edge.target & 0x7FFF) == node ? 1 : 0;
  const ToolOutput run = Diff(a, b, DiffRequest::Output::kText);
  std::vector<std::string> headings;
  for (const std::string& line : LinesAfterTheNames(run.out))
    if (line[0] != ' ') headings.push_back(line);
  EXPECT_EQ(Joined(headings),
            Joined({"stations: " + std::to_string(edits.renamed_stations) + " renamed", "routes: 1 added, 1 removed",
                    "stops: " + std::to_string(edits.moved_stops) + " moved", "graph nodes: 1 added, 1 removed",
                    "graph edges: " + std::to_string(edges) + " added, " + std::to_string(edges) + " removed, " +
                        std::to_string(edits.changed_edges) + " changed"}));
  EXPECT_EQ(run.status, 1);
  const Conversion image = ConvertInMemory(original, "largest.dat");
  const ToolOutput same = Diff(a, std::string(image.image.begin(), image.image.end()), DiffRequest::Output::kText);
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(LinesAfterTheNames(same.out),
            std::vector<std::string>{"no difference: the two make the same fenwaimg.pdb, though their bytes differ"});
}

}  // namespace
