#include "render/html_table.h"

#include <cassert>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "pivot/byte_copy.h"
#include "pivot/labels.h"
#include "pivot/memory_budget.h"
#include "pivot/prefault_allocator.h"
#include "render/html_text.h"
#include "render/part_tuple_index.h"
#include "render/plain_table.h"

namespace tabulon {

namespace {

constexpr std::string_view kTooFewRows = "提交的数据不正常，请提交正常的csv数据";
constexpr std::string_view kTableOpen =
    "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n";
constexpr std::string_view kColumnAxis = "Col";
constexpr std::string_view kRowAxis = "Row";
// The markup of the body rows.
constexpr std::string_view kMissingCell = "<td>  </td>";
constexpr std::string_view kValueOpen = "<td> ";
constexpr std::string_view kCellClose = "</td>";
constexpr std::string_view kSpanningRowHeaderOpen = "<td rowspan=";
constexpr std::string_view kSpanningRowHeaderRest = " class=\"rowhdr\">";
constexpr std::string_view kRowHeaderOpen = "<td class=\"rowhdr\">";
constexpr std::string_view kFirstRowOpen = "<tr>";
constexpr std::string_view kRowClose = "</tr>\n";
constexpr std::string_view kNextRowOpen = "<tr>\n";

void appendNumber(std::string& out, long long value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  out.append(buffer, result.ptr);
}

// Charges the growth of the text `out` to the request's memory budget: the
// capacity it has, or is about to reserve when `wanted` is larger.
void chargeText(ChargedBytes& charge, const std::string& out, std::size_t wanted = 0) {
  const std::size_t bytes = wanted > out.capacity() ? wanted : out.capacity();
  if (bytes > charge.bytes()) charge.hold(bytes);
}

// "<td class=\"colhdr\">name</td>"
template <HtmlText Mode>
void appendColumnHeaderCell(std::string& out, std::string_view name) {
  out += "<td class=\"colhdr\">";
  appendHtmlText<Mode>(out, name);
  out += "</td>";
}

template <HtmlText Mode>
void appendValueCell(std::string& out, const std::optional<std::string_view>& value) {
  if (!value) {
    out += kMissingCell;
  } else {
    out += kValueOpen;
    appendHtmlText<Mode>(out, *value);
    out += kCellClose;
  }
}

// Copies `text` to `at`; returns its end.
char* put(char* at, std::string_view text) { return copyBytes(at, text.data(), text.size()); }

// The decimal digits of `value` (not negative).
std::size_t digitCount(long long value) {
  std::size_t digits = 1;
  for (; value >= 10; value /= 10) ++digits;
  return digits;
}

char* putNumber(char* at, long long value) {
  return std::to_chars(at, at + 24, value).ptr;
}

// The names from just below the node where `stop` says so down to `leaf`,
// each followed by ".". `stop(node)` is true for the first node that is
// left out; a null node always stops.
template <typename Stop>
std::string pathOf(const DimNode* leaf, Stop stop) {
  std::vector<const DimNode*> chain;
  for (const DimNode* n = leaf; n != nullptr && !stop(n); n = n->parent()) chain.push_back(n);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += (*it)->name();
    path += '.';
  }
  return path;
}

// Column path: from just below "列头" down to the leaf.
std::string columnPath(const DimNode* leaf, const DimNode* columnHeader) {
  return pathOf(leaf, [columnHeader](const DimNode* n) { return n == columnHeader; });
}

// Row path: from the top row member (a child of the title node that holds
// the row tree) down to the leaf; the title node itself is left out.
std::string rowPath(const DimNode* leaf, const DimNode* rowDimension) {
  return pathOf(leaf, [rowDimension](const DimNode* n) { return n->parent() == rowDimension; });
}

// The value cells of one body row by direct lookups; `key` is scratch.
template <HtmlText Mode>
void appendLookedUpCells(std::string& out, const CrossTab& tab, std::string_view rowPathText,
                         const std::vector<std::string>& columnPaths, std::string& key) {
  key.assign(rowPathText);
  for (const std::string& columnPathText : columnPaths) {
    key.resize(rowPathText.size());
    key += columnPathText;
    appendValueCell<Mode>(out, tab.cells().find(key));
  }
}

// The body rows in display order: every row member in the order of the
// body's depth-first walk, and the row path of every row leaf.
struct BodyPlan {
  std::vector<const DimNode*> members;  // walk order; leaves have span 0
  std::string leafPaths;                // the leaves' row paths, concatenated
  std::vector<std::size_t> leafPathEnds;

