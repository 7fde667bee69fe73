package tabulon.bench;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;
import tabulon.Tabulon;

/**
 * Reads H2 in-memory sales tables (Region, City, "|", Year, Quarter, Sales, Cost; one row per
 * city, year and quarter, as the engine benchmark generates them) four ways and prints, per
 * table size, the best CPU time of the calling thread for each:
 *
 * <ul>
 *   <li>(a) floor: Java alone calls getString on every cell;
 *   <li>(b) reading: the library's reader (batched, as doTransform reads) fills its row table;
 *   <li>(p) per cell: the native cursor walks every cell, one Java call each, and discards them;
 *   <li>(c) doTransform end to end with SumIncRowCol.
 * </ul>
 *
 * <p>Also, per input row, the JVM's peak resident memory during (c) above what it held before
 * (the native side: rows, model, texts; heap pages touched before do not count again), and the
 * Java heap that (c) allocates (the driver's strings and the result string). Then, for the
 * result text of the largest table, the time to make it a Java string four ways: JNI's
 * NewStringUTF, decoding to UTF-16 in C++ and NewString, the library's newJavaString, and
 * Java's new String(bytes, UTF_8).
 * Arguments: the table sizes in rows (default 100000 1000000).
 */
public final class TabulonBench {
  static final String QUERY = "SELECT \"Region\", \"City\", \"|\", \"Year\", \"Quarter\", "
      + "\"Sales\", \"Cost\" FROM sales";
  static final String OPTIONS = "SumOption=SumIncRowCol&Measures=Sales,Cost";
  static final String[] REGIONS = {"华东", "华南", "华北", "华中", "西南", "西北", "东北", "港澳",
      "台湾", "海外"};
  static final String[] QUARTERS = {"一季度", "二季度", "三季度", "四季度"};
  static final int YEARS = 50;

  static {
    System.load(System.getProperty("tabulon.bench.library.path"));
  }

  /** Walks every cell with the native cursor; returns the number of text bytes read. */
  static native long walkCells(ResultSet resultSet);

  /** Reads the rows as doTransform does; returns the number of text bytes read. */
  static native long readRows(ResultSet resultSet, String options);

  /** Makes `repeats` Java strings of `utf8` (way 0 NewStringUTF, 1 decode and NewString). */
  static native long newString(byte[] utf8, int way, int repeats);

  /** The ways of jsonString: doTransform's, the JSON bytes only, the bytes and newJavaString. */
  static final int JSON_STRING = 0;
  static final int JSON_BYTES = 1;
  static final int BYTES_STRING = 2;

  /** The CPU ms of one of the ways of making the result of a transform of the query. */
  static native double jsonString(ResultSet resultSet, String options, int way);

  private TabulonBench() {}

  interface Reader {
    long read(ResultSet rs) throws SQLException;
  }

  public static void main(String[] args) throws Exception {
    int[] sizes = args.length == 0 ? new int[] {100_000, 1_000_000} : new int[args.length];
    for (int i = 0; i < args.length; i++) sizes[i] = Integer.parseInt(args[i]);
    System.out.printf("%9s %12s %12s %12s %12s %7s %7s %7s %14s %14s%n", "rows", "(a) Java ms",
        "(b) read ms", "(p) cell ms", "(c) total ms", "(b)/(a)", "(p)/(a)", "(c)/(b)",
        "(c) RSS B/row", "(c) heap B/row");
    String result = "";
    double previous = 0;
    int previousRows = 0;
    for (int rows : sizes) {
      try (Connection c = DriverManager.getConnection("jdbc:h2:mem:bench" + rows)) {
        fill(c, rows / (YEARS * 4));
        // Memory of the first run of (c), before any other: the peak resident
        // size above the size before it, and the Java heap allocated on this
        // thread (later runs reuse memory that the C library keeps).
        long peak;
        long allocated;
        try (Statement s = c.createStatement(); ResultSet rs = s.executeQuery(QUERY)) {
          System.gc();
          resetPeak();
          long before = resident("VmRSS");
          allocated = allocatedBytes();
          Tabulon.doTransform(rs, OPTIONS);
          allocated = allocatedBytes() - allocated;
          peak = resident("VmHWM") - before;
        }
        double a = best(c, 5, TabulonBench::javaFloor);
        double b = best(c, 5, rs -> readRows(rs, OPTIONS));
        double p = best(c, 5, TabulonBench::walkCells);
        double cc = best(c, 5, rs -> Tabulon.doTransform(rs, OPTIONS).length());
        System.out.printf("%9d %12.1f %12.1f %12.1f %12.1f %7.2f %7.2f %7.2f %14.0f %14.0f%n",
            rows, a, b, p, cc, b / a, p / a, cc / b, (double) peak / rows,
            (double) allocated / rows);
        try (Statement s = c.createStatement(); ResultSet rs = s.executeQuery(QUERY)) {
          result = Tabulon.doTransform(rs, OPTIONS);
        }
        System.out.printf("result string from the document: doTransform's way %.1f ms; the JSON"
            + " bytes alone %.1f ms; the bytes and newJavaString %.1f ms%n",
            bestJson(c, JSON_STRING), bestJson(c, JSON_BYTES), bestJson(c, BYTES_STRING));
        if (previousRows > 0) {
          System.out.printf("(c) at %d rows / (c) at %d rows: %.2f%n", rows, previousRows,
              cc / previous);
        }
        previous = cc;
        previousRows = rows;
        try (Statement s = c.createStatement()) {
          s.execute("DROP TABLE sales");
        }
      }
    }
    resultString(result.getBytes(StandardCharsets.UTF_8));
  }

