// RowGroups: the rows of a table grouped by their key, so that the stages
// that care only for distinct keys (the member trees, the cells) visit each
// key once instead of once per row.
//
// A row's key is its length, up to the header's, and the cut text numbers
// (CutIds) at the key positions below that length; copies of the header
// (row 0 included) belong to no group when rows are grouped. All rows of a group are alike to
// those stages: the same member paths, the same cell keys, and all full or
// all short. A group knows its first and its last row.
//
// When the first rows hardly repeat a key, grouping would cost more than it
// saves: every row then stays its own group and nothing is stored.
#ifndef TABULON_PIVOT_ROW_GROUPS_H_
#define TABULON_PIVOT_ROW_GROUPS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pivot/cut_ids.h"
#include "pivot/memory_budget.h"
#include "pivot/row_table.h"

namespace tabulon {

// Rows already known to share their keys: row `first + i` belongs to
// group ofRow[i] of some finer grouping (rows of one such group have equal
// text numbers at every key position), kNone for a row it leaves out.
struct KnownGroups {
  static constexpr uint32_t kNone = UINT32_MAX;
  std::size_t first = 0;
  std::vector<uint32_t> ofRow;
  std::size_t count = 0;  // the groups
  ChargedBytes charge;    // ofRow's share of the memory budget
  void clear() {
    std::vector<uint32_t>().swap(ofRow);
    count = 0;
    charge.hold(0);
  }
};

class RowGroups {
 public:
  // Grouping is kept only when the first `probeRows` grouped rows have at
  // most half as many keys.
  static constexpr std::size_t kProbeRows = 16384;

  // Groups the rows of `rows`; `keyPositions` ascending. `rows`, `cuts` and
  // `known` (null: none) are read only during the call. A row of a known
  // group takes the group of that group's first row.
  void build(const RowTable& rows, const CutIds& cuts, const std::vector<std::size_t>& keyPositions,
             std::size_t probeRows = kProbeRows, const KnownGroups* known = nullptr);
  // True when rows are grouped (else each row is its own group).
  bool grouped() const { return grouped_; }
  void clear();

  // Calls visit(first, last) for every group, in the order of first rows;
  // when not grouped, visit(r, r) for every row r, header copies included.
  template <typename Visit>
  void forEach(Visit visit) const {
    if (!grouped_) {
      for (std::size_t r = 0; r < rowCount_; ++r) visit(r, r);
      return;
    }
    for (const Group& g : groups_) visit(std::size_t{g.first}, std::size_t{g.last});
  }

 private:
  struct Group {
    uint32_t first;
    uint32_t last;
  };
  bool groupAll(const RowTable& rows, const CutIds& cuts, const std::vector<std::size_t>& keyPositions,
                std::size_t probeRows, const KnownGroups* known);

  bool grouped_ = false;
  std::size_t rowCount_ = 0;
  std::vector<Group> groups_;  // when grouped
};

// The member paths of one axis numbered over the groups of a RowGroups:
// per group, in visiting order, the number of its path (kNoPath when the
// group has none), and per path the first row that has it.
struct GroupPaths {
  static constexpr uint32_t kNoPath = UINT32_MAX;
  std::vector<uint32_t> ofGroup;
  std::vector<uint32_t> firstRows;
  void clear() {
    std::vector<uint32_t>().swap(ofGroup);
    std::vector<uint32_t>().swap(firstRows);
  }
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_ROW_GROUPS_H_
