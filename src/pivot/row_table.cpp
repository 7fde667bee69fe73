#include "pivot/row_table.h"

#include <stdexcept>

#include "pivot/dim_node.h"

namespace tabulon {

RowRef::operator Row() const {
  Row row;
  const std::size_t n = size();
  row.reserve(n);
  for (std::size_t j = 0; j < n; ++j) row.emplace_back((*this)[j]);
  return row;
}

bool sameTexts(const RowRef& a, const RowRef& b) {
  const std::size_t n = a.size();
  for (std::size_t j = 0; j < n; ++j) {
    if (a[j] != b[j]) return false;
  }
  return true;
}

bool operator==(const RowRef& a, const Row& b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  for (std::size_t j = 0; j < n; ++j) {
    if (a[j] != b[j]) return false;
  }
  return true;
}

bool operator==(const RowTable& a, const RowTable& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t r = 0; r < a.size(); ++r) {
    if (a[r] != b[r]) return false;
  }
  return true;
}

RowTable::RowTable(std::initializer_list<Row> rows) {
  for (const Row& row : rows) push_back(row);
}

void RowTable::clear() {
  notify();
  std::vector<ColumnTexts>().swap(columns_);
  ids_.release();
  ends_.release();
  uniformRows_ = 0;
  width_ = 0;
}

void RowTable::reserve(std::size_t rows, std::size_t cells) {
  if (!ends_.empty()) ends_.reserve(rows);
  if (cells != 0) ids_.reserve(cells);
}

void RowTable::endRow(std::size_t length, std::size_t end) {
  if (ends_.empty()) {
    if (uniformRows_ == 0) width_ = length;
    if (length == width_) {
      ++uniformRows_;
      return;
    }
    ends_.reserve(uniformRows_ + 1);
    for (std::size_t r = 1; r <= uniformRows_; ++r) ends_.push_back(r * width_);
  }
  ends_.push_back(end);
}

ColumnTexts& RowTable::columnAt(std::size_t j) {
  if (j >= columns_.size()) columns_.resize(j + 1);
  return columns_[j];
}

uint32_t RowTable::intern(std::size_t j, std::string_view text) {
  if (text.size() > UINT32_MAX) tooLong();
  return columnAt(j).intern(text);
}

void RowTable::tooLong() { throw std::length_error("a text of 4 GiB or more"); }

void RowTable::markValueColumns(const std::string_view* cells, std::size_t count) {
  if (count > columns_.size()) columns_.resize(count);
  for (std::size_t j = 0; j < count; ++j) {
    const std::string_view name = DimNode::cutName(cells[j]);
    for (const std::string& value : valueNames_) {
      if (DimNode::cutName(value) == name) columns_[j].storeEveryText();
    }
  }
}

void RowTable::appendRow(const std::string_view* cells, std::size_t count) {
  if (empty() && !valueNames_.empty()) markValueColumns(cells, count);
  if (count > columns_.size()) columns_.resize(count);
  ids_.reserve(ids_.size() + count);
  for (std::size_t j = 0; j < count; ++j) ids_.push_back(intern(j, cells[j]));
  endRow(count, ids_.size());
}

void RowTable::appendRows(const std::string_view* cells, const std::size_t* lengths,
                          std::size_t rowCount) {
  if (empty() && !valueNames_.empty() && rowCount > 0) markValueColumns(cells, lengths[0]);
  std::size_t total = 0;
  std::size_t widest = 0;
  for (std::size_t r = 0; r < rowCount; ++r) {
    total += lengths[r];
    if (lengths[r] > widest) widest = lengths[r];
  }
  if (widest > columns_.size()) columns_.resize(widest);
  const std::size_t base = ids_.size();
  ids_.resize(base + total);
  try {
    for (std::size_t j = 0; j < widest; ++j) {
      internColumn(j, cells, lengths, rowCount, ids_.data() + base);
    }
  } catch (...) {
    ids_.resize(base);  // no half-entered rows
    throw;
  }
  endRows(lengths, rowCount, base);
}

