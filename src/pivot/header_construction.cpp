// Header construction: the column titles, the column header tree, the row
// titles, the row member tree and the cells, all built from `rows`.
//
// Member paths are built once per distinct path: rows are grouped by the
// cut text numbers of their path columns (and the path's length), which
// gives the same tree as adding every row's path in row order, since a
// repeated path adds nothing.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "pivot/cross_tab.h"
#include "pivot/dense_key_grid.h"
#include "pivot/labels.h"
#include "pivot/open_table.h"
#include "pivot/row_groups.h"

namespace tabulon {

namespace {

// Calls add(row) for the first row of every distinct path: the cut numbers
// of the row's texts at `positions` below `end(row)`. Only the first row of
// each group is looked at: the rows of a group share their paths. Numbers
// the paths in the order they first came, and gives each group its path's
// number in `paths` (kNoPath for a group not accepted). The paths that end
// at `fullEnd`, past every position, are found by their place in a key
// grid when the columns' numbers make a small one, the others by hash.
template <typename Accept, typename End, typename Add>
void forEachDistinctPath(const RowTable& rows, const CutIds& cuts, const RowGroups& groups,
                         const std::vector<std::size_t>& positions, std::size_t fullEnd, Accept accept,
                         End end, Add add, GroupPaths& paths) {
  OpenTable seen;
  DenseKeyGrid grid;
  bool gridded = false;
  if (positions.empty() || positions.back() < fullEnd) {
    gridded = cuts.layOutGrid(rows, positions, 2 * rows.size() + 4096, grid);
  }
  std::vector<uint32_t>& firstRows = paths.firstRows;
  firstRows.clear();
  paths.ofGroup.clear();
  groups.forEach([&](std::size_t r, std::size_t) {
    const RowRef row = rows[r];
    if (!accept(row)) {
      paths.ofGroup.push_back(GroupPaths::kNoPath);
      return;
    }
    const std::size_t p1 = end(row);
    const uint32_t* ids = rows.rowIds(r);
    const std::size_t fresh = firstRows.size();
    uint32_t found;
    if (gridded && p1 == fullEnd) {
      found = grid.findOrAdd(cuts.gridPlace(grid, ids, positions), fresh);
    } else {
      found = seen.findOrAdd(cuts.pathHash(ids, positions, p1), fresh, [&](uint32_t k) {
        return end(rows[firstRows[k]]) == p1 &&
               cuts.samePath(ids, rows.rowIds(firstRows[k]), positions, p1);
      });
    }
    paths.ofGroup.push_back(found);
    if (found != fresh) return;
    if (r >= OpenTable::kEmpty) throw std::length_error("too many rows");
    firstRows.push_back(static_cast<uint32_t>(r));
    add(row);
  });
}

}  // namespace

void CrossTab::groupRows() {
  cuts_.reset(rows_);
  groups_.clear();
  if (rows_.empty()) return;
  const RowRef header = rows_[0];
  const std::vector<bool> isMeasure = measureColumnMask(header);
  const int sep = findSeparatorColumn(header, options_.separate);
  std::vector<std::size_t> keyPositions;
  for (std::size_t k = 0; k < header.size(); ++k) {
    if (static_cast<int>(k) != sep && !isMeasure[k]) keyPositions.push_back(k);
  }
  groups_.build(rows_, cuts_, keyPositions, RowGroups::kProbeRows,
                inputLeaves_.count != 0 ? &inputLeaves_ : nullptr);
  inputLeaves_.clear();
}

void CrossTab::fillColumnDimension() {
  if (rows_.empty()) return;
  const RowRef header = rows_[0];
  bool pastSeparator = false;
  for (std::string_view title : header) {
    if (title == options_.separate) {
      pastSeparator = true;
      continue;
    }
    if (!pastSeparator) continue;
    columnDimension_->getOrAddChild(isMeasureName(title) ? std::string_view(kMeasureTitle) : title);
  }
}

void CrossTab::addMemberPath(DimNode* start, const RowRef& row, std::size_t p0, std::size_t p1,
                             const std::vector<bool>& isMeasure) {
  DimNode* node = start;
  bool placed = false;
  for (std::size_t i = p0; i < p1; ++i) {
    if (!isMeasure[i]) {
      if (!placed) {
        node = node->getOrAddChild(row[i]);
        continue;
      }
      // The rest of the path repeats below every measure of this level.
      const std::vector<DimNode*>& measures = node->children();
      for (std::size_t c = 0; c < measures.size(); ++c) {
        DimNode* n = measures[c];
        for (std::size_t j = i; j < p1; ++j) {
          if (!isMeasure[j]) n = n->getOrAddChild(row[j]);
        }
      }
      return;
    }
    if (!placed) {
      for (const DimNode* measure : measureDimension_->children()) {
        node->getOrAddChild(measure->name());
      }
      placed = true;
    }
  }
}

void CrossTab::autoLayout() {
  if (rows_.empty()) return;
  fillColumnDimension();
  const RowRef header = rows_[0];
  const std::vector<bool> isMeasure = measureColumnMask(header);
  const int sep = findSeparatorColumn(header, options_.separate);
  bool rowSide = true;
  bool columnPassDone = false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == options_.separate) {
      rowSide = false;
      continue;
    }
    if (rowSide) {
      rowDimension_->getOrAddChild(isMeasure[i] ? std::string_view(kMeasureTitle) : header[i]);
      continue;
    }
    if (isMeasure[i]) {
      columnDimension_->getOrAddChild(kMeasureTitle);
    } else if (!columnPassDone) {
      columnPassDone = true;
      const std::size_t p0 = static_cast<std::size_t>(sep + 1);
      std::vector<std::size_t> positions;
      for (std::size_t j = p0; j < header.size(); ++j) {
        if (!isMeasure[j]) positions.push_back(j);
      }
      forEachDistinctPath(
          rows_, cuts_, groups_, positions, header.size(),
          [&](const RowRef& row) { return !sameRow(row, header); },
          [&](const RowRef& row) { return std::min(row.size(), header.size()); },
          [&](const RowRef& row) {
            addMemberPath(columnHeader_, row, p0, std::min(row.size(), header.size()), isMeasure);
          },
          columnPaths_);
    }
    if (columnHeader_->children().empty()) {
      for (const DimNode* measure : measureDimension_->children()) {
        columnHeader_->getOrAddChild(measure->name());
      }
    }
  }
}

