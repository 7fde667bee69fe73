#include "jni/json_utf16.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jni/modified_utf8.h"
#include "request/json_text.h"

namespace tabulon {
namespace {

// Writing the JSON text straight into UTF-16 must give what decoding its
// bytes gives, for texts full of escapes next to broken and modified UTF-8
// sequences (a broken sequence cut by an escape, C0 80 beside a lone C0,
// surrogate halves on either side of an escape).
TEST(JsonUtf16Test, MatchesTheDecodedByteText) {
  const std::vector<std::string> pieces = {
      "a", "\"", "\\", "\n", "\x01", "\x1f", "\xC0", "\x80", "\xC0\x80", "\xE4", "\xB8", "\xAD",
      "\xE4\xB8\xAD", "\xED\xA0\x80", "\xED\xB0\x80", "\xF0\x9F\x98\x80", "\xFF", "\xC3\xA9", "/"};
  std::mt19937 random(20261209);
  auto text = [&] {
    std::string out;
    const std::size_t count = random() % 12;
    for (std::size_t i = 0; i < count; ++i) out += pieces[random() % pieces.size()];
    return out;
  };
  for (int round = 0; round < 2000; ++round) {
    TransformDocument document;
    const std::size_t members = random() % 3;
    for (std::size_t i = 0; i < members; ++i) document.echo.emplace_back(text(), text());
    document.gridFrame = text();
    document.html = text();
    const std::string bytes = jsonText(document);
    std::u16string expected(bytes.size(), u'\0');
    expected.resize(utf8::decodeToUtf16(bytes, expected.data()));
    std::u16string written(bytes.size(), u'\0');
    written.resize(writeJsonUtf16(document, written.data()));
    ASSERT_EQ(written, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace tabulon
