// CellTable: the cell values of a cross-tab, held as references into its
// rows instead of texts.
//
// A cell of data row r and measure m has a key text: for each key position
// of m in ascending order (the plain positions, and m's own columns) the
// row's text there cut to 49 bytes, or m's name, each followed by ".". The
// value is the row's text in m's first own column ("" without one); a later
// row with an equal key text replaces the value. The table keeps, per
// distinct key text, the first row that had it and the last row's value,
// so a cell costs twelve bytes plus its slot and never a copy of a text.
//
// Key texts are hashed with a polynomial hash that composes over the key's
// parts, so the hash of a row's key comes from per-text hashes without
// writing the key, and find(text) hashes the text itself. Two keys are
// equal when their texts are: rows of one measure with the same cut text
// numbers are equal at once; any other candidate with an equal hash is
// compared as text, so different parts that join to the same text ("a.b"
// and "c" against "a" and "b.c") are still one key. When the caller can
// number every row's paths so that the numbers tell keys apart as their
// texts do (useDenseKeys), keys are found by position in a grid instead.
//
// When the request aggregates, a cell holds instead the aggregate of every
// row that falls on it: of its data rows, or, once a total row falls on it,
// of its total rows only (a total that came with the input gives way to the
// computed one, as it does when the last row wins). finishAggregates()
// writes the aggregates as texts once every row is assigned.
//
// The cells of earlier builds stay: when the table is reset, or its rows
// are replaced, the cells are written out as texts into a CellMap, which
// answers for the keys that the current rows do not hold.
#ifndef TABULON_PIVOT_CELL_TABLE_H_
#define TABULON_PIVOT_CELL_TABLE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pivot/aggregation.h"
#include "pivot/cell_map.h"
#include "pivot/cut_ids.h"
#include "pivot/dim_node.h"
#include "pivot/open_table.h"
#include "pivot/pod_buffer.h"
#include "pivot/row_table.h"

namespace tabulon {

struct CellLayout {
  struct Measure {
    std::string name;                // cut to 49 bytes
    std::vector<std::size_t> own;    // its columns, ascending
  };
  std::vector<std::size_t> plain;  // key columns that are no measure, ascending
  std::vector<Measure> measures;
};

class CellTable : private RowTableObserver {
 public:
  CellTable() = default;
  CellTable(const CellTable&) = delete;
  CellTable& operator=(const CellTable&) = delete;
  ~CellTable() { detach(); }

  // Empties the table and sets the rows and key layout of what follows.
  // `rows` and `cuts` must outlive the table's use and stay unchanged.
  // `aggregation`, when not null, must be active and outlive the table's use.
  void reset(const RowTable& rows, const CutIds& cuts, CellLayout layout,
             Aggregation* aggregation = nullptr);
  // Forgets every cell, earlier builds' included.
  void clear();
  // Makes room for `n` keys.
  void reserve(std::size_t n) {
    table_.reserve(n);
    cells_.reserve(n);
  }
  // Stores the cell of data row `row` and measure `measure`; without
  // aggregating, a row before the one that gave the cell its value leaves
  // the value.
  void assign(std::size_t row, std::size_t measure);
  // Writes the aggregates of the cells as their texts (aggregating only).
  void finishAggregates();

