// Fuzzes a table text through parseText, transform with every totals kind
// and total position, as it is and aggregating, and both renderers. The
// first line of the input is the measures list; the rest is the table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pivot/cross_tab.h"
#include "pivot/text_table_reader.h"
#include "render/grid_frame.h"
#include "render/html_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tabulon;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t lineEnd = input.find('\n');
  std::string_view measures = input.substr(0, lineEnd);
  std::string_view table = lineEnd == std::string_view::npos ? "" : input.substr(lineEnd + 1);
  // Each totals kind once as the last row wins, once aggregating.
  static const char* const kAggregates[] = {"Sum", "Count", "Min", "Max", "Avg"};
  static const SumOption kSumOptions[] = {SumOption::kNone, SumOption::kRows, SumOption::kColumns,
                                          SumOption::kBoth};
  for (int run = 0; run < 8; ++run) {
    const int kind = run % 4;
    PivotOptions options;
    options.sumOption = kSumOptions[kind];
    options.sumPos = kind % 2 == 0 ? SumPos::kFirst : SumPos::kLast;
    options.rowSort = kind >= 2;
    if (run >= 4) options.setAggregate(kAggregates[(static_cast<std::size_t>(kind) + size) % 5]);
    options.setMeasures(measures);
    CrossTab tab;
    tab.transform(parseText(table, options.measures), options);
    renderGridFrame(tab);
    renderHtml(tab);
  }
  return 0;
}
