// The comparison of two networks: stations, routes and companies matched by
// name, namesakes by their neighbours, renamed items by their place, nodes by
// what their words name and edges by their ends (see Diff.h).
#include "diff/Diff.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "base/ByteSource.h"
#include "network/IntermediateFormat.h"

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
constexpr std::uint64_t kNoKey = 0;
// The most insertions and deletions an alignment of two tables looks for.
constexpr std::ptrdiff_t kMostEdits = 1000;
// The most pairs of namesakes aligned in order by their neighbours; beyond, each takes the first alike.
constexpr std::size_t kMostAligned = 1u << 20;
// The most pairs of namesakes scored for what they have in common; beyond, they pair in order.
constexpr std::size_t kMostScored = 4096;
// Renames found in one round place others; rounds end when one finds none.
constexpr int kMostRounds = 8;

// ---------------------------------------------------------------------------
// Keys: numbers that stand for names, places and neighbours.

enum Tag : std::uint64_t {
  kPaired = 1,
  kOldOnly,
  kNewOnly,
  kMissing,
  kUnknown,
  kStart,
  kEnd,
  kStop,
  kNode,
  kTable,
  kRole,
  kRawA,
  kRawB,
  kUnowned,
  kCompany,
};

// Two numbers as one, in order (a 64-bit mix: different inputs collide with
// a chance of one in 2^64).
std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  std::uint64_t x = a * 0x9E3779B97F4A7C15ull + b + 0x632BE59BD9B4E019ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  return x == kNoKey ? 1 : x;
}

std::uint64_t Fold(const std::vector<std::uint64_t>& items) {
  std::uint64_t key = items.size();
  for (std::uint64_t item : items) key = Mix(key, item);
  return key;
}

// Names as numbers: the same name on either side (its text and, where some
// bytes do not decode, its bytes) is the same number.
class Names {
 public:
  // A name read from a file; the text must outlive the names.
  std::uint64_t Of(const std::string& text, const Maybe<std::string>& bytes) {
    if (bytes) return Made("n" + text + '\0' + *bytes);
    const auto [at, fresh] = texts_.try_emplace(text, count_ + 1);
    count_ += fresh ? 1 : 0;
    return at->second;
  }
  // A name made for what has none: "a12" for a station by its word A, "r3" for a route by its string.
  std::uint64_t Made(const std::string& key) {
    const auto [at, fresh] = made_.try_emplace(key, count_ + 1);
    count_ += fresh ? 1 : 0;
    return at->second;
  }

 private:
  std::unordered_map<std::string_view, std::uint64_t> texts_;
  std::unordered_map<std::string, std::uint64_t> made_;
  std::uint64_t count_ = 0;
};

// ---------------------------------------------------------------------------
// Pairing old items with new ones.

struct Pairing {
  Pairing(std::size_t olds, std::size_t news) : to_new(olds, kNone), to_old(news, kNone) {}
  std::vector<std::uint32_t> to_new, to_old;

  void Pair(std::uint32_t o, std::uint32_t n) {
    to_new[o] = n;
    to_old[n] = o;
  }
  bool Paired(bool old, std::uint32_t i) const { return (old ? to_new[i] : to_old[i]) != kNone; }
  // The old number of a paired item, as either side knows it; kNone for one without a partner.
  std::uint32_t Common(bool old, std::uint32_t i) const {
    if (old) return i < to_new.size() && to_new[i] != kNone ? i : kNone;
    return i < to_old.size() ? to_old[i] : kNone;
  }
  // What an item is to both sides: the same for partners, its own for the others.
  std::uint64_t Identity(bool old, std::uint32_t i) const {
    const std::uint32_t common = Common(old, i);
    return common != kNone ? Mix(kPaired, common) : Mix(old ? kOldOnly : kNewOnly, i);
  }
  std::size_t Count() const {
    return static_cast<std::size_t>(std::count_if(to_new.begin(), to_new.end(), [](auto n) { return n != kNone; }));
  }
};

// Sorted items standing for an item's neighbours.
using ContextOf = std::function<std::vector<std::uint64_t>(bool old, std::uint32_t item)>;

struct Group {
  std::vector<std::uint32_t> olds, news;  // the items of one key without a partner, in order
};

std::vector<Group> Groups(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys,
                          const Pairing& pairing) {
  std::unordered_map<std::uint64_t, std::size_t> index;
  std::vector<Group> groups;
  for (bool old : {true, false}) {
    const std::vector<std::uint64_t>& keys = old ? old_keys : new_keys;
    for (std::uint32_t i = 0; i < keys.size(); ++i) {
      if (keys[i] == kNoKey || pairing.Paired(old, i)) continue;
      const auto [at, fresh] = index.try_emplace(keys[i], groups.size());
      if (fresh) groups.emplace_back();
      (old ? groups[at->second].olds : groups[at->second].news).push_back(i);
    }
  }
  return groups;
}

std::size_t InCommon(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
  std::size_t common = 0;
  for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] == b[j]) {
      ++common, ++i, ++j;
    } else {
      a[i] < b[j] ? ++i : ++j;
    }
  }
  return common;
}

// Namesakes with the same neighbours pair first: the longest run of them
// that keeps their order on both sides (in a group too large to align, each
// with the first of the same neighbours).
void PairSameContext(const Group& group, const std::vector<std::uint64_t>& olds, const std::vector<std::uint64_t>& news,
                     Pairing& pairing) {
  const std::size_t n = olds.size(), m = news.size();
  if (n * m > kMostAligned) {
    std::unordered_map<std::uint64_t, std::deque<std::uint32_t>> waiting;
    for (std::size_t i = 0; i < n; ++i) waiting[olds[i]].push_back(group.olds[i]);
    for (std::size_t j = 0; j < m; ++j) {
      const auto found = waiting.find(news[j]);
      if (found == waiting.end() || found->second.empty()) continue;
      pairing.Pair(found->second.front(), group.news[j]);
      found->second.pop_front();
    }
    return;
  }
  // run[i * (m + 1) + j]: the longest common run of olds[i...] and news[j...].
  std::vector<std::uint32_t> run((n + 1) * (m + 1), 0);
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      run[i * (m + 1) + j] = olds[i] == news[j] ? run[(i + 1) * (m + 1) + j + 1] + 1
                                                : std::max(run[(i + 1) * (m + 1) + j], run[i * (m + 1) + j + 1]);
    }
  }
  for (std::size_t i = 0, j = 0; i < n && j < m;) {
    if (olds[i] == news[j]) {
      pairing.Pair(group.olds[i++], group.news[j++]);
    } else if (run[(i + 1) * (m + 1) + j] >= run[i * (m + 1) + j + 1]) {
      ++i;
    } else {
      ++j;
    }
  }
}

