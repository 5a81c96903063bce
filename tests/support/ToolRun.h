// Runs fenwamake and fenwadump as a user does, in a folder of their own, and
// chains them with the converter.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/Harness.h"

RunResult RunFenwamake(const std::filesystem::path& folder, const std::vector<std::string>& args);
RunResult RunFenwadump(const std::filesystem::path& folder, const std::vector<std::string>& args);

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
