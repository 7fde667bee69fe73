// Turning the library's byte texts back into Java text.
//
// Texts taken from Java arrive as the JVM's modified UTF-8: characters
// outside the Basic Multilingual Plane as two 3-byte encoded surrogates,
// U+0000 as C0 80. The result text is built from those bytes, from the
// engine's own UTF-8 labels, and from names cut to 49 bytes, which may end
// in the middle of a character. These functions decide whether a text can
// go to NewStringUTF as it is, and otherwise decode it into UTF-16 with
// every broken sequence replaced by U+FFFD. Pure functions, no JNI.
#ifndef TABULON_JNI_MODIFIED_UTF8_H_
#define TABULON_JNI_MODIFIED_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tabulon {
namespace utf8 {

inline constexpr char32_t kInvalid = 0xFFFFFFFF;
inline constexpr char16_t kReplacement = 0xFFFD;

struct Sequence {
  char32_t codePoint;  // kInvalid for a broken sequence
  std::size_t length;  // bytes consumed, at least 1
};

// Decodes the sequence that starts at `p` (p < end). Accepts standard UTF-8
// (1 to 4 bytes) plus the two forms of modified UTF-8: C0 80 for U+0000 and
// 3-byte encoded surrogates (returned as the surrogate code point). A broken
// sequence consumes its longest valid prefix (at least one byte), so each
// one becomes exactly one replacement character.
inline Sequence decodeSequence(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {lead, 1};
  int trailing;
  char32_t cp;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead == 0xC0) {
    if (end - p >= 2 && p[1] == 0x80) return {0, 2};
    return {kInvalid, 1};
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {kInvalid, 1};  // C1, F5..FF, or a stray continuation byte
  }
  std::size_t length = 1;
  for (int i = 0; i < trailing; ++i) {
    if (p + length == end) return {kInvalid, length};
    const unsigned char byte = p[length];
    if (byte < low || byte > high) return {kInvalid, length};
    cp = (cp << 6) | (byte & 0x3F);
    ++length;
    low = 0x80;
    high = 0xBF;
  }
  return {cp, length};
}

inline bool isHighSurrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDBFF; }
inline bool isLowSurrogate(char32_t cp) { return cp >= 0xDC00 && cp <= 0xDFFF; }

// True when `bytes` is well-formed modified UTF-8 that NewStringUTF turns
// into the same text as decodeToUtf16: no zero byte, no 4-byte sequence, no
// broken sequence, and surrogates only in high-low pairs.
inline bool isNewStringUtfSafe(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  constexpr std::uint64_t kLows = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  while (p < end) {
    // Eight bytes at a time while none is zero or has its high bit set.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t zeroBytes = (word - kLows) & ~word & kHighs;
      if (((word & kHighs) | zeroBytes) != 0) break;
      p += 8;
    }
    if (p == end) break;
    if (*p == 0) return false;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const Sequence s = decodeSequence(p, end);
    if (s.codePoint == kInvalid || s.codePoint > 0xFFFF || isLowSurrogate(s.codePoint)) {
      return false;
    }
    p += s.length;
    if (isHighSurrogate(s.codePoint)) {
      if (p == end) return false;
      const Sequence next = decodeSequence(p, end);
      if (next.length != 3 || !isLowSurrogate(next.codePoint)) return false;
      p += next.length;
    }
  }
  return true;
}

// True when `bytes` is well-formed standard UTF-8 with neither of the two
// modified forms (C0 80, encoded surrogates): then any standard decoder,
// Java's own included, gives the same text as decodeToUtf16.
inline bool isStandardUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  while (p < end) {
    // Eight ASCII bytes at a time: none has its high bit set.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if ((word & 0x8080808080808080ULL) != 0) break;
      p += 8;
    }
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const Sequence s = decodeSequence(p, end);
    if (s.codePoint == kInvalid || *p == 0xC0 || (s.codePoint >= 0xD800 && s.codePoint <= 0xDFFF)) {
      return false;
    }
    p += s.length;
  }
  return true;
}

// Decodes `bytes` into UTF-16 at `out`, which has room for bytes.size()
// code units (a text never has more), and returns the number written.
// Surrogate pairs (as 3-byte sequences) and 4-byte sequences give the same
// pair of code units; a broken sequence or an unpaired surrogate gives
// U+FFFD.
inline std::size_t decodeToUtf16(std::string_view bytes, char16_t* out) {
  char16_t* o = out;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  while (p < end) {
    // Eight ASCII bytes at a time.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if ((word & 0x8080808080808080ULL) != 0) break;
      for (int i = 0; i < 8; ++i) o[i] = p[i];
      o += 8;
      p += 8;
    }
    if (p == end) break;
    if (*p < 0x80) {
      *o++ = *p++;
      continue;
    }
    const Sequence s = decodeSequence(p, end);
    p += s.length;
    if (s.codePoint == kInvalid || isLowSurrogate(s.codePoint)) {
      *o++ = kReplacement;
    } else if (isHighSurrogate(s.codePoint)) {
      const Sequence next = p < end ? decodeSequence(p, end) : Sequence{kInvalid, 0};
      if (isLowSurrogate(next.codePoint)) {
        *o++ = static_cast<char16_t>(s.codePoint);
        *o++ = static_cast<char16_t>(next.codePoint);
        p += next.length;
      } else {
        *o++ = kReplacement;  // the next sequence is decoded on its own
      }
    } else if (s.codePoint > 0xFFFF) {
      const char32_t v = s.codePoint - 0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (v >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(s.codePoint);
    }
  }
  return static_cast<std::size_t>(o - out);
}

// The same into a new string.
inline std::u16string decodeToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  out.resize(decodeToUtf16(bytes, out.data()));
  return out;
}

}  // namespace utf8
}  // namespace tabulon

#endif  // TABULON_JNI_MODIFIED_UTF8_H_