// Then those with the most neighbours in common.
void PairMostInCommon(const Group& group, const std::vector<std::vector<std::uint64_t>>& olds,
                      const std::vector<std::vector<std::uint64_t>>& news, Pairing& pairing) {
  std::vector<std::size_t> left_old, left_new;
  for (std::size_t i = 0; i < olds.size(); ++i)
    if (!pairing.Paired(true, group.olds[i])) left_old.push_back(i);
  for (std::size_t j = 0; j < news.size(); ++j)
    if (!pairing.Paired(false, group.news[j])) left_new.push_back(j);
  if (left_old.size() * left_new.size() > kMostScored) return;
  struct Candidate {
    std::size_t common, i, j;
  };
  std::vector<Candidate> candidates;
  for (std::size_t i : left_old) {
    for (std::size_t j : left_new) {
      const std::size_t common = InCommon(olds[i], news[j]);
      if (common > 0) candidates.push_back({common, i, j});
    }
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.common > b.common; });
  for (const Candidate& c : candidates) {
    if (!pairing.Paired(true, group.olds[c.i]) && !pairing.Paired(false, group.news[c.j]))
      pairing.Pair(group.olds[c.i], group.news[c.j]);
  }
}

void PairNamesakes(const Group& group, const ContextOf& context, Pairing& pairing) {
  std::vector<std::vector<std::uint64_t>> olds, news;
  std::vector<std::uint64_t> old_keys, new_keys;
  for (std::uint32_t o : group.olds) old_keys.push_back(Fold(olds.emplace_back(context(true, o))));
  for (std::uint32_t n : group.news) new_keys.push_back(Fold(news.emplace_back(context(false, n))));
  PairSameContext(group, old_keys, new_keys, pairing);
  PairMostInCommon(group, olds, news, pairing);
}

// Last, what is left of a key pairs in order.
void PairInOrder(const Group& group, Pairing& pairing) {
  std::size_t j = 0;
  for (std::uint32_t o : group.olds) {
    if (pairing.Paired(true, o)) continue;
    while (j < group.news.size() && pairing.Paired(false, group.news[j])) ++j;
    if (j == group.news.size()) return;
    pairing.Pair(o, group.news[j++]);
  }
}

// Pairs equal keys along a shortest script of insertions and deletions that
// turns one sequence into the other (Myers' greedy algorithm), so that items
// keep their place among their namesakes. Past kMostEdits insertions and
// deletions, only the common beginning and end are paired.
class Alignment {
 public:
  Alignment(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b, Pairing& pairing)
      : a_(a), b_(b), pairing_(pairing) {}

  void Run() {
    for (; start_ < a_.size() && start_ < b_.size() && a_[start_] == b_[start_]; ++start_) Pair(start_, start_);
    std::size_t end_a = a_.size(), end_b = b_.size();
    while (end_a > start_ && end_b > start_ && a_[end_a - 1] == b_[end_b - 1]) Pair(--end_a, --end_b);
    n_ = static_cast<std::ptrdiff_t>(end_a - start_);
    m_ = static_cast<std::ptrdiff_t>(end_b - start_);
    if (n_ > 0 && m_ > 0) Search();
    Slide(b_, pairing_.to_old, pairing_.to_new);
    Slide(a_, pairing_.to_new, pairing_.to_old);
  }

 private:
  bool Same(std::ptrdiff_t x, std::ptrdiff_t y) const {
    return a_[start_ + static_cast<std::size_t>(x)] == b_[start_ + static_cast<std::size_t>(y)];
  }
  void Pair(std::size_t i, std::size_t j) {
    const auto o = static_cast<std::uint32_t>(i), n = static_cast<std::uint32_t>(j);
    if (a_[i] != kNoKey && !pairing_.Paired(true, o) && !pairing_.Paired(false, n)) pairing_.Pair(o, n);
  }
  // The furthest x on diagonal k after d edits, from the search's record.
  std::ptrdiff_t Furthest(std::ptrdiff_t d, std::ptrdiff_t k) const {
    return trace_[static_cast<std::size_t>(d)][static_cast<std::size_t>(k + d)];
  }

  void Search() {
    const std::ptrdiff_t most = std::min<std::ptrdiff_t>(n_ + m_, kMostEdits);
    for (std::ptrdiff_t d = 0; d <= most; ++d) {
      std::vector<std::ptrdiff_t>& row = trace_.emplace_back(static_cast<std::size_t>(2 * d + 1));
      for (std::ptrdiff_t k = -d; k <= d; k += 2) {
        std::ptrdiff_t x = d == 0 ? 0 : Next(d, k);
        std::ptrdiff_t y = x - k;
        while (x < n_ && y < m_ && Same(x, y)) ++x, ++y;
        row[static_cast<std::size_t>(k + d)] = x;
        if (x >= n_ && y >= m_) return Trace(d);
      }
    }
  }

  // Where diagonal k continues from after d - 1 edits: down from k + 1 or right from k - 1.
  std::ptrdiff_t Next(std::ptrdiff_t d, std::ptrdiff_t k) const {
    return From(d, k) == k + 1 ? Furthest(d - 1, k + 1) : Furthest(d - 1, k - 1) + 1;
  }
  std::ptrdiff_t From(std::ptrdiff_t d, std::ptrdiff_t k) const {
    return k == -d || (k != d && Furthest(d - 1, k - 1) < Furthest(d - 1, k + 1)) ? k + 1 : k - 1;
  }

  // Where a run of equal keys could as well pair one place later, leaving
  // an item of `keys` without a partner right behind one of the other side's
  // (a station renamed to the name of the next), it does.
  static void Slide(const std::vector<std::uint64_t>& keys, std::vector<std::uint32_t>& partner,
                    std::vector<std::uint32_t>& back) {
    for (std::size_t j = 1; j < keys.size(); ++j) {
      if (partner[j] != kNone) continue;
      std::size_t top = j;
      while (top > 0 && partner[top - 1] != kNone && keys[top - 1] == keys[j] &&
             (top == j || partner[top - 1] + 1 == partner[top]))
        --top;
      if (top == j || partner[top] == 0 || back[partner[top] - 1] != kNone) continue;
      for (std::size_t k = j; k > top; --k) {
        partner[k] = partner[k - 1];
        back[partner[k]] = static_cast<std::uint32_t>(k);
      }
      partner[top] = kNone;
    }
  }

  void Trace(std::ptrdiff_t d) {
    std::ptrdiff_t x = n_, y = m_;
    for (; d > 0; --d) {
      const std::ptrdiff_t from = From(d, x - y);
      const std::ptrdiff_t from_x = Furthest(d - 1, from), from_y = from_x - from;
      for (; x > from_x && y > from_y; --x, --y) Pair(start_ + x - 1, start_ + y - 1);
      x = from_x, y = from_y;
    }
    for (; x > 0 && y > 0; --x, --y) Pair(start_ + x - 1, start_ + y - 1);
  }

  const std::vector<std::uint64_t>&a_, &b_;
  Pairing& pairing_;
  std::size_t start_ = 0;
  std::ptrdiff_t n_ = 0, m_ = 0;
  std::vector<std::vector<std::ptrdiff_t>> trace_;  // per number of edits, the furthest x on each diagonal
};

