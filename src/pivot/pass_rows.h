// The rows of one totals list as the passes read them: each measure
// text's number read once (MeasureValues), the groups of a step (Level),
// and the data rows with their keys, hashes and millionths (PassRows).
// Internal to the totals passes (totals.cpp, group_merge.cpp).
#ifndef TABULON_PIVOT_PASS_ROWS_H_
#define TABULON_PIVOT_PASS_ROWS_H_

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "pivot/aggregation.h"
#include "pivot/cross_tab.h"
#include "pivot/decimal_text.h"
#include "pivot/memory_budget.h"
#include "pivot/open_table.h"

namespace tabulon {
namespace totals {

using GroupTable = OpenTable;

// Header positions that name a measure, ascending.
std::vector<std::size_t> measureColumnsOf(const CrossTab& tab, const RowRef& header);

constexpr uint32_t kNoGroup = std::numeric_limits<uint32_t>::max();

// sum += n, held at 2^64 - 1 instead of wrapping.
inline void addMagnitude(uint64_t& sum, uint64_t n) {
  if (__builtin_add_overflow(sum, n, &sum)) sum = UINT64_MAX;
}

// Leaf groups pay only when the first rows repeat their keys: at most half
// as many distinct keys as rows among the first kLeafSample rows.
constexpr std::size_t kLeafSample = 16384;

// When the data rows are grouped by their whole keys (the leaf groups):
// when a pass first asks for them, or while the rows are read, for a list
// that several passes read by group (the rows are then in the cache).
enum class LeafGrouping { kWhenAsked, kWhileReading };

// Sums of the measure texts of one list stay exact in integer millionths
// while every text reads as a whole number of millionths and the sum of all
// their magnitudes stays within this bound: every partial sum then lies so
// far below 2^53 millionths that adding two such numbers in double precision
// and rounding to six decimals, as the totals do after each addition, gives
// exactly the integer sum.
constexpr uint64_t kExactMicros = uint64_t{1} << 50;

// The numbers of the distinct texts of one measure column, each read once
// when first asked for: the text as whole millionths, if it is one, and the
// number that readNumber reads.
class MeasureValues {
 public:
  MeasureValues(const RowTable& table, std::size_t column)
      : table_(&table), column_(column), everyText_(table.column(column).storesEveryText()) {}

  // Sets `n` to the millionths of text `id` and returns true, or false when
  // the text is not a whole number of millionths within kExactMicros.
  bool micros(uint32_t id, int64_t& n) {
    if (everyText_) {
      // A column that stores every text apart gives each row its own
      // text: a cache of what was read would hardly be read again.
      n = readMicros(id);
      return n != kInexact;
    }
    if (id >= micros_.size()) micros_.resize(table_->column(column_).size(), kUnknown);
    int64_t& known = micros_[id];
    if (known == kUnknown) known = readMicros(id);
    n = known;
    return known != kInexact;
  }

  // Lets go of the millionths read so far.
  void release() { std::vector<int64_t>().swap(micros_); }

  // Reads every text of the column as a number, for value(), in place of
  // the millionths, which are let go.
  void readValues() {
    std::vector<int64_t>().swap(micros_);
    const uint32_t count = table_->column(column_).size();
    values_.resize(count);
    for (uint32_t id = 0; id < count; ++id) values_[id] = readNumber(textOf(id));
  }
  // The number that readNumber reads from text `id` (after readValues).
  double value(uint32_t id) const { return values_[id]; }

 private:
  static constexpr int64_t kUnknown = std::numeric_limits<int64_t>::min();
  static constexpr int64_t kInexact = kUnknown + 1;

  const std::string& textOf(uint32_t id) {
    scratch_.assign(table_->text(column_, id));  // NUL-terminated for the readers
    return scratch_;
  }

  int64_t readMicros(uint32_t id) {
    int64_t n = 0;
    return tabulon::readMicros(table_->text(column_, id), kExactMicros, n) ? n : kInexact;
  }

  const RowTable* table_;
  std::size_t column_;
  bool everyText_;
  std::vector<int64_t> micros_;
  std::vector<double> values_;
  std::string scratch_;
};

// The groups of one step, in the order of their first rows.
// The data rows themselves, as groups of one row each, hold no list of
// first rows and row counts (`single`).
struct Level {
  std::size_t size() const { return single ? singleCount : hash.size(); }
  uint32_t first(std::size_t g) const { return single ? static_cast<uint32_t>(g) : firstRow[g]; }
  uint32_t count(std::size_t g) const { return single ? 1 : rowCount[g]; }

