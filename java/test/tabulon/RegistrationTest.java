package tabulon;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/** The two-stage registration on the binding class and on classes of the caller's own. */
class RegistrationTest {
  static final String README = "readme,()Ljava/lang/String;\n"
      + "doTransform,(Ljava/sql/ResultSet;Ljava/lang/String;)Ljava/lang/String;\n"
      + "=".repeat(80) + "\n"
      + "String options=\"SumOption=SumNone/SumIncRow/SumIncCol/SunIncRowCol&SumPos=SumFirst/"
      + "SumLast&RowColSort=ColSort/RowSort&Separate=|/||/$&Measures=ma,mb&GridFrame=[]\"\n"
      + "String ret=doTransform(rs, options);\n";
  static final String EXPECTED_PLAIN =
      TestDatabases.json("", "", "", "", "", "row:[Name,Qty],col:[]", TransformTest.PLAIN_HTML);

  /** A nested class with its own natives, doTransform as an instance method. */
  static final class Nested {
    static {
      Tabulon.RegisterNatives();
    }

    static native String readme();

    native String doTransform(ResultSet rs, String options);
  }

  /** Declares only doTransform. */
  static final class OnlyTransform {
    static {
      Tabulon.RegisterNatives();
    }

    static native String doTransform(ResultSet rs, String options);
  }

  /** Has a Java method named readme, which must stay as it is. */
  static final class JavaReadme {
    static {
      Tabulon.RegisterNatives();
    }

    static String readme() {
      return "written in Java";
    }

    static native String doTransform(ResultSet rs, String options);
  }

  /** Declares readme as native but is never registered: no static initialiser registers it. */
  static final class Unregistered {
    static native String readme();
  }

  interface Transform {
    String apply(ResultSet rs) throws SQLException;
  }

  static String transformPlain(Transform t) throws SQLException {
    try (var c = TestDatabases.open(TestDatabases.H2);
        var s = c.createStatement();
        var rs = s.executeQuery(TransformTest.PLAIN_QUERY)) {
      return t.apply(rs);
    }
  }

  @Test
  void readmeIsTheUsageText() {
    assertEquals(README, Tabulon.readme());
  }

  @Test
  void nestedClassGetsItsNativesRegistered() throws SQLException {
    assertEquals(README, Nested.readme());
    assertEquals(EXPECTED_PLAIN, transformPlain(rs -> new Nested().doTransform(rs, null)));
  }

  @Test
  void classDeclaringOnlyDoTransformGetsIt() throws SQLException {
    assertEquals(EXPECTED_PLAIN, transformPlain(rs -> OnlyTransform.doTransform(rs, null)));
  }

  @Test
  void javaMethodNamedReadmeIsLeftAlone() throws SQLException {
    assertEquals("written in Java", JavaReadme.readme());
    assertEquals(EXPECTED_PLAIN, transformPlain(rs -> JavaReadme.doTransform(rs, null)));
  }

  // Outside a static initialiser RegisterNatives() registers on its own
  // class again; it may be called any number of times.
  @Test
  void registerNativesCanBeCalledAgain() throws SQLException {
    Tabulon.RegisterNatives();
    Tabulon.RegisterNatives();
    assertEquals(README, Tabulon.readme());
    assertEquals(EXPECTED_PLAIN, transformPlain(rs -> Tabulon.doTransform(rs, null)));
    assertThrows(UnsatisfiedLinkError.class, Unregistered::readme);
  }

  /** Loads the library from main, outside any static initialiser. */
  public static final class LoadOutsideInitializer {
    public static void main(String[] args) {
      System.load(args[0]);
      System.out.println("loaded");
    }
  }

  static String testClassPath() {
    try {
      return Path.of(LoadOutsideInitializer.class.getProtectionDomain().getCodeSource()
          .getLocation().toURI()).toString();
    } catch (URISyntaxException e) {
      throw new IllegalStateException(e);
    }
  }

  // The library loaded outside a static initialiser: no class to bind, the
  // load still succeeds and nothing fails.
  @Test
  void loadingOutsideAStaticInitialiserSucceeds() throws IOException, InterruptedException {
    String java = ProcessHandle.current().info().command().orElse("java");
    Process p = new ProcessBuilder(List.of(java, "-Xcheck:jni", "-Xshare:auto",
                    "-cp", testClassPath(),
                    LoadOutsideInitializer.class.getName(),
                    System.getProperty(Tabulon.LIBRARY_PATH_PROPERTY)))
                    .redirectErrorStream(true)
                    .start();
    String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    assertTrue(p.waitFor(60, TimeUnit.SECONDS));
    assertEquals(0, p.exitValue(), output);
    assertEquals("loaded\n", output);
    assertFalse(output.contains("WARNING"), output);
  }
}