// Pairs the items without a partner by their keys (kNoKey: none), namesakes
// by their context when one is given.
void PairByKey(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys, Pairing& pairing,
               const ContextOf& context = {}) {
  for (const Group& group : Groups(old_keys, new_keys, pairing)) {
    if (group.olds.empty() || group.news.empty()) continue;
    if (context && (group.olds.size() > 1 || group.news.size() > 1)) PairNamesakes(group, context, pairing);
    PairInOrder(group, pairing);
  }
}

// Pairs items with equal keys and the same neighbours in the order of the
// tables first, then the rest by key.
void PairAligned(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys,
                 Pairing& pairing, const ContextOf& context = {}) {
  const auto with_context = [&context](bool old, const std::vector<std::uint64_t>& keys) {
    std::vector<std::uint64_t> out = keys;
    for (std::uint32_t i = 0; context && i < out.size(); ++i) out[i] = Mix(out[i], Fold(context(old, i)));
    return out;
  };
  Alignment(with_context(true, old_keys), with_context(false, new_keys), pairing).Run();
  PairByKey(old_keys, new_keys, pairing, context);
}

// Which of `values` (kNone: left out) keep their order: a longest increasing
// run of them; among runs as long, the one with the most items that `stays`
// marks (those that keep their number), then the one that ends latest. The
// others moved. Each item finds the best run it can end below its value in a
// Fenwick tree over the values' ranks.
std::vector<bool> KeptInOrder(const std::vector<std::uint64_t>& values, const std::vector<bool>& stays = {}) {
  std::vector<std::uint64_t> ranks;
  for (std::uint64_t value : values)
    if (value != kNone) ranks.push_back(value);
  std::sort(ranks.begin(), ranks.end());
  using Run = std::tuple<std::size_t, std::size_t, std::size_t>;  // length, items that stay, last item + 1
  std::vector<Run> best(ranks.size() + 1);
  std::vector<std::size_t> before(values.size(), 0);
  Run longest{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] == kNone) continue;
    const auto rank = static_cast<std::size_t>(std::lower_bound(ranks.begin(), ranks.end(), values[i]) - ranks.begin());
    Run below{};
    for (std::size_t k = rank; k > 0; k &= k - 1) below = std::max(below, best[k]);
    before[i] = std::get<2>(below);
    const Run run{std::get<0>(below) + 1, std::get<1>(below) + (i < stays.size() && stays[i] ? 1 : 0), i + 1};
    for (std::size_t k = rank + 1; k <= ranks.size(); k += k & (~k + 1)) best[k] = std::max(best[k], run);
    longest = std::max(longest, run);
  }
  std::vector<bool> kept(values.size(), false);
  for (std::size_t i = std::get<2>(longest); i != 0; i = before[i - 1]) kept[i - 1] = true;
  return kept;
}

// Which paired old items moved among the others: out of the run kept in
// order, and at another number. One that keeps its number never moved.
std::vector<bool> Moved(const Pairing& pairing) {
  std::vector<bool> stays(pairing.to_new.size());
  for (std::uint32_t o = 0; o < stays.size(); ++o) stays[o] = pairing.to_new[o] == o;
  const std::vector<bool> kept = KeptInOrder({pairing.to_new.begin(), pairing.to_new.end()}, stays);
  std::vector<bool> moved(stays.size());
  for (std::size_t o = 0; o < moved.size(); ++o) moved[o] = pairing.to_new[o] != kNone && !kept[o] && !stays[o];
  return moved;
}

// ---------------------------------------------------------------------------
// One side's network, as the comparison needs it.

struct Side {
  Side(const Document& doc, Names& names);
  bool IsStation(std::uint32_t s) const { return s < stations.size(); }
  bool IsRoute(std::uint32_t r) const { return r < routes.size(); }
  std::uint64_t StationName(std::uint32_t s) const { return IsStation(s) ? station_name[s] : Mix(kMissing, s); }

  const std::vector<StationEntry>& stations;
  const std::vector<RouteEntry>& routes;
  const std::vector<NodeEntry>& nodes;
  std::vector<std::uint64_t> station_name, route_name;
  std::vector<std::uint64_t> company;                  // kNoKey: in no company (route 0)
  std::vector<std::vector<std::uint32_t>> stops;       // per route, its stations
  std::vector<std::vector<std::uint32_t>> stop_words;  // per route, its companions
  // Per station, its stops (route, place) and the nodes whose word A names it.
  std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> stops_at;
  std::vector<std::vector<std::uint32_t>> nodes_at;
};

std::uint64_t CompanyKey(const RouteEntry& route, Names& names) {
  if (!route.company || !*route.company) return kNoKey;
  return route.company_name ? names.Of(*route.company_name, route.company_name_bytes) : names.Made("c");
}

Side::Side(const Document& doc, Names& names)
    : stations(Items(doc.stations)), routes(Items(doc.routes)), nodes(Items(doc.nodes)) {
  for (const StationEntry& s : stations)
    station_name.push_back(s.name ? names.Of(*s.name, s.name_bytes)
                                  : names.Made("a" + std::to_string(s.word_a.value_or(0))));
  stops_at.resize(stations.size());
  nodes_at.resize(stations.size());
  for (std::uint32_t r = 0; r < routes.size(); ++r) {
    const RouteEntry& route = routes[r];
    route_name.push_back(route.name && *route.name ? names.Of(**route.name, route.name_bytes)
                                                   : names.Made("r" + std::to_string(route.name_index.value_or(0))));
    company.push_back(CompanyKey(route, names));
    std::vector<std::uint32_t>& at = stops.emplace_back();
    std::vector<std::uint32_t>& words = stop_words.emplace_back();
    for (const StopEntry& stop : Items(route.stops)) {
      const std::uint32_t s = stop.station && stop.station->number ? *stop.station->number : 0;
      if (IsStation(s)) stops_at[s].emplace_back(r, static_cast<std::uint32_t>(at.size()));
      at.push_back(s);
      words.push_back(stop.companion.value_or(0));
    }
  }
  for (std::uint32_t i = 0; i < nodes.size(); ++i) {
    if (!nodes[i].role && IsStation(nodes[i].word_a.value_or(0))) nodes_at[*nodes[i].word_a].push_back(i);
  }
}

Named StationNamed(const Side& side, std::uint32_t s) {
  Named named{s, std::nullopt, std::nullopt};
  if (side.IsStation(s)) {
    named.name = side.stations[s].name;
    named.name_bytes = side.stations[s].name_bytes;
  }
  return named;
}

Named RouteNamed(const Side& side, std::uint32_t r) {
  Named named{r, std::nullopt, std::nullopt};
  if (side.IsRoute(r) && side.routes[r].name && *side.routes[r].name) {
    named.name = **side.routes[r].name;
    named.name_bytes = side.routes[r].name_bytes;
  }
  return named;
}

