// Runs fenwamake and fenwadump as a user does, in a folder of their own, and
// chains them with the converter.
//
// The programs run are the ones built beside the tests, or the commands in the
// environment variables FENWA_FENWAMAKE and FENWA_FENWADUMP when set (for
// example the Windows build under an emulator), as FENWA_CONVERTER does for
// the converter.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/Harness.h"

RunResult RunFenwamake(const std::filesystem::path& folder, const std::vector<std::string>& args);
RunResult RunFenwadump(const std::filesystem::path& folder, const std::vector<std::string>& args);

// The shell commands that run fenwadump and fenwamake.
std::string FenwadumpCommand();
std::string FenwamakeCommand();
// True when the environment replaces the tools built beside the tests (for
// example with the Windows build under an emulator).
bool ToolsReplaced();

// fenwadump's JSON for `file`; the test fails when the output is not JSON.
struct DumpRun {
  RunResult run;
  nlohmann::ordered_json json;
};
DumpRun DumpFile(const std::filesystem::path& folder, const std::string& file);

// Checks the JSON `files` in `folder` against tools/network.schema.json with
// Debian's python3-jsonschema and fails the test with every fault it finds.
// Returns false, checking nothing, when that checker is not installed.
bool CheckAgainstSchema(const std::filesystem::path& folder, const std::vector<std::string>& files);

// Writes `description` to folder/network.json, then fenwamake -> network.dat and
// fenwaimg -> fenwaimg.pdb in `folder`; fails the test when a step fails.
void MakeAndConvert(const std::filesystem::path& folder, const nlohmann::json& description);