  std::string_view leafPath(std::size_t leaf) const {
    const std::size_t begin = leaf == 0 ? 0 : leafPathEnds[leaf - 1];
    return std::string_view(leafPaths).substr(begin, leafPathEnds[leaf] - begin);
  }
};

// The depth-first walk with an explicit stack. Each frame holds one member
// list and the length of the row path of the members' parent; the row path
// grows and shrinks with the walk, so each name is appended once per visit.
BodyPlan planBody(const CrossTab& tab, std::vector<const DimNode*> top) {
  BodyPlan plan;
  struct Frame {
    std::vector<const DimNode*> members;
    std::size_t next = 0;
    std::size_t pathBase = 0;
  };
  std::vector<Frame> stack;
  stack.push_back({std::move(top), 0, 0});
  std::string path;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.members.size()) {
      stack.pop_back();
      continue;
    }
    const DimNode* member = frame.members[frame.next++];
    plan.members.push_back(member);
    path.resize(frame.pathBase);
    path += member->name();
    path += '.';
    if (member->span() != 0) {
      // Its ordered children come before the remaining members.
      std::vector<const DimNode*> children = tab.orderedMembers(member, 1, kRowAxis);
      if (frame.next == frame.members.size()) stack.pop_back();  // `frame` invalid
      stack.push_back({std::move(children), 0, path.size()});
      continue;
    }
    plan.leafPaths += path;
    plan.leafPathEnds.push_back(plan.leafPaths.size());
  }
  return plan;
}

// The values of all body cells, found by one pass over the cell map instead
// of one hash lookup per cell. A body cell's key is its row path followed
// by its column path; a stored key is split where its last k dots begin,
// for each dot count k that a column path has, and the two parts are looked
// up among the row and column paths (small indexes, unlike the cell map).
// Current keys come as lists of text numbers, so each distinct list of a
// side is looked up once and the key texts are not written.
// Every (row leaf, column leaf) pair whose paths concatenate to a stored
// key gets that key's value, which is exactly what a lookup would find.
// Empty when the pass would not pay: more stored keys than twice the body
// cells, too many dot counts, or a body too large to hold.
class BodyValues {
 public:
  static constexpr std::size_t kMaxDotCounts = 4;
  static constexpr std::size_t kMaxCells = std::size_t{1} << 24;

  bool build(const CrossTab& tab, const BodyPlan& plan,
             const std::vector<std::string>& columnPaths) {
    const std::size_t leaves = plan.leafPathEnds.size();
    columns_ = columnPaths.size();
    if (leaves == 0 || columns_ == 0 || leaves > kMaxCells / columns_) return false;
    const std::size_t cells = leaves * columns_;
    if (tab.cells().size() > 2 * cells) return false;

    for (const std::string& path : columnPaths) {
      const std::size_t dots = countDots(path);
      bool known = false;
      for (std::size_t d : dotCounts_) known = known || d == dots;
      if (known) continue;
      if (dotCounts_.size() == kMaxDotCounts) return false;
      dotCounts_.push_back(dots);
    }

    // Path → first index with that path; equal paths are chained.
    columnNext_.assign(columns_, kNone);
    columnIndex_.reserve(columns_);
    for (std::size_t c = 0; c < columns_; ++c) {
      auto [it, added] = columnIndex_.emplace(columnPaths[c], static_cast<uint32_t>(c));
      if (!added) {
        columnNext_[c] = it->second;
        it->second = static_cast<uint32_t>(c);
      }
    }
    rowNext_.assign(leaves, kNone);
    rowIndex_.reserve(leaves);
    for (std::size_t r = 0; r < leaves; ++r) {
      auto [it, added] = rowIndex_.emplace(plan.leafPath(r), static_cast<uint32_t>(r));
      if (!added) {
        rowNext_[r] = it->second;
        it->second = static_cast<uint32_t>(r);
      }
    }

    charge_.hold(cells * sizeof(Value));
    values_.assign(cells, Value{});
    if (tab.cells().dense()) {
      assignDense(tab.cells());
    } else {
      tab.cells().forEachByParts(
          [&](std::string_view key, std::string_view value) { assignByText(key, value); },
          [&](const KeyPart* parts, std::size_t count, std::string_view value) {
            for (std::size_t dots : dotCounts_) assignSplit(tab.cells(), parts, count, dots, value);
          });
    }
    return true;
  }

