// Hostile input through the whole request: huge, deep, odd or endless
// texts in every place a caller controls. Each case must finish, give the
// defined result and (under the sanitizer build) touch no memory wrongly.
#include <gtest/gtest.h>

#include <string>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "render/grid_frame.h"
#include "render/html_table.h"
#include "request/transform_document.h"
#include "request/transform_request.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 5;  // sanitized builds run the same shapes, smaller
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kScale = 5;
#else
constexpr int kScale = 1;
#endif
#else
constexpr int kScale = 1;
#endif

RowTable smallTable() {
  return {{"R", "|", "C", "m"}, {"r1", "", "c1", "1"}, {"r2", "", "c2", "2"}};
}

std::string html(RowTable rows, const std::string& options) {
  return transformDocument(std::move(rows), options).html;
}

TEST(HostileInputTest, DeeplyNestedGridFrame) {
  const std::string nested(5'000'000 / kScale, '[');
  const std::string json = transformRequest(smallTable(), "GridFrame=row:[R],col:" + nested);
  EXPECT_EQ(json.back(), '\n');
  // Every "[" opens an empty-named member below the last one.
  CrossTab tab;
  tab.transform(smallTable(), PivotOptions());
  applyGridFrame(tab, "row:[R],col:" + nested + "x");
  const DimNode* node = tab.columnHeader();
  std::size_t depth = 0;
  while (!node->children().empty()) {
    node = node->children()[0];
    ++depth;
  }
  EXPECT_EQ(depth, nested.size());
  EXPECT_EQ(node->name(), "x");
  const std::string layout = renderGridFrame(tab);
  EXPECT_EQ(layout.size(), std::string("row:[R],col:[]").size() + 2 * (nested.size() - 1) + 1);
}

TEST(HostileInputTest, StrayBracketsAndCommasOnly) {
  const std::string cases[] = {
      "row:" + std::string(1'000'000 / kScale, ']') + ",col:" + std::string(100000, ']'),
      "row:,col:" + std::string(1'000'000 / kScale, ','),
      "row:[" + std::string(100000, 'n') + "],col:[" + std::string(100000, 'c') + "]",
  };
  for (const std::string& frame : cases) {
    const std::string json = transformRequest(smallTable(), "GridFrame=" + frame);
    EXPECT_EQ(json.back(), '\n');
  }
}

TEST(HostileInputTest, MillionMembersInOneLevel) {
  const int members = 1'000'000 / kScale;
  RowTable rows;
  rows.reserve(members + 1);
  rows.push_back({"Id", "|", "Kind", "m"});
  for (int i = 0; i < members; ++i) rows.push_back({std::to_string(i), "", "k", "1"});
  CrossTab tab;
  runTransform(tab, std::move(rows), "m");
  EXPECT_EQ(tab.rowDimension()->children()[0]->span(), members);
  EXPECT_EQ(tab.cells().size(), static_cast<std::size_t>(members));
  const std::string text = renderHtml(tab);
  EXPECT_NE(text.find("<td class=\"rowhdr\">999</td><td> 1</td></tr>"), std::string::npos);
}

TEST(HostileInputTest, MegabyteNamesAndValues) {
  const std::string big(1 << 20, 'x');
  const std::string value(1 << 20, '7');
  const std::string out = html({{"R", "|", big, "m"}, {big, "", big, value}}, "Measures=m");
  const std::string cut(49, 'x');
  EXPECT_NE(out.find("<td class=\"rowhdr\">" + cut + "</td><td> " + value + "</td>"),
            std::string::npos);
}

TEST(HostileInputTest, EveryByteValueInNamesAndValues) {
  std::string all;
  for (int b = 1; b <= 0xFF; ++b) all.push_back(static_cast<char>(b));
  for (std::size_t at = 0; at < all.size(); at += 40) {
    const std::string piece = all.substr(at, 40);
    const std::string out = html({{"R", "|", "C", "m"}, {piece, "", "c", piece}}, "Measures=m");
    EXPECT_NE(out.find("<td class=\"rowhdr\">" + piece + "</td><td> " + piece + "</td>"),
              std::string::npos)
        << at;
    const std::string json = transformRequest({{"R", "|", "C", "m"}, {piece, "", "c", piece}},
                                              "Measures=m&GridFrame=" + piece);
    EXPECT_EQ(json.back(), '\n');
    // Control bytes never appear raw in the JSON text; the only LF is last.
    for (std::size_t i = 0; i + 1 < json.size(); ++i) {
      ASSERT_FALSE(static_cast<unsigned char>(json[i]) < 0x20) << at << " " << i;
    }
  }
}

TEST(HostileInputTest, MegabyteOptionTextsGiveDefaults) {
  std::string junk;
  for (int i = 0; junk.size() < (1u << 20); ++i) junk += static_cast<char>("=&Sx%+ \r\n"[i % 9]);
  const std::string cases[] = {junk, std::string(1 << 20, '&'), std::string(1 << 20, '='),
                               "Measures=" + std::string(1 << 20, ','),
                               "SumOption=" + std::string(1 << 20, 'S')};
  const std::string plainDefault = html(smallTable(), "");
  for (const std::string& options : cases) {
    const std::string json = transformRequest(smallTable(), options);
    EXPECT_EQ(json.back(), '\n');
  }
  EXPECT_EQ(html(smallTable(), junk), plainDefault);
}

TEST(HostileInputTest, TenThousandMeasureNames) {
  std::string measures = "Measures=";
  Row header{"R", "|", "C"};
  Row data{"r", "", "c"};
  for (int i = 0; i < 10000; ++i) {
    if (i) measures += ',';
    measures += "m" + std::to_string(i);
    if (i % 10 == 0) {
      header.push_back("m" + std::to_string(i));
      data.push_back(std::to_string(i));
    }
  }
  const std::string out = transformDocument({header, data}, measures).html;
  EXPECT_NE(out.find("<td> 9990</td>"), std::string::npos);
}

// Names that match no column all give a row the same empty cell: a cost of
// rows times names (here 5 * 10^7 cells, minutes and gigabytes) would show
// as a hang; stored once per row it takes milliseconds.
TEST(HostileInputTest, ManyUnmatchedAndRepeatedMeasureNames) {
  RowTable rows{{"R", "|", "C", "v"}};
  for (int i = 0; i < 1000; ++i) rows.push_back({"r" + std::to_string(i), "", "c", "1"});
  std::string measures = "Measures=x0";
  for (int i = 0; i < 50000; ++i) measures += ",x" + std::to_string(i % 40000);
  CrossTab tab;
  runTransform(tab, rows, measures.substr(9));
  EXPECT_EQ(tab.cells().size(), 1000u);
  EXPECT_EQ(tab.measureDimension()->children().size(), 40000u);
  EXPECT_EQ(html(rows, measures), html(rows, "Measures=x0"));
}

}  // namespace
}  // namespace tabulon
