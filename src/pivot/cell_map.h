// CellMap: the cell values of a cross-tab, keyed by cell key text.
//
// An open-addressing hash map that keeps each key and value together in a
// chunked arena it owns: one allocation per megabyte instead of two per
// cell. Insertions are staged: the record is appended to the arena at once
// and entered in the slot table in bulk, ordered by slot position, at the
// next read. Millions of inserts thus sweep the table instead of probing it
// at random, which keeps a large transform cache-friendly. Replacing a
// value appends a new record and retires the old one.
//
// Reads flush the staged inserts, so a CellMap must not be read from
// several threads at once while inserts are staged; one CrossTab is used by
// one thread.
#ifndef TABULON_PIVOT_CELL_MAP_H_
#define TABULON_PIVOT_CELL_MAP_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "pivot/memory_budget.h"
#include "pivot/prefault_allocator.h"

namespace tabulon {

class CellMap {
 public:
  CellMap() = default;
  ~CellMap();
  CellMap(const CellMap&) = delete;
  CellMap& operator=(const CellMap&) = delete;

  // The value stored under `key`, if any.
  std::optional<std::string_view> find(std::string_view key) const;
  // The value stored under `key`; throws std::out_of_range when absent.
  std::string_view at(std::string_view key) const;
  bool contains(std::string_view key) const { return find(key).has_value(); }
  // Stores `value` under `key`, replacing an earlier value.
  void insert_or_assign(std::string_view key, std::string_view value);

  std::size_t size() const {
    flush();
    return count_;
  }
  bool empty() const { return size() == 0; }
  // Makes room for `n` keys in total without regrowing the slot table.
  void reserve(std::size_t n);
  void clear();

  // Calls fn(key, value) for every stored key, in the order in which the
  // current values were stored.
  template <typename Fn>
  void forEach(Fn&& fn) const {
    flush();
    for (const Chunk& chunk : chunks_) {
      const char* p = chunk.data.get();
      const char* end = p + chunk.used;
      while (p < end) {
        Record r = readRecord(p);
        if (r.live) fn(r.key, r.value);
        p = r.next;
      }
    }
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    char* record = nullptr;  // null: empty slot
  };
  struct Chunk {
    std::unique_ptr<char[]> data;
    std::size_t used = 0;
    std::size_t capacity = 0;
  };
  struct Record {
    bool live;
    std::string_view key;
    std::string_view value;
    const char* next;
  };
  static constexpr std::size_t kHeaderBytes = 2 * sizeof(uint64_t) + 1;

  static Record readRecord(const char* p);
  static void retire(char* record) { record[2 * sizeof(uint64_t)] = 0; }
  std::size_t slotFor(uint64_t hash, std::string_view key) const;
  char* appendRecord(std::string_view key, std::string_view value);
  void grow(std::size_t slotCount);
  // Grows the slot table to hold `n` keys at a load of at most three quarters.
  void reserveSlots(std::size_t n);
  // Enters the staged records in the slot table, in slot order.
  void flush() const;
  void enter(const Slot& staged);

  // The slot table: zero-filled, `slotCount_` slots (0 or a power of two).
  // Large tables are mapped prefaulted, with transparent huge pages where
  // the system offers them: random probes into tens of megabytes then miss
  // the cache but rarely the TLB.
  static Slot* allocateSlots(std::size_t count);
  static void releaseSlots(Slot* slots, std::size_t count);

  Slot* slots_ = nullptr;
  std::size_t slotCount_ = 0;
  std::vector<Chunk> chunks_;
  std::size_t count_ = 0;
  // Appended records not yet in the slot table, in insertion order.
  using SlotList = std::vector<Slot, PrefaultAllocator<Slot>>;
  mutable SlotList staged_;
  // The memory budget's share: the chunks, the slot table, the staged list.
  mutable ChargedBytes charge_;
  std::size_t chunkBytes_ = 0;
  // Charges the map's memory with `extra` bytes about to be allocated.
  void chargeFootprint(std::size_t extra) const;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CELL_MAP_H_
