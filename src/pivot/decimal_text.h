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
#include <cstring>
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

// readPlainMicros for the texts most measures hold, without a loop: an
// optional minus, then at most eight bytes of digits with one point or
// none and at most six digits after it, read as one 64-bit word. The eight
// bytes from the first one past the minus must lie before `limit`. Returns
// true with `n` set as readPlainMicros sets it; false says nothing about
// the text, which is then read the long way.
inline bool readShortMicros(std::string_view text, const char* limit, uint64_t bound, int64_t& n) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  const char* p = text.data();
  std::size_t size = text.size();
  const bool negative = size != 0 && *p == '-';
  p += negative ? 1 : 0;
  size -= negative ? 1 : 0;
  if (size - 1 >= 8 || limit - p < 8) return false;  // none, or more than eight bytes
  uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);  // byte 0 is the first (little-endian)
  const uint64_t textBytes = ~uint64_t{0} >> (64 - 8 * size);
  // Each byte of the text as its digit (0 to 9 for a digit), the bytes
  // past the text zero; a point reads 0x1E.
  uint64_t digitsWord = (word ^ (kOnes * '0')) & textBytes;
  // The first point, if any: the bytes above it move down one place over it.
  const uint64_t dots = digitsWord ^ (kOnes * ('.' ^ '0'));
  const uint64_t found = (dots - kOnes) & ~dots & (kOnes * 0x80) & textBytes;
  std::size_t digits = size;
  int decimals = 0;
  if (found != 0) {
    const uint64_t below = ((found & (~found + 1)) >> 7) - 1;  // the bytes below the first point
    const std::size_t at = static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
    digitsWord = (digitsWord & below) | ((digitsWord >> 8) & ~below);
    digits = size - 1;
    decimals = static_cast<int>(digits - at);
  }
  // Every byte a digit: none has its top bit set, before or after adding 0x76.
  if (((digitsWord | (digitsWord + kOnes * 0x76)) & (kOnes * 0x80)) != 0 || digits == 0 ||
      decimals > 6) {
    return false;
  }
  // The digits, the last one in the top byte, to one number: pairs, then
  // fours, then all eight.
  uint64_t value = digitsWord << (8 * (8 - digits));
  value = value * 10 + (value >> 8);
  value = (((value & 0x000000FF000000FF) * (100 + (uint64_t{1000000} << 32))) +
           (((value >> 16) & 0x000000FF000000FF) * (1 + (uint64_t{10000} << 32)))) >> 32;
  // At most eight digits: the millionths stay below 10^14, no product overflows.
  const uint64_t magnitude = (value & 0xFFFFFFFF) * kMicroScales[decimals];
  if (magnitude > bound) return false;
  n = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
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
