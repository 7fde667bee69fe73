// Header construction: the column titles, the column header tree, the row
// titles, the row member tree and the cell map, all built from `rows`.
#include <algorithm>

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

  // Each measure's own column: the first header position bearing its name.
  const std::vector<DimNode*>& measures = measureDimension_->children();
  std::vector<std::ptrdiff_t> measureColumn(measures.size(), -1);
  for (std::size_t m = 0; m < measures.size(); ++m) {
    for (std::size_t k = 0; k < header.size(); ++k) {
      if (DimNode::cutName(header[k]) == measures[m]->name()) {
        measureColumn[m] = static_cast<std::ptrdiff_t>(k);
        break;
      }
    }
  }

  // Sizing the map once avoids rehashing millions of keys as it grows.
  cells.reserve(cells.size() + (rows.size() - 1) * measures.size());
  std::string key;
  for (const Row& row : rows) {
    if (row.size() < header.size() || sameRow(row, header)) continue;
    if (rowTop != nullptr) addMemberPath(rowTop, row, 0, static_cast<std::size_t>(sep), isMeasure);
    for (std::size_t m = 0; m < measures.size(); ++m) {
      std::string_view measureName = measures[m]->name();
      key.clear();
      for (std::size_t k = 0; k < header.size(); ++k) {
        if (static_cast<int>(k) == sep) continue;
        if (isMeasure[k]) {
          if (DimNode::cutName(header[k]) != measureName) continue;
          key.append(measureName);
        } else {
          key.append(DimNode::cutName(row[k]));
        }
        key.push_back('.');
      }
      static const std::string kNoValue;
      const std::string& value = measureColumn[m] < 0 ? kNoValue : row[measureColumn[m]];
      cells.insert_or_assign(key, value);
    }
  }
}

}  // namespace tabulon
