#include "driver/Convert.h"

#include <cstdio>
#include <string>

#include "base/Fatal.h"
#include "driver/Messages.h"
#include "fileio/CurrentFile.h"
#include "network/Base.h"
#include "network/Graph.h"
#include "pdb/Image.h"

namespace {

[[noreturn]] void OpenFailure(const std::string& what) {
  std::fputs(kOpenFailureMessage, stdout);
  FatalError(what + ": " + CurrentFileError());
}

void ConvertOpenFile() {
  ReleaseGraphTables();
  ReleaseNetworkTables();
  LoadBaseTables();
  AssignCompanies();
  LoadGraph();
  CloseCurrentFile();
  if (!OpenReplacement(kOutputFileName)) OpenFailure(std::string("cannot create ") + kOutputFileName);
  WriteImage(kImageVersion);
  if (!CommitReplacement()) OpenFailure(std::string("cannot write ") + kOutputFileName);
}

void PrintDiagnostic(const std::string& text) {
  std::string line = "fenwaimg: " + text;
  if (line.back() != '\n') line += '\n';
  std::fputs(line.c_str(), stderr);
}

}  // namespace

void ConvertFile(const char* path) {
  if (!OpenCurrentFile(path, "rb")) OpenFailure(std::string("cannot open ") + path);
  try {
    ConvertOpenFile();
  } catch (...) {
    AbandonCurrentFile();  // the input, or an unfinished output, which is removed
    throw;
  }
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
