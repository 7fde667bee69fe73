#include "request/json_text.h"

#include <gtest/gtest.h>
#include <json/reader.h>

#include <memory>
#include <string>

namespace tabulon {
namespace {

std::string quoted(const std::string& text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

TEST(JsonStringTest, EscapesExactlyTheListedBytes) {
  struct Case {
    std::string text, written;
  };
  const Case cases[] = {
      {"", R"("")"},
      {"plain text", R"("plain text")"},
      {"\"", R"("\"")"},
      {"\\", R"("\\")"},
      // A backslash before "u001b" in the data is not an escape.
      {"\\u001b", R"("\\u001b")"},
      {"/ and </script>", R"("/ and </script>")"},
      {"合计 \x7F", "\"合计 \x7F\""},
      {"<td class=\"colhdr\">2019</td>", R"("<td class=\"colhdr\">2019</td>")"},
      {"<td class='logo'>", R"("<td class='logo'>")"},
      // NUL cannot stand raw in JSON text nor in a C string.
      {std::string("a\0b", 3), R"("a\u0000b")"},
      // Nor can U+0000 as the JVM writes it, C0 80; any other C0 stays.
      {"a\xC0\x80" "b", R"("a\u0000b")"},
      {"\xC0\x80\xC0\x80", R"("\u0000\u0000")"},
      {"\xC0", "\"\xC0\""},
      {"\xC0\xC0\x80", "\"\xC0\\u0000\""},
      {"\xC0\x81\x80", "\"\xC0\x81\x80\""},
      {"\x80\xC0", "\"\x80\xC0\""},
  };
  for (const Case& c : cases) EXPECT_EQ(quoted(c.text), c.written) << c.text;
}

TEST(JsonStringTest, EveryControlByte) {
  const char* const written[0x20] = {
      "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
      "\\b",     "\\t",     "\\n",     "\\u000B", "\\f",     "\\r",     "\\u000E", "\\u000F",
      "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
      "\\u0018", "\\u0019", "\\u001A", "\\u001B", "\\u001C", "\\u001D", "\\u001E", "\\u001F"};
  for (int c = 0; c < 0x20; ++c) {
    EXPECT_EQ(quoted(std::string(1, static_cast<char>(c))), "\"" + std::string(written[c]) + "\"")
        << "byte " << c;
  }
  // Bytes from 0x20 up, except '"' and '\', are copied.
  for (int c = 0x20; c < 0x100; ++c) {
    if (c == '"' || c == '\\') continue;
    const std::string byte(1, static_cast<char>(c));
    EXPECT_EQ(quoted(byte), "\"" + byte + "\"") << "byte " << c;
  }
}

// Long texts are scanned eight bytes at a time: every byte at every place
// of a word, and next to its neighbours, is escaped as it is alone.
TEST(JsonStringTest, EveryByteAtEveryPlaceOfALongText) {
  for (int c = 0; c < 0x100; ++c) {
    const std::string byte(1, static_cast<char>(c));
    const std::string alone = quoted(byte);
    const std::string inner = alone.substr(1, alone.size() - 2);
    for (std::size_t at = 0; at < 17; ++at) {
      const std::string text = std::string(at, 'a') + byte + std::string(20 - at, 'z');
      EXPECT_EQ(quoted(text), "\"" + std::string(at, 'a') + inner + std::string(20 - at, 'z') + "\"")
          << "byte " << c << " at " << at;
    }
  }
}

TEST(JsonTextTest, ObjectsAreCompactAndSortedByUnsignedBytes) {
  struct Case {
    Json::Value value;
    std::string written;
  };
  Json::Value keys(Json::objectValue);
  for (const char* key : {"ret", "req", "b", "ab", "a", "A", "\xE5\x90\x88", "~", ""}) {
    keys[key] = key[0] == '\0' ? "empty" : key;
  }
  Json::Value nested(Json::objectValue);
  nested["req"]["SumPos"] = "";
  nested["req"]["GridFrame"] = "[]";
  nested["ret"]["Html"] = "合计";
  nested["ret"]["GridFrame"] = "row:[],col:[]";
  Json::Value scalars(Json::arrayValue);
  scalars.append(Json::Value());
  scalars.append(true);
  scalars.append(-3);
  scalars.append(Json::UInt64(18446744073709551615ULL));
  scalars.append(0.5);
  scalars.append(Json::Value(Json::arrayValue));
  scalars.append(Json::Value(Json::objectValue));
  const Case cases[] = {
      {keys,
       "{\"\":\"empty\",\"A\":\"A\",\"a\":\"a\",\"ab\":\"ab\",\"b\":\"b\",\"req\":\"req\","
       "\"ret\":\"ret\",\"~\":\"~\",\"\xE5\x90\x88\":\"\xE5\x90\x88\"}\n"},
      {nested,
       R"({"req":{"GridFrame":"[]","SumPos":""},"ret":{"GridFrame":"row:[],col:[]","Html":"合计"}})"
       "\n"},
      {scalars, "[null,true,-3,18446744073709551615,0.5,[],{}]\n"},
      {Json::Value(std::string("a\0\x1B", 3)), "\"a\\u0000\\u001B\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(jsonText(c.value), c.written);
}

// The text reads back as the same document with a standard JSON reader.
TEST(JsonTextTest, ReadsBackUnchanged) {
  Json::Value root(Json::objectValue);
  std::string every;
  for (int c = 1; c < 0x100; ++c) every += static_cast<char>(c);
  root["req"]["Measures"] = "ma,mb\r\n";
  root["ret"]["Html"] = "<td class=\"x\">\\u001b 合计</td>\n";
  root["ret"]["GridFrame"] = every;
  const std::string text = jsonText(root);
  ASSERT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  Json::Value read;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &read, &errors)) << errors;
  EXPECT_EQ(read, root);
}

// The document is written as the same text as the equivalent Json::Value
// tree, its echo sorted by key whatever its order.
TEST(JsonTextTest, DocumentTextEqualsTheTreeText) {
  std::string every;
  for (int c = 0; c < 0x100; ++c) every += static_cast<char>(c);
  TransformDocument documents[3];
  documents[1].echo = {{"SumPos", "SumLast"}, {"GridFrame", ""}, {"Measures", "a\xC0\x80,b"}};
  documents[1].gridFrame = "row:[R],col:[c[m]]";
  documents[1].html = "<td class=\"x\">合计</td>\n";
  documents[2].echo = {{"MemoryLimit", "64M"}, {"Measures", every}, {"GridFrame", every}};
  documents[2].gridFrame = every;
  documents[2].html = std::string(1 << 20, '"') + every;
  for (const TransformDocument& document : documents) {
    Json::Value root(Json::objectValue);
    root["req"] = Json::Value(Json::objectValue);
    for (const auto& [key, value] : document.echo) {
      root["req"][key] = Json::Value(value.data(), value.data() + value.size());
    }
    root["ret"]["GridFrame"] = document.gridFrame;
    root["ret"]["Html"] = document.html;
    EXPECT_EQ(jsonText(document), jsonText(root));
  }
}

}  // namespace
}  // namespace tabulon
