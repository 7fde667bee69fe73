#include "pivot/pass_rows.h"

#include <stdexcept>

#include "pivot/labels.h"

namespace tabulon {
namespace totals {

// Header positions that name a measure, ascending.
std::vector<std::size_t> measureColumnsOf(const CrossTab& tab, const RowRef& header) {
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (tab.isMeasureName(header[i])) columns.push_back(i);
  }
  return columns;
}

PassRows::PassRows(const CrossTab& tab, const RowTable& rows, std::size_t first, std::size_t last,
                   Aggregation* aggregation)
    : table(rows), width(rows[0].size()), aggregation(aggregation) {
  if (rows.size() >= kAbsent) throw std::length_error("too many rows for totals");
  const RowRef header = rows[0];
  measureColumns = measureColumnsOf(tab, header);
  std::vector<char> isMeasure(width, 0);
  for (std::size_t i : measureColumns) isMeasure[i] = 1;
  // Rows longer than the header add key columns past its width.
  std::size_t longest = width;
  for (std::size_t r = first; r < last; ++r) longest = std::max(longest, rows.rowLength(r));
  for (std::size_t j = 0; j < longest; ++j) {
    if (j >= width || !isMeasure[j]) keyColumns.push_back(j);
  }
  const std::size_t keys = keyColumns.size();
  const std::size_t measures = measureColumns.size();
  for (std::size_t j : measureColumns) measureValues.emplace_back(rows, j);
  std::vector<uint64_t> magnitude(measures, 0);
  // Charged before they are made: the per-row tables below and the groups
  // of a step or two.
  charge.hold((last - first) * (40 + 8 * keys + 64 * measures));
  dataRows.reserve(last - first);
  keyLow.assign(keys, UINT32_MAX);
  keyHigh.assign(keys, 0);
  std::vector<int64_t>& micros = rowsLevel.micros;
  micros.reserve((last - first) * measures);
  for (std::size_t r = first; r < last; ++r) {
    const RowRef row = rows[r];
    if (!isFullRow(row, header)) continue;
    dataRows.push_back(static_cast<uint32_t>(r));
    const std::size_t length = rows.rowLength(r);
    const uint32_t* ids = rows.rowIds(r);
    for (std::size_t p = 0; p < keys; ++p) {
      const std::size_t j = keyColumns[p];
      const uint32_t id = j < length ? ids[j] : kAbsent;
      keyLow[p] = std::min(keyLow[p], id);
      keyHigh[p] = std::max(keyHigh[p], id);
    }
    for (std::size_t m = 0; wholeTexts && aggregation == nullptr && m < measures; ++m) {
      int64_t n = 0;
      if (!measureValues[m].micros(ids[measureColumns[m]], n)) {
        wholeTexts = false;
        break;
      }
      magnitude[m] += static_cast<uint64_t>(n < 0 ? -n : n);  // past the bound it stays past
      if (magnitude[m] > kExactMicros) exact = false;
      micros.push_back(n);
    }
  }
  if (aggregation != nullptr) {
    // The aggregates hold their own sums, in any order: the steps go by group.
    std::vector<int64_t>().swap(micros);
  } else if (!wholeTexts) {
    exact = false;
    std::vector<int64_t>().swap(micros);
    for (MeasureValues& values : measureValues) values.readValues();
  } else {
    for (MeasureValues& values : measureValues) values.release();
  }
  rowsLevel.single = true;
  rowsLevel.singleCount = dataRows.size();
  totalIds.resize(keys);
  for (std::size_t p = 0; p < keys; ++p) totalIds[p] = rows.find(keyColumns[p], kTotalLabel);
}

const std::vector<uint64_t>& PassRows::rowHashes() const {
  if (!rowHashesMade_) {
    rowHashes_.resize(dataRows.size());
    for (std::size_t i = 0; i < dataRows.size(); ++i) rowHashes_[i] = rowHash(i);
    rowHashesMade_ = true;
  }
  return rowHashes_;
}

}  // namespace totals
}  // namespace tabulon
