// Shorthands of the engine tests: options that name a measure list, and a
// transform of rows written inline with such options.
#ifndef TABULON_TESTS_TRANSFORM_HELPERS_H_
#define TABULON_TESTS_TRANSFORM_HELPERS_H_

#include <string_view>
#include <utility>

#include "pivot/cross_tab.h"
#include "pivot/pivot_options.h"
#include "pivot/row_table.h"

namespace tabulon {

// `options` with the measures of the comma list `measures`.
inline PivotOptions withMeasures(std::string_view measures, PivotOptions options = {}) {
  options.setMeasures(measures);
  return options;
}

inline void runTransform(CrossTab& tab, RowTable rows, std::string_view measures,
                         PivotOptions options = {}) {
  tab.transform(std::move(rows), withMeasures(measures, std::move(options)));
}

}  // namespace tabulon

#endif  // TABULON_TESTS_TRANSFORM_HELPERS_H_
