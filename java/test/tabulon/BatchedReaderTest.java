package tabulon;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.lang.reflect.Method;
import java.lang.reflect.Proxy;
import java.sql.ResultSet;
import java.sql.ResultSetMetaData;
import java.sql.SQLException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Random;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * The batched reader against the per-cell one (the internal switch
 * tabulon.internal.perCellReader): the same texts, the same calls on the result set, the same
 * failures, on random strings holding every kind of char that modified UTF-8 treats apart.
 */
class BatchedReaderTest {
  static final String PER_CELL = "tabulon.internal.perCellReader";
  static final String OPTIONS = "Measures=V&SumOption=SumIncRowCol";

  @AfterEach
  void batchedAgain() {
    System.clearProperty(PER_CELL);
  }

  /** A result set over fixed rows that logs every call and may throw on one. */
  static final class Fake {
    final String[] names;
    final String[][] rows;
    final List<String> calls = new ArrayList<>();
    final SQLException error = new SQLException("injected failure");
    int[] widths;  // per row its column count, when not that of the names
    String failMethod = "";
    int failAt;
    int failCalls;
    int row = -1;
    boolean failed;
    int callsAfterFailure;

    Fake(String[] names, String[][] rows) {
      this.names = names;
      this.rows = rows;
    }

    Object call(String method, Object[] args) throws SQLException {
      if (failed) callsAfterFailure++;
      calls.add(method + (args == null ? "" : Arrays.toString(args)));
      if (method.equals(failMethod) && ++failCalls == failAt) {
        failed = true;
        throw error;
      }
      switch (method) {
        case "next": return ++row < rows.length;
        case "getColumnCount": return widths == null ? names.length : widths[Math.max(row, 0)];
        case "getColumnName": return names[(Integer) args[0] - 1];
        case "getString": return rows[row][(Integer) args[0] - 1];
        default: throw new SQLException("unexpected call " + method);
      }
    }

    ResultSet resultSet() {
      ResultSetMetaData meta = (ResultSetMetaData) Proxy.newProxyInstance(
          getClass().getClassLoader(), new Class<?>[] {ResultSetMetaData.class},
          (p, m, a) -> call(m.getName(), a));
      return (ResultSet) Proxy.newProxyInstance(getClass().getClassLoader(),
          new Class<?>[] {ResultSet.class},
          (p, m, a) -> m.getName().equals("getMetaData") ? meta : call(m.getName(), a));
    }
  }

  /** Random text: ASCII, U+0000, two- and three-byte chars, pairs and lone surrogates. */
  static String randomText(Random random, int maxChars) {
    StringBuilder b = new StringBuilder();
    int chars = random.nextInt(maxChars + 1);
    for (int i = 0; i < chars; i++) {
      switch (random.nextInt(8)) {
        case 0: b.append('\0'); break;
        case 1: b.append((char) (0x80 + random.nextInt(0x780))); break;
        case 2: b.append((char) (0x4E00 + random.nextInt(0x5000))); break;
        case 3: b.appendCodePoint(0x10000 + random.nextInt(0x100000)); break;
        case 4: b.append((char) (0xD800 + random.nextInt(0x800))); break;
        case 5: b.append((char) (0xE000 + random.nextInt(0x2000))); break;
        default: b.append((char) (0x20 + random.nextInt(0x5F))); break;
      }
    }
    return b.toString();
  }

  /** Ends of otherwise ASCII texts: none, and the chars on each side of the one-byte range. */
  static final String[] LAST_CHAR = {"", "", "", "\u007F", "\u0080", "\u0000", "\u0001", "\u07FF",
      "\u0800", "\uFFFF", "\uD800"};

  /** Texts of one hash code, which the batched reader keeps in one slot. */
  static final String[] COLLIDING = {"Aa", "BB", "AaAa", "AaBB", "BBAa", "BBBB"};

  /**
   * Rows whose texts span several batches; dimension values repeat, so there are totals. They
   * repeat as the same string, as an equal copy, and as texts that share a hash code.
   */
  static Fake randomTable(long seed, int rowCount) {
    Random random = new Random(seed);
    String[] dims = new String[40];
    for (int i = 0; i < dims.length; i++) dims[i] = randomText(random, 30);
    String[][] rows = new String[rowCount][];
    for (int r = 0; r < rowCount; r++) {
      String copy = new String(dims[random.nextInt(dims.length)]);
      rows[r] = new String[] {dims[random.nextInt(dims.length)], random.nextInt(9) == 0 ? null
          : randomText(random, 80), COLLIDING[random.nextInt(COLLIDING.length)], "", copy,
          Integer.toString(random.nextInt(1000)) + LAST_CHAR[random.nextInt(LAST_CHAR.length)],
          randomText(random, 200)};
    }
    rows[rowCount / 2][6] = randomText(random, 150_000);  // more than one batch
    return new Fake(new String[] {"R", randomText(random, 60), "X", "|", "C", "V", "T"}, rows);
  }

  static String transform(Fake fake, boolean perCell) {
    if (perCell) System.setProperty(PER_CELL, "true"); else System.clearProperty(PER_CELL);
    return Tabulon.doTransform(fake.resultSet(), OPTIONS);
  }

  @Test
  void bothReadersGiveTheSameResultAndMakeTheSameCalls() {
    for (long seed = 1; seed <= 3; seed++) {
      Fake perCell = randomTable(seed, 3000);
      Fake batched = randomTable(seed, 3000);
      String expected = transform(perCell, true);
      assertEquals(expected, transform(batched, false));
      assertEquals(perCell.calls, batched.calls);
    }
    Fake empty = new Fake(new String[] {"a"}, new String[0][]);
    assertEquals(transform(new Fake(new String[] {"a"}, new String[0][]), true),
        transform(empty, false));
    assertEquals(List.of("next"), empty.calls);
  }

