#include "pivot/pass_rows.h"

#include <stdexcept>

#include "pivot/dense_key_grid.h"
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

struct PassRows::LeafGrid {
  DenseKeyGrid grid;
  std::vector<std::size_t> columns;  // per key position, its column
  bool sampled = false;              // the first kLeafSample rows were counted
  // Per leaf: its row count, then per measure the sum of the millionths,
  // then per measure the sum of their magnitudes.
  std::vector<uint64_t> sums;
};

PassRows::PassRows(const CrossTab& tab, const RowTable& rows, std::size_t first, std::size_t last,
                   Aggregation* aggregation, LeafGrouping leafGrouping)
    : table(rows), width(rows[0].size()), aggregation(aggregation) {
  if (rows.size() >= kAbsent) throw std::length_error("too many rows for totals");
  const RowRef header = rows[0];
  measureColumns = measureColumnsOf(tab, header);
  std::vector<char> isMeasure(width, 0);
  for (std::size_t i : measureColumns) isMeasure[i] = 1;
  // Rows longer than the header add key columns past its width.
  std::size_t longest = std::max(width, rows.uniformWidth());
  if (rows.uniformWidth() == 0) {
    for (std::size_t r = first; r < last; ++r) longest = std::max(longest, rows.rowLength(r));
  }
  for (std::size_t j = 0; j < longest; ++j) {
    if (j >= width || !isMeasure[j]) keyColumns.push_back(j);
  }
  const std::size_t keys = keyColumns.size();
  const std::size_t measures = measureColumns.size();
  for (std::size_t j : measureColumns) measureValues.emplace_back(rows, j);
  // Charged before they are made: the per-row tables below and the groups
  // of a step or two.
  charge.hold((last - first) * (40 + 8 * keys + 64 * measures));
  LeafGrid grid;
  const bool grouping = leafGrouping == LeafGrouping::kWhileReading && startLeaves(first, last, grid);
  readRows(first, last, grouping ? &grid : nullptr);
  if (leavesMade && exact) std::vector<uint64_t>().swap(leaves.magnitude);
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

void PassRows::readRows(std::size_t first, std::size_t last, LeafGrid* grid) {
  const std::size_t keys = keyColumns.size();
  const std::size_t measures = measureColumns.size();
  keyLow.assign(keys, UINT32_MAX);
  keyHigh.assign(keys, 0);
  dataRows.reserve(last - first);
  const bool readsMicros = aggregation == nullptr;
  std::vector<uint64_t> magnitudes(measures, 0);
  // Block by block: a block's rows are found once, then each key column's
  // bounds and each measure's numbers are taken in a loop of their own
  // over the block, which stays in the cache. While the leaves are grouped
  // the bounds are taken from them instead: a leaf's rows share its key.
  const uint32_t* cells[kBlockRows];
  std::size_t lengths[kBlockRows];
  // While the leaves are grouped, their sums are all that most requests
  // need of the rows' millionths: a block's stay in `blockMicros`, and the
  // rows' are read again only if some step asks for them (rowLevel).
  bool deferred = grid != nullptr && everyMeasureTextStored();
  std::vector<int64_t> blockMicros(deferred ? kBlockRows * measures : 0);
  // Otherwise grown block by block as the blocks are read, so that no pass
  // zeroes the whole list ahead of them.
  if (readsMicros && !deferred) rowsLevel.micros.reserve((last - first) * measures);
  for (std::size_t r = first; r < last;) {
    const std::size_t blockStart = dataRows.size();
    const std::size_t end = std::min(last, r + kBlockRows);
    const std::size_t n = findRows(r, end, cells, lengths);
    r = end;
    if (grid == nullptr) addBounds(cells, lengths, n);
    if (readsMicros && wholeTexts && !deferred) rowsLevel.micros.resize((blockStart + n) * measures);
    int64_t* const micros =
        deferred ? blockMicros.data() : rowsLevel.micros.data() + blockStart * measures;
    for (std::size_t m = 0; readsMicros && wholeTexts && m < measures; ++m) {
      wholeTexts = readBlockMicros(m, cells, n, micros, magnitudes[m]);
    }
    // Leaves sum millionths: texts that are none end the grouping.
    if (grid != nullptr && (!wholeTexts || !groupBlock(*grid, cells, n, blockStart, micros))) {
      addBounds(cells, lengths, n);
      stopLeaves();
      grid = nullptr;
      if (deferred && wholeTexts) {
        rowsLevel.micros.reserve((last - first) * measures);
        readDeferredMicros(blockStart);
        rowsLevel.micros.insert(rowsLevel.micros.end(), micros, micros + n * measures);
      }
      deferred = false;
    }
  }
  if (grid != nullptr && !grid->sampled && 2 * leaves.firstRow.size() > dataRows.size()) {
    stopLeaves();
    grid = nullptr;
    if (deferred) readDeferredMicros(dataRows.size());
    deferred = false;
  }
  if (readsMicros && !deferred) rowsLevel.micros.resize(dataRows.size() * measures);
  microsDeferred_ = deferred && wholeTexts;
  leavesMade = grid != nullptr;
  if (!leavesMade) return;
  addLeafBounds();
  finishLeaves(*grid);
  leafOfRow.resize(dataRows.size());
}

std::size_t PassRows::findRows(std::size_t r, std::size_t end, const uint32_t** cells,
                               std::size_t* lengths) {
  const RowRef header = table[0];
  std::size_t n = 0;
  const std::size_t rowWidth = table.uniformWidth();
  if (rowWidth == 0) {
    for (; r < end; ++r) {
      if (!isFullRow(table[r], header)) continue;
      dataRows.push_back(static_cast<uint32_t>(r));
      cells[n] = table.rowIds(r);
      lengths[n++] = table.rowLength(r);
    }
    return n;
  }
  // Rows as long as the header: only a copy of it is left out, and a row
  // whose number in an interned column differs from the header's is none.
  const uint32_t* const headerIds = table.rowIds(0);
  std::size_t probe = 0;
  while (probe < rowWidth && table.column(probe).storesEveryText()) ++probe;
  for (; r < end; ++r) {
    const uint32_t* ids = headerIds + r * rowWidth;
    if ((probe == rowWidth || ids[probe] == headerIds[probe]) && table[r] == header) continue;
    dataRows.push_back(static_cast<uint32_t>(r));
    cells[n] = ids;
    lengths[n++] = rowWidth;
  }
  return n;
}

void PassRows::addBounds(const uint32_t* const* cells, const std::size_t* lengths, std::size_t n) {
  for (std::size_t p = 0; p < keyColumns.size(); ++p) {
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
}

// The bounds of the rows grouped so far, from their leaves' keys (every
// row reaches every key column while the leaves are grouped).
void PassRows::addLeafBounds() {
  for (uint32_t i : leaves.firstRow) {
    const uint32_t* ids = table.rowIds(dataRows[i]);
    for (std::size_t p = 0; p < keyColumns.size(); ++p) {
      keyLow[p] = std::min(keyLow[p], ids[keyColumns[p]]);
      keyHigh[p] = std::max(keyHigh[p], ids[keyColumns[p]]);
    }
  }
}

void PassRows::stopLeaves() {
  addLeafBounds();
  leaves = Level();
  std::vector<uint32_t>().swap(leafOfRow);
}

bool PassRows::startLeaves(std::size_t first, std::size_t last, LeafGrid& grid) {
  const std::size_t rowWidth = table.uniformWidth();
  if (aggregation != nullptr || first >= last || keyColumns.empty() || rowWidth == 0 ||
      keyColumns.back() >= rowWidth) {
    return false;
  }
  // Every number of a key column lies below its column's count of texts.
  std::vector<uint32_t> low(keyColumns.size(), 0);
  std::vector<uint64_t> range;
  for (std::size_t j : keyColumns) range.push_back(std::max<uint64_t>(table.column(j).size(), 1));
  if (!grid.grid.reset(low, range, 4 * (last - first) + 4096)) return false;
  grid.columns = keyColumns;
  leafOfRow.resize(last - first);
  return true;
}

bool PassRows::groupBlock(LeafGrid& grid, const uint32_t* const* cells, std::size_t count,
                          std::size_t blockStart, const int64_t* micros) {
  const std::size_t measures = measureColumns.size();
  const std::size_t keys = grid.columns.size();
  const std::size_t* const columns = grid.columns.data();
  const std::size_t stride = 1 + 2 * measures;
  uint64_t places[kBlockRows];
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t* ids = cells[i];
    places[i] = grid.grid.place([&](std::size_t q) { return ids[columns[q]]; });
  }
  // The leaf of each row, its slot fetched a few rows ahead.
  constexpr std::size_t kAhead = 8;
  uint32_t* const leafOf = leafOfRow.data() + blockStart;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kAhead < count) grid.grid.prefetch(places[i + kAhead]);
    const uint32_t k = grid.grid.findOrAdd(places[i], leaves.firstRow.size());
    if (k == leaves.firstRow.size()) {
      uint64_t h = 0;
      for (std::size_t q = 0; q < keys; ++q) h += keyTerm(q, cells[i][columns[q]]);
      leaves.firstRow.push_back(static_cast<uint32_t>(blockStart + i));
      leaves.hash.push_back(h);
      grid.sums.resize(grid.sums.size() + stride, 0);
    }
    leafOf[i] = k;
  }
  // Each leaf's row count, sums and magnitudes lie side by side.
  uint64_t* const sums = grid.sums.data();
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kAhead < count) __builtin_prefetch(sums + std::size_t{leafOf[i + kAhead]} * stride);
    uint64_t* leaf = sums + std::size_t{leafOf[i]} * stride;
    ++leaf[0];
    for (std::size_t m = 0; m < measures; ++m) {
      const int64_t n = micros[i * measures + m];
      leaf[1 + m] += static_cast<uint64_t>(n);  // wraps as the signed sum would
      addMagnitude(leaf[1 + measures + m], static_cast<uint64_t>(n < 0 ? -n : n));
    }
  }
  if (grid.sampled || blockStart + count < kLeafSample) return true;
  grid.sampled = true;
  return 2 * leaves.firstRow.size() <= blockStart + count;
}

