// RowTable: the rows of one request. Row 0 holds the column names, then the
// data rows in order; total rows are appended at the end. Each row has as
// many texts as it was given (rows may be shorter or longer than row 0).
//
// The texts are held per column position: each column's distinct texts are
// stored once (ColumnTexts) and a row is a run of their numbers in one flat
// array, so a cell costs four bytes and appending a row allocates nothing
// per cell. Within one table, two cells of the same column hold the same
// text exactly when they hold the same number.
//
// Row is a plain list of texts for building tables by hand and for reading
// a row out; RowRef is a light view of one stored row.
#ifndef TABULON_PIVOT_ROW_TABLE_H_
#define TABULON_PIVOT_ROW_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pivot/column_texts.h"
#include "pivot/pod_buffer.h"

namespace tabulon {

using Row = std::vector<std::string>;

class RowTable;

// Told when the rows of a table that it reads from are about to be replaced
// or released (assigned over, cleared, moved from or destroyed), while they
// can still be read. Appending rows tells nothing: stored rows stay.
class RowTableObserver {
 public:
  virtual void rowsReplaced() = 0;

 protected:
  ~RowTableObserver() = default;
};

// One stored row: valid while its table lives; appending rows keeps it valid.
class RowRef {
 public:
  RowRef(const RowTable* table, std::size_t row) : table_(table), row_(row) {}

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  // Const, so that assigning to a cell through a view does not compile.
  const std::string_view operator[](std::size_t j) const;
  // The number of the text at `j` in its column.
  uint32_t id(std::size_t j) const;
  std::size_t index() const { return row_; }
  const RowTable& table() const { return *table_; }
  operator Row() const;

  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;
    const_iterator(const RowRef* row, std::size_t j) : row_(row), j_(j) {}
    std::string_view operator*() const { return (*row_)[j_]; }
    const_iterator& operator++() { return ++j_, *this; }
    bool operator==(const const_iterator& o) const { return j_ == o.j_; }
    bool operator!=(const const_iterator& o) const { return j_ != o.j_; }

   private:
    const RowRef* row_;
    std::size_t j_;
  };
  using iterator = const_iterator;
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, size()); }

 private:
  const RowTable* table_;
  std::size_t row_;
};

// Equal lengths and equal texts (inline below: every stage asks it of
// each row against the header).
bool operator==(const RowRef& a, const RowRef& b);
// The same for rows of two different tables, text by text.
bool sameTexts(const RowRef& a, const RowRef& b);
bool operator==(const RowRef& a, const Row& b);
inline bool operator==(const Row& a, const RowRef& b) { return b == a; }
inline bool operator!=(const RowRef& a, const RowRef& b) { return !(a == b); }
inline bool operator!=(const RowRef& a, const Row& b) { return !(a == b); }
inline bool operator!=(const Row& a, const RowRef& b) { return !(b == a); }

class RowTable {
 public:
  RowTable() = default;
  RowTable(std::initializer_list<Row> rows);
  RowTable(const RowTable& other)
      : columns_(other.columns_),
        ids_(other.ids_),
        ends_(other.ends_),
        uniformRows_(other.uniformRows_),
        width_(other.width_) {}
  RowTable(RowTable&& other) noexcept {
    other.notify();
    swapData(other);
  }
  RowTable& operator=(const RowTable& other) {
    if (this != &other) {
      RowTable copy(other);
      notify();
      swapData(copy);
    }
    return *this;
  }
  RowTable& operator=(RowTable&& other) noexcept {
    if (this != &other) {
      notify();
      other.notify();
      RowTable().swapData(*this);
      swapData(other);
    }
    return *this;
  }
  ~RowTable() { notify(); }
  // The one observer of this table (null: none); not copied with the rows.
  void setObserver(RowTableObserver* observer) const { observer_ = observer; }
  template <typename It>
  RowTable(It first, It last) {
    for (; first != last; ++first) push_back(*first);
  }

