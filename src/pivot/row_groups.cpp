#include "pivot/row_groups.h"

#include <algorithm>
#include <stdexcept>

#include "pivot/dense_key_grid.h"
#include "pivot/open_table.h"

namespace tabulon {

void RowGroups::clear() {
  grouped_ = false;
  rowCount_ = 0;
  std::vector<Group>().swap(groups_);
}

void RowGroups::build(const RowTable& rows, const CutIds& cuts,
                      const std::vector<std::size_t>& keyPositions, std::size_t probeRows) {
  clear();
  rowCount_ = rows.size();
  if (rows.empty()) return;
  grouped_ = groupAll(rows, cuts, keyPositions, probeRows);
  if (!grouped_) std::vector<Group>().swap(groups_);
}

bool RowGroups::groupAll(const RowTable& rows, const CutIds& cuts,
                         const std::vector<std::size_t>& keyPositions, std::size_t probeRows) {
  if (rows.size() >= OpenTable::kEmpty) throw std::length_error("too many rows");
  const RowRef header = rows[0];
  const std::size_t width = header.size();
  // Full rows find their group by the place of their cut numbers in a key
  // grid when the columns' numbers make a small one; shorter rows, and all
  // rows otherwise, by hash. (Keys of different lengths never meet.)
  DenseKeyGrid grid;
  const bool gridded = cuts.layOutGrid(rows, keyPositions, 2 * rows.size() + 4096, grid);
  OpenTable table;
  std::size_t seen = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const RowRef row = rows[r];
    if (row == header) continue;
    const std::size_t p1 = std::min(row.size(), width);
    const uint32_t* ids = rows.rowIds(r);
    const std::size_t fresh = groups_.size();
    uint32_t found;
    if (gridded && p1 == width) {
      found = grid.findOrAdd(cuts.gridPlace(grid, ids, keyPositions), fresh);
    } else {
      found = table.findOrAdd(cuts.pathHash(ids, keyPositions, p1), fresh, [&](uint32_t k) {
        const std::size_t other = groups_[k].first;
        return std::min(rows.rowLength(other), width) == p1 &&
               cuts.samePath(ids, rows.rowIds(other), keyPositions, p1);
      });
    }
    if (found == fresh) {
      groups_.push_back(Group{static_cast<uint32_t>(r), static_cast<uint32_t>(r)});
    } else {
      groups_[found].last = static_cast<uint32_t>(r);
    }
    if (++seen == probeRows && groups_.size() * 2 > seen) return false;
  }
  return true;
}

}  // namespace tabulon
