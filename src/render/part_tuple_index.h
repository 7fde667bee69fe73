// PartTupleIndex: numbers the distinct lists of key parts (CellTable::KeyPart)
// that a pass meets and remembers one 32-bit result per list, computed by
// the caller the first time the list comes. Lists are compared part by
// part, so two lists share a result only when they are equal, and equal
// lists have equal texts: a result derived from a list's text is exact.
#ifndef TABULON_RENDER_PART_TUPLE_INDEX_H_
#define TABULON_RENDER_PART_TUPLE_INDEX_H_

#include <cstdint>
#include <vector>

#include "pivot/cell_table.h"
#include "pivot/open_table.h"

namespace tabulon {

class PartTupleIndex {
 public:
  using KeyPart = CellTable::KeyPart;

  // The result of the `count` parts at `parts`: resolve(parts, count) the
  // first time this list comes, the remembered result after.
  template <typename Resolve>
  uint32_t resultOf(const KeyPart* parts, std::size_t count, Resolve resolve) {
    uint64_t h = mixBits(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
      h = mixBits(h + parts[i].bits);
    }
    const std::size_t fresh = results_.size();
    const uint32_t found = table_.findOrAdd(h, fresh, [&](uint32_t k) {
      if (ends_[k + 1] - ends_[k] != count) return false;
      const KeyPart* known = parts_.data() + ends_[k];
      for (std::size_t i = 0; i < count; ++i) {
        if (known[i].bits != parts[i].bits) return false;
      }
      return true;
    });
    if (found != fresh) return results_[found];
    parts_.insert(parts_.end(), parts, parts + count);
    ends_.push_back(parts_.size());
    results_.push_back(resolve(parts, count));
    return results_.back();
  }

 private:
  OpenTable table_;
  std::vector<KeyPart> parts_;           // the lists, one after another
  std::vector<std::size_t> ends_{0};     // list k is [ends_[k], ends_[k + 1])
  std::vector<uint32_t> results_;
};

}  // namespace tabulon

#endif  // TABULON_RENDER_PART_TUPLE_INDEX_H_
