// CellMap: cell values keyed by cell key text (the cells of earlier builds
// that a CellTable keeps).
//
// Each key and its value are kept together in a chunked arena that the map
// owns: one allocation per megabyte instead of two per cell. The keys are
// numbered in the order they first arrive; an OpenTable finds a key's
// number from its hash, and the number names the key's current record.
// Replacing a value appends a new record and retires the old one, so the
// arena holds the current values in the order in which they were stored.
#ifndef TABULON_PIVOT_CELL_MAP_H_
#define TABULON_PIVOT_CELL_MAP_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "pivot/memory_budget.h"
#include "pivot/open_table.h"

namespace tabulon {

class CellMap {
 public:
  CellMap() = default;
  CellMap(const CellMap&) = delete;
  CellMap& operator=(const CellMap&) = delete;

  // The value stored under `key`, if any.
  std::optional<std::string_view> find(std::string_view key) const;
  // The value stored under `key`; throws std::out_of_range when absent.
  std::string_view at(std::string_view key) const;
  bool contains(std::string_view key) const { return find(key).has_value(); }
  // Stores `value` under `key`, replacing an earlier value.
  void insert_or_assign(std::string_view key, std::string_view value);

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  // Makes room for `n` keys in total without regrowing the key table.
  void reserve(std::size_t n);
  void clear();

  // Calls fn(key, value) for every stored key, in the order in which the
  // current values were stored.
  template <typename Fn>
  void forEach(Fn&& fn) const {
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
  // A record: key length and value length (8 bytes each), a live flag
  // (1 byte), the key bytes, the value bytes.
  static constexpr std::size_t kHeaderBytes = 2 * sizeof(uint64_t) + 1;

  static Record readRecord(const char* p);
  static void retire(char* record) { record[2 * sizeof(uint64_t)] = 0; }
  // The number of `key` (hashed to `hash`), or OpenTable::kEmpty.
  uint32_t numberOf(uint64_t hash, std::string_view key) const;
  char* appendRecord(std::string_view key, std::string_view value);
  // Charges the arena and the record list, with `extra` bytes about to be
  // allocated; the key table charges its own growth.
  void chargeFootprint(std::size_t extra);

  OpenTable table_;
  std::vector<char*> records_;  // the current record of each key number
  std::vector<Chunk> chunks_;
  std::size_t chunkBytes_ = 0;
  ChargedBytes charge_;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CELL_MAP_H_
