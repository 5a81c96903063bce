#include "driver/Convert.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/ByteWriter.h"
#include "base/Fatal.h"
#include "driver/Messages.h"
#include "fileio/CurrentFile.h"
#include "network/Companies.h"
#include "network/Loader.h"
#include "pdb/Image.h"

namespace {

// The file of the last trace line could not be opened, written or put in place.
// The reason is composed before anything is printed: should memory run out
// there, the failure is reported once, as running out of memory.
[[noreturn]] void OpenFailure(const char* what, const char* name, const CurrentFile& file) {
  FatalErrorException failure(std::string(what) + " " + name + ": " + file.Error());
  std::fputs(kOpenFailureMessage, stdout);
  throw failure;
}

// The trace line printed before each file is opened: "fn=", the name, "P".
void PrintTraceLine(const char* name) {
  std::fputs("fn=", stdout);
  std::fputs(name, stdout);
  std::fputs("P\n", stdout);
}

// Writes the image in place of fenwaimg.pdb. From its trace line on, a failure
// is the output's, memory running out included.
void WriteOutput(CurrentFile& file, const ByteWriter& image) {
  try {
    PrintTraceLine(kOutputFileName);
    if (!file.OpenReplacement(kOutputFileName)) OpenFailure("cannot create", kOutputFileName, file);
    file.Write(image.Bytes().data(), static_cast<std::int32_t>(image.Size()));
    if (!file.CommitReplacement()) OpenFailure("cannot write", kOutputFileName, file);
  } catch (const std::bad_alloc&) {
    std::fputs(kOpenFailureMessage, stdout);
    throw;
  }
}

}  // namespace

void BuildImage(const NetworkInput& input, ByteWriter& image) {
  Network network = LoadBaseTables(input);
  AssignCompanies(network);
  Graph graph = LoadGraph(input);
  FinishGraph(graph);
  EmptySpecialAndReserveNodes(graph);
  WriteImage(network, graph, image::image_header::kVersionText, image);
}

namespace {

// Ends a failed run: one line on standard error (composed without allocating:
// memory may be what ran out), standard output flushed, exit status 9.
int Failed(const char* reason) {
  std::fputs("fenwaimg: ", stderr);
  std::fputs(reason, stderr);
  const std::size_t length = std::strlen(reason);
  if (length == 0 || reason[length - 1] != '\n') std::fputc('\n', stderr);
  std::fflush(stdout);
  return kExitFailure;
}

}  // namespace

void ConvertFile(const char* path) {
  CurrentFile file;  // closed, and an unfinished output removed, whatever happens
  PrintTraceLine(path);
  if (!file.Open(path)) OpenFailure("cannot open", path, file);
  ByteWriter image;
  {
    const NetworkInput input = NetworkInput::Read(file);
    file.Close();
    BuildImage(input, image);
  }
  WriteOutput(file, image);
}

int RunConverter(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsageMessage, stdout);
    return kExitFailure;
  }
  try {
    ConvertFile(argv[1]);
  } catch (const FatalErrorException& failure) {
    return Failed(failure.what());
  } catch (const std::bad_alloc&) {
    return Failed("out of memory");
  } catch (const std::exception& failure) {  // none is expected; any would still take the one road
    return Failed(failure.what());
  }
  std::fputs(kCompletionMessage, stdout);
  return 0;
}

std::string ReasonOf(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return "out of memory";
  std::string reason = failure.what();
  if (!reason.empty() && reason.back() == '\n') reason.pop_back();
  return reason;
}

Conversion ConvertInMemory(std::span<const std::uint8_t> input, const std::string& name) {
  Conversion run;
  try {
    run.console = "fn=" + name + "P\n";
    ByteWriter image;
    BuildImage(NetworkInput::FromBytes(input, name), image);
    run.image = image.ToVector();
    run.console += std::string("fn=") + kOutputFileName + "P\n" + kCompletionMessage;
  } catch (const std::exception& failure) {  // FatalErrorException, memory running out, or one not expected
    run.status = kExitFailure;
    run.console = "fn=" + name + "P\n";
    run.reason = ReasonOf(failure);
    run.image.clear();
  }
  return run;
}
