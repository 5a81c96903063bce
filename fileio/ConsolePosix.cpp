#include <csignal>
#include <cstdio>

#include "fileio/Console.h"
#include "fileio/ConsoleStreams.h"

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool ReadStandardInput(std::string& bytes, std::uint64_t most, std::string& error) {
  return ReadStream(stdin, bytes, most, error);
}

void KeepRunningOnClosedPipes() { std::signal(SIGPIPE, SIG_IGN); }

bool WriteStandardOutput(const std::string& text, std::string& error) { return WriteStream(stdout, text, error); }

void WriteStandardError(const std::string& text) {
  std::string ignored;
  WriteStream(stderr, text, ignored);
}
