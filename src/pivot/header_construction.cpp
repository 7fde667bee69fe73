// Header construction: the column titles, the column header tree, the row
// titles, the row member tree and the cell map, all built from `rows`.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"

namespace tabulon {

void CrossTab::fillColumnDimension() {
  if (rows.empty()) return;
  const Row& header = rows[0];
  bool pastSeparator = false;
  for (const std::string& title : header) {
    if (title == separate) {
      pastSeparator = true;
      continue;
    }
    if (!pastSeparator) continue;
    columnDimension_->getOrAddChild(isMeasureName(title) ? std::string_view(kMeasureTitle)
                                                         : std::string_view(title));
  }
}

void CrossTab::addMemberPath(DimNode* start, const Row& row, std::size_t p0, std::size_t p1,
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
  if (rows.empty()) return;
  fillColumnDimension();
  const Row& header = rows[0];
  const std::vector<bool> isMeasure = measureColumnMask(header);
  const int sep = findSeparatorColumn(header, separate);
  bool rowSide = true;
  bool columnPassDone = false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == separate) {
      rowSide = false;
      continue;
    }
    if (rowSide) {
      rowDimension_->getOrAddChild(isMeasure[i] ? std::string_view(kMeasureTitle)
                                                : std::string_view(header[i]));
      continue;
    }
    if (isMeasure[i]) {
      columnDimension_->getOrAddChild(kMeasureTitle);
    } else if (!columnPassDone) {
      columnPassDone = true;
      for (const Row& row : rows) {
        if (sameRow(row, header)) continue;
        std::size_t p1 = std::min(row.size(), header.size());
        addMemberPath(columnHeader_, row, static_cast<std::size_t>(sep + 1), p1, isMeasure);
      }
    }
    if (columnHeader_->children().empty()) {
      for (const DimNode* measure : measureDimension_->children()) {
        columnHeader_->getOrAddChild(measure->name());
      }
    }
  }
}

void CrossTab::fillRowTreeAndCells() {
  if (rows.empty()) return;
  const Row& header = rows[0];
  const std::vector<bool> isMeasure = measureColumnMask(header);
  const int sep = findSeparatorColumn(header, separate);
  DimNode* rowTop = nullptr;
  if (sep >= 1 && !rowDimension_->children().empty()) rowTop = rowDimension_->children()[0];

  // The key of a row and a measure holds the row's texts at the plain
  // (non-measure, non-separator) positions and the measure's own name at
  // each position bearing it; other measure columns are left out. Both
  // position lists are found once, so a key costs only its own length.
  const std::vector<DimNode*>& measures = measureDimension_->children();
  std::unordered_map<std::string_view, std::size_t> measureIndex;
  for (std::size_t m = 0; m < measures.size(); ++m) measureIndex.emplace(measures[m]->name(), m);
  std::vector<std::size_t> plainPositions;
  std::vector<std::vector<std::size_t>> ownPositions(measures.size());
  for (std::size_t k = 0; k < header.size(); ++k) {
    if (static_cast<int>(k) == sep) continue;
    if (isMeasure[k]) {
      ownPositions[measureIndex.at(DimNode::cutName(header[k]))].push_back(k);
    } else {
      plainPositions.push_back(k);
    }
  }

  // Every measure without a column of its own gives a row the same key (the
  // plain texts) and the empty value, each replacing the one before: only
  // the last of them is stored, so a row costs one insert per measure column
  // plus one, however many names match no column.
  std::size_t lastUnplaced = measures.size();
  for (std::size_t m = 0; m < measures.size(); ++m) {
    if (ownPositions[m].empty()) lastUnplaced = m;
  }
  std::vector<std::size_t> stored;  // the measures whose keys are stored, in order
  for (std::size_t m = 0; m < measures.size(); ++m) {
    if (!ownPositions[m].empty() || m == lastUnplaced) stored.push_back(m);
  }

  // Sizing the map once avoids rehashing millions of keys as it grows.
  cells.reserve(cells.size() + (rows.size() - 1) * stored.size());
  static const std::string kNoValue;
  std::string key;
  for (const Row& row : rows) {
    if (!isFullRow(row, header)) continue;
    if (rowTop != nullptr) addMemberPath(rowTop, row, 0, static_cast<std::size_t>(sep), isMeasure);
    for (const std::size_t m : stored) {
      const std::vector<std::size_t>& own = ownPositions[m];
      const std::string_view measureName = measures[m]->name();
      key.clear();
      std::size_t i = 0, j = 0;
      while (i < plainPositions.size() || j < own.size()) {
        if (j == own.size() || (i < plainPositions.size() && plainPositions[i] < own[j])) {
          key.append(DimNode::cutName(row[plainPositions[i++]]));
        } else {
          key.append(measureName);
          ++j;
        }
        key.push_back('.');
      }
      // The value comes from the first column bearing the measure's name.
      const std::string& value = own.empty() ? kNoValue : row[own[0]];
      cells.insert_or_assign(key, value);
    }
  }
}

}  // namespace tabulon
