#include "pivot/decimal_text.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace tabulon {

namespace {

// The "C" locale object, made once and kept (glibc hands out a static object
// for it); null only if the C library cannot make it.
locale_t cLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}

}  // namespace

// A plain decimal text ("12.5", " -3", "8kg", ".5"): its digits read as
// one integer below 10^15, the count of those digits after the point, and
// its sign.

// Splits a plain decimal text. Returns false for what it leaves to strtod:
// no digit, more than 15 digits, an exponent, hex, inf and nan. The end of
// the text reads as a NUL byte, and a NUL byte inside it ends the number
// as the end does, so a text and its NUL-terminated copy split alike.
bool parsePlainDecimal(std::string_view text, PlainDecimal& number) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const auto at = [&] { return p < end ? *p : '\0'; };
  while (at() == ' ' || (at() >= '\t' && at() <= '\r')) ++p;
  if (at() == '+' || at() == '-') number.negative = *p++ == '-';
  uint64_t n = 0;
  int digits = 0;
  int decimals = 0;
  for (; at() >= '0' && at() <= '9'; ++p, ++digits) n = n * 10 + static_cast<uint64_t>(*p - '0');
  if (at() == '.') {
    for (++p; at() >= '0' && at() <= '9'; ++p, ++digits, ++decimals) {
      n = n * 10 + static_cast<uint64_t>(*p - '0');
    }
  }
  const char next = at();
  if (digits == 0 || digits > 15 || next == 'e' || next == 'E' || next == 'x' || next == 'X') {
    return false;
  }
  number.digits = n;
  number.decimals = decimals;
  return true;
}

namespace {

// Reads a plain decimal text exactly as strtod does: its digits divided by
// a power of ten in one correctly rounded division.
bool readPlainDecimal(std::string_view text, double& value) {
  PlainDecimal number;
  if (!parsePlainDecimal(text, number)) return false;
  value = plainDecimalValue(number);
  return true;
}

}  // namespace

double plainDecimalValue(const PlainDecimal& number) {
  static const double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const double value = static_cast<double>(number.digits) / kPowers[number.decimals];
  return number.negative ? -value : value;
}

bool microUnits(double x, int64_t& n) {
  if (!(std::fabs(x) < 4.5e9)) return false;  // |x * 10^6| stays below 2^52
  const double p = x * 1e6;
  double rounded = 0;
  if (std::fabs(p) >= 0.25) {
    const double e = std::fma(x, 1e6, -p);  // x * 10^6 == p + e exactly
    rounded = std::nearbyint(p);
    const double d = p - rounded;  // exact
    // p lies halfway: the exact product decides unless it is a true tie.
    if (std::fabs(d) == 0.5 && e != 0 && (e > 0) == (d > 0)) rounded += d + d;
  }
  n = static_cast<int64_t>(rounded);
  return true;
}

// Writes n / 10^6 as writeNumber writes it: trailing zeros and a bare point
// dropped, 0 without a sign.
void writeMicroUnits(int64_t n, std::string& out) {
  uint64_t u = n < 0 ? static_cast<uint64_t>(-n) : static_cast<uint64_t>(n);
  char text[32];
  char* const end = text + sizeof text;
  char* at = end;
  uint64_t fraction = u % 1000000;
  u /= 1000000;
  if (fraction != 0) {
    int places = 6;
    while (fraction % 10 == 0) fraction /= 10, --places;
    while (places-- > 0) *--at = static_cast<char>('0' + fraction % 10), fraction /= 10;
    *--at = '.';
  }
  do *--at = static_cast<char>('0' + u % 10), u /= 10;
  while (u != 0);
  if (n < 0) *--at = '-';
  out.assign(at, static_cast<std::size_t>(end - at));
}

bool readAnyMicros(std::string_view text, uint64_t bound, int64_t& n) {
  PlainDecimal number;
  if (parsePlainDecimal(text, number)) {
    return number.decimals <= 6 &&
           scaledMicros(number.digits, number.decimals, number.negative, bound, n);
  }
  const double value = readNumber(std::string(text));  // "", "abc", "1e3", ...
  if (!microUnits(value, n) || static_cast<double>(n) / 1e6 != value) return false;
  return static_cast<uint64_t>(n < 0 ? -n : n) <= bound;
}

// What readNumber reads back from the text that writeNumber writes for x:
// the running total after an addition, rounded to six decimals.
double readBack(double x) {
  int64_t n = 0;
  // n / 10^6 in one correctly rounded division, as readNumber reads it.
  if (microUnits(x, n)) return static_cast<double>(n) / 1e6;
  std::string text;
  writeNumber(x, text);
  return readNumber(text);
}


double readNumber(const std::string& text) {
  double value = 0;
  if (readPlainDecimal(text, value)) return value;
  const locale_t c = cLocale();
  return c != nullptr ? strtod_l(text.c_str(), nullptr, c) : std::strtod(text.c_str(), nullptr);
}

void writeNumber(double value, std::string& out) {
  int64_t n = 0;
  if (microUnits(value, n)) {
    writeMicroUnits(n, out);
    return;
  }
  // The longest "%.6f" text of a double: sign, 309 integer digits, point and
  // six decimals. std::to_chars formats as printf does in the "C" locale.
  constexpr std::size_t kLongest = 1 + (std::numeric_limits<double>::max_exponent10 + 1) + 1 + 6;
  char text[kLongest + 8];
  const std::to_chars_result written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (written.ec != std::errc()) {  // cannot happen: the buffer fits any double
    out.clear();
    return;
  }
  std::size_t length = static_cast<std::size_t>(written.ptr - text);
  while (length > 0 && text[length - 1] == '0') {
    --length;
    if (length > 0 && text[length - 1] == '.') {
      --length;
      break;
    }
  }
  out.assign(text, length);  // never "-0": that only comes from small sums
}

void addToTotal(Row& total, const Row& row, int i) {
  if (i < 0) return;
  const std::size_t at = static_cast<std::size_t>(i);
  if (at >= total.size() || at >= row.size()) return;
  const double sum = readNumber(total[at]) + readNumber(row[at]);
  writeNumber(sum, total[at]);
}

}  // namespace tabulon