  // The bytes of the value cells of the body row of `leaf`.
  template <HtmlText Mode>
  std::size_t rowSize(std::size_t leaf) const {
    const Value* value = values_.data() + leaf * columns_;
    std::size_t size = 0;
    for (std::size_t c = 0; c < columns_; ++c, ++value) {
      size += value->data == nullptr
                  ? kMissingCell.size()
                  : kValueOpen.size() + kCellClose.size() +
                        htmlTextSize<Mode>(std::string_view(value->data, value->size));
    }
    return size;
  }

  // Writes those cells at `at`, which has room for rowSize(leaf) bytes.
  template <HtmlText Mode>
  char* writeRow(char* at, std::size_t leaf) const {
    const Value* value = values_.data() + leaf * columns_;
    for (std::size_t c = 0; c < columns_; ++c, ++value) {
      if (value->data == nullptr) {
        at = put(at, kMissingCell);
      } else {
        at = put(at, kValueOpen);
        at = writeHtmlText<Mode>(at, std::string_view(value->data, value->size));
        at = put(at, kCellClose);
      }
    }
    return at;
  }

 private:
  // A value; a null `data` marks an absent key.
  struct Value {
    const char* data = nullptr;
    std::size_t size = 0;
    static Value of(std::string_view text) {
      static const char kEmpty = 0;
      return Value{text.data() != nullptr ? text.data() : &kEmpty, text.size()};
    }
  };

  using KeyPart = CellTable::KeyPart;
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  // A column part list whose split is not at a part boundary.
  static constexpr uint32_t kDotted = kNone - 1;
  // A side not looked up yet.
  static constexpr uint32_t kUnknown = kNone - 2;

  // Gives `value` to every (row leaf, column leaf) pair of the chains that
  // start at `row` and `column`.
  void assignPairs(uint32_t row, uint32_t column, std::string_view value) {
    for (uint32_t r = row; r != kNone; r = rowNext_[r]) {
      for (uint32_t c = column; c != kNone; c = columnNext_[c]) {
        values_[static_cast<std::size_t>(r) * columns_ + c] = Value::of(value);
      }
    }
  }

  // The key text `key` split for one dot count: just after the (dots + 1)-th
  // dot from the end, as a row path is never empty and ends in a dot.
  void assignByText(std::string_view key, std::size_t dots, std::string_view value) {
    std::size_t at = key.size();
    for (std::size_t k = 0; k <= dots; ++k) {
      if (at == 0) return;
      at = key.rfind('.', at - 1);
      if (at == std::string_view::npos) return;
    }
    auto column = columnIndex_.find(key.substr(at + 1));
    if (column == columnIndex_.end()) return;
    auto row = rowIndex_.find(key.substr(0, at + 1));
    if (row == rowIndex_.end()) return;
    assignPairs(row->second, column->second, value);
  }

  void assignByText(std::string_view key, std::string_view value) {
    for (std::size_t dots : dotCounts_) assignByText(key, dots, value);
  }

  // The key of `count` parts split as its text would be for `dots`. When
  // the last `dots` parts hold no dot, the (dots + 1)-th dot from the end
  // ends the part before them, so the split lies between parts and each
  // side is looked up once per distinct part list; otherwise the text is
  // written and split.
  void assignSplit(const CellTable& cells, const KeyPart* parts, std::size_t count, std::size_t dots,
                   std::string_view value) {
    if (count < dots + 1) {
      // Only dots inside parts could give the text enough dots.
      assignByText(joinParts(cells, parts, count), dots, value);
      return;
    }
    const std::size_t split = count - dots;
    const uint32_t column = columnParts_.resultOf(
        parts + split, dots, [&](const KeyPart* side, std::size_t n) { return columnSide(cells, side, n); });
    if (column == kNone) return;
    if (column == kDotted) {
      assignByText(joinParts(cells, parts, count), dots, value);
      return;
    }
    const uint32_t row = rowParts_.resultOf(
        parts, split, [&](const KeyPart* side, std::size_t n) { return rowSide(cells, side, n); });
    if (row != kNone) assignPairs(row, column, value);
  }

