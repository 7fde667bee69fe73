#include "pivot/pivot_options.h"

#include "pivot/cross_tab.h"

namespace tabulon {

void PivotOptions::setSumOption(std::string_view word) {
  if (word == "SumNone") sumOption = SumOption::kNone;
  else if (word == "SumIncRow") sumOption = SumOption::kRows;
  else if (word == "SumIncCol") sumOption = SumOption::kColumns;
  else if (word == "SumIncRowCol") sumOption = SumOption::kBoth;
}

void PivotOptions::setSumPos(std::string_view word) {
  if (word == "SumFirst") sumPos = SumPos::kFirst;
  else if (word == "SumLast") sumPos = SumPos::kLast;
}

void PivotOptions::setAggregate(std::string_view word) {
  const Aggregate kind = aggregateFromWord(word);
  if (kind != Aggregate::kNone) aggregate = kind;
}

void PivotOptions::setMeasures(std::string_view commaList) { split(commaList, ",", measures); }

void PivotOptions::setSeparate(std::string_view text) {
  if (!text.empty()) separate.assign(text);
}

void PivotOptions::setGridFrame(std::string_view text) {
  if (text.size() > kMinGridFrameBytes) gridFrame.assign(text);
}

}  // namespace tabulon
