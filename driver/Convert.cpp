#include "driver/Convert.h"

#include <cstdio>
#include <string>

#include "base/ByteWriter.h"
#include "base/Fatal.h"
#include "driver/Messages.h"
#include "fileio/CurrentFile.h"
#include "network/Companies.h"
#include "network/Loader.h"
#include "pdb/Image.h"

namespace {

[[noreturn]] void OpenFailure(const std::string& what, const CurrentFile& file) {
  std::fputs(kOpenFailureMessage, stdout);
  FatalError(what + ": " + file.Error());
}

// Loads the network and its graph from the open input, then closes it.
void Load(CurrentFile& input, Network& network, Graph& graph) {
  const NetworkInput bytes = NetworkInput::Read(input);
  network = LoadBaseTables(bytes);
  AssignCompanies(network);
  graph = LoadGraph(bytes);
  input.Close();
}

void PrintDiagnostic(const std::string& text) {
  std::string line = "fenwaimg: " + text;
  if (line.back() != '\n') line += '\n';
  std::fputs(line.c_str(), stderr);
}

}  // namespace

void ConvertFile(const char* path) {
  CurrentFile file;  // closed, and an unfinished output removed, whatever happens
  if (!file.Open(path, "rb")) OpenFailure(std::string("cannot open ") + path, file);
  Network network;
  Graph graph;
  Load(file, network, graph);
  FinishGraph(graph);
  EmptySpecialAndReserveNodes(graph);
  ByteWriter image;
  WriteImage(network, graph, kImageVersion, image);
  if (!file.OpenReplacement(kOutputFileName)) OpenFailure(std::string("cannot create ") + kOutputFileName, file);
  file.Write(image.Bytes().data(), static_cast<std::int32_t>(image.Size()));
  if (!file.CommitReplacement()) OpenFailure(std::string("cannot write ") + kOutputFileName, file);
}

int RunConverter(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsageMessage, stdout);
    return kExitFailure;
  }
  try {
    ConvertFile(argv[1]);
  } catch (const FatalErrorException& failure) {
    PrintDiagnostic(failure.what());
    std::fflush(stdout);
    return kExitFailure;
  }
  std::fputs(kCompletionMessage, stdout);
  return 0;
}
