// DenseKeyGrid: numbers the keys made of a few small numbers (text numbers,
// one per key position, each within a known range) by their place in a
// grid of all their combinations, the numbers read as the digits of a
// mixed-radix number. Finding a key's group is then one array read: no
// hash, no probe, no key comparison. A grid is laid out only when it stays
// small next to the keys it will number; its slots are charged to the
// request's memory budget and freed with the grid.
#ifndef TABULON_PIVOT_DENSE_KEY_GRID_H_
#define TABULON_PIVOT_DENSE_KEY_GRID_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "pivot/memory_budget.h"
#include "pivot/pod_buffer.h"

namespace tabulon {

class DenseKeyGrid {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // A key's digit q lies in [low[q], low[q] + range[q]). Lays out the grid
  // and returns true when it takes at most `limit` slots; otherwise holds
  // nothing and returns false.
  bool reset(const std::vector<uint32_t>& low, const std::vector<uint64_t>& range, std::size_t limit) {
    std::vector<uint64_t> strides(range.size());
    uint64_t slots = 1;
    for (std::size_t q = range.size(); q-- > 0;) {
      if (range[q] == 0 || range[q] > limit || slots > limit / range[q]) return false;
      strides[q] = slots;
      slots *= range[q];
    }
    charge_.hold(slots * sizeof(uint32_t));
    slots_.assign(slots);
    strides_ = std::move(strides);
    // Folding the lows into one offset leaves one multiply-add per digit.
    offset_ = 0;
    for (std::size_t q = 0; q < low.size(); ++q) offset_ += low[q] * strides_[q];
    return true;
  }

  // The place of the key whose digits `digit(q)` gives, q = 0 .. digits-1.
  template <typename Digit>
  uint64_t place(Digit digit) const {
    uint64_t at = 0;
    for (std::size_t q = 0; q < strides_.size(); ++q) at += uint64_t{digit(q)} * strides_[q];
    return at - offset_;
  }
  // The group number at `place`, which becomes `fresh` when it has none.
  uint32_t findOrAdd(uint64_t place, std::size_t fresh) {
    uint32_t& slot = slots_.at[place];
    if (slot == kNone) slot = static_cast<uint32_t>(fresh);
    return slot;
  }
  void prefetch(uint64_t place) const { __builtin_prefetch(slots_.at + place); }

 private:
  // Slots every kNone. A large block is mapped from the system and given
  // back whole when the grid goes, not left in the C library's heap.
  struct Slots {
    Slots() = default;
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    ~Slots() { release(); }
    void assign(std::size_t n) {
      release();
      at = static_cast<uint32_t*>(pod_memory::allocate(n * sizeof(uint32_t), mapped));
      count = n;
      std::memset(at, 0xff, n * sizeof(uint32_t));
    }
    void release() {
      pod_memory::release(at, count * sizeof(uint32_t), mapped);
      at = nullptr;
      count = 0;
    }
    uint32_t* at = nullptr;
    std::size_t count = 0;
    bool mapped = false;
  };
  static_assert(kNone == 0xffffffffu, "slots are filled with 0xff bytes");

  std::vector<uint64_t> strides_;
  uint64_t offset_ = 0;
  Slots slots_;
  ChargedBytes charge_;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_DENSE_KEY_GRID_H_