  bool single = false;
  std::size_t singleCount = 0;     // the data rows, when single
  std::vector<uint32_t> firstRow;  // per group: its first data row (PassRows::dataRows)
  // Per group: the hash of its key (empty when single: PassRows::rowHashes).
  std::vector<uint64_t> hash;
  std::vector<uint32_t> rowCount;  // per group: the rows it sums
  // Per group and measure. Exact lists: the sum in millionths. Others: the
  // running total as its text reads back, and the latest unrounded sum.
  std::vector<int64_t> micros;
  std::vector<double> total;
  std::vector<double> sum;
  // Lists of whole millionths whose sums may pass kExactMicros: per group
  // and measure the sum of the magnitudes of its values (at most 2^64 - 1).
  // A group within kExactMicros keeps its sum in `micros`; the others keep
  // the running total in `total` and `sum`, added row by row.
  std::vector<uint64_t> magnitude;
  // Per group and measure, when the request aggregates: the rows' state.
  std::vector<AggregateState> states;
};

// The data rows of one row list and what every totals step needs of them,
// read once and shared by the passes over that list. The list is row 0 of
// a table (the header) and the rows [first, last) of it. A row's key is its
// length and its texts outside the measure columns, read as the store's
// text numbers, so that grouping compares numbers, not texts. A key's hash
// is a sum of one term per key cell, so relabelling a column takes that
// column's term out of the hash without rehashing the rest.
//
// When the list's sums stay exact (kExactMicros), they are kept in integers
// and the order of the additions no longer matters: each step then sums the
// groups of the step before instead of the rows. When every text is a whole
// number of millionths but the sums may pass the bound (`wholeTexts`), the
// steps still go by group, and only the groups past the bound are added up
// row by row afterwards.
struct PassRows {
  PassRows(const CrossTab& tab, const RowTable& table, std::size_t first, std::size_t last,
           Aggregation* aggregation = nullptr, LeafGrouping leafGrouping = LeafGrouping::kWhenAsked);

  static uint64_t keyTerm(std::size_t position, uint32_t id) {
    return mixBits((static_cast<uint64_t>(position) << 32) + id);
  }
  // The hash of data row `i`'s key: one term per key position.
  uint64_t rowHash(std::size_t i) const {
    uint64_t h = 0;
    for (std::size_t p = 0; p < keyColumns.size(); ++p) h += keyTerm(p, keyAt(i, p));
    return h;
  }
  // rowHash of every data row, made when first asked for: grouping by the
  // key grid (DenseKeyGrid) needs no hash of a row.
  const std::vector<uint64_t>& rowHashes() const;
  // The number of data row `i`'s text at key position `p`.
  uint32_t keyAt(std::size_t i, std::size_t p) const {
    const std::size_t j = keyColumns[p];
    const uint32_t r = dataRows[i];
    return j < table.rowLength(r) ? table.rowIds(r)[j] : kAbsent;
  }
  // The number read from data row `i`'s text of measure `m`.
  double valueAt(std::size_t i, std::size_t m) const {
    // A whole number of millionths reads as its millionths divided once.
    if (wholeTexts) return static_cast<double>(rowLevel().micros[i * measureColumns.size() + m]) / 1e6;
    return measureValues[m].value(table.rowIds(dataRows[i])[measureColumns[m]]);
  }
  // True for sums that go by group but need their magnitudes watched.
  bool watchesMagnitudes() const { return wholeTexts && !exact && aggregation == nullptr; }
  // The magnitude of group `g` of `level` in measure `m`.
  uint64_t magnitudeAt(const Level& level, std::size_t g, std::size_t m) const {
    const std::size_t at = g * measureColumns.size() + m;
    if (!level.single) return level.magnitude[at];
    const int64_t n = level.micros[at];
    return static_cast<uint64_t>(n < 0 ? -n : n);
  }
  // Adds to `state` the rows of group `g` of `level` in measure `m`.
  void addState(AggregateState& state, const Level& level, std::size_t g, std::size_t m) const {
    if (level.single) {
      aggregation->addTo(state, dataRows[g], measureColumns[m]);
    } else {
      state.merge(level.states[g * measureColumns.size() + m]);
    }
  }
  // The position of `column` (a key column) in keyColumns.
  std::size_t positionOf(std::size_t column) const {
    return static_cast<std::size_t>(
        std::lower_bound(keyColumns.begin(), keyColumns.end(), column) - keyColumns.begin());
  }

