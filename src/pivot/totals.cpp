// Totals: the passes that append total rows ("合计") to the rows of a
// CrossTab.
//
// A labelling pass totals one axis. It walks that axis' dimension columns
// from right to left; at each column every data row is relabelled "合计"
// there (a row that already holds "合计" drops out) and the rows are summed
// by group, so each step totals one level coarser than the one before. The
// relabelling is kept virtual: the input rows are never copied or changed,
// a flag per column says whether it holds the label. Grouping goes through
// a hash table keyed by the non-measure cells, which the row store already
// holds as text numbers; since each step's groups are unions of the groups
// of the step before, a later step merges groups, not rows, and a pass
// costs time linear in rows times columns. Each distinct measure text is
// read as a number once. Total rows are appended to the store as numbers:
// a copy of a group's first row with the label and the sums in place.
//
// The header row never forms or joins a group: a data row whose key cells
// happen to equal the column names is summed in a group of its own.
#include "pivot/totals.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "pivot/aggregation.h"
#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "pivot/memory_budget.h"
#include "pivot/open_table.h"

namespace tabulon {

namespace {

using GroupTable = OpenTable;

// Header positions that name a measure, ascending.
std::vector<std::size_t> measureColumnsOf(const CrossTab& tab, const RowRef& header) {
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (tab.isMeasureName(header[i])) columns.push_back(i);
  }
  return columns;
}

constexpr uint32_t kNoGroup = std::numeric_limits<uint32_t>::max();

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
  MeasureValues(const RowTable& table, std::size_t column) : table_(&table), column_(column) {}

  // Sets `n` to the millionths of text `id` and returns true, or false when
  // the text is not a whole number of millionths within kExactMicros.
  bool micros(uint32_t id, int64_t& n) {
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
    return tabulon::readMicros(textOf(id), kExactMicros, n) ? n : kInexact;
  }

  const RowTable* table_;
  std::size_t column_;
  std::vector<int64_t> micros_;
  std::vector<double> values_;
  std::string scratch_;
};

// The groups of one step, in the order of their first rows.
// The data rows themselves, as groups of one row each, hold no list of
// first rows and row counts (`single`).
struct Level {
  std::size_t size() const { return hash.size(); }
  uint32_t first(std::size_t g) const { return single ? static_cast<uint32_t>(g) : firstRow[g]; }
  uint32_t count(std::size_t g) const { return single ? 1 : rowCount[g]; }

  bool single = false;
  std::vector<uint32_t> firstRow;  // per group: its first data row (PassRows::dataRows)
  std::vector<uint64_t> hash;      // per group: the hash of its key
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
           Aggregation* aggregation = nullptr);

  static uint64_t keyTerm(std::size_t position, uint32_t id) {
    return mixBits((static_cast<uint64_t>(position) << 32) + id);
  }
  // The number of data row `i`'s text at key position `p`.
  uint32_t keyAt(std::size_t i, std::size_t p) const {
    const std::size_t j = keyColumns[p];
    const uint32_t r = dataRows[i];
    return j < table.rowLength(r) ? table.rowIds(r)[j] : kAbsent;
  }
  // The number read from data row `i`'s text of measure `m`.
  double valueAt(std::size_t i, std::size_t m) const {
    // A whole number of millionths reads as its millionths divided once.
    if (wholeTexts) return static_cast<double>(rowsLevel.micros[i * measureColumns.size() + m]) / 1e6;
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
  std::vector<uint32_t> dataRows;  // the rows that take part, ascending
  std::vector<MeasureValues> measureValues;  // per measure
  // The data rows as groups of one row each, where the steps start: their
  // key hashes and, when exact, their values in millionths.
  Level rowsLevel;
  bool exact = true;
  bool wholeTexts = true;  // every text a whole number of millionths
  // Set when the request aggregates: the total rows then carry the
  // aggregate of their rows, and record its state there.
  Aggregation* aggregation = nullptr;
  ChargedBytes charge;  // the memory budget's share of the tables above
};

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
  rowsLevel.hash.reserve(last - first);
  std::vector<int64_t>& micros = rowsLevel.micros;
  micros.reserve((last - first) * measures);
  for (std::size_t r = first; r < last; ++r) {
    const RowRef row = rows[r];
    if (!isFullRow(row, header)) continue;
    dataRows.push_back(static_cast<uint32_t>(r));
    const std::size_t length = rows.rowLength(r);
    const uint32_t* ids = rows.rowIds(r);
    uint64_t h = 0;
    for (std::size_t p = 0; p < keys; ++p) {
      const std::size_t j = keyColumns[p];
      h += keyTerm(p, j < length ? ids[j] : kAbsent);
    }
    rowsLevel.hash.push_back(h);
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
  totalIds.resize(keys);
  for (std::size_t p = 0; p < keys; ++p) totalIds[p] = rows.find(keyColumns[p], kTotalLabel);
}

