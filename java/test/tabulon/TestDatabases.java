package tabulon;

import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;
import java.util.List;

/** Tables for the tests, in an H2 and an SQLite in-memory database of one JVM. */
final class TestDatabases {
  static final String H2 = "jdbc:h2:mem:tabulon_test;DB_CLOSE_DELAY=-1";
  static final String SQLITE = "jdbc:sqlite:file:tabulon_test?mode=memory&cache=shared";
  static final String[] URLS = {H2, SQLITE};

  private static boolean created;
  // Keeps the shared SQLite database alive between connections.
  private static Connection sqliteKeeper;

  private TestDatabases() {}

  /** Opens a connection; the tables exist in both databases. */
  static synchronized Connection open(String url) throws SQLException {
    if (!created) {
      sqliteKeeper = DriverManager.getConnection(SQLITE);
      for (String u : URLS) {
        try (Connection c = DriverManager.getConnection(u)) {
          createTables(c);
        }
      }
      created = true;
    }
    return DriverManager.getConnection(url);
  }

  /** Runs `query` and hands the result set to doTransform. */
  static String transform(String url, String query, String options) throws SQLException {
    try (Connection c = open(url);
        Statement s = c.createStatement();
        ResultSet rs = s.executeQuery(query)) {
      return Tabulon.doTransform(rs, options);
    }
  }

  // The worked examples and the text cases; every value is text, NULL included.
  private static void createTables(Connection c) throws SQLException {
    table(c, "sales", new String[] {"Region", "City", "|", "Year", "Sales"},
        List.of(
            new String[] {"East", "NJ", "|", "2019", "5"},
            new String[] {"East", "NY", "|", "2019", "7"},
            new String[] {"East", "NJ", "|", "2020", "6"},
            new String[] {"West", "LA", "|", "2020", "9"}));
    table(c, "plain", new String[] {"Name", "Qty"},
        List.of(new String[] {"a", "1"}, new String[] {"b", "2"}));
    table(c, "texts", new String[] {"名称", "值"},
        List.of(
            new String[] {"北京", null},
            new String[] {"😀𝄞", "东南西北"},
            new String[] {null, "a\"b\\c<&>"}));
    table(c, "longnames", new String[] {"Region", "|", "Year", "Sales"},
        List.of(
            new String[] {"一二三四五六七八九十一二三四五六七", "|", "2019", "5"},
            new String[] {"😀".repeat(12), "|", "2019", "6"},
            new String[] {"xxxx" + "😀".repeat(12), "|", "2019", "7"}));
  }

  private static void table(Connection c, String name, String[] columns, List<String[]> rows)
      throws SQLException {
    StringBuilder create = new StringBuilder("CREATE TABLE " + name + " (id INTEGER");
    StringBuilder insert = new StringBuilder("INSERT INTO " + name + " VALUES (?");
    for (String column : columns) {
      create.append(", \"").append(column).append("\" VARCHAR(200)");
      insert.append(", ?");
    }
    try (Statement s = c.createStatement()) {
      s.execute(create.append(")").toString());
    }
    try (PreparedStatement p = c.prepareStatement(insert.append(")").toString())) {
      int id = 0;
      for (String[] row : rows) {
        p.setInt(1, ++id);
        for (int i = 0; i < row.length; i++) p.setString(i + 2, row[i]);
        p.executeUpdate();
      }
    }
  }

  /** SELECT of the given columns (quoted) of `table`, in insertion order. */
  static String select(String table, String... columns) {
    StringBuilder q = new StringBuilder("SELECT ");
    for (int i = 0; i < columns.length; i++) {
      q.append(i == 0 ? "\"" : ", \"").append(columns[i]).append('"');
    }
    return q.append(" FROM ").append(table).append(" ORDER BY id").toString();
  }

  /** The JSON result text that doTransform returns for these values. */
  static String json(String reqGridFrame, String measures, String separate, String sumOption,
      String sumPos, String gridFrame, String html) {
    return "{\"req\":{\"GridFrame\":" + quote(reqGridFrame) + ",\"Measures\":" + quote(measures)
        + ",\"Separate\":" + quote(separate) + ",\"SumOption\":" + quote(sumOption)
        + ",\"SumPos\":" + quote(sumPos) + "},\"ret\":{\"GridFrame\":" + quote(gridFrame)
        + ",\"Html\":" + quote(html) + "}}\n";
  }

  static String quote(String s) {
    StringBuilder b = new StringBuilder("\"");
    for (char ch : s.toCharArray()) {
      switch (ch) {
        case '"': b.append("\\\""); break;
        case '\\': b.append("\\\\"); break;
        case '\b': b.append("\\b"); break;
        case '\f': b.append("\\f"); break;
        case '\n': b.append("\\n"); break;
        case '\r': b.append("\\r"); break;
        case '\t': b.append("\\t"); break;
        default:
          if (ch < 0x20) {
            b.append(String.format("\\u%04X", (int) ch));
          } else {
            b.append(ch);
          }
      }
    }
    return b.append('"').toString();
  }

  /** Lines joined, each ended by a line feed. */
  static String lines(String... lines) {
    StringBuilder b = new StringBuilder();
    for (String line : lines) b.append(line).append('\n');
    return b.toString();
  }
}
