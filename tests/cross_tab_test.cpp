#include "pivot/cross_tab.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "pivot/labels.h"
#include "pivot/text_table_reader.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

// "name(span)[child,child]" for a subtree; leaves print without brackets.
std::string describe(const DimNode* node) {
  std::string out = std::string(node->name()) + "(" + std::to_string(node->span()) + ")";
  if (node->children().empty()) return out;
  out += "[";
  for (std::size_t i = 0; i < node->children().size(); ++i) {
    if (i) out += ",";
    out += describe(node->children()[i]);
  }
  return out + "]";
}

std::map<std::string, std::string> sortedCells(const CrossTab& tab) {
  std::map<std::string, std::string> cells;
  tab.cells().forEach([&](std::string_view key, std::string_view value) {
    EXPECT_TRUE(cells.emplace(key, value).second);
  });
  return cells;
}

TEST(SplitTest, KeepsEmptyItemsAndCleansTheLastOne) {
  struct Case {
    std::string text, delimiter;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"", ",", {}},
      {"a", ",", {"a"}},
      {"a,,b,", ",", {"a", "", "b", ""}},
      {",", ",", {"", ""}},
      {"ma,mb\r\n", ",", {"ma", "mb"}},
      {"a\r\nb\r\n", "\n", {"a\r", "b\r", ""}},
      {"x\ry\nz", ",", {"x"}},
      {"a\r,b", ",", {"a\r", "b"}},
      {"a\tb", "\t", {"a", "b"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> items{"stale"};
    EXPECT_EQ(split(c.text, c.delimiter, items), static_cast<int>(c.items.size())) << c.text;
    EXPECT_EQ(items, c.items) << c.text;
  }
}

TEST(FindSeparatorColumnTest, FindsTheLastOccurrence) {
  EXPECT_EQ(findSeparatorColumn({"A", "|", "B", "|", "C"}, "|"), 3);
  EXPECT_EQ(findSeparatorColumn({"A", "B"}, "|"), -1);
  EXPECT_EQ(findSeparatorColumn({}, "|"), -1);
  EXPECT_EQ(findSeparatorColumn({"$", "x", "$"}, "$"), 2);
  EXPECT_EQ(findSeparatorColumn({"|", "x"}, "|"), 0);
}

TEST(ParseTextTest, TabsCommasAndLineEnds) {
  struct Case {
    std::string text;
    RowTable rows;
  };
  const Case cases[] = {
      {"a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
      {"x,y,zzzzzzzzz\n1,2,3\n", {{"x", "y", "zzzzzzzzz"}, {"1", "2", "3"}}},
      {"a,b\n1,2\n", {{"a,b"}, {"1,2"}}},
      {"\n\na\tb\n\n", {{"a", "b"}}},
      {"", {}},
      {"a\tb\nc\rd\te", {{"a", "b"}, {"c"}}},  // the last line is cut at its CR
      {"a\r\tb\r\n", {{"a\r", "b"}}},
      // Once switched, later lines split by comma even if they hold tabs.
      {"aaaa,bbbb,cc\nx\ty,z\n", {{"aaaa", "bbbb", "cc"}, {"x\ty", "z"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseText(c.text), c.rows) << c.text;
  }
}

TEST(CrossTabTest, SkeletonAndOptionWords) {
  CrossTab tab;
  EXPECT_EQ(describe(&tab.root()), "ROOT(4)[指标维(0),列维(0),列头(0),行维(0)]");
  PivotOptions options;
  EXPECT_EQ(options.separate, "|");
  EXPECT_EQ(options.sumOption, SumOption::kNone);
  EXPECT_EQ(options.sumPos, SumPos::kFirst);
  EXPECT_FALSE(options.rowSort);
  using O = SumOption;
  using P = SumPos;
  struct Case {
    const char* word;
    SumOption sumOption;
    SumPos sumPos;
  };
  const Case cases[] = {{"SumIncRow", O::kRows, P::kFirst},    {"SumIncRowCol", O::kBoth, P::kFirst},
                        {"SunIncRowCol", O::kBoth, P::kFirst}, {"SumIncCol", O::kColumns, P::kFirst},
                        {"sumnone", O::kColumns, P::kFirst},   {"SumNone ", O::kColumns, P::kFirst},
                        {"SumLast", O::kColumns, P::kLast},    {"SumFirst", O::kColumns, P::kFirst},
                        {"SumNone", O::kNone, P::kFirst}};
  for (const Case& c : cases) {
    options.setSumOption(c.word);
    options.setSumPos(c.word);
    EXPECT_EQ(options.sumOption, c.sumOption) << c.word;
    EXPECT_EQ(options.sumPos, c.sumPos) << c.word;
  }
}

TEST(CrossTabTest, NoSeparatorMakesEveryColumnARowTitle) {
  CrossTab tab;
  runTransform(tab, {{"A", "B", "C", "ma"}, {"a", "b", "c", "5"}}, "ma");
  EXPECT_EQ(describe(&tab.root()),
            "ROOT(7)[指标维(1)[ma(0)],列维(0),列头(0),行维(4)[A(0),B(0),C(0),指标(0)]]");
  EXPECT_EQ(sortedCells(tab), (std::map<std::string, std::string>{{"a.b.c.ma.", "5"}}));
}

TEST(CrossTabTest, OneSeparatorBuildsBothTrees) {
  CrossTab tab;
  runTransform(tab,
               {{"A", "|", "C", "ma"}, {"a1", "x", "c1", "1"}, {"a1", "x", "c2", "2"},
                {"a2", "x", "c1", "3"}},
               "ma");
  EXPECT_EQ(describe(&tab.root()),
            "ROOT(7)[指标维(1)[ma(0)],列维(2)[C(0),指标(0)],"
            "列头(2)[c1(1)[ma(0)],c2(1)[ma(0)]],行维(2)[A(2)[a1(0),a2(0)]]]");
  EXPECT_EQ(sortedCells(tab), (std::map<std::string, std::string>{
                                  {"a1.c1.ma.", "1"}, {"a1.c2.ma.", "2"}, {"a2.c1.ma.", "3"}}));
}

TEST(CrossTabTest, HeaderConstructionWorkedExample) {
  CrossTab tab;
  runTransform(tab,
               {{"Region", "City", "|", "Year", "Qtr", "Sales", "Cost"},
                {"North", "Oslo", "-", "2020", "Q1", "1", "2"},
                {"North", "Bergen", "-", "2020", "Q2", "3", "4"},
                {"South", "Rome", "-", "2021", "Q1", "5", "6"}},
               "Sales,Cost");
  EXPECT_EQ(describe(tab.measureDimension()), "指标维(2)[Sales(0),Cost(0)]");
  EXPECT_EQ(describe(tab.columnDimension()), "列维(3)[Year(0),Qtr(0),指标(0)]");
  EXPECT_EQ(describe(tab.columnHeader()),
            "列头(6)[2020(4)[Q1(2)[Sales(0),Cost(0)],Q2(2)[Sales(0),Cost(0)]],"
            "2021(2)[Q1(2)[Sales(0),Cost(0)]]]");
  EXPECT_EQ(describe(tab.rowDimension()),
            "行维(4)[Region(3)[North(2)[Oslo(0),Bergen(0)],South(1)[Rome(0)]],City(0)]");
  EXPECT_EQ(tab.root().span(), 15);
  EXPECT_EQ(tab.cells().at("North.Oslo.2020.Q1.Sales."), "1");
  EXPECT_EQ(tab.cells().at("North.Oslo.2020.Q1.Cost."), "2");
  EXPECT_EQ(tab.cells().at("South.Rome.2021.Q1.Cost."), "6");
  EXPECT_EQ(tab.cells().size(), 6u);
}

TEST(CrossTabTest, MeasuresBeforeColumnDimensionsRepeatTheRestBelowEach) {
  CrossTab tab;
  runTransform(tab, {{"R", "|", "Sales", "Cost", "Year"}, {"r", "", "1", "2", "2020"},
                     {"r", "", "3", "4", "2021"}},
               "Sales,Cost");
  EXPECT_EQ(describe(tab.columnHeader()),
            "列头(4)[Sales(2)[2020(0),2021(0)],Cost(2)[2020(0),2021(0)]]");
  EXPECT_EQ(describe(tab.columnDimension()), "列维(2)[指标(0),Year(0)]");
  EXPECT_EQ(tab.cells().at("r.Sales.2021."), "3");
  EXPECT_EQ(tab.cells().at("r.Cost.2020."), "2");
}

TEST(CrossTabTest, MeasuresOnTheRowSideFormOneRowLevel) {
  CrossTab tab;
  runTransform(tab, {{"R", "ma", "|", "C"}, {"r1", "7", "", "c"}}, "ma");
  EXPECT_EQ(describe(tab.rowDimension()), "行维(2)[R(1)[r1(1)[ma(0)]],指标(0)]");
  EXPECT_EQ(describe(tab.columnHeader()), "列头(1)[c(0)]");
  EXPECT_EQ(tab.cells().at("r1.ma.c."), "7");
}

TEST(CrossTabTest, SeparatorAtEitherEnd) {
  CrossTab first;
  runTransform(first, {{"|", "Y", "m"}, {"", "2020", "1"}}, "m");
  EXPECT_EQ(describe(first.rowDimension()), "行维(0)");
  EXPECT_EQ(describe(first.columnHeader()), "列头(1)[2020(1)[m(0)]]");
  EXPECT_EQ(first.cells().at("2020.m."), "1");

  CrossTab last;
  runTransform(last, {{"X", "m", "|"}, {"x", "1", ""}}, "m");
  EXPECT_EQ(describe(last.rowDimension()), "行维(2)[X(1)[x(1)[m(0)]],指标(0)]");
  EXPECT_EQ(describe(last.columnDimension()), "列维(0)");
  EXPECT_EQ(describe(last.columnHeader()), "列头(0)");
  EXPECT_EQ(last.cells().at("x.m."), "1");
}

TEST(CrossTabTest, TwoSeparatorColumnsSplitTitlesAtTheFirstAndTreesAtTheLast) {
  CrossTab tab;
  runTransform(tab, {{"A", "|", "B", "|", "C", "m"}, {"a", "s1", "b", "s2", "c", "1"}}, "m");
  EXPECT_EQ(describe(tab.rowDimension()), "行维(1)[A(1)[a(1)[s1(1)[b(0)]]]]");
  EXPECT_EQ(describe(tab.columnDimension()), "列维(3)[B(0),C(0),指标(0)]");
  EXPECT_EQ(describe(tab.columnHeader()), "列头(1)[c(1)[m(0)]]");
  EXPECT_EQ(sortedCells(tab), (std::map<std::string, std::string>{{"a.s1.b.c.m.", "1"}}));
}

TEST(CrossTabTest, TooFewRowsLeaveTheSkeleton) {
  const RowTable inputs[] = {{}, {{"A", "|", "B", "m"}}};
  for (const RowTable& rows : inputs) {
    CrossTab tab;
    runTransform(tab, rows, "m");
    EXPECT_EQ(describe(&tab.root()), "ROOT(4)[指标维(0),列维(0),列头(0),行维(0)]");
    EXPECT_TRUE(tab.cells().empty());
  }
}

TEST(CrossTabTest, MeasureListGrammar) {
  struct Case {
    std::string measures;
    std::string tree;
  };
  const Case cases[] = {
      {"", "指标维(0)"},
      {"ma,mb,ma", "指标维(2)[ma(0),mb(0)]"},
      {"ma,", "指标维(2)[ma(0),(0)]"},
      {"ma,mb\r\n", "指标维(2)[ma(0),mb(0)]"},
  };
  for (const Case& c : cases) {
    CrossTab tab;
    runTransform(tab, {{"A", "|", "B", "ma"}, {"a", "", "b", "1"}}, c.measures);
    EXPECT_EQ(describe(tab.measureDimension()), c.tree) << c.measures;
  }
}

TEST(CrossTabTest, RaggedRowsAndHeaderCopies) {
  CrossTab tab;
  runTransform(tab,
               {{"A", "|", "B", "m"},
                {"a1", "", "b1", "1"},
                {"A", "|", "B", "m"},             // a copy of the header: ignored
                {"a2", "", "b2"},                 // short: column tree only
                {"a3"},                           // shorter than the separator
                {"a4", "", "b4", "4", "extra"},   // long: extra texts ignored
                {}},
               "m");
  EXPECT_EQ(describe(tab.columnHeader()), "列头(3)[b1(1)[m(0)],b2(0),b4(1)[m(0)]]");
  EXPECT_EQ(describe(tab.rowDimension()), "行维(2)[A(2)[a1(0),a4(0)]]");
  EXPECT_EQ(sortedCells(tab), (std::map<std::string, std::string>{{"a1.b1.m.", "1"},
                                                                  {"a4.b4.m.", "4"}}));
}

TEST(CrossTabTest, CellKeysUseNamesCutTo49Bytes) {
  const std::string longName(60, 'n');
  CrossTab tab;
  runTransform(tab, {{"A", "|", longName}, {std::string(70, 'a'), "", "5"}}, longName);
  const std::string key = std::string(49, 'a') + "." + std::string(49, 'n') + ".";
  EXPECT_EQ(sortedCells(tab), (std::map<std::string, std::string>{{key, "5"}}));
}

TEST(CrossTabTest, MeasureNamingNoColumnGivesEmptyCells) {
  CrossTab tab;
  runTransform(tab, {{"A", "|", "B", "m"}, {"a", "", "b", "1"}}, "m,ghost");
  EXPECT_EQ(tab.cells().at("a.b.m."), "1");
  EXPECT_EQ(tab.cells().at("a.b."), "");
}

TEST(CrossTabTest, LaterRowWithSameKeyReplacesValue) {
  CrossTab tab;
  runTransform(tab, {{"A", "|", "B", "m"}, {"a", "", "b", "1"}, {"a", "", "b", "2"}}, "m");
  EXPECT_EQ(tab.cells().at("a.b.m."), "2");
  EXPECT_EQ(tab.cells().size(), 1u);
}

TEST(CrossTabTest, SeparatorOptionAndUnknownSumOption) {
  CrossTab tab;
  PivotOptions options;
  options.setSeparate("$");
  options.setSumOption("SumIncRowCol7");  // names nothing: no totals
  runTransform(tab, {{"A", "$", "B", "$", "C", "m"}, {"a", "", "b", "", "c", "1"}}, "m", options);
  EXPECT_EQ(tab.rows().size(), 2u);
  EXPECT_EQ(describe(tab.columnHeader()), "列头(1)[c(1)[m(0)]]");
}

TEST(CrossTabTest, TransformsAParsedText) {
  CrossTab tab;
  tab.transform(parseText("A\t|\tB\tm\na\t\tb\t3\n", {"m"}), withMeasures("m"));
  EXPECT_EQ(tab.cells().at("a.b.m."), "3");
}

TEST(CrossTabTest, RetransformRebuildsTheTreeAndKeepsCells) {
  CrossTab tab;
  runTransform(tab, {{"A", "|", "B", "m"}, {"a", "", "b", "1"}}, "m");
  runTransform(tab, {{"A", "|", "B", "m"}, {"z", "", "y", "2"}}, "m");
  EXPECT_EQ(describe(tab.rowDimension()), "行维(1)[A(1)[z(0)]]");
  EXPECT_EQ(tab.cells().size(), 2u);
}

}  // namespace
}  // namespace tabulon
