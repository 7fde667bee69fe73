// RowTable: the rows of one request, each an ordered list of UTF-8 texts.
// Row 0 holds the column names; total rows are appended at the end.
#ifndef TABULON_PIVOT_ROW_TABLE_H_
#define TABULON_PIVOT_ROW_TABLE_H_

#include <string>
#include <vector>

namespace tabulon {

using Row = std::vector<std::string>;
using RowTable = std::vector<Row>;

}  // namespace tabulon

#endif  // TABULON_PIVOT_ROW_TABLE_H_
