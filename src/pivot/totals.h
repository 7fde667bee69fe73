// Totals arithmetic: how a measure text is read as a number and how a sum is
// written back as text. The totals passes (CrossTab::appendRowTotals and
// appendColumnTotals) keep each running total as text and add into it with
// addToTotal, so every partial sum is rounded to six decimals.
//
// Reading and writing never depend on the process locale (a JVM may set
// one with a decimal comma): numbers are read as atof reads them in the "C"
// locale and written as "%.6f" writes them in the "C" locale.
#ifndef TABULON_PIVOT_TOTALS_H_
#define TABULON_PIVOT_TOTALS_H_

#include <string>

#include "pivot/row_table.h"

namespace tabulon {

// The number that atof reads from `text` in the "C" locale: leading white
// space skipped, the longest prefix that strtod accepts (decimal, hex,
// inf, nan), 0 when there is none.
double readNumber(const std::string& text);

// Replaces `out` by `value` written as "%.6f" in the "C" locale, then cut
// of trailing zeros and a bare trailing point ("30", "15.5", "-2.25"). A
// sum that rounds to zero is written "0", never "-0". Any magnitude is
// written whole.
void writeNumber(double value, std::string& out);

// total[i] = the text of readNumber(total[i]) + readNumber(row[i]). Does
// nothing when `i` lies outside either row.
void addToTotal(Row& total, const Row& row, int i);

}  // namespace tabulon

#endif  // TABULON_PIVOT_TOTALS_H_
