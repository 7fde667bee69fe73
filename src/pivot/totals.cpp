// Totals: the passes that append total rows ("合计") to the rows of a
// CrossTab, and the number reading and writing behind their sums.
//
// A labelling pass totals one axis. It walks that axis' dimension columns
// from right to left; at each column every data row is relabelled "合计"
// there (a row that already holds "合计" drops out) and the rows are summed
// by group, so each step totals one level coarser than the one before. The
// relabelling is kept virtual: the input rows are never copied or changed,
// a flag per column says whether it holds the label. Grouping goes through
// a hash table keyed by the non-measure cells; since each step's groups are
// unions of the groups of the step before, a later step merges groups, not
// rows, and a pass costs time linear in rows times columns.
//
// The header row never forms or joins a group: a data row whose key cells
// happen to equal the column names is summed in a group of its own.
#include "pivot/totals.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "pivot/memory_budget.h"

namespace tabulon {

namespace {

// The "C" locale object, made once and kept (glibc hands out a static object
// for it); null only if the C library cannot make it.
locale_t cLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}

// Header positions that name a measure, ascending.
std::vector<std::size_t> measureColumnsOf(const CrossTab& tab, const Row& header) {
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (tab.isMeasureName(header[i])) columns.push_back(i);
  }
  return columns;
}

// A plain decimal text ("12.5", " -3", "8kg", ".5"): its digits read as
// one integer below 10^15, the count of those digits after the point, and
// its sign.
struct PlainDecimal {
  uint64_t digits = 0;
  int decimals = 0;
  bool negative = false;
};

// Splits a plain decimal text. Returns false for what it leaves to strtod:
// no digit, more than 15 digits, an exponent, hex, inf and nan.
bool parsePlainDecimal(const char* p, PlainDecimal& number) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '+' || *p == '-') number.negative = *p++ == '-';
  uint64_t n = 0;
  int digits = 0;
  int decimals = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) n = n * 10 + static_cast<uint64_t>(*p - '0');
  if (*p == '.') {
    for (++p; *p >= '0' && *p <= '9'; ++p, ++digits, ++decimals) {
      n = n * 10 + static_cast<uint64_t>(*p - '0');
    }
  }
  if (digits == 0 || digits > 15 || *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X') return false;
  number.digits = n;
  number.decimals = decimals;
  return true;
}

// Reads a plain decimal text exactly as strtod does: its digits divided by
// a power of ten in one correctly rounded division.
bool readPlainDecimal(const char* p, double& value) {
  static const double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  PlainDecimal number;
  if (!parsePlainDecimal(p, number)) return false;
  value = static_cast<double>(number.digits) / kPowers[number.decimals];
  if (number.negative) value = -value;
  return true;
}

// For |x| < 4.5e9: sets `n` to x * 10^6 rounded to the nearest integer,
// ties to even, exactly as printf rounds the binary value of x to six
// decimals, and returns true. False for larger magnitudes, inf and nan.
bool microUnits(double x, int64_t& n) {
  if (!(std::fabs(x) < 4.5e9)) return false;  // |x * 10^6| stays below 2^52
  const double p = x * 1e6;
  double rounded = 0;
  if (std::fabs(p) >= 0.25) {
    const double e = std::fma(x, 1e6, -p);  // x * 10^6 == p + e exactly
    rounded = std::nearbyint(p);
    const double d = p - rounded;  // exact
    // p lies halfway: the exact product decides unless it is a true tie.
    if (std::fabs(d) == 0.5 && e != 0 && (e > 0) == (d > 0)) rounded += d + d;
  }
  n = static_cast<int64_t>(rounded);
  return true;
}

// Writes n / 10^6 as writeNumber writes it: trailing zeros and a bare point
// dropped, 0 without a sign.
void writeMicroUnits(int64_t n, std::string& out) {
  uint64_t u = n < 0 ? static_cast<uint64_t>(-n) : static_cast<uint64_t>(n);
  char text[32];
  char* const end = text + sizeof text;
  char* at = end;
  uint64_t fraction = u % 1000000;
  u /= 1000000;
  if (fraction != 0) {
    int places = 6;
    while (fraction % 10 == 0) fraction /= 10, --places;
    while (places-- > 0) *--at = static_cast<char>('0' + fraction % 10), fraction /= 10;
    *--at = '.';
  }
  do *--at = static_cast<char>('0' + u % 10), u /= 10;
  while (u != 0);
  if (n < 0) *--at = '-';
  out.assign(at, static_cast<std::size_t>(end - at));
}

// What readNumber reads back from the text that writeNumber writes for x:
// the running total after an addition, rounded to six decimals.
double readBack(double x) {
  int64_t n = 0;
  // n / 10^6 in one correctly rounded division, as readNumber reads it.
  if (microUnits(x, n)) return static_cast<double>(n) / 1e6;
  std::string text;
  writeNumber(x, text);
  return readNumber(text);
}

// A hash of a short text, eight bytes at a time.
uint64_t hashText(const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  uint64_t h = left * 0x9e3779b97f4a7c15ULL;
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * 0xff51afd7ed558ccdULL;
    h ^= h >> 29;
  }
  uint64_t word = 0;
  std::memcpy(&word, p, left);
  h = (h ^ word) * 0xc4ceb9fe1a85ec53ULL;
  return h ^ (h >> 32);
}

uint64_t mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

// Open-addressing table (linear probing) from a group key's hash to the
// group's number; the caller compares the keys themselves. A slot holds the
// upper half of the hash, which also places it, and a 32-bit group number:
// eight bytes, so that large tables stay small in the cache.
class GroupTable {
 public:
  static constexpr uint32_t kEmpty = std::numeric_limits<uint32_t>::max();

  GroupTable() : slots_(64) {}

  // The group whose key `sameKey(group)` confirms, or kEmpty.
  template <typename SameKey>
  std::size_t find(uint64_t hash, SameKey sameKey) const {
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.group == kEmpty) return kEmpty;
      if (slot.tag == tag && sameKey(slot.group)) return slot.group;
    }
  }

  // The group whose key `sameKey(group)` confirms, or `fresh` after
  // recording it under `hash` as a new group.
  template <typename SameKey>
  std::size_t findOrAdd(uint64_t hash, std::size_t fresh, SameKey sameKey) {
    if (fresh >= kEmpty) throw std::length_error("too many total groups");
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.group == kEmpty) {
        slot = Slot{tag, static_cast<uint32_t>(fresh)};
        ++count_;
        return fresh;
      }
      if (slot.tag == tag && sameKey(slot.group)) return slot.group;
    }
  }

 private:
  struct Slot {
    uint32_t tag = 0;
    uint32_t group = kEmpty;
  };

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.group == kEmpty) continue;
      std::size_t at = slot.tag & mask;
      while (slots_[at].group != kEmpty) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

constexpr uint32_t kNoGroup = std::numeric_limits<uint32_t>::max();

// Sums of the measure texts of one list stay exact in integer millionths
// while every text reads as a whole number of millionths and the sum of all
// their magnitudes stays within this bound: every partial sum then lies so
// far below 2^53 millionths that adding two such numbers in double precision
// and rounding to six decimals, as the totals do after each addition, gives
// exactly the integer sum.
constexpr uint64_t kExactMicros = uint64_t{1} << 50;

// Numbers for the distinct texts of one column, in order of first
// appearance. Holds pointers to the texts it has seen, which must outlive it.
class TextIds {
 public:
  uint32_t idOf(const std::string& text) {
    if (last_ != nullptr && *last_ == text) return lastId_;  // sorted input repeats
    const std::size_t id = table_.findOrAdd(hashText(text), texts_.size(),
                                            [&](std::size_t found) { return *texts_[found] == text; });
    if (id == texts_.size()) texts_.push_back(&text);
    last_ = &text;
    lastId_ = static_cast<uint32_t>(id);
    return lastId_;
  }

  // The number of `text`, or GroupTable::kEmpty when it never appeared.
  uint32_t find(const std::string& text) const {
    return static_cast<uint32_t>(
        table_.find(hashText(text), [&](std::size_t found) { return *texts_[found] == text; }));
  }

 private:
  GroupTable table_;
  std::vector<const std::string*> texts_;
  const std::string* last_ = nullptr;
  uint32_t lastId_ = 0;
};

// The groups of one step, in the order of their first rows.
struct Level {
  std::size_t size() const { return firstRow.size(); }

  std::vector<uint32_t> firstRow;  // per group: its first data row (PassRows::dataRows)
  std::vector<uint64_t> hash;      // per group: the hash of its key
  std::vector<uint32_t> rowCount;  // per group: the rows it sums
  // Per group and measure. Exact lists: the sum in millionths. Others: the
  // running total as its text reads back, and the latest unrounded sum.
  std::vector<int64_t> micros;
  std::vector<double> total;
  std::vector<double> sum;
};

// The data rows of one row list and what every totals step needs of them,
// read once and shared by the passes over that list. A row's key is its
// length and its texts outside the measure columns; each key text is held
// as the number of that text in its column, so that grouping compares
// numbers, not texts. A key's hash is a sum of one term per key cell, so
// relabelling a column takes that column's term out of the hash without
// rehashing the rest.
//
// When the list's sums stay exact (kExactMicros), they are kept in integers
// and the order of the additions no longer matters: each step then sums the
// groups of the step before instead of the rows.
struct PassRows {
  PassRows(const CrossTab& tab, const RowTable& rows);

  static uint64_t keyTerm(std::size_t position, uint32_t id) {
    return mix((static_cast<uint64_t>(position) << 32) + id);
  }
  const uint32_t* keyOf(std::size_t i) const { return keyIds.data() + i * keyColumns.size(); }
  // The position of `column` (a key column) in keyColumns.
  std::size_t positionOf(std::size_t column) const {
    return static_cast<std::size_t>(
        std::lower_bound(keyColumns.begin(), keyColumns.end(), column) - keyColumns.begin());
  }

  // The number of a cell past a row's end; never a text's number, nor the
  // number of a "合计" that never appears (GroupTable::kEmpty).
  static constexpr uint32_t kAbsent = GroupTable::kEmpty - 1;

  const RowTable& list;
  const std::size_t width;                  // the header's cells
  std::vector<std::size_t> measureColumns;  // ascending
  // The key columns, ascending: the header's non-measure columns, then
  // every column past the header's width that some data row reaches.
  std::vector<std::size_t> keyColumns;
  std::vector<uint32_t> totalIds;  // per key column: the number of "合计" there
  std::vector<uint32_t> dataRows;  // the rows that take part, ascending
  std::vector<uint32_t> keyIds;    // per data row and key column: the text's number
  std::vector<double> values;      // per data row and measure: the number read
  // The data rows as groups of one row each, where the steps start: their
  // key hashes and, when exact, their values in millionths.
  Level rowsLevel;
  bool exact = true;
  ChargedBytes charge;  // the memory budget's share of the tables above

 private:
  // Sets the millionths of data row `i` (`row`) and returns true when all
  // its measure texts are exact, counting their magnitudes in `magnitude`.
  bool readMicros(const Row& row, std::size_t i, std::vector<uint64_t>& magnitude);
  // Sets the numbers of data row `i` (`row`).
  void readValues(const Row& row, std::size_t i);
};

PassRows::PassRows(const CrossTab& tab, const RowTable& rows) : list(rows), width(rows[0].size()) {
  if (list.size() >= kAbsent) throw std::length_error("too many rows for totals");
  const Row& header = list[0];
  measureColumns = measureColumnsOf(tab, header);
  std::vector<char> isMeasure(width, 0);
  for (std::size_t i : measureColumns) isMeasure[i] = 1;
  // Rows longer than the header add key columns past its width.
  std::size_t longest = width;
  for (const Row& row : list) longest = std::max(longest, row.size());
  for (std::size_t j = 0; j < longest; ++j) {
    if (j >= width || !isMeasure[j]) keyColumns.push_back(j);
  }
  const std::size_t keys = keyColumns.size();
  const std::size_t measures = measureColumns.size();
  std::vector<TextIds> ids(keys);
  std::vector<uint64_t> magnitude(measures, 0);
  // Charged before they are made: the per-row tables below, the text
  // numbers of every key column and the groups of a step or two.
  charge.hold(list.size() * (40 + 28 * keys + 64 * measures));
  dataRows.reserve(list.size());
  rowsLevel.hash.reserve(list.size());
  keyIds.resize(list.size() * keys);
  std::vector<int64_t>& micros = rowsLevel.micros;
  micros.resize(list.size() * measures);
  for (std::size_t r = 1; r < list.size(); ++r) {
    const Row& row = list[r];
    if (!isFullRow(row, header)) continue;
    const std::size_t i = dataRows.size();
    dataRows.push_back(static_cast<uint32_t>(r));
    uint32_t* key = keyIds.data() + i * keys;
    uint64_t h = 0;
    for (std::size_t p = 0; p < keys; ++p) {
      const std::size_t j = keyColumns[p];
      key[p] = j < row.size() ? ids[p].idOf(row[j]) : kAbsent;
      h += keyTerm(p, key[p]);
    }
    rowsLevel.hash.push_back(h);
    if (exact && readMicros(row, i, magnitude)) continue;
    if (exact) {
      // The first text that is not exact: from here on the list is summed
      // as numbers, so read those of the rows before as well.
      exact = false;
      for (std::size_t k = 0; k < i; ++k) readValues(list[dataRows[k]], k);
    }
    readValues(row, i);
  }
  keyIds.resize(dataRows.size() * keys);
  if (exact) {
    micros.resize(dataRows.size() * measures);
  } else {
    std::vector<int64_t>().swap(micros);
  }
  rowsLevel.firstRow.resize(dataRows.size());
  for (std::size_t i = 0; i < dataRows.size(); ++i) rowsLevel.firstRow[i] = static_cast<uint32_t>(i);
  rowsLevel.rowCount.assign(dataRows.size(), 1);
  if (exact) {
    std::vector<double>().swap(values);
  } else {
    values.resize(dataRows.size() * measures);
  }
  const std::string label = kTotalLabel;
  totalIds.resize(keys);
  for (std::size_t p = 0; p < keys; ++p) totalIds[p] = ids[p].find(label);
}

bool PassRows::readMicros(const Row& row, std::size_t i, std::vector<uint64_t>& magnitude) {
  static const int64_t kScales[] = {1000000, 100000, 10000, 1000, 100, 10, 1};
  const std::size_t measures = measureColumns.size();
  for (std::size_t m = 0; m < measures; ++m) {
    const std::string& text = row[measureColumns[m]];
    int64_t n = 0;
    PlainDecimal number;
    if (parsePlainDecimal(text.c_str(), number)) {
      // Millionths without a division: the digits scaled by a power of ten.
      if (number.decimals > 6) return false;
      const int64_t scale = kScales[number.decimals];
      if (number.digits > kExactMicros / static_cast<uint64_t>(scale)) return false;
      n = static_cast<int64_t>(number.digits) * scale;
      if (number.negative) n = -n;
    } else {
      const double value = readNumber(text);  // "", "abc", "1e3", ...
      if (!microUnits(value, n) || static_cast<double>(n) / 1e6 != value) return false;
    }
    magnitude[m] += static_cast<uint64_t>(n < 0 ? -n : n);
    if (magnitude[m] > kExactMicros) return false;
    rowsLevel.micros[i * measures + m] = n;
  }
  return true;
}

void PassRows::readValues(const Row& row, std::size_t i) {
  const std::size_t measures = measureColumns.size();
  if (values.size() < (i + 1) * measures) values.resize(list.size() * measures);
  for (std::size_t m = 0; m < measures; ++m) {
    values[i * measures + m] = readNumber(row[measureColumns[m]]);
  }
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
  auto sameKey = [&](uint32_t a, uint32_t b) {
    const uint32_t* x = rows.keyOf(a);
    const uint32_t* y = rows.keyOf(b);
    for (std::size_t p : compared) {
      if (x[p] != y[p]) return false;
    }
    return true;
  };
  const std::size_t position = column == kNoColumn ? 0 : rows.positionOf(column);

  KeyGroups key;
  key.parent.assign(level.size(), kNoGroup);
  GroupTable table;
  uint32_t previous = kNoGroup;
  for (std::size_t g = 0; g < level.size(); ++g) {
    const uint32_t first = level.firstRow[g];
    uint64_t h = level.hash[g];
    if (column != kNoColumn) {
      const uint32_t id = rows.keyOf(first)[position];
      if (id == rows.totalIds[position]) continue;
      h -= PassRows::keyTerm(position, id);
    }
    // Sorted input brings the members of a group together: try the key
    // group of the previous member before the table.
    std::size_t k;
    if (previous != kNoGroup && key.hash[previous] == h && sameKey(key.keyRow[previous], first)) {
      k = previous;
    } else {
      k = table.findOrAdd(h, key.keyRow.size(),
                          [&](std::size_t found) { return sameKey(key.keyRow[found], first); });
    }
    if (k == key.keyRow.size()) {
      key.keyRow.push_back(first);
      key.hash.push_back(h);
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
  next.micros.assign(key.keyRow.size() * measures, 0);
  for (std::size_t g = 0; g < level.size(); ++g) {
    const uint32_t k = key.parent[g];
    if (k == kNoGroup) continue;
    next.rowCount[k] += level.rowCount[g];
    for (std::size_t m = 0; m < measures; ++m) {
      next.micros[k * measures + m] += level.micros[g * measures + m];
    }
  }
  return next;
}

// True when `row`, with the label in the `labelled` columns, equals `header`.
bool copiesHeader(const Row& row, const Row& header, const std::vector<char>& labelled) {
  if (row.size() != header.size()) return false;
  for (std::size_t j = 0; j < header.size(); ++j) {
    if (!labelled[j] && row[j] != header[j]) return false;
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
  const RowTable& list = rows.list;
  const std::size_t measures = rows.measureColumns.size();
  std::vector<uint32_t> order(key.keyRow.size(), kNoGroup);
  Level next;
  for (std::size_t i = 0; i < rows.dataRows.size(); ++i) {
    if (rowGroup[i] == kNoGroup) continue;
    const uint32_t k = key.parent[rowGroup[i]];
    if (k == kNoGroup || (headerLabelled && copiesHeader(list[rows.dataRows[i]], list[0], labelled))) {
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
      if (rows.exact) {
        const auto first = rows.rowsLevel.micros.begin() + static_cast<std::ptrdiff_t>(i * measures);
        next.micros.insert(next.micros.end(), first, first + static_cast<std::ptrdiff_t>(measures));
      } else {
        next.total.insert(next.total.end(), rows.values.begin() + i * measures,
                          rows.values.begin() + (i + 1) * measures);
        next.sum.resize(next.total.size());
      }
      continue;
    }
    ++next.rowCount[g];
    for (std::size_t m = 0; m < measures; ++m) {
      const std::size_t at = g * measures + m;
      if (rows.exact) {
        next.micros[at] += rows.rowsLevel.micros[i * measures + m];
      } else {
        next.sum[at] = next.total[at] + rows.values[i * measures + m];
        next.total[at] = readBack(next.sum[at]);
      }
    }
  }
  return next;
}

// Appends to `out` one row per group of `level`: a copy of its first row
// with the label in the `labelled` columns and, when it sums more than one
// row, its sums in the measure columns (a one-row group keeps its texts).
void appendGroupRows(const PassRows& rows, const Level& level, const std::vector<char>& labelled,
                     RowTable& out) {
  const std::size_t measures = rows.measureColumns.size();
  out.reserve(out.size() + level.size());
  for (std::size_t g = 0; g < level.size(); ++g) {
    out.push_back(rows.list[rows.dataRows[level.firstRow[g]]]);
    Row& total = out.back();
    for (std::size_t j = 0; j < rows.width; ++j) {
      if (labelled[j]) total[j] = kTotalLabel;
    }
    if (level.rowCount[g] < 2) continue;
    for (std::size_t m = 0; m < measures; ++m) {
      std::string& text = total[rows.measureColumns[m]];
      if (rows.exact) {
        writeMicroUnits(level.micros[g * measures + m], text);
      } else {
        writeNumber(level.sum[g * measures + m], text);
      }
    }
  }
}

// Appends to `out` the total rows of one axis: for each column of `columns`
// in turn, the column is relabelled "合计" in every data row and the rows
// are summed by group, so each step totals one level coarser than the one
// before and its groups are unions of the groups before.
void labelledTotals(const PassRows& rows, const std::vector<std::size_t>& columns, RowTable& out) {
  if (columns.empty()) return;
  const Row& header = rows.list[0];
  std::vector<char> labelled(rows.width, 0);
  // A relabelled row can turn into a copy of the header only while every
  // labelled header cell is itself "合计"; such steps, and every step of a
  // list whose sums are not exact, go row by row (always the first steps).
  bool headerLabelled = true;
  Level level;
  const Level* current = &rows.rowsLevel;
  std::vector<uint32_t> rowGroup;
  if (!rows.exact || header[columns[0]] == kTotalLabel) {
    rowGroup.resize(rows.dataRows.size());
    for (std::size_t i = 0; i < rowGroup.size(); ++i) rowGroup[i] = static_cast<uint32_t>(i);
  }
  for (std::size_t c : columns) {
    labelled[c] = 1;
    headerLabelled = headerLabelled && header[c] == kTotalLabel;
    const KeyGroups key = mergeGroups(rows, *current, c, labelled);
    if (rows.exact && !headerLabelled) {
      level = sumByGroup(rows, *current, key);
    } else {
      level = sumByRow(rows, key, labelled, headerLabelled, rowGroup);
    }
    current = &level;
    appendGroupRows(rows, level, labelled, out);
  }
}

// The columns that the column totals relabel, right to left: right of the
// separator column (every column when there is none), measures left out.
std::vector<std::size_t> columnSideColumns(const CrossTab& tab, const Row& header) {
  const std::ptrdiff_t s = findSeparatorColumn(header, tab.separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = static_cast<std::ptrdiff_t>(header.size()) - 1; c > s; --c) {
    if (!tab.isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  return columns;
}

// The columns that the row totals relabel, right to left: left of the
// separator column (none when there is no separator column).
std::vector<std::size_t> rowSideColumns(const CrossTab& tab, const Row& header) {
  const std::ptrdiff_t s = findSeparatorColumn(header, tab.separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = s - 1; c >= 0; --c) {
    if (!tab.isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  return columns;
}

// Moves `totals`, from its row `from` on, to the end of `rows`. Called only
// after the passes are done with their input, which may be `rows` itself.
void appendRows(RowTable& rows, RowTable&& totals, std::size_t from = 0) {
  for (std::size_t r = from; r < totals.size(); ++r) chargeRow(totals[r]);
  rows.insert(rows.end(), std::make_move_iterator(totals.begin() + static_cast<std::ptrdiff_t>(from)),
              std::make_move_iterator(totals.end()));
}

}  // namespace

double readNumber(const std::string& text) {
  double value = 0;
  if (readPlainDecimal(text.c_str(), value)) return value;
  const locale_t c = cLocale();
  return c != nullptr ? strtod_l(text.c_str(), nullptr, c) : std::strtod(text.c_str(), nullptr);
}

void writeNumber(double value, std::string& out) {
  int64_t n = 0;
  if (microUnits(value, n)) {
    writeMicroUnits(n, out);
    return;
  }
  // The longest "%.6f" text of a double: sign, 309 integer digits, point and
  // six decimals. std::to_chars formats as printf does in the "C" locale.
  constexpr std::size_t kLongest = 1 + (std::numeric_limits<double>::max_exponent10 + 1) + 1 + 6;
  char text[kLongest + 8];
  const std::to_chars_result written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (written.ec != std::errc()) {  // cannot happen: the buffer fits any double
    out.clear();
    return;
  }
  std::size_t length = static_cast<std::size_t>(written.ptr - text);
  while (length > 0 && text[length - 1] == '0') {
    --length;
    if (length > 0 && text[length - 1] == '.') {
      --length;
      break;
    }
  }
  out.assign(text, length);  // never "-0": that only comes from small sums
}

void addToTotal(Row& total, const Row& row, int i) {
  if (i < 0) return;
  const std::size_t at = static_cast<std::size_t>(i);
  if (at >= total.size() || at >= row.size()) return;
  const double sum = readNumber(total[at]) + readNumber(row[at]);
  writeNumber(sum, total[at]);
}

RowTable CrossTab::sumGroups(const RowTable& list) const {
  RowTable result;
  if (list.empty()) return result;
  result.push_back(list[0]);
  const PassRows rows(*this, list);
  const std::vector<char> labelled(rows.width, 0);
  const KeyGroups key = mergeGroups(rows, rows.rowsLevel, kNoColumn, labelled);
  if (rows.exact) {
    appendGroupRows(rows, sumByGroup(rows, rows.rowsLevel, key), labelled, result);
  } else {
    std::vector<uint32_t> rowGroup(rows.dataRows.size());
    for (std::size_t i = 0; i < rowGroup.size(); ++i) rowGroup[i] = static_cast<uint32_t>(i);
    appendGroupRows(rows, sumByRow(rows, key, labelled, false, rowGroup), labelled, result);
  }
  return result;
}

void CrossTab::appendColumnTotals(const RowTable& list) {
  if (list.empty()) return;
  RowTable totals;
  labelledTotals(PassRows(*this, list), columnSideColumns(*this, list[0]), totals);
  appendRows(rows, std::move(totals));
}

void CrossTab::appendRowTotals(const RowTable& list) {
  if (list.empty()) return;
  RowTable totals;
  labelledTotals(PassRows(*this, list), rowSideColumns(*this, list[0]), totals);
  appendRows(rows, std::move(totals));
}

void CrossTab::runTotals() {
  switch (sumOption) {
    case 1:
      appendRowTotals(rows);
      break;
    case 2:
      appendColumnTotals(rows);
      break;
    case 3: {
      // Column totals, then the row totals of the input, then the row
      // totals of the column totals (the corner cells), in that order. The
      // first two read the same input, so they share what is read from it.
      const Row& header = rows[0];
      const std::vector<std::size_t> rowColumns = rowSideColumns(*this, header);
      RowTable columnTotals{header};
      RowTable rowTotals;
      {
        const PassRows input(*this, rows);
        labelledTotals(input, columnSideColumns(*this, header), columnTotals);
        labelledTotals(input, rowColumns, rowTotals);
      }
      RowTable cornerTotals;
      labelledTotals(PassRows(*this, columnTotals), rowColumns, cornerTotals);
      appendRows(rows, std::move(columnTotals), 1);
      appendRows(rows, std::move(rowTotals));
      appendRows(rows, std::move(cornerTotals));
      break;
    }
    default:
      break;
  }
}

}  // namespace tabulon
