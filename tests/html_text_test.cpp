#include "render/html_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html_unescape.h"
#include "request/transform_document.h"

namespace tabulon {
namespace {

TEST(HtmlTextTest, EscapesTheFiveMarkupCharactersOnly) {
  struct Case {
    std::string text, escaped;
  };
  const Case cases[] = {
      {"", ""},
      {"plain 123", "plain 123"},
      {"<b>x</b>", "&lt;b&gt;x&lt;/b&gt;"},
      {"a\"b'c", "a&quot;b&#39;c"},
      {"&amp;", "&amp;amp;"},
      {"&&", "&amp;&amp;"},
      {"\xF0\x9D\x84\x9E<\xE5\x90\x88", "\xF0\x9D\x84\x9E&lt;\xE5\x90\x88"},  // 4- and 3-byte UTF-8
      {std::string("a\0<", 3), std::string("a\0&lt;", 6)},
  };
  for (const Case& c : cases) {
    std::string out = "pre:";
    appendEscapedHtml(out, c.text);
    EXPECT_EQ(out, "pre:" + c.escaped) << c.text;
    EXPECT_EQ(escapedHtmlSize(c.text), c.escaped.size()) << c.text;
  }
}

TEST(HtmlTextTest, OnlyTheExactValueHtmlEscapes) {
  EXPECT_EQ(htmlTextFor("Html"), HtmlText::kEscaped);
  for (const char* value : {"", "html", "HTML", "Html ", "Htm", "Html,Raw"}) {
    EXPECT_EQ(htmlTextFor(value), HtmlText::kRaw) << value;
  }
}

// Hostile texts in every place the HTML shows data: row titles and members,
// column members, measure names, values; with totals, in both positions,
// and in the table without a separator column.
TEST(HtmlTextTest, TransformEscapesEveryDataTextAndNothingElse) {
  const std::string clef = "\xF0\x9D\x84\x9E";  // outside the Basic Multilingual Plane
  const RowTable crossTab = {
      {"Reg<ion>", "Ci\"ty'", "|", "Y&ear", "S<a>les", "C\"o'st"},
      {"<script>alert(1)</script>", "N&J", "|", "20'19", "5", "1"},
      {"<script>alert(1)</script>", "&amp;", "|", "\"2020\"", "<6>", "2"},
      {"We" + clef + "st", "L>A", "|", "20'19", "9&", clef},
  };
  const RowTable plain = {
      {"N<a>me", "Q&ty"},
      {"a\"b'", "&lt;"},
      {clef + "<", "1"},
  };
  struct Case {
    const RowTable* rows;
    std::string options;
    std::vector<std::string> shown;  // escaped texts the HTML must hold
  };
  const std::vector<std::string> crossTabTexts = {
      "Reg&lt;ion&gt;", "Ci&quot;ty&#39;", "&lt;script&gt;alert(1)&lt;/script&gt;", "N&amp;J",
      "&amp;amp;", "20&#39;19", "&quot;2020&quot;", "&lt;6&gt;", "9&amp;",
      "We" + clef + "st", "L&gt;A", "S&lt;a&gt;les", "C&quot;o&#39;st"};
  const Case cases[] = {
      {&crossTab, "Measures=S<a>les,C\"o'st&SumOption=SumIncRowCol", crossTabTexts},
      {&crossTab, "Measures=S<a>les,C\"o'st&SumOption=SumIncRowCol&SumPos=SumFirst&RowColSort=Row",
       crossTabTexts},
      {&crossTab, "Measures=S<a>les&SumOption=SumNone",
       {"&lt;script&gt;alert(1)&lt;/script&gt;", "&amp;amp;", "&lt;6&gt;", "9&amp;"}},
      {&plain, "", {"N&lt;a&gt;me", "Q&amp;ty", "a&quot;b&#39;", "&amp;lt;", clef + "&lt;"}},
  };
  for (const Case& c : cases) {
    const TransformDocument raw = transformDocument(*c.rows, c.options);
    const TransformDocument escaped = transformDocument(*c.rows, c.options + "&Escape=Html");
    EXPECT_EQ(escaped.gridFrame, raw.gridFrame) << c.options;
    EXPECT_EQ(unescapeHtml(escaped.html), raw.html) << c.options;
    EXPECT_EQ(escaped.html.find("<script>"), std::string::npos) << c.options;
    for (const std::string& text : c.shown) {
      EXPECT_NE(escaped.html.find(text), std::string::npos) << c.options << ": " << text;
    }
    // Any other value keeps the raw bytes.
    EXPECT_EQ(transformDocument(*c.rows, c.options + "&Escape=html").html, raw.html);
  }
}

}  // namespace
}  // namespace tabulon
