#include "jni/java_string_limits.h"

#include <gtest/gtest.h>

#include <string>

#include "jni/modified_utf8.h"

namespace tabulon {
namespace {

// The size agrees with the string that decodeToUtf16 makes.
TEST(JavaStringLimitsTest, SizeOfTheDecodedText) {
  const std::string texts[] = {
      "", "plain", "caf\xC3\xA9 \xC3\xBF", "a\xC0\x80z", "合计", "\xED\xA0\xBD\xED\xB8\x80",
      "\xF0\x9F\x98\x80", "\xED\xA0\xBD", "\xED\xA0\xBD" "a", "\xED\xB8\x80", "ab\xE4\xB8",
      "\x80\xBF", "\xC0", std::string("a\0z", 3), "\xC4\x80",
  };
  for (const std::string& text : texts) {
    const std::u16string decoded = utf8::decodeToUtf16(text);
    bool latin1 = true;
    for (char16_t unit : decoded) latin1 = latin1 && unit <= 0xFF;
    const JavaTextSize size = javaTextSize(text);
    EXPECT_EQ(size.units, decoded.size()) << text;
    EXPECT_EQ(size.latin1, latin1) << text;
  }
}

TEST(JavaStringLimitsTest, LongestStringsOfTheVm) {
  struct Case {
    std::uint64_t units;
    bool latin1, fits;
  };
  const Case cases[] = {
      {0, true, true},
      {2147483645, true, true},
      {2147483646, true, false},
      {std::uint64_t{1} << 32, true, false},  // would wrap in 32 bits
      {1073741822, false, true},
      {1073741823, false, false},
      {1570000000, false, false},  // twice this is negative in 32 bits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fitsJavaString(JavaTextSize{c.units, c.latin1}), c.fits) << c.units;
  }
  const std::string message = JavaStringTooLong(JavaTextSize{1570000000, false}).what();
  EXPECT_NE(message.find("1570000000 UTF-16 characters"), std::string::npos) << message;
}

}  // namespace
}  // namespace tabulon