template <typename T>
Value ValueOf(const Maybe<T>& value) {
  Value out;
  if constexpr (std::is_same_v<T, std::string>) {
    out.text = value;
  } else if constexpr (std::is_arithmetic_v<T>) {
    if (value) out.number = static_cast<std::uint64_t>(*value);
  } else if (value && *value) {
    out.number = static_cast<std::uint64_t>(**value);
  }
  return out;
}

// Records a field that changed; one whose two sides are the same did not, and is dropped.
void Record(std::vector<FieldChange>& changes, const char* field, Value old_value, Value new_value) {
  if (old_value != new_value) changes.push_back({field, std::move(old_value), std::move(new_value)});
}

template <typename T>
void CompareField(std::vector<FieldChange>& changes, const char* field, const Maybe<T>& a, const Maybe<T>& b) {
  Record(changes, field, ValueOf(a), ValueOf(b));
}

std::string NameOf(const Named& named, const char* what) {
  return named.name ? *named.name : std::string(what) + " " + std::to_string(named.number);
}

// The node an edge leads to as people know it: by its station, with its
// route when that is another than `route` (the route of the node the edge
// leaves), with `numbered` after its number; by its number where its words
// name no station.
std::string TargetText(const Side& side, std::uint32_t to, std::uint16_t route, bool numbered) {
  const std::string number = "node " + std::to_string(to);
  if (to >= side.nodes.size()) return number + " (no such node)";
  const NodeEntry& node = side.nodes[to];
  if (node.role) return number + " (" + *node.role + ")";
  const std::uint16_t a = node.word_a.value_or(0), b = node.word_b.value_or(0);
  if (!side.IsStation(a)) return number;
  std::string text = (numbered ? std::to_string(to) + " " : "") + NameOf(StationNamed(side, a), "station");
  if (b == route) return text;
  return text + " (" + (side.IsRoute(b) ? NameOf(RouteNamed(side, b), "route") : "B " + std::to_string(b)) + ")";
}

// ---------------------------------------------------------------------------
// The comparison.

class Comparison {
 public:
  Comparison(const Document& old_doc, const Document& new_doc)
      : old_doc_(old_doc),
        new_doc_(new_doc),
        old_(old_doc, names_),
        new_(new_doc, names_),
        stations_(old_.stations.size(), new_.stations.size()),
        routes_(old_.routes.size(), new_.routes.size()),
        nodes_(old_.nodes.size(), new_.nodes.size()) {}

  void Run(Difference& difference) {
    PairByName();
    for (int round = 0; round < kMostRounds; ++round) {
      const std::size_t paired = stations_.Count() + routes_.Count();
      PairByKey(StationPlaces(true), StationPlaces(false), stations_);
      PairByKey(RoutePlaces(true), RoutePlaces(false), routes_);
      if (stations_.Count() + routes_.Count() == paired) break;
    }
    PairAligned(NodeKeys(true), NodeKeys(false), nodes_,
                [this](bool old, std::uint32_t i) { return NodeContext(old, i); });
    ListStations(difference);
    ListRoutes(difference);
    ListCompanies(difference);
    ListNodes(difference);
    ListEdges(difference);
    for (std::uint32_t o = 0; o < old_.stations.size(); ++o)
      difference.station_partner.push_back(Partner(stations_, o));
    for (std::uint32_t o = 0; o < old_.routes.size(); ++o) difference.route_partner.push_back(Partner(routes_, o));
  }

 private:
  const Side& Of(bool old) const { return old ? old_ : new_; }
  static std::optional<std::uint32_t> Partner(const Pairing& pairing, std::uint32_t o) {
    return pairing.to_new[o] == kNone ? std::nullopt : std::optional<std::uint32_t>(pairing.to_new[o]);
  }

  // -- Names.

  void PairByName() {
    PairAligned(old_.station_name, new_.station_name, stations_,
                [this](bool old, std::uint32_t s) { return StationNeighbours(old, s); });
    PairAligned(old_.route_name, new_.route_name, routes_,
                [this](bool old, std::uint32_t r) { return RouteNeighbours(old, r); });
  }

  // A station's neighbours by name: at each stop, the route and the stations before and after it.
  std::vector<std::uint64_t> StationNeighbours(bool old, std::uint32_t s) const {
    const Side& side = Of(old);
    std::vector<std::uint64_t> items;
    for (auto [r, j] : side.stops_at[s]) {
      const std::vector<std::uint32_t>& stops = side.stops[r];
      const std::uint64_t before = j > 0 ? side.StationName(stops[j - 1]) : kStart;
      const std::uint64_t after = j + 1 < stops.size() ? side.StationName(stops[j + 1]) : kEnd;
      items.push_back(Mix(Mix(side.route_name[r], before), after));
    }
    std::sort(items.begin(), items.end());
    return items;
  }

  // A route's neighbours by name: its company and the stations it stops at.
  std::vector<std::uint64_t> RouteNeighbours(bool old, std::uint32_t r) const {
    const Side& side = Of(old);
    std::vector<std::uint64_t> items = {Mix(kCompany, side.company[r])};
    for (std::uint32_t s : side.stops[r]) items.push_back(side.StationName(s));
    std::sort(items.begin(), items.end());
    return items;
  }

  // -- Places: what a renamed item keeps.

  // The nearest item before each that has a partner, as both sides know it.
  static std::vector<std::uint64_t> PlacesInTable(const Pairing& pairing, bool old, std::size_t count) {
    std::vector<std::uint64_t> places(count);
    std::uint64_t last = kStart;
    for (std::uint32_t i = 0; i < count; ++i) {
      places[i] = Mix(kTable, last);
      if (pairing.Common(old, i) != kNone) last = Mix(kPaired, pairing.Common(old, i));
    }
    return places;
  }

  // What a station, route or node word is to both sides, where known; `known` tells whether it was.
  std::uint64_t Known(const Pairing& pairing, bool old, std::uint32_t i, bool exists, bool& known) const {
    if (!exists) return Mix(kMissing, i);
    const std::uint32_t common = pairing.Common(old, i);
    known = known || common != kNone;
    return common != kNone ? Mix(kPaired, common) : kUnknown;
  }

  // A station's place: its stops (the route, the stations before and after
  // it) and its nodes (their route), or with neither its place in the table.
  std::vector<std::uint64_t> StationPlaces(bool old) const {
    const Side& side = Of(old);
    const std::vector<std::uint64_t> in_table = PlacesInTable(stations_, old, side.stations.size());
    std::vector<std::uint64_t> places(side.stations.size(), kNoKey);
    for (std::uint32_t s = 0; s < side.stations.size(); ++s) {
      if (stations_.Paired(old, s)) continue;
      if (side.stops_at[s].empty() && side.nodes_at[s].empty()) {
        places[s] = in_table[s];
        continue;
      }
      bool known = false;
      std::vector<std::uint64_t> items;
      for (auto [r, j] : side.stops_at[s]) items.push_back(StopPlace(side, old, r, j, known));
      for (std::uint32_t node : side.nodes_at[s]) {
        const std::uint16_t b = side.nodes[node].word_b.value_or(0);
        items.push_back(Mix(kNode, side.IsRoute(b) ? Known(routes_, old, b, true, known) : Mix(kRawB, b)));
      }
      std::sort(items.begin(), items.end());
      if (known) places[s] = Fold(items);
    }
    return places;
  }

