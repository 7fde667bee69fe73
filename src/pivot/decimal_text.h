// Decimal texts: how a measure text is read as a number and how a sum is
// written back as text. The totals keep each running total as text and
// add into it with addToTotal, so every partial sum is rounded to six
// decimals; the helpers below let them do the same arithmetic on numbers.
//
// Reading and writing never depend on the process locale (a JVM may set
// one with a decimal comma): numbers are read as atof reads them in the "C"
// locale and written as "%.6f" writes them in the "C" locale.
#ifndef TABULON_PIVOT_DECIMAL_TEXT_H_
#define TABULON_PIVOT_DECIMAL_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "pivot/row_table.h"

namespace tabulon {

// The number that atof reads from `text` in the "C" locale: leading white
// space skipped, the longest prefix that strtod accepts (decimal, hex,
// inf, nan), 0 when there is none.
double readNumber(const std::string& text);

// Replaces `out` by `value` written as "%.6f" in the "C" locale, then cut
// of trailing zeros and a bare trailing point ("30", "15.5", "-2.25"). A
// sum that rounds to zero is written "0", never "-0". Any magnitude is
// written whole.
void writeNumber(double value, std::string& out);

// total[i] = the text of readNumber(total[i]) + readNumber(row[i]). Does
// nothing when `i` lies outside either row.
void addToTotal(Row& total, const Row& row, int i);

// A plain decimal text ("12.5", " -3", "8kg", ".5"): its digits read as
// one integer below 10^15, the count of those digits after the point, and
// its sign.
struct PlainDecimal {
  uint64_t digits = 0;
  int decimals = 0;
  bool negative = false;
};

// Splits a plain decimal text. Returns false for what it leaves to strtod:
// no digit, more than 15 digits, an exponent, hex, inf and nan. The text's
// end, or a NUL byte before it, ends the number.
bool parsePlainDecimal(std::string_view text, PlainDecimal& number);

// The number a plain decimal text reads as: its digits divided by a power
// of ten in one correctly rounded division, as strtod reads it.
double plainDecimalValue(const PlainDecimal& number);

// For |x| < 4.5e9: sets `n` to x * 10^6 rounded to the nearest integer,
// ties to even, exactly as printf rounds the binary value of x to six
// decimals, and returns true. False for larger magnitudes, inf and nan.
bool microUnits(double x, int64_t& n);

// Writes n / 10^6 as writeNumber writes it: trailing zeros and a bare point
// dropped, 0 without a sign.
void writeMicroUnits(int64_t n, std::string& out);

// The powers of ten that turn digits with 0 to 6 decimals into millionths.
inline constexpr uint64_t kMicroScales[] = {1000000, 100000, 10000, 1000, 100, 10, 1};

// Sets `n` to `digits` with `decimals` (0 to 6) of them after the point, in
// millionths and with the sign, and returns true when its magnitude is at
// most `bound`. The product is checked instead of dividing the bound.
inline bool scaledMicros(uint64_t digits, int decimals, bool negative, uint64_t bound, int64_t& n) {
  uint64_t magnitude = 0;
  if (__builtin_mul_overflow(digits, kMicroScales[decimals], &magnitude) || magnitude > bound) {
    return false;
  }
  n = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// readMicros for the texts that measures mostly hold, inline: an optional
// minus, then 1 to 15 digits with at most six after a point, and nothing
// else. Returns true, with `n` set as readMicros sets it, only for such a
// text within `bound`; false leaves the text to readAnyMicros.
inline bool readPlainMicros(std::string_view text, uint64_t bound, int64_t& n) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p < end && *p == '-';
  p += negative ? 1 : 0;
  uint64_t digits = 0;
  int count = 0;
  int decimals = -1;  // none until the point
  for (; p < end; ++p) {
    const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(*p)) - '0';
    if (digit < 10) {
      digits = digits * 10 + digit;
      ++count;
      if (decimals >= 0) ++decimals;
    } else if (*p == '.' && decimals < 0) {
      decimals = 0;
    } else {
      return false;
    }
    if (count > 15 || decimals > 6) return false;
  }
  return count != 0 && scaledMicros(digits, decimals < 0 ? 0 : decimals, negative, bound, n);
}

// readMicros for every text, without the inline path.
bool readAnyMicros(std::string_view text, uint64_t bound, int64_t& n);

// Sets `n` to `text` in whole millionths and returns true when the text
// (up to a NUL byte, if it holds one) reads as exactly such a number of
// magnitude at most `bound` millionths; false otherwise ("1.2345678",
// "1e300", "nan"). Plain texts are read inline.
inline bool readMicros(std::string_view text, uint64_t bound, int64_t& n) {
  return readPlainMicros(text, bound, n) || readAnyMicros(text, bound, n);
}

// What readNumber reads back from the text that writeNumber writes for x:
// the running total after an addition, rounded to six decimals.
double readBack(double x);

}  // namespace tabulon

#endif  // TABULON_PIVOT_DECIMAL_TEXT_H_
