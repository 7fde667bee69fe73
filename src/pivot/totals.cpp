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
//
// What a pass reads of its rows lies in pass_rows.h, the grouping step in
// group_merge.h and the arithmetic of the texts in decimal_text.h; this
// file holds the summing steps and the passes.
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
#include "pivot/group_merge.h"
#include "pivot/labels.h"
#include "pivot/memory_budget.h"
#include "pivot/open_table.h"
#include "pivot/pass_rows.h"

namespace tabulon {

namespace {

using namespace totals;

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
      addMagnitude(next.magnitude[k * measures + m], rows.magnitudeAt(level, g, m));
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
  const Level& rowLevel = rows.rowLevel();
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
          rows.addState(next.states.back(), rowLevel, i, m);
        }
      } else if (rows.exact) {
        const auto first = rowLevel.micros.begin() + static_cast<std::ptrdiff_t>(i * measures);
        next.micros.insert(next.micros.end(), first, first + static_cast<std::ptrdiff_t>(measures));
      } else {
        for (std::size_t m = 0; m < measures; ++m) next.total.push_back(rows.valueAt(i, m));
        next.sum.resize(next.total.size());
        if (rows.watchesMagnitudes()) {
          for (std::size_t m = 0; m < measures; ++m) {
            next.micros.push_back(rowLevel.micros[i * measures + m]);
            next.magnitude.push_back(rows.magnitudeAt(rowLevel, i, m));
          }
        }
      }
      continue;
    }
    ++next.rowCount[g];
    if (rows.aggregation != nullptr) {
      for (std::size_t m = 0; m < measures; ++m) rows.addState(next.states[g * measures + m], rowLevel, i, m);
      continue;
    }
    for (std::size_t m = 0; m < measures; ++m) {
      const std::size_t at = g * measures + m;
      if (rows.exact) {
        next.micros[at] += rowLevel.micros[i * measures + m];
      } else {
        next.sum[at] = next.total[at] + rows.valueAt(i, m);
        next.total[at] = readBack(next.sum[at]);
        if (!rows.watchesMagnitudes()) continue;
        next.micros[at] += rowLevel.micros[i * measures + m];
        addMagnitude(next.magnitude[at], rows.magnitudeAt(rowLevel, i, m));
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
// True when the leaf groups of `rows` are worth making: when the first
// rows repeat their keys, so that the groups are much fewer than the rows.
// (A GROUP BY result, one row per leaf, would only pay for them.)
bool leavesPay(const PassRows& rows) {
  const std::size_t n = std::min(kLeafSample, rows.dataRows.size());
  std::vector<uint64_t> sample(n);
  for (std::size_t i = 0; i < n; ++i) sample[i] = rows.rowHash(i);
  std::sort(sample.begin(), sample.end());
  const std::size_t distinct =
      static_cast<std::size_t>(std::unique(sample.begin(), sample.end()) - sample.begin());
  return distinct * 2 <= n;
}

// The leaf groups of `rows` (every key column compared), made once.
const Level& leafGroups(const PassRows& rows) {
  if (!rows.leavesMade) {
    const std::vector<char> none(rows.width, 0);
    const KeyGroups key = mergeGroups(rows, rows.rowLevel(), kNoColumn, none);
    rows.leaves = sumByGroup(rows, rows.rowLevel(), key);
    rows.leafOfRow = key.parent;
    rows.leavesMade = true;
  }
  return rows.leaves;
}

// With `fromLeaves` (a list that several passes read) the steps start from
// its leaf groups, made once, instead of from its rows, when they go by
// group.
void labelledTotals(const PassRows& rows, const std::vector<std::size_t>& columns, RowTable& out,
                    bool fromLeaves = false) {
  if (columns.empty()) return;
  const RowRef header = rows.table[0];
  std::vector<char> labelled(rows.width, 0);
  // A relabelled row can turn into a copy of the header only while every
  // labelled header cell is itself "合计"; such steps, and every step of a
  // list whose sums are not exact, go row by row (always the first steps).
  bool headerLabelled = true;
  Level level;
  const Level* current = nullptr;
  std::vector<uint32_t> rowGroup;
  if ((!rows.exact && rows.aggregation == nullptr) || header[columns[0]] == kTotalLabel) {
    // (also for watched magnitudes: large groups go row by row)
    rowGroup.resize(rows.dataRows.size());
    for (std::size_t i = 0; i < rowGroup.size(); ++i) rowGroup[i] = static_cast<uint32_t>(i);
  }
  const bool byGroup = rows.exact || rows.aggregation != nullptr || rows.watchesMagnitudes();
  if (fromLeaves && byGroup && header[columns[0]] != kTotalLabel &&
      (rows.leavesMade || leavesPay(rows))) {
    // Rows with equal keys stay together in every step: start from them.
    current = &leafGroups(rows);
    if (rows.watchesMagnitudes()) rowGroup = rows.leafOfRow;
  }
  if (current == nullptr) current = &rows.rowLevel();
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
  const std::ptrdiff_t s = findSeparatorColumn(header, tab.options().separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = static_cast<std::ptrdiff_t>(header.size()) - 1; c > s; --c) {
    if (!tab.isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  return columns;
}

// The columns that the row totals relabel, right to left: left of the
// separator column (none when there is no separator column).
std::vector<std::size_t> rowSideColumns(const CrossTab& tab, const RowRef& header) {
  const std::ptrdiff_t s = findSeparatorColumn(header, tab.options().separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = s - 1; c >= 0; --c) {
    if (!tab.isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  return columns;
}

// Keeps the leaf groups of `rows`, the rows [first, last) of their table,
// when they were made, by row, for grouping the rows by their keys later.
void keepLeaves(const PassRows& rows, std::size_t first, std::size_t last, KnownGroups& known) {
  known.clear();
  if (!rows.leavesMade || rows.leaves.size() == 0) return;
  known.charge.hold((last - first) * sizeof(uint32_t));
  known.first = first;
  known.count = rows.leaves.size();
  if (rows.dataRows.size() == last - first) {
    // Every row takes part: the rows' leaves are already by row. This is
    // the list's last use, so they are taken over, not copied.
    known.ofRow = std::move(rows.leafOfRow);
    return;
  }
  known.ofRow.assign(last - first, KnownGroups::kNone);
  for (std::size_t i = 0; i < rows.dataRows.size(); ++i) {
    known.ofRow[rows.dataRows[i] - first] = rows.leafOfRow[i];
  }
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
    const KeyGroups key = mergeGroups(rows, rows.rowLevel(), kNoColumn, labelled);
    if (rows.exact) {
      appendGroupRows(rows, sumByGroup(rows, rows.rowLevel(), key), labelled, work);
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
  if (&list == &rows_) {
    labelledTotals(PassRows(*this, rows_, 1, rows_.size()), columnsOf(rows_[0]), rows_);
    return;
  }
  // Another table: its totals are made there, then copied over.
  RowTable work = list;
  const std::size_t n = work.size();
  labelledTotals(PassRows(*this, work, 1, n), columnsOf(work[0]), work);
  rows_.insert(rows_.end(), work.begin() + static_cast<std::ptrdiff_t>(n), work.end());
}

void CrossTab::appendColumnTotals(const RowTable& list) { appendTotals(list, Axis::kColumns); }

void CrossTab::appendRowTotals(const RowTable& list) { appendTotals(list, Axis::kRows); }

void CrossTab::runTotals() {
  Aggregation* aggregation = aggregation_.active() ? &aggregation_ : nullptr;
  switch (options_.sumOption) {
    case SumOption::kRows:
      labelledTotals(PassRows(*this, rows_, 1, rows_.size(), aggregation), rowSideColumns(*this, rows_[0]),
                     rows_);
      break;
    case SumOption::kColumns:
      labelledTotals(PassRows(*this, rows_, 1, rows_.size(), aggregation), columnSideColumns(*this, rows_[0]),
                     rows_);
      break;
    case SumOption::kBoth: {
      // Column totals, then the row totals of the input, then the row
      // totals of the column totals (the corner cells), in that order. The
      // first two read the same input, so they share what is read from it.
      const std::size_t inputEnd = rows_.size();
      const std::vector<std::size_t> rowColumns = rowSideColumns(*this, rows_[0]);
      std::size_t columnTotalsEnd = 0;
      {
        const PassRows input(*this, rows_, 1, inputEnd, aggregation, LeafGrouping::kWhileReading);
        labelledTotals(input, columnSideColumns(*this, rows_[0]), rows_, true);
        columnTotalsEnd = rows_.size();
        labelledTotals(input, rowColumns, rows_, true);
        keepLeaves(input, 1, inputEnd, inputLeaves_);
      }
      labelledTotals(PassRows(*this, rows_, inputEnd, columnTotalsEnd, aggregation), rowColumns, rows_);
      break;
    }
    case SumOption::kNone:
      break;
  }
}

}  // namespace tabulon