  // Dense keys: the caller numbers the rows' paths on two axes so that a
  // row's row path (below `rowPaths`) tells its cut texts at the first
  // `rowParts` plain positions and its column path (below `columnPaths`)
  // those at the rest. Keys are then found by position in a grid of slots
  // instead of by hash. Taken only when those numbers tell keys apart
  // exactly as their texts do (no earlier cells, no "." in a part text,
  // equal name places for measures of equal part counts, and no name among
  // the row parts) and the grid stays within twice `expectedKeys` slots;
  // false leaves hashing.
  bool useDenseKeys(std::size_t rowPaths, std::size_t columnPaths, std::size_t rowParts,
                    std::size_t expectedKeys);
  bool dense() const { return !denseSlots_.empty(); }
  // assign() for a dense table: the row's path numbers are given.
  void assignDense(std::size_t row, std::size_t measure, uint32_t rowPath, uint32_t columnPath);
  // The leading key parts that a row path tells (dense tables).
  std::size_t denseRowParts() const { return denseRowParts_; }
  std::size_t denseRowPaths() const { return denseRowPaths_; }
  // A column key stands for a column path and a measure.
  std::size_t denseColumnKeys() const { return std::size_t{denseColumnPaths_} * layout_.measures.size(); }
  // Calls fn(rowPath, columnKey, cell, value) for every current cell of a
  // dense table, in the order the keys first came (the order of their rows,
  // which keeps the rows' reads near each other); keys of one row path
  // have parts alike up to the row parts, and of one column key after them.
  template <typename Fn>
  void forEachDense(Fn&& fn) const {
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      uint32_t rowPath, columnKey;
      denseKeyOf(c, rowPath, columnKey);
      fn(rowPath, columnKey, c, valueOf(cells_[c]));
    }
  }
  // The row path and column key of current cell `cell` of a dense table.
  void denseKeyOf(std::size_t cell, uint32_t& rowPath, uint32_t& columnKey) const {
    denseSplit_(cellSlots_[cell], rowPath, columnKey);
  }
  // Brings the slots of a row path and column path into the cache (a hint).
  void prefetchDense(uint32_t rowPath, uint32_t columnPath) const {
    __builtin_prefetch(denseSlots_.data() + (static_cast<std::size_t>(rowPath) * denseColumnPaths_ +
                                             columnPath) * layout_.measures.size());
  }

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  // The value stored under the key text `key`, if any. The first lookup in
  // a dense table enters its keys into the hash table: even const use of a
  // table stays with one thread at a time.
  std::optional<std::string_view> find(std::string_view key) const;
  bool contains(std::string_view key) const { return find(key).has_value(); }
  // The value stored under `key`; throws std::out_of_range when absent.
  std::string_view at(std::string_view key) const;

  // One part of a current key: the cut text number id() of column
  // column(), or, with column kNamePart, the name of measure id(). One
  // 64-bit word, written and read whole.
  static constexpr uint32_t kNamePart = UINT32_MAX;
  struct KeyPart {
    uint64_t bits;
    static KeyPart of(uint32_t column, uint32_t id) {
      return KeyPart{static_cast<uint64_t>(column) << 32 | id};
    }
    uint32_t column() const { return static_cast<uint32_t>(bits >> 32); }
    uint32_t id() const { return static_cast<uint32_t>(bits); }
  };
  // The text of `part`: its column's text cut to 49 bytes, or the name.
  std::string_view partText(KeyPart part) const {
    if (part.column() == kNamePart) return layout_.measures[part.id()].name;
    return DimNode::cutName(rows_->text(part.column(), part.id()));
  }

  // Writes the parts of current cell `cell` at `out`, which has room for
  // maxKeyParts(); returns their count.
  std::size_t keyParts(std::size_t cell, KeyPart* out) const;
  std::size_t maxKeyParts() const;
  std::size_t keyPartCount(std::size_t cell) const { return parts_[cells_[cell].measure].size(); }