  // The first column leaf of the parts' path, kNone, or kDotted when a part
  // holds a dot.
  uint32_t columnSide(const CellTable& cells, const KeyPart* side, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (cells.partText(side[i]).find('.') != std::string_view::npos) return kDotted;
    }
    auto it = columnIndex_.find(joinParts(cells, side, n));
    return it == columnIndex_.end() ? kNone : it->second;
  }

  // The first row leaf of the parts' path, or kNone.
  uint32_t rowSide(const CellTable& cells, const KeyPart* side, std::size_t n) {
    auto it = rowIndex_.find(joinParts(cells, side, n));
    return it == rowIndex_.end() ? kNone : it->second;
  }

  // The cells of a dense table. Where a key splits just after the parts
  // that its row path tells, the row side is looked up once per row path and
  // the column side once per column path and measure, with no part list
  // hashed; other splits go part list by part list.
  void assignDense(const CellTable& cells) {
    const std::size_t rowParts = cells.denseRowParts();
    std::vector<uint32_t> rowOf(cells.denseRowPaths(), kUnknown);
    std::vector<uint32_t> columnOf(cells.denseColumnKeys(), kUnknown);
    std::vector<KeyPart> parts(cells.maxKeyParts());
    constexpr std::size_t kAhead = 8;
    const std::size_t cellCount = cells.size();
    cells.forEachDense([&](uint32_t rowPath, uint32_t columnKey, std::size_t cell, std::string_view value) {
      if (cell + kAhead < cellCount) prefetchValue(cells, cell + kAhead, rowOf, columnOf);
      const std::size_t count = cells.keyPartCount(cell);
      bool read = false;
      auto readParts = [&] {
        if (!read) cells.keyParts(cell, parts.data());
        read = true;
        return parts.data();
      };
      for (std::size_t dots : dotCounts_) {
        if (rowParts == 0 || count != rowParts + dots) {
          assignSplit(cells, readParts(), count, dots, value);
          continue;
        }
        uint32_t& column = columnOf[columnKey];
        if (column == kUnknown) column = columnSide(cells, readParts() + rowParts, dots);
        if (column == kNone) continue;
        if (column == kDotted) {
          assignByText(joinParts(cells, readParts(), count), dots, value);
          continue;
        }
        uint32_t& row = rowOf[rowPath];
        if (row == kUnknown) row = rowSide(cells, readParts(), rowParts);
        if (row != kNone) assignPairs(row, column, value);
      }
    });
  }

  // Brings the value that dense cell `cell` will set into the cache, when
  // both its sides are known already (a hint).
  void prefetchValue(const CellTable& cells, std::size_t cell, const std::vector<uint32_t>& rowOf,
                     const std::vector<uint32_t>& columnOf) const {
    uint32_t rowPath, columnKey;
    cells.denseKeyOf(cell, rowPath, columnKey);
    const uint32_t row = rowOf[rowPath];
    const uint32_t column = columnOf[columnKey];
    if (row < kUnknown && column < kUnknown) {
      __builtin_prefetch(values_.data() + static_cast<std::size_t>(row) * columns_ + column, 1);
    }
  }

  // The text of `count` parts, each followed by "."; valid until the next call.
  const std::string& joinParts(const CellTable& cells, const KeyPart* parts, std::size_t count) {
    scratch_.clear();
    for (std::size_t i = 0; i < count; ++i) {
      scratch_ += cells.partText(parts[i]);
      scratch_ += '.';
    }
    return scratch_;
  }

  static std::size_t countDots(std::string_view text) {
    std::size_t dots = 0;
    for (char ch : text) dots += ch == '.';
    return dots;
  }

  std::size_t columns_ = 0;
  std::vector<std::size_t> dotCounts_;  // of the column paths, each once
  // Path → first index with that path; equal paths are chained.
  std::unordered_map<std::string_view, uint32_t> columnIndex_;
  std::vector<uint32_t> columnNext_;
  std::unordered_map<std::string_view, uint32_t> rowIndex_;
  std::vector<uint32_t> rowNext_;
  // The result of each part list met: a column index, kNone or kDotted for
  // column sides; a row leaf or kNone for row sides.
  PartTupleIndex columnParts_;
  PartTupleIndex rowParts_;
  std::string scratch_;
  // Written whole before it is read: large grids are mapped prefaulted.
  std::vector<Value, PrefaultAllocator<Value>> values_;
  ChargedBytes charge_;  // the memory budget's share of values_
};

// The bytes of the row header cell of `member`.
template <HtmlText Mode>
std::size_t rowHeaderCellSize(const DimNode* member) {
  const std::size_t name = htmlTextSize<Mode>(member->name()) + kCellClose.size();
  if (member->span() < 2) return kRowHeaderOpen.size() + name;
  return kSpanningRowHeaderOpen.size() + digitCount(member->span()) +
         kSpanningRowHeaderRest.size() + name;
}