  std::size_t size() const { return ends_.empty() ? uniformRows_ : ends_.size(); }
  bool empty() const { return size() == 0; }
  void clear();
  // Room for `rows` rows of `cells` cells in all (a hint).
  void reserve(std::size_t rows, std::size_t cells = 0);

  RowRef operator[](std::size_t r) const { return RowRef(this, r); }
  RowRef back() const { return RowRef(this, size() - 1); }

  // The columns whose first text, the header, cut to 49 bytes as member
  // names are, equals one of `names` (cut likewise) store every text of
  // theirs as a new one (ColumnTexts::storeEveryText): the measure columns,
  // whose values are read, never grouped. Rows compare the same either way.
  // Takes effect only when set before the first row.
  void setValueColumns(std::vector<std::string> names) { valueNames_ = std::move(names); }
  // True when texts `a` and `b` of column `j` are equal.
  bool sameText(std::size_t j, uint32_t a, uint32_t b) const {
    return a == b || (columns_[j].storesEveryText() && text(j, a) == text(j, b));
  }

  // Appends one row of `count` texts.
  void appendRow(const std::string_view* cells, std::size_t count);
  // Appends `rowCount` rows, row r of `lengths[r]` texts, their texts end to
  // end in `cells`. The same as appending them one by one, but each column
  // is entered in one sweep that fetches its hash slots ahead; nothing is
  // allocated per cell.
  void appendRows(const std::string_view* cells, const std::size_t* lengths, std::size_t rowCount);
  void push_back(const Row& row);
  void push_back(const RowRef& row);
  // Appends a row of text numbers, `ids[j]` a number of column j.
  void appendIds(const uint32_t* ids, std::size_t count);
  // Room for `cells` numbers past the stored rows, for a caller to write
  // rows of numbers in place: returns where they go, valid until a row is
  // appended. addIdRows makes them rows: the first `rowCount` rows of
  // `lengths[r]` numbers there, end to end (the same as appendIds row by
  // row).
  uint32_t* idRowSpace(std::size_t cells);
  void addIdRows(const std::size_t* lengths, std::size_t rowCount);

  // The stored form.
  std::size_t rowLength(std::size_t r) const {
    return ends_.empty() ? width_ : ends_[r] - rowStart(r);
  }
  const uint32_t* rowIds(std::size_t r) const { return ids_.data() + rowStart(r); }
  // The one length of every row, while all rows have the same; 0 once a
  // row of another length came.
  std::size_t uniformWidth() const { return ends_.empty() ? width_ : 0; }
  std::size_t columnCount() const { return columns_.size(); }
  const ColumnTexts& column(std::size_t j) const { return columns_[j]; }
  // The number of `text` in column `j`, added when new.
  uint32_t intern(std::size_t j, std::string_view text);
  // Stores the texts textOf(0) ... textOf(count - 1) in column `j`, one
  // that stores every text, as new ones (ColumnTexts::appendEach); returns
  // the first one's number.
  template <typename TextOf>
  uint32_t appendEach(std::size_t j, std::size_t count, TextOf textOf) {
    return columnAt(j).appendEach(count, [&textOf](std::size_t i) {
      const std::string_view text = textOf(i);
      if (text.size() > UINT32_MAX) tooLong();
      return text;
    });
  }
  // The number of `text` in column `j`, or ColumnTexts::kNoText.
  uint32_t find(std::size_t j, std::string_view text) const {
    return j < columns_.size() ? columns_[j].find(text) : ColumnTexts::kNoText;
  }
  std::string_view text(std::size_t j, uint32_t id) const { return columns_[j].text(id); }

  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = RowRef;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = RowRef;
    const_iterator(const RowTable* table, std::size_t r) : table_(table), r_(r) {}
    RowRef operator*() const { return RowRef(table_, r_); }
    const_iterator& operator++() { return ++r_, *this; }
    const_iterator operator+(std::ptrdiff_t n) const {
      return const_iterator(table_, r_ + static_cast<std::size_t>(n));
    }
    std::ptrdiff_t operator-(const const_iterator& o) const {
      return static_cast<std::ptrdiff_t>(r_) - static_cast<std::ptrdiff_t>(o.r_);
    }
    bool operator==(const const_iterator& o) const { return r_ == o.r_; }
    bool operator!=(const const_iterator& o) const { return r_ != o.r_; }

