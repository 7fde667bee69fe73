package tabulon;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.List;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import tabulon.TransformOptions.Totals;
import tabulon.TransformOptions.TotalsPosition;

/** The options builder: the exact option texts it writes and what it refuses. */
class TransformOptionsTest {
  static TransformOptions.Builder b() {
    return TransformOptions.builder();
  }

  static Arguments valid(String text, Supplier<TransformOptions> options) {
    return Arguments.of(text, options);
  }

  static Stream<Arguments> validOptions() {
    String layout = "row:[Region,City],col:[2019[Sales],2020[Sales]]";
    return Stream.of(
        valid("", () -> b().build()),
        valid("Measures=Sales", () -> b().measures("Sales").build()),
        valid("Measures=a,,b", () -> b().measures("a", "", "b").build()),
        valid("Measures=销售额,成本", () -> b().measures(List.of("销售额", "成本")).build()),
        valid("SumOption=SumNone", () -> b().totals(Totals.NONE).build()),
        valid("Measures=m&SumOption=SumIncRow", () -> b().measures("m").totals(Totals.ROWS).build()),
        valid("Measures=m&SumOption=SumIncCol&SumPos=SumFirst", () -> b().measures("m")
            .totals(Totals.COLUMNS).totalsPosition(TotalsPosition.FIRST).build()),
        valid("Measures=Sales&SumOption=SumIncRowCol&SumPos=SumLast&RowColSort=RowSort",
            () -> b().sortRows(true).totalsPosition(TotalsPosition.LAST).totals(Totals.BOTH)
                .measures("Sales").build()),
        valid("", () -> b().sortRows(false).build()),
        valid("Separate=$", () -> b().separator("$").build()),
        valid("Separate=||&MemoryLimit=1073741824",
            () -> b().memoryLimit(1L << 30).separator("||").build()),
        valid("Measures=Sales&Escape=Html", () -> b().escapeHtml(true).measures("Sales").build()),
        valid("", () -> b().escapeHtml(true).escapeHtml(false).build()),
        valid("Measures=Sales&GridFrame=" + layout,
            () -> b().gridFrame(layout).measures("Sales").build()),
        valid("Measures=x", () -> b().measures("a").measures("x").build()),
        valid("Measures=Sales&Aggregate=Avg&GridFrame=" + layout,
            () -> b().gridFrame(layout).aggregate(TransformOptions.Aggregate.AVG).measures("Sales")
                .build()));
  }

  @ParameterizedTest
  @MethodSource("validOptions")
  void writesTheOptionText(String expected, Supplier<TransformOptions> options) {
    assertEquals(expected, options.get().toOptionText());
    assertEquals(expected, options.get().toString());
  }

  static Stream<Arguments> refused() {
    return Stream.<Runnable>of(
        () -> b().measures("a,b"),
        () -> b().measures("ok", "a&b"),
        () -> b().measures("a=b"),
        () -> b().measures("a\r\n"),
        () -> b().measures(""),
        () -> b().separator(""),
        () -> b().separator("a&b"),
        () -> b().separator("Measures=x"),
        () -> b().gridFrame("row:[a=b],col:[x[m]]"),
        () -> b().gridFrame("row:[a&b],col:[x[m]]"),
        () -> b().gridFrame("[]"),
        () -> b().gridFrame("0123456789"),
        () -> b().memoryLimit(0),
        () -> b().memoryLimit(-1),
        () -> b().totals(Totals.ROWS).build(),
        () -> b().totals(Totals.BOTH).measures(List.of()).build())
        .map(Arguments::of);
  }

  @ParameterizedTest
  @MethodSource("refused")
  void refusesWhatTheTextCannotCarry(Runnable call) {
    assertThrows(IllegalArgumentException.class, call::run);
  }
}
