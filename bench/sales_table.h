// Generated sales tables shaped like a GROUP BY result, one row per leaf
// cell: Region, City, "|", Year, Quarter, Sales, Cost. Region and quarter
// names are Chinese. The same inputs always give the same table.
#ifndef TABULON_BENCH_SALES_TABLE_H_
#define TABULON_BENCH_SALES_TABLE_H_

#include <cstddef>
#include <string>

#include "pivot/row_table.h"

namespace tabulon {

// `cities` cities spread over 10 regions, each with `years` years x 4
// quarters: cities * years * 4 data rows after the header row.
RowTable makeSalesTable(int cities, int years = 50);

// makeSalesTable(cities), built once per process and kept.
const RowTable& cachedSalesTable(int cities);

// The same table as TAB-separated text, one line per row.
std::string salesTableText(const RowTable& table);

// Peak resident set size of this process so far, in bytes.
std::size_t peakResidentBytes();

}  // namespace tabulon

#endif  // TABULON_BENCH_SALES_TABLE_H_
