#include "request/transform_request.h"

#include <gtest/gtest.h>

#include <string>

#include "worked_example.h"

namespace tabulon {
namespace {

// The result text up to the "ret" object: the request echo.
std::string echoOf(const std::string& text) {
  const std::size_t ret = text.find(",\"ret\":");
  return ret == std::string::npos ? text : text.substr(0, ret);
}

// The text of "ret"."GridFrame" (written before "Html", never escaped here).
std::string gridFrameOf(const std::string& text) {
  const std::string key = "\"ret\":{\"GridFrame\":\"";
  const std::size_t begin = text.find(key);
  if (begin == std::string::npos) return "<none>";
  const std::size_t start = begin + key.size();
  return text.substr(start, text.find('"', start) - start);
}

TEST(TransformRequestTest, EchoesTheFiveValuesAsLookedUp) {
  struct Case {
    std::string options, echo;
  };
  const Case cases[] = {
      {"",
       R"({"req":{"GridFrame":"","Measures":"","Separate":"","SumOption":"","SumPos":""})"},
      // The usage message's own option text: echoed whole, words unchecked.
      {"SumOption=SumNone/SumIncRow/SumIncCol/SunIncRowCol&SumPos=SumFirst/SumLast&"
       "RowColSort=ColSort/RowSort&Separate=|/||/$&Measures=ma,mb&GridFrame=[]",
       R"({"req":{"GridFrame":"[]","Measures":"ma,mb","Separate":"|/||/$",)"
       R"("SumOption":"SumNone/SumIncRow/SumIncCol/SunIncRowCol","SumPos":"SumFirst/SumLast"})"},
      {"SumOption=SunIncRowCol&Separate=&RowColSort=RowSort",
       R"({"req":{"GridFrame":"","Measures":"","Separate":"","SumOption":"SunIncRowCol","SumPos":""})"},
      {"Measures=ma,mb\r\n&XSumPos=SumLast",
       R"({"req":{"GridFrame":"","Measures":"ma,mb\r\n","Separate":"","SumOption":"","SumPos":"SumLast"})"},
      // MemoryLimit is echoed only when the text has the key, as looked up.
      {"MemoryLimit=64M&Measures=Sales",
       R"({"req":{"GridFrame":"","Measures":"Sales","MemoryLimit":"64M","Separate":"",)"
       R"("SumOption":"","SumPos":""})"},
      {"MemoryLimit=&XMemoryLimit=junk",
       R"({"req":{"GridFrame":"","Measures":"","MemoryLimit":"","Separate":"","SumOption":"",)"
       R"("SumPos":""})"},
      // So is Aggregate, a word unchecked.
      {"Aggregate=Avg&Measures=Sales",
       R"({"req":{"Aggregate":"Avg","GridFrame":"","Measures":"Sales","Separate":"",)"
       R"("SumOption":"","SumPos":""})"},
      {"XAggregate=Mean",
       R"({"req":{"Aggregate":"Mean","GridFrame":"","Measures":"","Separate":"","SumOption":"",)"
       R"("SumPos":""})"},
      // Escape likewise; any value is echoed, only "Html" escapes.
      {"Escape=Html",
       R"({"req":{"Escape":"Html","GridFrame":"","Measures":"","Separate":"","SumOption":"",)"
       R"("SumPos":""})"},
      {"Escape=&XEscape=html",
       R"({"req":{"Escape":"","GridFrame":"","Measures":"","Separate":"","SumOption":"",)"
       R"("SumPos":""})"},
      {"Separate=\"\\\x1B/\x7F&Measures=销售额",
       "{\"req\":{\"GridFrame\":\"\",\"Measures\":\"销售额\",\"Separate\":\"\\\"\\\\\\u001B/\x7F\","
       "\"SumOption\":\"\",\"SumPos\":\"\"}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(echoOf(transformRequest(workedExampleRows(), c.options)), c.echo) << c.options;
  }
}

TEST(TransformRequestTest, EmptyTableGivesTheWholeEnvelope) {
  EXPECT_EQ(transformRequest({}, ""),
            R"({"req":{"GridFrame":"","Measures":"","Separate":"","SumOption":"","SumPos":""},)"
            R"("ret":{"GridFrame":"row:[],col:[]","Html":"提交的数据不正常，请提交正常的csv数据"}})"
            "\n");
  // A header without data rows is no table either.
  EXPECT_EQ(gridFrameOf(transformRequest({{"A", "|", "B"}}, "Measures=B")), "row:[],col:[]");
}

TEST(TransformRequestTest, GridFrameAppliedOnlyAboveTenBytes) {
  const std::string derived = "row:[Region,City],col:[2019[Sales],2020[Sales]]";
  struct Case {
    std::string gridFrame, written;
  };
  const Case cases[] = {
      {"[]", derived},
      {"row:[A],co", derived},                                 // 10 bytes
      {"row:[],col:", "row:[],col:[]"},                         // 11 bytes: read back
      {"row:[City],col:[2020[Sales]]", "row:[City],col:[2020[Sales]]"},
  };
  for (const Case& c : cases) {
    const std::string text =
        transformRequest(workedExampleRows(), "Measures=Sales&GridFrame=" + c.gridFrame);
    EXPECT_EQ(gridFrameOf(text), c.written) << c.gridFrame;
  }
}

TEST(TransformRequestTest, TextIsOneLineWithRawUtf8) {
  const std::string text =
      transformRequest(workedExampleRows(), "Measures=Sales&SumOption=SumIncCol&SumPos=SumLast");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  EXPECT_EQ(text.substr(text.size() - 3), "}}\n");
  EXPECT_NE(text.find("<td class=\\\"colhdr\\\">合计</td>"), std::string::npos);
  EXPECT_EQ(text.find("\\u"), std::string::npos);
}

}  // namespace
}  // namespace tabulon
