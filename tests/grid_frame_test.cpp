#include "render/grid_frame.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "render/html_table.h"
#include "transform_helpers.h"
#include "worked_example.h"

namespace tabulon {
namespace {

// The children of `node` in stored order, nested as the writer nests them
// (no sorting): "a[x,y],b". Iterative, for trees of any depth.
std::string dump(const DimNode* node) {
  std::string out;
  struct Frame {
    const DimNode* node;
    std::size_t next;
  };
  std::vector<Frame> stack{{node, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.node->children().size()) {
      stack.pop_back();
      if (!stack.empty()) out += ']';
      continue;
    }
    if (top.next > 0) out += ',';
    const DimNode* child = top.node->children()[top.next++];
    out += child->name();
    if (!child->children().empty()) {
      out += '[';
      stack.push_back({child, 0});
    }
  }
  return out;
}

RowTable headerConstructionRows() {
  return {{"Region", "City", "|", "Year", "Qtr", "Sales", "Cost"},
          {"North", "Oslo", "-", "2020", "Q1", "1", "2"},
          {"North", "Bergen", "-", "2020", "Q2", "3", "4"},
          {"South", "Rome", "-", "2021", "Q1", "5", "6"}};
}

struct Options {
  const char* sumPos = "SumFirst";
  const char* rowColSort = "";
  const char* separate = "|";
};

PivotOptions pivotOptionsOf(const Options& options) {
  PivotOptions pivot;
  pivot.setSumPos(options.sumPos);
  pivot.setRowColSort(options.rowColSort);
  pivot.setSeparate(options.separate);
  return pivot;
}

// Transforms `rows`, writes the GridFrame text and the HTML; then a second
// transform over the same rows with that text as its gridFrame must give
// the same GridFrame text and the same HTML. Returns the text.
std::string expectRoundTrip(const RowTable& rows, const char* measures,
                            const Options& options = Options()) {
  CrossTab first;
  PivotOptions pivot = pivotOptionsOf(options);
  runTransform(first, rows, measures, pivot);
  const std::string text = renderGridFrame(first);
  const std::string html = renderHtml(first);

  CrossTab second;
  pivot.gridFrame = text;
  runTransform(second, rows, measures, pivot);
  EXPECT_EQ(renderGridFrame(second), text);
  EXPECT_EQ(renderHtml(second), html);
  EXPECT_EQ(dump(second.columnDimension()), dump(first.columnDimension()));
  return text;
}

// ---------------------------------------------------------------- writer

TEST(GridFrameTest, WriterWorkedExample) {
  CrossTab tab;
  runTransform(tab, workedExampleRows(), "Sales");
  EXPECT_EQ(renderGridFrame(tab), "row:[Region,City],col:[2019[Sales],2020[Sales]]");
  EXPECT_EQ(gridFrameSide(tab, tab.rowDimension(), false, "Row"), "[Region,City]");
  EXPECT_EQ(gridFrameSide(tab, tab.columnHeader(), true, "Col"), "[2019[Sales],2020[Sales]]");
  // Without nesting only the first level is written.
  EXPECT_EQ(gridFrameSide(tab, tab.columnHeader(), false, "Col"), "[2019,2020]");
}

TEST(GridFrameTest, WriterSortsColumnsButNotUnsortedRows) {
  CrossTab tab;
  runTransform(tab, headerConstructionRows(), "Sales,Cost");
  // Column axis sorted (no GridFrame): Cost before Sales.
  EXPECT_EQ(renderGridFrame(tab),
            "row:[Region,City],col:[2020[Q1[Cost,Sales],Q2[Cost,Sales]],2021[Q1[Cost,Sales]]]");
}

TEST(GridFrameTest, WriterRowSortSortsTitles) {
  CrossTab tab;
  PivotOptions options;
  options.setRowColSort("RowSort");
  runTransform(tab, {{"Zeta", "Alpha", "|", "Y", "V"}, {"z", "a", "|", "y", "1"}}, "V", options);
  EXPECT_EQ(renderGridFrame(tab), "row:[Alpha,Zeta],col:[y[V]]");
  // The stored order stays Zeta, Alpha (the HTML title row uses it).
  EXPECT_EQ(dump(tab.rowDimension()).substr(0, 10), "Zeta[z[a]]");
}

TEST(GridFrameTest, WriterTotalMemberFirstOrLast) {
  for (const char* pos : {"SumFirst", "SumLast"}) {
    CrossTab tab;
    PivotOptions options;
    options.setSumPos(pos);
    RowTable rows = workedExampleRows();
    rows.push_back({"East", "NJ", "|", "合计", "11"});
    runTransform(tab, rows, "Sales", options);
    EXPECT_EQ(renderGridFrame(tab),
              std::string(pos) == "SumFirst"
                  ? "row:[Region,City],col:[合计[Sales],2019[Sales],2020[Sales]]"
                  : "row:[Region,City],col:[2019[Sales],2020[Sales],合计[Sales]]");
  }
}

TEST(GridFrameTest, WriterTooFewRows) {
  CrossTab tab;
  runTransform(tab, {{"Region", "|", "Year", "Sales"}}, "Sales");
  EXPECT_EQ(renderGridFrame(tab), "row:[],col:[]");
  CrossTab empty;
  EXPECT_EQ(renderGridFrame(empty), "row:[],col:[]");
}

TEST(GridFrameTest, WriterUnevenTree) {
  CrossTab tab;
  DimNode head("列头");
  DimNode* a = head.getOrAddChild("a");
  a->getOrAddChild("x")->getOrAddChild("p");
  a->getOrAddChild("y");
  head.getOrAddChild("b");
  head.getOrAddChild("c")->getOrAddChild("z");
  EXPECT_EQ(gridFrameSide(tab, &head, true, "Col"), "[a[x[p],y],b,c[z]]");
}

// ------------------------------------------------------------ round trip

TEST(GridFrameTest, RoundTripWorkedExample) {
  EXPECT_EQ(expectRoundTrip(workedExampleRows(), "Sales"),
            "row:[Region,City],col:[2019[Sales],2020[Sales]]");
}

TEST(GridFrameTest, RoundTripTwoMeasuresThreeLevels) {
  expectRoundTrip(headerConstructionRows(), "Sales,Cost");
}

TEST(GridFrameTest, RoundTripMeasuresBeforeTheYears) {
  const std::string text = expectRoundTrip({{"Region", "|", "Sales", "Cost", "Year"},
                                            {"East", "|", "1", "2", "2020"},
                                            {"West", "|", "3", "4", "2019"},
                                            {"East", "|", "5", "6", "2019"}},
                                           "Sales,Cost");
  EXPECT_EQ(text, "row:[Region],col:[Cost[2019,2020],Sales[2019,2020]]");
}

TEST(GridFrameTest, RoundTripMeasuresOnTheRowSide) {
  const std::string text = expectRoundTrip({{"Region", "Sales", "|", "Year"},
                                            {"East", "1", "|", "2020"},
                                            {"West", "3", "|", "2019"}},
                                           "Sales");
  EXPECT_EQ(text, "row:[Region,指标],col:[2019,2020]");
}

TEST(GridFrameTest, RoundTripChineseOrdinalsAndTotalsLast) {
  Options options;
  options.sumPos = "SumLast";
  const std::string text = expectRoundTrip({{"区", "|", "月", "季", "额"},
                                            {"北", "|", "十月", "秋", "1"},
                                            {"东", "|", "二月", "春", "2"},
                                            {"东", "|", "一月", "冬", "3"},
                                            {"合计", "|", "合计", "合计", "6"},
                                            {"北", "|", "合计", "合计", "1"}},
                                           "额", options);
  EXPECT_EQ(text, "row:[区],col:[一月[冬[额]],二月[春[额]],十月[秋[额]],合计[合计[额]]]");
}

TEST(GridFrameTest, RoundTripRowSortAndOtherSeparator) {
  Options options;
  options.rowColSort = "RowSort";
  options.separate = "$";
  expectRoundTrip({{"A", "B", "$", "C", "V", "W"},
                   {"a2", "b1", "", "c2", "1", "2"},
                   {"a1", "b2", "", "c1", "3", "4"},
                   {"a1", "b1", "", "c2", "5", "6"}},
                  "W,V", options);
}

TEST(GridFrameTest, RoundTripBenchShape) {
  RowTable rows{{"Region", "City", "|", "Year", "Quarter", "Sales", "Cost"}};
  const char* quarters[] = {"一季度", "二季度", "三季度", "四季度"};
  for (int c = 0; c < 12; ++c) {
    for (int y = 0; y < 3; ++y) {
      for (const char* q : quarters) {
        rows.push_back({c % 2 ? "华东" : "华南", "城市" + std::to_string(c), "",
                        std::to_string(2000 + y), q, std::to_string(c * y), std::to_string(c)});
      }
    }
  }
  expectRoundTrip(rows, "Sales,Cost");
}

// ---------------------------------------------------------------- reader

// A CrossTab with the worked example's header and rows, transformed, so
// that fillColumnDimension has a header to read.
CrossTab* transformedTab(CrossTab& tab) {
  runTransform(tab, workedExampleRows(), "Sales");
  return &tab;
}

// What the reader builds from texts the writer would never write, as well
// as from its own form: row titles and column tree, dumped in stored order.
TEST(GridFrameTest, ReaderTolerance) {
  struct Case {
    std::string text, rowSide, columnSide;
  };
  const std::string longName(5000, 'n');
  const Case cases[] = {
      {"row:[Region,City],col:[2019[Sales],2020[Sales]]", "Region,City", "2019[Sales],2020[Sales]"},
      // Markers in either order.
      {"col:[a[x,y],b],row:[r]", "r", "a[x,y],b"},
      {"row:[r],col:[a[x,y],b]", "r", "a[x,y],b"},
      // The blank is dropped as the first character; "[A" opens an
      // empty-named member holding A, and the final "]" closes it.
      {"row: [A],col:[x]", "[A]", "x"},
      // Without "]" the rest stays under the last opened member.
      {"row:[A,col:[a[x,y,b", "A", "a[x,y,b]"},
      // No leading "[": the first character of the name is dropped.
      {"row:AB,col:abc[d]", "B", "bc[d]"},
      // Extra "]" stop at the bottom; text after an item's last "]" is ignored.
      {"row:[A]]]]],col:[a]]],b]]", "A", "a,b"},
      {"row:[A],col:[a[x]tail,y]", "A", "a[x],y"},
      // "a]b[c]" holds "[", so its name is "a]b".
      {"row:[A],col:[a]b[c],d]", "A", "a]b[c],d"},
      // An empty text after "[" is an item of its own: an empty-named child.
      {"row:[A],col:[a[,b]", "A", "a[,b]"},
      // Text before the first marker and trailing commas are dropped; only
      // the last item of a side is cleaned of line breaks.
      {"ignored row:[A,B\r\n],,,col:[x,y]\n", "A,B", "x,y"},
      {"row:[A],col:[x,y],,,", "A", "x,y"},
      {"row:[A],col:[x\n,y]", "A", "x\n,y"},
      // Blanks are kept, repeats merge, names are cut to 49 bytes.
      {"row:[ A ],col:[ a ,b,a[x]," + longName + "," + longName + "x]", " A ",
       " a ,b,a[x]," + std::string(49, 'n')},
  };
  for (const Case& c : cases) {
    CrossTab tab;
    transformedTab(tab);
    applyGridFrame(tab, c.text);
    EXPECT_EQ(dump(tab.rowDimension()), c.rowSide) << c.text;
    EXPECT_EQ(dump(tab.columnHeader()), c.columnSide) << c.text;
    EXPECT_EQ(dump(tab.columnDimension()), "Year,指标") << c.text;
  }
}

TEST(GridFrameTest, ReaderEmptyListsGiveOneEmptyChild) {
  CrossTab tab;
  transformedTab(tab);
  applyGridFrame(tab, "row:[],col:[]");
  ASSERT_EQ(tab.rowDimension()->children().size(), 1u);
  EXPECT_EQ(tab.rowDimension()->children()[0]->name(), "");
  ASSERT_EQ(tab.columnHeader()->children().size(), 1u);
  EXPECT_EQ(tab.columnHeader()->children()[0]->name(), "");
  EXPECT_TRUE(tab.columnHeader()->children()[0]->children().empty());
}

TEST(GridFrameTest, ReaderWithoutBothMarkersChangesNothing) {
  for (const char* text : {"row:[A]", "col:[a]", "[A],[a]", ""}) {
    CrossTab tab;
    transformedTab(tab);
    const std::string before = dump(&tab.root());
    applyGridFrame(tab, text);
    EXPECT_EQ(dump(&tab.root()), before) << text;
  }
}

TEST(GridFrameTest, ReaderEmptySideBuildsNothing) {
  CrossTab tab;
  transformedTab(tab);
  applyGridFrame(tab, "col:row:[A]");
  EXPECT_TRUE(tab.columnHeader()->children().empty());
  EXPECT_EQ(dump(tab.rowDimension()), "A");
  applyGridFrame(tab, "row:[,col:[");
  EXPECT_TRUE(tab.columnHeader()->children().empty());
  EXPECT_TRUE(tab.rowDimension()->children().empty());
}

TEST(GridFrameTest, ParseSideDirectly) {
  DimNode parent("p");
  parseGridFrameSide(&parent, "[a[b[c]],d]");
  EXPECT_EQ(dump(&parent), "a[b[c]],d");
  parseGridFrameSide(&parent, "[e");  // adds to what is there
  EXPECT_EQ(dump(&parent), "a[b[c]],d,e");
  DimNode other("q");
  parseGridFrameSide(&other, "");
  parseGridFrameSide(&other, "[");
  EXPECT_TRUE(other.children().empty());
}

TEST(GridFrameTest, GridFrameOptionFixesColumnsAndKeepsDataRows) {
  CrossTab tab;
  PivotOptions options;
  // 2018 has no data (a column of empty cells), 2020 is left out.
  options.gridFrame = "row:[Region,City],col:[2019[Sales],2018[Sales]]";
  runTransform(tab, workedExampleRows(), "Sales", options);
  EXPECT_EQ(renderGridFrame(tab), "row:[Region,City],col:[2019[Sales],2018[Sales]]");
  const std::string html = renderHtml(tab);
  EXPECT_NE(html.find("<td class=\"colhdr\">2019</td><td class=\"colhdr\">2018</td></tr>\n"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<td class=\"rowhdr\">NJ</td><td> 5</td><td>  </td></tr>\n"),
            std::string::npos)
      << html;
}

// ------------------------------------------------------------- bad input

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(GridFrameTest, DeepTextThroughReaderWriterAndHtml) {
  constexpr std::size_t kDepth = 200000;
  const std::string open(kDepth, '[');
  const std::string close(kDepth, ']');
  const std::string colSide = "[" + open + "x" + close + "]";
  const std::string text = "row:[" + open + "R" + close + "],col:" + colSide;

  const auto start = std::chrono::steady_clock::now();
  {
    CrossTab tab;
    PivotOptions options;
    options.gridFrame = text;
    runTransform(tab, {{"Region", "|", "Year", "Sales"}, {"East", "|", "2019", "5"}}, "Sales", options);

    // Column side: kDepth empty-named levels, then x.
    std::size_t depth = 0;
    const DimNode* node = tab.columnHeader();
    while (!node->children().empty()) {
      ASSERT_EQ(node->children().size(), 1u);
      node = node->children()[0];
      ++depth;
    }
    EXPECT_EQ(depth, kDepth + 1);
    EXPECT_EQ(node->name(), "x");

    EXPECT_EQ(renderGridFrame(tab), "row:[],col:" + colSide);
    EXPECT_EQ(gridFrameSide(tab, tab.columnHeader(), true, "Col"), colSide);

    // Row side: the empty-named title holds the deep chain (first) and the
    // data's member East.
    std::string body = "<tr>";
    for (std::size_t i = 0; i + 1 < kDepth; ++i) body += "<td class=\"rowhdr\"></td>";
    body += "<td class=\"rowhdr\">R</td><td>  </td></tr>\n<tr>\n";
    body += "<td class=\"rowhdr\">East</td><td>  </td></tr>\n";
    const std::string expected =
        "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n<thead>\n"
        "<tr>\n<td class='logo' rowspan=1 colspan=1 style=\"background: url(logo.png) no-repeat "
        ";\"> </td><td class=\"colhdr\"></td></tr>\n"
        "<!--处理最后一行，即行头和最后一个列头--><tr>\n<td class=\"colhdr\"></td>"
        "<!--再补上列头的最后一行-->\n<td class=\"colhdr\"></td></tr>\n</thead>\n"
        "<tbody>\n<!--处理行成员和指标数值-->\n" +
        body + "</tbody>\n</Table>\n";
    EXPECT_EQ(renderHtml(tab), expected);
    EXPECT_EQ(tab.cells().at("East.2019.Sales."), "5");
  }  // the deep trees are destroyed here
  EXPECT_LT(secondsSince(start), 30.0);
}

TEST(GridFrameTest, DeepChainRendersAsAnHtmlRowTree) {
  // A deep row member tree built directly under the first title.
  constexpr int kDepth = 100000;
  CrossTab tab;
  runTransform(tab, {{"A", "|", "Y", "V"}, {"a", "|", "y", "1"}}, "V");
  DimNode* node = tab.rowDimension()->children()[0]->findChild("a");
  for (int i = 0; i < kDepth; ++i) node = node->getOrAddChild("n");
  const std::string html = renderHtml(tab);
  std::string row = "<tr><td class=\"rowhdr\">a</td>";
  for (int i = 0; i < kDepth; ++i) row += "<td class=\"rowhdr\">n</td>";
  row += "<td>  </td></tr>\n</tbody>";
  EXPECT_NE(html.find(row), std::string::npos);
  EXPECT_EQ(renderDataCells(tab, node, {tab.columnHeader()->children()[0]->children()[0]}),
            "<td>  </td>");
}

TEST(GridFrameTest, HugeHostileTextsFinishQuickly) {
  constexpr std::size_t kBig = 4 << 20;  // 4 MiB of each kind
  std::vector<std::pair<std::string, std::string>> cases = {
      // text, expected column side dump (prefix)
      {"row:[A],col:[" + std::string(kBig, ',') + "x]", ",x"},
      {"row:[A],col:[a" + std::string(kBig, ']') + ",b]", "a,b"},
      {"row:[A],col:[" + std::string(kBig, 'a') + "]", std::string(49, 'a')},
  };
  // Alternating "[" and "]" in one item: after the first "[" each "[" opens
  // a level named "]", a chain of half a million levels.
  std::string alternating = "row:[A],col:[";
  for (std::size_t i = 0; i < kBig / 4; ++i) alternating += (i % 2 ? ']' : '[');
  cases.push_back({alternating, "["});
  // Long names, each opening a level.
  std::string longNames = "row:[A],col:[";
  for (int i = 0; i < 1000; ++i) longNames += std::string(4000, 'a' + i % 26) + "[";
  cases.push_back({longNames, std::string(49, 'a') + "[" + std::string(49, 'b')});
  // Commas between nested opens: a chain of empty-named levels.
  std::string ladder = "row:[A],col:[";
  for (std::size_t i = 0; i < kBig / 8; ++i) ladder += "[,";
  cases.push_back({ladder, "["});

  for (const auto& [text, prefix] : cases) {
    const auto start = std::chrono::steady_clock::now();
    {
      CrossTab tab;
      runTransform(tab, workedExampleRows(), "Sales");
      applyGridFrame(tab, text);
      const std::string side = dump(tab.columnHeader());
      EXPECT_EQ(side.substr(0, prefix.size()), prefix);
      EXPECT_EQ(dump(tab.rowDimension()), "A");
      const std::string written = renderGridFrame(tab);
      EXPECT_EQ(written.substr(0, 12), "row:[A],col:");
      renderHtml(tab);
    }
    // A bound for runaway (quadratic) reading only, far above the time it
    // takes under the sanitizers on a busy machine.
    EXPECT_LT(secondsSince(start), 120.0) << text.substr(0, 40);
  }
}

TEST(GridFrameTest, LadderShape) {
  CrossTab tab;
  transformedTab(tab);
  applyGridFrame(tab, "row:[A],col:[[,[,[,");
  // Side "[[,[,[" (trailing comma dropped): items "[", "[", "[" each open an
  // empty-named level whose empty rest is handled as an empty-named item.
  // The empty child made by one item's rest is the one the next item opens.
  EXPECT_EQ(dump(tab.columnHeader()), "[[[]]]");
}

}  // namespace
}  // namespace tabulon
