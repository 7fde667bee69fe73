package tabulon.embedded;

import java.sql.ResultSet;
import java.sql.ResultSetMetaData;
import java.sql.SQLException;
import java.util.Arrays;

/**
 * The Java half of libTabulon's result-set reader. The library carries this class's bytes and
 * defines it in the loader of the class that binds its natives, so that no jar needs it.
 *
 * <p>{@link #readBatch} walks up to one batch of rows exactly as the native per-cell reader does
 * (next before each row; on the first row the column count and the names 1..n from the
 * metadata; then, on every row, the column count and getString(1..n) in order) and writes each
 * text as the modified UTF-8 that JNI's GetStringUTFChars gives: U+0000 as C0 80, every other
 * char below U+0080 as one byte, below U+0800 as two, and every other char (each half of a
 * surrogate pair included) as three. A null name or value is the empty text. An exception of
 * the result set leaves the method at once, with no further call on the result set.
 *
 * <p>The buffers are the caller's and are reused from batch to batch: {@code text[0]} holds
 * the bytes and {@code index[0]} where they end. index[0][0] is the number of int entries
 * used, index[0][1] the number of text bytes used; then, for each row, its cell count followed
 * by each cell's entry: the end offset of its bytes in the text (zero or more), or a slot (see
 * below). A batch ends before the row that would start past {@link #TEXT_LIMIT} bytes or
 * {@link #INDEX_LIMIT} entries; a row that does not fit the arrays replaces them by larger
 * ones in the holders.
 *
 * <p>A column's texts mostly repeat, and drivers often hand out the same String object for
 * the same text, so the first {@link #CACHED_COLUMNS} columns keep a table of the strings
 * they saw, {@link #SLOTS} slots each, a string in the slot of its hash code. A cell whose
 * string is (or equals) the one in its slot is not written again: its entry is ~slot, which
 * stands for the text that slot holds. A cell that takes over a slot is written with two
 * entries, ~(SLOTS + slot) and then its end offset. The tables ({@code slots}, one array per
 * column, made here when first needed) and the counts ({@code stats}: per column the cells
 * looked up in its trial and the hits among them, -1 once the column no longer looks) are the
 * caller's and live for the whole reading, across batches. A column whose first {@link #TRIAL}
 * lookups hit less than one time in eight stops looking: the values of a measure hardly
 * repeat, and writing them costs less than looking them up.
 */
final class RowBatchReader {
  static final int TEXT_LIMIT = 1 << 18;
  static final int INDEX_LIMIT = 1 << 15;
  static final int SLOTS = 1 << 14;
  static final int CACHED_COLUMNS = 64;
  static final int TRIAL = 4096;
  /** The largest array length that every JVM allocates. */
  private static final int MAX_ARRAY = Integer.MAX_VALUE - 8;

  private RowBatchReader() {}

  /**
   * Reads the next batch of rows; the names come first when {@code firstRow} says that no row
   * has been read yet. Returns the number of rows written (the names count as one), or its
   * complement (~rows, negative) when next() answered false and the reading is complete.
   */
  static int readBatch(ResultSet resultSet, ResultSetMetaData metaData, boolean firstRow,
      byte[][] text, int[][] index, String[][] slots, int[] stats) throws SQLException {
    int rows = 0;
    int used = 0;
    int entries = 2;
    boolean names = firstRow;
    boolean more = true;
    while (used < TEXT_LIMIT && entries < INDEX_LIMIT) {
      if (!resultSet.next()) {
        more = false;
        break;
      }
      if (names) {
        names = false;
        int count = Math.max(metaData.getColumnCount(), 0);
        int[] ends = rowIndex(index, entries, count);
        ends[entries++] = count;
        for (int j = 1; j <= count; j++) {
          used = append(text, used, metaData.getColumnName(j));
          ends[entries++] = used;
        }
        rows++;
      }
      int count = Math.max(metaData.getColumnCount(), 0);
      int[] ends = rowIndex(index, entries, count);
      ends[entries++] = count;
      for (int k = 1; k <= count; k++) {
        String s = resultSet.getString(k);
        int column = k - 1;
        if (s != null && column < CACHED_COLUMNS && stats[2 * column] >= 0) {
          int slot = s.hashCode() & (SLOTS - 1);
          String[] held = slots[column];
          if (held == null) held = slots[column] = new String[SLOTS];
          boolean hit = held[slot] == s || s.equals(held[slot]);
          count(stats, column, hit);
          if (hit) {
            ends[entries++] = ~slot;
            continue;
          }
          held[slot] = s;
          ends[entries++] = ~(SLOTS + slot);
        }
        used = append(text, used, s);
        ends[entries++] = used;
      }
      rows++;
    }
    index[0][0] = entries;
    index[0][1] = used;
    return more ? rows : ~rows;
  }

  /** Counts one lookup of `column` in its trial; ends its lookups when it shows few hits. */
  private static void count(int[] stats, int column, boolean hit) {
    int looked = stats[2 * column];
    if (looked >= TRIAL) return;
    stats[2 * column] = ++looked;
    if (hit) stats[2 * column + 1]++;
    if (looked == TRIAL && stats[2 * column + 1] < TRIAL / 8) stats[2 * column] = -1;
  }

  /** The index array, grown when the row of `cells` cells that starts at `entries` needs it. */
  private static int[] rowIndex(int[][] index, int entries, int cells) {
    long needed = (long) entries + 1 + 2L * cells;
    if (needed > index[0].length) {
      index[0] = Arrays.copyOf(index[0], grownLength(index[0].length, needed));
    }
    return index[0];
  }

  /** Writes `s` (nothing for null) at `used`, growing the text array first when needed. */
  private static int append(byte[][] text, int used, String s) {
    if (s == null) return used;
    int chars = s.length();
    long needed = (long) used + 3L * chars;
    if (needed > text[0].length) {
      text[0] = Arrays.copyOf(text[0], grownLength(text[0].length, needed));
    }
    return encode(s, chars, text[0], used);
  }

  private static int grownLength(int length, long needed) {
    if (needed > MAX_ARRAY) throw new OutOfMemoryError("row text too long for one batch");
    return (int) Math.min(MAX_ARRAY, Math.max(needed, 2L * length));
  }

  private static int encode(String s, int chars, byte[] b, int p) {
    // Most texts are ASCII without U+0000: their leading run of such chars
    // is copied as it is, and the rest goes through the full encoder.
    int i = 0;
    for (; i < chars; i++) {
      char c = s.charAt(i);
      if (c >= 0x80 || c == 0) break;
      b[p + i] = (byte) c;
    }
    if (i == chars) return p + chars;
    p += i;
    for (; i < chars; i++) {
      char c = s.charAt(i);
      if (c < 0x80 && c != 0) {
        b[p++] = (byte) c;
      } else if (c < 0x800) {
        b[p++] = (byte) (0xC0 | (c >> 6));
        b[p++] = (byte) (0x80 | (c & 0x3F));
      } else {
        b[p++] = (byte) (0xE0 | (c >> 12));
        b[p++] = (byte) (0x80 | ((c >> 6) & 0x3F));
        b[p++] = (byte) (0x80 | (c & 0x3F));
      }
    }
    return p;
  }
}
