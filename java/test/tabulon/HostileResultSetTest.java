package tabulon;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Proxy;
import java.sql.Connection;
import java.sql.ResultSet;
import java.sql.ResultSetMetaData;
import java.sql.SQLException;
import java.sql.Statement;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** Result sets that misbehave late or oddly, and many threads at once. */
class HostileResultSetTest {
  static String rangeQuery(String url, int rows) {
    return url.equals(TestDatabases.H2)
        ? "SELECT CAST(X AS VARCHAR) AS \"N\", '|' AS \"|\", CAST(MOD(X, 7) AS VARCHAR) AS \"M\","
            + " CAST(X * 2 AS VARCHAR) AS \"V\" FROM SYSTEM_RANGE(1, " + rows + ")"
        : "WITH RECURSIVE r(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM r WHERE X < " + rows
            + ") SELECT CAST(X AS TEXT) AS \"N\", '|' AS \"|\", CAST(X % 7 AS TEXT) AS \"M\","
            + " CAST(X * 2 AS TEXT) AS \"V\" FROM r";
  }

  // getString fails on the first cell of the 1000th row: the driver's own
  // exception reaches the caller and nothing is called after it. Repeated,
  // so that a leaked reference per call would show under -Xcheck:jni.
  @ParameterizedTest
  @ValueSource(strings = {TestDatabases.H2, TestDatabases.SQLITE})
  void getStringFailingOnTheThousandthRow(String url) throws SQLException {
    for (int round = 0; round < 20; round++) {
      try (Connection c = TestDatabases.open(url);
          Statement s = c.createStatement();
          ResultSet rs = s.executeQuery(rangeQuery(url, 2000))) {
        ResultSetFailureTest.Failing handler =
            new ResultSetFailureTest.Failing(rs, "getString", 999 * 4 + 1);
        SQLException thrown = assertThrows(SQLException.class,
            () -> Tabulon.doTransform(ResultSetFailureTest.wrap(rs, handler), "Measures=V"));
        assertSame(handler.error, thrown);
        assertEquals(List.of(), handler.callsAfterFailure);
      }
    }
  }

  // A driver whose getColumnName answers null: that column's name is empty.
  @Test
  void nullColumnNameIsAnEmptyName() throws SQLException {
    try (Connection c = TestDatabases.open(TestDatabases.H2);
        Statement s = c.createStatement();
        ResultSet rs = s.executeQuery(TestDatabases.select("plain", "Name", "Qty"))) {
      ResultSet wrapped = (ResultSet) Proxy.newProxyInstance(getClass().getClassLoader(),
          new Class<?>[] {ResultSet.class}, (p, m, a) -> {
            Object result = invoke(rs, m, a);
            if (!m.getName().equals("getMetaData")) return result;
            ResultSetMetaData meta = (ResultSetMetaData) result;
            return Proxy.newProxyInstance(getClass().getClassLoader(),
                new Class<?>[] {ResultSetMetaData.class}, (pm, mm, aa) ->
                    mm.getName().equals("getColumnName") && (Integer) aa[0] == 1
                        ? null : invoke(meta, mm, aa));
          });
      String result = Tabulon.doTransform(wrapped, null);
      assertTrue(result.contains("<td class='rowhdr'></td><td class='rowhdr'>Qty</td>"), result);
      assertTrue(result.contains("<tr><td>a</td><td>1</td></tr>"), result);
    }
  }

  private static Object invoke(Object target, java.lang.reflect.Method m, Object[] args)
      throws Throwable {
    try {
      return m.invoke(target, args);
    } catch (InvocationTargetException e) {
      throw e.getCause();
    }
  }

  // Sixteen threads, each running 200 transforms of different shapes over
  // both drivers, get exactly what each call gives alone.
  @Test
  void sixteenThreadsOfMixedShapes() throws Exception {
    String[][] shapes = {
        {TestDatabases.H2, TransformTest.SALES_QUERY, "Measures=Sales"},
        {TestDatabases.SQLITE, TransformTest.SALES_QUERY,
            "Measures=Sales&SumOption=SumIncRowCol&SumPos=SumLast&RowColSort=RowSort"},
        {TestDatabases.H2, TestDatabases.select("plain", "Name", "Qty"), null},
        {TestDatabases.SQLITE, TestDatabases.select("texts", "名称", "值"), "Measures=值"},
        {TestDatabases.H2, rangeQuery(TestDatabases.H2, 300), "Measures=V&SumOption=SumIncRow"},
        {TestDatabases.SQLITE, rangeQuery(TestDatabases.SQLITE, 300),
            "Measures=V&GridFrame=row:[N],col:[3[V],1[V]]"},
        {TestDatabases.H2, TransformTest.SALES_QUERY + " LIMIT 0", "Measures=Sales"},
    };
    List<String> expected = new ArrayList<>();
    for (String[] shape : shapes) {
      expected.add(TestDatabases.transform(shape[0], shape[1], shape[2]));
    }
    ExecutorService pool = Executors.newFixedThreadPool(16);
    try {
      List<Future<Integer>> results = new ArrayList<>();
      for (int t = 0; t < 16; t++) {
        final int thread = t;
        results.add(pool.submit(() -> {
          int mismatches = 0;
          for (int i = 0; i < 200; i++) {
            int k = (thread + i) % shapes.length;
            String text = TestDatabases.transform(shapes[k][0], shapes[k][1], shapes[k][2]);
            if (!text.equals(expected.get(k))) mismatches++;
          }
          return mismatches;
        }));
      }
      for (Future<Integer> f : results) assertEquals(0, f.get());
    } finally {
      pool.shutdown();
    }
  }
}