  std::uint64_t StopPlace(const Side& side, bool old, std::uint32_t r, std::uint32_t j, bool& known) const {
    const std::vector<std::uint32_t>& stops = side.stops[r];
    const auto station = [&](std::uint32_t s) { return Known(stations_, old, s, side.IsStation(s), known); };
    const std::uint64_t before = j > 0 ? station(stops[j - 1]) : kStart;
    const std::uint64_t after = j + 1 < stops.size() ? station(stops[j + 1]) : kEnd;
    return Mix(Mix(Mix(kStop, Known(routes_, old, r, true, known)), before), after);
  }

  // A route's place: the stations it stops at (in any order: its stops may
  // have moved), or with none its place in the table.
  std::vector<std::uint64_t> RoutePlaces(bool old) const {
    const Side& side = Of(old);
    const std::vector<std::uint64_t> in_table = PlacesInTable(routes_, old, side.routes.size());
    std::vector<std::uint64_t> places(side.routes.size(), kNoKey);
    for (std::uint32_t r = 0; r < side.routes.size(); ++r) {
      if (routes_.Paired(old, r)) continue;
      if (side.stops[r].empty()) {
        places[r] = in_table[r];
        continue;
      }
      bool known = false;
      std::vector<std::uint64_t> items;
      for (std::uint32_t s : side.stops[r]) items.push_back(Known(stations_, old, s, side.IsStation(s), known));
      std::sort(items.begin(), items.end());
      if (known) places[r] = Mix(kStop, Fold(items));
    }
    return places;
  }

  // -- Nodes: known by what their words name.

  std::uint64_t NodeKey(bool old, std::uint32_t i) const {
    const Side& side = Of(old);
    const NodeEntry& node = side.nodes[i];
    if (node.role) return Mix(kRole, std::hash<std::string>()(*node.role));
    const std::uint16_t a = node.word_a.value_or(0), b = node.word_b.value_or(0);
    const std::uint64_t station = side.IsStation(a) ? stations_.Identity(old, a) : Mix(kRawA, a);
    const std::uint64_t route = side.IsRoute(b) ? routes_.Identity(old, b) : Mix(kRawB, b);
    return Mix(station, route);
  }

  std::vector<std::uint64_t> NodeKeys(bool old) const {
    std::vector<std::uint64_t> keys;
    for (std::uint32_t i = 0; i < Of(old).nodes.size(); ++i) keys.push_back(NodeKey(old, i));
    return keys;
  }

  // A node's neighbours: the nodes its edges lead to.
  std::vector<std::uint64_t> NodeContext(bool old, std::uint32_t i) const {
    std::vector<std::uint64_t> items;
    for (const EdgeEntry& edge : Items(Of(old).nodes[i].edges)) {
      const std::uint32_t to = edge.target.value_or(0) & intermediate::kEdgeTargetMask;
      items.push_back(to < Of(old).nodes.size() ? NodeKey(old, to) : Mix(kMissing, to));
    }
    std::sort(items.begin(), items.end());
    return items;
  }

  std::uint64_t NodeIdentity(bool old, std::uint32_t i) const {
    return i < Of(old).nodes.size() ? nodes_.Identity(old, i) : Mix(kMissing, i);
  }

  NodeSide NodeOf(bool old, std::uint32_t i) const {
    const Side& side = Of(old);
    NodeSide node;
    node.number = i;
    if (i >= side.nodes.size()) {
      node.missing = true;
      return node;
    }
    const NodeEntry& entry = side.nodes[i];
    node.role = entry.role;
    node.word_a = entry.word_a.value_or(0);
    node.word_b = entry.word_b.value_or(0);
    if (!node.role && side.IsStation(node.word_a)) node.station = StationNamed(side, node.word_a);
    if (!node.role && side.IsRoute(node.word_b)) node.route = RouteNamed(side, node.word_b);
    return node;
  }

  // -- The lists: added, removed, renamed, moved, changed, each in order.

  template <typename T>
  static void Append(std::vector<T>& out, std::vector<T>& more) {
    out.insert(out.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }

  static ItemChange Item(Change change, std::optional<Named> old_item, std::optional<Named> new_item) {
    ItemChange item;
    item.change = change;
    item.old_item = std::move(old_item);
    item.new_item = std::move(new_item);
    return item;
  }

  // The items of one side without a partner: added (new) or removed (old).
  template <typename Make>
  static void Unpaired(const Pairing& pairing, bool old, std::vector<ItemChange>& out, const Make& make) {
    const std::vector<std::uint32_t>& partners = old ? pairing.to_new : pairing.to_old;
    for (std::uint32_t i = 0; i < partners.size(); ++i)
      if (partners[i] == kNone) out.push_back(make(old, i));
  }

  void ListStations(Difference& d) const {
    const auto lone = [this](bool old, std::uint32_t s) {
      const Named named = StationNamed(Of(old), s);
      return old ? Item(Change::kRemoved, named, std::nullopt) : Item(Change::kAdded, std::nullopt, named);
    };
    Unpaired(stations_, false, d.stations, lone);
    Unpaired(stations_, true, d.stations, lone);
    const std::vector<bool> moved_in_table = Moved(stations_);
    const std::vector<bool> sort_moved = SortMoved(&StationEntry::sort, d);
    const std::vector<bool> kana_moved = SortMoved(&StationEntry::kana_sort, d);
    std::vector<ItemChange> renamed, moved, changed;
    for (std::uint32_t o = 0; o < stations_.to_new.size(); ++o) {
      const std::uint32_t n = stations_.to_new[o];
      if (n == kNone) continue;
      const Named a = StationNamed(old_, o), b = StationNamed(new_, n);
      if (old_.station_name[o] != new_.station_name[n]) renamed.push_back(Item(Change::kRenamed, a, b));
      if (moved_in_table[o]) moved.push_back(Item(Change::kMoved, a, b));
      ItemChange item = Item(Change::kChanged, a, b);
      const StationEntry &x = old_.stations[o], &y = new_.stations[n];
      CompareField(item.fields, "word_b", x.word_b, y.word_b);
      CompareField(item.fields, "spare", x.spare, y.spare);
      if (sort_moved[o]) CompareField(item.fields, "sort", x.sort, y.sort);
      if (kana_moved[o]) CompareField(item.fields, "kana_sort", x.kana_sort, y.kana_sort);
      if (!item.fields.empty()) changed.push_back(std::move(item));
    }
    Append(d.stations, renamed);
    Append(d.stations, moved);
    Append(d.stations, changed);
  }

  // Which stations moved among the others in a sort order (a station without
  // a partner or without the word counts as moved); those whose word only
  // shifted with the others are counted.
  std::vector<bool> SortMoved(Maybe<std::uint16_t> StationEntry::*field, Difference& d) const {
    std::vector<std::uint32_t> olds;
    for (std::uint32_t o = 0; o < stations_.to_new.size(); ++o) {
      if (stations_.to_new[o] != kNone && old_.stations[o].*field && new_.stations[stations_.to_new[o]].*field)
        olds.push_back(o);
    }
    const auto word = [&](const Side& side, std::uint32_t s) { return *(side.stations[s].*field); };
    std::stable_sort(olds.begin(), olds.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return word(old_, a) < word(old_, b); });
    std::vector<std::uint64_t> values;  // the new words in the old order, ties broken by the new number
    for (std::uint32_t o : olds) {
      const std::uint32_t n = stations_.to_new[o];
      values.push_back((std::uint64_t{word(new_, n)} << 32) | n);
    }
    const std::vector<bool> kept = KeptInOrder(values);
    std::vector<bool> moved(stations_.to_new.size(), true);
    std::size_t shifted = 0;
    for (std::size_t k = 0; k < olds.size(); ++k) {
      if (!kept[k]) continue;
      moved[olds[k]] = false;
      if (word(old_, olds[k]) != word(new_, stations_.to_new[olds[k]])) ++shifted;
    }
    if (shifted > 0) d.sort_shifts.push_back({field == &StationEntry::sort ? "sort" : "kana_sort", shifted});
    return moved;
  }

