// The files fenwadump --diff compares, each taken as the image it is or makes.
#include <algorithm>

#include "base/ToolError.h"
#include "diff/Diff.h"
#include "driver/Convert.h"
#include "network/NetworkFile.h"
#include "pdb/ImageFormat.h"
#include "toolkit/Inspect.h"
#include "toolkit/JsonMapping.h"
#include "toolkit/Make.h"

namespace diff {

namespace {

std::vector<std::uint8_t> AllOf(ByteSource& source) {
  if (source.Size() > kMostComparedBytes)
    throw ToolError("it is " + std::to_string(source.Size()) + " bytes, more than the " +
                    std::to_string(kMostComparedBytes) + " a file to compare may be");
  try {
    std::vector<std::uint8_t> bytes = source.Read(0, source.Size());
    if (bytes.size() != source.Size()) throw ToolError("it ended early");
    return bytes;
  } catch (const ToolError& error) {
    throw ToolError(std::string("cannot read it: ") + error.what());
  }
}

// The intermediate data file fenwamake makes of a description or a dump.
std::vector<std::uint8_t> MakeFromJson(ComparedFile& file) {
  const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
  try {
    const Document document = ReadDocument(text);
    file.kind = JsonFileKind(document.kind).value_or(FileKind::kDescription);  // an unknown one is refused below
    const MadeNetwork made = MakeNetwork(document, MakeOptions{});
    for (const std::string& note : made.notes) file.notes.push_back("note: " + note);
    for (const std::string& warning : made.warnings) file.notes.push_back("warning: " + warning);
    return BuildNetworkFile(made.network);
  } catch (const ToolError& error) {
    if (error.At()) throw ToolError("fenwamake refuses it: " + DescribeRefusal(error));
    throw ToolError(std::string("fenwamake cannot lay out its file: ") + error.what());
  }
}

std::vector<std::uint8_t> Convert(const std::vector<std::uint8_t>& file, const std::string& name) {
  Conversion conversion = ConvertInMemory(file, name);
  if (conversion.status == 0) return std::move(conversion.image);
  throw ToolError("the converter refuses it: " + conversion.reason);
}

}  // namespace

const char* FileKindName(FileKind kind) {
  switch (kind) {
    case FileKind::kIntermediate: return "intermediate";
    case FileKind::kDatabase: return "database";
    case FileKind::kDescription: return "description";
    case FileKind::kIntermediateDump: return "intermediate dump";
    case FileKind::kDatabaseDump: return "database dump";
  }
  return "";
}

std::optional<FileKind> JsonFileKind(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kDescription: return FileKind::kDescription;
    case DocumentKind::kIntermediate: return FileKind::kIntermediateDump;
    case DocumentKind::kDatabase: return FileKind::kDatabaseDump;
    case DocumentKind::kUnknown: break;
  }
  return std::nullopt;
}

bool LooksLikeJson(std::span<const std::uint8_t> bytes) {
  const std::string_view start(reinterpret_cast<const char*>(bytes.data()),
                               std::min(bytes.size(), kByteOrderMark.size()));
  if (start == kByteOrderMark) bytes = bytes.subspan(kByteOrderMark.size());
  for (std::uint8_t c : bytes) {
    if (c == '{') return true;
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return false;
}

ComparedFile ReadCompared(ByteSource& source, const std::string& name) {
  ComparedFile file;
  file.name = name;
  file.bytes = AllOf(source);
  const std::size_t head = std::min<std::size_t>(file.bytes.size(), image::database::kSize);
  const DocumentKind kind = DetectKind(std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.begin() + head));
  if (kind == DocumentKind::kDatabase) {
    file.kind = FileKind::kDatabase;
    file.image = file.bytes;
  } else if (kind == DocumentKind::kIntermediate) {
    file.kind = FileKind::kIntermediate;
    file.image = Convert(file.bytes, name);
  } else if (LooksLikeJson(file.bytes)) {
    file.image = Convert(MakeFromJson(file), name);
  } else {
    throw ToolError("neither an intermediate data file, a fenwaimg.pdb, nor a description or dump in JSON");
  }
  file.dump = InspectBytes(file.image);
  const std::size_t problems = ProblemsOf(file.dump).size();
  if (problems > 0)
    file.notes.push_back(std::to_string(problems) + (problems == 1 ? " problem" : " problems") +
                         " in the image, compared as far as it could be read (fenwadump " + name + " lists them)");
  return file;
}

}  // namespace diff
