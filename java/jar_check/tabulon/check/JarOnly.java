package tabulon.check;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;

/**
 * Run in a fresh JVM with only tabulon.jar, a JDBC driver and this class on the class path:
 * transforms the worked example through {@code tabulon.Tabulon} ("tabulon") or through a
 * binding class of its own ("binding"), prints the JSON text and then the file from which the
 * process maps libTabulon.
 */
public final class JarOnly {
  /** A caller's own binding class: it declares the natives and asks for their registration. */
  static final class Binding {
    static {
      tabulon.Tabulon.RegisterNatives();
    }

    static native String doTransform(ResultSet rs, String options);
  }

  private JarOnly() {}

  public static void main(String[] args) throws SQLException, IOException {
    boolean ownBinding = args.length > 0 && args[0].equals("binding");
    try (Connection c = DriverManager.getConnection("jdbc:h2:mem:jar_check");
        Statement s = c.createStatement()) {
      s.execute("CREATE TABLE sales (\"Region\" VARCHAR, \"City\" VARCHAR, \"|\" VARCHAR,"
          + " \"Year\" VARCHAR, \"Sales\" VARCHAR)");
      s.execute("INSERT INTO sales VALUES ('East', 'NJ', '|', '2019', '5'),"
          + " ('East', 'NY', '|', '2019', '7'), ('East', 'NJ', '|', '2020', '6'),"
          + " ('West', 'LA', '|', '2020', '9')");
      try (ResultSet rs = s.executeQuery("SELECT * FROM sales")) {
        String options = "Measures=Sales&SumOption=SumNone";
        System.out.print(ownBinding ? Binding.doTransform(rs, options)
                                    : tabulon.Tabulon.doTransform(rs, options));
      }
    }
    for (String line : Files.readAllLines(Path.of("/proc/self/maps"))) {
      int at = line.indexOf('/');
      if (at >= 0 && line.contains("libTabulon")) {
        System.out.println(line.substring(at));
        break;
      }
    }
  }
}
