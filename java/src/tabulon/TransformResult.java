package tabulon;

import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * One transform's result, read from the JSON text that doTransform returns:
 * {@code {"req":{...},"ret":{"GridFrame":...,"Html":...}}}, two objects whose members are all
 * strings. The reader takes exactly that shape (standard JSON escapes, {@code \\uXXXX} and
 * surrogate pairs included) and refuses anything else with {@link IllegalArgumentException}.
 */
public final class TransformResult {
  private final String gridFrame;
  private final String html;
  private final Map<String, String> request;

  private TransformResult(String gridFrame, String html, Map<String, String> request) {
    this.gridFrame = gridFrame;
    this.html = html;
    this.request = request;
  }

  /**
   * Reads a result text.
   *
   * @param json the text that doTransform returned
   * @return the result it holds
   * @throws IllegalArgumentException if the text is not an object holding the objects "req" and
   *     "ret" of strings, "ret" with "GridFrame" and "Html"
   */
  public static TransformResult parse(String json) {
    Reader reader = new Reader(json);
    Map<String, Map<String, String>> root = reader.document();
    Map<String, String> req = root.get("req");
    Map<String, String> ret = root.get("ret");
    if (req == null || ret == null) throw reader.error("no \"req\" or no \"ret\" object");
    String gridFrame = ret.get("GridFrame");
    String html = ret.get("Html");
    if (gridFrame == null || html == null) {
      throw reader.error("\"ret\" lacks \"GridFrame\" or \"Html\"");
    }
    return new TransformResult(gridFrame, html, Collections.unmodifiableMap(req));
  }

  /**
   * The GridFrame layout text; give it to {@link TransformOptions.Builder#gridFrame} later.
   *
   * @return the layout text
   */
  public String gridFrame() {
    return gridFrame;
  }

  /**
   * The HTML table fragment (or the library's message for too few rows).
   *
   * @return the HTML text
   */
  public String html() {
    return html;
  }

  /**
   * The request echo: each option as the library looked it up.
   *
   * @return an unmodifiable map from option key to value, in the order of the result text
   */
  public Map<String, String> request() {
    return request;
  }

  /** A reader of the JSON shape of the result: an object of objects of strings. */
  private static final class Reader {
    private final String text;
    private int pos;

    Reader(String text) {
      this.text = text;
    }

    Map<String, Map<String, String>> document() {
      Map<String, Map<String, String>> root = new LinkedHashMap<>();
      expect('{');
      if (!tryConsume('}')) {
        do {
          String key = string();
          expect(':');
          if (root.put(key, stringObject()) != null) throw error("repeated key " + key);
        } while (tryConsume(','));
        expect('}');
      }
      skipBlanks();
      if (pos != text.length()) throw error("text after the result");
      return root;
    }

    private Map<String, String> stringObject() {
      Map<String, String> members = new LinkedHashMap<>();
      expect('{');
      if (tryConsume('}')) return members;
      do {
        String key = string();
        expect(':');
        if (members.put(key, string()) != null) throw error("repeated key " + key);
      } while (tryConsume(','));
      expect('}');
      return members;
    }

    private String string() {
      expect('"');
      StringBuilder b = new StringBuilder();
      while (true) {
        if (pos >= text.length()) throw error("unterminated string");
        char c = text.charAt(pos++);
        if (c == '"') return b.toString();
        if (c < 0x20) throw error("control character in a string");
        if (c != '\\') {
          b.append(c);
          continue;
        }
        if (pos >= text.length()) throw error("unterminated escape");
        char e = text.charAt(pos++);
        switch (e) {
          case '"': case '\\': case '/': b.append(e); break;
          case 'b': b.append('\b'); break;
          case 'f': b.append('\f'); break;
          case 'n': b.append('\n'); break;
          case 'r': b.append('\r'); break;
          case 't': b.append('\t'); break;
          case 'u': b.append(hexUnit()); break;
          default: throw error("unknown escape \\" + e);
        }
      }
    }

    // Four hexadecimal digits: one UTF-16 unit. A surrogate pair is two escapes in a row and
    // joins in the StringBuilder as it does in any Java string.
    private char hexUnit() {
      if (pos + 4 > text.length()) throw error("short \\u escape");
      int unit = 0;
      for (int i = 0; i < 4; i++) {
        int digit = Character.digit(text.charAt(pos++), 16);
        if (digit < 0) throw error("bad \\u escape");
        unit = unit * 16 + digit;
      }
      return (char) unit;
    }

    private void skipBlanks() {
      while (pos < text.length() && " \t\r\n".indexOf(text.charAt(pos)) >= 0) pos++;
    }

    private boolean tryConsume(char c) {
      skipBlanks();
      if (pos < text.length() && text.charAt(pos) == c) {
        pos++;
        return true;
      }
      return false;
    }

    private void expect(char c) {
      if (!tryConsume(c)) throw error("expected " + c);
    }

    IllegalArgumentException error(String what) {
      return new IllegalArgumentException(what + " at offset " + pos + " of the result text");
    }
  }
}
