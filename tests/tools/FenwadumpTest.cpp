// fenwadump as a checker: damaged images and files are reported and fail,
// and no input makes it crash.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "base/ByteWriter.h"
#include "pdb/Image.h"
#include "pdb/ImageFormat.h"
#include "tests/support/ToolRun.h"
#include "toolkit/Inspect.h"
#include "toolkit/JsonMapping.h"
#include "toolkit/Views.h"

namespace fs = std::filesystem;
using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// The sample network's intermediate file and image, made once.
struct SampleFiles {
  Bytes intermediate;
  Bytes image;
};

const SampleFiles& Sample() {
  static const SampleFiles files = [] {
    TempDir dir;
    MakeAndConvert(dir.Path(), json::parse(ReadText(FENWA_SAMPLE_NETWORK)));
    return SampleFiles{ReadBytes(dir / "network.dat"), ReadBytes(dir / "fenwaimg.pdb")};
  }();
  return files;
}

void PutBE16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value >> 8);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value);
}

void PutBE32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  PutBE16(bytes, offset, static_cast<std::uint16_t>(value >> 16));
  PutBE16(bytes, offset + 2, static_cast<std::uint16_t>(value));
}

namespace img = image;

std::size_t EntryOffset(std::size_t record) {
  return img::record_entry::kListOffset + img::record_entry::kSize * record;
}
std::uint32_t RecordOffset(const Bytes& image, std::size_t record) {
  return BE32(image, EntryOffset(record) + img::record_entry::kOffset.offset);
}
// Where `field` of entry `entry` of a table lies in the image.
std::size_t FieldOffset(const Bytes& image, img::Table table, std::uint32_t size, std::size_t entry,
                        const WordField& field) {
  return RecordOffset(image, img::TableRecord(table)) + size * entry + field.offset;
}
std::size_t CountOffset(const Bytes& image, std::size_t count) {
  return RecordOffset(image, 0) + img::kCountFields[count].field.offset;
}

TEST(Fenwadump, SampleImageHasNoProblems) {
  TempDir dir;
  WriteBytes(dir / "fenwaimg.pdb", Sample().image);
  const DumpRun dump = DumpFile(dir.Path(), "fenwaimg.pdb");
  EXPECT_EQ(dump.run.status, 0);
  EXPECT_EQ(dump.run.err, "");
  EXPECT_EQ(dump.json["kind"], "database");
  EXPECT_EQ(dump.json["problems"], ordered_json::array());
  ASSERT_EQ(dump.json["records"].size(), 19u);
  EXPECT_EQ(dump.json["records"][7]["content"], "tag ROSE");
  EXPECT_EQ(dump.json["records"][18]["length"], 4 * dump.json["image_header"]["edge_count"].get<int>());
}

struct Damage {
  const char* label;
  std::function<void(Bytes&)> apply;
  const char* problem;  // a part of the problem that must be reported
};

class DamagedImage : public testing::TestWithParam<Damage> {};

TEST_P(DamagedImage, IsReportedInTheJsonAndOnStderrAndFails) {
  Bytes image = Sample().image;
  GetParam().apply(image);
  TempDir dir;
  WriteBytes(dir / "fenwaimg.pdb", image);
  const DumpRun dump = DumpFile(dir.Path(), "fenwaimg.pdb");
  EXPECT_EQ(dump.run.status, 1);
  EXPECT_EQ(dump.json["kind"], "database");
  const ordered_json& problems = dump.json["problems"];
  EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [](const ordered_json& problem) {
    return problem.get<std::string>().find(GetParam().problem) != std::string::npos;
  })) << problems.dump(1);
  EXPECT_NE(dump.run.err.find(GetParam().problem), std::string::npos) << dump.run.err;
  EXPECT_EQ(dump.run.err.rfind("fenwadump: fenwaimg.pdb: ", 0), 0u) << dump.run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedImage,
    testing::Values(
        Damage{"LastByteCut", [](Bytes& b) { b.pop_back(); }, "the FNOD table is "},
        Damage{"CutInsideARecord", [](Bytes& b) { b.resize(RecordOffset(b, 9) - 3); }, "record 9 starts at"},
        Damage{"CutInsideTheRecordList", [](Bytes& b) { b.resize(EntryOffset(10) + 3); },
               "the record list of 19 entries runs past the end of the file; 10 entries"},
        Damage{"CutInsideTheHeader", [](Bytes& b) { b.resize(40); }, "shorter than the 78-byte database header"},
        Damage{"WrongTag", [](Bytes& b) { b.at(RecordOffset(b, img::TagRecord(img::kRouteTable)) + 3) = 'X'; },
               "record 7 is \"ROSX\", not the tag \"ROSE\""},
        Damage{"TagsSwapped",
               [](Bytes& b) {
                 std::swap_ranges(b.begin() + RecordOffset(b, 3), b.begin() + RecordOffset(b, 3) + 4,
                                  b.begin() + RecordOffset(b, 5));
               },
               "record 3 is \"KSOR\", not the tag \"SORT\""},
        Damage{"FewerRecordsCounted", [](Bytes& b) { PutBE16(b, img::database::kNumberOfRecords.offset, 18); },
               "the header counts 18 records, not 19"},
        Damage{"OffsetShifted", [](Bytes& b) { PutBE32(b, EntryOffset(5), RecordOffset(b, 5) + 2); },
               "record 5 is \"OR\", not the tag \"KSOR\""},
        Damage{"OffsetsOutOfOrder",
               [](Bytes& b) {
                 const std::uint32_t third = RecordOffset(b, 3);
                 PutBE32(b, EntryOffset(3), RecordOffset(b, 4));
                 PutBE32(b, EntryOffset(4), third);
               },
               "the offsets are not ascending"},
        Damage{"OffsetPastTheEnd",
               [](Bytes& b) { PutBE32(b, EntryOffset(18), static_cast<std::uint32_t>(b.size() + 100)); },
               "record 18 starts at"},
        Damage{"OffsetIntoTheList", [](Bytes& b) { PutBE32(b, EntryOffset(0), 100); },
               "inside the header and record list"},
        Damage{"AttributesCleared", [](Bytes& b) { b.at(EntryOffset(12) + img::record_entry::kAttributes.offset) = 0; },
               "record 12 has the attributes 0x0000"},
        Damage{"UniqueIdSet", [](Bytes& b) { b.at(EntryOffset(2) + img::record_entry::kUniqueId.offset + 2) = 1; },
               "record 2 has the unique ID 1"},
        Damage{"OtherFormatVersion",
               [](Bytes& b) { b.at(RecordOffset(b, 0) + img::image_header::kVersion.offset + 3) = '6'; },
               "the image header's format version is \"0.26\", not \"0.25\", the version the converter writes"},
        Damage{"WrongCreator", [](Bytes& b) { b.at(img::database::kCreator.offset + 3) = 'B'; },
               "the creator is \"FNWB\""},
        Damage{
            "StationCountDisagrees",
            [](Bytes& b) { PutBE16(b, CountOffset(b, 0), static_cast<std::uint16_t>(BE16(b, CountOffset(b, 0)) + 1)); },
            "the STAT table is 64 bytes; the image header's counts make it 68"},
        Damage{"RouteStationCapacityPastWhatATableHolds", [](Bytes& b) { PutBE16(b, CountOffset(b, 4), 0xFFFF); },
               "make it 262140, more than a record holds: at most its first 65535 bytes are read"},
        Damage{
            "FileNodeCountDisagrees",
            [](Bytes& b) { PutBE16(b, CountOffset(b, 6), static_cast<std::uint16_t>(BE16(b, CountOffset(b, 6)) - 1)); },
            "is not the file nodes 24 and 20 reserve nodes"},
        Damage{"CompanyNumberChanged",
               [](Bytes& b) {
                 PutBE16(b, FieldOffset(b, img::kRouteTable, img::route::kSize, 3, img::route::kCompany), 1);
               },
               "route 3 has company 1; its name makes it 0"},
        Damage{"ReserveNodeUsed", [](Bytes& b) { b.at(RecordOffset(b, 17) - 9) = 5; },
               "node 44 (reserve) is not empty"},
        Damage{"EdgeFlagLeft", [](Bytes& b) { b.at(RecordOffset(b, 18)) |= 0x80; }, "keeps bit 15 of its target set"},
        Damage{"EdgesOutOfTurn",
               [](Bytes& b) {
                 PutBE16(b, FieldOffset(b, img::kNodeTable, img::node::kSize, 3, img::node::kFirstEdge), 0);
               },
               "node 3's edges start at edge 0, not at edge 3 behind those of the nodes before it"},
        Damage{"FirstEdgeOfANodeWithoutEdges",
               [](Bytes& b) {
                 PutBE16(b, FieldOffset(b, img::kNodeTable, img::node::kSize, 24, img::node::kEdgeCount), 0);
               },
               "node 24 has no edges, but its first edge is 49, not none"},
        Damage{"EdgesPastTheTable",
               [](Bytes& b) {
                 PutBE16(b, FieldOffset(b, img::kNodeTable, img::node::kSize, 24, img::node::kEdgeCount), 40);
               },
               "node 24's 40 edges"},
        Damage{"StopsPastTheTable",
               [](Bytes& b) {
                 PutBE16(b, FieldOffset(b, img::kRouteTable, img::route::kSize, 6, img::route::kFirstSlot), 60);
               },
               "run past the route-station table's 64 slots"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(Fenwadump, EveryTruncationOfTheImageIsAProblem) {
  const Bytes& image = Sample().image;
  for (std::size_t size = 0; size < image.size(); ++size) {
    const Document dump = InspectBytes(Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size)));
    EXPECT_FALSE(ProblemsOf(dump).empty()) << "cut to " << size << " bytes";
    if (size >= 8) {
      EXPECT_EQ(dump.kind, DocumentKind::kDatabase) << size;
    }
  }
}

TEST(Fenwadump, EveryTruncationOfTheIntermediateFileIsAProblem) {
  const Bytes& file = Sample().intermediate;
  for (std::size_t size = 4; size < file.size(); ++size) {
    const Document dump = InspectBytes(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)));
    ASSERT_EQ(dump.kind, DocumentKind::kIntermediate);
    EXPECT_FALSE(ProblemsOf(dump).empty()) << "cut to " << size << " bytes";
  }
}

