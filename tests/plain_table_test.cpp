#include "render/plain_table.h"

#include <gtest/gtest.h>

#include <string>

#include "pivot/cross_tab.h"
#include "render/html_table.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

constexpr char kHead[] =
    "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n<thead><tr>\n";
constexpr char kHeadEnd[] = "</tr>\n    </thead>\n<tbody>\n";
constexpr char kEnd[] = "</tbody>\n</Table>\n";

TEST(PlainTableTest, WorkedExampleNineLines) {
  CrossTab tab;
  tab.transform({{"Name", "Qty"}, {"a", "1"}, {"b", "2"}}, PivotOptions());
  const std::string expected =
      "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n"
      "<thead><tr>\n"
      "<td class='rowhdr'>Name</td><td class='rowhdr'>Qty</td></tr>\n"
      "    </thead>\n"
      "<tbody>\n"
      "<tr><td>a</td><td>1</td></tr>\n"
      "<tr><td>b</td><td>2</td></tr>\n"
      "</tbody>\n"
      "</Table>\n";
  EXPECT_EQ(renderPlainTable(tab), expected);
  // renderHtml returns it whole, also with the measure placed.
  tab.transform({{"Name", "Qty"}, {"a", "1"}, {"b", "2"}}, withMeasures("Qty"));
  EXPECT_EQ(renderHtml(tab), expected);
}

TEST(PlainTableTest, RowsEqualToTheHeaderAreSkippedWherever) {
  CrossTab tab;
  tab.transform({{"N", "Q"}, {"N", "Q"}, {"a", "1"}, {"N", "Q"}, {"N", "Q", "x"}}, PivotOptions());
  EXPECT_EQ(renderPlainTable(tab),
            std::string(kHead) + "<td class='rowhdr'>N</td><td class='rowhdr'>Q</td>" + kHeadEnd +
                "<tr><td>a</td><td>1</td></tr>\n"
                "<tr><td>N</td><td>Q</td><td>x</td></tr>\n" +
                kEnd);
}

TEST(PlainTableTest, SeparatorAsLastColumnIsLeftOut) {
  CrossTab tab;
  tab.transform({{"N", "Q", "|"}, {"a", "1", "|"}, {"b", "2", "kept"}}, PivotOptions());
  EXPECT_EQ(renderPlainTable(tab),
            std::string(kHead) + "<td class='rowhdr'>N</td><td class='rowhdr'>Q</td>" + kHeadEnd +
                "<tr><td>a</td><td>1</td></tr>\n"
                "<tr><td>b</td><td>2</td><td>kept</td></tr>\n" +
                kEnd);
}

TEST(PlainTableTest, SeparatorAsFirstColumnAndCustomSeparator) {
  CrossTab tab;
  PivotOptions options;
  options.setSeparate("$");
  tab.transform({{"$", "N"}, {"x", "a"}, {"$", "b"}}, options);
  EXPECT_EQ(renderPlainTable(tab),
            std::string(kHead) + "<td class='rowhdr'>N</td>" + kHeadEnd +
                "<tr><td>x</td><td>a</td></tr>\n"
                "<tr><td>b</td></tr>\n" +
                kEnd);
}

TEST(PlainTableTest, CellHoldingTheSeparatorTextIsDropped) {
  CrossTab tab;
  tab.transform({{"N", "Q"}, {"a", "|", "1"}}, PivotOptions());
  EXPECT_EQ(renderPlainTable(tab), std::string(kHead) +
                                       "<td class='rowhdr'>N</td><td class='rowhdr'>Q</td>" +
                                       kHeadEnd + "<tr><td>a</td><td>1</td></tr>\n" + kEnd);
}

TEST(PlainTableTest, ShortLongAndEmptyRows) {
  CrossTab tab;
  tab.transform({{"N", "Q"}, {"a"}, {}, {"b", "2", "3"}}, PivotOptions());
  EXPECT_EQ(renderPlainTable(tab),
            std::string(kHead) + "<td class='rowhdr'>N</td><td class='rowhdr'>Q</td>" + kHeadEnd +
                "<tr><td>a</td></tr>\n"
                "<tr></tr>\n"
                "<tr><td>b</td><td>2</td><td>3</td></tr>\n" +
                kEnd);
}

TEST(PlainTableTest, InnerSeparatorGivesEmptyText) {
  CrossTab tab;
  tab.transform({{"R", "|", "C"}, {"a", "|", "b"}}, PivotOptions());
  EXPECT_EQ(renderPlainTable(tab), "");
}

TEST(PlainTableTest, NothingIsEscaped) {
  CrossTab tab;
  tab.transform({{"<N>", "Q&"}, {"a\"b", "'c'"}}, PivotOptions());
  EXPECT_EQ(renderPlainTable(tab),
            std::string(kHead) + "<td class='rowhdr'><N></td><td class='rowhdr'>Q&</td>" +
                kHeadEnd + "<tr><td>a\"b</td><td>'c'</td></tr>\n" + kEnd);
}

}  // namespace
}  // namespace tabulon
