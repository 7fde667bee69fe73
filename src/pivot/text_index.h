// TextIndex: the hash table that finds the number of a text in a column's
// store (ColumnTexts). Open addressing with linear probing; a slot holds the
// text's first eight bytes, its length (up to 255) and the top 24 bits of
// its hash (which also choose its first slot) beside the number, so that a text of at most eight bytes is found or
// told apart without reading the store, and a longer one reads the store
// only when all of these agree. The store is consulted through a callback
// that gives the text of a number. At most three quarters full; an empty
// index holds no memory; growth is charged to the request's memory budget.
#ifndef TABULON_PIVOT_TEXT_INDEX_H_
#define TABULON_PIVOT_TEXT_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "pivot/memory_budget.h"

namespace tabulon {

// What the index knows of a text before probing: its hash and its first
// eight bytes (zero beyond its end).
struct TextKey {
  uint64_t hash = 0;
  uint64_t head = 0;

  static TextKey of(std::string_view text);
};

// Zero-filled memory for a table's slots: blocks of a few megabytes and
// more are mapped with all pages faulted in (with huge pages where the
// system offers them, so that random probes miss the address cache less).
class ZeroedBlock {
 public:
  ZeroedBlock() = default;
  explicit ZeroedBlock(std::size_t bytes);
  ZeroedBlock(const ZeroedBlock& other);
  ZeroedBlock(ZeroedBlock&& other) noexcept { swap(other); }
  ZeroedBlock& operator=(ZeroedBlock other) noexcept {
    swap(other);
    return *this;
  }
  ~ZeroedBlock();
  void swap(ZeroedBlock& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(bytes_, other.bytes_);
  }
  void* data() const { return data_; }
  std::size_t bytes() const { return bytes_; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
};

class TextIndex {
 public:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

  std::size_t size() const { return count_; }

  // Brings the slot where `key` starts into the cache (a hint).
  void prefetch(const TextKey& key) const {
    if (slotCount_ != 0) __builtin_prefetch(slots() + home(key.hash));
  }

  // The number of `text`, or kNone. `textOf(number)` gives a stored text.
  template <typename TextOf>
  uint32_t find(std::string_view text, const TextKey& key, TextOf textOf) const {
    if (slotCount_ == 0) return kNone;
    const uint32_t check = checkOf(key, text.size());
    for (std::size_t at = home(key.hash);; at = (at + 1) & mask_) {
      const Slot& slot = slots()[at];
      if (slot.numberPlusOne == 0) return kNone;
      if (matches(slot, check, key, text, textOf)) return slot.numberPlusOne - 1;
    }
  }

  // The number of `text`, or `fresh` (below kNone) after recording it. A
  // large index reads stored texts through `textOf` when it grows.
  template <typename TextOf>
  uint32_t findOrAdd(std::string_view text, const TextKey& key, uint32_t fresh, TextOf textOf) {
    if ((count_ + 1) * 4 > slotCount_ * 3) grow(textOf);
    const uint32_t check = checkOf(key, text.size());
    for (std::size_t at = home(key.hash);; at = (at + 1) & mask_) {
      Slot& slot = slots()[at];
      if (slot.numberPlusOne == 0) {
        slot = Slot{key.head, fresh + 1, check};
        ++count_;
        return fresh;
      }
      if (matches(slot, check, key, text, textOf)) return slot.numberPlusOne - 1;
    }
  }

 private:
  struct Slot {
    uint64_t head;
    uint32_t numberPlusOne;  // 0: an empty slot
    uint32_t check;          // the hash's top 24 bits, then the length (255: longer)
  };
  static constexpr unsigned kCheckHashBits = 24;

  Slot* slots() const { return static_cast<Slot*>(block_.data()); }

  static uint32_t checkOf(const TextKey& key, std::size_t length) {
    const uint32_t shortLength = length < 255 ? static_cast<uint32_t>(length) : 255;
    return (static_cast<uint32_t>(key.hash >> 32) & 0xFFFFFF00u) | shortLength;
  }