// Moves the leaves' counts and sums from the grid into `leaves`.
void PassRows::finishLeaves(LeafGrid& grid) {
  const std::size_t measures = measureColumns.size();
  const std::size_t stride = 1 + 2 * measures;
  const std::size_t count = leaves.firstRow.size();
  leaves.rowCount.resize(count);
  leaves.micros.resize(count * measures);
  leaves.magnitude.resize(count * measures);
  for (std::size_t k = 0; k < count; ++k) {
    const uint64_t* leaf = grid.sums.data() + k * stride;
    leaves.rowCount[k] = static_cast<uint32_t>(leaf[0]);
    for (std::size_t m = 0; m < measures; ++m) {
      leaves.micros[k * measures + m] = static_cast<int64_t>(leaf[1 + m]);
      leaves.magnitude[k * measures + m] = leaf[1 + measures + m];
    }
  }
  std::vector<uint64_t>().swap(grid.sums);
}

namespace {

// A stored measure text in millionths, as the totals read it.
bool readStoredMicros(std::string_view text, const char* limit, int64_t& n) {
  return readShortMicros(text, limit, kExactMicros, n) || tabulon::readMicros(text, kExactMicros, n);
}

}  // namespace

bool PassRows::everyMeasureTextStored() const {
  for (std::size_t j : measureColumns) {
    if (!table.column(j).storesEveryText()) return false;
  }
  return true;
}