template <HtmlText Mode>
char* writeRowHeaderCell(char* at, const DimNode* member) {
  if (member->span() >= 2) {
    at = put(at, kSpanningRowHeaderOpen);
    at = putNumber(at, member->span());
    at = put(at, kSpanningRowHeaderRest);
  } else {
    at = put(at, kRowHeaderOpen);
  }
  at = writeHtmlText<Mode>(at, member->name());
  return put(at, kCellClose);
}

// The body rows with their values from `values`: sized first, then written
// in place, so that the text grows once and no cell is looked up.
template <HtmlText Mode>
void writeScannedBody(std::string& out, ChargedBytes& charge, const BodyPlan& plan,
                      const BodyValues& values) {
  const std::size_t count = plan.members.size();
  std::size_t size = kFirstRowOpen.size();
  std::size_t leaf = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const DimNode* member = plan.members[i];
    size += rowHeaderCellSize<Mode>(member);
    if (member->span() != 0) continue;
    size += values.rowSize<Mode>(leaf++) + kRowClose.size();
    if (i + 1 < count) size += kNextRowOpen.size();
  }
  const std::size_t begin = out.size();
  chargeText(charge, out, begin + size);
  out.reserve(begin + size);
  prefaultPages(out.data() + begin, out.capacity() - begin);
  out.resize(begin + size);
  char* at = out.data() + begin;
  at = put(at, kFirstRowOpen);
  leaf = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const DimNode* member = plan.members[i];
    at = writeRowHeaderCell<Mode>(at, member);
    if (member->span() != 0) continue;
    // A row leaf closes its table row.
    at = values.writeRow<Mode>(at, leaf++);
    at = put(at, kRowClose);
    if (i + 1 < count) at = put(at, kNextRowOpen);
  }
  assert(at == out.data() + out.size());
}

// The body rows.
template <HtmlText Mode>
void writeBody(const CrossTab& tab, std::string& out, ChargedBytes& charge,
               const DimNode* titleNode, const std::vector<const DimNode*>& columnLeaves,
               const DimNode* columnHeader) {
  std::vector<const DimNode*> top = tab.orderedMembers(titleNode, 1, kRowAxis);
  if (top.empty()) return;
  const BodyPlan plan = planBody(tab, std::move(top));

  std::vector<std::string> columnPaths;
  columnPaths.reserve(columnLeaves.size());
  for (const DimNode* leaf : columnLeaves) columnPaths.push_back(columnPath(leaf, columnHeader));
  BodyValues values;
  const bool scanned = values.build(tab, plan, columnPaths);

  if (scanned) {
    writeScannedBody<Mode>(out, charge, plan, values);
    return;
  }
  // Each row leaf writes at least "<td>  </td>" per column leaf.
  const std::size_t wanted = out.size() +
                             plan.leafPathEnds.size() * (columnLeaves.size() * 16 + 64) +
                             plan.members.size() * 32;
  chargeText(charge, out, wanted);
  out.reserve(wanted);
  prefaultPages(out.data() + out.size(), out.capacity() - out.size());
  std::string key;
  std::size_t leaf = 0;
  out += kFirstRowOpen;
  for (std::size_t i = 0; i < plan.members.size(); ++i) {
    const DimNode* member = plan.members[i];
    if (member->span() >= 2) {
      out += kSpanningRowHeaderOpen;
      appendNumber(out, member->span());
      out += kSpanningRowHeaderRest;
    } else {
      out += kRowHeaderOpen;
    }
    appendHtmlText<Mode>(out, member->name());
    out += kCellClose;
    if (member->span() != 0) continue;
    // A row leaf closes its table row.
    appendLookedUpCells<Mode>(out, tab, plan.leafPath(leaf), columnPaths, key);
    ++leaf;
    out += kRowClose;
    chargeText(charge, out);
    if (i + 1 < plan.members.size()) out += kNextRowOpen;
  }
}

