package tabulon;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static tabulon.TestDatabases.json;
import static tabulon.TestDatabases.lines;
import static tabulon.TestDatabases.select;

import java.sql.SQLException;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** doTransform end to end: SQL tables of H2 and SQLite, read in one JVM, to the JSON text. */
class TransformTest {
  static final String TABLE_OPEN =
      "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">";
  static final String LOGO_CELL = "<td class='logo' rowspan=1 colspan=2 style=\"background: "
      + "url(logo.png) no-repeat ;\"> </td>";
  static final String SALES_QUERY = select("sales", "Region", "City", "|", "Year", "Sales");
  static final String PLAIN_QUERY = select("plain", "Name", "Qty");
  static final String PLAIN_HTML = lines(TABLE_OPEN, "<thead><tr>",
      "<td class='rowhdr'>Name</td><td class='rowhdr'>Qty</td></tr>", "    </thead>", "<tbody>",
      "<tr><td>a</td><td>1</td></tr>", "<tr><td>b</td><td>2</td></tr>", "</tbody>", "</Table>");
  static final String USAGE_OPTIONS = "SumOption=SumNone/SumIncRow/SumIncCol/SunIncRowCol"
      + "&SumPos=SumFirst/SumLast&RowColSort=ColSort/RowSort&Separate=|/||/$&Measures=ma,mb"
      + "&GridFrame=[]";

  static Stream<Arguments> cases() {
    String crossTab = json("", "Sales", "", "", "",
        "row:[Region,City],col:[2019[Sales],2020[Sales]]",
        lines(TABLE_OPEN, "<thead>", "<tr>",
            LOGO_CELL + "<td class=\"colhdr\">2019</td><td class=\"colhdr\">2020</td></tr>",
            "<!--处理最后一行，即行头和最后一个列头--><tr>",
            "<td class=\"colhdr\">Region</td><td class=\"colhdr\">City</td><!--再补上列头的最后一行-->",
            "<td class=\"colhdr\">Sales</td><td class=\"colhdr\">Sales</td></tr>", "</thead>",
            "<tbody>", "<!--处理行成员和指标数值-->",
            "<tr><td rowspan=2 class=\"rowhdr\">East</td><td class=\"rowhdr\">NJ</td>"
                + "<td> 5</td><td> 6</td></tr>",
            "<tr>", "<td class=\"rowhdr\">NY</td><td> 7</td><td>  </td></tr>", "<tr>",
            "<td class=\"rowhdr\">West</td><td class=\"rowhdr\">LA</td><td>  </td><td> 9</td></tr>",
            "</tbody>", "</Table>"));
    String columnTotals = json("", "Sales", "", "SumIncCol", "",
        "row:[Region,City],col:[合计[Sales],2019[Sales],2020[Sales]]",
        lines(TABLE_OPEN, "<thead>", "<tr>",
            LOGO_CELL + "<td class=\"colhdr\">合计</td><td class=\"colhdr\">2019</td>"
                + "<td class=\"colhdr\">2020</td></tr>",
            "<!--处理最后一行，即行头和最后一个列头--><tr>",
            "<td class=\"colhdr\">Region</td><td class=\"colhdr\">City</td><!--再补上列头的最后一行-->",
            "<td class=\"colhdr\">Sales</td><td class=\"colhdr\">Sales</td>"
                + "<td class=\"colhdr\">Sales</td></tr>",
            "</thead>", "<tbody>", "<!--处理行成员和指标数值-->",
            "<tr><td rowspan=2 class=\"rowhdr\">East</td><td class=\"rowhdr\">NJ</td>"
                + "<td> 11</td><td> 5</td><td> 6</td></tr>",
            "<tr>", "<td class=\"rowhdr\">NY</td><td> 7</td><td> 7</td><td>  </td></tr>", "<tr>",
            "<td class=\"rowhdr\">West</td><td class=\"rowhdr\">LA</td><td> 9</td><td>  </td>"
                + "<td> 9</td></tr>",
            "</tbody>", "</Table>"));
    String texts = json("", "", "", "", "", "row:[名称,值],col:[]",
        lines(TABLE_OPEN, "<thead><tr>",
            "<td class='rowhdr'>名称</td><td class='rowhdr'>值</td></tr>", "    </thead>",
            "<tbody>", "<tr><td>北京</td><td></td></tr>", "<tr><td>😀𝄞</td><td>东南西北</td></tr>",
            "<tr><td></td><td>a\"b\\c<&></td></tr>", "</tbody>", "</Table>"));
    String tooFewRows = "提交的数据不正常，请提交正常的csv数据";
    return Stream.of(
        Arguments.of("cross tab", SALES_QUERY, "Measures=Sales", crossTab),
        Arguments.of("column totals", SALES_QUERY, "Measures=Sales&SumOption=SumIncCol",
            columnTotals),
        Arguments.of("plain table, options null", PLAIN_QUERY, null,
            json("", "", "", "", "", "row:[Name,Qty],col:[]", PLAIN_HTML)),
        Arguments.of("usage options", PLAIN_QUERY, USAGE_OPTIONS,
            json("[]", "ma,mb", "|/||/$", "SumNone/SumIncRow/SumIncCol/SunIncRowCol",
                "SumFirst/SumLast", "row:[Name,Qty],col:[]", PLAIN_HTML)),
        Arguments.of("NULL, Chinese, outside the BMP", select("texts", "名称", "值"), "", texts),
        Arguments.of("columns, no rows", "SELECT \"Name\", \"Qty\" FROM plain WHERE id < 0",
            "Measures=Sales&SumOption=SunIncRowCol",
            json("", "Sales", "", "SunIncRowCol", "", "row:[],col:[]", tooFewRows)),
        Arguments.of("one row", "SELECT \"Name\", \"Qty\" FROM plain WHERE id = 1", null,
            json("", "", "", "", "", "row:[Name,Qty],col:[]",
                lines(TABLE_OPEN, "<thead><tr>",
                    "<td class='rowhdr'>Name</td><td class='rowhdr'>Qty</td></tr>",
                    "    </thead>", "<tbody>", "<tr><td>a</td><td>1</td></tr>", "</tbody>",
                    "</Table>"))));
  }

