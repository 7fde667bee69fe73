// Engine benchmarks: transform without totals on GROUP BY shaped tables, and
// span upkeep with a very wide level.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "sales_table.h"

namespace tabulon {
namespace {

const RowTable& salesTable(int cities) {
  static const RowTable small = makeSalesTable(500);
  static const RowTable large = makeSalesTable(5000);
  return cities == 500 ? small : large;
}

void BM_Transform(benchmark::State& state) {
  const RowTable& table = salesTable(static_cast<int>(state.range(0)));
  {
    // One untimed run first: later runs reuse the memory it was given, as
    // the calls of a long-lived process do.
    CrossTab warmUp;
    warmUp.rows = table;
    warmUp.transform(kConvertedMarker, "Sales,Cost");
    benchmark::DoNotOptimize(warmUp.cells.size());
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto tab = std::make_unique<CrossTab>();
    tab->rows = table;
    state.ResumeTiming();
    tab->transform(kConvertedMarker, "Sales,Cost");
    benchmark::DoNotOptimize(tab->cells.size());
    state.PauseTiming();
    tab.reset();
    state.ResumeTiming();
  }
  const double rows = static_cast<double>(table.size() - 1);
  state.counters["rows/s"] = benchmark::Counter(rows * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["peakB/row"] = static_cast<double>(peakResidentBytes()) / rows;
}
BENCHMARK(BM_Transform)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3);

// 200,000 distinct members under one parent, as a unique id column gives.
void BM_WideLevel(benchmark::State& state) {
  for (auto _ : state) {
    DimNode root;
    DimNode* parent = root.getOrAddChild("ids");
    for (int i = 0; i < 200000; ++i) parent->getOrAddChild(std::to_string(i));
    benchmark::DoNotOptimize(root.span());
  }
}
BENCHMARK(BM_WideLevel)->Unit(benchmark::kMillisecond);

void BM_UniqueIdRows(benchmark::State& state) {
  RowTable table;
  table.push_back({"Id", "|", "Kind", "m"});
  for (int i = 0; i < 200000; ++i) table.push_back({std::to_string(i), "", "k", "1"});
  for (auto _ : state) {
    state.PauseTiming();
    auto tab = std::make_unique<CrossTab>();
    tab->rows = table;
    state.ResumeTiming();
    tab->transform(kConvertedMarker, "m");
    state.PauseTiming();
    tab.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UniqueIdRows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabulon
