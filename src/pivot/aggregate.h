// Aggregates of the rows that fall on one cell or one total: the kinds a
// request may ask for, the running state of one measure over a set of rows,
// and the text an aggregate is written as.
//
// A state is built row by row (add) or from two disjoint sets of rows
// (merge); both give the same result whatever the order. Numbers are read
// and written as the totals read and write them (decimal_text.h): sums are
// kept exact in millionths while every value is such a number, and an
// aggregate of a single value keeps that value's text, as a total of one
// row does. Empty texts (SQL NULL) count as rows, never as values.
#ifndef TABULON_PIVOT_AGGREGATE_H_
#define TABULON_PIVOT_AGGREGATE_H_

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabulon {

enum class Aggregate : uint8_t { kNone, kSum, kCount, kMin, kMax, kAvg };

// The aggregate named by the option word "Sum", "Count", "Min", "Max" or
// "Avg"; kNone for any other text.
Aggregate aggregateFromWord(std::string_view word);

// One text of a measure column, read as a number once; sixteen bytes, as
// caches hold one per distinct text. `micros` holds the value in millionths
// when it is exactly such a number (within 2^62), else one of the marks.
struct MeasureNumber {
  static constexpr int64_t kInexact = INT64_MIN;
  static constexpr int64_t kEmpty = INT64_MIN + 1;   // the empty text: no value
  static constexpr int64_t kUnread = INT64_MIN + 2;  // not read yet (caches)

  double value = 0;  // as readNumber reads it
  int64_t micros = kUnread;

  bool empty() const { return micros == kEmpty; }
  bool exact() const { return micros > kUnread; }
  bool read() const { return micros != kUnread; }
};

// Reads `text` (NUL-terminated) as a measure value.
MeasureNumber readMeasureNumber(const std::string& text);

struct AggregateState {
  uint64_t rows = 0;     // rows seen, NULLs included
  uint64_t values = 0;   // non-empty texts among them
  uint32_t textId = 0;   // the text number of the first value
  bool exact = true;     // the sum is `micros`; otherwise `sum`
  int64_t micros = 0;
  double sum = 0;
  double min = 0;
  double max = 0;

  // Adds one row whose text has number `id` and reads as `number`.
  void add(uint32_t id, const MeasureNumber& number) {
    ++rows;
    if (number.empty()) return;
    if (values++ == 0) {
      textId = id;
      exact = number.exact();
      micros = exact ? number.micros : 0;
      sum = min = max = number.value;
      return;
    }
    min = std::min(min, number.value);
    max = std::max(max, number.value);
    if (exact && number.exact() && addExact(number.micros)) return;
    addInexact(number.value);
  }
  // Adds the rows of `other`, a set disjoint from this one.
  void merge(const AggregateState& other);

 private:
  // Adds `n` millionths to the exact sum; false (nothing added) when the
  // sum would leave the exact range.
  bool addExact(int64_t n);
  void addInexact(double value);
};

// Writes the `kind` aggregate of `state` into `out`: the count of rows for
// kCount; for the others the empty text when no value is left, the text of
// the only value (`onlyText`, the text of state.textId) when there is one,
// else the number written as a total is.
void writeAggregate(Aggregate kind, const AggregateState& state, std::string_view onlyText,
                    std::string& out);

}  // namespace tabulon

#endif  // TABULON_PIVOT_AGGREGATE_H_
