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

bool operator==(const RowRef& a, const RowRef& b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (&a.table() == &b.table()) {
    // One table: equal texts of a column have equal numbers.
    const uint32_t* x = a.table().rowIds(a.index());
    const uint32_t* y = b.table().rowIds(b.index());
    for (std::size_t j = 0; j < n; ++j) {
      if (x[j] != y[j] && !a.table().sameText(j, x[j], y[j])) return false;
    }
    return true;
  }
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
}

void RowTable::reserve(std::size_t rows, std::size_t cells) {
  ends_.reserve(rows);
  if (cells != 0) ids_.reserve(cells);
}

ColumnTexts& RowTable::columnAt(std::size_t j) {
  if (j >= columns_.size()) columns_.resize(j + 1);
  return columns_[j];
}

uint32_t RowTable::intern(std::size_t j, std::string_view text) {
  if (text.size() > UINT32_MAX) throw std::length_error("a text of 4 GiB or more");
  return columnAt(j).intern(text);
}

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
  if (ends_.empty() && !valueNames_.empty()) markValueColumns(cells, count);
  if (count > columns_.size()) columns_.resize(count);
  ids_.reserve(ids_.size() + count);
  for (std::size_t j = 0; j < count; ++j) ids_.push_back(intern(j, cells[j]));
  ends_.push_back(ids_.size());
}

void RowTable::appendRows(const std::string_view* cells, const std::size_t* lengths,
                          std::size_t rowCount) {
  if (ends_.empty() && !valueNames_.empty() && rowCount > 0) markValueColumns(cells, lengths[0]);
  std::size_t total = 0;
  std::size_t widest = 0;
  for (std::size_t r = 0; r < rowCount; ++r) {
    total += lengths[r];
    if (lengths[r] > widest) widest = lengths[r];
  }
  if (widest > columns_.size()) columns_.resize(widest);
  const std::size_t base = ids_.size();
  ids_.resize(base + total);
  std::vector<std::size_t> starts(rowCount);
  for (std::size_t r = 0, at = 0; r < rowCount; at += lengths[r], ++r) starts[r] = at;
  // Column by column: hash the column's texts, then enter them in row
  // order while the slots of texts a few rows ahead are being fetched.
  constexpr std::size_t kAhead = 8;
  std::vector<std::size_t> at;
  std::vector<uint64_t> hashes;
  for (std::size_t j = 0; j < widest; ++j) {
    ColumnTexts& column = columns_[j];
    uint32_t* ids = ids_.data() + base;
    if (column.storesEveryText()) {
      for (std::size_t r = 0; r < rowCount; ++r) {
        if (lengths[r] <= j) continue;
        const std::string_view text = cells[starts[r] + j];
        if (text.size() > UINT32_MAX) throw std::length_error("a text of 4 GiB or more");
        ids[starts[r] + j] = column.intern(text, 0);
      }
      continue;
    }
    at.clear();
    hashes.clear();
    for (std::size_t r = 0; r < rowCount; ++r) {
      if (lengths[r] <= j) continue;
      const std::string_view text = cells[starts[r] + j];
      if (text.size() > UINT32_MAX) throw std::length_error("a text of 4 GiB or more");
      at.push_back(starts[r] + j);
      hashes.push_back(hashBytes(text));
    }
    for (std::size_t k = 0; k < at.size(); ++k) {
      if (k + kAhead < at.size()) column.prefetch(hashes[k + kAhead]);
      ids[at[k]] = column.intern(cells[at[k]], hashes[k]);
    }
  }
  for (std::size_t r = 0; r < rowCount; ++r) ends_.push_back(base + starts[r] + lengths[r]);
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
  ends_.push_back(ids_.size());
}

void RowTable::insert(const const_iterator&, const_iterator first, const_iterator last) {
  for (; first != last; ++first) push_back(*first);
}

}  // namespace tabulon
