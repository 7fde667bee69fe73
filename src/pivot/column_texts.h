// ColumnTexts: the distinct texts of one column of a RowTable, each stored
// once, numbered 0, 1, 2, ... in order of first appearance. The bytes lie
// end to end in one block and a hash table (TextIndex) finds a text's
// number, so a repeated text costs only its number.
//
// A column whose texts are only ever read back, never compared (the values
// of a measure), may store every text as a new one instead: no lookup and
// no table, each text its own number.
#ifndef TABULON_PIVOT_COLUMN_TEXTS_H_
#define TABULON_PIVOT_COLUMN_TEXTS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pivot/byte_copy.h"
#include "pivot/open_table.h"
#include "pivot/pod_buffer.h"
#include "pivot/text_index.h"

namespace tabulon {

class ColumnTexts {
 public:
  static constexpr uint32_t kNoText = OpenTable::kEmpty;

  ColumnTexts() = default;
  // Offsets kept in `offsetBits` bits instead of 32 (more count as 32):
  // tests reach the carry into the high part with small columns.
  explicit ColumnTexts(unsigned offsetBits) : offsetBits_(offsetBits < 32 ? offsetBits : 32) {}

  // The number of distinct texts.
  uint32_t size() const { return starts_.empty() ? 0 : static_cast<uint32_t>(starts_.size() - 1); }
  std::string_view text(uint32_t id) const {
    if (carries_.empty()) {
      return std::string_view(bytes_.data() + starts_[id], starts_[id + 1] - starts_[id]);
    }
    const uint64_t start = offset(id);
    return std::string_view(bytes_.data() + start, offset(id + 1) - start);
  }
  // The number of `text`, added when new.
  uint32_t intern(std::string_view text) {
    return intern(text, everyText_ ? TextKey() : TextKey::of(text));
  }
  // The same with the text's key already known.
  uint32_t intern(std::string_view text, const TextKey& key);
  // Stores `count` texts as new ones, numbered on from size(), in one
  // sweep that makes room for all of them first; returns the first one's
  // number. Only for a column that stores every text.
  uint32_t appendTexts(const std::string_view* texts, std::size_t count) {
    return appendEach(count, [texts](std::size_t i) { return texts[i]; });
  }
  // The same for the texts textOf(0) ... textOf(count - 1).
  template <typename TextOf>
  uint32_t appendEach(std::size_t count, TextOf textOf);
  // Brings what interning a text of this key reads into the cache (a hint).
  void prefetch(const TextKey& key) const { index_.prefetch(key); }
  // The number of `text`, or kNoText.
  uint32_t find(std::string_view text) const;
  // From now on every text is stored as a new one, never looked up. Only
  // while the column is empty.
  void storeEveryText() {
    if (size() == 0) everyText_ = true;
  }
  bool storesEveryText() const { return everyText_; }
  // Just past the last stored byte: every text lies before it.
  const char* bytesEnd() const { return bytes_.data() + bytes_.size(); }
  // The longest text's length.
  std::size_t longest() const { return longest_; }

 private:
  uint32_t add(std::string_view text);
  [[noreturn]] static void tooManyTexts();
  // Where text `id` starts in bytes_ (the end of the last text for size()).
  uint64_t offset(uint32_t id) const;

  PodBuffer<char> bytes_;
  // Per text the low offsetBits_ bits of its first byte's offset, then of
  // the end; carries_ holds, for each multiple of 2^offsetBits_ that the
  // offsets passed, the first number whose offset is past it (the same
  // number again for a text that passed two). Empty below 4 GiB of texts.
  PodBuffer<uint32_t> starts_;
  std::vector<uint32_t> carries_;
  unsigned offsetBits_ = 32;
  TextIndex index_;
  uint32_t last_ = kNoText;     // the latest text interned: input repeats
  uint64_t lastHash_ = 0;       // and its key's hash
  std::size_t longest_ = 0;
  bool everyText_ = false;
};

template <typename TextOf>
uint32_t ColumnTexts::appendEach(std::size_t count, TextOf textOf) {
  const uint32_t first = size();
  if (!everyText_ || count > kNoText - 1 - first) tooManyTexts();
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) total += textOf(i).size();
  const std::size_t at = bytes_.size();
  if (((at + total) >> offsetBits_) > carries_.size()) {
    // The offsets pass a multiple of 2^offsetBits_: one by one.
    for (std::size_t i = 0; i < count; ++i) add(textOf(i));
    return first;
  }
  if (starts_.empty()) starts_.push_back(0);
  const std::size_t startsAt = starts_.size();
  bytes_.resize(at + total);
  starts_.resize(startsAt + count);
  char* out = bytes_.data() + at;
  uint32_t* starts = starts_.data() + startsAt;
  uint64_t end = at;
  const uint64_t low = (uint64_t{1} << offsetBits_) - 1;
  std::size_t longest = longest_;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view text = textOf(i);
    out = copyBytes(out, text.data(), text.size());
    end += text.size();
    starts[i] = static_cast<uint32_t>(end & low);
    longest = std::max(longest, text.size());
  }
  longest_ = longest;
  return first;
}

}  // namespace tabulon

#endif  // TABULON_PIVOT_COLUMN_TEXTS_H_
