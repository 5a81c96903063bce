#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/Fatal.h"
#include "network/Companies.h"
#include "network/Loader.h"
#include "toolkit/ImageReader.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "fenwa-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const fs::path& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const fs::path& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string FatalText(const std::function<void()>& action) {
  try {
    action();
  } catch (const FatalErrorException& failure) {
    return failure.what();
  }
  ADD_FAILURE() << "expected the action to fail";
  return "";
}

Loaded LoadNetworkBytes(const Bytes& file) {
  const NetworkInput bytes = NetworkInput::FromBytes(file, "network.dat");
  Loaded loaded;
  loaded.network = LoadBaseTables(bytes);
  AssignCompanies(loaded.network);
  loaded.graph = LoadGraph(bytes);
  return loaded;
}

Loaded LoadNetwork(const NetworkDescription& network) { return LoadNetworkBytes(BuildNetworkFile(network)); }

NetworkDescription SmallNetwork(std::size_t stations, std::size_t routes) {
  NetworkDescription network;
  for (std::size_t i = 0; i < stations; ++i) {
    const auto n = static_cast<std::uint16_t>(i);
    network.stations.push_back({static_cast<std::uint16_t>(0x100 + n), static_cast<std::uint16_t>(0x200 + n), 0,
                                static_cast<std::uint16_t>(stations - 1 - i), n});
  }
  network.strings = {"Route zero", "AAA line", "BBB line", "CCC line"};
  for (std::size_t r = 0; r < routes; ++r) {
    RouteDescription route;
    route.name_index = static_cast<std::uint16_t>(r % network.strings.size());
    route.company_length = r == 0 ? 0 : 3;
    route.opaque_word = static_cast<std::uint16_t>(0x1000 + r);
    route.opaque_byte = static_cast<std::uint8_t>(r);
    route.trailer = static_cast<std::uint16_t>(0x7000 + r);
    route.stops = {{static_cast<std::uint16_t>(r % stations), 1}, {static_cast<std::uint16_t>((r + 1) % stations), 2}};
    network.routes.push_back(route);
  }
  network.nodes = {{1, 2, {{3, 4}}}, {5, 6, {}}, {7, 8, {{0x8002, 9}, {1, 10}}}};
  return network;
}

std::uint16_t BE16(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) << 8 | bytes.at(offset + 1));
}

std::uint32_t BE32(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(BE16(bytes, offset)) << 16 | BE16(bytes, offset + 2);
}

Database ParseDatabase(const Bytes& file) {
  MemorySource source(file);
  const ImageReading image = ReadImage(source);
  if (!image.HasDatabaseHeader()) throw std::runtime_error("database shorter than its header");
  Database db;
  db.header.assign(file.begin(), file.begin() + image::database::kSize);
  for (const RecordEntry& record : image.records) {
    if (!*record.length) throw std::runtime_error("record offsets out of order");
    db.offsets.push_back(static_cast<std::uint32_t>(*record.offset));
    db.attributes.push_back(static_cast<std::uint8_t>(*record.attributes));
    const auto start = file.begin() + static_cast<std::ptrdiff_t>(*record.offset);
    db.records.emplace_back(start, start + static_cast<std::ptrdiff_t>(**record.length));
  }
  return db;
}

Bytes BigEndianWords(const std::vector<std::uint16_t>& words) {
  Bytes bytes;
  for (std::uint16_t word : words) {
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word));
  }
  return bytes;
}
