#include "pivot/aggregation.h"

#include <stdexcept>

#include "pivot/memory_budget.h"

namespace tabulon {

void Aggregation::reset(Aggregate kind, const RowTable& rows, std::size_t firstTotalRow,
                        const std::vector<bool>& isMeasure) {
  clear();
  kind_ = kind;
  if (!active()) return;
  rows_ = &rows;
  firstTotalRow_ = firstTotalRow;
  slotOf_.assign(rows.columnCount(), -1);
  for (std::size_t column = 0; column < isMeasure.size() && column < slotOf_.size(); ++column) {
    if (isMeasure[column]) slotOf_[column] = static_cast<int>(slots_++);
  }
  numbers_.resize(slots_);
}

void Aggregation::clear() {
  kind_ = Aggregate::kNone;
  rows_ = nullptr;
  firstTotalRow_ = 0;
  slotOf_.clear();
  slots_ = 0;
  numbers_.clear();
  recorded_.clear();
}

const MeasureNumber& Aggregation::numberOf(std::size_t column, uint32_t id) {
  const std::size_t slot = static_cast<std::size_t>(slotOf_[column]);
  std::vector<MeasureNumber>& numbers = numbers_[slot];
  if (id >= numbers.size()) {
    const std::size_t count = rows_->column(column).size();
    chargeMemory((count - numbers.size()) * sizeof(MeasureNumber));
    numbers.resize(count);
  }
  MeasureNumber& number = numbers[id];
  if (!number.read()) {
    scratch_.assign(rows_->text(column, id));  // NUL-terminated for the readers
    number = readMeasureNumber(scratch_);
  }
  return number;
}

void Aggregation::addTo(AggregateState& state, std::size_t row, std::size_t column) {
  if (column >= slotOf_.size() || slotOf_[column] < 0) return;
  if (row >= firstTotalRow_) {
    const std::size_t at = (row - firstTotalRow_) * slots_ + static_cast<std::size_t>(slotOf_[column]);
    if (at < recorded_.size()) state.merge(recorded_[at]);
    return;
  }
  if (column >= rows_->rowLength(row)) return;  // a full row always reaches it
  const uint32_t id = rows_->rowIds(row)[column];
  state.add(id, numberOf(column, id));
}

void Aggregation::record(std::size_t row, std::size_t column, const AggregateState& state) {
  if (column >= slotOf_.size() || slotOf_[column] < 0 || row < firstTotalRow_) return;
  const std::size_t at = (row - firstTotalRow_) * slots_ + static_cast<std::size_t>(slotOf_[column]);
  if (at >= recorded_.size()) {
    const std::size_t size = (row - firstTotalRow_ + 1) * slots_;
    if (size > recorded_.capacity()) {
      const std::size_t capacity = std::max(size, recorded_.capacity() * 2);
      chargeMemory((capacity - recorded_.capacity()) * sizeof(AggregateState));
      recorded_.reserve(capacity);
    }
    recorded_.resize(size);
  }
  recorded_[at] = state;
}

void Aggregation::write(const AggregateState& state, std::size_t column, std::string& out) const {
  std::string_view only;
  if (state.values == 1) only = rows_->text(column, state.textId);
  writeAggregate(kind_, state, only, out);
}

}  // namespace tabulon
