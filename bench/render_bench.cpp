// Rendering benchmarks: renderHtml and renderGridFrame on the generated
// sales tables of 100k rows (500 cities) and 1M rows (5000 cities), without
// totals and with row, column and corner totals (SumIncRowCol). Each table
// is transformed once, outside the timed loop, with the measures Sales and
// Cost; the loop times the rendering alone.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "pivot/cross_tab.h"
#include "render/grid_frame.h"
#include "render/html_table.h"
#include "sales_table.h"

namespace tabulon {
namespace {

// One transformed CrossTab per city count and totals kind, kept for the
// whole run.
const CrossTab& transformedSales(int cities, SumOption sumOption = SumOption::kNone) {
  static std::map<std::pair<int, SumOption>, std::unique_ptr<CrossTab>> cache;
  std::unique_ptr<CrossTab>& slot = cache[{cities, sumOption}];
  if (!slot) {
    slot = std::make_unique<CrossTab>();
    PivotOptions options;
    options.sumOption = sumOption;
    options.setMeasures("Sales,Cost");
    slot->transform(makeSalesTable(cities), options);
  }
  return *slot;
}

// state.range(1): the totals (0 none, 1 SumIncRowCol).
void BM_RenderHtml(benchmark::State& state) {
  const SumOption sums = state.range(1) == 0 ? SumOption::kNone : SumOption::kBoth;
  const CrossTab& tab = transformedSales(static_cast<int>(state.range(0)), sums);
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string html = renderHtml(tab);
    bytes = html.size();
    benchmark::DoNotOptimize(html);
  }
  state.counters["rows"] = static_cast<double>(tab.rows().size() - 1);
  state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_RenderHtml)
    ->Args({500, 0})->Args({5000, 0})->Args({500, 1})->Args({5000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_RenderGridFrame(benchmark::State& state) {
  const CrossTab& tab = transformedSales(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = renderGridFrame(tab);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["rows"] = static_cast<double>(tab.rows().size() - 1);
  state.counters["out_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RenderGridFrame)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tabulon
