package tabulon;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.sql.ResultSet;
import java.sql.SQLException;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The reader of the result text, and Tabulon.transform against doTransform's bytes. */
class TransformResultTest {
  static TransformResult withHtml(String jsonString) {
    return TransformResult.parse("{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":" + jsonString
        + "}}\n");
  }

  @Test
  void readsEveryEscape() {
    assertEquals("q\" b\\ s/ \b\f\n\r\t \u001B é 合 \uD83D\uDE00 raw 合",
        withHtml("\"q\\\" b\\\\ s\\/ \\b\\f\\n\\r\\t \\u001B \\u00e9 \\u5408 \\ud83d\\uDE00"
            + " raw 合\"").html());
  }

  @Test
  void readsEveryMember() {
    TransformResult r = TransformResult.parse(" { \"req\" : {\"GridFrame\":\"\",\"Measures\":\"a\","
        + "\"Separate\":\"$\",\"SumOption\":\"x\",\"SumPos\":\"\"} ,\n\"ret\":{\"GridFrame\":"
        + "\"row:[],col:[]\",\"Html\":\"<t>\"}}\n");
    assertEquals("row:[],col:[]", r.gridFrame());
    assertEquals("<t>", r.html());
    assertEquals(Map.of("GridFrame", "", "Measures", "a", "Separate", "$", "SumOption", "x",
        "SumPos", ""), r.request());
    assertEquals(List.of("GridFrame", "Measures", "Separate", "SumOption", "SumPos"),
        List.copyOf(r.request().keySet()));
  }

  @ParameterizedTest
  @ValueSource(strings = {"", "{}", "{\"req\":{}}", "{\"req\":{},\"ret\":{\"Html\":\"h\"}}",
      "{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"h\"}} x",
      "{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"h\"}",
      "{\"req\":{\"a\":1},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"h\"}}",
      "{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"\\x\"}}",
      "{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"\\u12G4\"}}",
      "{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"\\u12\"}}",
      "{\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"a\nb\"}}",
      "{\"req\":{},\"req\":{},\"ret\":{\"GridFrame\":\"g\",\"Html\":\"h\"}}"})
  void refusesOtherShapes(String text) {
    assertThrows(IllegalArgumentException.class, () -> TransformResult.parse(text));
  }

  static Stream<TransformOptions> endToEndOptions() {
    return Stream.of(TransformOptions.builder().build(),
        TransformOptions.builder().measures("Sales").totals(TransformOptions.Totals.BOTH)
            .totalsPosition(TransformOptions.TotalsPosition.LAST).sortRows(true).build(),
        TransformOptions.builder().measures("Sales")
            .gridFrame("row:[Region,City],col:[2020[Sales],2019[Sales]]").build());
  }

  // The typed call gives exactly what the text contract gives for the same option text.
  @ParameterizedTest
  @MethodSource("endToEndOptions")
  void transformMatchesDoTransform(TransformOptions options) throws SQLException {
    String json = TestDatabases.transform(TestDatabases.H2, TransformTest.SALES_QUERY,
        options.toOptionText());
    TransformResult typed;
    try (var c = TestDatabases.open(TestDatabases.H2);
        var s = c.createStatement();
        ResultSet rs = s.executeQuery(TransformTest.SALES_QUERY)) {
      typed = Tabulon.transform(rs, options);
    }
    String expected = TestDatabases.json(typed.request().get("GridFrame"),
        typed.request().get("Measures"), typed.request().get("Separate"),
        typed.request().get("SumOption"), typed.request().get("SumPos"), typed.gridFrame(),
        typed.html());
    assertEquals(json, expected);
  }

  @Test
  void transformRefusesNullOptions() throws SQLException {
    try (var c = TestDatabases.open(TestDatabases.H2);
        var s = c.createStatement();
        ResultSet rs = s.executeQuery(TransformTest.SALES_QUERY)) {
      assertThrows(NullPointerException.class, () -> Tabulon.transform(rs, null));
    }
  }
}
