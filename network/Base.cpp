#include "network/Base.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/Fatal.h"

std::int32_t StationCount = 0;
std::int32_t Num_r = 0;
std::int32_t RStatCapacity = 0;
std::int32_t StringCount = 0;
std::uint16_t PoolSize = 0;
std::int32_t Num_kaisya = 0;

Block StationHandle;
Block SortHandle;
Block KanaSortHandle;
Block RosenHandle;
Block RStatHandle;
Block StringIndexHandle;
Block StringPoolHandle;

namespace {

std::size_t CountOrZero(std::int32_t count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

}  // namespace

void CreateStationTables() {
  FENWA_ASSERT(!StationHandle.Exists());
  StationHandle.Create(CountOrZero(StationCount) * 4);
  SortHandle.Create(CountOrZero(StationCount) * 2);
  KanaSortHandle.Create(CountOrZero(StationCount) * 2);
}

void ReleaseStationTables() {
  StationHandle.Release();
  SortHandle.Release();
  KanaSortHandle.Release();
  StationCount = 0;
}

void CreateRouteTables() {
  FENWA_ASSERT(!RosenHandle.Exists());
  RosenHandle.Create(CountOrZero(Num_r) * kRouteSize);
  FENWA_ASSERT(!RStatHandle.Exists());
  RStatHandle.Create(CountOrZero(RStatCapacity) * 4);
}

void ReleaseRouteTables() {
  RStatHandle.Release();
  RosenHandle.Release();
  Num_r = 0;
  RStatCapacity = 0;
}

void CreateStringTable(std::int32_t count, std::uint16_t pool_size) {
  if (StringPoolHandle.Exists()) return;
  StringIndexHandle.Create(CountOrZero(count) * 2);
  StringPoolHandle.Create(pool_size);
}

void ReleaseStringTable() {
  StringCount = 0;
  PoolSize = 0;
  StringIndexHandle.Release();
  StringPoolHandle.Release();
}

void ReleaseNetworkTables() {
  ReleaseStringTable();
  ReleaseRouteTables();
  ReleaseStationTables();
}

std::uint8_t* Route(std::int32_t index) {
  FENWA_ASSERT(index >= 0 && index < Num_r);
  return RosenHandle.Data() + static_cast<std::size_t>(index) * kRouteSize;
}

std::uint16_t StringOffset(std::int32_t index) { return StringIndexHandle.Word(static_cast<std::size_t>(index)); }

int CompareBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  const int order = n == 0 ? 0 : std::memcmp(a, b, n);  // memcmp compares unsigned bytes
  return (order > 0) - (order < 0);
}

namespace {

// The first `length` bytes of a route's name, read in place in the pool: the
// name runs from its offset to its NUL or the end of the pool, and every byte
// after it counts as NUL. `size` is how many of those bytes are not NUL; the
// hash of those bytes lets most unequal prefixes be told apart without reading them.
struct CompanyPrefix {
  const std::uint8_t* bytes;
  std::size_t size;
  std::uint32_t hash;
};

CompanyPrefix PrefixOfString(std::uint16_t string_index, std::size_t length) {
  std::uint16_t offset = StringOffset(string_index);
  const std::uint8_t* start = StringPoolHandle.Data() + offset;
  const std::size_t room = std::min<std::size_t>(length, PoolSize - offset);
  std::uint32_t hash = 2166136261u;  // FNV-1a
  std::size_t size = 0;
  for (; size < room && start[size] != 0; ++size) hash = (hash ^ start[size]) * 16777619u;
  return {start, size, hash};
}

bool SamePrefix(const CompanyPrefix& a, const CompanyPrefix& b) {
  return a.hash == b.hash && a.size == b.size && CompareBytes(a.bytes, b.bytes, a.size) == 0;
}

// Company grouping reads every route's name: refuse names outside the string table.
void CheckRouteName(std::int32_t route, std::uint16_t string_index) {
  if (string_index >= StringCount)
    InputLimitError("route " + std::to_string(route) + " names string " + std::to_string(string_index) +
                    ", but there are only " + std::to_string(StringCount) + " strings");
  std::uint16_t offset = StringOffset(string_index);
  if (offset >= PoolSize)
    InputLimitError("route " + std::to_string(route) + " names string " + std::to_string(string_index) +
                    " at pool offset " + std::to_string(offset) + ", outside the " + std::to_string(PoolSize) +
                    "-byte string pool");
}

struct Company {
  std::uint16_t string_index;  // of the route name that introduced the company
  std::uint8_t length;
  CompanyPrefix prefix;  // kept so that a search does not measure the name again
};

Company companies[MAX_KAISYA];

// The company whose name prefix equals `prefix`, searched from entry 0 up; -1 when none.
std::int32_t FindCompany(const CompanyPrefix& prefix, std::uint8_t length) {
  for (std::int32_t i = 0; i < Num_kaisya; ++i) {
    if (companies[i].length == length && SamePrefix(companies[i].prefix, prefix)) return i;
  }
  return -1;
}

}  // namespace

void AssignCompanies() {
  Num_kaisya = 0;
  std::uint8_t last_length = 0;
  CompanyPrefix last_prefix{nullptr, 0, 0};
  bool unnamed = false;
  for (std::int32_t r = 1; r < Num_r; ++r) {
    std::uint8_t* route = Route(r);
    std::uint16_t name = ReadLE16(route + kRouteName);
    CheckRouteName(r, name);
    std::uint8_t length = route[kRouteCompanyLength];
    if (length == 0) {
      unnamed = true;
      StoreLE16(route + kRouteCompany, kNoIndex);
      continue;
    }
    CompanyPrefix prefix = PrefixOfString(name, length);
    std::int32_t company = -1;
    if (length == last_length && SamePrefix(prefix, last_prefix)) company = Num_kaisya - 1;
    if (company < 0) company = FindCompany(prefix, length);
    if (company < 0) {
      FENWA_ASSERT(Num_kaisya < MAX_KAISYA);
      companies[Num_kaisya] = {name, length, prefix};
      last_prefix = prefix;
      last_length = length;
      company = Num_kaisya++;
    }
    StoreLE16(route + kRouteCompany, static_cast<std::uint16_t>(company));
  }
  if (!unnamed) return;
  FENWA_ASSERT(Num_kaisya < MAX_KAISYA);
  companies[Num_kaisya++] = {0, 0, {nullptr, 0, 0}};
  for (std::int32_t r = 1; r < Num_r; ++r) {
    std::uint8_t* route = Route(r);
    if (ReadLE16(route + kRouteCompany) == kNoIndex)
      StoreLE16(route + kRouteCompany, static_cast<std::uint16_t>(Num_kaisya - 1));
  }
}
