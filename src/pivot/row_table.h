// RowTable: the rows of one request, each an ordered list of UTF-8 texts.
// Row 0 holds the column names; total rows are appended at the end.
// Readers append rows through appendRow (or charge the rows they build in
// place with chargeRow), so that every row counts against the request's
// memory budget (memory_budget.h).
#ifndef TABULON_PIVOT_ROW_TABLE_H_
#define TABULON_PIVOT_ROW_TABLE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pivot/memory_budget.h"

namespace tabulon {

using Row = std::vector<std::string>;
using RowTable = std::vector<Row>;

// The heap bytes of `row`, with its share of a doubling table's slots.
inline std::size_t rowBytes(const Row& row) {
  static const std::size_t kInlineText = std::string().capacity();
  std::size_t bytes = 2 * sizeof(Row) + row.capacity() * sizeof(std::string);
  for (const std::string& cell : row) {
    if (cell.capacity() > kInlineText) bytes += cell.capacity() + 1;
  }
  return bytes;
}

// Charges a row just added to a table to the request's memory budget; it
// stays charged until the request ends.
inline void chargeRow(const Row& row) { chargeMemory(rowBytes(row)); }

// Appends the `count` texts at `cells` as a row of `rows`.
inline void appendRow(RowTable& rows, const std::string_view* cells, std::size_t count) {
  Row& row = rows.emplace_back();
  row.reserve(count);
  for (std::size_t i = 0; i < count; ++i) row.emplace_back(cells[i]);
  chargeRow(row);
}

}  // namespace tabulon

#endif  // TABULON_PIVOT_ROW_TABLE_H_
