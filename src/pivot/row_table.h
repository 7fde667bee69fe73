// RowTable: the rows of one request, each an ordered list of UTF-8 texts.
// Row 0 holds the column names; total rows are appended at the end.
// Readers add rows only through appendRow, which copies the cells.
#ifndef TABULON_PIVOT_ROW_TABLE_H_
#define TABULON_PIVOT_ROW_TABLE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

using Row = std::vector<std::string>;
using RowTable = std::vector<Row>;

// Appends one row holding copies of the `count` texts at `cells`.
inline void appendRow(RowTable& rows, const std::string_view* cells, std::size_t count) {
  Row& row = rows.emplace_back();
  row.reserve(count);
  for (std::size_t i = 0; i < count; ++i) row.emplace_back(cells[i]);
}

}  // namespace tabulon

#endif  // TABULON_PIVOT_ROW_TABLE_H_