// The cross-tab table, appending to `out`.
template <HtmlText Mode>
void writeCrossTab(const CrossTab& tab, std::string& out, ChargedBytes& charge) {
  const DimNode* columnHeader = tab.columnHeader();
  const DimNode* rowDimension = tab.rowDimension();
  const std::size_t C = tab.columnDimension()->children().size();
  const std::size_t R = rowDimension->children().size();

  out += kTableOpen;
  out += "<thead>\n";

  // The column levels 1..C, each in orderedMembers order: level i is the
  // concatenation of the ordered children of level i - 1's members, which
  // is what orderedMembers gives for "列头" at depth i.
  std::vector<const DimNode*> level{columnHeader};  // depth 0
  for (std::size_t i = 1; i <= C; ++i) {
    std::vector<const DimNode*> next;
    for (const DimNode* member : level) {
      if (member->children().empty()) continue;
      std::vector<const DimNode*> ordered = tab.orderedMembers(member, 1, kColumnAxis);
      next.insert(next.end(), ordered.begin(), ordered.end());
    }
    level.swap(next);
    if (i == C) break;  // level C is the title row's column leaves
    out += "<tr>\n";
    if (i == 1) {
      out += "<td class='logo' rowspan=";
      appendNumber(out, static_cast<long long>(C - 1));
      out += " colspan=";
      appendNumber(out, static_cast<long long>(R));
      out += " style=\"background: url(logo.png) no-repeat ;\"> </td>";
    }
    for (const DimNode* member : level) {
      if (member->span() >= 2) {
        out += "<td colspan=";
        appendNumber(out, member->span());
        out += " class=\"colhdr\">";
        appendHtmlText<Mode>(out, member->name());
        out += "</td>";
      } else {
        appendColumnHeaderCell<Mode>(out, member->name());
      }
    }
    out += "</tr>\n";
    chargeText(charge, out);
  }
  // L: the column leaves (with C = 0, "列头" itself, as depth 0 gives).
  const std::vector<const DimNode*>& columnLeaves = level;

  out += "<!--处理最后一行，即行头和最后一个列头--><tr>\n";
  for (const DimNode* title : rowDimension->children()) {  // stored order, never sorted
    appendColumnHeaderCell<Mode>(out, title->name());
  }
  out += "<!--再补上列头的最后一行-->\n";
  if (C != 0) {
    for (const DimNode* leaf : columnLeaves) appendColumnHeaderCell<Mode>(out, leaf->name());
  }
  out += "</tr>\n</thead>\n";
  chargeText(charge, out);
  out += "<tbody>\n<!--处理行成员和指标数值-->\n";
  if (R != 0) {
    writeBody<Mode>(tab, out, charge, rowDimension->children()[0], columnLeaves, columnHeader);
  }
  out += "</tbody>\n</Table>\n";
}

}  // namespace

std::string renderDataCells(const CrossTab& tab, const DimNode* rowLeaf,
                            const std::vector<const DimNode*>& columnLeaves, HtmlText text) {
  std::vector<std::string> columnPaths;
  columnPaths.reserve(columnLeaves.size());
  for (const DimNode* leaf : columnLeaves) {
    columnPaths.push_back(columnPath(leaf, tab.columnHeader()));
  }
  std::string out;
  std::string key;
  const std::string path = rowPath(rowLeaf, tab.rowDimension());
  if (text == HtmlText::kEscaped) {
    appendLookedUpCells<HtmlText::kEscaped>(out, tab, path, columnPaths, key);
  } else {
    appendLookedUpCells<HtmlText::kRaw>(out, tab, path, columnPaths, key);
  }
  return out;
}

std::string renderHtml(const CrossTab& tab, HtmlText text) {
  if (tab.rows().size() < 2) return std::string(kTooFewRows);
  const RowRef header = tab.rows()[0];
  const long long s = findSeparatorColumn(header, tab.options().separate);
  const long long n = static_cast<long long>(header.size());
  if (!(0 < s && s < n - 1)) return renderPlainTable(tab, text);

  std::string out;
  // While it is written; the caller charges the finished text again.
  ChargedBytes charge;
  try {
    if (text == HtmlText::kEscaped) {
      writeCrossTab<HtmlText::kEscaped>(tab, out, charge);
    } else {
      writeCrossTab<HtmlText::kRaw>(tab, out, charge);
    }
  } catch (const std::bad_alloc&) {
    throw;  // memory exhaustion ends the request, never a partial table
  } catch (const std::exception& e) {
    out += kRuntimeErrorPrefix;
    // A message may quote data (a key, for one).
    if (text == HtmlText::kEscaped) {
      appendEscapedHtml(out, e.what());
    } else {
      out += e.what();
    }
    out += '\n';
  }
  return out;
}

}  // namespace tabulon
