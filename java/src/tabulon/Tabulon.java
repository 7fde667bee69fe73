package tabulon;

import java.sql.ResultSet;
import java.util.Objects;

/**
 * The Java side of the native cross-tab library.
 *
 * <p>Loading this class loads the library, with no setting needed: the file named by the
 * system property {@code tabulon.library.path} when it is set; otherwise the library on
 * {@code java.library.path} ({@code System.loadLibrary("Tabulon")}) when a directory there holds
 * it; otherwise the copy that this jar carries for Linux x86-64, written to a new private
 * temporary file in {@code java.io.tmpdir} (owner-only, random name, created exclusively),
 * loaded from there and deleted at once. The library binds {@link #RegisterNatives()} on this
 * class while it loads, and the static initialiser then calls it to bind {@link #readme()} and
 * {@link #doTransform(ResultSet, String)}.
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
    // The loading runs inside this static initialiser, which the library looks for on the
    // stack to find the class to bind.
    NativeLoader.load();
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
   *     memory), Escape (Html: names, titles and values written into the HTML with
   *     markup characters escaped); null means none
   * @throws NullPointerException if {@code resultSet} is null
   * @throws OutOfMemoryError when the call passes its memory limit (the message names it),
   *     when native memory runs out, or when the result is longer than a Java string can be;
   *     the call's native memory is released first
   * @throws java.sql.SQLException (undeclared) as thrown by the result set while it is read
   */
  public static native String doTransform(ResultSet resultSet, String options);

  /**
   * Transforms the result set with typed options: {@link #doTransform(ResultSet, String)} with
   * {@code options.toOptionText()}, its JSON text read into a {@link TransformResult}.
   *
   * @param resultSet the rows, positioned before the first; neither closed nor rewound
   * @param options the options, from {@link TransformOptions#builder()}
   * @return the GridFrame text, the HTML and the request echo
   * @throws NullPointerException if {@code resultSet} or {@code options} is null
   */
  public static TransformResult transform(ResultSet resultSet, TransformOptions options) {
    Objects.requireNonNull(resultSet, "resultSet");
    Objects.requireNonNull(options, "options");
    return TransformResult.parse(doTransform(resultSet, options.toOptionText()));
  }
}
