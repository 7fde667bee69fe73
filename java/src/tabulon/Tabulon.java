package tabulon;

import java.sql.ResultSet;

/**
 * The Java side of the native cross-tab library.
 *
 * <p>Loading this class loads the library: {@code System.load} of the absolute path in the
 * system property {@code tabulon.library.path} when it is set, otherwise
 * {@code System.loadLibrary("Tabulon")} (which searches {@code java.library.path}). The library
 * binds {@link #RegisterNatives()} on this class while it loads, and the static initialiser then
 * calls it to bind {@link #readme()} and {@link #doTransform(ResultSet, String)}.
 *
 * <p>Another class can serve as binding too: it declares the natives it wants ({@code static
 * native String readme()}, {@code native String doTransform(ResultSet, String)}, either static
 * or not) and calls {@code Tabulon.RegisterNatives()} from its own static initialiser. The
 * library registers its methods on the class whose static initialiser is running, and only
 * those that the class declares as native.
 */
public final class Tabulon {
  /** The system property naming the library file to load. */
  public static final String LIBRARY_PATH_PROPERTY = "tabulon.library.path";

  static {
    String path = System.getProperty(LIBRARY_PATH_PROPERTY);
    if (path != null && !path.isEmpty()) {
      System.load(path);
    } else {
      System.loadLibrary("Tabulon");
    }
    RegisterNatives();
  }

  private Tabulon() {}

  /**
   * Registers the library's methods on the class whose static initialiser is running (this
   * class, when called outside any static initialiser). Safe to call any number of times.
   */
  public static native void RegisterNatives();

  /** The usage text: the native methods with their signatures and an example call. */
  public static native String readme();

  /**
   * Reads the whole result set (positioned before its first row; it is neither closed nor
   * rewound) and returns the JSON text {@code {"req":{...},"ret":{"GridFrame":...,"Html":...}}}
   * followed by a line feed.
   *
   * @param resultSet the rows; the column named by the Separate option (default "|") divides
   *     row dimensions (left) from column dimensions (right)
   * @param options key=value pairs joined by "&amp;": SumOption, SumPos, RowColSort, Separate,
   *     Measures, GridFrame, MemoryLimit (bytes, or with K, M or G, that the call may take;
   *     by default half of the address space left under ulimit -v, at most the physical
   *     memory); null means none
   * @throws NullPointerException if {@code resultSet} is null
   * @throws OutOfMemoryError when the call passes its memory limit (the message names it),
   *     when native memory runs out, or when the result is longer than a Java string can be;
   *     the call's native memory is released first
   * @throws java.sql.SQLException (undeclared) as thrown by the result set while it is read
   */
  public static native String doTransform(ResultSet resultSet, String options);
}