  static Stream<Arguments> casesForEachDriver() {
    List<Arguments> all = new ArrayList<>();
    for (String url : TestDatabases.URLS) {
      cases().forEach(c -> {
        Object[] a = c.get();
        all.add(Arguments.of(url, a[0], a[1], a[2], a[3]));
      });
    }
    return all.stream();
  }

  @ParameterizedTest(name = "{1} ({0})")
  @MethodSource("casesForEachDriver")
  void transformsTablesToTheResultText(String url, String name, String query, String options,
      String expected) throws SQLException {
    assertEquals(expected, TestDatabases.transform(url, query, options));
  }

  // Member names are cut to 49 bytes, which can split a character: the
  // result is still well-formed text, with U+FFFD for each broken piece.
  static final String[] CUT_CELLS = {
      "一二三四五六七八九十一二三四五六" + "\uFFFD</td><td> 5</td>", // 48 bytes + 1 of 3
      "😀".repeat(8) + "\uFFFD</td><td> 6</td>", // 8 pairs + 1 byte of a surrogate
      "xxxx" + "😀".repeat(7) + "\uFFFD</td><td> 7</td>", // ends on a lone high surrogate
  };

  @ParameterizedTest
  @ValueSource(strings = {TestDatabases.H2, TestDatabases.SQLITE})
  void namesCutInsideACharacterComeBackWellFormed(String url) throws SQLException {
    String result = TestDatabases.transform(
        url, select("longnames", "Region", "|", "Year", "Sales"), "Measures=Sales");
    assertWellFormed(result);
    for (String cell : CUT_CELLS) {
      assertTrue(result.contains("class=\\\"rowhdr\\\">" + cell), cell + " in " + result);
    }
  }

  // Likewise in a result of megabytes, which is written as UTF-16 natively.
  @org.junit.jupiter.api.Test
  void namesCutInsideACharacterComeBackWellFormedInALargeResult() throws SQLException {
    String query = "SELECT \"Region\", \"|\", \"Year\", \"Sales\" FROM longnames UNION ALL "
        + "SELECT CAST(X AS VARCHAR), '|', '2019', '1' FROM SYSTEM_RANGE(1, 40000)";
    String result = TestDatabases.transform(TestDatabases.H2, query, "Measures=Sales");
    assertTrue(result.length() > 1 << 21, "length " + result.length());
    assertWellFormed(result);
    for (String cell : CUT_CELLS) {
      assertTrue(result.contains("class=\\\"rowhdr\\\">" + cell), cell);
    }
  }

