// CellMap: the cell values of a cross-tab, keyed by cell key text.
//
// An open-addressing hash map that keeps each key and value together in a
// chunked arena it owns: one allocation per megabyte instead of two per
// cell, and a lookup touches one slot and one record. Replacing a value
// appends a new record and retires the old one.
#ifndef TABULON_PIVOT_CELL_MAP_H_
#define TABULON_PIVOT_CELL_MAP_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

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

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Makes room for `n` keys in total without regrowing the slot table.
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
  std::size_t slotFor(uint64_t hash, std::string_view key) const;
  char* appendRecord(std::string_view key, std::string_view value);
  void grow(std::size_t slotCount);

  std::vector<Slot> slots_;  // size 0 or a power of two
  std::vector<Chunk> chunks_;
  std::size_t count_ = 0;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CELL_MAP_H_
