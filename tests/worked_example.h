// The rows of the HTML worked example, shared by the tests of the renderers
// and of the request: Region, City | Year with the measure Sales.
#ifndef TABULON_TESTS_WORKED_EXAMPLE_H_
#define TABULON_TESTS_WORKED_EXAMPLE_H_

#include "pivot/row_table.h"

namespace tabulon {

inline RowTable workedExampleRows() {
  return {{"Region", "City", "|", "Year", "Sales"},
          {"East", "NJ", "|", "2019", "5"},
          {"East", "NY", "|", "2019", "7"},
          {"East", "NJ", "|", "2020", "6"},
          {"West", "LA", "|", "2020", "9"}};
}

}  // namespace tabulon

#endif  // TABULON_TESTS_WORKED_EXAMPLE_H_
