// Pairing the items of two sequences by their keys (see Alignment.h).
#include "diff/Alignment.h"

#include <algorithm>
#include <deque>
#include <tuple>
#include <unordered_map>

namespace diff {

namespace {

// The most pairs of namesakes aligned in order by their context; beyond, each takes the first alike.
constexpr std::size_t kMostAligned = 1u << 20;
// The most pairs of namesakes scored for what they have in common; beyond, they pair in order.
constexpr std::size_t kMostScored = 4096;

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

// PairAlongScript: Myers' greedy search for a shortest script of insertions
// and deletions, from both ends of what the two sequences have in common.
class ShortestScript {
 public:
  ShortestScript(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b, Pairing& pairing)
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

}  // namespace

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

std::size_t Pairing::Count() const {
  return static_cast<std::size_t>(std::count_if(to_new.begin(), to_new.end(), [](auto n) { return n != kNone; }));
}

void PairAlongScript(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b, Pairing& pairing) {
  ShortestScript(a, b, pairing).Run();
}

void PairByKey(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys, Pairing& pairing,
               const ContextOf& context) {
  for (const Group& group : Groups(old_keys, new_keys, pairing)) {
    if (group.olds.empty() || group.news.empty()) continue;
    if (context && (group.olds.size() > 1 || group.news.size() > 1)) PairNamesakes(group, context, pairing);
    PairInOrder(group, pairing);
  }
}

void PairAligned(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys,
                 Pairing& pairing, const ContextOf& context) {
  const auto with_context = [&context](bool old, const std::vector<std::uint64_t>& keys) {
    std::vector<std::uint64_t> out = keys;
    for (std::uint32_t i = 0; context && i < out.size(); ++i) out[i] = Mix(out[i], Fold(context(old, i)));
    return out;
  };
  PairAlongScript(with_context(true, old_keys), with_context(false, new_keys), pairing);
  PairByKey(old_keys, new_keys, pairing, context);
}

// Each item finds the best run it can end below its value in a Fenwick tree
// over the values' ranks.
std::vector<bool> KeptInOrder(const std::vector<std::uint64_t>& values, const std::vector<bool>& stays) {
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

}  // namespace diff
