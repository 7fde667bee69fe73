// Cost of totals: transform of the generated sales tables (100k and 1M data
// rows) with row, column and corner totals, against the same transform
// without totals, and the column totals pass on its own. Copying the table
// into the CrossTab and destroying it are left out of the timings.
#include <benchmark/benchmark.h>

#include <memory>
#include <utility>

#include "pivot/cross_tab.h"
#include "sales_table.h"

namespace tabulon {
namespace {

// state.range(0): the number of cities (500 -> 100k rows, 5000 -> 1M rows).
void transformSales(benchmark::State& state, SumOption sumOption) {
  const RowTable& table = cachedSalesTable(static_cast<int>(state.range(0)));
  PivotOptions options;
  options.sumOption = sumOption;
  options.setMeasures("Sales,Cost");
  std::size_t rowsAfter = 0;
  {
    // One untimed run first: later runs reuse the memory it was given, as
    // the calls of a long-lived process do.
    CrossTab warmUp;
    warmUp.transform(table, options);
    benchmark::DoNotOptimize(warmUp.cells().size());
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto tab = std::make_unique<CrossTab>();
    RowTable rows = table;
    state.ResumeTiming();
    tab->transform(std::move(rows), options);
    benchmark::DoNotOptimize(tab->cells().size());  // cells are complete
    state.PauseTiming();
    rowsAfter = tab->rows().size();
    tab.reset();
    state.ResumeTiming();
  }
  const double rows = static_cast<double>(table.size() - 1);
  state.counters["rows_in"] = static_cast<double>(table.size());
  state.counters["rows_out"] = static_cast<double>(rowsAfter);
  state.counters["rows/s"] = benchmark::Counter(rows * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["peakB/row"] = static_cast<double>(peakResidentBytes()) / rows;
}

void columnTotalsPass(benchmark::State& state) {
  const RowTable& table = cachedSalesTable(static_cast<int>(state.range(0)));
  PivotOptions options;
  options.setMeasures("Sales,Cost");
  for (auto _ : state) {
    state.PauseTiming();
    // A transform without totals places the measures and takes the rows.
    auto tab = std::make_unique<CrossTab>();
    tab->transform(table, options);
    state.ResumeTiming();
    tab->appendColumnTotals(tab->rows());
    state.PauseTiming();
    tab.reset();
    state.ResumeTiming();
  }
}

// The same fixed iteration count at both sizes keeps them comparable (the
// first runs of a process pay for fresh memory).
BENCHMARK_CAPTURE(transformSales, SumIncRowCol, SumOption::kBoth)
    ->Arg(500)->Arg(5000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transformSales, SumNone, SumOption::kNone)
    ->Arg(500)->Arg(5000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(columnTotalsPass)->Arg(500)->Arg(5000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabulon
