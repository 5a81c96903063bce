// Another build of the converter (FENWA_CONVERTER, the Windows executable under
// Wine) against the native one, on the same inputs in twin folders: the same
// status, the same console bytes but for the line ends, the same files left
// behind and the same image, byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/Harness.h"

namespace fs = std::filesystem;

namespace {

RunResult RunNative(const fs::path& folder, const std::string& input) {
  TempDir capture;
  const std::string command = "cd " + ShellQuote(folder.string()) + " && exec " + ShellQuote(FENWAIMG_PATH) + " " +
                              ShellQuote(input) + " >" + ShellQuote((capture / "out").string()) +
                              " 2>/dev/null </dev/null";
  const int raw = std::system(("/bin/sh -c " + ShellQuote(command)).c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  const Bytes out = ReadBytes(capture / "out");
  result.out.assign(out.begin(), out.end());
  return result;
}

struct ParityCase {
  const char* name;
  Bytes input;
  bool converts;
};

// Networks that reach every table, with Shift_JIS names, many companies, both
// section orders, and files large enough to need many reads and writes.
NetworkDescription ManyRoutes(std::size_t stations, std::size_t routes, std::size_t nodes) {
  NetworkDescription network;
  for (std::size_t i = 0; i < stations; ++i) {
    const auto n = static_cast<std::uint16_t>(i);
    network.stations.push_back({static_cast<std::uint16_t>(n * 7), static_cast<std::uint16_t>(~n), 0x5A5A,
                                static_cast<std::uint16_t>(stations - 1 - i),
                                static_cast<std::uint16_t>((i * 13) % stations)});
  }
  // "東都" + a company letter + "線" + a number: the company is the first five bytes.
  for (std::size_t r = 0; r < routes; ++r) {
    network.strings.push_back(std::string("\x93\x8c\x93\x73") + static_cast<char>('A' + r % 30) + "\x90\xfc" +
                              std::to_string(r));
  }
  std::size_t stops_total = 0;
  for (std::size_t r = 0; r < routes; ++r) {
    RouteDescription route;
    route.name_index = static_cast<std::uint16_t>(r);
    route.company_length = r % 7 == 3 ? 0 : 5;
    route.opaque_word = static_cast<std::uint16_t>(0x8000 + r);
    route.opaque_byte = static_cast<std::uint8_t>(r * 3);
    route.trailer = static_cast<std::uint16_t>(0xA000 + r);
    for (std::size_t s = 0; s < 2 + r % 5; ++s) {
      route.stops.push_back({static_cast<std::uint16_t>((r * 5 + s) % stations), static_cast<std::uint16_t>(s)});
    }
    stops_total += route.stops.size();
    network.routes.push_back(route);
  }
  network.header.rstat_capacity = static_cast<std::uint16_t>(stops_total);
  std::size_t edges_total = 0;
  for (std::size_t i = 0; i < nodes; ++i) {
    NodeDescription node{static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(i * 3), {}};
    for (std::size_t e = 0; e < i % 4; ++e) {
      node.edges.push_back({static_cast<std::uint16_t>(((i + e + 1) % nodes) | (e == 2 ? 0x8000 : 0)),
                            static_cast<std::uint16_t>(10 * e + 1)});
    }
    edges_total += node.edges.size();
    network.nodes.push_back(node);
  }
  network.header.edge_capacity = static_cast<std::uint16_t>(edges_total + 1);
  return network;
}

std::vector<ParityCase> Cases() {
  NetworkDescription trailer_first = ManyRoutes(40, 25, 30);
  trailer_first.order = SectionOrder::kTrailerThenBase;
  const Bytes large = BuildNetworkFile(ManyRoutes(12000, 3000, 6000));
  Bytes bad_magic = BuildNetworkFile(SmallNetwork());
  bad_magic[3] = '\n';
  return {
      {"Empty", BuildNetworkFile(NetworkDescription{}), true},
      {"Small", BuildNetworkFile(SmallNetwork()), true},
      {"TrailerFirst", BuildNetworkFile(trailer_first), true},
      {"Large", large, true},
      {"BadMagic", bad_magic, false},
      {"Truncated", Bytes(large.begin(), large.begin() + static_cast<std::ptrdiff_t>(large.size() / 2)), false},
  };
}

TEST(NativeParity, AnotherBuildBehavesByteForByteLikeTheNativeOne) {
  if (!ConverterReplaced()) GTEST_SKIP() << "set FENWA_CONVERTER to compare another build with this one";
  for (const ParityCase& parity : Cases()) {
    SCOPED_TRACE(parity.name);
    TempDir native;
    TempDir other;
    for (const TempDir* dir : {&native, &other}) WriteBytes(*dir / "net.dat", parity.input);
    const RunResult expected = RunNative(native.Path(), "net.dat");
    const RunResult run = RunFenwaimg(other.Path(), {"net.dat"});
    ASSERT_EQ(expected.status, parity.converts ? 0 : 9) << "the native build itself";
    EXPECT_EQ(run.status, expected.status) << run.err;
    EXPECT_EQ(run.out, ConsoleLines(expected.out));
    EXPECT_EQ(FolderEntries(other.Path()), FolderEntries(native.Path()));
    if (parity.converts) {
      const Bytes image = ReadBytes(native / "fenwaimg.pdb");
      EXPECT_GT(image.size(), parity.input.size() / 2);
      EXPECT_TRUE(ReadBytes(other / "fenwaimg.pdb") == image) << "the images differ";
    }
  }
}

}  // namespace
