#include "pivot/column_texts.h"

#include <algorithm>
#include <stdexcept>

namespace tabulon {

uint32_t ColumnTexts::add(std::string_view text) {
  const uint32_t id = size();
  if (starts_.empty()) starts_.push_back(0);
  bytes_.append(text.data(), text.size());
  const uint64_t end = bytes_.size();
  const uint64_t low = (uint64_t{1} << offsetBits_) - 1;
  while ((end >> offsetBits_) > carries_.size()) carries_.push_back(id + 1);
  starts_.push_back(static_cast<uint32_t>(end & low));
  if (text.size() > longest_) longest_ = text.size();
  return id;
}

void ColumnTexts::tooManyTexts() { throw std::length_error("too many texts in a column"); }

uint64_t ColumnTexts::offset(uint32_t id) const {
  const uint64_t carried = static_cast<uint64_t>(
      std::upper_bound(carries_.begin(), carries_.end(), id) - carries_.begin());
  return starts_[id] + (carried << offsetBits_);
}

uint32_t ColumnTexts::intern(std::string_view text, const TextKey& key) {
  if (everyText_) {
    if (size() >= kNoText - 1) throw std::length_error("too many texts in a column");
    return add(text);
  }
  if (last_ != kNoText && lastHash_ == key.hash && this->text(last_) == text) return last_;
  const uint32_t fresh = size();
  if (fresh >= kNoText - 1) {
    // Full: only a text that is there already has a number.
    const uint32_t found = find(text);
    if (found != kNoText) return found;
    throw std::length_error("too many distinct texts in a column");
  }
  const uint32_t id = index_.findOrAdd(text, key, fresh,
                                       [this](uint32_t found) { return this->text(found); });
  if (id == fresh) add(text);
  last_ = id;
  lastHash_ = key.hash;
  return id;
}

uint32_t ColumnTexts::find(std::string_view text) const {
  if (everyText_) {
    for (uint32_t id = 0; id < size(); ++id) {
      if (this->text(id) == text) return id;
    }
    return kNoText;
  }
  const uint32_t id =
      index_.find(text, TextKey::of(text), [this](uint32_t found) { return this->text(found); });
  return id == TextIndex::kNone ? kNoText : id;
}

}  // namespace tabulon
