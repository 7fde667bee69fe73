#include "request/transform_document.h"

#include <string>
#include <utility>

#include "pivot/cross_tab.h"
#include "pivot/memory_budget.h"
#include "render/grid_frame.h"
#include "render/html_table.h"
#include "request/options.h"

namespace tabulon {

namespace {

// The echo holds the values as looked up, applied or not, in key order;
// RowColSort is applied but not echoed.
std::vector<std::pair<std::string, std::string>> echoOf(const RequestOptions& values) {
  std::vector<std::pair<std::string, std::string>> echo;
  echo.reserve(8);
  if (values.hasAggregate) echo.emplace_back("Aggregate", values.aggregate);
  if (values.hasEscape) echo.emplace_back("Escape", values.escape);
  echo.emplace_back("GridFrame", values.gridFrame);
  echo.emplace_back("Measures", values.measures);
  if (values.hasMemoryLimit) echo.emplace_back("MemoryLimit", values.memoryLimit);
  echo.emplace_back("Separate", values.separate);
  echo.emplace_back("SumOption", values.sumOption);
  echo.emplace_back("SumPos", values.sumPos);
  return echo;
}

}  // namespace

TransformDocument transformDocument(RowTable rows, std::string_view options) {
  TransformDocument document;
  const RequestOptions values = readOptions(options);
  document.echo = echoOf(values);
  {
    CrossTab tab;
    // The rows move into the model: a large table is never copied.
    tab.transform(std::move(rows), pivotOptions(values));
    // The GridFrame text is always made before the HTML.
    document.gridFrame = renderGridFrame(tab);
    document.html = renderHtml(tab, htmlTextFor(values.escape));
  }
  // The renderings stay charged until the request ends.
  chargeMemory(document.gridFrame.capacity() + document.html.capacity());
  return document;
}

}  // namespace tabulon
