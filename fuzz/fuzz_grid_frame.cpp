// Fuzzes a GridFrame text: read by applyGridFrame (directly and through a
// transform), then written by both renderers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pivot/cross_tab.h"
#include "render/grid_frame.h"
#include "render/html_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tabulon;
  std::string_view text(reinterpret_cast<const char*>(data), size);

  CrossTab direct;
  direct.transform({{"A", "|", "B", "m"}, {"a", "", "b", "1"}}, PivotOptions());
  applyGridFrame(direct, text);
  renderGridFrame(direct);
  renderHtml(direct);

  PivotOptions options;
  options.gridFrame = text;
  options.rowSort = true;
  options.setMeasures("Sales");
  CrossTab tab;
  tab.transform({{"Region", "City", "|", "Year", "Sales"},
                 {"East", "NJ", "|", "2019", "5"},
                 {"East", "NY", "|", "2019", "7"},
                 {"West", "LA", "|", "2020", "9"}},
                options);
  renderGridFrame(tab);
  renderHtml(tab);
  return 0;
}