  template <typename TextOf>
  static bool matches(const Slot& slot, uint32_t check, const TextKey& key, std::string_view text,
                      TextOf textOf) {
    if (slot.check != check || slot.head != key.head) return false;
    if (text.size() <= 8) return true;  // the length and every byte agree
    const std::string_view stored = textOf(slot.numberPlusOne - 1);
    return stored.size() == text.size() &&
           std::memcmp(stored.data() + 8, text.data() + 8, text.size() - 8) == 0;
  }

  // A hash's first slot: its top bits, so that doubling the table sends
  // the slots of one old slot's run to two neighbouring new runs.
  std::size_t home(uint64_t hash) const { return static_cast<std::size_t>(hash >> shift_); }

  // Doubles the slots (16 at first). The old slots are entered in order,
  // which writes the new ones nearly in order too; each one's new home
  // comes from the hash bits in its check while they suffice, from its
  // text (through `textOf`) beyond.
  template <typename TextOf>
  void grow(TextOf textOf) {
    const std::size_t oldCount = slotCount_;
    const std::size_t newCount = oldCount == 0 ? 16 : oldCount * 2;
    chargeMemory((newCount - oldCount) * sizeof(Slot));
    ZeroedBlock old(newCount * sizeof(Slot));
    old.swap(block_);
    slotCount_ = newCount;
    mask_ = newCount - 1;
    shift_ = oldCount == 0 ? 64 - 4 : shift_ - 1;
    const unsigned bits = 64 - shift_;
    const Slot* from = static_cast<const Slot*>(old.data());
    for (std::size_t i = 0; i < oldCount; ++i) {
      const Slot& slot = from[i];
      if (slot.numberPlusOne == 0) continue;
      std::size_t at = bits <= kCheckHashBits
                           ? (slot.check >> (32 - kCheckHashBits)) >> (kCheckHashBits - bits)
                           : home(TextKey::of(textOf(slot.numberPlusOne - 1)).hash);
      while (slots()[at].numberPlusOne != 0) at = (at + 1) & mask_;
      slots()[at] = slot;
    }
  }

  ZeroedBlock block_;
  std::size_t slotCount_ = 0;
  std::size_t mask_ = 0;
  unsigned shift_ = 64;  // 64 less log2 of the slot count
  std::size_t count_ = 0;
};

inline TextKey TextKey::of(std::string_view text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  TextKey key;
  // The head without a call to memcpy of a variable length: two
  // overlapping loads for four to eight bytes, three single bytes below.
  if (n >= 8) {
    std::memcpy(&key.head, p, 8);
  } else if (n >= 4) {
    uint32_t low;
    uint32_t high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + n - 4, 4);
    key.head = low | (static_cast<uint64_t>(high) << (8 * (n - 4)));
  } else if (n > 0) {
    key.head = p[0] | (static_cast<uint64_t>(p[n / 2]) << (8 * (n / 2))) |
               (static_cast<uint64_t>(p[n - 1]) << (8 * (n - 1)));
  }
  uint64_t h = key.head ^ (n * 0x9e3779b97f4a7c15ULL);
  for (std::size_t at = 8; at < n; at += 8) {
    uint64_t word = 0;
    if (n - at >= 8) {
      std::memcpy(&word, p + at, 8);
    } else {
      std::memcpy(&word, p + n - 8, 8);  // the last eight bytes, overlapping
    }
    h = (h ^ (h >> 31)) * 0xbf58476d1ce4e5b9ULL ^ word;
  }
  h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ULL;
  h = (h ^ (h >> 27)) * 0x94d049bb133111ebULL;
  key.hash = h ^ (h >> 31);
  return key;
}

}  // namespace tabulon

#endif  // TABULON_PIVOT_TEXT_INDEX_H_