void CrossTab::fillRowTreeAndCells() {
  if (rows_.empty()) return;
  const RowRef header = rows_[0];
  const std::vector<bool> isMeasure = measureColumnMask(header);
  const int sep = findSeparatorColumn(header, options_.separate);
  DimNode* rowTop = nullptr;
  if (sep >= 1 && !rowDimension_->children().empty()) rowTop = rowDimension_->children()[0];

  // The key of a row and a measure holds the row's texts at the plain
  // (non-measure, non-separator) positions and the measure's own name at
  // each position bearing it; other measure columns are left out.
  const std::vector<DimNode*>& measures = measureDimension_->children();
  std::unordered_map<std::string_view, std::size_t> measureIndex;
  CellLayout layout;
  for (std::size_t m = 0; m < measures.size(); ++m) {
    measureIndex.emplace(measures[m]->name(), m);
    layout.measures.push_back({std::string(measures[m]->name()), {}});
  }
  for (std::size_t k = 0; k < header.size(); ++k) {
    if (static_cast<int>(k) == sep) continue;
    if (isMeasure[k]) {
      layout.measures[measureIndex.at(DimNode::cutName(header[k]))].own.push_back(k);
    } else {
      layout.plain.push_back(k);
    }
  }
  // Every measure without a column of its own gives a row the same key (the
  // plain texts) and the empty value: only the first of them is stored, so
  // a row costs one cell per measure column plus one, however many names
  // match no column.
  std::vector<std::size_t> stored;  // the measures whose cells are stored, in order
  bool unplacedStored = false;
  for (std::size_t m = 0; m < layout.measures.size(); ++m) {
    if (!layout.measures[m].own.empty()) {
      stored.push_back(m);
    } else if (!unplacedStored) {
      unplacedStored = true;
      stored.push_back(m);
    }
  }
  cells_.reset(rows_, cuts_, std::move(layout), aggregation_.active() ? &aggregation_ : nullptr);

  if (rowTop != nullptr) {
    std::vector<std::size_t> positions;
    for (std::size_t j = 0; j < static_cast<std::size_t>(sep); ++j) {
      if (!isMeasure[j]) positions.push_back(j);
    }
    forEachDistinctPath(
        rows_, cuts_, groups_, positions, static_cast<std::size_t>(sep),
        [&](const RowRef& row) { return isFullRow(row, header); },
        [&](const RowRef&) { return static_cast<std::size_t>(sep); },
        [&](const RowRef& row) { addMemberPath(rowTop, row, 0, static_cast<std::size_t>(sep), isMeasure); },
        rowPaths_);
  }
  if (aggregation_.active()) {
    // Every row adds to its cells' aggregates.
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      if (!isFullRow(rows_[r], header)) continue;
      for (const std::size_t m : stored) cells_.assign(r, m);
    }
  } else {
    // A group's first row makes its cells (in the order of first rows), its
    // last row gives them their values; the rows between change nothing.
    // With dense cells, each key is found by its group's two path numbers,
    // and the slots of a group some groups ahead are fetched meanwhile.
    const bool dense = useDenseCells(rowTop != nullptr, static_cast<std::size_t>(sep), isMeasure,
                                     stored.size());
    constexpr std::size_t kAhead = 8;
    const std::size_t groups = rowPaths_.ofGroup.size();
    std::size_t g = 0;
    groups_.forEach([&](std::size_t first, std::size_t last) {
      const std::size_t group = g++;
      if (dense && group + kAhead < groups && rowPaths_.ofGroup[group + kAhead] != GroupPaths::kNoPath &&
          columnPaths_.ofGroup[group + kAhead] != GroupPaths::kNoPath) {
        cells_.prefetchDense(rowPaths_.ofGroup[group + kAhead], columnPaths_.ofGroup[group + kAhead]);
      }
      if (!isFullRow(rows_[first], header)) return;
      auto enter = [&](std::size_t row) {
        for (const std::size_t m : stored) {
          if (dense) {
            cells_.assignDense(row, m, rowPaths_.ofGroup[group], columnPaths_.ofGroup[group]);
          } else {
            cells_.assign(row, m);
          }
        }
      };
      enter(first);
      if (last != first) enter(last);
    });
  }
  cells_.finishAggregates();
}

// Full rows hold a row path and a column path when both member passes ran
// over the plain columns on their side of the separator; those two numbers
// then tell a row's cut texts at every plain position.
bool CrossTab::useDenseCells(bool rowPassRan, std::size_t sep, const std::vector<bool>& isMeasure,
                             std::size_t storedMeasures) {
  const std::size_t groups = rowPaths_.ofGroup.size();
  if (!rowPassRan || groups == 0 || columnPaths_.ofGroup.size() != groups) return false;
  std::size_t rowParts = 0;
  for (std::size_t j = 0; j < sep; ++j) rowParts += !isMeasure[j];
  return cells_.useDenseKeys(rowPaths_.firstRows.size(), columnPaths_.firstRows.size(), rowParts,
                             groups * storedMeasures);
}

}  // namespace tabulon