  /** The best of five jsonString runs of `way` on the query, in ms. */
  static double bestJson(Connection c, int way) throws SQLException {
    double best = Double.MAX_VALUE;
    for (int i = 0; i < 5; i++) {
      System.gc();
      try (Statement s = c.createStatement(); ResultSet rs = s.executeQuery(QUERY)) {
        best = Math.min(best, jsonString(rs, OPTIONS, way));
      }
    }
    return best;
  }

  /** The best CPU time in ms of making the result text a Java string, four ways. */
  static void resultString(byte[] utf8) {
    ThreadMXBean threads = ManagementFactory.getThreadMXBean();
    String[] ways = {"NewStringUTF", "decode+NewString", "newJavaString", "new String(UTF_8)"};
    System.out.printf("result string of %d bytes:", utf8.length);
    for (int way = 0; way < ways.length; way++) {
      double best = Double.MAX_VALUE;
      for (int i = 0; i < 5; i++) {
        System.gc();
        long start = threads.getCurrentThreadCpuTime();
        long chars = way < 3 ? newString(utf8, way, 1) : new String(utf8, StandardCharsets.UTF_8)
            .length();
        if (chars < 0) throw new IllegalStateException("no string");
        best = Math.min(best, (threads.getCurrentThreadCpuTime() - start) / 1e6);
      }
      System.out.printf(" %s %.1f ms;", ways[way], best);
    }
    System.out.println();
  }

  static long javaFloor(ResultSet rs) throws SQLException {
    int columns = rs.getMetaData().getColumnCount();
    long bytes = 0;
    while (rs.next()) {
      for (int k = 1; k <= columns; k++) {
        String s = rs.getString(k);
        if (s != null) bytes += s.length();
      }
    }
    return bytes;
  }

  /**
   * The best time in ms of `runs` readings of the query (the query itself not timed): the CPU
   * time of this thread, which other load on the machine disturbs less than the wall time.
   */
  static double best(Connection c, int runs, Reader reader) throws SQLException {
    ThreadMXBean threads = ManagementFactory.getThreadMXBean();
    double best = Double.MAX_VALUE;
    for (int i = 0; i < runs; i++) {
      System.gc();
      try (Statement s = c.createStatement(); ResultSet rs = s.executeQuery(QUERY)) {
        long start = threads.getCurrentThreadCpuTime();
        if (reader.read(rs) < 0) throw new IllegalStateException("no result");
        best = Math.min(best, (threads.getCurrentThreadCpuTime() - start) / 1e6);
      }
    }
    return best;
  }

  static void fill(Connection c, int cities) throws SQLException {
    try (Statement s = c.createStatement()) {
      s.execute("CREATE TABLE sales (\"Region\" VARCHAR, \"City\" VARCHAR, \"|\" VARCHAR,"
          + " \"Year\" VARCHAR, \"Quarter\" VARCHAR, \"Sales\" VARCHAR, \"Cost\" VARCHAR)");
    }
    c.setAutoCommit(false);
    try (PreparedStatement p = c.prepareStatement("INSERT INTO sales VALUES (?,?,?,?,?,?,?)")) {
      int seed = 12345;
      int batch = 0;
      for (int city = 0; city < cities; city++) {
        String region = REGIONS[city % 10];
        String name = "城市" + (10000 + city);
        for (int y = 0; y < YEARS; y++) {
          String year = Integer.toString(1975 + y);
          for (int q = 0; q < 4; q++) {
            seed = seed * 1103515245 + 12345;
            int sales = (seed >>> 8) % 100000;
            p.setString(1, region);
            p.setString(2, name);
            p.setString(3, "");
            p.setString(4, year);
            p.setString(5, QUARTERS[q]);
            p.setString(6, sales / 100 + "." + sales % 100);
            p.setString(7, Integer.toString((sales * 3 / 5) / 100));
            p.addBatch();
            if (++batch % 10_000 == 0) p.executeBatch();
          }
        }
      }
      p.executeBatch();
    }
    c.commit();
    c.setAutoCommit(true);
  }

  /** Bytes allocated on the Java heap by this thread so far. */
  static long allocatedBytes() {
    return ((com.sun.management.ThreadMXBean) ManagementFactory.getThreadMXBean())
        .getThreadAllocatedBytes(Thread.currentThread().getId());
  }

  /** Resets the peak resident size of this process (Linux). */
  static void resetPeak() {
    try {
      Files.writeString(Path.of("/proc/self/clear_refs"), "5");
    } catch (IOException e) {
      System.err.println("cannot reset the peak resident size: " + e);
    }
  }

  /** A size field of /proc/self/status, in bytes. */
  static long resident(String field) throws IOException {
    for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
      if (line.startsWith(field + ":")) {
        return Long.parseLong(line.replaceAll("[^0-9]", "")) * 1024;
      }
    }
    return 0;
  }
}
