// Fuzzes a table text through parseText, transform with every totals code
// and total position, and both renderers. The first line of the input is
// the measures list; the rest is the table.
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
  for (int sumOption = 0; sumOption <= 3; ++sumOption) {
    CrossTab tab;
    tab.sumOption = sumOption;
    tab.sumPos = sumOption % 2;
    tab.setRowColSort(sumOption >= 2 ? "RowSort" : "");
    tab.transform(table, measures);
    renderGridFrame(tab);
    renderHtml(tab);
  }
  return 0;
}
