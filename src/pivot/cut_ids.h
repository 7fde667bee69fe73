// CutIds: the numbers of a RowTable's texts as member names see them. A
// name is its text cut to DimNode::kMaxNameBytes bytes, so two texts of one
// column that share their first 49 bytes name one member; each text number
// maps to its "cut number", the number of the first text of the column
// with the same cut. Columns without a longer text map every number to
// itself and hold no list.
#ifndef TABULON_PIVOT_CUT_IDS_H_
#define TABULON_PIVOT_CUT_IDS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pivot/dense_key_grid.h"
#include "pivot/open_table.h"
#include "pivot/row_table.h"

namespace tabulon {

class CutIds {
 public:
  // Computes the lists for the columns of `rows` as they are now.
  void reset(const RowTable& rows);
  uint32_t of(std::size_t column, uint32_t id) const {
    const std::vector<uint32_t>& cut = cut_[column];
    return cut.empty() ? id : cut[id];
  }
  // Column `column`'s cut numbers by text number; null when it maps every
  // number to itself.
  const uint32_t* list(std::size_t column) const {
    return cut_[column].empty() ? nullptr : cut_[column].data();
  }

  // A path is the cut numbers of a row's text numbers `ids` at `positions`
  // (ascending) below `end`, and `end` itself: the key by which rows share
  // member paths and cells. pathHash hashes it; samePath compares two.
  uint64_t pathHash(const uint32_t* ids, const std::vector<std::size_t>& positions,
                    std::size_t end) const {
    // A multiply-add per position and one finaliser: paths are a few
    // small numbers, and every row is hashed.
    uint64_t h = end + 1;
    for (std::size_t j : positions) {
      if (j >= end) break;
      h = (h + of(j, ids[j])) * 0x9e3779b97f4a7c15ULL;
    }
    return mixBits(h);
  }
  // A key grid for the cut paths at `positions` of rows that reach past
  // them all (false when it would take more than `limit` slots), and a
  // path's place in it.
  bool layOutGrid(const RowTable& rows, const std::vector<std::size_t>& positions, std::size_t limit,
                  DenseKeyGrid& grid) const {
    std::vector<uint32_t> low(positions.size(), 0);
    std::vector<uint64_t> range;
    for (std::size_t j : positions) range.push_back(rows.column(j).size());
    return grid.reset(low, range, limit);
  }
  uint64_t gridPlace(const DenseKeyGrid& grid, const uint32_t* ids,
                     const std::vector<std::size_t>& positions) const {
    return grid.place([&](std::size_t q) { return of(positions[q], ids[positions[q]]); });
  }
  bool samePath(const uint32_t* a, const uint32_t* b, const std::vector<std::size_t>& positions,
                std::size_t end) const {
    for (std::size_t j : positions) {
      if (j >= end) break;
      if (of(j, a[j]) != of(j, b[j])) return false;
    }
    return true;
  }

 private:
  std::vector<std::vector<uint32_t>> cut_;  // per column; empty: identity
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CUT_IDS_H_
