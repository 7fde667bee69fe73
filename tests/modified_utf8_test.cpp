#include "jni/modified_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tabulon {
namespace {

struct Case {
  const char* what;
  std::string bytes;
  std::u16string text;  // decodeToUtf16
  bool safe;            // isNewStringUtfSafe
};

TEST(ModifiedUtf8Test, DecodesJavaBytesAndReplacesBrokenSequences) {
  const Case cases[] = {
      {"empty", "", u"", true},
      {"ascii", "a\"b<&>", u"a\"b<&>", true},
      {"chinese", "合计", u"合计", true},
      {"surrogate pair as Java gives it", "\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600", true},
      {"4-byte UTF-8", "\xF0\x9F\x98\x80", u"\U0001F600", false},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", false},
      {"modified UTF-8 zero", std::string("a\xC0\x80z"), std::u16string(u"a\0z", 3), true},
      {"raw zero byte", std::string("a\0z", 3), std::u16string(u"a\0z", 3), false},
      {"cut 3-byte character at the end", "ab\xE4\xB8", u"ab\uFFFD", false},
      {"cut lead byte at the end", "ab\xE4", u"ab\uFFFD", false},
      {"cut character before ascii", "\xE4\xB8" "A", u"\uFFFDA", false},
      {"stray continuation bytes", "\x80\xBF", u"\uFFFD\uFFFD", false},
      {"lone high surrogate", "\xED\xA0\xBD" "A", u"\uFFFDA", false},
      {"lone low surrogate", "\xED\xB8\x80", u"\uFFFD", false},
      {"high, then a pair", "\xED\xA0\xBD\xED\xA0\xBD\xED\xB8\x80", u"\uFFFD\U0001F600", false},
      {"pair cut after its high half", "\xED\xA0\xBD\xED", u"\uFFFD\uFFFD", false},
      {"overlong 2-byte", "\xC1\x81", u"\uFFFD\uFFFD", false},
      {"overlong C0 other than zero", "\xC0" "A", u"\uFFFDA", false},
      {"overlong 3-byte", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"invalid lead bytes", "\xF5\xFF", u"\uFFFD\uFFFD", false},
      // The eight-byte ASCII steps still see a zero or a broken byte anywhere.
      {"long ascii", "abcdefghijklmnopq", u"abcdefghijklmnopq", true},
      {"zero after eight", std::string("abcdefgh\0ij", 11), std::u16string(u"abcdefgh\0ij", 11),
       false},
      {"zero inside a word", std::string("abcdefghi\0jklmnop", 17),
       std::u16string(u"abcdefghi\0jklmnop", 17), false},
      {"modified zero after nine", std::string("abcdefghi\xC0\x80"),
       std::u16string(u"abcdefghi\0", 10), true},
      {"cut character after sixteen", "abcdefghijklmnop\xE4\xB8", u"abcdefghijklmnop\uFFFD", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8::decodeToUtf16(c.bytes), c.text) << c.what;
    EXPECT_EQ(utf8::isNewStringUtfSafe(c.bytes), c.safe) << c.what;
  }
}

// Every text that is safe for NewStringUTF decodes without a replacement,
// so both ways of making the Java string agree.
TEST(ModifiedUtf8Test, SafeTextsDecodeWithoutReplacement) {
  const std::string safe[] = {"x", "\xC3\xA9", "\xE4\xB8\xAD\xC0\x80", "\xED\xA0\x80\xED\xBF\xBF"};
  for (const std::string& bytes : safe) {
    ASSERT_TRUE(utf8::isNewStringUtfSafe(bytes)) << bytes;
    EXPECT_EQ(utf8::decodeToUtf16(bytes).find(utf8::kReplacement), std::u16string::npos);
  }
}

// Standard UTF-8 is what Java's own decoder reads as decodeToUtf16 does:
// the modified forms and every broken sequence are not, wherever they stand
// (the eight-byte ASCII steps included).
TEST(ModifiedUtf8Test, StandardUtf8ExcludesModifiedFormsAndBrokenSequences) {
  const std::string ascii(21, 'a');
  const struct {
    std::string bytes;
    bool standard;
  } cases[] = {
      {"", true},
      {ascii, true},
      {ascii + "合计" + ascii, true},
      {ascii + "\xF0\x9F\x98\x80" + ascii, true},
      {ascii + std::string(1, '\0') + ascii, true},
      {ascii + "\xC0\x80", false},
      {ascii + "\xED\xA0\xBD\xED\xB8\x80" + ascii, false},
      {ascii + "\xE4\xB8", false},
      {"\x80" + ascii, false},
      {ascii + "\xE0\x80\x80", false},
      {ascii + "\xF4\x90\x80\x80", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8::isStandardUtf8(c.bytes), c.standard) << c.bytes;
    if (c.standard) {
      EXPECT_EQ(utf8::decodeToUtf16(c.bytes).find(utf8::kReplacement), std::u16string::npos);
    }
  }
}

}  // namespace
}  // namespace tabulon
