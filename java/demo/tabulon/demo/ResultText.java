package tabulon.demo;

import java.util.LinkedHashMap;
import java.util.Map;

/**
 * The two renderings in the JSON text that doTransform returns: an object of objects whose
 * values are strings, {"req":{...},"ret":{"GridFrame":...,"Html":...}}.
 */
final class ResultText {
  final String gridFrame;
  final String html;

  private final String text;
  private int pos;

  private ResultText(String text) {
    this.text = text;
    Map<String, Object> root = object();
    Object ret = root.get("ret");
    if (!(ret instanceof Map)) throw new IllegalArgumentException("no \"ret\" object");
    Map<?, ?> results = (Map<?, ?>) ret;
    gridFrame = (String) results.get("GridFrame");
    html = (String) results.get("Html");
  }

  static ResultText parse(String json) {
    return new ResultText(json);
  }

  private Map<String, Object> object() {
    expect('{');
    Map<String, Object> members = new LinkedHashMap<>();
    if (peek() == '}') {
      pos++;
      return members;
    }
    while (true) {
      String key = string();
      expect(':');
      members.put(key, peek() == '{' ? object() : string());
      char c = next();
      if (c == '}') return members;
      if (c != ',') throw error("expected , or }");
    }
  }

  private String string() {
    expect('"');
    StringBuilder b = new StringBuilder();
    while (true) {
      char c = next();
      if (c == '"') return b.toString();
      if (c != '\\') {
        b.append(c);
        continue;
      }
      char e = next();
      switch (e) {
        case 'b': b.append('\b'); break;
        case 'f': b.append('\f'); break;
        case 'n': b.append('\n'); break;
        case 'r': b.append('\r'); break;
        case 't': b.append('\t'); break;
        case 'u':
          if (pos + 4 > text.length()) throw error("short \\u escape");
          b.append((char) Integer.parseInt(text.substring(pos, pos + 4), 16));
          pos += 4;
          break;
        default: b.append(e); // \" \\ \/
      }
    }
  }

  private void expect(char c) {
    if (next() != c) throw error("expected " + c);
  }

  private char peek() {
    if (pos >= text.length()) throw error("unexpected end");
    return text.charAt(pos);
  }

  private char next() {
    char c = peek();
    pos++;
    return c;
  }

  private IllegalArgumentException error(String what) {
    return new IllegalArgumentException(what + " at offset " + pos + " of the result text");
  }
}