  // The keys of forEach, without writing the current ones: calls
  // earlier(key, value) for each key of earlier builds that the current
  // rows do not hold, then current(parts, count, value) for each current
  // key, whose text is the parts' texts each followed by "."; `parts` is
  // valid during the call only. Equal part lists give equal texts.
  template <typename Earlier, typename Current>
  void forEachByParts(Earlier&& earlier, Current&& current) const {
    earlier_.forEach([&](std::string_view key, std::string_view value) {
      if (!findCurrent(key)) earlier(key, value);
    });
    std::vector<KeyPart> parts(maxKeyParts());
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      const std::size_t count = keyParts(c, parts.data());
      current(static_cast<const KeyPart*>(parts.data()), count, valueOf(cells_[c]));
    }
  }

  // Calls fn(key, value) for every key, in the order the keys first came;
  // `key` is valid during the call only.
  template <typename Fn>
  void forEach(Fn&& fn) const {
    earlier_.forEach([&](std::string_view key, std::string_view value) {
      if (!findCurrent(key)) fn(key, value);
    });
    std::string key;
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      writeKey(cells_[c].keyRow, cells_[c].measure, key);
      fn(std::string_view(key), valueOf(cells_[c]));
    }
  }

 private:
  struct Cell {
    uint32_t keyRow;
    uint32_t measure;
    uint32_t valueRow;
  };
  // A part of a key: a column of the row (>= 0) or the measure's name.
  static constexpr std::ptrdiff_t kName = -1;
  static constexpr uint32_t kNoCell = UINT32_MAX;
  // Splits a slot into its row path and column key. Slots are below 2^32,
  // so the row path is the slot's product with the rounded-up
  // 2^64 / columnKeys, shifted down by 64: exact for more than one column
  // key, and far cheaper than a division per cell.
  struct DenseSplit {
    DenseSplit() = default;
    explicit DenseSplit(uint32_t keys) : columnKeys(keys), inverse(keys > 1 ? UINT64_MAX / keys + 1 : 0) {}
    void operator()(uint32_t slot, uint32_t& rowPath, uint32_t& columnKey) const {
      rowPath = columnKeys > 1
                    ? static_cast<uint32_t>((static_cast<unsigned __int128>(inverse) * slot) >> 64)
                    : slot;
      columnKey = slot - rowPath * columnKeys;
    }
    uint32_t columnKeys = 1;
    uint64_t inverse = 0;
  };

  void rowsReplaced() override;
  // Writes the current cells into earlier_ and lets go of the rows.
  void keepAsText();
  void detach();
  void dropCurrent();
  std::optional<std::string_view> findCurrent(std::string_view key) const;
  bool denseKeysHold(std::size_t rowParts) const;
  // Enters the cells of a dense table into table_, for texts to be found.
  void hashDenseCells() const;
  void enterCell(uint32_t c, std::size_t row, std::size_t measure);
  // The text of one key part of the row whose text numbers are `ids`.
  std::string_view partText(const uint32_t* ids, std::size_t measure, std::ptrdiff_t part) const;
  uint64_t keyHash(std::size_t row, std::size_t measure) const;
  void writeKey(std::size_t row, std::size_t measure, std::string& out) const;
  bool keyEquals(const Cell& cell, std::string_view key) const;
  bool sameKey(const Cell& cell, std::size_t row, std::size_t measure);
  void aggregate(uint32_t cell, std::size_t row, std::size_t measure, bool fresh);
  std::string_view valueOf(const Cell& cell) const;

  const RowTable* rows_ = nullptr;
  const CutIds* cuts_ = nullptr;
  CellLayout layout_;
  std::vector<std::vector<std::ptrdiff_t>> parts_;  // per measure, in key order
  std::size_t keyWidth_ = 0;  // the texts a row needs for its key parts
  // Per plain column and cut number: the hash of its text + "." and the
  // power of the base that the text spans (computed when first needed).
  struct PartHash {
    uint64_t hash = 0;
    uint64_t power = 0;
  };
  mutable std::vector<std::vector<PartHash>> columnHashes_;
  std::vector<PartHash> nameHashes_;
  // The hashes of the keys fetched ahead by assign(), until their turn.
  struct AheadHash {
    std::size_t row = SIZE_MAX;
    std::size_t measure = 0;
    uint64_t hash = 0;
  };
  static constexpr std::size_t kRing = 64;
  // Rows eight apart share slots: a slot is read before it is written again.
  static std::size_t ringSlot(std::size_t row, std::size_t measure) {
    return (row * 8 + measure) % kRing;
  }
  AheadHash aheadHashes_[kRing];
  // Filled when first needed by a dense table.
  mutable OpenTable table_;
  mutable bool hashed_ = true;
  PodBuffer<Cell> cells_;
  // Dense tables: per (row path, column path, measure) its cell or kNoCell;
  // measures without a column of their own share the first one's slot.
  PodBuffer<uint32_t> denseSlots_;
  PodBuffer<uint32_t> cellSlots_;  // per cell, its slot
  std::vector<uint32_t> slotMeasure_;
  uint32_t denseRowPaths_ = 0;
  uint32_t denseColumnPaths_ = 0;
  std::size_t denseRowParts_ = 0;
  DenseSplit denseSplit_;  // by denseColumnKeys(), made once per table
  std::string scratch_;
  CellMap earlier_;  // the cells of earlier builds, as texts
  // Aggregating: per cell its state, and whether total rows made it; then
  // the texts of all cells in one block (a cell's valueRow is its number).
  struct CellAggregate {
    AggregateState state;
    bool fromTotals;
  };
  Aggregation* aggregation_ = nullptr;
  PodBuffer<CellAggregate> aggregates_;
  std::string aggregateTexts_;
  PodBuffer<uint64_t> aggregateEnds_;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CELL_TABLE_H_
