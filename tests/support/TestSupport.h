// Shared helpers for the tests: temporary folders, files, in-process loading,
// and a plain reader of produced databases.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "network/Graph.h"
#include "network/Network.h"
#include "network/NetworkFile.h"

using Bytes = std::vector<std::uint8_t>;

// A fresh folder, removed with everything in it at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, const std::string& text);
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

// The text of the failure that `action` ends in; fails the test if it does not fail.
std::string FatalText(const std::function<void()>& action);

// A network and its graph, as the converter loads them.
struct Loaded {
  Network network;
  Graph graph;
};

// Builds `network`, writes it to a file and loads it in the converter's order
// (base tables, companies, graph).
Loaded LoadNetwork(const NetworkDescription& network);
// As LoadNetwork, for raw bytes.
Loaded LoadNetworkBytes(const Bytes& file);

// A small valid network: `stations` stations, routes of two stops each.
NetworkDescription SmallNetwork(std::size_t stations = 4, std::size_t routes = 3);

std::uint16_t BE16(const Bytes& bytes, std::size_t offset);
std::uint32_t BE32(const Bytes& bytes, std::size_t offset);

// A database read back: its records cut at the offsets of its record list.
struct Database {
  Bytes header;  // the first 78 bytes
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint8_t> attributes;
  std::vector<Bytes> records;
};
Database ParseDatabase(const Bytes& file);

// A stream of 16-bit words, as big-endian bytes.
Bytes BigEndianWords(const std::vector<std::uint16_t>& words);
