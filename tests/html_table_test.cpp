#include "render/html_table.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "render/grid_frame.h"
#include "render/plain_table.h"
#include "html_unescape.h"
#include "transform_helpers.h"
#include "transform_helpers.h"
#include "worked_example.h"

namespace tabulon {
namespace {

constexpr char kOpen[] = "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n";
constexpr char kTitleRowOpen[] = "<!--处理最后一行，即行头和最后一个列头--><tr>\n";
constexpr char kTitleRowMiddle[] = "<!--再补上列头的最后一行-->\n";
constexpr char kBodyOpen[] = "<tbody>\n<!--处理行成员和指标数值-->\n";
constexpr char kClose[] = "</tbody>\n</Table>\n";

std::string logoCell(int rowspan, int colspan) {
  return "<td class='logo' rowspan=" + std::to_string(rowspan) + " colspan=" +
         std::to_string(colspan) + " style=\"background: url(logo.png) no-repeat ;\"> </td>";
}

std::string colhdr(const std::string& name) { return "<td class=\"colhdr\">" + name + "</td>"; }

// The HTML table step by step, as literally as it is defined (orderedMembers at
// each depth, a pending list with insertion at its front, renderDataCells
// for every row leaf): the reference for renderHtml's faster walk.
std::string referenceHtml(const CrossTab& tab) {
  if (tab.rows().size() < 2) return "提交的数据不正常，请提交正常的csv数据";
  const int s = findSeparatorColumn(tab.rows()[0], tab.options().separate);
  const int n = static_cast<int>(tab.rows()[0].size());
  if (!(0 < s && s < n - 1)) return renderPlainTable(tab);
  const DimNode* head = tab.root().findChild("列头");
  const int C = static_cast<int>(tab.root().findChild("列维")->children().size());
  const DimNode* rowDim = tab.root().findChild("行维");
  const int R = static_cast<int>(rowDim->children().size());
  std::string out = kOpen;
  out += "<thead>\n";
  for (int i = 1; i <= C - 1; ++i) {
    out += "<tr>\n";
    if (i == 1) out += logoCell(C - 1, R);
    for (const DimNode* m : tab.orderedMembers(head, i, "Col")) {
      if (m->span() >= 2) {
        out += "<td colspan=" + std::to_string(m->span()) + " class=\"colhdr\">" +
               std::string(m->name()) + "</td>";
      } else {
        out += colhdr(std::string(m->name()));
      }
    }
    out += "</tr>\n";
  }
  out += kTitleRowOpen;
  for (const DimNode* t : rowDim->children()) out += colhdr(std::string(t->name()));
  out += kTitleRowMiddle;
  const std::vector<const DimNode*> L = tab.orderedMembers(head, C, "Col");
  if (C != 0) {
    for (const DimNode* m : L) out += colhdr(std::string(m->name()));
  }
  out += "</tr>\n</thead>\n";
  out += kBodyOpen;
  if (R != 0) {
    std::vector<const DimNode*> T = tab.orderedMembers(rowDim->children()[0], 1, "Row");
    if (!T.empty()) {
      out += "<tr>";
      std::deque<const DimNode*> pending(T.begin(), T.end());
      while (!pending.empty()) {
        const DimNode* m = pending.front();
        if (m->span() >= 2) {
          out += "<td rowspan=" + std::to_string(m->span()) + " class=\"rowhdr\">";
        } else {
          out += "<td class=\"rowhdr\">";
        }
        out += std::string(m->name()) + "</td>";
        pending.pop_front();
        if (m->span() != 0) {
          std::vector<const DimNode*> kids = tab.orderedMembers(m, 1, "Row");
          pending.insert(pending.begin(), kids.begin(), kids.end());
        } else {
          out += renderDataCells(tab, m, L) + "</tr>\n";
          if (!pending.empty()) out += "<tr>\n";
        }
      }
    }
  }
  out += kClose;
  return out;
}

// Random tables: few distinct names, some holding dots, so that paths
// collide and keys split in several ways; sometimes RowSort, totals
// rows, a custom separator, a GridFrame text from another table, cells of
// an earlier build, or escaped markup. Half the rounds use names without
// dots, whose cells are mostly kept as dense keys.
TEST(HtmlTableTest, MatchesTheLiteralReferenceOnRandomTables) {
  std::mt19937 random(20261208);
  const std::vector<std::string> dotted = {"a", "b", "a.", ".b", "a.b", "", ".", "..", "合计",
                                           "十月", "二月", "c", "<&>.", "'\""};
  const std::vector<std::string> plain = {"a", "b", "", "合计", "十月", "c", "ab", "<&>", "'\""};
  auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
  int compared = 0;
  int denseRounds = 0;
  for (int round = 0; round < 400; ++round) {
    const std::vector<std::string>& names = round % 2 == 0 ? dotted : plain;
    const std::size_t rowDims = 1 + pick(3);
    const std::size_t colDims = pick(3);
    const std::size_t measures = 1 + pick(2);
    const bool measuresLeft = pick(6) == 0;
    const std::size_t nameCount = 2 + pick(names.size() - 1);
    Row header;
    for (std::size_t i = 0; i < rowDims; ++i) header.push_back("R" + std::to_string(i));
    if (measuresLeft) header.push_back("M0");
    header.push_back("|");
    for (std::size_t i = 0; i < colDims; ++i) header.push_back("C" + std::to_string(i));
    for (std::size_t i = measuresLeft ? 1 : 0; i < measures; ++i) {
      header.push_back("M" + std::to_string(i));
    }
    RowTable rows{header};
    const std::size_t dataRows = 1 + pick(30);
    for (std::size_t r = 0; r < dataRows; ++r) {
      Row row;
      for (const std::string& title : header) {
        if (title == "|") {
          row.push_back("|");
        } else if (title[0] == 'M') {
          row.push_back(std::to_string(pick(100)));
        } else {
          row.push_back(names[pick(nameCount)]);
        }
      }
      rows.push_back(row);
    }
    std::string measureList = "M0";
    if (measures == 2) measureList = pick(2) ? "M0,M1" : "M1,M0";

    CrossTab tab;
    PivotOptions options;
    if (pick(3) == 0) options.setRowColSort("RowSort");
    if (pick(2) == 0) options.setSumPos("SumLast");
    if (pick(4) == 0) {
      // A layout taken from a different random table of the same header.
      CrossTab other;
      RowTable otherRows{header};
      for (std::size_t r = 0; r < 3; ++r) {
        Row row = rows[1 + pick(dataRows)];
        for (std::size_t k = 0; k < row.size(); ++k) {
          if (header[k] != "|" && header[k][0] == 'C') row[k] = names[pick(names.size())];
        }
        otherRows.push_back(row);
      }
      runTransform(other, otherRows, measureList);
      options.gridFrame = renderGridFrame(other);
    }
    if (pick(5) == 0) {
      // An earlier build over other rows leaves its cells behind.
      RowTable earlier{header};
      for (std::size_t r = 1; r < rows.size(); r += 2) {
        Row row = rows[r];
        row[0] = names[pick(names.size())];
        earlier.push_back(row);
      }
      runTransform(tab, earlier, measureList, options);
    }
    runTransform(tab, rows, measureList, options);
    const std::string reference = referenceHtml(tab);
    ASSERT_EQ(renderHtml(tab), reference) << "round " << round;
    ASSERT_EQ(unescapeHtml(renderHtml(tab, HtmlText::kEscaped)), reference) << "round " << round;
    ++compared;
    denseRounds += tab.cells().dense();
  }
  EXPECT_EQ(compared, 400);
  EXPECT_GT(denseRounds, 60);
}

TEST(HtmlTableTest, ManyStoredKeysOutsideTheLayoutStillMatch) {
  // A GridFrame that shows one column of many: most stored keys are not
  // displayed (the renderer then looks cells up one by one).
  CrossTab tab;
  PivotOptions options;
  RowTable rows{{"R", "|", "C", "V"}};
  for (int r = 0; r < 20; ++r) {
    for (int c = 0; c < 50; ++c) {
      rows.push_back({"r" + std::to_string(r), "|", "c" + std::to_string(c), std::to_string(r * c)});
    }
  }
  options.gridFrame = "row:[R],col:[c7[V],none[V]]";
  runTransform(tab, rows, "V", options);
  const std::string html = renderHtml(tab);
  EXPECT_EQ(html, referenceHtml(tab));
  EXPECT_NE(html.find("<tr>\n<td class=\"rowhdr\">r3</td><td> 21</td><td>  </td></tr>\n"),
            std::string::npos);
}

TEST(HtmlTableTest, WorkedExampleMatchesTheReference) {
  CrossTab tab;
  runTransform(tab, workedExampleRows(), "Sales");
  EXPECT_EQ(renderHtml(tab), referenceHtml(tab));
}

TEST(HtmlTableTest, WorkedExampleSeventeenLines) {
  CrossTab tab;
  runTransform(tab, workedExampleRows(), "Sales");
  const std::string expected =
      "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n"
      "<thead>\n"
      "<tr>\n"
      "<td class='logo' rowspan=1 colspan=2 style=\"background: url(logo.png) no-repeat ;\"> "
      "</td><td class=\"colhdr\">2019</td><td class=\"colhdr\">2020</td></tr>\n"
      "<!--处理最后一行，即行头和最后一个列头--><tr>\n"
      "<td class=\"colhdr\">Region</td><td class=\"colhdr\">City</td><!--再补上列头的最后一行-->\n"
      "<td class=\"colhdr\">Sales</td><td class=\"colhdr\">Sales</td></tr>\n"
      "</thead>\n"
      "<tbody>\n"
      "<!--处理行成员和指标数值-->\n"
      "<tr><td rowspan=2 class=\"rowhdr\">East</td><td class=\"rowhdr\">NJ</td><td> 5</td>"
      "<td> 6</td></tr>\n"
      "<tr>\n"
      "<td class=\"rowhdr\">NY</td><td> 7</td><td>  </td></tr>\n"
      "<tr>\n"
      "<td class=\"rowhdr\">West</td><td class=\"rowhdr\">LA</td><td>  </td><td> 9</td></tr>\n"
      "</tbody>\n"
      "</Table>\n";
  const std::string html = renderHtml(tab);
  EXPECT_EQ(html, expected);
  int lines = 0;
  for (char c : html) lines += c == '\n';
  EXPECT_EQ(lines, 17);
  EXPECT_EQ(html.find('\r'), std::string::npos);
}

// The expected text of the totals variant (SumIncCol, SumFirst).
std::string workedExampleWithColumnTotals() {
  return std::string(kOpen) + "<thead>\n" + "<tr>\n" + logoCell(1, 2) + colhdr("合计") +
         colhdr("2019") + colhdr("2020") + "</tr>\n" + kTitleRowOpen + colhdr("Region") +
         colhdr("City") + kTitleRowMiddle + colhdr("Sales") + colhdr("Sales") + colhdr("Sales") +
         "</tr>\n</thead>\n" + kBodyOpen +
         "<tr><td rowspan=2 class=\"rowhdr\">East</td><td class=\"rowhdr\">NJ</td>"
         "<td> 11</td><td> 5</td><td> 6</td></tr>\n"
         "<tr>\n"
         "<td class=\"rowhdr\">NY</td><td> 7</td><td> 7</td><td>  </td></tr>\n"
         "<tr>\n"
         "<td class=\"rowhdr\">West</td><td class=\"rowhdr\">LA</td><td> 9</td><td>  </td>"
         "<td> 9</td></tr>\n" +
         kClose;
}

// Totals variant of the worked example. The rows that the SumIncCol pass
// would append are written here by hand, with SumOption left at
// SumNone, so this test depends on the renderer alone.
TEST(HtmlTableTest, WorkedExampleWithHandBuiltColumnTotals) {
  CrossTab tab;
  RowTable rows = workedExampleRows();
  rows.push_back({"East", "NJ", "|", "合计", "11"});
  rows.push_back({"East", "NY", "|", "合计", "7"});
  rows.push_back({"West", "LA", "|", "合计", "9"});
  runTransform(tab, std::move(rows), "Sales");
  EXPECT_EQ(renderHtml(tab), workedExampleWithColumnTotals());
}

// The same through the real SumIncCol pass.
TEST(HtmlTableTest, WorkedExampleWithSumIncCol) {
  CrossTab tab;
  PivotOptions options;
  options.setSumOption("SumIncCol");
  runTransform(tab, workedExampleRows(), "Sales", options);
  EXPECT_EQ(tab.rows().size(), workedExampleRows().size() + 3);
  EXPECT_EQ(renderHtml(tab), workedExampleWithColumnTotals());
}

TEST(HtmlTableTest, SumLastPutsTotalMemberLast) {
  CrossTab tab;
  PivotOptions options;
  options.setSumPos("SumLast");
  RowTable rows = workedExampleRows();
  rows.push_back({"East", "NJ", "|", "合计", "11"});
  runTransform(tab, std::move(rows), "Sales", options);
  const std::string html = renderHtml(tab);
  EXPECT_NE(html.find(colhdr("2019") + colhdr("2020") + colhdr("合计") + "</tr>\n"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<td class=\"rowhdr\">NJ</td><td> 5</td><td> 6</td><td> 11</td></tr>\n"),
            std::string::npos)
      << html;
}

TEST(HtmlTableTest, TooFewRowsIsTheMessageAlone) {
  CrossTab tab;
  EXPECT_EQ(renderHtml(tab), "提交的数据不正常，请提交正常的csv数据");
  runTransform(tab, {{"Region", "|", "Year", "Sales"}}, "Sales");
  EXPECT_EQ(renderHtml(tab), "提交的数据不正常，请提交正常的csv数据");
}

TEST(HtmlTableTest, NoInnerSeparatorGivesThePlainTable) {
  const std::vector<RowTable> tables = {
      {{"Name", "Qty"}, {"a", "1"}, {"b", "2"}},
      {{"|", "Name", "Qty"}, {"x", "a", "1"}},
      {{"Name", "Qty", "|"}, {"a", "1", "|"}},
  };
  for (const RowTable& rows : tables) {
    CrossTab tab;
    runTransform(tab, rows, "Qty");
    const std::string html = renderHtml(tab);
    EXPECT_EQ(html, renderPlainTable(tab));
    EXPECT_EQ(html.rfind("<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n"
                         "<thead><tr>\n",
                         0),
              0u);
  }
}

TEST(HtmlTableTest, OneColumnLevelHasNoUpperRowAndNoLogo) {
  CrossTab tab;
  runTransform(tab, {{"Region", "|", "Year"}, {"East", "|", "2019"}, {"West", "|", "2020"}}, "");
  const std::string expected = std::string(kOpen) + "<thead>\n" + kTitleRowOpen +
                               colhdr("Region") + kTitleRowMiddle + colhdr("2019") +
                               colhdr("2020") + "</tr>\n</thead>\n" + kBodyOpen +
                               "<tr><td class=\"rowhdr\">East</td><td>  </td><td>  </td></tr>\n"
                               "<tr>\n"
                               "<td class=\"rowhdr\">West</td><td>  </td><td>  </td></tr>\n" +
                               kClose;
  EXPECT_EQ(renderHtml(tab), expected);
}

TEST(HtmlTableTest, ThreeColumnLevelsLogoSpansTwoRowsOnce) {
  CrossTab tab;
  runTransform(tab,
               {{"Region", "|", "Year", "Qtr", "Sales"},
                {"East", "|", "2019", "Q1", "1"},
                {"East", "|", "2019", "Q2", "2"},
                {"East", "|", "2020", "Q1", "3"}},
               "Sales");
  const std::string expected =
      std::string(kOpen) + "<thead>\n" + "<tr>\n" + logoCell(2, 1) +
      "<td colspan=2 class=\"colhdr\">2019</td>" + colhdr("2020") + "</tr>\n" + "<tr>\n" +
      colhdr("Q1") + colhdr("Q2") + colhdr("Q1") + "</tr>\n" + kTitleRowOpen + colhdr("Region") +
      kTitleRowMiddle + colhdr("Sales") + colhdr("Sales") + colhdr("Sales") +
      "</tr>\n</thead>\n" + kBodyOpen +
      "<tr><td class=\"rowhdr\">East</td><td> 1</td><td> 2</td><td> 3</td></tr>\n" + kClose;
  EXPECT_EQ(renderHtml(tab), expected);
}

TEST(HtmlTableTest, TitlesKeepStoredOrderWhileRowsAndColumnsSort) {
  CrossTab tab;
  PivotOptions options;
  options.setRowColSort("RowSort");
  runTransform(tab,
               {{"Zone", "Area", "|", "Month", "V"},
                {"西", "b", "|", "十月", "1"},
                {"东", "a", "|", "二月", "2"},
                {"东", "c", "|", "一月", "3"}},
               "V", options);
  const std::string html = renderHtml(tab);
  // Titles in stored order although RowSort is set.
  EXPECT_NE(html.find(colhdr("Zone") + colhdr("Area") + kTitleRowMiddle), std::string::npos);
  // Columns sorted: 一月, 二月, 十月.
  EXPECT_NE(html.find(colhdr("一月") + colhdr("二月") + colhdr("十月") + "</tr>\n"),
            std::string::npos)
      << html;
  // Rows sorted: 东 (a, c) before 西.
  EXPECT_NE(html.find("<tr><td rowspan=2 class=\"rowhdr\">东</td><td class=\"rowhdr\">a</td>"
                      "<td>  </td><td> 2</td><td>  </td></tr>\n<tr>\n"
                      "<td class=\"rowhdr\">c</td><td> 3</td><td>  </td><td>  </td></tr>\n<tr>\n"
                      "<td class=\"rowhdr\">西</td><td class=\"rowhdr\">b</td>"
                      "<td>  </td><td>  </td><td> 1</td></tr>\n</tbody>"),
            std::string::npos)
      << html;
}

TEST(HtmlTableTest, UnevenRowTreeClosesShortRowAtOnce) {
  CrossTab tab;
  runTransform(tab, {{"A", "B", "|", "Y", "V"}, {"a1", "b1", "|", "y", "1"}}, "V");
  // A leaf above the deepest level: a2 without children.
  tab.rowDimension()->children()[0]->getOrAddChild("a2");
  const std::string html = renderHtml(tab);
  EXPECT_NE(html.find("<tr><td class=\"rowhdr\">a1</td><td class=\"rowhdr\">b1</td><td> 1</td>"
                      "</tr>\n<tr>\n<td class=\"rowhdr\">a2</td><td>  </td></tr>\n</tbody>"),
            std::string::npos)
      << html;
}

TEST(HtmlTableTest, LastSeparatorDecides) {
  CrossTab tab;
  runTransform(tab, {{"A", "|", "B", "|", "C", "V"}, {"a", "s", "b", "|", "c", "1"}}, "V");
  const std::string html = renderHtml(tab);
  // Titles split at the first separator ("列维" B, C, "指标": three levels),
  // the member trees at the last one (rows a, s, b; columns c, V). The
  // column tree is only two levels deep, so level 3 has no leaves and the
  // rows carry no value cells.
  EXPECT_NE(html.find(logoCell(2, 1) + colhdr("c") + "</tr>\n<tr>\n" + colhdr("V") + "</tr>\n" +
                      kTitleRowOpen + colhdr("A") + kTitleRowMiddle + "</tr>\n</thead>\n"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<tr><td class=\"rowhdr\">a</td><td class=\"rowhdr\">s</td>"
                      "<td class=\"rowhdr\">b</td></tr>\n</tbody>"),
            std::string::npos)
      << html;
  EXPECT_EQ(tab.cells().at("a.s.b.c.V."), "1");
}

TEST(HtmlTableTest, NamesAndValuesAreNotEscaped) {
  CrossTab tab;
  runTransform(tab, {{"R", "|", "C", "V"}, {"a<b&c", "|", "\"q'", "<i>&amp;"}}, "V");
  const std::string html = renderHtml(tab);
  EXPECT_NE(html.find("<td class=\"rowhdr\">a<b&c</td><td> <i>&amp;</td></tr>\n"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find(colhdr("\"q'")), std::string::npos) << html;
}

TEST(HtmlTableTest, RenderDataCellsAloneHasNoLineFeed) {
  CrossTab tab;
  runTransform(tab, workedExampleRows(), "Sales");
  const DimNode* region = tab.rowDimension()->children()[0];
  const DimNode* ny = region->findChild("East")->findChild("NY");
  std::vector<const DimNode*> leaves = tab.orderedMembers(tab.columnHeader(), 2, "Col");
  EXPECT_EQ(renderDataCells(tab, ny, leaves), "<td> 7</td><td>  </td>");
  std::vector<const DimNode*> reversed(leaves.rbegin(), leaves.rend());
  EXPECT_EQ(renderDataCells(tab, ny, reversed), "<td>  </td><td> 7</td>");
  EXPECT_EQ(renderDataCells(tab, ny, {}), "");
}

TEST(HtmlTableTest, EmptyValueIsStillAValueCell) {
  CrossTab tab;
  runTransform(tab, {{"R", "|", "C", "V"}, {"r", "|", "c", ""}}, "V");
  EXPECT_NE(renderHtml(tab).find("<td class=\"rowhdr\">r</td><td> </td></tr>\n"),
            std::string::npos);
}

TEST(HtmlTableTest, NoRowTitlesSkipsTheBody) {
  CrossTab tab;
  PivotOptions options;
  options.gridFrame = "row:,col:[2019[Sales],2020[Sales]]";  // no row titles
  runTransform(tab, workedExampleRows(), "Sales", options);
  ASSERT_TRUE(tab.rowDimension()->children().empty());
  const std::string html = renderHtml(tab);
  EXPECT_NE(html.find("<td class='logo' rowspan=1 colspan=0 "), std::string::npos);
  EXPECT_EQ(html.substr(html.size() - std::string(kBodyOpen).size() - std::string(kClose).size()),
            std::string(kBodyOpen) + kClose);
}

}  // namespace
}  // namespace tabulon