  ItemChange LoneRoute(bool old, std::uint32_t r) const {
    const Named named = RouteNamed(Of(old), r);
    ItemChange item = old ? Item(Change::kRemoved, named, std::nullopt) : Item(Change::kAdded, std::nullopt, named);
    for (std::uint32_t s : Of(old).stops[r]) item.stops.push_back(StationNamed(Of(old), s));
    return item;
  }

  void ListRoutes(Difference& d) const {
    const auto lone = [this](bool old, std::uint32_t r) { return LoneRoute(old, r); };
    Unpaired(routes_, false, d.routes, lone);
    Unpaired(routes_, true, d.routes, lone);
    const std::vector<bool> moved_in_table = Moved(routes_);
    std::vector<ItemChange> renamed, moved, changed;
    for (std::uint32_t o = 0; o < routes_.to_new.size(); ++o) {
      const std::uint32_t n = routes_.to_new[o];
      if (n == kNone) continue;
      const Named a = RouteNamed(old_, o), b = RouteNamed(new_, n);
      if (old_.route_name[o] != new_.route_name[n]) renamed.push_back(Item(Change::kRenamed, a, b));
      if (moved_in_table[o]) moved.push_back(Item(Change::kMoved, a, b));
      ItemChange item = Item(Change::kChanged, a, b);
      const RouteEntry &x = old_.routes[o], &y = new_.routes[n];
      CompareField(item.fields, "spare", x.spare, y.spare);
      CompareField(item.fields, "word", x.word, y.word);
      CompareField(item.fields, "byte", x.byte, y.byte);
      CompareField(item.fields, "trailer", x.trailer, y.trailer);
      if (!item.fields.empty()) changed.push_back(std::move(item));
      ListStops(o, n, d);
    }
    Append(d.routes, renamed);
    Append(d.routes, moved);
    Append(d.routes, changed);
  }

  // The stops of a route on both sides, paired by station along the route as
  // the tables are aligned (a loop that loses its first stop keeps its last):
  // gained, lost, moved among the others, or with another companion word.
  void ListStops(std::uint32_t ro, std::uint32_t rn, Difference& d) const {
    const std::vector<std::uint32_t>&a = old_.stops[ro], &b = new_.stops[rn];
    Pairing stops(a.size(), b.size());
    PairAligned(StopKeys(true, a), StopKeys(false, b), stops);
    const std::vector<bool> moved = Moved(stops);
    const Named route = RouteNamed(new_, rn);
    const auto stop = [&](StopChange::Kind kind, std::optional<std::uint32_t> o, std::optional<std::uint32_t> n) {
      StopChange change;
      change.kind = kind;
      change.route = route;
      change.station = n ? StationNamed(new_, b[*n]) : StationNamed(old_, a[*o]);
      change.old_stop = o;
      change.new_stop = n;
      return change;
    };
    for (std::uint32_t n = 0; n < b.size(); ++n)
      if (stops.to_old[n] == kNone) d.stops.push_back(stop(StopChange::Kind::kGained, std::nullopt, n));
    for (std::uint32_t o = 0; o < a.size(); ++o)
      if (stops.to_new[o] == kNone) d.stops.push_back(stop(StopChange::Kind::kLost, o, std::nullopt));
    for (std::uint32_t o = 0; o < a.size(); ++o)
      if (moved[o]) d.stops.push_back(stop(StopChange::Kind::kMoved, o, stops.to_new[o]));
    for (std::uint32_t o = 0; o < a.size(); ++o) {
      const std::uint32_t n = stops.to_new[o];
      if (n == kNone) continue;
      StopChange change = stop(StopChange::Kind::kChanged, o, n);
      Record(change.fields, "companion", Value{old_.stop_words[ro][o], std::nullopt},
             Value{new_.stop_words[rn][n], std::nullopt});
      if (!change.fields.empty()) d.stops.push_back(std::move(change));
    }
  }

  std::vector<std::uint64_t> StopKeys(bool old, const std::vector<std::uint32_t>& stops) const {
    std::vector<std::uint64_t> keys;
    for (std::uint32_t s : stops) keys.push_back(Of(old).IsStation(s) ? stations_.Identity(old, s) : Mix(kMissing, s));
    return keys;
  }

  // -- Companies: by name; a route on both sides may move between them.

  static std::vector<std::uint64_t> CompanyOrder(const Side& side) {
    std::vector<std::uint64_t> order;
    for (std::uint64_t key : side.company)
      if (key != kNoKey && std::find(order.begin(), order.end(), key) == order.end()) order.push_back(key);
    return order;
  }

  void ListCompanies(Difference& d) const {
    for (bool old : {false, true}) {
      const Side& side = Of(old);
      const std::vector<std::uint64_t> others = CompanyOrder(Of(!old));
      for (std::uint64_t key : CompanyOrder(side)) {
        if (std::find(others.begin(), others.end(), key) != others.end()) continue;
        CompanyChange change;
        change.change = old ? Change::kRemoved : Change::kAdded;
        for (std::uint32_t r = 0; r < side.routes.size(); ++r) {
          if (side.company[r] != key) continue;
          if (change.routes.empty()) change.company = side.routes[r].company_name;
          change.routes.push_back(RouteNamed(side, r));
        }
        d.companies.push_back(std::move(change));
      }
    }
    for (std::uint32_t o = 0; o < routes_.to_new.size(); ++o) {
      const std::uint32_t n = routes_.to_new[o];
      if (n == kNone || old_.company[o] == new_.company[n] || old_.company[o] == kNoKey || new_.company[n] == kNoKey)
        continue;
      CompanyChange change;
      change.change = Change::kMoved;
      change.routes.push_back(RouteNamed(new_, n));
      change.old_company = old_.routes[o].company_name;
      change.new_company = new_.routes[n].company_name;
      d.companies.push_back(std::move(change));
    }
  }