  // The number of a cell past a row's end; never a text's number, nor the
  // number of a "合计" that never appears (GroupTable::kEmpty).
  static constexpr uint32_t kAbsent = GroupTable::kEmpty - 1;

  const RowTable& table;
  const std::size_t width;                  // the header's cells
  std::vector<std::size_t> measureColumns;  // ascending
  // The key columns, ascending: the header's non-measure columns, then
  // every column past the header's width that some row of the list reaches.
  std::vector<std::size_t> keyColumns;
  std::vector<uint32_t> totalIds;  // per key column: the number of "合计" there
  // Per key column: the lowest and the highest number the data rows hold
  // there (a row without the cell holds kAbsent), the ranges of a key grid.
  std::vector<uint32_t> keyLow;
  std::vector<uint32_t> keyHigh;
  std::vector<uint32_t> dataRows;  // the rows that take part, ascending
  std::vector<MeasureValues> measureValues;  // per measure
  // The data rows as groups of one row each, where the steps start, with
  // their values in millionths when exact. Read it through rowLevel: while
  // the leaves hold the sums, the rows' millionths are read only when a
  // step first asks for them.
  const Level& rowLevel() const {
    if (microsDeferred_) {
      readDeferredMicros(dataRows.size());
      microsDeferred_ = false;
    }
    return rowsLevel;
  }
  mutable Level rowsLevel;
  // The data rows grouped by their whole keys, for passes that share this
  // list (made while reading or by the first that asks): the groups, in the
  // order of their first rows and summed as sumByGroup sums, and each row's
  // group.
  mutable Level leaves;
  mutable std::vector<uint32_t> leafOfRow;
  mutable bool leavesMade = false;
  mutable std::vector<uint64_t> rowHashes_;
  mutable bool rowHashesMade_ = false;
  bool exact = true;
  bool wholeTexts = true;  // every text a whole number of millionths
  // Set when the request aggregates: the total rows then carry the
  // aggregate of their rows, and record its state there.
  Aggregation* aggregation = nullptr;
  ChargedBytes charge;  // the memory budget's share of the tables above

 private:
  // Fills dataRows, keyLow and keyHigh from the rows [first, last) and,
  // unless the request aggregates, reads their measure texts as
  // millionths into rowsLevel.micros, setting wholeTexts and exact.
  // With `grid`, groups the leaves while reading.
  struct LeafGrid;
  void readRows(std::size_t first, std::size_t last, LeafGrid* grid);
  bool readBlockMicros(std::size_t m, const uint32_t* const* cells, std::size_t count, int64_t* out,
                       uint64_t& magnitude);
  // Grouping the leaves while reading: the key grid of every key column's
  // whole range of numbers, when the rows all reach every key column and
  // the grid is small enough.
  bool startLeaves(std::size_t first, std::size_t last, LeafGrid& grid);
  // Adds the `count` rows `cells` of a block, data rows from `blockStart`
  // on, with their millionths `micros`, to their leaves; false once the
  // leaves do not pay.
  bool groupBlock(LeafGrid& grid, const uint32_t* const* cells, std::size_t count,
                  std::size_t blockStart, const int64_t* micros);
  void finishLeaves(LeafGrid& grid);
  // Takes the key bounds of the leaves so far, then lets them go.
  void stopLeaves();
  void addLeafBounds();
  // Appends the full rows of [r, end) to dataRows, their cells and
  // lengths to `cells` and `lengths`; returns how many.
  std::size_t findRows(std::size_t r, std::size_t end, const uint32_t** cells, std::size_t* lengths);
  // Widens keyLow and keyHigh to the `n` rows `cells`.
  void addBounds(const uint32_t* const* cells, const std::size_t* lengths, std::size_t n);

  // The rows' millionths wait while the leaves hold the sums, when every
  // measure column stores each text apart (so that each can be read again);
  // readDeferredMicros reads those of the data rows before `end`.
  bool everyMeasureTextStored() const;
  void readDeferredMicros(std::size_t end) const;
  mutable bool microsDeferred_ = false;  // rowsLevel's millionths not read yet

  // The rows that readRows takes at a time.
  static constexpr std::size_t kBlockRows = 256;
};

}  // namespace totals
}  // namespace tabulon

#endif  // TABULON_PIVOT_PASS_ROWS_H_
