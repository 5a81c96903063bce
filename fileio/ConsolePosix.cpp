#include <cstdio>

#include "fileio/Console.h"

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::filesystem::path PathFromUtf8(const std::string& name) { return std::filesystem::path(name); }

bool ReadStandardInput(std::string& bytes) {
  char chunk[65536];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) bytes.append(chunk, got);
  return std::ferror(stdin) == 0;
}

void WriteStandardOutput(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WriteStandardError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}