  // -- The graph.

  void ListNodes(Difference& d) const {
    for (bool old : {false, true}) {
      for (std::uint32_t i = 0; i < Of(old).nodes.size(); ++i) {
        if (nodes_.Paired(old, i)) continue;
        NodeChange change;
        change.change = old ? Change::kRemoved : Change::kAdded;
        (old ? change.old_node : change.new_node) = NodeOf(old, i);
        d.nodes.push_back(std::move(change));
      }
    }
    const std::vector<bool> moved_in_table = Moved(nodes_);
    std::vector<NodeChange> moved, changed;
    for (std::uint32_t o = 0; o < nodes_.to_new.size(); ++o) {
      const std::uint32_t n = nodes_.to_new[o];
      if (n == kNone) continue;
      NodeChange change;
      change.old_node = NodeOf(true, o);
      change.new_node = NodeOf(false, n);
      change.change = Change::kMoved;
      if (moved_in_table[o]) moved.push_back(change);
      change.change = Change::kChanged;
      CompareField(change.fields, "mark", old_.nodes[o].mark, new_.nodes[n].mark);
      if (!SameEdgeOrder(o, n)) RecordEdgeOrder(o, n, change.fields);
      if (!change.fields.empty()) changed.push_back(std::move(change));
    }
    Append(d.nodes, moved);
    Append(d.nodes, changed);
  }

  // An edge of one side: the nodes at its ends (none: owned by no node).
  struct EdgeAt {
    std::optional<std::uint32_t> from;
    std::uint32_t to;
    std::uint16_t flags, value;
  };

  static EdgeAt At(std::optional<std::uint32_t> from, const EdgeEntry& edge) {
    const std::uint16_t target = edge.target.value_or(0);
    return {from, static_cast<std::uint32_t>(target & intermediate::kEdgeTargetMask),
            static_cast<std::uint16_t>(target & ~intermediate::kEdgeTargetMask), edge.value.value_or(0)};
  }

  std::vector<EdgeAt> EdgesOf(bool old) const {
    std::vector<EdgeAt> edges;
    const Side& side = Of(old);
    for (std::uint32_t i = 0; i < side.nodes.size(); ++i)
      for (const EdgeEntry& edge : Items(side.nodes[i].edges)) edges.push_back(At(i, edge));
    for (const EdgeEntry& edge : Items((old ? old_doc_ : new_doc_).unowned_edges))
      edges.push_back(At(std::nullopt, edge));
    return edges;
  }

  std::uint64_t EdgeKey(bool old, std::optional<std::uint32_t> from, std::uint32_t to, std::uint16_t flags) const {
    return Mix(Mix(from ? NodeIdentity(old, *from) : kUnowned, NodeIdentity(old, to)), flags);
  }

  std::vector<std::uint64_t> EdgeKeys(bool old, const std::vector<EdgeAt>& edges) const {
    std::vector<std::uint64_t> keys;
    for (const EdgeAt& edge : edges) keys.push_back(EdgeKey(old, edge.from, edge.to, edge.flags));
    return keys;
  }

  // Whether a node's edges that are on both sides come in the same order.
  bool SameEdgeOrder(std::uint32_t o, std::uint32_t n) const {
    const auto keys = [this](bool old, std::uint32_t i) {
      std::vector<std::uint64_t> out;
      for (const EdgeEntry& edge : Items(Of(old).nodes[i].edges)) {
        const EdgeAt at = At(i, edge);
        out.push_back(EdgeKey(old, std::nullopt, at.to, at.flags));
      }
      return out;
    };
    const std::vector<std::uint64_t> a = keys(true, o), b = keys(false, n);
    Pairing pairing(a.size(), b.size());
    PairByKey(a, b, pairing);
    const std::vector<bool> kept = KeptInOrder({pairing.to_new.begin(), pairing.to_new.end()});
    for (std::size_t k = 0; k < a.size(); ++k)
      if (pairing.to_new[k] != kNone && !kept[k]) return false;
    return true;
  }

  // The nodes a node's edges lead to, in order.
  std::string EdgeTargets(bool old, std::uint32_t i, bool numbered) const {
    const Side& side = Of(old);
    const std::uint16_t route = side.nodes[i].word_b.value_or(0);
    std::string text;
    for (const EdgeEntry& edge : Items(side.nodes[i].edges)) {
      const std::uint32_t to = edge.target.value_or(0) & intermediate::kEdgeTargetMask;
      text += (text.empty() ? "" : ", ") + TargetText(side, to, route, numbered);
    }
    return text;
  }

  // A node whose edges come in another order: where they lead, by station,
  // and by number too where the stations read the same on both sides.
  void RecordEdgeOrder(std::uint32_t o, std::uint32_t n, std::vector<FieldChange>& fields) const {
    const bool numbered = EdgeTargets(true, o, false) == EdgeTargets(false, n, false);
    Record(fields, "edges", {std::nullopt, EdgeTargets(true, o, numbered)},
           {std::nullopt, EdgeTargets(false, n, numbered)});
  }

  EdgeChange EdgeOf(Change change, bool old, const EdgeAt& edge) const {
    EdgeChange out;
    out.change = change;
    if (edge.from) out.from = NodeOf(old, *edge.from);
    out.to = NodeOf(old, edge.to);
    out.flags = edge.flags;
    (old ? out.old_value : out.new_value) = edge.value;
    return out;
  }

  void ListEdges(Difference& d) const {
    const std::vector<EdgeAt> a = EdgesOf(true), b = EdgesOf(false);
    Pairing edges(a.size(), b.size());
    PairAligned(EdgeKeys(true, a), EdgeKeys(false, b), edges);
    std::vector<EdgeChange> removed, changed;
    for (std::uint32_t n = 0; n < b.size(); ++n)
      if (edges.to_old[n] == kNone) d.edges.push_back(EdgeOf(Change::kAdded, false, b[n]));
    for (std::uint32_t o = 0; o < a.size(); ++o) {
      const std::uint32_t n = edges.to_new[o];
      if (n == kNone) {
        removed.push_back(EdgeOf(Change::kRemoved, true, a[o]));
      } else if (a[o].value != b[n].value) {
        changed.push_back(EdgeOf(Change::kChanged, false, b[n]));
        changed.back().old_value = a[o].value;
      }
    }
    Append(d.edges, removed);
    Append(d.edges, changed);
  }

  const Document &old_doc_, &new_doc_;
  Names names_;
  Side old_, new_;
  Pairing stations_, routes_, nodes_;
};

// ---------------------------------------------------------------------------
// What the network view does not show: strings added to or taken from the
// table that are no station's or route's name, the headers, and regions of the
// images that differ otherwise.

