#include "pivot/row_groups.h"

#include <algorithm>
#include <stdexcept>

#include "pivot/dense_key_grid.h"
#include "pivot/open_table.h"

namespace tabulon {

namespace {
constexpr uint32_t kNoGroup = UINT32_MAX;
}  // namespace

void RowGroups::clear() {
  grouped_ = false;
  rowCount_ = 0;
  std::vector<Group>().swap(groups_);
}

void RowGroups::build(const RowTable& rows, const CutIds& cuts,
                      const std::vector<std::size_t>& keyPositions, std::size_t probeRows,
                      const KnownGroups* known) {
  clear();
  rowCount_ = rows.size();
  if (rows.empty()) return;
  grouped_ = groupAll(rows, cuts, keyPositions, probeRows, known);
  if (!grouped_) std::vector<Group>().swap(groups_);
}

bool RowGroups::groupAll(const RowTable& rows, const CutIds& cuts,
                         const std::vector<std::size_t>& keyPositions, std::size_t probeRows,
                         const KnownGroups* known) {
  if (rows.size() >= OpenTable::kEmpty) throw std::length_error("too many rows");
  const RowRef header = rows[0];
  const std::size_t width = header.size();
  // Full rows find their group by the place of their cut numbers in a key
  // grid when the columns' numbers make a small one; shorter rows, and all
  // rows otherwise, by hash. (Keys of different lengths never meet.)
  DenseKeyGrid grid;
  const bool gridded = cuts.layOutGrid(rows, keyPositions, 2 * rows.size() + 4096, grid);
  // A full row's place in the grid, with each position's cut list read once.
  std::vector<const uint32_t*> lists;
  for (std::size_t j : keyPositions) lists.push_back(cuts.list(j));
  const auto gridPlace = [&](std::size_t r) {
    if (rows.rowLength(r) < width) return uint64_t{0};
    const uint32_t* ids = rows.rowIds(r);
    return grid.place([&](std::size_t q) {
      const uint32_t id = ids[keyPositions[q]];
      return lists[q] != nullptr ? lists[q][id] : id;
    });
  };
  // The grid is large and read at random: slots are fetched this many rows
  // ahead, and each place is made once, when its slot is fetched, and waits
  // in a ring.
  constexpr std::size_t kAhead = 16;
  uint64_t ring[kAhead] = {};
  // A row whose first number differs from the header's is no copy of it
  // when that column numbers each text once.
  const uint32_t* const headerIds = rows.rowIds(0);
  const bool firstTells = width > 0 && !rows.column(0).storesEveryText();
  OpenTable table;
  std::size_t seen = 0;
  // Counts one more grouped row; false when the probe shows that grouping
  // does not pay.
  const auto counted = [&] { return ++seen != probeRows || groups_.size() * 2 <= seen; };
  // Enters row r, whose grid place (when gridded) is `place`, in its group,
  // found or added, as the group's last row, and sets `group` to it
  // (kNoGroup for a copy of the header); false when grouping does not pay.
  const auto enter = [&](std::size_t r, uint64_t place, uint32_t& group) {
    group = kNoGroup;
    const uint32_t* ids = rows.rowIds(r);
    const std::size_t length = rows.rowLength(r);
    if (!(firstTells && length != 0 && ids[0] != headerIds[0]) && rows[r] == header) return true;
    const std::size_t p1 = std::min(length, width);
    const std::size_t fresh = groups_.size();
    uint32_t found;
    if (gridded && p1 == width) {
      found = grid.findOrAdd(place, fresh);
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
    group = found;
    return counted();
  };
  uint32_t group = kNoGroup;
  std::size_t r = 0;
  if (known != nullptr && known->first + known->ofRow.size() <= rows.size()) {
    // Rows of a known group share its first row's group: only a known
    // group's first row is looked up.
    for (; r < known->first; ++r) {
      if (!enter(r, gridded ? gridPlace(r) : 0, group)) return false;
    }
    std::vector<uint32_t> groupOf(known->count, kNoGroup);
    for (const uint32_t k : known->ofRow) {
      if (k >= known->count || groupOf[k] == kNoGroup) {
        if (!enter(r, gridded ? gridPlace(r) : 0, group)) return false;
        if (k < known->count) groupOf[k] = group;
      } else {
        groups_[groupOf[k]].last = static_cast<uint32_t>(r);
        if (!counted()) return false;
      }
      ++r;
    }
  }
  for (std::size_t i = r; gridded && i < r + kAhead && i < rows.size(); ++i) ring[i % kAhead] = gridPlace(i);
  for (; r < rows.size(); ++r) {
    const uint64_t place = ring[r % kAhead];
    if (gridded && r + kAhead < rows.size()) {
      ring[r % kAhead] = gridPlace(r + kAhead);
      grid.prefetch(ring[r % kAhead]);
    }
    if (!enter(r, place, group)) return false;
  }
  return true;
}

}  // namespace tabulon
