#include "tests/tools/ToolRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

RunResult RunProgram(const fs::path& folder, const std::string& program, const std::vector<std::string>& args) {
  TempDir capture;
  std::string command = "cd " + ShellQuote(folder.string()) + " && exec " + ShellQuote(program);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " >" + ShellQuote((capture / "out").string()) + " 2>" + ShellQuote((capture / "err").string()) +
             " </dev/null";
  const int raw = std::system(("/bin/sh -c " + ShellQuote(command)).c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  result.out = ReadText(capture / "out");
  result.err = ReadText(capture / "err");
  return result;
}

RunResult RunFenwamake(const fs::path& folder, const std::vector<std::string>& args) {
  return RunProgram(folder, FENWAMAKE_PATH, args);
}

RunResult RunFenwadump(const fs::path& folder, const std::vector<std::string>& args) {
  return RunProgram(folder, FENWADUMP_PATH, args);
}

DumpRun DumpFile(const fs::path& folder, const std::string& file) {
  DumpRun dump;
  dump.run = RunFenwadump(folder, {file});
  EXPECT_LT(dump.run.status, 128) << "fenwadump crashed on " << file << ": " << dump.run.err;
  try {
    dump.json = nlohmann::ordered_json::parse(dump.run.out);
  } catch (const nlohmann::json::exception& error) {
    ADD_FAILURE() << "fenwadump " << file << " printed no JSON: " << error.what() << "\n" << dump.run.out.substr(0, 500);
  }
  return dump;
}

void MakeAndConvert(const fs::path& folder, const nlohmann::json& description) {
  WriteText(folder / "network.json", description.dump(2));
  const RunResult make = RunFenwamake(folder, {"network.json", "network.dat"});
  ASSERT_EQ(make.status, 0) << make.err;
  const RunResult convert = RunFenwaimg(folder, {"network.dat"});
  ASSERT_EQ(convert.status, 0) << convert.out << convert.err;
}

std::string ReadText(const fs::path& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const fs::path& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }
