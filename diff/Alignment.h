// Pairing the items of two sequences: which old item is which new one. An
// item is known only by a key, a number that is equal for items that may be
// partners (the same name, say); namesakes, items of the same key, can be
// told apart by their context, sorted keys that stand for their neighbours.
// Nothing here knows what the items are.
//
// A typical use: PairAligned pairs what keeps its place, in the order of the
// two sequences, then what is left by key; Moved tells which partners left
// the order of the others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace diff {

// No partner; as a value to KeptInOrder, one left out.
inline constexpr std::uint32_t kNone = UINT32_MAX;
// The key of an item that pairs with none.
inline constexpr std::uint64_t kNoKey = 0;
// The most insertions and deletions PairAlongScript looks for.
inline constexpr std::ptrdiff_t kMostEdits = 1000;

// Two numbers as one, in order: a 64-bit mix, so that different inputs
// collide with a chance of one in 2^64. Never kNoKey.
std::uint64_t Mix(std::uint64_t a, std::uint64_t b);
// A list of numbers as one: its length and its items mixed in order.
std::uint64_t Fold(const std::vector<std::uint64_t>& items);

// Which old item is which new one (kNone: none), both ways.
struct Pairing {
  Pairing(std::size_t olds, std::size_t news) : to_new(olds, kNone), to_old(news, kNone) {}
  std::vector<std::uint32_t> to_new, to_old;

  void Pair(std::uint32_t o, std::uint32_t n) {
    to_new[o] = n;
    to_old[n] = o;
  }
  bool Paired(bool old, std::uint32_t i) const { return (old ? to_new[i] : to_old[i]) != kNone; }
  // The old number of a paired item, as either side knows it; kNone for one
  // without a partner or past the end of its side.
  std::uint32_t Common(bool old, std::uint32_t i) const {
    if (old) return i < to_new.size() && to_new[i] != kNone ? i : kNone;
    return i < to_old.size() ? to_old[i] : kNone;
  }
  // How many pairs there are.
  std::size_t Count() const;
};

// An item's context: sorted keys standing for its neighbours.
using ContextOf = std::function<std::vector<std::uint64_t>(bool old, std::uint32_t item)>;

// Pairs equal keys of `a` (old) and `b` (new), on a pairing that has no
// pairs yet, along a shortest script of insertions and deletions that turns
// one into the other, so that items keep their place among their namesakes;
// kNoKey pairs with none. Where a run of equal keys could as well pair one
// place later, so that the item it leaves without a partner stands where one
// of the other side has none (a station renamed to the name of the next), it
// does: of [A B B] and [C B D], the second B pairs. Past kMostEdits insertions
// and deletions, only the common beginning and end are paired.
void PairAlongScript(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b, Pairing& pairing);

// Pairs the items without a partner that have equal keys (kNoKey: none).
// Where a key repeats on either side and `context` is given, namesakes pair
// first with the one of the same context (the longest run of them that keeps
// its order on both sides), then with the one that has the most of it in
// common (the most in common first); what is left of a key pairs in order.
void PairByKey(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys, Pairing& pairing,
               const ContextOf& context = {});

// PairAlongScript on the keys mixed with their context, then PairByKey.
void PairAligned(const std::vector<std::uint64_t>& old_keys, const std::vector<std::uint64_t>& new_keys,
                 Pairing& pairing, const ContextOf& context = {});

// Which of `values` (kNone: left out) keep their order: a longest increasing
// run of them; among runs as long, the one with the most items that `stays`
// marks, then the one that ends latest. The others moved; one left out is not
// kept.
std::vector<bool> KeptInOrder(const std::vector<std::uint64_t>& values, const std::vector<bool>& stays = {});

// Which paired old items moved among the others: out of the run kept in
// order (KeptInOrder of their partners, those that keep their number staying),
// and at another number. One that keeps its number never moved.
std::vector<bool> Moved(const Pairing& pairing);

}  // namespace diff
