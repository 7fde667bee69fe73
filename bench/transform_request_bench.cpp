// Request benchmarks: the whole transform request (options, transform, both
// renderings, JSON text) on a 1,000,000-row table, and the JSON writer alone
// on a large HTML text.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "request/json_text.h"
#include "request/transform_document.h"
#include "request/transform_request.h"
#include "sales_table.h"

namespace tabulon {
namespace {

constexpr char kOptions[] = "Measures=Sales,Cost&SumOption=SumIncRowCol&SumPos=SumLast";

// 5000 cities: 1,000,000 data rows.
void BM_TransformRequest(benchmark::State& state) {
  const RowTable& table = cachedSalesTable(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  // One untimed run first: later runs reuse the memory it was given, as the
  // calls of a long-lived process do.
  benchmark::DoNotOptimize(transformRequest(table, kOptions).size());
  for (auto _ : state) {
    state.PauseTiming();
    RowTable rows = table;
    state.ResumeTiming();
    const std::string text = transformRequest(std::move(rows), kOptions);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  const double rows = static_cast<double>(table.size() - 1);
  state.counters["rows/s"] = benchmark::Counter(rows * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["outB"] = static_cast<double>(bytes);
  state.counters["peakB/row"] = static_cast<double>(peakResidentBytes()) / rows;
}
BENCHMARK(BM_TransformRequest)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

// 64 MiB of table markup with quotes and line feeds, as "Html" carries it.
void BM_JsonText(benchmark::State& state) {
  TransformDocument document;
  std::string& html = document.html;
  while (html.size() < (64u << 20)) html += "<tr><td class=\"rowhdr\">华东</td><td> 12.5</td></tr>\n";
  for (auto _ : state) {
    const std::string text = jsonText(document);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(html.size()) * state.iterations());
}
BENCHMARK(BM_JsonText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabulon
