// Engine benchmarks: span upkeep with a very wide level, and a transform
// whose row side is a unique id column. (Transforms of the sales tables are
// in totals_bench.cpp, with and without totals.)
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <utility>

#include "pivot/cross_tab.h"

namespace tabulon {
namespace {

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
  PivotOptions options;
  options.setMeasures("m");
  for (auto _ : state) {
    state.PauseTiming();
    auto tab = std::make_unique<CrossTab>();
    RowTable rows = table;
    state.ResumeTiming();
    tab->transform(std::move(rows), options);
    state.PauseTiming();
    tab.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UniqueIdRows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabulon
