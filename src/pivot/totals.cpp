// Totals: the passes that append total rows ("合计") to the rows of a
// CrossTab, and the number reading and writing behind their sums.
//
// A labelling pass totals one axis. It walks that axis' dimension columns
// from right to left; at each column every counted row is relabelled "合计"
// there (a row that already holds "合计" drops out) and the rows are summed
// by group, so each step totals one level coarser than the one before. The
// relabelling is kept virtual: the input rows are never copied or changed,
// a flag per row says whether it still counts and a flag per column whether
// it holds the label. Grouping goes through a hash table keyed by the
// non-measure cells, so a pass costs time linear in rows times columns.
//
// The header row never forms or joins a group: a data row whose key cells
// happen to equal the column names is summed in a group of its own.
#include "pivot/totals.h"

#include <locale.h>

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

// Reads a plain decimal text ("12.5", " -3", "8kg", ".5") exactly as strtod
// does: its digits form an integer below 10^15, divided by a power of ten in
// one correctly rounded division. Returns false for what it leaves to
// strtod: no digit, more than 15 digits, an exponent, hex, inf and nan.
bool readPlainDecimal(const char* p, double& value) {
  static const double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
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
  value = static_cast<double>(n) / kPowers[decimals];
  if (negative) value = -value;
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
  GroupTable() : slots_(64) {}

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
  static constexpr uint32_t kEmpty = std::numeric_limits<uint32_t>::max();
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

// The rows of one totals pass and what each step needs of them. A row's
// key is its length and its texts outside the measure columns; its hash is
// a sum of one term per key cell, so relabelling a column takes that
// column's term out of every counted row's hash without rehashing the rest.
struct PassRows {
  PassRows(const CrossTab& tab, const RowTable& rows) : list(rows), width(rows[0].size()) {
    const Row& header = list[0];
    measureColumns = measureColumnsOf(tab, header);
    std::vector<char> isMeasure(width, 0);
    for (std::size_t i : measureColumns) isMeasure[i] = 1;
    const std::size_t measures = measureColumns.size();
    counted.assign(list.size(), 0);
    keyHash.assign(list.size(), 0);
    values.assign(list.size() * measures, 0.0);
    for (std::size_t r = 1; r < list.size(); ++r) {
      const Row& row = list[r];
      if (!isFullRow(row, header)) continue;
      counted[r] = 1;
      uint64_t h = mix(row.size());
      for (std::size_t j = 0; j < row.size(); ++j) {
        if (j >= width || !isMeasure[j]) h += cellTerm(j, row[j]);
      }
      keyHash[r] = h;
      for (std::size_t m = 0; m < measures; ++m) {
        values[r * measures + m] = readNumber(row[measureColumns[m]]);
      }
    }
  }

  static uint64_t cellTerm(std::size_t column, const std::string& text) {
    return mix(hashText(text) + column * 0x9e3779b97f4a7c15ULL);
  }

  const RowTable& list;
  const std::size_t width;                  // the header's cells
  std::vector<std::size_t> measureColumns;  // ascending
  std::vector<char> counted;                // per row: takes part in this step
  std::vector<uint64_t> keyHash;            // per counted row: hash of its key
  std::vector<double> values;               // per row and measure: the number read
};

// Appends to `out` one row per group of the counted rows (row 0 is the
// header), in the order in which the groups first occur. Rows group together
// when they have the same length and the same texts outside the measure
// columns; rows of different lengths never do. Columns flagged in `labelled`
// hold "合计" in every counted row and are left out of the key. A group's
// row is a copy of its first row (so a one-row group keeps its texts);
// every further row is added into its measure cells, in row order and
// column order, exactly as addToTotal adds: the running totals are kept as
// the numbers that their texts would read back as, and written as text once
// the group is complete.
void appendGroups(const PassRows& rows, const std::vector<char>& labelled, RowTable& out) {
  const RowTable& list = rows.list;
  const std::size_t width = rows.width;
  const std::vector<std::size_t>& measureColumns = rows.measureColumns;
  std::vector<char> skip = labelled;  // columns that are not part of the key
  for (std::size_t i : measureColumns) skip[i] = 1;
  std::vector<std::size_t> keyColumns;
  for (std::size_t j = 0; j < width; ++j) {
    if (!skip[j]) keyColumns.push_back(j);
  }
  // Cells past the header's width belong to the key as well.
  auto sameKey = [&](const Row& a, const Row& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t j : keyColumns) {
      if (a[j] != b[j]) return false;
    }
    for (std::size_t j = width; j < a.size(); ++j) {
      if (a[j] != b[j]) return false;
    }
    return true;
  };

  // Per group and measure: the total as read back, and the latest sum.
  struct Running {
    double total;
    double sum;
  };
  const std::size_t measures = measureColumns.size();
  std::vector<Running> running;
  std::vector<char> summed;           // per group: a second row was added
  std::vector<std::size_t> firstRow;  // per group: its first row in `list`
  const std::size_t base = out.size();
  GroupTable groups;
  std::size_t previousRow = 0;
  std::size_t previousGroup = 0;
  for (std::size_t r = 1; r < list.size(); ++r) {
    if (!rows.counted[r]) continue;
    const Row& row = list[r];
    const double* values = rows.values.data() + r * measures;
    // Sorted input brings the rows of a group together: try the group of the
    // previous counted row before the table.
    std::size_t g;
    if (!firstRow.empty() && rows.keyHash[r] == rows.keyHash[previousRow] &&
        sameKey(list[firstRow[previousGroup]], row)) {
      g = previousGroup;
    } else {
      g = groups.findOrAdd(rows.keyHash[r], firstRow.size(), [&](std::size_t group) {
        return sameKey(list[firstRow[group]], row);
      });
    }
    previousRow = r;
    previousGroup = g;
    Running* sums;
    if (g == firstRow.size()) {
      firstRow.push_back(r);
      summed.push_back(0);
      running.resize(running.size() + measures);
      sums = running.data() + g * measures;
      for (std::size_t m = 0; m < measures; ++m) sums[m].total = values[m];
      out.push_back(row);
      Row& total = out.back();
      for (std::size_t j = 0; j < width; ++j) {
        if (labelled[j]) total[j] = kTotalLabel;
      }
      continue;
    }
    sums = running.data() + g * measures;
    for (std::size_t m = 0; m < measures; ++m) {
      sums[m].sum = sums[m].total + values[m];
      sums[m].total = readBack(sums[m].sum);
    }
    summed[g] = 1;
  }
  for (std::size_t g = 0; g < summed.size(); ++g) {
    if (!summed[g]) continue;
    for (std::size_t m = 0; m < measures; ++m) {
      writeNumber(running[g * measures + m].sum, out[base + g][measureColumns[m]]);
    }
  }
}

