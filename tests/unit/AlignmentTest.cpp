// Pairing two sequences of keys: along a shortest script, by key with the
// namesakes told apart by their context, and which partners left the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "diff/Alignment.h"

namespace diff {
namespace {

using Keys = std::vector<std::uint64_t>;
using Partners = std::vector<std::uint32_t>;

// The length of a longest common subsequence, by the textbook table, kNoKey
// matching nothing: how many pairs a shortest script leaves.
std::size_t CommonLength(const Keys& a, const Keys& b) {
  std::vector<std::vector<std::size_t>> run(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
  for (std::size_t i = a.size(); i-- > 0;)
    for (std::size_t j = b.size(); j-- > 0;)
      run[i][j] = a[i] == b[j] && a[i] != kNoKey ? run[i + 1][j + 1] + 1 : std::max(run[i + 1][j], run[i][j + 1]);
  return run[0][0];
}

// Every pair joins equal keys, both ways, and where `ordered`, in the order of both sequences.
void ExpectPairs(const Keys& a, const Keys& b, const Pairing& pairing, bool ordered = true) {
  std::int64_t last = -1;
  for (std::uint32_t o = 0; o < a.size(); ++o) {
    const std::uint32_t n = pairing.to_new[o];
    if (n == kNone) continue;
    EXPECT_EQ(a[o], b[n]) << "old " << o;
    EXPECT_EQ(pairing.to_old[n], o);
    if (ordered) {
      EXPECT_GT(std::int64_t{n}, last) << "old " << o << " out of order";
    }
    last = n;
  }
  const auto paired = [](const Partners& p) {
    return std::count_if(p.begin(), p.end(), [](auto x) { return x != kNone; });
  };
  EXPECT_EQ(paired(pairing.to_new), paired(pairing.to_old));
}

Pairing AlongScript(const Keys& a, const Keys& b) {
  Pairing pairing(a.size(), b.size());
  PairAlongScript(a, b, pairing);
  return pairing;
}

TEST(AlignmentAlongScript, PairsWhatKeepsItsPlace) {
  struct Case {
    const char* what;
    Keys a, b;
    Partners to_new;
  };
  const std::vector<Case> cases = {
      {"both empty", {}, {}, {}},
      {"nothing old", {}, {1, 2}, {}},
      {"nothing new", {1, 2}, {}, {kNone, kNone}},
      {"all equal", {1, 2, 3}, {1, 2, 3}, {0, 1, 2}},
      {"all different", {1, 2, 3}, {4, 5, 6}, {kNone, kNone, kNone}},
      {"one inserted", {1, 2, 3}, {1, 9, 2, 3}, {0, 2, 3}},
      {"one deleted", {1, 2, 3, 4}, {1, 3, 4}, {0, kNone, 1, 2}},
      {"one replaced", {1, 2, 3}, {1, 9, 3}, {0, kNone, 2}},
      {"moved to the end: the others keep their pairs", {1, 2, 3, 4}, {2, 3, 4, 1}, {kNone, 0, 1, 2}},
      {"a repeated key pairs from the start", {5, 5, 5}, {5, 5}, {0, 1, kNone}},
      {"a run of equal keys pairs as late as it can", {1, 2, 2}, {3, 2, 4}, {kNone, kNone, 1}},
      {"on either side", {3, 2, 4}, {1, 2, 2}, {kNone, 2, kNone}},
      {"kNoKey pairs with none", {kNoKey, 1}, {kNoKey, 1}, {kNone, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Pairing pairing = AlongScript(c.a, c.b);
    EXPECT_EQ(pairing.to_new, c.to_new);
    ExpectPairs(c.a, c.b, pairing);
  }
}

// A shortest script pairs as many as the longest common subsequence has, on
// any two sequences (few keys, so that many repeat).
TEST(AlignmentAlongScript, LeavesAShortestScript) {
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    Keys a(random() % 13), b(random() % 13);
    for (std::uint64_t& key : a) key = 1 + random() % 3;
    for (std::uint64_t& key : b) key = 1 + random() % 3;
    const Pairing pairing = AlongScript(a, b);
    SCOPED_TRACE(::testing::PrintToString(a) + " -> " + ::testing::PrintToString(b));
    ExpectPairs(a, b, pairing);
    EXPECT_EQ(pairing.Count(), CommonLength(a, b));
  }
}

// The key in the middle of two runs of different keys pairs while the
// insertions and deletions are at most kMostEdits; past them, only the
// common beginning and end do.
TEST(AlignmentAlongScript, GivesUpPastTheMostEdits) {
  for (const std::ptrdiff_t run : {kMostEdits / 4 - 1, kMostEdits / 4, kMostEdits / 4 + 1}) {
    Keys a = {7}, b = {7};
    for (std::ptrdiff_t k = 0; k < run; ++k) a.push_back(100 + k), b.push_back(10000 + k);
    a.push_back(5), b.push_back(5);
    for (std::ptrdiff_t k = 0; k < run; ++k) a.push_back(20000 + k), b.push_back(30000 + k);
    a.push_back(9), b.push_back(9);
    const Pairing pairing = AlongScript(a, b);
    const bool within = 4 * run <= kMostEdits;
    SCOPED_TRACE(4 * run);
    EXPECT_EQ(pairing.to_new.front(), 0u);
    EXPECT_EQ(pairing.to_new.back(), b.size() - 1);
    EXPECT_EQ(pairing.to_new[static_cast<std::size_t>(run) + 1], within ? static_cast<std::uint32_t>(run) + 1 : kNone);
    EXPECT_EQ(pairing.Count(), within ? 3u : 2u);
  }
}

TEST(AlignmentByKey, PairsNamesakesByTheirContext) {
  using Contexts = std::vector<Keys>;
  struct Case {
    const char* what;
    bool aligned;  // PairAligned, else PairByKey
    Keys a, b;
    Contexts old_context, new_context;  // none given when empty
    Partners to_new;
  };
  const std::vector<Case> cases = {
      {"unique keys wherever they are", false, {1, 2, 3}, {3, 1, 2}, {}, {}, {1, 2, 0}},
      {"namesakes in order", false, {5, 5, 5}, {5, 5}, {}, {}, {0, 1, kNone}},
      {"kNoKey pairs with none", false, {kNoKey, 4}, {4, kNoKey}, {}, {}, {kNone, 0}},
      {"namesakes with the same context", false, {5, 5}, {5, 5}, {{1}, {2}}, {{2}, {1}}, {1, 0}},
      {"the same context before more in common", false, {5}, {5, 5}, {{1}}, {{1, 2}, {1}}, {1}},
      {"the most context in common first",
       false,
       {5, 5},
       {5, 5, 5},
       {{3, 4}, {1, 2, 5}},
       {{1}, {1, 2, 6}, {3, 7}},
       {2, 1}},
      {"no context in common: in order", false, {5, 5}, {5, 5}, {{1}, {2}}, {{3}, {4}}, {0, 1}},
      {"by key, a namesake inserted first takes the first's partner", false, {6, 5}, {5, 6, 5}, {}, {}, {1, 0}},
      {"aligned, it leaves the others their place", true, {6, 5}, {5, 6, 5}, {}, {}, {1, 2}},
      {"aligned with context", true, {5, 5}, {5, 5}, {{1}, {2}}, {{2}, {1}}, {1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ContextOf context;
    if (!c.old_context.empty())
      context = [&c](bool old, std::uint32_t i) { return (old ? c.old_context : c.new_context).at(i); };
    Pairing pairing(c.a.size(), c.b.size());
    (c.aligned ? PairAligned : PairByKey)(c.a, c.b, pairing, context);
    EXPECT_EQ(pairing.to_new, c.to_new);
    ExpectPairs(c.a, c.b, pairing, false);
  }
}

TEST(AlignmentMoved, TheFewestLeaveTheOrder) {
  struct Case {
    const char* what;
    Partners to_new;
    std::vector<bool> moved;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}},
      {"none paired", {kNone, kNone}, {false, false}},
      {"all in place", {0, 1, 2}, {false, false, false}},
      {"all shifted by one", {kNone, 0, 1}, {false, false, false}},
      {"the first moved to the end", {2, 0, 1}, {true, false, false}},
      {"the last moved to the front", {1, 2, 0}, {false, false, true}},
      {"two swapped: the earlier moved", {1, 0}, {true, false}},
      {"runs as long: the one that keeps its number", {2, 1, 0}, {true, false, true}},
      {"runs as long and as staying: the one that ends last", {0, 2, 1}, {false, true, false}},
      {"one that keeps its number, even out of the run", {3, 4, 2, 0, 1}, {true, true, false, false, false}},
      {"those without a partner are left out", {1, kNone, 0}, {true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pairing pairing(c.to_new.size(), c.to_new.size());
    for (std::uint32_t o = 0; o < c.to_new.size(); ++o)
      if (c.to_new[o] != kNone) pairing.Pair(o, c.to_new[o]);
    EXPECT_EQ(Moved(pairing), c.moved);
  }
}

}  // namespace
}  // namespace diff