// How the groups of one step merge into the groups of the next, once a
// column is relabelled: `parent` gives, per group of the step, its group
// in the next step (kNoGroup when it drops out), and per such key group its
// first member's first row and the hash of its key. Key groups are numbered
// in the order of their first members.
struct KeyGroups {
  std::vector<uint32_t> parent;
  std::vector<uint32_t> keyRow;
  std::vector<uint64_t> hash;
};

constexpr std::size_t kNoColumn = std::numeric_limits<std::size_t>::max();

// Merges the groups of `level` whose keys agree once `column` (kNoColumn
// for none) holds the label too. `labelled` flags the columns that hold it,
// `column` included. A group that already holds "合计" in `column` is a
// total that came with the input: it drops out.
KeyGroups mergeGroups(const PassRows& rows, const Level& level, std::size_t column,
                      const std::vector<char>& labelled) {
  // The key positions still compared: the key columns without the label.
  std::vector<std::size_t> compared;
  for (std::size_t p = 0; p < rows.keyColumns.size(); ++p) {
    const std::size_t j = rows.keyColumns[p];
    if (j >= rows.width || !labelled[j]) compared.push_back(p);
  }
  const RowTable& store = rows.table;
  // The compared key of each key group, end to end, so that comparing
  // reads a small array instead of the first rows scattered in the store.
  const std::size_t width = compared.size();
  std::vector<uint32_t> groupKeys;
  std::vector<uint32_t> candidate(width);
  auto readKey = [&](uint32_t i) {
    const uint32_t r = rows.dataRows[i];
    const std::size_t length = store.rowLength(r);
    const uint32_t* ids = store.rowIds(r);
    for (std::size_t q = 0; q < width; ++q) {
      const std::size_t j = rows.keyColumns[compared[q]];
      candidate[q] = j < length ? ids[j] : PassRows::kAbsent;
    }
  };
  auto sameKey = [&](std::size_t k) {
    const uint32_t* held = groupKeys.data() + k * width;
    for (std::size_t q = 0; q < width; ++q) {
      if (held[q] != candidate[q]) return false;
    }
    return true;
  };
  const std::size_t position = column == kNoColumn ? 0 : rows.positionOf(column);

  KeyGroups key;
  key.parent.assign(level.size(), kNoGroup);
  GroupTable table;
  // The hash of group g's key with the label in `column`; false when the
  // group drops out.
  auto keyHash = [&](std::size_t g, uint64_t& h) {
    h = level.hash[g];
    if (column == kNoColumn) return true;
    const uint32_t id = rows.keyAt(level.first(g), position);
    if (id == rows.totalIds[position]) return false;
    h -= PassRows::keyTerm(position, id);
    return true;
  };
  constexpr std::size_t kAhead = 8;  // slots fetched this many groups ahead
  uint32_t previous = kNoGroup;
  for (std::size_t g = 0; g < level.size(); ++g) {
    uint64_t ahead = 0;
    if (g + kAhead < level.size() && keyHash(g + kAhead, ahead)) table.prefetch(ahead);
    const uint32_t first = level.first(g);
    uint64_t h = 0;
    if (!keyHash(g, h)) continue;
    // Sorted input brings the members of a group together: try the key
    // group of the previous member before the table.
    readKey(first);
    std::size_t k;
    if (previous != kNoGroup && key.hash[previous] == h && sameKey(previous)) {
      k = previous;
    } else {
      k = table.findOrAdd(h, key.keyRow.size(), [&](std::size_t found) { return sameKey(found); });
    }
    if (k == key.keyRow.size()) {
      key.keyRow.push_back(first);
      key.hash.push_back(h);
      groupKeys.insert(groupKeys.end(), candidate.begin(), candidate.end());
    }
    key.parent[g] = static_cast<uint32_t>(k);
    previous = static_cast<uint32_t>(k);
  }
  return key;
}