  @ParameterizedTest
  @ValueSource(strings = {"a\u0000b", "\u0000", "\u0000\u00c0\u0000"})
  void zeroCharactersRoundTrip(String text) throws SQLException {
    try (var c = TestDatabases.open(TestDatabases.H2);
        var s = c.prepareStatement("SELECT CAST(? AS VARCHAR) AS \"Name\"")) {
      s.setString(1, text);
      try (var rs = s.executeQuery()) {
        String result = Tabulon.doTransform(rs, null);
        // U+0000 is written as the JSON escape, never raw inside a string.
        String escaped = text.replace("\u0000", "\\u0000");
        assertTrue(result.contains("<tr><td>" + escaped + "</td></tr>"), result);
        assertEquals(-1, result.indexOf('\u0000'), result);
      }
    }
  }

  // The typed option escapes the HTML's data texts; the layout and the raw default stay.
  @ParameterizedTest
  @ValueSource(strings = {TestDatabases.H2, TestDatabases.SQLITE})
  void escapeHtmlEscapesTheDataTexts(String url) throws SQLException {
    TransformResult escaped;
    TransformResult raw;
    try (var c = TestDatabases.open(url); var s = c.createStatement()) {
      String query = select("texts", "名称", "值");
      try (var rs = s.executeQuery(query)) {
        escaped = Tabulon.transform(rs, TransformOptions.builder().escapeHtml(true).build());
      }
      try (var rs = s.executeQuery(query)) {
        raw = Tabulon.transform(rs, TransformOptions.builder().build());
      }
    }
    assertEquals("Html", escaped.request().get("Escape"));
    assertEquals(null, raw.request().get("Escape"));
    assertEquals(raw.gridFrame(), escaped.gridFrame());
    assertTrue(escaped.html().contains("<td>a&quot;b\\c&lt;&amp;&gt;</td>"), escaped.html());
    assertTrue(escaped.html().contains("<td>😀𝄞</td>"), escaped.html());
    assertTrue(raw.html().contains("<td>a\"b\\c<&></td>"), raw.html());
  }

  // A result set of many cells must not grow the local reference table
  // (-Xcheck:jni reports that) and reads every cell.
  @ParameterizedTest
  @ValueSource(strings = {TestDatabases.H2, TestDatabases.SQLITE})
  void readsLargeResultSets(String url) throws SQLException {
    String query = url.equals(TestDatabases.H2)
        ? "SELECT CAST(X AS VARCHAR) AS \"N\" FROM SYSTEM_RANGE(1, 3000)"
        : "WITH RECURSIVE r(N) AS (SELECT 1 UNION ALL SELECT N + 1 FROM r WHERE N < 3000) "
            + "SELECT CAST(N AS TEXT) AS \"N\" FROM r";
    String result = TestDatabases.transform(url, query, null);
    assertTrue(result.contains("<tr><td>1</td></tr>\\n<tr><td>2</td></tr>"), result);
    assertTrue(result.contains("<tr><td>3000</td></tr>\\n</tbody>"), result);
  }

  // Eight threads, H2 and SQLite result sets at once, each get the text
  // that one thread gets.
  @org.junit.jupiter.api.Test
  void threadsGetTheSameTextsAsOneThread() throws Exception {
    String options = "Measures=Sales&SumOption=SumIncRowCol&SumPos=SumLast&RowColSort=RowSort";
    String expected = TestDatabases.transform(TestDatabases.H2, SALES_QUERY, options);
    assertEquals(expected, TestDatabases.transform(TestDatabases.SQLITE, SALES_QUERY, options));
    ExecutorService pool = Executors.newFixedThreadPool(8);
    try {
      List<Future<List<String>>> results = new ArrayList<>();
      for (int t = 0; t < 8; t++) {
        String url = TestDatabases.URLS[t % 2];
        Callable<List<String>> work = () -> {
          List<String> texts = new ArrayList<>();
          for (int i = 0; i < 25; i++) texts.add(TestDatabases.transform(url, SALES_QUERY, options));
          return texts;
        };
        results.add(pool.submit(work));
      }
      for (Future<List<String>> f : results) {
        for (String text : f.get()) assertEquals(expected, text);
      }
    } finally {
      pool.shutdown();
    }
  }

  static void assertWellFormed(String s) {
    for (int i = 0; i < s.length(); i++) {
      char c = s.charAt(i);
      if (Character.isHighSurrogate(c)) {
        assertTrue(i + 1 < s.length() && Character.isLowSurrogate(s.charAt(i + 1)), "at " + i);
        i++;
      } else {
        assertTrue(!Character.isLowSurrogate(c), "lone low surrogate at " + i);
      }
    }
  }
}
