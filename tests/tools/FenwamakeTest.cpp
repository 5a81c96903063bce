// fenwamake: descriptions into intermediate data files, and the descriptions it refuses.
#include <gtest/gtest.h>

#include "base/Bytes.h"
#include "network/IntermediateFormat.h"
#include "tests/support/ToolRun.h"

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
  route.spare = 7;
  route.word = 8;
  route.byte = 9;
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
  EXPECT_EQ(intermediate::Word(file.data(), header::kStringCount), 4);
  const std::string pool(file.end() - intermediate::Word(file.data(), header::kPoolSize) - 6, file.end() - 6);  // the trailer is last
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
  network.stations[1].spare = 0xBEEF;
  network.routes[2].spare = 7;
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
  const char* description;
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
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, Refused,
    testing::Values(
        Refusal{"CompanyNotAPrefix", R"({"routes": [{"name": "x"}, {"name": "東都急行本線", "company": "北辰"}]})",
                "routes[1].company: is not the beginning of the route's name"},
        Refusal{"CompanyLongerThanName", R"({"routes": [{"name": "東都", "company": "東都急行"}]})",
                "routes[0].company: is not the beginning"},
        Refusal{"EmptyCompany", R"({"routes": [{"name": "東都", "company": ""}]})", "routes[0].company: is empty"},
        Refusal{"NotJson", R"({"routes": [}])", "not valid JSON"},
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
        Refusal{"C1Control", R"({"strings": ["A\u0080"]})", "strings[0]: \"A\u0080\" has a character"},
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
        Refusal{"DumpOfAnUnknownFile", R"({"kind": "unknown", "size": 3, "problems": [], "warnings": []})",
                "kind: must be \"database\" or \"intermediate\""},
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
  for (const auto& [run, name] : {std::pair(&RunFenwamake, "fenwamake"), std::pair(&RunFenwadump, "fenwadump")}) {
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

TEST(Fenwamake, WrongArgumentsPrintTheUsage) {
  TempDir dir;
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"only-one.json"}, {"a", "b", "c"}}) {
    const RunResult run = RunFenwamake(dir.Path(), args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("usage: fenwamake NETWORK.json OUT", 0), 0u) << run.err;
  }
}

TEST(Fenwamake, MissingDescriptionIsReported) {
  TempDir dir;
  const RunResult run = RunFenwamake(dir.Path(), {"missing.json", "out.dat"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "fenwamake: missing.json: cannot open it\n");
  EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST(Fenwamake, UnwritableOutputIsReported) {
  TempDir dir;
  WriteText(dir / "network.json", "{}");
  fs::create_directory(dir / "sub");
  const RunResult run = RunFenwamake(dir.Path(), {"network.json", "no-such-folder/out.dat"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "fenwamake: no-such-folder/out.dat: cannot write it\n");
  const RunResult onto_folder = RunFenwamake(dir.Path(), {"network.json", "sub"});
  EXPECT_EQ(onto_folder.status, 1);
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"network.json", "sub"}));
}

}  // namespace