// The next step's groups of an exact list in which no row can copy the
// header: each key group sums its member groups.
Level sumByGroup(const PassRows& rows, const Level& level, const KeyGroups& key) {
  const std::size_t measures = rows.measureColumns.size();
  Level next;
  // A key group's first member holds its first row: the members come in
  // the order of their first rows.
  next.firstRow = key.keyRow;
  next.hash = key.hash;
  next.rowCount.assign(key.keyRow.size(), 0);
  const bool watch = rows.watchesMagnitudes();
  if (rows.aggregation != nullptr) {
    next.states.assign(key.keyRow.size() * measures, AggregateState());
  } else {
    next.micros.assign(key.keyRow.size() * measures, 0);
    if (watch) next.magnitude.assign(key.keyRow.size() * measures, 0);
  }
  for (std::size_t g = 0; g < level.size(); ++g) {
    const uint32_t k = key.parent[g];
    if (k == kNoGroup) continue;
    next.rowCount[k] += level.count(g);
    if (rows.aggregation != nullptr) {
      for (std::size_t m = 0; m < measures; ++m) rows.addState(next.states[k * measures + m], level, g, m);
      continue;
    }
    for (std::size_t m = 0; m < measures; ++m) {
      next.micros[k * measures + m] += level.micros[g * measures + m];
    }
    if (!watch) continue;
    for (std::size_t m = 0; m < measures; ++m) {
      uint64_t& sum = next.magnitude[k * measures + m];
      if (__builtin_add_overflow(sum, rows.magnitudeAt(level, g, m), &sum)) sum = UINT64_MAX;
    }
  }
  return next;
}

// True when group `g` of `level` (from sumByGroup or sumByRow) keeps its
// sums in millionths.
bool sumsInMicros(const PassRows& rows, const Level& level, std::size_t g) {
  if (rows.exact) return true;
  if (!rows.watchesMagnitudes()) return false;
  const std::size_t measures = rows.measureColumns.size();
  for (std::size_t m = 0; m < measures; ++m) {
    if (level.magnitude[g * measures + m] > kExactMicros) return false;
  }
  return true;
}

// For a list whose magnitudes are watched: moves `rowGroup` on to the
// groups of `level` (whose parents in the step before are `key`) and adds
// up, row by row in row order as addToTotal adds, the groups that passed
// kExactMicros.
void sumLargeGroups(const PassRows& rows, const KeyGroups& key, Level& level,
                    std::vector<uint32_t>& rowGroup) {
  const std::size_t measures = rows.measureColumns.size();
  std::vector<char> large(level.size(), 0);
  bool any = false;
  for (std::size_t g = 0; g < level.size(); ++g) any |= large[g] = !sumsInMicros(rows, level, g);
  for (uint32_t& g : rowGroup) {
    if (g != kNoGroup) g = key.parent[g];
  }
  if (!any) return;
  level.total.assign(level.size() * measures, 0);
  level.sum.assign(level.size() * measures, 0);
  std::vector<char> started(level.size(), 0);
  for (std::size_t i = 0; i < rowGroup.size(); ++i) {
    const uint32_t g = rowGroup[i];
    if (g == kNoGroup || !large[g]) continue;
    for (std::size_t m = 0; m < measures; ++m) {
      const std::size_t at = g * measures + m;
      if (!started[g]) {
        level.total[at] = rows.valueAt(i, m);
        continue;
      }
      level.sum[at] = level.total[at] + rows.valueAt(i, m);
      level.total[at] = readBack(level.sum[at]);
    }
    started[g] = 1;
  }
}