// Random damage of either file: the reader never throws, never reads outside
// the file (the sanitizer builds run this too), and always gives printable JSON.
TEST(Fenwadump, RandomDamageNeverBreaksTheReader) {
  std::mt19937 random(20240601);
  for (const Bytes* original : {&Sample().image, &Sample().intermediate}) {
    for (int round = 0; round < 1500; ++round) {
      Bytes bytes = *original;
      const int changes = 1 + static_cast<int>(random() % 8);
      for (int k = 0; k < changes; ++k) {
        // Mostly the header and record list, where one byte moves everything.
        const std::size_t span = random() % 2 == 0 ? std::min<std::size_t>(bytes.size(), 400) : bytes.size();
        if (span == 0) break;
        const std::size_t at = random() % span;
        switch (random() % 4) {
          case 0: bytes[at] = static_cast<std::uint8_t>(random()); break;
          case 1: bytes[at] = 0xFF; break;
          case 2: bytes[at] ^= 0x80; break;
          default: bytes.resize(at + (at < 4 ? 4 : 0)); break;
        }
      }
      Document dump;
      ASSERT_NO_THROW(dump = InspectBytes(bytes)) << "round " << round;
      const ordered_json json = ordered_json::parse(WriteDocument(dump));  // valid JSON, valid UTF-8
      EXPECT_EQ(json["problems"].size(), ProblemsOf(dump).size());
      ASSERT_NO_THROW(Summarize(dump));
    }
  }
}

TEST(Fenwadump, DamagedIntermediateFileIsReportedAndFails) {
  Bytes file = Sample().intermediate;
  file[50] = 0xFF;  // station count -1
  file[51] = 0xFF;
  file.resize(file.size() - 1);
  TempDir dir;
  WriteBytes(dir / "network.dat", file);
  const DumpRun dump = DumpFile(dir.Path(), "network.dat");
  EXPECT_EQ(dump.run.status, 1);
  EXPECT_EQ(dump.json["kind"], "intermediate");
  EXPECT_EQ(dump.json["header"]["station_count"], -1);
  const std::string problems = dump.json["problems"].dump();
  EXPECT_NE(problems.find("the header's station count -1 is negative"), std::string::npos) << problems;
  EXPECT_NE(problems.find("the file ends inside the trailer word of route 6"), std::string::npos) << problems;
}

// Bytes behind the last section are no damage, but the converter never reads them.
TEST(Fenwadump, BytesBehindTheLastSectionAreAWarning) {
  Bytes file = Sample().intermediate;
  file.insert(file.end(), {1, 2, 3});
  TempDir dir;
  WriteBytes(dir / "network.dat", file);
  const DumpRun dump = DumpFile(dir.Path(), "network.dat");
  EXPECT_EQ(dump.run.status, 0) << dump.run.err;
  EXPECT_EQ(dump.json["warnings"].back(), "the 3 bytes behind the last section (from offset " +
                                              std::to_string(Sample().intermediate.size()) +
                                              ") are not read by the converter");
}

