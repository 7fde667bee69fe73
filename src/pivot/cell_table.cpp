#include "pivot/cell_table.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "pivot/dim_node.h"
#include "pivot/memory_budget.h"

namespace tabulon {

namespace {

constexpr uint64_t kBase = 0x9e3779b97f4a7c15ULL;

// The polynomial hash of `text` + "." and the power of the base it spans.
void hashPart(std::string_view text, uint64_t& hash, uint64_t& power) {
  uint64_t h = 0;
  uint64_t p = 1;
  for (char ch : text) {
    h = h * kBase + static_cast<unsigned char>(ch) + 1;
    p *= kBase;
  }
  hash = h * kBase + static_cast<unsigned char>('.') + 1;
  power = p * kBase;
}

}  // namespace

void CellTable::detach() {
  if (rows_ != nullptr) rows_->setObserver(nullptr);
  rows_ = nullptr;
}

void CellTable::rowsReplaced() {
  keepAsText();
}

void CellTable::keepAsText() {
  if (rows_ == nullptr) return;
  std::string key;
  for (std::size_t c = 0; c < cells_.size(); ++c) {
    writeKey(cells_[c].keyRow, cells_[c].measure, key);
    earlier_.insert_or_assign(key, valueOf(cells_[c]));
  }
  rows_ = nullptr;  // the table already let go of this observer
  cells_.release();
  table_.clear();
  denseSlots_.release();
  cellSlots_.release();
  hashed_ = true;
}

std::size_t CellTable::size() const {
  std::size_t count = cells_.size();
  if (!earlier_.empty()) {
    earlier_.forEach([&](std::string_view key, std::string_view) { count += !findCurrent(key); });
  }
  return count;
}

void CellTable::clear() {
  detach();
  earlier_.clear();
  dropCurrent();
}

void CellTable::dropCurrent() {
  rows_ = nullptr;
  cuts_ = nullptr;
  layout_ = CellLayout();
  parts_.clear();
  keyWidth_ = 0;
  for (AheadHash& waiting : aheadHashes_) waiting = AheadHash{};
  columnHashes_.clear();
  nameHashes_.clear();
  table_.clear();
  hashed_ = true;
  cells_.release();
  denseSlots_.release();
  cellSlots_.release();
  slotMeasure_.clear();
  denseRowPaths_ = denseColumnPaths_ = 0;
  denseRowParts_ = 0;
  denseSplit_ = DenseSplit();
  aggregation_ = nullptr;
  aggregates_.release();
  std::string().swap(aggregateTexts_);
  aggregateEnds_.release();
}

void CellTable::reset(const RowTable& rows, const CutIds& cuts, CellLayout layout,
                      Aggregation* aggregation) {
  if (rows_ != nullptr) {
    rows_->setObserver(nullptr);
    keepAsText();
  }
  dropCurrent();
  rows_ = &rows;
  rows.setObserver(this);
  cuts_ = &cuts;
  aggregation_ = aggregation;
  layout_ = std::move(layout);
  columnHashes_.resize(rows.columnCount());
  for (std::size_t j : layout_.plain) {
    const ColumnTexts& column = rows.column(j);
    std::vector<PartHash>& hashes = columnHashes_[j];
    hashes.resize(column.size());
    for (uint32_t id = 0; id < column.size(); ++id) {
      hashPart(DimNode::cutName(column.text(id)), hashes[id].hash, hashes[id].power);
    }
  }
  for (const CellLayout::Measure& measure : layout_.measures) {
    PartHash name;
    hashPart(measure.name, name.hash, name.power);
    nameHashes_.push_back(name);
    // The key parts in column order: plain columns and the measure's own.
    std::vector<std::ptrdiff_t> parts;
    std::size_t i = 0, k = 0;
    while (i < layout_.plain.size() || k < measure.own.size()) {
      if (k == measure.own.size() || (i < layout_.plain.size() && layout_.plain[i] < measure.own[k])) {
        parts.push_back(static_cast<std::ptrdiff_t>(layout_.plain[i++]));
      } else {
        parts.push_back(kName);
        ++k;
      }
    }
    for (std::ptrdiff_t part : parts) {
      if (part != kName && static_cast<std::size_t>(part) >= keyWidth_) {
        keyWidth_ = static_cast<std::size_t>(part) + 1;
      }
    }
    parts_.push_back(std::move(parts));
  }
}

std::string_view CellTable::partText(const uint32_t* ids, std::size_t measure, std::ptrdiff_t part) const {
  if (part == kName) return layout_.measures[measure].name;
  const std::size_t j = static_cast<std::size_t>(part);
  return DimNode::cutName(rows_->text(j, ids[j]));
}

uint64_t CellTable::keyHash(std::size_t row, std::size_t measure) const {
  const uint32_t* ids = rows_->rowIds(row);
  uint64_t h = 0;
  for (std::ptrdiff_t part : parts_[measure]) {
    const PartHash& p = part == kName ? nameHashes_[measure]
                                      : columnHashes_[static_cast<std::size_t>(part)][ids[part]];
    h = h * p.power + p.hash;
  }
  return mixBits(h);
}

void CellTable::writeKey(std::size_t row, std::size_t measure, std::string& out) const {
  out.clear();
  const uint32_t* ids = rows_->rowIds(row);
  for (std::ptrdiff_t part : parts_[measure]) {
    out.append(partText(ids, measure, part));
    out.push_back('.');
  }
}

bool CellTable::keyEquals(const Cell& cell, std::string_view key) const {
  std::size_t at = 0;
  const uint32_t* ids = rows_->rowIds(cell.keyRow);
  for (std::ptrdiff_t part : parts_[cell.measure]) {
    const std::string_view text = partText(ids, cell.measure, part);
    if (key.size() - at < text.size() + 1 || key.compare(at, text.size(), text) != 0 ||
        key[at + text.size()] != '.') {
      return false;
    }
    at += text.size() + 1;
  }
  return at == key.size();
}

bool CellTable::sameKey(const Cell& cell, std::size_t row, std::size_t measure) {
  if (cell.measure == measure) {
    const uint32_t* a = rows_->rowIds(cell.keyRow);
    const uint32_t* b = rows_->rowIds(row);
    bool same = true;
    for (std::size_t j : layout_.plain) {
      if (a[j] != b[j] && cuts_->of(j, a[j]) != cuts_->of(j, b[j])) {
        same = false;
        break;
      }
    }
    if (same) return true;
  }
  writeKey(row, measure, scratch_);
  return keyEquals(cell, scratch_);
}

void CellTable::assign(std::size_t row, std::size_t measure) {
  if (row >= OpenTable::kEmpty) throw std::length_error("too many rows for the cells");
  // Rows come in ascending order: the slot of the same measure's key a few
  // rows ahead is fetched while this one is entered.
  // Its hash, made then, waits in a small ring for the key's own turn.
  constexpr std::size_t kAhead = 8;
  static_assert(kRing >= 8 * kAhead, "a slot per row ahead and measure");
  const AheadHash& waiting = aheadHashes_[ringSlot(row, measure)];
  const uint64_t hash =
      waiting.row == row && waiting.measure == measure ? waiting.hash : keyHash(row, measure);
  const std::size_t ahead = row + kAhead;
  if (ahead < rows_->size() && rows_->rowLength(ahead) >= keyWidth_) {
    const uint64_t h = keyHash(ahead, measure);
    table_.prefetch(h);
    aheadHashes_[ringSlot(ahead, measure)] = AheadHash{ahead, measure, h};
  }
  const std::size_t fresh = cells_.size();
  const uint32_t c = table_.findOrAdd(hash, fresh,
                                      [&](uint32_t found) { return sameKey(cells_[found], row, measure); });
  enterCell(c, row, measure);
}

bool CellTable::denseKeysHold(std::size_t rowParts) const {
  if (!earlier_.empty()) return false;
  // Without a "." inside any part, a key text splits back into its parts:
  // equal texts then mean equal part counts and equal parts.
  auto dotted = [](std::string_view text) { return text.find('.') != std::string_view::npos; };
  for (std::size_t j : layout_.plain) {
    const ColumnTexts& column = rows_->column(j);
    for (uint32_t id = 0; id < column.size(); ++id) {
      if (dotted(DimNode::cutName(column.text(id)))) return false;
    }
  }
  for (std::size_t m = 0; m < layout_.measures.size(); ++m) {
    const std::vector<std::ptrdiff_t>& parts = parts_[m];
    if (dotted(layout_.measures[m].name)) return false;
    for (std::size_t i = 0; i < rowParts && i < parts.size(); ++i) {
      if (parts[i] == kName) return false;
    }
    for (std::size_t k = 0; k < m; ++k) {
      if (parts_[k].size() != parts.size()) continue;
      // Equal counts: the names must sit alike and differ, or both be absent.
      if (parts_[k] != parts) return false;
      const bool named = !layout_.measures[m].own.empty();
      if (named && layout_.measures[k].name == layout_.measures[m].name) return false;
    }
  }
  return true;
}

bool CellTable::useDenseKeys(std::size_t rowPaths, std::size_t columnPaths, std::size_t rowParts,
                             std::size_t expectedKeys) {
  const std::size_t measures = layout_.measures.size();
  if (rows_ == nullptr || dense() || !cells_.empty() || rowPaths == 0 || columnPaths == 0 ||
      measures == 0) {
    return false;
  }
  const std::size_t limit = 2 * expectedKeys + 4096;
  if (rowPaths > limit / columnPaths || rowPaths * columnPaths > limit / measures ||
      rowPaths * columnPaths * measures >= kNoCell) {
    return false;  // a slot's number must fit a cell number
  }
  if (!denseKeysHold(rowParts)) return false;
  slotMeasure_.resize(measures);
  std::size_t unplaced = measures;
  for (std::size_t m = 0; m < measures; ++m) {
    if (!layout_.measures[m].own.empty()) {
      slotMeasure_[m] = static_cast<uint32_t>(m);
      continue;
    }
    if (unplaced == measures) unplaced = m;
    slotMeasure_[m] = static_cast<uint32_t>(unplaced);  // their keys are one text
  }
  const std::size_t slots = rowPaths * columnPaths * measures;
  denseSlots_.resize(slots);
  std::memset(denseSlots_.data(), 0xff, slots * sizeof(uint32_t));
  denseRowPaths_ = static_cast<uint32_t>(rowPaths);
  denseColumnPaths_ = static_cast<uint32_t>(columnPaths);
  denseRowParts_ = rowParts;
  denseSplit_ = DenseSplit(static_cast<uint32_t>(denseColumnKeys()));
  hashed_ = false;
  return true;
}

void CellTable::assignDense(std::size_t row, std::size_t measure, uint32_t rowPath, uint32_t columnPath) {
  if (row >= OpenTable::kEmpty) throw std::length_error("too many rows for the cells");
  const std::size_t at = (static_cast<std::size_t>(rowPath) * denseColumnPaths_ + columnPath) *
                             layout_.measures.size() + slotMeasure_[measure];
  uint32_t& slot = denseSlots_[at];
  if (slot == kNoCell) {
    slot = static_cast<uint32_t>(cells_.size());
    cellSlots_.push_back(static_cast<uint32_t>(at));
  }
  enterCell(slot, row, measure);
}

void CellTable::hashDenseCells() const {
  if (hashed_) return;
  table_.reserve(cells_.size());
  for (uint32_t c = 0; c < cells_.size(); ++c) {
    // Dense keys are distinct: no candidate is ever the same key.
    table_.findOrAdd(keyHash(cells_[c].keyRow, cells_[c].measure), c, [](uint32_t) { return false; });
  }
  hashed_ = true;
}

std::size_t CellTable::maxKeyParts() const {
  std::size_t most = 0;
  for (const std::vector<std::ptrdiff_t>& measureParts : parts_) {
    if (measureParts.size() > most) most = measureParts.size();
  }
  return most;
}

std::size_t CellTable::keyParts(std::size_t c, KeyPart* out) const {
  const Cell& cell = cells_[c];
  const uint32_t* ids = rows_->rowIds(cell.keyRow);
  const std::vector<std::ptrdiff_t>& measureParts = parts_[cell.measure];
  for (std::size_t i = 0; i < measureParts.size(); ++i) {
    const std::ptrdiff_t part = measureParts[i];
    if (part == kName) {
      out[i] = KeyPart::of(kNamePart, cell.measure);
    } else {
      const std::size_t j = static_cast<std::size_t>(part);
      out[i] = KeyPart::of(static_cast<uint32_t>(j), cuts_->of(j, ids[j]));
    }
  }
  return measureParts.size();
}

// Cell `c` (cells_.size() for a new one) takes row `row` of `measure`.
void CellTable::enterCell(uint32_t c, std::size_t row, std::size_t measure) {
  const bool fresh = c == cells_.size();
  if (aggregation_ != nullptr) {
    if (fresh) cells_.push_back(Cell{static_cast<uint32_t>(row), static_cast<uint32_t>(measure), c});
    aggregate(c, row, measure, fresh);
  } else if (fresh) {
    cells_.push_back(Cell{static_cast<uint32_t>(row), static_cast<uint32_t>(measure),
                          static_cast<uint32_t>(row)});
  } else if (row > cells_[c].valueRow) {
    cells_[c].valueRow = static_cast<uint32_t>(row);  // the latest row's value wins
  }
}

void CellTable::aggregate(uint32_t cell, std::size_t row, std::size_t measure, bool fresh) {
  const std::vector<std::size_t>& own = layout_.measures[measure].own;
  const bool total = aggregation_->isTotalRow(row);
  if (fresh) aggregates_.push_back(CellAggregate{AggregateState(), total});
  CellAggregate& held = aggregates_[cell];
  if (total && !held.fromTotals) held = CellAggregate{AggregateState(), true};
  if (total != held.fromTotals || own.empty()) return;
  aggregation_->addTo(held.state, row, own[0]);
}

void CellTable::finishAggregates() {
  if (aggregation_ == nullptr) return;
  aggregateEnds_.reserve(aggregates_.size());
  std::string text;
  for (std::size_t c = 0; c < aggregates_.size(); ++c) {
    const std::vector<std::size_t>& own = layout_.measures[cells_[c].measure].own;
    text.clear();
    if (!own.empty()) aggregation_->write(aggregates_[c].state, own[0], text);
    chargeMemory(text.size());
    aggregateTexts_.append(text);
    aggregateEnds_.push_back(aggregateTexts_.size());
  }
  aggregates_.release();
}

std::string_view CellTable::valueOf(const Cell& cell) const {
  const std::vector<std::size_t>& own = layout_.measures[cell.measure].own;
  if (own.empty()) return std::string_view();
  if (aggregation_ != nullptr) {
    const std::size_t c = cell.valueRow;
    if (c >= aggregateEnds_.size()) return std::string_view();  // not finished yet
    const std::size_t begin = c == 0 ? 0 : aggregateEnds_[c - 1];
    return std::string_view(aggregateTexts_).substr(begin, aggregateEnds_[c] - begin);
  }
  return (*rows_)[cell.valueRow][own[0]];
}

std::optional<std::string_view> CellTable::find(std::string_view key) const {
  const std::optional<std::string_view> value = findCurrent(key);
  if (value || earlier_.empty()) return value;
  return earlier_.find(key);
}

std::optional<std::string_view> CellTable::findCurrent(std::string_view key) const {
  if (cells_.empty()) return std::nullopt;
  hashDenseCells();
  uint64_t h = 0;
  for (char ch : key) h = h * kBase + static_cast<unsigned char>(ch) + 1;
  const uint32_t c = table_.find(mixBits(h), [&](uint32_t found) { return keyEquals(cells_[found], key); });
  if (c == OpenTable::kEmpty) return std::nullopt;
  return valueOf(cells_[c]);
}

std::string_view CellTable::at(std::string_view key) const {
  const std::optional<std::string_view> value = find(key);
  if (!value) throw std::out_of_range("no cell " + std::string(key));
  return *value;
}

}  // namespace tabulon