// True when data row `i`, with the label in the `labelled` columns, equals
// the header.
bool copiesHeader(const PassRows& rows, std::size_t i, const std::vector<char>& labelled) {
  const RowTable& table = rows.table;
  const uint32_t r = rows.dataRows[i];
  if (table.rowLength(r) != rows.width) return false;
  const uint32_t* row = table.rowIds(r);
  const uint32_t* header = table.rowIds(0);
  for (std::size_t j = 0; j < rows.width; ++j) {
    if (!labelled[j] && !table.sameText(j, row[j], header[j])) return false;
  }
  return true;
}

// The next step's groups, summed row by row in row order, exactly as
// addToTotal adds: the running totals are kept as the numbers that their
// texts would read back as. `rowGroup` gives each data row's group in the
// step before and is updated to the next; with `headerLabelled`, a row that
// the labels turn into a copy of the header drops out.
Level sumByRow(const PassRows& rows, const KeyGroups& key, const std::vector<char>& labelled,
               bool headerLabelled, std::vector<uint32_t>& rowGroup) {
  const std::size_t measures = rows.measureColumns.size();
  std::vector<uint32_t> order(key.keyRow.size(), kNoGroup);
  Level next;
  for (std::size_t i = 0; i < rows.dataRows.size(); ++i) {
    if (rowGroup[i] == kNoGroup) continue;
    const uint32_t k = key.parent[rowGroup[i]];
    if (k == kNoGroup || (headerLabelled && copiesHeader(rows, i, labelled))) {
      rowGroup[i] = kNoGroup;
      continue;
    }
    uint32_t& g = order[k];
    rowGroup[i] = g;
    if (g == kNoGroup) {
      g = rowGroup[i] = static_cast<uint32_t>(next.size());
      next.firstRow.push_back(static_cast<uint32_t>(i));
      next.hash.push_back(key.hash[k]);
      next.rowCount.push_back(1);
      if (rows.aggregation != nullptr) {
        for (std::size_t m = 0; m < measures; ++m) {
          next.states.emplace_back();
          rows.addState(next.states.back(), rows.rowsLevel, i, m);
        }
      } else if (rows.exact) {
        const auto first = rows.rowsLevel.micros.begin() + static_cast<std::ptrdiff_t>(i * measures);
        next.micros.insert(next.micros.end(), first, first + static_cast<std::ptrdiff_t>(measures));
      } else {
        for (std::size_t m = 0; m < measures; ++m) next.total.push_back(rows.valueAt(i, m));
        next.sum.resize(next.total.size());
        if (rows.watchesMagnitudes()) {
          for (std::size_t m = 0; m < measures; ++m) {
            next.micros.push_back(rows.rowsLevel.micros[i * measures + m]);
            next.magnitude.push_back(rows.magnitudeAt(rows.rowsLevel, i, m));
          }
        }
      }
      continue;
    }
    ++next.rowCount[g];
    if (rows.aggregation != nullptr) {
      for (std::size_t m = 0; m < measures; ++m) rows.addState(next.states[g * measures + m], rows.rowsLevel, i, m);
      continue;
    }
    for (std::size_t m = 0; m < measures; ++m) {
      const std::size_t at = g * measures + m;
      if (rows.exact) {
        next.micros[at] += rows.rowsLevel.micros[i * measures + m];
      } else {
        next.sum[at] = next.total[at] + rows.valueAt(i, m);
        next.total[at] = readBack(next.sum[at]);
        if (!rows.watchesMagnitudes()) continue;
        next.micros[at] += rows.rowsLevel.micros[i * measures + m];
        uint64_t& sum = next.magnitude[at];
        if (__builtin_add_overflow(sum, rows.magnitudeAt(rows.rowsLevel, i, m), &sum)) sum = UINT64_MAX;
      }
    }
  }
  return next;
}

