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
  // Charged before they are made: the per-row tables below and the groups
  // of a step or two.
  charge.hold((last - first) * (40 + 8 * keys + 64 * measures));
  readRows(first, last);
  if (aggregation != nullptr) {
    // The aggregates hold their own sums, in any order: the steps go by group.
  } else if (!wholeTexts) {
    exact = false;
    std::vector<int64_t>().swap(rowsLevel.micros);
    for (MeasureValues& values : measureValues) values.readValues();
  } else {
    for (MeasureValues& values : measureValues) values.release();
  }
  rowsLevel.single = true;
  rowsLevel.singleCount = dataRows.size();
  totalIds.resize(keys);
  for (std::size_t p = 0; p < keys; ++p) totalIds[p] = rows.find(keyColumns[p], kTotalLabel);
}

void PassRows::readRows(std::size_t first, std::size_t last) {
  const RowRef header = table[0];
  const std::size_t keys = keyColumns.size();
  const std::size_t measures = measureColumns.size();
  keyLow.assign(keys, UINT32_MAX);
  keyHigh.assign(keys, 0);
  dataRows.reserve(last - first);
  const bool readsMicros = aggregation == nullptr;
  if (readsMicros) rowsLevel.micros.resize((last - first) * measures);
  std::vector<uint64_t> magnitudes(measures, 0);
  // Block by block: a block's rows are found once, then each key column's
  // bounds and each measure's numbers are taken in a loop of their own
  // over the block, which stays in the cache.
  constexpr std::size_t kBlock = 256;
  const uint32_t* cells[kBlock];
  std::size_t lengths[kBlock];
  for (std::size_t r = first; r < last;) {
    const std::size_t blockStart = dataRows.size();
    std::size_t n = 0;
    for (const std::size_t end = std::min(last, r + kBlock); r < end; ++r) {
      if (!isFullRow(table[r], header)) continue;
      dataRows.push_back(static_cast<uint32_t>(r));
      cells[n] = table.rowIds(r);
      lengths[n++] = table.rowLength(r);
    }
    for (std::size_t p = 0; p < keys; ++p) {
      const std::size_t j = keyColumns[p];
      uint32_t low = keyLow[p];
      uint32_t high = keyHigh[p];
      for (std::size_t i = 0; i < n; ++i) {
        const uint32_t id = j < lengths[i] ? cells[i][j] : kAbsent;
        low = std::min(low, id);
        high = std::max(high, id);
      }
      keyLow[p] = low;
      keyHigh[p] = high;
    }
    for (std::size_t m = 0; readsMicros && wholeTexts && m < measures; ++m) {
      wholeTexts = readBlockMicros(m, cells, n, rowsLevel.micros.data() + blockStart * measures,
                                   magnitudes[m]);
    }
  }
  if (readsMicros) rowsLevel.micros.resize(dataRows.size() * measures);
}

// Reads measure `m` of the `count` rows `cells` into every measures-th
// place of `out`, adding their magnitudes to `magnitude`; false, at once,
// for a text that is no whole number of millionths within kExactMicros.
bool PassRows::readBlockMicros(std::size_t m, const uint32_t* const* cells, std::size_t count,
                               int64_t* out, uint64_t& magnitude) {
  const std::size_t measures = measureColumns.size();
  const std::size_t j = measureColumns[m];
  const ColumnTexts& column = table.column(j);
  const bool everyText = column.storesEveryText();
  const char* const limit = column.bytesEnd();
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t id = cells[i][j];
    int64_t n = 0;
    if (everyText) {
      const std::string_view text = column.text(id);
      if (!readShortMicros(text, limit, kExactMicros, n) && !tabulon::readMicros(text, kExactMicros, n)) {
        return false;
      }
    } else if (!measureValues[m].micros(id, n)) {
      return false;
    }
    magnitude += static_cast<uint64_t>(n < 0 ? -n : n);  // past the bound it stays past
    if (magnitude > kExactMicros) exact = false;
    out[i * measures + m] = n;
  }
  return true;
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
