// Fuzzes a table text through parseText, transform with every totals code
// and total position, as it is and aggregating, and both renderers. The
// first line of the input is the measures list; the rest is the table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pivot/cross_tab.h"
#include "render/grid_frame.h"
#include "render/html_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tabulon;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t lineEnd = input.find('\n');
  std::string_view measures = input.substr(0, lineEnd);
  std::string_view table = lineEnd == std::string_view::npos ? "" : input.substr(lineEnd + 1);
  // Each totals code once as the last row wins, once aggregating.
  static const char* const kAggregates[] = {"Sum", "Count", "Min", "Max", "Avg"};
  for (int run = 0; run < 8; ++run) {
    const int sumOption = run % 4;
    CrossTab tab;
    tab.sumOption = sumOption;
    tab.sumPos = sumOption % 2;
    tab.setRowColSort(sumOption >= 2 ? "RowSort" : "");
    if (run >= 4) tab.setAggregate(kAggregates[(static_cast<std::size_t>(sumOption) + size) % 5]);
    tab.transform(table, measures);
    renderGridFrame(tab);
    renderHtml(tab);
  }
  return 0;
}
