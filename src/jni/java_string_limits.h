// How long a Java string may be, and how long a text will be as one.
//
// The JDK 17 HotSpot VM keeps a string's characters in a byte array of at
// most 2^31 - 3 elements: one byte per character when every character is
// Latin-1 (U+0000 to U+00FF), two otherwise. A longer text makes the VM fail
// with an error that names neither the text nor its size (or, for twice a
// length past 2^31, a NegativeArraySizeException), so the library checks the
// size first and raises its own clear error. Pure functions, no JNI.
#ifndef TABULON_JNI_JAVA_STRING_LIMITS_H_
#define TABULON_JNI_JAVA_STRING_LIMITS_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "jni/modified_utf8.h"

namespace tabulon {

inline constexpr std::uint64_t kMaxJavaByteArray = 2147483645;  // 2^31 - 3
inline constexpr std::uint64_t kMaxLatin1JavaString = kMaxJavaByteArray;
inline constexpr std::uint64_t kMaxUtf16JavaString = kMaxJavaByteArray / 2;  // 1073741822

// The length of a text as a Java string: its UTF-16 code units, and whether
// all of them are Latin-1.
struct JavaTextSize {
  std::uint64_t units = 0;
  bool latin1 = true;
};

inline bool fitsJavaString(const JavaTextSize& size) {
  return size.units <= (size.latin1 ? kMaxLatin1JavaString : kMaxUtf16JavaString);
}

// The size of the string that utf8::decodeToUtf16 (or NewStringUTF, for a
// text it takes) makes of `bytes`, without making it.
inline JavaTextSize javaTextSize(std::string_view bytes) {
  JavaTextSize size;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  while (p < end) {
    if (*p < 0x80) {
      ++size.units;
      ++p;
      continue;
    }
    const utf8::Sequence s = utf8::decodeSequence(p, end);
    p += s.length;
    size.units += 1;
    if (s.codePoint <= 0xFF) continue;  // kInvalid is above, as U+FFFD
    size.latin1 = false;
    if (utf8::isHighSurrogate(s.codePoint)) {
      const utf8::Sequence next =
          p < end ? utf8::decodeSequence(p, end) : utf8::Sequence{utf8::kInvalid, 0};
      if (utf8::isLowSurrogate(next.codePoint)) {
        size.units += 1;
        p += next.length;
      }
    } else if (s.codePoint > 0xFFFF && s.codePoint != utf8::kInvalid) {
      size.units += 1;  // a pair
    }
  }
  return size;
}

// A result text too long to be a Java string; raised in Java as an
// OutOfMemoryError with this message, as the JDK reports strings past its
// limit.
class JavaStringTooLong : public std::length_error {
 public:
  explicit JavaStringTooLong(const JavaTextSize& size)
      : std::length_error(messageFor(size)) {}

 private:
  static std::string messageFor(const JavaTextSize& size) {
    return "result text of " + std::to_string(size.units) +
           (size.latin1 ? " Latin-1" : " UTF-16") +
           " characters is longer than a Java string can be (at most " +
           std::to_string(kMaxLatin1JavaString) + " Latin-1 or " +
           std::to_string(kMaxUtf16JavaString) + " other characters)";
  }
};

}  // namespace tabulon

#endif  // TABULON_JNI_JAVA_STRING_LIMITS_H_
