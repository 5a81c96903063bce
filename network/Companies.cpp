#include "network/Companies.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/Bytes.h"
#include "base/Fatal.h"

namespace {

// The first `length` bytes of a route's name, read in place in the pool: the
// name runs from its offset to its NUL or the end of the pool, and every byte
// after it counts as NUL. `size` is how many of those bytes are not NUL.
struct Prefix {
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
  std::uint8_t length = 0;
  std::uint32_t hash = 0;

  bool operator==(const Prefix& other) const {
    return hash == other.hash && length == other.length && size == other.size &&
           std::equal(bytes, bytes + size, other.bytes);
  }
};

[[noreturn]] void RefuseRouteName(const Network& network, std::size_t route, std::uint16_t name) {
  const std::size_t strings = network.string_index.size();
  if (name >= strings)
    InputLimitError("route " + std::to_string(route) + " names string " + std::to_string(name) +
                    ", but there are only " + std::to_string(strings) + " strings");
  InputLimitError("route " + std::to_string(route) + " names string " + std::to_string(name) + " at pool offset " +
                  std::to_string(network.string_index[name]) + ", outside the " +
                  std::to_string(network.string_pool.size()) + "-byte string pool");
}

// Company grouping reads every route's name: refuse names outside the string table.
void CheckRouteName(const Network& network, std::size_t route, std::uint16_t name) {
  if (name >= network.string_index.size() || network.string_index[name] >= network.string_pool.size())
    RefuseRouteName(network, route, name);
}

// The prefix of `length` bytes of a name that starts at `name`, with
// `available` bytes from there to the end of the pool.
Prefix PrefixOf(const std::uint8_t* name, std::size_t available, std::uint8_t length) {
  const std::size_t room = std::min<std::size_t>(length, available);
  std::size_t size = 0;
  while (size < room && name[size] != 0) ++size;
  // Equal prefixes hash alike; the length, the size and the bytes at both ends tell most others apart.
  std::uint32_t head = 0;
  std::uint32_t tail = 0;
  if (size >= 4) {
    head = ReadLE32(name);
    tail = ReadLE32(name + size - 4);
  } else {
    for (std::size_t i = 0; i < size; ++i) head = head << 8 | name[i];
  }
  std::uint32_t hash = (head * 2654435761u) ^ (tail * 2246822519u) ^ static_cast<std::uint32_t>(size << 8) ^ length;
  hash ^= hash >> 15;  // mixed, so that the low bits that pick a slot depend on every byte
  hash *= 2246822519u;
  return {name, size, length, hash ^ (hash >> 13)};
}

// The offset of a route's name in the pool; a name outside the string table
// counts as an empty one at the end of the pool.
std::size_t NameOffset(const Network& network, std::uint16_t name) {
  const std::size_t pool = network.string_pool.size();
  return name < network.string_index.size() && network.string_index[name] < pool ? network.string_index[name] : pool;
}

// The companies found so far, by prefix: an open-addressed table, never more than half full.
class CompanyTable {
 public:
  // The number of the company with this prefix, or -1.
  int Find(const Prefix& prefix) const {
    for (std::size_t slot = prefix.hash & Mask();; slot = (slot + 1) & Mask()) {
      if (slots_[slot].number < 0) return -1;
      if (slots_[slot].prefix == prefix) return slots_[slot].number;
    }
  }
  void Add(const Prefix& prefix, int number) {
    if (2 * (count_ + 1) > slots_.size()) {
      std::vector<Slot> old(2 * slots_.size());
      old.swap(slots_);
      for (const Slot& slot : old) {
        if (slot.number >= 0) Insert(slot);
      }
    }
    Insert({prefix, number});
    ++count_;
  }

 private:
  struct Slot {
    Prefix prefix;
    int number = -1;
  };

  std::size_t Mask() const { return slots_.size() - 1; }
  void Insert(const Slot& entry) {
    std::size_t slot = entry.prefix.hash & Mask();
    while (slots_[slot].number >= 0) slot = (slot + 1) & Mask();
    slots_[slot] = entry;
  }

  std::vector<Slot> slots_ = std::vector<Slot>(128);  // a power of two; room for the most companies
  std::size_t count_ = 0;
};

// Numbers the companies of the routes from 1 on, giving each route's number to
// assign(route, number), and lists the companies in order of number. Strict
// grouping refuses what the converter refuses: a name outside the string
// table, and more companies than it holds.
template <bool kStrict, typename Assign>
void Group(const Network& network, std::vector<Company>& companies, Assign assign) {
  companies.clear();
  CompanyTable table;
  bool unnamed = false;
  const std::size_t routes = network.routes.size();
  for (std::size_t r = 1; r < routes; ++r) {
    const Route& route = network.routes[r];
    if constexpr (kStrict) CheckRouteName(network, r, route.name);
    if (route.company_length == 0) {
      unnamed = true;
      continue;
    }
    const std::size_t offset = NameOffset(network, route.name);
    const Prefix prefix =
        PrefixOf(network.string_pool.data() + offset, network.string_pool.size() - offset, route.company_length);
    int company = table.Find(prefix);
    if (company < 0) {
      // The text it has always had on standard error.
      if (kStrict && companies.size() >= kMaxCompanies) AssertFailed("Num_kaisya < MAX_KAISYA", __FILE__, __LINE__);
      company = static_cast<int>(companies.size());
      companies.push_back({route.name, route.company_length});
      table.Add(prefix, company);
    }
    assign(r, static_cast<std::uint16_t>(company));
  }
  if (!unnamed) return;
  if (kStrict && companies.size() >= kMaxCompanies) AssertFailed("Num_kaisya < MAX_KAISYA", __FILE__, __LINE__);
  companies.push_back({0, 0});
  const auto last = static_cast<std::uint16_t>(companies.size() - 1);
  for (std::size_t r = 1; r < routes; ++r) {
    if (network.routes[r].company_length == 0) assign(r, last);
  }
}

}  // namespace

void AssignCompanies(Network& network) {
  std::vector<Company> companies;
  Group<true>(network, companies, [&](std::size_t r, std::uint16_t number) { network.routes[r].company = number; });
  network.companies = std::move(companies);
}

std::vector<std::uint16_t> CompanyNumbers(const Network& network) {
  std::vector<std::uint16_t> numbers(network.routes.size(), kNoIndex);
  std::vector<Company> companies;
  Group<false>(network, companies, [&](std::size_t r, std::uint16_t number) { numbers[r] = number; });
  return numbers;
}
