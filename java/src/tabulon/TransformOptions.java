package tabulon;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;

/**
 * The options of one transform, made with {@link #builder()} and written as the option text
 * that {@link Tabulon#doTransform(java.sql.ResultSet, String)} reads ({@link #toOptionText()}).
 *
 * <p>The option text has no escapes: "&amp;" ends a value and a key is found wherever
 * "Key=" occurs. The builder therefore refuses, with {@link IllegalArgumentException}, what the
 * text cannot carry: a measure name holding ",", "&amp;", "=", a carriage return or a line feed;
 * a separator or layout holding "&amp;" or "="; an empty separator; a layout of 10 bytes or
 * fewer (such a layout is not applied); a list of measures that is one empty name; totals
 * without measures. Options that are never set are left out of the text and keep the library's
 * defaults.
 */
public final class TransformOptions {
  /** Which totals ("合计") the cross-tab gets. */
  public enum Totals {
    /** No totals. */
    NONE("SumNone"),
    /** Totals for the row dimensions. */
    ROWS("SumIncRow"),
    /** Totals for the column dimensions. */
    COLUMNS("SumIncCol"),
    /** Totals for the row and the column dimensions. */
    BOTH("SumIncRowCol");

    private final String word;

    Totals(String word) {
      this.word = word;
    }

    /**
     * The option word.
     *
     * @return the word of the option text, such as "SumIncRowCol"
     */
    public String word() {
      return word;
    }
  }

  /** Where a total stands among its sibling members. */
  public enum TotalsPosition {
    /** Before its siblings. */
    FIRST("SumFirst"),
    /** After its siblings. */
    LAST("SumLast");

    private final String word;

    TotalsPosition(String word) {
      this.word = word;
    }

    /**
     * The option word.
     *
     * @return the word of the option text, such as "SumLast"
     */
    public String word() {
      return word;
    }
  }

  /** How the rows that fall on one cell are combined, in the cells and in every total. */
  public enum Aggregate {
    /** The sum of the rows' values. */
    SUM("Sum"),
    /** The number of rows, empty values included. */
    COUNT("Count"),
    /** The smallest value. */
    MIN("Min"),
    /** The largest value. */
    MAX("Max"),
    /** The mean of the rows' values. */
    AVG("Avg");

    private final String word;

    Aggregate(String word) {
      this.word = word;
    }

    /**
     * The option word.
     *
     * @return the word of the option text, such as "Sum"
     */
    public String word() {
      return word;
    }
  }

  private final String text;

  private TransformOptions(String text) {
    this.text = text;
  }

  /**
   * Starts a set of options.
   *
   * @return a builder with no option set: every option keeps the library's default
   */
  public static Builder builder() {
    return new Builder();
  }

  /**
   * The option text.
   *
   * @return key=value pairs joined by "&amp;", as doTransform reads them
   */
  public String toOptionText() {
    return text;
  }

  /**
   * The option text.
   *
   * @return the same text as {@link #toOptionText()}
   */
  @Override
  public String toString() {
    return text;
  }

  /** Collects the options; {@link #build()} checks them and writes the option text. */
  public static final class Builder {
    private List<String> measures = List.of();
    private Totals totals;
    private TotalsPosition totalsPosition;
    private boolean sortRows;
    private String separator;
    private String gridFrame;
    private long memoryLimit = -1;
    private Aggregate aggregate;
    private boolean escapeHtml;

    private Builder() {}

    /**
     * The measure columns, whose values fill the cells, in this order.
     *
     * @param names the column names
     * @return this builder
     * @throws IllegalArgumentException if a name holds ",", "&amp;", "=", CR or LF
     */
    public Builder measures(String... names) {
      return measures(List.of(names));
    }

    /**
     * The measure columns, whose values fill the cells, in this order.
     *
     * @param names the column names
     * @return this builder
     * @throws IllegalArgumentException if a name holds ",", "&amp;", "=", CR or LF
     */
    public Builder measures(List<String> names) {
      List<String> copy = new ArrayList<>(names);
      for (String name : copy) {
        Objects.requireNonNull(name, "measure name");
        if (containsAny(name, ",&=\r\n")) {
          throw new IllegalArgumentException(
              "a measure name cannot hold \",\", \"&\", \"=\", CR or LF: \"" + name + "\"");
        }
      }
      if (copy.size() == 1 && copy.get(0).isEmpty()) {
        throw new IllegalArgumentException("a single empty measure name means no measures");
      }
      measures = Collections.unmodifiableList(copy);
      return this;
    }