// Appends to `out` (the table the rows come from) one row per group of
// `level`: a copy of its first row with the label in the `labelled` columns
// and, when it sums more than one row, its sums in the measure columns (a
// one-row group keeps its texts).
void appendGroupRows(const PassRows& rows, const Level& level, const std::vector<char>& labelled,
                     RowTable& out) {
  if (level.size() == 0) return;
  const std::size_t measures = rows.measureColumns.size();
  std::vector<uint32_t> labelIds(rows.width, 0);
  for (std::size_t j = 0; j < rows.width; ++j) {
    if (labelled[j]) labelIds[j] = out.intern(j, kTotalLabel);
  }
  out.reserve(out.size() + level.size());
  std::vector<uint32_t> ids;
  std::string text;
  for (std::size_t g = 0; g < level.size(); ++g) {
    const uint32_t r = rows.dataRows[level.first(g)];
    ids.assign(out.rowIds(r), out.rowIds(r) + out.rowLength(r));
    for (std::size_t j = 0; j < rows.width; ++j) {
      if (labelled[j]) ids[j] = labelIds[j];
    }
    if (rows.aggregation != nullptr) {
      // Every total row carries its aggregate, a one-row group's included.
      for (std::size_t m = 0; m < measures; ++m) {
        const AggregateState& state = level.states[g * measures + m];
        rows.aggregation->write(state, rows.measureColumns[m], text);
        ids[rows.measureColumns[m]] = out.intern(rows.measureColumns[m], text);
        rows.aggregation->record(out.size(), rows.measureColumns[m], state);
      }
    } else if (level.count(g) >= 2) {
      const bool inMicros = sumsInMicros(rows, level, g);
      for (std::size_t m = 0; m < measures; ++m) {
        if (inMicros) {
          writeMicroUnits(level.micros[g * measures + m], text);
        } else {
          writeNumber(level.sum[g * measures + m], text);
        }
        ids[rows.measureColumns[m]] = out.intern(rows.measureColumns[m], text);
      }
    }
    out.appendIds(ids.data(), ids.size());
  }
}

// Appends to `out` the total rows of one axis: for each column of `columns`
// in turn, the column is relabelled "合计" in every data row and the rows
// are summed by group, so each step totals one level coarser than the one
// before and its groups are unions of the groups before.
void labelledTotals(const PassRows& rows, const std::vector<std::size_t>& columns, RowTable& out) {
  if (columns.empty()) return;
  const RowRef header = rows.table[0];
  std::vector<char> labelled(rows.width, 0);
  // A relabelled row can turn into a copy of the header only while every
  // labelled header cell is itself "合计"; such steps, and every step of a
  // list whose sums are not exact, go row by row (always the first steps).
  bool headerLabelled = true;
  Level level;
  const Level* current = &rows.rowsLevel;
  std::vector<uint32_t> rowGroup;
  if ((!rows.exact && rows.aggregation == nullptr) || header[columns[0]] == kTotalLabel) {
    // (also for watched magnitudes: large groups go row by row)
    rowGroup.resize(rows.dataRows.size());
    for (std::size_t i = 0; i < rowGroup.size(); ++i) rowGroup[i] = static_cast<uint32_t>(i);
  }
  for (std::size_t c : columns) {
    labelled[c] = 1;
    headerLabelled = headerLabelled && header[c] == kTotalLabel;
    const KeyGroups key = mergeGroups(rows, *current, c, labelled);
    if ((rows.exact || rows.aggregation != nullptr) && !headerLabelled) {
      level = sumByGroup(rows, *current, key);
    } else if (rows.watchesMagnitudes() && !headerLabelled) {
      level = sumByGroup(rows, *current, key);
      sumLargeGroups(rows, key, level, rowGroup);
    } else {
      level = sumByRow(rows, key, labelled, headerLabelled, rowGroup);
    }
    current = &level;
    appendGroupRows(rows, level, labelled, out);
  }
}

