package tabulon.demo;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;
import tabulon.Tabulon;
import tabulon.TransformOptions;
import tabulon.TransformResult;

/**
 * Runs a query, turns its result set into a cross-tab with Tabulon and writes the HTML report
 * (report.html with logo.png beside it). Without --url it uses an embedded H2 in-memory
 * database holding a sample sales table.
 */
public final class Demo {
  static final String SAMPLE_URL = "jdbc:h2:mem:tabulon_demo";
  static final String SAMPLE_QUERY = "SELECT \"Region\", \"City\", \"|\", \"Year\", \"Quarter\","
      + " \"Sales\" FROM sales ORDER BY \"Year\", \"Quarter\", \"City\"";
  static final TransformOptions SAMPLE_OPTIONS = TransformOptions.builder()
      .measures("Sales")
      .totals(TransformOptions.Totals.BOTH)
      .totalsPosition(TransformOptions.TotalsPosition.LAST)
      .sortRows(true)
      .build();

  static final String USAGE = String.join("\n",
      "usage: demo.sh [--url JDBC_URL [--user NAME] [--password TEXT]] [--query SQL]",
      "               [--options TEXT] [--out FILE]",
      "",
      "Runs the query, transforms its result set with Tabulon and writes an HTML page",
      "(default report.html; logo.png is written beside it). Prints the GridFrame text.",
      "Without --url: an embedded H2 database with a sample sales table.",
      "The result set needs a column named \"|\" (or the Separate option's name)",
      "between the row dimension columns and the column dimension columns.",
      "",
      "  --url       JDBC URL; put the driver's jar in CLASSPATH",
      "  --query     SQL query (default: " + SAMPLE_QUERY + ")",
      "  --options   option text (default: " + SAMPLE_OPTIONS + ")",
      "  --out       the report file (default: report.html)");

  private Demo() {}

  public static void main(String[] args) {
    String url = null;
    String user = null;
    String password = null;
    String query = SAMPLE_QUERY;
    String options = null;
    Path out = Path.of("report.html");
    try {
      for (int i = 0; i < args.length; i++) {
        String flag = args[i];
        if (flag.equals("--help") || flag.equals("-h")) {
          System.out.println(USAGE);
          return;
        }
        if (i + 1 >= args.length) throw new IllegalArgumentException("missing value for " + flag);
        String value = args[++i];
        switch (flag) {
          case "--url": url = value; break;
          case "--user": user = value; break;
          case "--password": password = value; break;
          case "--query": query = value; break;
          case "--options": options = value; break;
          case "--out": out = Path.of(value); break;
          default: throw new IllegalArgumentException("unknown flag " + flag);
        }
      }
    } catch (IllegalArgumentException e) {
      System.err.println("demo: " + e.getMessage() + "\n" + USAGE);
      System.exit(2);
    }

    try (Connection connection = connect(url, user, password)) {
      if (url == null) createSampleTable(connection);
      TransformResult result;
      try (Statement statement = connection.createStatement();
          ResultSet rows = statement.executeQuery(query)) {
        // An option text from the command line goes through the text contract as it is.
        result = options == null ? Tabulon.transform(rows, SAMPLE_OPTIONS)
                                 : TransformResult.parse(Tabulon.doTransform(rows, options));
      }
      if (options == null) options = SAMPLE_OPTIONS.toOptionText();
      writeReport(out, query, options, result);
      System.out.println("GridFrame: " + result.gridFrame());
      System.out.println("Report:    " + out.toAbsolutePath().normalize());
    } catch (SQLException | IOException | RuntimeException e) {
      System.err.println("demo: " + e);
      System.exit(1);
    }
  }

  static Connection connect(String url, String user, String password) throws SQLException {
    if (url == null) return DriverManager.getConnection(SAMPLE_URL);
    if (user == null) return DriverManager.getConnection(url);
    return DriverManager.getConnection(url, user, password);
  }

  /** Sales by region, city, year and quarter; region and quarter names in Chinese. */
  static void createSampleTable(Connection c) throws SQLException {
    try (Statement s = c.createStatement()) {
      s.execute("CREATE TABLE sales (\"Region\" VARCHAR(20), \"City\" VARCHAR(20),"
          + " \"|\" VARCHAR(1), \"Year\" VARCHAR(4), \"Quarter\" VARCHAR(10), \"Sales\" INTEGER)");
    }
    String[][] cities = {{"华东", "上海"}, {"华东", "杭州"}, {"华南", "广州"}, {"华南", "深圳"},
        {"华北", "北京"}, {"华北", "天津"}, {"华中", "武汉"}};
    String[] quarters = {"一季度", "二季度", "三季度", "四季度"};
    try (PreparedStatement p =
            c.prepareStatement("INSERT INTO sales VALUES (?, ?, '', ?, ?, ?)")) {
      int seed = 7;
      for (String[] city : cities) {
        for (int year = 2023; year <= 2024; year++) {
          for (String quarter : quarters) {
            seed = seed * 1103515245 + 12345;
            p.setString(1, city[0]);
            p.setString(2, city[1]);
            p.setString(3, Integer.toString(year));
            p.setString(4, quarter);
            p.setInt(5, 100 + ((seed >>> 8) % 900));
            p.addBatch();
          }
        }
      }
      p.executeBatch();
    }
  }

  static void writeReport(Path out, String query, String options, TransformResult result)
      throws IOException {
    String page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        + "<title>Tabulon report</title>\n<style>\n" + resource("report.css") + "</style>\n"
        + "</head>\n<body>\n<h1>Tabulon report</h1>\n"
        + "<p>Query: <code>" + escape(query) + "</code><br>\n"
        + "Options: <code>" + escape(options) + "</code></p>\n"
        + result.html()
        + "<p>GridFrame: <code>" + escape(result.gridFrame()) + "</code></p>\n"
        + "</body>\n</html>\n";
    Path dir = out.toAbsolutePath().getParent();
    Files.createDirectories(dir);
    Files.writeString(out, page, StandardCharsets.UTF_8);
    try (InputStream logo = Demo.class.getResourceAsStream("logo.png")) {
      Files.copy(logo, dir.resolve("logo.png"), StandardCopyOption.REPLACE_EXISTING);
    }
  }

  static String resource(String name) throws IOException {
    try (InputStream in = Demo.class.getResourceAsStream(name)) {
      if (in == null) throw new IOException("missing resource " + name);
      return new String(in.readAllBytes(), StandardCharsets.UTF_8);
    }
  }

  static String escape(String text) {
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
        .replace("\"", "&quot;");
  }
}
