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
#include "pivot/totals.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string_view>
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

// A row takes part in totals when it has at least the header's cells and is
// not a copy of the header.
bool isDataRow(const Row& row, const Row& header) {
  return row.size() >= header.size() && row != header;
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

// Writes `x` as writeNumber does when |x| < 4.5e9, on integers: N = x * 10^6
// rounded to the nearest integer, ties to even, as printf rounds the exact
// binary value; the text is N with the point six places from the right.
// Returns false for larger magnitudes, inf and nan.
bool writeSmallNumber(double x, std::string& out) {
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
  const int64_t n = static_cast<int64_t>(rounded);
  uint64_t u = n < 0 ? static_cast<uint64_t>(-n) : static_cast<uint64_t>(n);
  char text[32];
  char* end = text + sizeof text;
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
  if (n < 0) *--at = '-';  // N == 0 is written "0", never "-0"
  out.assign(at, static_cast<std::size_t>(end - at));
  return true;
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
// group's number; the caller compares the keys themselves.
class GroupTable {
 public:
  GroupTable() : slots_(64) {}

  // The group whose key `sameKey(group)` confirms, or `fresh` after
  // recording it under `hash` as a new group.
  template <typename SameKey>
  std::size_t findOrAdd(uint64_t hash, std::size_t fresh, SameKey sameKey) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.group == kEmpty) {
        slot = Slot{hash, fresh};
        ++count_;
        return fresh;
      }
      if (slot.hash == hash && sameKey(slot.group)) return slot.group;
    }
  }

 private:
  static constexpr std::size_t kEmpty = std::numeric_limits<std::size_t>::max();
  struct Slot {
    uint64_t hash = 0;
    std::size_t group = kEmpty;
  };

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.group == kEmpty) continue;
      std::size_t at = slot.hash & mask;
      while (slots_[at].group != kEmpty) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

// Appends to `out` one row per group of the counted rows of `list` (row 0 is
// the header), in the order in which the groups first occur. Rows group
// together when they have the same length and the same texts outside the
// measure columns; rows of different lengths never do. Columns flagged in
// `labelled` hold "合计" in every counted row. A group's row is a copy of
// its first row (so a one-row group keeps its texts); every further row is
// added into its measure cells, in row order and column order.
void appendGroups(const RowTable& list, const std::vector<char>& counted,
                  const std::vector<char>& labelled, const std::vector<std::size_t>& measureColumns,
                  RowTable& out) {
  const std::size_t width = list[0].size();
  std::vector<char> skip = labelled;  // columns that are not part of the key
  for (std::size_t i : measureColumns) skip[i] = 1;
  std::vector<std::size_t> keyColumns;
  for (std::size_t j = 0; j < width; ++j) {
    if (!skip[j]) keyColumns.push_back(j);
  }

  // Cells past the header's width belong to the key as well.
  auto keyHash = [&](const Row& row) {
    std::hash<std::string_view> hashText;
    uint64_t h = row.size();
    for (std::size_t j : keyColumns) h = (h ^ hashText(row[j])) * 0x9e3779b97f4a7c15ULL;
    for (std::size_t j = width; j < row.size(); ++j) {
      h = (h ^ hashText(row[j])) * 0x9e3779b97f4a7c15ULL;
    }
    return mix(h);
  };
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

  const std::size_t base = out.size();
  std::vector<std::size_t> firstRow;  // per group: its first row in `list`
  GroupTable groups;
  for (std::size_t r = 1; r < list.size(); ++r) {
    if (!counted[r]) continue;
    const Row& row = list[r];
    const std::size_t g = groups.findOrAdd(keyHash(row), firstRow.size(), [&](std::size_t group) {
      return sameKey(list[firstRow[group]], row);
    });
    if (g == firstRow.size()) {
      firstRow.push_back(r);
      out.push_back(row);
      Row& total = out.back();
      for (std::size_t j = 0; j < width; ++j) {
        if (labelled[j]) total[j] = kTotalLabel;
      }
      continue;
    }
    Row& total = out[base + g];
    for (std::size_t i : measureColumns) addToTotal(total, row, static_cast<int>(i));
  }
}

// The total rows of one axis: for each column of `columns` in turn, the
// column is relabelled "合计" in every counted row and the groups are summed.
RowTable labelledTotals(const CrossTab& tab, const RowTable& list,
                        const std::vector<std::size_t>& columns) {
  RowTable totals;
  if (list.empty() || columns.empty()) return totals;
  const Row& header = list[0];
  const std::vector<std::size_t> measureColumns = measureColumnsOf(tab, header);
  std::vector<char> counted(list.size());
  for (std::size_t r = 0; r < list.size(); ++r) counted[r] = isDataRow(list[r], header);
  std::vector<char> labelled(header.size(), 0);
  // A relabelled row can turn into a copy of the header only while every
  // labelled header cell is itself "合计".
  bool headerLabelled = true;
  for (std::size_t c : columns) {
    labelled[c] = 1;
    headerLabelled = headerLabelled && header[c] == kTotalLabel;
    for (std::size_t r = 1; r < list.size(); ++r) {
      if (!counted[r]) continue;
      const Row& row = list[r];
      // A row that already holds "合计" here is a total that came with the
      // input: it takes no part from this column on.
      if (row[c] == kTotalLabel) {
        counted[r] = 0;
        continue;
      }
      if (headerLabelled && row.size() == header.size()) {
        bool copy = true;
        for (std::size_t j = 0; copy && j < header.size(); ++j) {
          copy = labelled[j] || row[j] == header[j];
        }
        if (copy) counted[r] = 0;
      }
    }
    appendGroups(list, counted, labelled, measureColumns, totals);
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
  if (writeSmallNumber(value, out)) return;
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
  // A sum that rounds to zero from below would read "-0".
  if (length == 2 && text[0] == '-' && text[1] == '0') {
    out.assign("0");
    return;
  }
  out.assign(text, length);
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
  const Row& header = list[0];
  result.push_back(header);
  std::vector<char> counted(list.size());
  for (std::size_t r = 0; r < list.size(); ++r) counted[r] = isDataRow(list[r], header);
  const std::vector<char> labelled(header.size(), 0);
  appendGroups(list, counted, labelled, measureColumnsOf(*this, header), result);
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
