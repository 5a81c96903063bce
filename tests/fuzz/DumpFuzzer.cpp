// fenwadump's readers on arbitrary bytes, in memory: the tolerant readers of
// either file never fail, and what they make of any input holds together.
//   - the dump, the summary and both pictures are made, and the dump is JSON
//     that the tools read back as the same kind of document;
//   - what is shown stays in proportion to the input;
//   - an intermediate data file without problems is one the converter converts;
//   - an image without problems makes, through its dump and fenwamake, a file
//     the converter turns into the same image again.
// Crashes, sanitizer reports and leaks are found by the sanitizers themselves.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "driver/Convert.h"
#include "network/NetworkFile.h"
#include "toolkit/Inspect.h"
#include "toolkit/JsonMapping.h"
#include "toolkit/Make.h"
#include "toolkit/Views.h"

namespace {

void Check(bool condition, const std::string& what) {
  if (condition) return;
  std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n", what.c_str());
  std::abort();
}

// The image its own dump makes again, through fenwamake and the converter.
std::vector<std::uint8_t> ImageOfDump(const std::string& json) {
  const MadeNetwork made = MakeNetwork(ReadDocument(json), MakeOptions{});
  const std::vector<std::uint8_t> file = BuildNetworkFile(made.network);
  const Conversion converted = ConvertInMemory(file, "made.dat");
  Check(converted.status == 0, "the dump of a sound image makes a file the converter refuses: " + converted.Error());
  return converted.image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const Document document = InspectBytes(bytes);
  const std::string json = WriteDocument(document);
  const std::string summary = Summarize(document);
  DotOptions picture;
  const std::string network = DrawDot(document, picture);
  picture.view = DotOptions::View::kGraph;
  const std::string graph = DrawDot(document, picture);
  // The texts shown come to at most eight times the file and 64 KiB, and a
  // byte of text to at most eight of JSON (a control byte escaped, and its
  // hex among the raw bytes); every entry around them to at most 64 a byte.
  const std::size_t most = (8 * 8 + 64) * size + 8 * 8 * 65536;
  Check(json.size() <= most && network.size() <= most && graph.size() <= most, "output out of proportion to the input");
  Check(summary.size() < 24 * 400, "a summary longer than a screenful");
  Check(ReadDocument(json).kind == document.kind, "the dump reads back as another kind of document");

  const bool sound = ProblemsOf(document).empty();
  if (document.kind == DocumentKind::kIntermediate) {
    Check(!sound || ConvertInMemory(bytes, "input.dat").status == 0, "a file without problems is refused");
  } else if (document.kind == DocumentKind::kDatabase && sound) {
    Check(ImageOfDump(json) == std::vector<std::uint8_t>(data, data + size),
          "the dump of a sound image makes another image");
  }
  return 0;
}
