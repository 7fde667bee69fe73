// ColumnTexts: the distinct texts of one column of a RowTable, each stored
// once, numbered 0, 1, 2, ... in order of first appearance. The bytes lie
// end to end in one block and a hash table finds a text's number, so a
// repeated text costs only its number. Small columns are searched linearly
// and hold no table.
//
// A column whose texts are only ever read back, never compared (the values
// of a measure), may store every text as a new one instead: no lookup and
// no table, each text its own number.
#ifndef TABULON_PIVOT_COLUMN_TEXTS_H_
#define TABULON_PIVOT_COLUMN_TEXTS_H_

#include <cstdint>
#include <string_view>

#include "pivot/open_table.h"
#include "pivot/pod_buffer.h"

namespace tabulon {

class ColumnTexts {
 public:
  static constexpr uint32_t kNoText = OpenTable::kEmpty;

  // The number of distinct texts.
  uint32_t size() const { return starts_.empty() ? 0 : static_cast<uint32_t>(starts_.size() - 1); }
  std::string_view text(uint32_t id) const {
    return std::string_view(bytes_.data() + starts_[id], starts_[id + 1] - starts_[id]);
  }
  // The number of `text`, added when new.
  uint32_t intern(std::string_view text) { return intern(text, hashBytes(text)); }
  // The same with the text's hashBytes already known.
  uint32_t intern(std::string_view text, uint64_t hash);
  // Brings what interning a text of this hash reads into the cache (a hint).
  void prefetch(uint64_t hash) const { index_.prefetch(hash); }
  // The number of `text`, or kNoText.
  uint32_t find(std::string_view text) const;
  // From now on every text is stored as a new one, never looked up. Only
  // while the column is empty.
  void storeEveryText() {
    if (size() == 0) everyText_ = true;
  }
  bool storesEveryText() const { return everyText_; }
  // The longest text's length.
  std::size_t longest() const { return longest_; }

 private:
  static constexpr uint32_t kLinearTexts = 2;

  uint32_t add(std::string_view text);
  uint32_t findLinear(std::string_view text) const;
  void buildIndex();

  PodBuffer<char> bytes_;
  PodBuffer<uint64_t> starts_;  // per text its first byte, then the end
  OpenTable index_;             // built from kLinearTexts + 1 texts on
  uint32_t last_ = kNoText;     // the latest text interned: input repeats
  std::size_t longest_ = 0;
  bool everyText_ = false;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_COLUMN_TEXTS_H_
