// OpenTable: the open-addressing hash table (linear probing) behind the row
// store's text numbering, the totals' group table and the cell map. It maps
// a 64-bit hash to a 32-bit number (a text, a group, a cell) that the
// caller owns; the caller confirms a candidate by comparing the keys
// itself. A slot holds the upper half of the hash, which also places it,
// and the number: eight bytes, so that large tables stay small in the cache.
// The table is at most three quarters full; an empty table holds no memory.
#ifndef TABULON_PIVOT_OPEN_TABLE_H_
#define TABULON_PIVOT_OPEN_TABLE_H_

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "pivot/memory_budget.h"

namespace tabulon {

// A hash of a short text, eight bytes at a time.
inline uint64_t hashBytes(std::string_view text) {
  const char* p = text.data();
  std::size_t left = text.size();
  uint64_t h = left * 0x9e3779b97f4a7c15ULL;
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * 0xff51afd7ed558ccdULL;
    h ^= h >> 29;
  }
  uint64_t word = 0;
  if (left != 0) std::memcpy(&word, p, left);
  h = (h ^ word) * 0xc4ceb9fe1a85ec53ULL;
  return h ^ (h >> 32);
}

// Spreads the bits of `h` over all 64 (a finaliser for sums of terms).
inline uint64_t mixBits(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

class OpenTable {
 public:
  static constexpr uint32_t kEmpty = std::numeric_limits<uint32_t>::max();

  std::size_t size() const { return count_; }
  void clear() {
    std::vector<Slot>().swap(slots_);
    count_ = 0;
  }
  // Makes room for `n` numbers without growing.
  void reserve(std::size_t n) {
    std::size_t wanted = slots_.empty() ? 16 : slots_.size();
    while (wanted / 4 * 3 < n) wanted *= 2;
    if (wanted > slots_.size()) rehash(wanted);
  }

  // Brings the slot where `hash` starts into the cache (a hint).
  void prefetch(uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[static_cast<uint32_t>(hash >> 32) & (slots_.size() - 1)]);
  }

  // The number of the first slot on `hash`'s probe sequence that bears its
  // tag, or kEmpty: the likely match, whose key the caller may fetch ahead.
  uint32_t firstCandidate(uint64_t hash) const {
    if (slots_.empty()) return kEmpty;
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.number == kEmpty || slot.tag == tag) return slot.number;
    }
  }

  // The number whose key `sameKey(number)` confirms, or kEmpty.
  template <typename SameKey>
  uint32_t find(uint64_t hash, SameKey sameKey) const {
    if (slots_.empty()) return kEmpty;
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.number == kEmpty) return kEmpty;
      if (slot.tag == tag && sameKey(slot.number)) return slot.number;
    }
  }

  // The number whose key `sameKey(number)` confirms, or `fresh` after
  // recording it under `hash`.
  template <typename SameKey>
  uint32_t findOrAdd(uint64_t hash, std::size_t fresh, SameKey sameKey) {
    if (fresh >= kEmpty) throw std::length_error("too many distinct keys");
    if ((count_ + 1) * 4 > slots_.size() * 3) reserve(count_ + 1);
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.number == kEmpty) {
        slot = Slot{tag, static_cast<uint32_t>(fresh)};
        ++count_;
        return static_cast<uint32_t>(fresh);
      }
      if (slot.tag == tag && sameKey(slot.number)) return slot.number;
    }
  }

 private:
  struct Slot {
    uint32_t tag = 0;
    uint32_t number = kEmpty;
  };

  void rehash(std::size_t slotCount) {
    // The growth stays charged to the request's memory budget.
    chargeMemory((slotCount - slots_.size()) * sizeof(Slot));
    std::vector<Slot> old(slotCount);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.number == kEmpty) continue;
      std::size_t at = slot.tag & mask;
      while (slots_[at].number != kEmpty) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_OPEN_TABLE_H_