// Reads the millionths of the data rows before `end` into rowsLevel once
// more, as readBlockMicros read them: every text read then.
void PassRows::readDeferredMicros(std::size_t end) const {
  const std::size_t measures = measureColumns.size();
  rowsLevel.micros.resize(end * measures);
  for (std::size_t m = 0; m < measures; ++m) {
    const ColumnTexts& column = table.column(measureColumns[m]);
    const char* const limit = column.bytesEnd();
    for (std::size_t i = 0; i < end; ++i) {
      const std::string_view text = column.text(table.rowIds(dataRows[i])[measureColumns[m]]);
      if (!readStoredMicros(text, limit, rowsLevel.micros[i * measures + m])) {
        throw std::logic_error("a measure text no longer reads as it did");
      }
    }
  }
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
  // The sum of magnitudes stays in a register: through the reference it
  // could alias `out` and would go through memory on every row.
  uint64_t sum = magnitude;
  bool read = true;
  std::size_t i = 0;
  for (; i < count; ++i) {
    const uint32_t id = cells[i][j];
    int64_t n = 0;
    if (everyText) {
      if (!readStoredMicros(column.text(id), limit, n)) {
        read = false;
        break;
      }
    } else if (!measureValues[m].micros(id, n)) {
      read = false;
      break;
    }
    sum += static_cast<uint64_t>(n < 0 ? -n : n);  // past the bound it stays past
    out[i * measures + m] = n;
  }
  magnitude = sum;
  if (sum > kExactMicros) exact = false;
  return read;
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
