#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string ToolCommand(const char* variable, const char* built) {
  const char* custom = std::getenv(variable);
  return custom != nullptr && *custom != '\0' ? std::string(custom) : ShellQuote(built);
}

}  // namespace

std::string FenwadumpCommand() { return ToolCommand("FENWA_FENWADUMP", FENWADUMP_PATH); }
std::string FenwamakeCommand() { return ToolCommand("FENWA_FENWAMAKE", FENWAMAKE_PATH); }

bool ToolsReplaced() {
  return FenwadumpCommand() != ShellQuote(FENWADUMP_PATH) || FenwamakeCommand() != ShellQuote(FENWAMAKE_PATH);
}

RunResult RunFenwamake(const fs::path& folder, const std::vector<std::string>& args) {
  return RunCommand(folder, FenwamakeCommand(), args);
}

RunResult RunFenwadump(const fs::path& folder, const std::vector<std::string>& args) {
  return RunCommand(folder, FenwadumpCommand(), args);
}

DumpRun DumpFile(const fs::path& folder, const std::string& file) {
  DumpRun dump;
  dump.run = RunFenwadump(folder, {file});
  EXPECT_LT(dump.run.status, 128) << "fenwadump crashed on " << file << ": " << dump.run.err;
  try {
    dump.json = nlohmann::ordered_json::parse(dump.run.out);
  } catch (const nlohmann::json::exception& error) {
    ADD_FAILURE() << "fenwadump " << file << " printed no JSON: " << error.what() << "\n"
                  << dump.run.out.substr(0, 500);
  }
  return dump;
}

bool CheckAgainstSchema(const fs::path& folder, const std::vector<std::string>& files) {
  static const bool installed =
      std::system((ShellQuote(FENWA_PYTHON) + " -c 'import jsonschema' >/dev/null 2>&1").c_str()) == 0;
  if (!installed) return false;
  std::vector<std::string> args = {FENWA_SCHEMA_CHECKER, FENWA_SCHEMA};
  args.insert(args.end(), files.begin(), files.end());
  const RunResult check = RunCommand(folder, ShellQuote(FENWA_PYTHON), args);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  return true;
}

void MakeAndConvert(const fs::path& folder, const nlohmann::json& description) {
  WriteText(folder / "network.json", description.dump(2));
  const RunResult make = RunFenwamake(folder, {"network.json", "network.dat"});
  ASSERT_EQ(make.status, 0) << make.err;
  const RunResult convert = RunFenwaimg(folder, {"network.dat"});
  ASSERT_EQ(convert.status, 0) << convert.out << convert.err;
}
