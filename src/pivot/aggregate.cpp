#include "pivot/aggregate.h"

#include <algorithm>

#include "pivot/decimal_text.h"

namespace tabulon {

namespace {

// Exact sums stay within this many millionths, far from int64_t overflow.
constexpr uint64_t kExactBound = uint64_t{1} << 62;

bool exactSum(int64_t a, int64_t b, int64_t& sum) {
  if (__builtin_add_overflow(a, b, &sum)) return false;
  return static_cast<uint64_t>(sum < 0 ? -sum : sum) <= kExactBound;
}

// The sum of the state as a double, exact or not.
double sumOf(const AggregateState& state) {
  return state.exact ? static_cast<double>(state.micros) / 1e6 : state.sum;
}

// a / b rounded to the nearest integer, halves away from zero.
int64_t roundedQuotient(int64_t a, uint64_t b) {
  const __int128 n = a;
  const __int128 d = static_cast<__int128>(b);
  __int128 q = n / d;
  const __int128 r = n % d;
  if ((r < 0 ? -r : r) * 2 >= d) q += n < 0 ? -1 : 1;
  return static_cast<int64_t>(q);
}

}  // namespace

Aggregate aggregateFromWord(std::string_view word) {
  if (word == "Sum") return Aggregate::kSum;
  if (word == "Count") return Aggregate::kCount;
  if (word == "Min") return Aggregate::kMin;
  if (word == "Max") return Aggregate::kMax;
  if (word == "Avg") return Aggregate::kAvg;
  return Aggregate::kNone;
}

MeasureNumber readMeasureNumber(const std::string& text) {
  MeasureNumber number;
  number.micros = MeasureNumber::kInexact;
  if (text.empty()) {
    number.micros = MeasureNumber::kEmpty;
    return number;
  }
  PlainDecimal plain;
  if (parsePlainDecimal(text, plain)) {
    // The common case, read once: digits below 10^15 with a point.
    number.value = plainDecimalValue(plain);
    uint64_t scale = 1;
    for (int d = plain.decimals; d < 6; ++d) scale *= 10;
    if (plain.decimals <= 6 && plain.digits <= kExactBound / scale) {
      number.micros = static_cast<int64_t>(plain.digits * scale);
      if (plain.negative) number.micros = -number.micros;
    }
    return number;
  }
  number.value = readNumber(text);
  if (!readMicros(text, kExactBound, number.micros)) number.micros = MeasureNumber::kInexact;
  return number;
}

bool AggregateState::addExact(int64_t n) {
  int64_t total = 0;
  if (!exactSum(micros, n, total)) return false;
  micros = total;
  return true;
}

void AggregateState::addInexact(double value) {
  sum = sumOf(*this) + value;
  exact = false;
}

void AggregateState::merge(const AggregateState& other) {
  if (other.values == 0) {
    rows += other.rows;
    return;
  }
  if (values == 0) {
    const uint64_t seen = rows;
    *this = other;
    rows += seen;
    return;
  }
  rows += other.rows;
  values += other.values;
  min = std::min(min, other.min);
  max = std::max(max, other.max);
  if (exact && other.exact && addExact(other.micros)) return;
  sum = sumOf(*this) + sumOf(other);
  exact = false;
}

void writeAggregate(Aggregate kind, const AggregateState& state, std::string_view onlyText,
                    std::string& out) {
  if (kind == Aggregate::kCount) {
    out = std::to_string(state.rows);
    return;
  }
  if (state.values == 0) {
    out.clear();
    return;
  }
  if (state.values == 1) {
    out.assign(onlyText);
    return;
  }
  switch (kind) {
    case Aggregate::kSum:
      if (state.exact) {
        writeMicroUnits(state.micros, out);
      } else {
        writeNumber(state.sum, out);
      }
      return;
    case Aggregate::kMin:
      writeNumber(state.min, out);
      return;
    case Aggregate::kMax:
      writeNumber(state.max, out);
      return;
    case Aggregate::kAvg:
      if (state.exact) {
        writeMicroUnits(roundedQuotient(state.micros, state.values), out);
      } else {
        writeNumber(state.sum / static_cast<double>(state.values), out);
      }
      return;
    default:
      out.clear();
      return;
  }
}

}  // namespace tabulon