// The total rows of one axis: for each column of `columns` in turn, the
// column is relabelled "合计" in every counted row and the groups are summed.
RowTable labelledTotals(const CrossTab& tab, const RowTable& list,
                        const std::vector<std::size_t>& columns) {
  RowTable totals;
  if (list.empty() || columns.empty()) return totals;
  const Row& header = list[0];
  PassRows rows(tab, list);
  std::vector<char> labelled(header.size(), 0);
  // A relabelled row can turn into a copy of the header only while every
  // labelled header cell is itself "合计".
  bool headerLabelled = true;
  for (std::size_t c : columns) {
    labelled[c] = 1;
    headerLabelled = headerLabelled && header[c] == kTotalLabel;
    for (std::size_t r = 1; r < list.size(); ++r) {
      if (!rows.counted[r]) continue;
      const Row& row = list[r];
      // A row that already holds "合计" here is a total that came with the
      // input: it takes no part from this column on.
      if (row[c] == kTotalLabel) {
        rows.counted[r] = 0;
        continue;
      }
      rows.keyHash[r] -= PassRows::cellTerm(c, row[c]);
      if (headerLabelled && row.size() == header.size()) {
        bool copy = true;
        for (std::size_t j = 0; copy && j < header.size(); ++j) {
          copy = labelled[j] || row[j] == header[j];
        }
        if (copy) rows.counted[r] = 0;
      }
    }
    appendGroups(rows, labelled, totals);
  }
  return totals;
}

// Moves `totals` to the end of `rows`. Called only after the pass is done
// with its input, which may be `rows` itself.
void appendRows(RowTable& rows, RowTable&& totals) {
  rows.insert(rows.end(), std::make_move_iterator(totals.begin()),
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
  appendGroups(PassRows(*this, list), std::vector<char>(list[0].size(), 0), result);
  return result;
}

void CrossTab::appendColumnTotals(const RowTable& list) {
  if (list.empty()) return;
  const Row& header = list[0];
  // Right of the separator column (every column when there is none).
  const std::ptrdiff_t s = findSeparatorColumn(header, separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = static_cast<std::ptrdiff_t>(header.size()) - 1; c > s; --c) {
    if (!isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  appendRows(rows, labelledTotals(*this, list, columns));
}

void CrossTab::appendRowTotals(const RowTable& list) {
  if (list.empty()) return;
  const Row& header = list[0];
  // Left of the separator column (none when there is no separator column).
  const std::ptrdiff_t s = findSeparatorColumn(header, separate);
  std::vector<std::size_t> columns;
  for (std::ptrdiff_t c = s - 1; c >= 0; --c) {
    if (!isMeasureName(header[c])) columns.push_back(static_cast<std::size_t>(c));
  }
  appendRows(rows, labelledTotals(*this, list, columns));
}

}  // namespace tabulon