void RowTable::endRows(const std::size_t* lengths, std::size_t rowCount, std::size_t start) {
  bool uniform = ends_.empty() && uniformRows_ > 0;
  for (std::size_t r = 0; uniform && r < rowCount; ++r) uniform = lengths[r] == width_;
  if (uniform) {
    uniformRows_ += rowCount;
    return;
  }
  for (std::size_t r = 0, end = start; r < rowCount; ++r) {
    end += lengths[r];
    endRow(lengths[r], end);
  }
}

void RowTable::internColumn(std::size_t j, const std::string_view* cells,
                            const std::size_t* lengths, std::size_t rowCount, uint32_t* ids) {
  // A ring of the next cells of the column, each keyed (and its slot
  // fetched) kAhead cells before it is entered.
  constexpr std::size_t kAhead = 16;
  std::size_t waiting[kAhead];
  TextKey keys[kAhead];
  std::size_t first = 0;
  std::size_t count = 0;
  ColumnTexts& column = columns_[j];
  if (column.storesEveryText()) {
    // Values: nothing to look up; numbered in row order and stored in one
    // sweep.
    std::vector<std::string_view> texts;
    texts.reserve(rowCount);
    uint32_t id = column.size();
    for (std::size_t r = 0, start = 0; r < rowCount; start += lengths[r], ++r) {
      if (lengths[r] <= j) continue;
      const std::size_t cell = start + j;
      if (cells[cell].size() > UINT32_MAX) tooLong();
      ids[cell] = id++;
      texts.push_back(cells[cell]);
    }
    column.appendTexts(texts.data(), texts.size());
    return;
  }
  const auto enterFirst = [&] {
    const std::size_t cell = waiting[first];
    ids[cell] = column.intern(cells[cell], keys[first]);
    first = (first + 1) % kAhead;
    --count;
  };
  for (std::size_t r = 0, start = 0; r < rowCount; start += lengths[r], ++r) {
    if (lengths[r] <= j) continue;
    const std::size_t cell = start + j;
    if (cells[cell].size() > UINT32_MAX) tooLong();
    if (count == kAhead) enterFirst();
    const std::size_t slot = (first + count) % kAhead;
    waiting[slot] = cell;
    keys[slot] = TextKey::of(cells[cell]);
    column.prefetch(keys[slot]);
    ++count;
  }
  while (count > 0) enterFirst();
}

void RowTable::push_back(const Row& row) {
  std::vector<std::string_view> cells(row.begin(), row.end());
  appendRow(cells.data(), cells.size());
}

void RowTable::push_back(const RowRef& row) {
  const std::size_t n = row.size();
  if (&row.table() == this) {
    // The numbers are this table's own; copy them out first, since the
    // array they lie in may move while it grows.
    std::vector<uint32_t> ids(rowIds(row.index()), rowIds(row.index()) + n);
    appendIds(ids.data(), n);
    return;
  }
  std::vector<std::string_view> cells(n);
  for (std::size_t j = 0; j < n; ++j) cells[j] = row[j];
  appendRow(cells.data(), n);
}

void RowTable::appendIds(const uint32_t* ids, std::size_t count) {
  ids_.append(ids, count);
  endRow(count, ids_.size());
}

uint32_t* RowTable::idRowSpace(std::size_t cells) {
  ids_.reserve(ids_.size() + cells);
  return ids_.data() + ids_.size();
}

void RowTable::addIdRows(const std::size_t* lengths, std::size_t rowCount) {
  const std::size_t start = ids_.size();
  std::size_t total = 0;
  for (std::size_t r = 0; r < rowCount; ++r) total += lengths[r];
  ids_.resize(start + total);
  endRows(lengths, rowCount, start);
}

void RowTable::insert(const const_iterator&, const_iterator first, const_iterator last) {
  for (; first != last; ++first) push_back(*first);
}

}  // namespace tabulon
