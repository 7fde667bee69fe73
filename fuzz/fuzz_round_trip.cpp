// Round trip: the GridFrame text that one transform writes, given back as
// the layout of a second transform over the same rows, must be written
// again unchanged. Names holding the layout's own syntax ("," "[" "]",
// line breaks, the "row:" and "col:" markers) cannot round-trip by design
// and are skipped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/text_table_reader.h"
#include "render/grid_frame.h"

namespace {

bool roundTrips(std::string_view name) {
  return name.find_first_of(",[]\r\n") == std::string_view::npos &&
         name.find("row:") == std::string_view::npos &&
         name.find("col:") == std::string_view::npos;
}

// True when every name below `node` can be written and read back.
bool treeRoundTrips(const tabulon::DimNode* node) {
  std::vector<const tabulon::DimNode*> pending{node};
  while (!pending.empty()) {
    const tabulon::DimNode* n = pending.back();
    pending.pop_back();
    for (const tabulon::DimNode* child : n->children()) {
      if (!roundTrips(child->name())) return false;
      pending.push_back(child);
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tabulon;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t lineEnd = input.find('\n');
  if (lineEnd == std::string_view::npos) return 0;
  std::string_view measures = input.substr(0, lineEnd);
  std::string_view table = input.substr(lineEnd + 1);
  static const SumOption kSumOptions[] = {SumOption::kNone, SumOption::kRows, SumOption::kColumns,
                                          SumOption::kBoth};
  PivotOptions options;
  options.sumOption = kSumOptions[size % 4];
  options.sumPos = (size / 4) % 2 == 0 ? SumPos::kFirst : SumPos::kLast;
  options.setMeasures(measures);

  CrossTab first;
  first.transform(parseText(table, options.measures), options);
  if (!treeRoundTrips(first.rowDimension()) || !treeRoundTrips(first.columnHeader())) return 0;
  const std::string layout = renderGridFrame(first);

  CrossTab second;
  options.gridFrame = layout;
  second.transform(parseText(table, options.measures), options);
  if (second.rows().size() < 2) return 0;
  if (renderGridFrame(second) != layout) __builtin_trap();
  return 0;
}