  // Rows shorter and longer than the header (the column count changes from row to row, the
  // header being as wide as the first row): the cells past the header's width are read alike.
  @Test
  void rowsOfOtherLengthsReadAlike() {
    Fake perCell = randomTable(7, 3000);
    Fake batched = randomTable(7, 3000);
    Random random = new Random(7);
    int[] widths = new int[3000];
    for (int r = 0; r < widths.length; r++) widths[r] = r == 0 ? 6 : 5 + random.nextInt(3);
    perCell.widths = widths;
    batched.widths = widths;
    assertEquals(transform(perCell, true), transform(batched, false));
    assertEquals(perCell.calls, batched.calls);
  }

  // The reader class's bytes are those of Java's modified UTF-8 (DataOutput.writeUTF, which is
  // what GetStringUTFChars gives), cell by cell, in batches and across them.
  @Test
  void readerClassWritesModifiedUtf8() throws Exception {
    transform(randomTable(9, 10), false);  // defines the class in this loader
    Class<?> reader = Class.forName("tabulon.embedded.RowBatchReader", false,
        Tabulon.class.getClassLoader());
    Method readBatch = reader.getDeclaredMethod("readBatch", ResultSet.class,
        ResultSetMetaData.class, boolean.class, byte[][].class, int[][].class, String[][].class,
        int[].class);
    readBatch.setAccessible(true);
    Fake fake = randomTable(4, 3000);
    ResultSet rs = fake.resultSet();
    byte[][] text = {new byte[16]};
    int[][] index = {new int[4]};
    java.lang.reflect.Field slotsField = reader.getDeclaredField("SLOTS");
    slotsField.setAccessible(true);
    final int slotCount = slotsField.getInt(null);
    String[][] slots = new String[64][];
    byte[][][] slotBytes = new byte[64][slotCount][];  // what each slot stands for
    List<String> cells = new ArrayList<>(Arrays.asList(fake.names));
    for (String[] row : fake.rows) cells.addAll(Arrays.asList(row));
    int at = 0;
    int hits = 0;
    boolean first = true;
    int result;
    do {
      result = (Integer) readBatch.invoke(null, rs, rs.getMetaData(), first, text, index, slots,
          new int[128]);
      first = false;
      int[] ix = index[0];
      int start = 0;
      for (int e = 2; e < ix[0]; ) {
        int count = ix[e++];
        for (int k = 0; k < count; k++, e++) {
          byte[] cell;
          if (ix[e] < 0 && ~ix[e] < slotCount) {
            cell = slotBytes[k][~ix[e]];
            hits++;
          } else {
            int slot = ix[e] < 0 ? ~ix[e++] - slotCount : -1;
            cell = Arrays.copyOfRange(text[0], start, ix[e]);
            start = ix[e];
            if (slot >= 0) slotBytes[k][slot] = cell;
          }
          assertArrayEquals(modifiedUtf8(cells.get(at++)), cell);
        }
      }
      assertEquals(ix[1], start);
    } while (result >= 0);
    assertTrue(hits > 3000, "repeated texts are not written again");
    assertEquals(cells.size(), at);
  }

  static byte[] modifiedUtf8(String s) throws IOException {
    if (s == null) return new byte[0];
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    // writeUTF takes at most 65535 bytes: write long texts in pieces that end between pairs.
    for (int from = 0; from < s.length(); ) {
      int to = Math.min(s.length(), from + 20_000);
      ByteArrayOutputStream piece = new ByteArrayOutputStream();
      new DataOutputStream(piece).writeUTF(s.substring(from, to));
      out.write(piece.toByteArray(), 2, piece.size() - 2);
      from = to;
    }
    return out.toByteArray();
  }

  // A failure at any point, also in the middle of a later batch, reaches the caller as it was
  // thrown, and nothing is called after it, on both readers.
  @ParameterizedTest(name = "{0} fails on call {1}, per cell: {2}")
  @CsvSource({"next, 1, false", "next, 2000, false", "next, 2000, true", "getString, 1, false",
      "getString, 9001, false", "getString, 9001, true", "getColumnName, 3, false",
      "getColumnCount, 1500, false", "getColumnCount, 1500, true"})
  void aFailureMidBatchReachesTheCaller(String method, int failAt, boolean perCell) {
    Fake fake = randomTable(5, 3000);
    fake.failMethod = method;
    fake.failAt = failAt;
    SQLException thrown = assertThrows(SQLException.class, () -> transform(fake, perCell));
    assertSame(fake.error, thrown);
    assertEquals(0, fake.callsAfterFailure);
  }

  @Test
  void sixteenThreadsGiveTheBytesOfOne() throws Exception {
    String[] expected = new String[4];
    for (int k = 0; k < expected.length; k++) expected[k] = transform(randomTable(k, 600), true);
    System.clearProperty(PER_CELL);
    ExecutorService pool = Executors.newFixedThreadPool(16);
    try {
      List<Future<Integer>> results = new ArrayList<>();
      for (int t = 0; t < 16; t++) {
        final int thread = t;
        Callable<Integer> job = () -> {
          int mismatches = 0;
          for (int i = 0; i < 12; i++) {
            int k = (thread + i) % expected.length;
            String text = Tabulon.doTransform(randomTable(k, 600).resultSet(), OPTIONS);
            if (!text.equals(expected[k])) mismatches++;
          }
          return mismatches;
        };
        results.add(pool.submit(job));
      }
      for (Future<Integer> f : results) assertEquals(0, f.get());
    } finally {
      pool.shutdown();
    }
  }
}