std::uint64_t StringKey(const StringEntry& entry, Names& names) {
  return entry.text && *entry.text ? names.Of(**entry.text, entry.text_bytes) : names.Made("o");
}

// The names of a network's stations and routes.
void AddNames(const Document& doc, Names& names, std::unordered_set<std::uint64_t>& keys) {
  for (const StationEntry& s : Items(doc.stations))
    if (s.name) keys.insert(names.Of(*s.name, s.name_bytes));
  for (const RouteEntry& r : Items(doc.routes))
    if (r.name && *r.name) keys.insert(names.Of(**r.name, r.name_bytes));
}

// The strings of `these` that `those` do not have as many times, but for names.
void StringsBeyond(const Document& these, const Document& those, Change change, Names& names,
                   const std::unordered_set<std::uint64_t>& name_keys, Difference& d) {
  std::unordered_map<std::uint64_t, std::size_t> count;
  for (const StringEntry& entry : Items(those.strings)) ++count[StringKey(entry, names)];
  for (const StringEntry& entry : Items(these.strings)) {
    const std::uint64_t key = StringKey(entry, names);
    std::size_t& left = count[key];
    if (left > 0) {
      --left;
      continue;
    }
    if (name_keys.count(key)) continue;
    StringChange string;
    string.change = change;
    if (entry.text && *entry.text) string.text = **entry.text;
    string.text_bytes = entry.text_bytes;
    d.strings.push_back(std::move(string));
  }
}

void CompareStrings(const Document& a, const Document& b, Difference& d) {
  Names names;
  std::unordered_set<std::uint64_t> name_keys;
  AddNames(a, names, name_keys);
  AddNames(b, names, name_keys);
  StringsBeyond(b, a, Change::kAdded, names, name_keys, d);
  StringsBeyond(a, b, Change::kRemoved, names, name_keys, d);
}

void CompareImageHeaders(const Document& a, const Document& b, Difference& d) {
  const ImageHeaderEntry x = a.image_header.value_or(ImageHeaderEntry{}),
                         y = b.image_header.value_or(ImageHeaderEntry{});
  std::vector<FieldChange>& out = d.image_header;
  CompareField(out, "magic", x.magic, y.magic);
  CompareField(out, "version", x.version, y.version);
  CompareField(out, "station_count", x.station_count, y.station_count);
  CompareField(out, "route_count", x.route_count, y.route_count);
  CompareField(out, "string_count", x.string_count, y.string_count);
  CompareField(out, "pool_size", x.pool_size, y.pool_size);
  CompareField(out, "rstat_capacity", x.rstat_capacity, y.rstat_capacity);
  CompareField(out, "node_total", x.node_total, y.node_total);
  CompareField(out, "file_node_count", x.file_node_count, y.file_node_count);
  CompareField(out, "edge_count", x.edge_count, y.edge_count);
  CompareField(out, "value_entry_count", x.value_entry_count, y.value_entry_count);
}

void CompareDatabases(const Document& a, const Document& b, Difference& d) {
  const DatabaseEntry x = a.database.value_or(DatabaseEntry{}), y = b.database.value_or(DatabaseEntry{});
  std::vector<FieldChange>& out = d.database;
  CompareField(out, "name", x.name, y.name);
  CompareField(out, "attributes", x.attributes, y.attributes);
  CompareField(out, "version", x.version, y.version);
  CompareField(out, "creation_date", x.creation_date, y.creation_date);
  CompareField(out, "modification_date", x.modification_date, y.modification_date);
  CompareField(out, "backup_date", x.backup_date, y.backup_date);
  CompareField(out, "modification_number", x.modification_number, y.modification_number);
  CompareField(out, "app_info_offset", x.app_info_offset, y.app_info_offset);
  CompareField(out, "sort_info_offset", x.sort_info_offset, y.sort_info_offset);
  CompareField(out, "type", x.type, y.type);
  CompareField(out, "creator", x.creator, y.creator);
  CompareField(out, "unique_id_seed", x.unique_id_seed, y.unique_id_seed);
  CompareField(out, "next_record_list", x.next_record_list, y.next_record_list);
  CompareField(out, "record_count", x.record_count, y.record_count);
}

bool NothingListed(const Difference& d) {
  return d.stations.empty() && d.sort_shifts.empty() && d.routes.empty() && d.stops.empty() && d.companies.empty() &&
         d.nodes.empty() && d.edges.empty() && d.strings.empty() && d.image_header.empty() && d.database.empty();
}

// Which regions of two images differ: the header with the record list, and each record.
void ListRegions(const ComparedFile& a, const ComparedFile& b, Difference& d) {
  const std::vector<RecordEntry>&x = Items(a.dump.records), &y = Items(b.dump.records);
  const auto front = [](const ComparedFile& file, const std::vector<RecordEntry>& records) {
    return MemorySource(file.image).Read(0, records.empty() ? file.image.size() : records[0].offset.value_or(0));
  };
  if (front(a, x) != front(b, y)) d.regions.push_back("database header and record list");
  for (std::size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
    const auto bytes = [i](const ComparedFile& file, const std::vector<RecordEntry>& records) {
      if (i >= records.size() || !records[i].length || !*records[i].length) return std::vector<std::uint8_t>();
      return MemorySource(file.image).Read(records[i].offset.value_or(0), **records[i].length);
    };
    if (bytes(a, x) != bytes(b, y)) d.regions.push_back((i < x.size() ? x[i] : y[i]).content.value_or("record"));
  }
  if (d.regions.empty()) d.regions.push_back("image");
}

}  // namespace

const char* ChangeName(Change change) {
  switch (change) {
    case Change::kAdded: return "added";
    case Change::kRemoved: return "removed";
    case Change::kRenamed: return "renamed";
    case Change::kMoved: return "moved";
    case Change::kChanged: return "changed";
  }
  return "";
}

const char* StopChangeName(StopChange::Kind kind) {
  switch (kind) {
    case StopChange::Kind::kGained: return "gained";
    case StopChange::Kind::kLost: return "lost";
    case StopChange::Kind::kMoved: return "moved";
    case StopChange::Kind::kChanged: return "changed";
  }
  return "";
}

Difference Compare(const ComparedFile& old_file, const ComparedFile& new_file) {
  Difference d;
  d.same_bytes = old_file.bytes == new_file.bytes;
  d.same_image = old_file.image == new_file.image;
  if (d.same_image) {
    for (std::uint32_t s = 0; s < Items(old_file.dump.stations).size(); ++s) d.station_partner.push_back(s);
    for (std::uint32_t r = 0; r < Items(old_file.dump.routes).size(); ++r) d.route_partner.push_back(r);
    return d;
  }
  Comparison(old_file.dump, new_file.dump).Run(d);
  CompareStrings(old_file.dump, new_file.dump, d);
  CompareImageHeaders(old_file.dump, new_file.dump, d);
  CompareDatabases(old_file.dump, new_file.dump, d);
  if (NothingListed(d)) ListRegions(old_file, new_file, d);
  return d;
}
