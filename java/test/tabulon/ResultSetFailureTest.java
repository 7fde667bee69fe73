package tabulon;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.InvocationHandler;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Proxy;
import java.sql.Connection;
import java.sql.ResultSet;
import java.sql.ResultSetMetaData;
import java.sql.SQLException;
import java.sql.Statement;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * Result sets that fail while doTransform reads them: the Java exception reaches the caller as
 * it was thrown, and the library stops reading at once.
 */
class ResultSetFailureTest {
  /** Wraps a real result set; the given method throws on its `failAt`-th call. */
  static final class Failing implements InvocationHandler {
    final Object target;
    final String method;
    final int failAt;
    final SQLException error = new SQLException("injected failure");
    final List<String> callsAfterFailure = new ArrayList<>();
    int calls;
    boolean failed;
    boolean nullMetaData;

    Failing(Object target, String method, int failAt) {
      this.target = target;
      this.method = method;
      this.failAt = failAt;
    }

    @Override
    public Object invoke(Object proxy, Method m, Object[] args) throws Throwable {
      if (failed) callsAfterFailure.add(m.getName());
      if (m.getName().equals(method) && ++calls == failAt) {
        failed = true;
        throw error;
      }
      if (m.getName().equals("getMetaData")) {
        if (nullMetaData) return null;
        Object meta = m.invoke(target, args);
        return Proxy.newProxyInstance(getClass().getClassLoader(),
            new Class<?>[] {ResultSetMetaData.class}, (p, mm, a) -> invokeMeta(meta, mm, a));
      }
      return invokeOn(target, m, args);
    }

    private Object invokeMeta(Object meta, Method m, Object[] args) throws Throwable {
      if (failed) callsAfterFailure.add(m.getName());
      if (m.getName().equals(method) && ++calls == failAt) {
        failed = true;
        throw error;
      }
      return invokeOn(meta, m, args);
    }

    private static Object invokeOn(Object o, Method m, Object[] args) throws Throwable {
      try {
        return m.invoke(o, args);
      } catch (InvocationTargetException e) {
        throw e.getCause();
      }
    }
  }

  static ResultSet wrap(ResultSet rs, Failing handler) {
    return (ResultSet) Proxy.newProxyInstance(ResultSetFailureTest.class.getClassLoader(),
        new Class<?>[] {ResultSet.class}, handler);
  }

  @ParameterizedTest(name = "{0} fails on call {1}")
  @CsvSource({"getMetaData, 1", "next, 1", "next, 3", "getColumnCount, 1", "getColumnCount, 2",
      "getColumnName, 2", "getString, 1", "getString, 7"})
  void aFailingResultSetStopsTheReadingAndItsExceptionReachesTheCaller(String method, int failAt)
      throws SQLException {
    for (String url : TestDatabases.URLS) {
      try (Connection c = TestDatabases.open(url);
          Statement s = c.createStatement();
          ResultSet rs = s.executeQuery(TransformTest.SALES_QUERY)) {
        Failing handler = new Failing(rs, method, failAt);
        SQLException thrown =
            assertThrows(SQLException.class, () -> Tabulon.doTransform(wrap(rs, handler), null));
        assertSame(handler.error, thrown);
        assertEquals(List.of(), handler.callsAfterFailure, url);
      }
    }
  }

  @Test
  void nullMetaDataGivesNullPointerExceptionOnceARowIsRead() throws SQLException {
    try (Connection c = TestDatabases.open(TestDatabases.H2);
        Statement s = c.createStatement();
        ResultSet rs = s.executeQuery(TransformTest.SALES_QUERY)) {
      Failing handler = new Failing(rs, "none", 0);
      handler.nullMetaData = true;
      NullPointerException e = assertThrows(
          NullPointerException.class, () -> Tabulon.doTransform(wrap(rs, handler), null));
      assertTrue(e.getMessage().contains("getMetaData"), e.getMessage());
    }
  }

  @Test
  void nullResultSetGivesNullPointerException() {
    assertThrows(NullPointerException.class, () -> Tabulon.doTransform(null, "Measures=a"));
  }
}
