// fenwamake: descriptions into intermediate data files, and the descriptions it refuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "base/Bytes.h"
#include "network/IntermediateFormat.h"
#include "tests/support/ToolRun.h"
#include "text/Terminal.h"
#include "toolkit/JsonMapping.h"
#include "toolkit/Tools.h"

namespace fs = std::filesystem;
using nlohmann::json;
namespace header = intermediate::header;

namespace {

Bytes Make(const TempDir& dir, const json& description) {
  WriteText(dir / "network.json", description.dump());
  const RunResult run = RunFenwamake(dir.Path(), {"network.json", "network.dat"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  return run.status == 0 ? ReadBytes(dir / "network.dat") : Bytes();
}

// With every count and offset set by hand, sections swapped and the string
// table given as raw bytes, the file is byte for byte what the builder lays
// out for the same network.
TEST(Fenwamake, RawFieldsGiveTheBuildersBytes) {
  const json description = json::parse(R"({
    "header": {"magic": {"hex": "41443400"}, "base_offset": 4096, "trailer_offset": 12, "rstat_capacity": -5,
               "node_count": 7, "station_count": -1, "route_count": 2, "string_count": 40000, "pool_size": 3,
               "edge_capacity": 65535, "unused_middle": {"hex": "0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f2021 22"},
               "unused_tail": {"hex": "fffefdfc"}},
    "section_order": "trailer-then-base",
    "strings": [{"hex": "82a0ff"}, "A"],
    "raw_string_index": [9, 65535],
    "raw_pool": {"hex": "00 41 00 42"},
    "stations": [{"word_a": 1, "word_b": 2, "spare": 3, "sort": 4, "kana_sort": 5}],
    "routes": [{"name_index": 300, "company_length": 200, "spare": 7, "word": 8, "byte": 9, "trailer": 10,
                "station_count": 4, "stops": [{"station": 65535, "companion": 1}]}],
    "nodes": [{"word_a": 1, "word_b": 2, "edge_count": 0, "edges": [{"to": 40000, "value": 3}]}, {}]
  })");
  NetworkDescription network;
  network.header.magic = {'A', 'D', '4', 0};
  network.header.base_offset = 4096;
  network.header.trailer_offset = 12;
  network.header.rstat_capacity = 0xFFFB;
  network.header.node_count = 7;
  network.header.station_count = 0xFFFF;
  network.header.route_count = 2;
  network.header.string_count = 40000;
  network.header.pool_size = 3;
  network.header.edge_capacity = 0xFFFF;
  for (std::uint8_t i = 0; i < 34; ++i) network.header.unused_middle[i] = static_cast<std::uint8_t>(i + 1);
  network.header.unused_tail = {0xFF, 0xFE, 0xFD, 0xFC};
  network.order = SectionOrder::kTrailerThenBase;
  network.strings = {"\x82\xa0\xff", "A"};
  network.raw_string_index = std::vector<std::uint16_t>{9, 0xFFFF};
  network.raw_pool = std::string("\0A\0B", 4);
  network.stations = {{1, 2, 3, 4, 5}};
  RouteDescription route;
  route.name_index = 300;
  route.company_length = 200;
  route.unused_word = 7;
  route.opaque_word = 8;
  route.opaque_byte = 9;
  route.trailer = 10;
  route.station_count = 4;
  route.stops = {{0xFFFF, 1}};
  network.routes = {route};
  network.nodes = {{1, 2, {{40000, 3}}, 0}, {}};
  TempDir dir;
  EXPECT_EQ(Make(dir, description), BuildNetworkFile(network));
}

// Names go into the string table in Shift_JIS: the extra strings first, then
// each new station name, then each new route name; a name already there is reused.
TEST(Fenwamake, NamesAreInternedInShiftJis) {
  const json description = json::parse(R"({
    "strings": ["東都急行"],
    "stations": [{"name": "北辰"}, {"name": "ﾐﾅﾄ"}],
    "routes": [{"name": "北辰"}, {"name": "東都急行", "company": "東都急行"}, {"name": "ﾐﾅﾄ線", "company": "ﾐﾅﾄ"}]
  })");
  TempDir dir;
  const Bytes file = Make(dir, description);
  ASSERT_GE(file.size(), header::kSize);
  EXPECT_EQ(intermediate::SignedWord(file.data(), header::kStringCount), 4);
  const std::string pool(file.end() - intermediate::Word(file.data(), header::kPoolSize) - 6,
                         file.end() - 6);  // the trailer is last
  EXPECT_EQ(pool, std::string(
                      "\x93\x8c\x93\x73\x8b\x7d\x8d\x73\0\x96\x6b\x92\x43\0\xd0\xc5\xc4\0\xd0\xc5\xc4\x90\xfc\0", 24));
  // Station word A is its name's string index.
  const std::uint32_t base = intermediate::Long(file.data(), header::kBaseOffset);
  EXPECT_EQ(ReadLE16(&file[base]), 1);
  EXPECT_EQ(ReadLE16(&file[base + 6]), 2);
}

// Characters with a near twin in code page 932 take the twin's bytes, and read
// back as the twin; the same on every platform.
TEST(Fenwamake, TwinsTakeTheirTwinsBytes) {
  TempDir dir;
  const Bytes file = Make(dir, {{"strings", {"〜‖−—¢£¬¥‾", "～∥－―￠￡￢\\~"}}});
  ASSERT_GE(file.size(), header::kSize);
  const std::string bytes = "\x81\x60\x81\x61\x81\x7c\x81\x5c\x81\x91\x81\x92\x81\xca\x5c\x7e";
  const std::string pool(file.end() - intermediate::Word(file.data(), header::kPoolSize), file.end());
  EXPECT_EQ(pool, bytes + '\0' + bytes + '\0');
  const DumpRun dump = DumpFile(dir.Path(), "network.dat");
  EXPECT_EQ(dump.json["strings"][0]["text"], "～∥－―￠￡￢\\~");
  EXPECT_EQ(dump.json["strings"][1]["text"], "～∥－―￠￡￢\\~");
}

struct CompanyCase {
  const char* label;
  const char* name;
  const char* company;
  std::uint8_t length;
};

class CompanyLength : public testing::TestWithParam<CompanyCase> {};

TEST_P(CompanyLength, IsThePrefixLengthInShiftJisBytes) {
  const CompanyCase& c = GetParam();
  TempDir dir;
  const Bytes file = Make(dir, {{"routes", {{{"name", c.name}, {"company", c.company}}}}});
  ASSERT_GE(file.size(), header::kSize);
  const std::uint32_t base = intermediate::Long(file.data(), header::kBaseOffset);
  ASSERT_LT(base + 9, file.size());
  EXPECT_EQ(file[base + 9], c.length);
}

INSTANTIATE_TEST_SUITE_P(Names, CompanyLength,
                         testing::Values(CompanyCase{"FullWidth", "東都急行本線", "東都急行", 8},
                                         CompanyCase{"HalfWidthKana", "ﾐﾅﾄ交通線", "ﾐﾅﾄ", 3},
                                         CompanyCase{"Ascii", "Kaigan線", "Kaigan", 6},
                                         CompanyCase{"Mixed", "ｶﾜ急行Line", "ｶﾜ急行", 6},
                                         CompanyCase{"WholeName", "北辰電鉄", "北辰電鉄", 8}),
                         [](const auto& param_info) { return std::string(param_info.param.label); });

// Files laid out otherwise than fenwamake lays out a description come back
// byte for byte through their dump: the trailer before the base section, a gap
// of zeros before the base section, bytes the converter does not read, a
// string pool with bytes no string reads and strings inside other strings,
// and edge targets with bit 15 set.
TEST(Fenwamake, DumpsOfFilesWithTheirOwnLayoutMakeThemAgain) {
  NetworkDescription network = SmallNetwork();
  network.header.unused_middle[3] = 0x42;
  network.header.unused_tail = {1, 2, 3, 4};
  network.header.rstat_capacity = 9;
  network.header.edge_capacity = 0xFFFE;  // -2: the default
  network.stations[1].unused_word = 0xBEEF;
  network.routes[2].unused_word = 7;
  // Strings at the starts of names, inside names, running to the end of the pool without a NUL and outside it.
  network.raw_pool = std::string("Route zero\0AAA line\0junk\0BBB line\0CCC", 37);
  network.raw_string_index = std::vector<std::uint16_t>{0, 11, 25, 29, 6, 34, 40};
  std::vector<NetworkDescription> files(2, network);
  files[0].order = SectionOrder::kTrailerThenBase;
  files[1].placement = SectionPlacement{600, 200};
  TempDir dir;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Bytes file = BuildNetworkFile(files[i]);
    WriteBytes(dir / "network.dat", file);
    const RunResult piped = RunCommand(
        dir.Path(), "/bin/sh", {"-c", FenwadumpCommand() + " network.dat | " + FenwamakeCommand() + " - again.dat"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(ReadBytes(dir / "again.dat") == file) << "file " << i;
  }
  // 4 stations, 3 routes with 6 stops, 7 strings in 37 bytes, from offset 600.
  EXPECT_EQ(BuildNetworkFile(files[1]).size(), 600u + 4 * 6 + 4 * 4 + 3 * 10 + 6 * 4 + 7 * 2 + 37);
}

struct Refusal {
  const char* label;
  std::string description;
  const char* message;  // what stderr must say
};

class Refused : public testing::TestWithParam<Refusal> {};

TEST_P(Refused, ExitsNonZeroNamesTheFieldAndWritesNothing) {
  TempDir dir;
  WriteText(dir / "network.json", GetParam().description);
  const RunResult run = RunFenwamake(dir.Path(), {"network.json", "network.dat"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(run.err.rfind("fenwamake: network.json: ", 0), 0u) << run.err;
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"network.json"});
  // The web page's refusal: its place and field apart, saying what the line says.
  const ToolOutput made = ::RunFenwamake(GetParam().description, "network.json", MakeOptions{});
  ASSERT_TRUE(made.refusal.has_value()) << made.err;
  EXPECT_TRUE(made.refusal->At().has_value());
  EXPECT_EQ(made.err, "fenwamake: network.json: " + Escaped(DescribeRefusal(*made.refusal)) + "\n");
  EXPECT_EQ(made.err, run.err);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, Refused,
    testing::Values(
        Refusal{"CompanyNotAPrefix", R"({"routes": [{"name": "x"}, {"name": "東都急行本線", "company": "北辰"}]})",
                "routes[1].company: is not the beginning of the route's name"},
        Refusal{"CompanyLongerThanName", R"({"routes": [{"name": "東都", "company": "東都急行"}]})",
                "routes[0].company: is not the beginning"},
        Refusal{"EmptyCompany", R"({"routes": [{"name": "東都", "company": ""}]})", "routes[0].company: is empty"},
        Refusal{"NotJson", R"({"routes": [}])", "line 1, column 13: routes[0]: not valid JSON: expected a JSON value"},
        Refusal{"BytesAfterTheJson", "{} {}", "line 1, column 4: not valid JSON: more text after the JSON document"},
        Refusal{"BytesAfterANul", std::string("{}\0{\"stations\": 7}", 19), "a NUL byte after the JSON document"},
        Refusal{"KeyGivenTwice", "{\"stations\": [{\"sort\": 1,\n  \"sort\": 70000}]}",
                "line 2, column 3: stations[0].sort: is given twice"},
        Refusal{"NulInAName", R"({"stations": [{"name": "東\u0000西"}]})", "stations[0].name: holds a NUL"},
        Refusal{"NulInAString", R"({"strings": [{"hex": "41004200"}]})", "strings[0]: holds a NUL"},
        Refusal{"NulInADumpsName", R"({"kind": "intermediate", "stations": [{"name": "A\u0000"}]})",
                "stations[0].name: holds a NUL"},
        Refusal{"ReserveNodeBeforeAFileNode",
                R"({"kind": "database", "nodes": [{"word_a": 1}, {"role": "reserve"}, {"word_a": 2}]})",
                "nodes[2]: follows the reserve node 1"},
        Refusal{"DumpOfADamagedFile", R"({"kind": "database", "problems": ["the FNOD table is 3 bytes", "x"]})",
                "problems: the dump lists 2 problems of the file it was made from, so that file was damaged (the "
                "FNOD table is 3 bytes; x); fenwamake --accept-damage makes it anyway"},
        Refusal{"NotAnObject", R"([1, 2])", "must be a JSON object"},
        Refusal{"UnknownField", R"({"stations": [{"nmae": "東都"}]})", "stations[0].nmae: unknown field"},
        Refusal{"UnknownStation",
                R"({"stations": [{"name": "東"}], "routes": [{"name": "r", "stops": [{"station": "西"}]}]})",
                "routes[0].stops[0].station: no station is named \"西\""},
        Refusal{
            "AmbiguousStation",
            R"({"stations": [{"name": "東"}, {"name": "東"}], "routes": [{"name": "r", "stops": [{"station": "東"}]}]})",
            "two stations are named \"東\""},
        Refusal{"UnknownNode", R"({"nodes": [{"id": "a", "edges": [{"to": "b"}]}]})",
                "nodes[0].edges[0].to: no node has the id \"b\""},
        Refusal{"NoShiftJisForm", R"({"strings": ["電車🚃"]})",
                "strings[0]: \"電車🚃\" has a character that Shift_JIS cannot hold"},
        // Code page 932 on Windows has these, the shared rules refuse them on every platform.
        Refusal{"C1Control", R"({"strings": ["A\u0080"]})", R"(strings[0]: "A\u0080" has a character)"},
        Refusal{"PrivateUseForSingleBytes", R"({"stations": [{"name": "\uf8f0"}]})", "stations[0].name: \""},
        // A language tag has no form at all; it is refused, not dropped.
        Refusal{"LanguageTag", R"({"routes": [{"name": "東都\udb40\udc41"}]})", "routes[0].name: \"東都"},
        Refusal{"WordTooLarge", R"({"stations": [{"sort": 65536}]})", "stations[0].sort: 65536 is outside 0 to 65535"},
        Refusal{"ByteTooLarge", R"({"routes": [{"name": "r", "byte": 256}]})",
                "routes[0].byte: 256 is outside 0 to 255"},
        Refusal{"WrongType", R"({"routes": [{"name": "r", "word": "7"}]})", "routes[0].word: must be an integer"},
        Refusal{"RouteWithoutName", R"({"routes": [{"word": 1}]})", "routes[0]: needs a name"},
        Refusal{"BadHex", R"({"raw_pool": {"hex": "4g"}})", "raw_pool.hex: must be pairs of hexadecimal digits"},
        Refusal{"MagicOfWrongSize", R"({"header": {"magic": "AD4"}})", "header.magic: must be exactly 4 bytes"},
        Refusal{"BadOrder", R"({"section_order": "trailer-first"})", "section_order: must be"},
        // One list of the kinds it reads, whatever the kind refused.
        Refusal{"DumpOfAnUnknownFile", R"({"kind": "unknown", "size": 3, "problems": [], "warnings": []})",
                "line 1, column 1: kind: must be \"database\" or \"intermediate\": fenwamake reads fenwadump's dump of "
                "a file it could read\n"},
        Refusal{
            "DumpOfADifference", "{\n  \"kind\": \"difference\",\n  \"old\": {}}",
            "line 2, column 11: kind: must be \"database\" or \"intermediate\": fenwamake reads fenwadump's dump of "
            "a file it could read\n"},
        // As editors on Windows save it: passed over, the columns counted from the character after it.
        Refusal{"ByteOrderMarkBeforeAnError", "\xEF\xBB\xBF{\"stations\": [}",
                "line 1, column 15: stations[0]: not valid JSON: expected a JSON value"},
        Refusal{"UnknownFieldInADump", R"({"kind": "database", "stations": [{"nmae": "東"}]})",
                "stations[0].nmae: unknown field"},
        Refusal{"DumpNameWithoutShiftJis", R"({"kind": "intermediate", "stations": [{"name": "🚃"}]})",
                "stations[0].name: \"🚃\" has a character that Shift_JIS cannot hold"},
        Refusal{"EdgesNoNodeOwnsWithoutNodes", R"({"kind": "database", "unowned_edges": [{"target": 1}]})",
                "unowned_edges: need a node 0"},
        Refusal{"EdgeCountTooLarge",
                R"({"routes": [{"name": "r", "station_count": 0, "stops": []}], "nodes": [{"edge_count": 70000}]})",
                "nodes[0].edge_count: 70000 is outside"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// --version and --help (anywhere among the arguments) print to standard output
// and succeed; the version is the package's.
TEST(Tools, VersionAndHelp) {
  TempDir dir;
  using Program = RunResult (*)(const fs::path&, const std::vector<std::string>&);
  for (const auto& [run, name] : {std::pair<Program, const char*>(&RunFenwamake, "fenwamake"),
                                  std::pair<Program, const char*>(&RunFenwadump, "fenwadump")}) {
    const std::string version = std::string(name) + " (fenwaimg) " FENWA_VERSION "\n";
    const RunResult printed = run(dir.Path(), {"--version"});
    EXPECT_EQ(printed.status, 0) << name;
    EXPECT_EQ(printed.out, version);
    EXPECT_EQ(printed.err, "");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"-h"}, {"in.json", "--help"}}) {
      const RunResult help = run(dir.Path(), args);
      EXPECT_EQ(help.status, 0) << name << " " << args.back();
      EXPECT_EQ(help.out.rfind("usage: " + std::string(name) + " ", 0), 0u) << help.out;
      EXPECT_TRUE(help.out.ends_with("\n" + version)) << help.out;
      EXPECT_EQ(help.err, "");
    }
  }
  EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

// What fenwamake warns about and still makes: what the converter will refuse,
// words the file may hold on purpose, and derived fields edited in vain.
struct Warning {
  const char* label;
  std::string description;
  const char* warning;  // what stderr must say after "warning: "
};

class Warned : public testing::TestWithParam<Warning> {};

TEST_P(Warned, MakesTheFileAndSaysWhy) {
  TempDir dir;
  WriteText(dir / "network.json", GetParam().description);
  const RunResult run = RunFenwamake(dir.Path(), {"network.json", "network.dat"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(std::string("fenwamake: network.json: warning: ") + GetParam().warning), std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::exists(dir / "network.dat"));
}

// Routes 1 to 41 each of a company of their own.
std::string FortyOneCompanies() {
  json routes = json::array({{{"name", "r"}}});
  for (int c = 0; c < 41; ++c)
    routes.push_back({{"name", "C" + std::to_string(c) + "線"}, {"company", "C" + std::to_string(c)}});
  return json{{"routes", routes}}.dump();
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, Warned,
    testing::Values(
        Warning{"FortyOneCompanies", FortyOneCompanies(),
                "the routes name 41 companies (the routes that name none count as one); the converter refuses more "
                "than 40"},
        Warning{"StopAtNoStation", R"({"stations": [{}], "routes": [{"name": "r", "stops": [{"station": 3}]}]})",
                "routes[0].stops[0].station: station 3 does not exist: there are 1 stations"},
        Warning{"EdgeToNoNode", R"({"nodes": [{"edges": [{"to": 32789}]}]})",
                "nodes[0].edges[0].to: node 21 does not exist: there are 21 nodes (1 and 20 reserve nodes)"},
        Warning{"MagicOfAnotherFile", R"({"kind": "intermediate", "header": {"magic": "4144340a"}})",
                "header.magic is AD4\\x0A, not \"AD4\" and 0x1A: the file made is no intermediate data file, and "
                "the converter refuses it"},
        Warning{"StopCountEditedInVain",
                R"({"kind": "intermediate", "stations": [{"word_a": 0}],
                    "routes": [{"name_index": 0, "station_count": 2, "stops": [{"station": 0}]}]})",
                "routes[0].station_count is 2, but there are 1 stops: fenwamake counts them, and does not read this "
                "field"},
        Warning{"CompanyNameEditedInVain",
                R"({"kind": "intermediate", "strings": [{"text": "東都急行線"}],
                    "routes": [{"name_index": 0}, {"name_index": 0, "company_length": 4, "company_name": "北辰"}]})",
                "routes[1].company_name is \"北辰\", but the route's name begins with \"東都\""},
        Warning{"CompanyListEditedInVain",
                R"({"kind": "intermediate", "strings": [{"text": "東都急行線"}],
                    "routes": [{"name_index": 0}, {"name_index": 0, "company_length": 4}],
                    "companies": [{"number": 0, "name": "北辰", "routes": [1]}]})",
                "companies[0].name is \"北辰\", but no route's name begins with it"},
        Warning{"StationDeletedFromADump",
                R"({"kind": "intermediate", "strings": [{"text": "駅"}],
                    "stations": [{"index": 0, "word_a": 0}, {"index": 1, "word_a": 0}, {"index": 3, "word_a": 0}],
                    "routes": [{"index": 0, "name_index": 0, "stops": [{"station": 2}]}]})",
                "stations: 1 entry is not where its index says (stations[2] has index 3): fenwamake goes by place, "
                "not by index, so a stop's station or a node's word_a means the station at its place"},
        Warning{
            "NodeMovedInADump",
            R"({"kind": "database", "nodes": [{"index": 0}, {"index": 2, "edges": [{"target": 1}]}, {"index": 1}]})",
            "nodes: 2 entries are not where their index says (nodes[1] has index 2, nodes[2] has index 1): "
            "fenwamake goes by place, not by index, so an edge's target means the node at its place"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// A dump whose file was damaged is made only when asked for.
TEST(Fenwamake, AcceptsDamageWhenAskedTo) {
  TempDir dir;
  WriteText(dir / "dump.json", R"({"kind": "database", "problems": ["damaged"], "routes": [{"name": "r"}]})");
  const RunResult run = RunFenwamake(dir.Path(), {"--accept-damage", "dump.json", "network.dat"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir / "network.dat"));
}

// The one road of the tools: a wrong argument, a file that cannot be read or
// written, output that cannot be written, memory running out: one message on
// standard error that says why, the documented status, no file left behind.
struct Failure {
  const char* label;
  std::string command;  // for /bin/sh, in a folder with sample.json, sample.pdb and a folder "folder"
  int status;
  const char* message;  // what stderr must say
  bool native = false;  // needs the native programs (their system's reasons, limits, devices)
  bool root = false;    // makes device nodes of its own, which only root may
};

class Failing : public testing::TestWithParam<Failure> {};

// Writes big.json, a description of `count` stations.
std::string Stations(int count) {
  return "awk 'BEGIN { printf \"{\\\"stations\\\": [\"; for (i = 0; i < " + std::to_string(count) +
         "; i++) printf \"{\\\"name\\\": \\\"s%d\\\"},\", i; print \"{}]}\" }' >big.json";
}
// 9000 stations: more than a tool holds in 8.5 MB.
const std::string kStations = Stations(9000);
// 2000 stations, a network the converter takes, whose dump (480 KB) is more than a pipe holds (64 KiB): a
// reader that leaves without reading makes its write fail, whether it leaves before or after the write.
const std::string kDumpIntoAPipeNobodyReads =
    Stations(2000) +
    " && $FENWAMAKE big.json big.dat && { $FENWADUMP big.dat; echo $? >status; } | true; status=$(cat status); "
    "rm -f big.json big.dat status; exit $status";

// The sample's dump with its trailer moved 100 MB on, and what removes it again.
const std::string kFarApart =
    "$FENWAMAKE sample.json s.dat && $FENWADUMP s.dat | "
    "sed 's/\"trailer_offset\": [0-9]*/\"trailer_offset\": 100000000/' >far.json && ";
const std::string kFarApartDone = "; status=$?; rm -f s.dat far.json; exit $status";

TEST_P(Failing, EndsWithOneMessageAndTheDocumentedStatus) {
  const Failure& f = GetParam();
#ifdef FENWA_SANITIZED
  if (f.command.find("ulimit") != std::string::npos) GTEST_SKIP() << "the sanitizers reserve more than any limit";
#endif
  if (f.native && ToolsReplaced()) GTEST_SKIP() << "needs the native programs";
  if (f.root && ::geteuid() != 0) GTEST_SKIP() << "only root makes device nodes";
  TempDir dir;
  WriteText(dir / "sample.json", ReadText(FENWA_SAMPLE_NETWORK));
  MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
  fs::rename(dir / "fenwaimg.pdb", dir / "sample.pdb");
  fs::remove(dir / "network.json");
  fs::remove(dir / "network.dat");
  fs::create_directory(dir / "folder");
  const std::vector<std::string> before = FolderEntries(dir.Path());
  std::string command = f.command;
  for (auto [name, program] :
       {std::pair{"$FENWAMAKE", FenwamakeCommand()}, std::pair{"$FENWADUMP", FenwadumpCommand()}}) {
    for (std::size_t at; (at = command.find(name)) != std::string::npos;) command.replace(at, 10, program);
  }
  const RunResult run = RunCommand(dir.Path(), "/bin/sh", {"-c", command});
  EXPECT_EQ(run.status, f.status) << run.err;
  EXPECT_NE(run.err.find(f.message), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("terminate called"), std::string::npos) << run.err;
  std::size_t messages = 0;  // lines a tool begins with its name; the usage may follow
  std::istringstream lines(run.err);
  for (std::string line; std::getline(lines, line);)
    messages += line.starts_with("fenwadump: ") || line.starts_with("fenwamake: ");
  EXPECT_EQ(messages, 1u) << run.err;
  EXPECT_EQ(FolderEntries(dir.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, Failing,
    testing::Values(
        Failure{"DumpOfAFolder", "$FENWADUMP folder", 2, "fenwadump: folder: cannot open it: "},
        Failure{"DumpOfAMissingFile", "$FENWADUMP missing.pdb", 2,
                "fenwadump: missing.pdb: cannot open it: No such file or directory", true},
        Failure{"DumpToAFullDisk", "$FENWADUMP sample.pdb >/dev/full", 2,
                "fenwadump: cannot write to standard output: No space left on device", true},
        Failure{"PictureWithStandardOutputClosed", "$FENWADUMP --dot sample.pdb >&-", 2,
                "fenwadump: cannot write to standard output: Bad file descriptor", true},
        Failure{"DumpIntoAPipeNobodyReads", kDumpIntoAPipeNobodyReads, 2,
                "fenwadump: cannot write to standard output: Broken pipe", true},
        Failure{"VersionToAFullDisk", "$FENWADUMP --version >/dev/full", 2,
                "fenwadump: cannot write to standard output: No space left on device", true},
        Failure{"HelpToAFullDisk", "$FENWAMAKE --help >/dev/full", 1,
                "fenwamake: cannot write to standard output: No space left on device", true},
        Failure{
            "DiffOfStandardInputWithItself", "cat sample.json | $FENWADUMP --diff /dev/stdin /dev/stdin", 2,
            "fenwadump: /dev/stdin: cannot read it as NEW: it is the stream OLD \"/dev/stdin\" was read from, and a "
            "stream (standard input, a pipe) can be read only once\n",
            true},
        Failure{"DumpWithoutMemory",
                kStations + " && $FENWAMAKE big.json big.dat && (ulimit -v 8500; exec $FENWADUMP big.dat >/dev/null); "
                            "status=$?; rm -f big.json big.dat; exit $status",
                2, "fenwadump: out of memory", true},
        Failure{"MisspeltOption", "$FENWADUMP --sumary sample.pdb", 2,
                "fenwadump: unknown option \"--sumary\" (did you mean --summary)\nusage: fenwadump"},
        Failure{"NoFile", "$FENWADUMP", 2, "fenwadump: no FILE given\nusage: fenwadump"},
        Failure{"TwoFiles", "$FENWADUMP sample.pdb other.pdb", 2,
                "fenwadump: one FILE only, but also given \"other.pdb\""},
        Failure{"OnlyWithoutDot", "$FENWADUMP --only=route:x sample.pdb", 2, "fenwadump: --only needs --dot"},
        Failure{"MakeFromAFolder", "$FENWAMAKE folder out.dat", 1, "fenwamake: folder: cannot open it: "},
        Failure{"MakeFromAMissingFile", "$FENWAMAKE missing.json out.dat", 1,
                "fenwamake: missing.json: cannot open it: No such file or directory", true},
        Failure{"MakeIntoAMissingFolder", "$FENWAMAKE sample.json no/out.dat", 1,
                "fenwamake: no/out.dat: cannot write it: No such file or directory", true},
        Failure{"MakeOntoAFolder", "$FENWAMAKE sample.json folder", 1,
                "fenwamake: folder: cannot write it: not a regular file (a folder)\n"},
        // Never opened: a named pipe opened to write would wait for a reader.
        Failure{"MakeOntoANamedPipe",
                "mkfifo fifo && timeout 10 $FENWAMAKE sample.json fifo; status=$?; rm fifo; exit $status", 1,
                "fenwamake: fifo: cannot write it: not a regular file (a named pipe)\n", true},
        Failure{"MakeOntoADevice", "mknod null c 1 3 && $FENWAMAKE sample.json null; status=$?; rm null; exit $status",
                1, "fenwamake: null: cannot write it: not a regular file (a device)\n", true, true},
        Failure{"MakeThroughALinkToADevice",
                "mknod full c 1 7 && ln -s full link.dat && $FENWAMAKE sample.json link.dat; status=$?; "
                "rm full link.dat; exit $status",
                1, "fenwamake: link.dat: cannot write it: not a regular file (a device)\n", true, true},
        Failure{"MakeThroughALinkIntoAMissingFolder",
                "ln -s no/out.dat link.dat && $FENWAMAKE sample.json link.dat; status=$?; rm link.dat; exit $status", 1,
                "fenwamake: link.dat: cannot write it: No such file or directory\n", true},
        Failure{"MakeToAFullStandardOutput", "$FENWAMAKE sample.json - >/dev/full", 1,
                "fenwamake: cannot write to standard output: No space left on device", true},
        Failure{"MakeOverItsInput", "$FENWAMAKE sample.json sample.json", 2,
                "fenwamake: \"sample.json\" is the input \"sample.json\" itself: writing it would destroy it"},
        Failure{"MakeOverItsInputThroughALink",
                "ln -s sample.json link.json && $FENWAMAKE sample.json link.json; "
                "status=$?; rm link.json; exit $status",
                2, "is the input \"sample.json\" itself", true},
        Failure{"MakeFromEndlessZeros", "$FENWAMAKE /dev/zero out.dat", 1,
                "fenwamake: /dev/zero: line 1, column 1: not valid JSON", true},
        Failure{"MakeFromMoreThanItReads",
                "truncate -s 65M big.json && $FENWAMAKE big.json out.dat; status=$?; "
                "rm big.json; exit $status",
                1, "fenwamake: big.json: cannot open it: it is 68157440 bytes, more than the 67108864"},
        Failure{"MakeFromAStreamLongerThanItReads", "head -c 68000000 /dev/zero | $FENWAMAKE - out.dat", 1,
                "fenwamake: standard input: cannot read it: it holds more than the 67108864 bytes the tools read",
                true},
        Failure{"MakeWithoutMemory",
                kStations +
                    " && (ulimit -v 8500; exec $FENWAMAKE big.json out.dat); status=$?; rm -f big.json; exit $status",
                1, "fenwamake: out of memory", true},
        // A dump whose sections lie too far apart for any file: nothing in it is refused, the file is not made.
        Failure{"MakeAFileTooLargeToLayOut", kFarApart + "$FENWAMAKE far.json out.dat" + kFarApartDone, 1,
                "fenwamake: far.json: cannot lay out the file: the sections at offsets 414 and 100000000 make a "
                "file of 100000014 bytes, more than 67108864"},
        Failure{"CompareAFileTooLargeToLayOut", kFarApart + "$FENWADUMP --diff s.dat far.json" + kFarApartDone, 2,
                "fenwadump: far.json: fenwamake cannot lay out its file: the sections at offsets 414 and"},
        Failure{"WrongArgumentCount", "$FENWAMAKE only.json", 2,
                "fenwamake: give NETWORK.json and OUT (1 argument given)\nusage: fenwamake"},
        Failure{"FlagGivenAValue", "$FENWAMAKE --accept-damage=yes sample.json out.dat", 2,
                "fenwamake: the option --accept-damage takes no value, but was given \"--accept-damage=yes\""}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// fenwamake writes OUT as the converter writes its image: beside it under a
// name of its own, keeping its permissions, following nothing planted, leaving nothing.
TEST(Fenwamake, ReplacesItsOutputAsTheConverterDoes) {
  if (ToolsReplaced()) GTEST_SKIP() << "permission bits and links of the native file system";
  TempDir dir;
  WriteText(dir / "network.json", ReadText(FENWA_SAMPLE_NETWORK));
  WriteText(dir / "out.dat", "old");
  fs::permissions(dir / "out.dat", fs::perms::owner_read | fs::perms::owner_write);
  WriteText(dir / "victim", "keep");
  fs::create_symlink("victim", dir / "out.dat.part");
  fs::create_directory(dir / "out.dat.tmp");
  const RunResult run = RunFenwamake(dir.Path(), {"network.json", "out.dat"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(fs::status(dir / "out.dat").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(ReadText(dir / "victim"), "keep");
  EXPECT_EQ(FolderEntries(dir.Path()),
            (std::vector<std::string>{"network.json", "out.dat", "out.dat.part", "out.dat.tmp", "victim"}));
  EXPECT_NE(ReadText(dir / "out.dat"), "old");

  // A link that points to no file yet is written through, relative links read from their own folder.
  fs::create_directory(dir / "made");
  fs::create_symlink("made/link", dir / "link.dat");
  fs::create_symlink("new.dat", dir / "made" / "link");
  const RunResult through = RunFenwamake(dir.Path(), {"network.json", "link.dat"});
  ASSERT_EQ(through.status, 0) << through.err;
  EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
  EXPECT_TRUE(fs::is_symlink(dir / "made" / "link"));
  EXPECT_EQ(ReadText(dir / "made" / "new.dat"), ReadText(dir / "out.dat"));
  EXPECT_EQ(FolderEntries(dir / "made"), (std::vector<std::string>{"link", "new.dat"}));

  // OUT - is standard output.
  const RunResult printed = RunFenwamake(dir.Path(), {"network.json", "-"});
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(printed.out, ReadText(dir / "out.dat"));
  EXPECT_FALSE(fs::exists(dir / "-"));
}

}  // namespace
