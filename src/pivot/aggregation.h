// Aggregation: what one request keeps to aggregate its cells and totals.
//
// It reads each distinct text of a measure column as a number once, and
// holds the aggregate states of the total rows that the totals append, so
// that a total built from other totals (the corner cells) and a cell that
// several total rows fall on combine the rows they stand for, not their
// texts. Total rows are the rows from `firstTotalRow` on, appended in order,
// each recording a state for every measure column. Owned by the CrossTab of
// the request; inactive (kNone) unless the request asks for an aggregate.
#ifndef TABULON_PIVOT_AGGREGATION_H_
#define TABULON_PIVOT_AGGREGATION_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pivot/aggregate.h"
#include "pivot/row_table.h"

namespace tabulon {

class Aggregation {
 public:
  // Starts a request over `rows` (not owned; must outlive the use) whose
  // rows before `firstTotalRow` are the input and whose measure columns are
  // flagged in `isMeasure` (per header position).
  void reset(Aggregate kind, const RowTable& rows, std::size_t firstTotalRow,
             const std::vector<bool>& isMeasure);
  // Lets go of the rows and every state.
  void clear();

  Aggregate kind() const { return kind_; }
  bool active() const { return kind_ != Aggregate::kNone; }
  bool isTotalRow(std::size_t row) const { return row >= firstTotalRow_; }

  // The state of row `row` in measure column `column`: recorded for a total
  // row, else the row's own text as one row.
  AggregateState stateOf(std::size_t row, std::size_t column) {
    AggregateState state;
    addTo(state, row, column);
    return state;
  }
  // Adds to `state` the rows that stateOf(row, column) stands for.
  void addTo(AggregateState& state, std::size_t row, std::size_t column);
  // Records the state of total row `row`, the next one to be appended, in
  // measure column `column`.
  void record(std::size_t row, std::size_t column, const AggregateState& state);
  // The text of `state` in measure column `column`.
  void write(const AggregateState& state, std::size_t column, std::string& out) const;

 private:
  const MeasureNumber& numberOf(std::size_t column, uint32_t id);

  Aggregate kind_ = Aggregate::kNone;
  const RowTable* rows_ = nullptr;
  std::size_t firstTotalRow_ = 0;
  std::vector<int> slotOf_;  // per column: its place among the measure columns, or -1
  std::size_t slots_ = 0;
  // Per measure column and text number: the text read as a number.
  std::vector<std::vector<MeasureNumber>> numbers_;
  std::vector<AggregateState> recorded_;  // per total row and measure column
  std::string scratch_;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_AGGREGATION_H_
