// Totals: the passes of a CrossTab that append total rows ("合计") to its
// rows (CrossTab::appendRowTotals, appendColumnTotals, sumGroups), built on
// the decimal text arithmetic of decimal_text.h, which every sum follows.
#ifndef TABULON_PIVOT_TOTALS_H_
#define TABULON_PIVOT_TOTALS_H_

#include "pivot/decimal_text.h"

#endif  // TABULON_PIVOT_TOTALS_H_
