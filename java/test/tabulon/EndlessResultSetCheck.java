package tabulon;

import java.lang.reflect.Proxy;
import java.sql.ResultSet;
import java.sql.ResultSetMetaData;
import java.util.Arrays;

/**
 * Run in a JVM of its own under an address-space limit (ulimit -v): a result set that never
 * ends must end the call with an OutOfMemoryError that names the request's memory limit, not
 * abort the JVM, and a small call afterwards must give the same text as before. The argument
 * is prepended to the option text. Exit status 0 when all holds.
 */
final class EndlessResultSetCheck {
  private static final String[] NAMES = {"R", "|", "C", "m"};

  private EndlessResultSetCheck() {}

  // `rows` rows of (r<i>, "", c, value), or endless rows when rows < 0.
  static ResultSet table(int rows, String value) {
    ResultSetMetaData meta = (ResultSetMetaData) Proxy.newProxyInstance(
        ResultSetMetaData.class.getClassLoader(), new Class<?>[] {ResultSetMetaData.class},
        (p, m, a) -> m.getName().equals("getColumnCount") ? (Object) NAMES.length
            : NAMES[(Integer) a[0] - 1]);
    int[] row = {0};
    return (ResultSet) Proxy.newProxyInstance(ResultSet.class.getClassLoader(),
        new Class<?>[] {ResultSet.class}, (p, m, a) -> {
          switch (m.getName()) {
            case "next":
              return rows < 0 || ++row[0] <= rows;
            case "getMetaData":
              return meta;
            case "getString":
              int column = (Integer) a[0];
              return column == 1 ? "r" + (row[0] % 1000) : column == 3 ? "c" : value;
            default:
              throw new UnsupportedOperationException(m.getName());
          }
        });
  }

  public static void main(String[] args) {
    String options = (args.length > 0 ? args[0] : "") + "Measures=m";
    String small = Tabulon.doTransform(table(3, "7"), options);
    // Short cells: the process's address space runs out in small steps, as
    // with real tables, until the JVM itself cannot get memory for a thread.
    char[] cell = new char[24];
    Arrays.fill(cell, 'x');
    try {
      Tabulon.doTransform(table(-1, new String(cell)), options);
      System.err.println("FAIL: an endless result set returned");
      System.exit(1);
    } catch (OutOfMemoryError e) {
      String message = String.valueOf(e.getMessage());
      if (!message.contains("MemoryLimit=")) {
        System.err.println("FAIL: the error names no limit: " + message);
        System.exit(1);
      }
      System.out.println("raised: " + message);
    }
    String again = Tabulon.doTransform(table(3, "7"), options);
    if (!again.equals(small)) {
      System.err.println("FAIL: a small call after the error differs: " + again);
      System.exit(1);
    }
    System.out.println("passed");
  }
}