   private:
    const RowTable* table_;
    std::size_t r_;
  };
  using iterator = const_iterator;
  using value_type = RowRef;
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, size()); }
  // Appends the rows [first, last) of any table (this one included).
  void insert(const const_iterator&, const_iterator first, const_iterator last);
  template <typename It>
  void insert(const const_iterator&, It first, It last) {
    for (; first != last; ++first) push_back(*first);
  }

 private:
  std::size_t rowStart(std::size_t r) const {
    if (ends_.empty()) return r * width_;
    return r == 0 ? 0 : ends_[r - 1];
  }
  // Records the end of a row of `length` numbers that end at `end` in ids_.
  void endRow(std::size_t length, std::size_t end);
  // The same for `rowCount` rows of `lengths` whose numbers start at
  // `start`; rows of the table's one length only count.
  void endRows(const std::size_t* lengths, std::size_t rowCount, std::size_t start);
  void notify() noexcept {
    if (observer_ == nullptr) return;
    RowTableObserver* observer = observer_;
    observer_ = nullptr;
    observer->rowsReplaced();
  }
  void swapData(RowTable& other) noexcept {
    columns_.swap(other.columns_);
    ids_.swap(other.ids_);
    ends_.swap(other.ends_);
    std::swap(uniformRows_, other.uniformRows_);
    std::swap(width_, other.width_);
    valueNames_.swap(other.valueNames_);
  }
  ColumnTexts& columnAt(std::size_t j);
  [[noreturn]] static void tooLong();
  // Marks the value columns of the header `cells` (see setValueColumns).
  void markValueColumns(const std::string_view* cells, std::size_t count);
  // Enters the texts of column `j` of appendRows' rows, in row order, into
  // `ids` (the batch's numbers, row after row).
  void internColumn(std::size_t j, const std::string_view* cells, const std::size_t* lengths,
                    std::size_t rowCount, uint32_t* ids);

  std::vector<ColumnTexts> columns_;
  PodBuffer<uint32_t> ids_;     // every row's text numbers, end to end
  // While every row has the same length, width_, a row's numbers start at
  // its index times width_ and ends_ stays empty (uniformRows_ counts the
  // rows); the first row of another length gives every row its end in ends_.
  PodBuffer<uint64_t> ends_;    // per row: the end of its numbers in ids_
  std::size_t uniformRows_ = 0;
  std::size_t width_ = 0;
  std::vector<std::string> valueNames_;
  mutable RowTableObserver* observer_ = nullptr;
};

bool operator==(const RowTable& a, const RowTable& b);
inline bool operator!=(const RowTable& a, const RowTable& b) { return !(a == b); }

// Appends one row of `count` texts to `rows`: the one way readers add rows.
inline void appendRow(RowTable& rows, const std::string_view* cells, std::size_t count) {
  rows.appendRow(cells, count);
}

inline std::size_t RowRef::size() const { return table_->rowLength(row_); }
inline uint32_t RowRef::id(std::size_t j) const { return table_->rowIds(row_)[j]; }
inline const std::string_view RowRef::operator[](std::size_t j) const { return table_->text(j, id(j)); }

inline bool operator==(const RowRef& a, const RowRef& b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  const RowTable& table = a.table();
  if (&table != &b.table()) return sameTexts(a, b);
  // One table: equal texts of a column have equal numbers.
  const uint32_t* x = table.rowIds(a.index());
  const uint32_t* y = table.rowIds(b.index());
  for (std::size_t j = 0; j < n; ++j) {
    if (x[j] != y[j] && !table.sameText(j, x[j], y[j])) return false;
  }
  return true;
}

}  // namespace tabulon

#endif  // TABULON_PIVOT_ROW_TABLE_H_