// The columns that the column totals relabel, right to left: right of the
// separator column (every column when there is none), measures left out.
std::vector<std::size_t> columnSideColumns(const CrossTab& tab, const RowRef& header) {
  const std::ptrdiff_t s = findSeparatorColumn(header, tab.separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = static_cast<std::ptrdiff_t>(header.size()) - 1; c > s; --c) {
    if (!tab.isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  return columns;
}

// The columns that the row totals relabel, right to left: left of the
// separator column (none when there is no separator column).
std::vector<std::size_t> rowSideColumns(const CrossTab& tab, const RowRef& header) {
  const std::ptrdiff_t s = findSeparatorColumn(header, tab.separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = s - 1; c >= 0; --c) {
    if (!tab.isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  return columns;
}

}  // namespace

RowTable CrossTab::sumGroups(const RowTable& list) const {
  RowTable result;
  if (list.empty()) return result;
  result.push_back(list[0]);
  RowTable work = list;
  const std::size_t n = work.size();
  {
    const PassRows rows(*this, work, 1, n);
    const std::vector<char> labelled(rows.width, 0);
    const KeyGroups key = mergeGroups(rows, rows.rowsLevel, kNoColumn, labelled);
    if (rows.exact) {
      appendGroupRows(rows, sumByGroup(rows, rows.rowsLevel, key), labelled, work);
    } else {
      std::vector<uint32_t> rowGroup(rows.dataRows.size());
      for (std::size_t i = 0; i < rowGroup.size(); ++i) rowGroup[i] = static_cast<uint32_t>(i);
      appendGroupRows(rows, sumByRow(rows, key, labelled, false, rowGroup), labelled, work);
    }
  }
  result.insert(result.end(), work.begin() + static_cast<std::ptrdiff_t>(n), work.end());
  return result;
}

void CrossTab::appendTotals(const RowTable& list, Axis axis) {
  if (list.empty()) return;
  auto columnsOf = [&](const RowRef& header) {
    return axis == Axis::kColumns ? columnSideColumns(*this, header) : rowSideColumns(*this, header);
  };
  if (&list == &rows) {
    labelledTotals(PassRows(*this, rows, 1, rows.size()), columnsOf(rows[0]), rows);
    return;
  }
  // Another table: its totals are made there, then copied over.
  RowTable work = list;
  const std::size_t n = work.size();
  labelledTotals(PassRows(*this, work, 1, n), columnsOf(work[0]), work);
  rows.insert(rows.end(), work.begin() + static_cast<std::ptrdiff_t>(n), work.end());
}

void CrossTab::appendColumnTotals(const RowTable& list) { appendTotals(list, Axis::kColumns); }

void CrossTab::appendRowTotals(const RowTable& list) { appendTotals(list, Axis::kRows); }

void CrossTab::runTotals() {
  Aggregation* aggregation = aggregation_.active() ? &aggregation_ : nullptr;
  switch (sumOption) {
    case 1:
      labelledTotals(PassRows(*this, rows, 1, rows.size(), aggregation), rowSideColumns(*this, rows[0]), rows);
      break;
    case 2:
      labelledTotals(PassRows(*this, rows, 1, rows.size(), aggregation), columnSideColumns(*this, rows[0]),
                     rows);
      break;
    case 3: {
      // Column totals, then the row totals of the input, then the row
      // totals of the column totals (the corner cells), in that order. The
      // first two read the same input, so they share what is read from it.
      const std::size_t inputEnd = rows.size();
      const std::vector<std::size_t> rowColumns = rowSideColumns(*this, rows[0]);
      std::size_t columnTotalsEnd = 0;
      {
        const PassRows input(*this, rows, 1, inputEnd, aggregation);
        labelledTotals(input, columnSideColumns(*this, rows[0]), rows);
        columnTotalsEnd = rows.size();
        labelledTotals(input, rowColumns, rows);
      }
      labelledTotals(PassRows(*this, rows, inputEnd, columnTotalsEnd, aggregation), rowColumns, rows);
      break;
    }
    default:
      break;
  }
}

}  // namespace tabulon
