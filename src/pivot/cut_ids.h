// CutIds: the numbers of a RowTable's texts as member names see them. A
// name is its text cut to DimNode::kMaxNameBytes bytes, so two texts of one
// column that share their first 49 bytes name one member; each text number
// maps to its "cut number", the number of the first text of the column
// with the same cut. Columns without a longer text map every number to
// itself and hold no list.
#ifndef TABULON_PIVOT_CUT_IDS_H_
#define TABULON_PIVOT_CUT_IDS_H_

#include <cstdint>
#include <vector>

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

 private:
  std::vector<std::vector<uint32_t>> cut_;  // per column; empty: identity
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CUT_IDS_H_