    /**
     * Which totals to add; anything but {@link Totals#NONE} needs measures.
     *
     * @param totals the totals
     * @return this builder
     */
    public Builder totals(Totals totals) {
      this.totals = Objects.requireNonNull(totals, "totals");
      return this;
    }

    /**
     * Whether totals stand before or after their siblings.
     *
     * @param position first or last
     * @return this builder
     */
    public Builder totalsPosition(TotalsPosition position) {
      this.totalsPosition = Objects.requireNonNull(position, "position");
      return this;
    }

    /**
     * Whether the row members are sorted (column members always are without a layout).
     *
     * @param sort true to sort the row members
     * @return this builder
     */
    public Builder sortRows(boolean sort) {
      this.sortRows = sort;
      return this;
    }

    /**
     * The name of the column that divides row dimensions from column dimensions (default "|").
     *
     * @param name the column name
     * @return this builder
     * @throws IllegalArgumentException if it is empty or holds "&amp;" or "="
     */
    public Builder separator(String name) {
      checkValue("separator", name);
      if (name.isEmpty()) throw new IllegalArgumentException("the separator cannot be empty");
      this.separator = name;
      return this;
    }

    /**
     * The GridFrame layout of an earlier result ({@link TransformResult#gridFrame()}): fixes the
     * row titles and the column header tree.
     *
     * @param layout the GridFrame text
     * @return this builder
     * @throws IllegalArgumentException if it holds "&amp;" or "=", or is 10 bytes or shorter
     */
    public Builder gridFrame(String layout) {
      checkValue("GridFrame layout", layout);
      if (layout.getBytes(StandardCharsets.UTF_8).length <= 10) {
        throw new IllegalArgumentException("a GridFrame layout of 10 bytes or fewer is ignored");
      }
      this.gridFrame = layout;
      return this;
    }

    /**
     * The most native memory the transform may use, in bytes.
     *
     * @param bytes the limit in bytes
     * @return this builder
     * @throws IllegalArgumentException if {@code bytes} is not positive
     */
    public Builder memoryLimit(long bytes) {
      if (bytes <= 0) throw new IllegalArgumentException("memory limit must be positive");
      this.memoryLimit = bytes;
      return this;
    }

    /**
     * Combines the rows that fall on one cell: each cell and each total shows this aggregate of
     * its rows (empty values left out, except by {@link Aggregate#COUNT}). Without it a cell shows
     * its last row's value and the totals sum.
     *
     * @param aggregate the aggregate
     * @return this builder
     */
    public Builder aggregate(Aggregate aggregate) {
      this.aggregate = Objects.requireNonNull(aggregate, "aggregate");
      return this;
    }

    /**
     * Whether the HTML holds names, titles and values with "&amp;", "&lt;", "&gt;", the double
     * and the single quote escaped ("Escape=Html"), so that a page may show any data. The
     * GridFrame layout is the same either way; by default the HTML holds the texts raw.
     *
     * @param escape true to escape
     * @return this builder
     */
    public Builder escapeHtml(boolean escape) {
      this.escapeHtml = escape;
      return this;
    }

    /**
     * Checks the options and writes the option text.
     *
     * @return the options
     * @throws IllegalArgumentException if totals are asked for without measures
     */
    public TransformOptions build() {
      if (totals != null && totals != Totals.NONE && measures.isEmpty()) {
        throw new IllegalArgumentException("totals need at least one measure");
      }
      StringBuilder text = new StringBuilder();
      if (!measures.isEmpty()) pair(text, "Measures", String.join(",", measures));
      if (totals != null) pair(text, "SumOption", totals.word());
      if (totalsPosition != null) pair(text, "SumPos", totalsPosition.word());
      if (sortRows) pair(text, "RowColSort", "RowSort");
      if (separator != null) pair(text, "Separate", separator);
      if (memoryLimit > 0) pair(text, "MemoryLimit", Long.toString(memoryLimit));
      if (aggregate != null) pair(text, "Aggregate", aggregate.word());
      if (escapeHtml) pair(text, "Escape", "Html");
      if (gridFrame != null) pair(text, "GridFrame", gridFrame);
      return new TransformOptions(text.toString());
    }

    private static void pair(StringBuilder text, String key, String value) {
      if (text.length() > 0) text.append('&');
      text.append(key).append('=').append(value);
    }

    private static void checkValue(String what, String value) {
      Objects.requireNonNull(value, what);
      if (containsAny(value, "&=")) {
        throw new IllegalArgumentException("a " + what + " cannot hold \"&\" or \"=\"");
      }
    }

    private static boolean containsAny(String text, String characters) {
      for (int i = 0; i < characters.length(); i++) {
        if (text.indexOf(characters.charAt(i)) >= 0) return true;
      }
      return false;
    }
  }
}
