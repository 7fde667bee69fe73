// PivotOptions: what one transform is asked to make, as values. The option
// words of a request become enums here; a word that names nothing leaves
// the default, so that no option text is ever an error.
//
//   sumOption  which totals are appended: none, the rows', the columns', both
//   sumPos     where a total member goes among its siblings: first or last
//   rowSort    row members in byte order of their names (else as read)
//   separate   the text of the separator column's header
//   gridFrame  a layout text to apply instead of the automatic layout
//   aggregate  what a cell shows of its rows (none: its last row)
//   measures   the measure column names
#ifndef TABULON_PIVOT_PIVOT_OPTIONS_H_
#define TABULON_PIVOT_PIVOT_OPTIONS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pivot/aggregate.h"

namespace tabulon {

enum class SumOption : uint8_t { kNone, kRows, kColumns, kBoth };
enum class SumPos : uint8_t { kFirst, kLast };

// A GridFrame value is applied only when it is longer than this many bytes,
// so that a placeholder such as "[]" leaves the automatic layout.
inline constexpr std::size_t kMinGridFrameBytes = 10;

struct PivotOptions {
  SumOption sumOption = SumOption::kNone;
  SumPos sumPos = SumPos::kFirst;
  bool rowSort = false;
  std::string separate = "|";
  std::string gridFrame;  // empty: the automatic layout
  Aggregate aggregate = Aggregate::kNone;
  std::vector<std::string> measures;

  // The word setters: each takes the option's text as a request gives it
  // and changes the field only when the text means something.
  //   SumNone / SumIncRow / SumIncCol / SumIncRowCol
  void setSumOption(std::string_view word);
  //   SumFirst / SumLast
  void setSumPos(std::string_view word);
  //   rows sorted when the text contains "Row" (any text is read)
  void setRowColSort(std::string_view text) { rowSort = text.find("Row") != std::string_view::npos; }
  //   Sum / Count / Min / Max / Avg
  void setAggregate(std::string_view word);
  //   a comma list; an empty text gives no measures
  void setMeasures(std::string_view commaList);
  //   kept only when not empty
  void setSeparate(std::string_view text);
  //   kept only when longer than kMinGridFrameBytes
  void setGridFrame(std::string_view text);
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_PIVOT_OPTIONS_H_
