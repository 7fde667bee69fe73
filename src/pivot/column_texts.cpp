#include "pivot/column_texts.h"

#include <cstring>

namespace tabulon {

namespace {

// a == b for texts that are mostly short: up to 16 bytes compared in two
// overlapping words, without a call.
inline bool sameBytes(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n >= 8 && n <= 16) {
    uint64_t x0, y0, x1, y1;
    std::memcpy(&x0, a.data(), 8);
    std::memcpy(&y0, b.data(), 8);
    std::memcpy(&x1, a.data() + n - 8, 8);
    std::memcpy(&y1, b.data() + n - 8, 8);
    return ((x0 ^ y0) | (x1 ^ y1)) == 0;
  }
  if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  return std::memcmp(a.data(), b.data(), n) == 0;
}

}  // namespace

uint32_t ColumnTexts::findLinear(std::string_view text) const {
  const uint32_t count = size();
  for (uint32_t id = 0; id < count; ++id) {
    if (this->text(id) == text) return id;
  }
  return kNoText;
}

uint32_t ColumnTexts::add(std::string_view text) {
  const uint32_t id = size();
  if (id >= kNoText - 1) throw std::length_error("too many distinct texts in a column");
  if (starts_.empty()) starts_.push_back(0);
  bytes_.append(text.data(), text.size());
  starts_.push_back(bytes_.size());
  if (text.size() > longest_) longest_ = text.size();
  return id;
}

void ColumnTexts::buildIndex() {
  const uint32_t count = size();
  index_.reserve(count);
  for (uint32_t id = 0; id < count; ++id) {
    index_.findOrAdd(hashBytes(text(id)), id, [](uint32_t) { return false; });
  }
}

uint32_t ColumnTexts::intern(std::string_view text, uint64_t hash) {
  if (everyText_) return add(text);
  if (last_ != kNoText && sameBytes(this->text(last_), text)) return last_;
  uint32_t id;
  if (size() <= kLinearTexts) {
    id = findLinear(text);
    if (id == kNoText) {
      id = add(text);
      if (size() > kLinearTexts) buildIndex();
    }
  } else {
    const uint32_t fresh = size();
    id = index_.findOrAdd(hash, fresh,
                          [&](uint32_t found) { return sameBytes(this->text(found), text); });
    if (id == fresh) add(text);
  }
  last_ = id;
  return id;
}

uint32_t ColumnTexts::find(std::string_view text) const {
  if (size() <= kLinearTexts || everyText_) return findLinear(text);
  return index_.find(hashBytes(text), [&](uint32_t found) { return this->text(found) == text; });
}

}  // namespace tabulon