TEST(Fenwadump, UndecodableTextIsShownWithItsBytes) {
  TempDir dir;
  // 0x80, 0xA0 and 0xFD-0xFF are no characters (Windows' code page 932 would
  // give them meanings); a lead byte at the end is none either.
  MakeAndConvert(dir.Path(), json::parse(R"({"header": {"rstat_capacity": 1},
                                             "strings": [{"hex": "82a0ff82a2"}, "ok", {"hex": "80a0fd41fe81"}],
                                             "routes": [{"name": "x"}, {"name": {"hex": "93fd8c"}, "company_length": 1}]})"));
  const DumpRun dump = DumpFile(dir.Path(), "fenwaimg.pdb");
  EXPECT_EQ(dump.run.status, 0) << dump.run.err;
  EXPECT_EQ(dump.json["strings"][0]["text"], "あ\xEF\xBF\xBDい");
  EXPECT_EQ(dump.json["strings"][0]["text_bytes"], "82a0ff82a2");
  EXPECT_EQ(dump.json["strings"][1]["text"], "ok");
  EXPECT_FALSE(dump.json["strings"][1].contains("text_bytes"));
  EXPECT_EQ(dump.json["strings"][2]["text"],
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
            "A\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(dump.json["routes"][1]["company_name_bytes"], "93");
  EXPECT_EQ(dump.json["routes"][1]["name_bytes"], "93fd8c");
}

// The picture of the sample through Graphviz: every station by its name, the
// companies in the legend; then, in both pictures, names longer than Graphviz
// reads, cut.
TEST(Fenwadump, PictureOfTheSampleShowsEveryStationThroughGraphviz) {
  if (std::system("command -v dot >/dev/null 2>&1") != 0) GTEST_SKIP() << "Graphviz (dot) is not installed";
  TempDir dir;
  WriteBytes(dir / "fenwaimg.pdb", Sample().image);
  const RunResult svg =
      RunCommand(dir.Path(), "/bin/sh", {"-c", FenwadumpCommand() + " --dot fenwaimg.pdb | dot -Tsvg"});
  ASSERT_EQ(svg.status, 0) << svg.err;
  const json sample = json::parse(ReadText(FENWA_SAMPLE_NETWORK));
  ASSERT_EQ(sample["stations"].size(), 16u);
  for (const json& station : sample["stations"]) {
    EXPECT_NE(svg.out.find(">" + station["name"].get<std::string>() + "</text>"), std::string::npos) << station["name"];
  }
  for (const char* company : {"0 東都急行", "1 北辰電鉄", "2 湾岸高速鉄道", "3 (no company)"})
    EXPECT_NE(svg.out.find(std::string(">") + company + "</text>"), std::string::npos) << company;

  std::string long_names = sample.dump();
  const auto rename = [&](const json& name, char letter) {  // wherever it is named
    const std::string quoted = name.dump(), longer = json(std::string(20000, letter)).dump();
    for (std::size_t at; (at = long_names.find(quoted)) != std::string::npos;)
      long_names.replace(at, quoted.size(), longer);
  };
  rename(sample["stations"][0]["name"], 's');
  rename(sample["routes"][0]["name"], 'r');
  MakeAndConvert(dir.Path(), json::parse(long_names));
  for (const char* view : {"--dot", "--dot=graph"}) {
    const RunResult cut =
        RunCommand(dir.Path(), "/bin/sh", {"-c", FenwadumpCommand() + " " + view + " fenwaimg.pdb | dot -Tsvg"});
    ASSERT_EQ(cut.status, 0) << view << ": " << cut.err;
    EXPECT_NE(cut.out.find("sss…<"), std::string::npos) << view;
  }
}

struct Picture {
  const char* label;
  std::vector<std::string> args;  // before the file
  bool image;                     // of the image, else of the intermediate file
  int status;
  std::vector<std::string> shown, left_out;  // in the Graphviz text
};

class Pictures : public testing::TestWithParam<Picture> {};

TEST_P(Pictures, ShowWhatWasAskedAndWhatLiesNextToIt) {
  const Picture& p = GetParam();
  TempDir dir;
  const std::string file = p.image ? "fenwaimg.pdb" : "network.dat";
  WriteBytes(dir / file, p.image ? Sample().image : Sample().intermediate);
  std::vector<std::string> args = p.args;
  args.push_back(file);
  const RunResult run = RunFenwadump(dir.Path(), args);
  EXPECT_EQ(run.status, p.status) << run.err;
  for (const std::string& text : p.shown) EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
  for (const std::string& text : p.left_out) EXPECT_EQ(run.out.find(text), std::string::npos) << text;
  if (p.status == 2) {
    EXPECT_EQ(run.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sample, Pictures,
    testing::Values(
        // Route 6 and the stretches of route 2 at 白樺, its first stop.
        Picture{"OneRouteOfTheImage",
                {"--dot", "--only=route:北辰電鉄白樺支線"},
                true,
                0,
                {"label=\"白樺\"", "label=\"牧場前\"", "label=\"北町\"", "label=\"北辰湖\"", "1 北辰電鉄"},
                {"label=\"中央\"", "label=\"空港前\"", "東都急行"}},
        Picture{"OneCompanyOfTheFile",
                {"--only=company:湾岸高速鉄道", "--dot"},
                false,
                0,
                {"label=\"海浜公園\"", "label=\"若葉台\"", "label=\"川端\"", "0 東都急行", "3 (no company)"},
                {"label=\"北辰湖\"", "label=\"牧場前\"", "北辰電鉄"}},
        Picture{"TheWholeGraph", {"--dot=graph"}, true, 0, {"n2 -> n3 [label=\"4\"]", "node 24\\n"}, {"node 44"}},
        Picture{"OneRouteOfTheGraph",
                {"--dot=graph", "--only=route:北辰電鉄白樺支線"},
                false,
                0,
                {"n22 -> n23 [label=\"7\"]", "n9 -> n22 [label=\"3\"]", "node 9\\n"},
                {"node 2\\n", "node 10\\n"}},
        Picture{"NoSuchRoute", {"--dot", "--only=route:無い線"}, true, 2, {}, {}},
        Picture{"OnlyWithoutDot", {"--only=route:北辰電鉄白樺支線"}, true, 2, {}, {}},
        Picture{"SummaryAndDot", {"--summary", "--dot"}, true, 2, {}, {}}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// Dumps of damaged and cut files match the schema as sound ones do.
TEST(Fenwadump, DumpsOfDamagedFilesMatchTheSchema) {
  TempDir dir;
  std::vector<std::string> names;
  const auto add = [&](const std::string& name, const Bytes& bytes) {
    WriteBytes(dir / name, bytes);
    WriteText(dir / (name + ".json"), RunFenwadump(dir.Path(), {name}).out);
    names.push_back(name + ".json");
  };
  for (std::size_t size : {0, 40, 100, 400, 1000}) {
    add("image" + std::to_string(size), Bytes(Sample().image.begin(), Sample().image.begin() + size));
    add("file" + std::to_string(size),
        Bytes(Sample().intermediate.begin(),
              Sample().intermediate.begin() + std::min(size, Sample().intermediate.size())));
  }
  Bytes damaged = Sample().image;
  PutBE16(damaged, FieldOffset(damaged, img::kNodeTable, img::node::kSize, 24, img::node::kEdgeCount),
          40);  // edges past the table
  PutBE16(damaged, FieldOffset(damaged, img::kRouteTable, img::route::kSize, 3, img::route::kCompany),
          1);                                    // a wrong company
  damaged.at(RecordOffset(damaged, 12)) = 0xFF;  // undecodable text
  add("damaged", damaged);
  if (!CheckAgainstSchema(dir.Path(), names)) GTEST_SKIP() << "python3-jsonschema is not installed";
}

TEST(Fenwadump, RefusesFilesItDoesNotKnow) {
  TempDir dir;
  WriteText(dir / "notes.txt", "just some text, long enough to be more than a database header would be......");
  const DumpRun dump = DumpFile(dir.Path(), "notes.txt");
  EXPECT_EQ(dump.run.status, 1);
  EXPECT_EQ(dump.json["kind"], "unknown");
  EXPECT_NE(dump.run.err.find("neither an intermediate data file"), std::string::npos);
}

// Files made to cost much: each is read and shown in work and output that
// stay in proportion to its size, within 200 MB of memory and a few seconds.
// A description or dump in JSON is read by fenwamake and fenwadump --diff:
// each refuses it where it passes what the file can hold, or makes it.
struct Costly {
  const char* label;
  std::function<void(const fs::path&)> make;  // writes the file "costly"
  const char* problem;                        // a part of the problem (or warning, or refusal) that must be reported
  int status = 1;                             // 0 when the file has warnings only (or fenwamake makes it)
  bool json = false;                          // run fenwamake and fenwadump --diff on it
};

// JSON of the most bytes the tools read (under the sanitizers, which take
// far longer to read it, a sixteenth, still far past every table's count):
// `head`, `item` over and over with `between` between them, and `tail`.
std::string Repeated(const std::string& head, const std::string& item, const std::string& tail,
                     const std::string& between = ",") {
#ifdef FENWA_SANITIZED
  constexpr std::size_t kMost = 4u << 20;
#else
  constexpr std::size_t kMost = 64u << 20;
#endif
  std::string text;
  text.reserve(kMost);
  text += head;
  text += item;
  while (text.size() + between.size() + item.size() + tail.size() <= kMost) {
    text += between;
    text += item;
  }
  text += tail;
  return text;
}

// JSON of nearly the most bytes the tools read, whose `count` texts after `head` differ.
std::string DistinctTexts(const std::string& head, std::size_t count, const std::string& open,
                          const std::string& close) {
  const std::size_t length = (64u << 20) / count - open.size() - close.size() - 16;
  std::string text = head;
  text.reserve(64u << 20);
  for (std::size_t i = 0; i < count; ++i) {
    text += (i == 0 ? "" : ",") + open + std::string(length, 'a') + std::to_string(1000000 + i) + close;
  }
  return text + "]}";
}

// A dump whose 32767 strings all start at the first byte of a full pool.
std::string OverlappingStringsDump() {
  std::string strings;
  for (int i = 0; i < 32767; ++i) strings += std::string(i == 0 ? "" : ",") + "{\"offset\": 0}";
  return "{\"kind\": \"intermediate\", \"string_pool\": \"" + std::string(2 * 65535, '4') + "\", \"strings\": [" +
         strings + "]}";
}

// An image whose routes (or nodes) all claim the whole route-station (or edge) table.
Bytes ClaimingImage(bool routes) {
  Network network;
  network.string_index = {0};
  network.string_pool = {'A', 0};
  network.route_stations.assign(2 * 16383, 0);
  Graph graph;
  graph.edges.assign(16383, Edge{2, 1});
  const std::size_t claimants = routes ? 4681 : 6533;
  for (std::size_t i = 0; i < claimants; ++i) {
    if (routes) network.routes.push_back({0, 0, kNoIndex, 16383, 0, 0, 0, 0});
    if (!routes) graph.nodes.push_back({0, 0, kNoIndex, 0, 16383});
  }
  graph.file_node_count = static_cast<std::uint16_t>(graph.nodes.size());
  graph.nodes.resize(graph.nodes.size() + intermediate::kReserveNodes);
  ByteWriter image;
  WriteImage(network, graph, image::image_header::kVersionText, image);
  return image.ToVector();
}

// An image whose strings all start inside one run of the pool without a NUL,
// and whose stations each name one of them: texts of a gibibyte in all.
Bytes OverlappingNamesImage() {
  Network network;
  network.string_pool.assign(65534, '\x82');
  network.string_pool.push_back('\0');
  for (std::uint16_t i = 0; i < 32767; ++i) network.string_index.push_back(static_cast<std::uint16_t>(2 * i));
  for (std::uint16_t i = 0; i < 16383; ++i) network.stations.push_back({i, 0, 0, 0});
  network.routes.push_back({0, 0, kNoIndex, 0, 0, 0, 0, 0});
  network.route_stations.assign(2, 0);
  Graph graph;
  graph.nodes.resize(intermediate::kReserveNodes);
  ByteWriter image;
  WriteImage(network, graph, image::image_header::kVersionText, image);
  return image.ToVector();
}

// An image of a string table and nothing else, every string outside its pool.
Bytes StringsOutsideThePoolImage() {
  Network network;
  network.string_pool = {'A', 0};
  network.string_index.assign(32767, 60000);
  network.routes.push_back({0, 0, kNoIndex, 0, 0, 0, 0, 0});
  network.route_stations.assign(2, 0);
  Graph graph;
  graph.nodes.resize(intermediate::kReserveNodes);
  ByteWriter image;
  WriteImage(network, graph, image::image_header::kVersionText, image);
  return image.ToVector();
}

// A file of 2 GiB that holds next to nothing: the first bytes given, the rest a hole.
void Sparse(const fs::path& path, const Bytes& head) {
  WriteBytes(path, head);
  fs::resize_file(path, std::uint64_t{2} << 30);
}

class CostlyFile : public testing::TestWithParam<Costly> {};

TEST_P(CostlyFile, IsShownInProportionToItsSize) {
  TempDir dir;
  GetParam().make(dir.Path());
  const std::uint64_t size = std::min<std::uint64_t>(fs::file_size(dir / "costly"), 1u << 20);
#ifdef FENWA_SANITIZED
  const bool limited = false;  // the sanitizers reserve more address space than any limit allows
#else
  const bool limited = !ToolsReplaced();  // an emulator needs room of its own
#endif
  const std::string limits = limited ? "ulimit -v 204800; " : "";
  if (GetParam().json) {
    WriteText(dir / "sample.json", ReadText(FENWA_SAMPLE_NETWORK));
    const RunResult made =
        RunCommand(dir.Path(), "/bin/sh", {"-c", limits + "exec timeout 20 " + FenwamakeCommand() + " costly made"});
    EXPECT_EQ(made.status, GetParam().status) << made.err.substr(0, 500);
    EXPECT_NE(made.err.find(GetParam().problem), std::string::npos) << made.err.substr(0, 500);
    const RunResult diff = RunCommand(
        dir.Path(), "/bin/sh", {"-c", limits + "exec timeout 20 " + FenwadumpCommand() + " --diff costly sample.json"});
    EXPECT_EQ(diff.status, GetParam().status == 0 ? 1 : 2) << diff.err.substr(0, 500);
    EXPECT_NE(diff.err.find(GetParam().problem), std::string::npos) << diff.err.substr(0, 500);
    return;
  }
  for (const char* output : {"", "--summary", "--dot"}) {
    const RunResult run = RunCommand(
        dir.Path(), "/bin/sh", {"-c", limits + "exec timeout 20 " + FenwadumpCommand() + " " + output + " costly"});
    EXPECT_EQ(run.status, GetParam().status) << output << ": " << run.err.substr(0, 500);
    EXPECT_LE(run.out.size(), 64 * size + 65536) << output;
    if (*output == '\0') {
      EXPECT_NE(run.out.find(GetParam().problem), std::string::npos) << run.err.substr(0, 500);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CostlyFile,
    testing::Values(
        // Stops and edges past the tables the converter fills, in bytes it would read for other tables.
        Costly{
            "StopsPastTheRouteStationTable",
            [](const fs::path& dir) {
              NetworkDescription network = SmallNetwork();
              network.header.rstat_capacity = 5;
              WriteBytes(dir / "costly", BuildNetworkFile(network));
            },
            "route 2's block (2 stops from entry 4) does not fit the 5 entries of the route-station table: no further"},
        Costly{"EdgesPastTheEdgeTable",
               [](const fs::path& dir) {
                 NetworkDescription network = SmallNetwork();
                 network.header.edge_capacity = 2;
                 network.nodes[2].edges.push_back({1, 11});  // three edges behind node 0's one
                 WriteBytes(dir / "costly", BuildNetworkFile(network));
               },
               "edge 2 of node 2 comes after the 2 edges the converter stores and the one it refuses"},
        Costly{"ProblemsPastWhatADumpLists",
               [](const fs::path& dir) {  // 65535 records, each with three faults
                 Bytes image(Sample().image.begin(), Sample().image.begin() + img::database::kSize);
                 PutBE16(image, img::database::kNumberOfRecords.offset, 0xFFFF);
                 image.resize(EntryOffset(0xFFFF));
                 for (std::size_t i = 0; i < 0xFFFF; ++i)
                   image[EntryOffset(i) + img::record_entry::kUniqueId.offset] = 1;
                 WriteBytes(dir / "costly", image);
               },
               "more problems, not listed"},
        Costly{"RoutesClaimingTheWholeRouteStationTable",
               [](const fs::path& dir) { WriteBytes(dir / "costly", ClaimingImage(true)); },
               "4680 routes (the first route 1) claim route-station slots that routes before them have"},
        Costly{"NodesClaimingTheWholeEdgeTable",
               [](const fs::path& dir) { WriteBytes(dir / "costly", ClaimingImage(false)); },
               "6532 nodes (the first node 1) claim edges that nodes before them have"},
        Costly{"NamesOverlappingAcrossThePool",
               [](const fs::path& dir) { WriteBytes(dir / "costly", OverlappingNamesImage()); },
               "the names and strings overlap so much in the pool"},
        Costly{"StringsOutsideThePool",
               [](const fs::path& dir) { WriteBytes(dir / "costly", StringsOutsideThePoolImage()); },
               "… and 32757 more strings start outside the pool", 0},
        Costly{"TwoGibibytesOfNothing", [](const fs::path& dir) { Sparse(dir / "costly", {}); },
               "neither an intermediate data file"},
        Costly{"AnImageOfTwoGibibytes",
               [](const fs::path& dir) {
                 Bytes image = Sample().image;
                 image.resize(image.size() - 4);  // the last edge's place, then the hole
                 Sparse(dir / "costly", image);
               },
               "the FNOD table is 2147482"},
        Costly{"SectionsNearTheEndOfTwoGibibytes",
               [](const fs::path& dir) {
                 NetworkDescription network = SmallNetwork();
                 network.header.base_offset = 0x7FFFFF00;
                 network.header.trailer_offset = 0x7FFFFFFE;  // room for one of the three trailer words
                 Sparse(dir / "costly", BuildNetworkFile(network));
               },
               "the file ends inside"},
        Costly{"EmptyNodesPastTheNodeCount",
               [](const fs::path& dir) { WriteText(dir / "costly", Repeated("{\"nodes\": [", "{}", "]}")); },
               "line 1, column 196617: nodes[65535]: more than 65535 nodes", 1, true},
        Costly{"StationsOnLinesPastTheStationCount",
               [](const fs::path& dir) {
                 WriteText(dir / "costly", Repeated("{\"stations\": [\n",
                                                    "{\"word_a\": 1, \"sort\": 2, \"note\": \"\"}", "\n]}", ",\n"));
               },
               "line 32769, column 1: stations[32767]: more than 32767 stations", 1, true},
        Costly{"StopsPastTheRouteStationCapacity",
               [](const fs::path& dir) {
                 WriteText(dir / "costly",
                           Repeated("{\"routes\": [{\"name\": \"a\", \"stops\": [", "{\"station\": 0}", "]}]}"));
               },
               "routes[0].stops[32767]: more than 32767 stops in all", 1, true},
        Costly{"NamesPastTheStringPool",
               [](const fs::path& dir) {
                 WriteText(dir / "costly", DistinctTexts("{\"stations\": [", 2000, "{\"name\": \"", "\"}"));
               },
               "stations[1].name: the strings and names come to more than 65535 bytes", 1, true},
        Costly{"DumpedNamesPastTheStringPool",
               [](const fs::path& dir) {
                 WriteText(dir / "costly", DistinctTexts("{\"kind\": \"intermediate\", \"stations\": [", 32000,
                                                         "{\"name\": \"", "\"}"));
               },
               "stations[31].name: the string pool would hold more than 65535 bytes", 1, true},
        Costly{"AStringOfSixtyFourMebibytes",
               [](const fs::path& dir) { WriteText(dir / "costly", Repeated("{\"note\": \"", "a", "\"}", "")); },
               "line 1, column 10: note: not valid JSON: a string longer than 1048576 bytes", 1, true},
        Costly{"ANumberOfSixtyFourMebibytes",
               [](const fs::path& dir) {
                 WriteText(dir / "costly", Repeated("{\"stations\": [{\"word_a\": ", "1", "}]}", ""));
               },
               "stations[0].word_a: a number longer than 1048576 bytes", 1, true},
        Costly{"LongNodeIds",
               [](const fs::path& dir) {
                 WriteText(dir / "costly", DistinctTexts("{\"nodes\": [", 6000, "{\"id\": \"", "\"}"));
               },
               "", 0, true},
        Costly{"StringsOverlappingInThePool",
               [](const fs::path& dir) { WriteText(dir / "costly", OverlappingStringsDump()); }, "", 0, true}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// Names from a file reach the terminal with their control characters escaped:
// a crafted name cannot move the cursor, set a window's title or colours.
TEST(Fenwadump, NamesAreShownWithTheirControlCharactersEscaped) {
  TempDir dir;
  const std::string crafted = "\x1b]0;owned\x07\x1b[2J中央";
  MakeAndConvert(
      dir.Path(),
      {{"stations", {{{"name", crafted}}}},
       {"routes",
        {{{"name", "r"}}, {{"name", crafted + "線"}, {"company", crafted}, {"stops", {{{"station", crafted}}}}}}}});
  // Each shows the name; the graph has no nodes to show it on.
  const std::vector<std::vector<std::string>> runs = {{"--summary", "fenwaimg.pdb"},
                                                      {"--dot", "fenwaimg.pdb"},
                                                      {"--dot", "--only=route:" + crafted + "線", "fenwaimg.pdb"},
                                                      {"--dot", "--only=route:" + crafted, "fenwaimg.pdb"}};
  for (const std::vector<std::string>& args : runs) {
    const RunResult run = RunFenwadump(dir.Path(), args);
    for (const std::string& text : {run.out, run.err}) {
      EXPECT_EQ(std::count_if(text.begin(), text.end(),
                              [](char c) { return c != '\n' && static_cast<unsigned char>(c) < 0x20; }),
                0)
          << args[0] << ": " << text;
    }
    EXPECT_NE((run.out + run.err).find("\\x1B]0;owned\\x07\\x1B[2J中央"), std::string::npos)
        << args[0] << run.out << run.err;
  }
}

}  // namespace

namespace {

// tools/network.schema.json against the tools' mapping of records to JSON:
// every record's fields are the schema's properties, and where the schema
// says what a field is to fenwamake (READ BACK, DERIVED, NAME), the mapping agrees.
class SchemaOf {
 public:
  SchemaOf() : root_(json::parse(ReadText(FENWA_SCHEMA))) {}

  // The object schema at `path` from the definition `start`: "stations[]" is
  // the items of the property stations, "header" the property itself.
  const json& At(const std::string& start, const std::vector<std::string>& path) const {
    const json* node = &Resolve(root_["$defs"][start]);
    for (const std::string& step : path) {
      const bool items = step.ends_with("[]");
      node = &Resolve((*node)["properties"][items ? step.substr(0, step.size() - 2) : step]);
      if (items) node = &Resolve((*node)["items"]);
    }
    return *node;
  }

 private:
  // Follows "$ref": "#/$defs/a/b" to what it names.
  const json& Resolve(const json& node) const {
    if (!node.is_object() || !node.contains("$ref")) return node;
    const std::string ref = node["$ref"].get<std::string>().substr(2);
    return Resolve(root_.at(json::json_pointer("/" + ref)));
  }

  json root_;
};

TEST(Schema, ListsEveryFieldOfEveryRecordAsTheToolsReadAndWriteIt) {
  const SchemaOf schema;
  const std::map<std::string, std::pair<std::string, std::vector<std::string>>> places = {
      {"description", {"description", {}}},
      {"description station", {"description", {"stations[]"}}},
      {"description route", {"description", {"routes[]"}}},
      {"description stop", {"description", {"routes[]", "stops[]"}}},
      {"description node", {"description", {"nodes[]"}}},
      {"description edge", {"description", {"nodes[]", "edges[]"}}},
      {"description header", {"description", {"header"}}},
      {"intermediate", {"intermediateDump", {}}},
      {"intermediate header", {"intermediateDump", {"header"}}},
      {"intermediate station", {"intermediateDump", {"stations[]"}}},
      {"intermediate route", {"intermediateDump", {"routes[]"}}},
      {"intermediate stop", {"intermediateDump", {"routes[]", "stops[]"}}},
      {"intermediate company", {"intermediateDump", {"companies[]"}}},
      {"intermediate string", {"intermediateDump", {"strings[]"}}},
      {"intermediate node", {"intermediateDump", {"nodes[]"}}},
      {"intermediate edge", {"intermediateDump", {"nodes[]", "edges[]"}}},
      {"database", {"databaseDump", {}}},
      {"database database", {"databaseDump", {"database"}}},
      {"database record", {"databaseDump", {"records[]"}}},
      {"database image_header", {"databaseDump", {"image_header"}}},
      {"database station", {"databaseDump", {"stations[]"}}},
      {"database route_stations", {"databaseDump", {"route_stations"}}},
      {"database route", {"databaseDump", {"routes[]"}}},
      {"database stop", {"databaseDump", {"routes[]", "stops[]"}}},
      {"database company", {"databaseDump", {"companies[]"}}},
      {"database string", {"databaseDump", {"strings[]"}}},
      {"database node", {"databaseDump", {"nodes[]"}}},
      {"database edge", {"databaseDump", {"nodes[]", "edges[]"}}},
      {"database unowned edge", {"databaseDump", {"unowned_edges[]"}}},
      {"unknown", {"unknownDump", {}}}};
  const std::map<std::string, FieldRole> roles = {
      {"READ BACK", FieldRole::kReadBack}, {"DERIVED", FieldRole::kDerived}, {"NAME", FieldRole::kName}};
  for (const FieldListing& listing : ListFields()) {
    SCOPED_TRACE(listing.record);
    ASSERT_EQ(places.count(listing.record), 1u);
    const auto& [start, path] = places.at(listing.record);
    const json& properties = schema.At(start, path)["properties"];
    std::set<std::string> in_schema, in_mapping;
    for (const auto& item : properties.items()) {
      if (item.key() != "note") in_schema.insert(item.key());
    }
    for (const auto& [key, role] : listing.fields) {
      in_mapping.insert(key);
      const json& field = properties.contains(key) ? properties[key] : json::object();
      const std::string about = field.value("description", "");
      for (const auto& [word, meant] : roles) {
        if (about.rfind(word, 0) == 0) {
          EXPECT_EQ(static_cast<int>(role), static_cast<int>(meant)) << key << ": " << about;
        }
      }
    }
    EXPECT_EQ(in_mapping, in_schema);
  }
}

}  // namespace
