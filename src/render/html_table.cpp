#include "render/html_table.h"

#include <charconv>
#include <cstdint>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "pivot/labels.h"
#include "pivot/memory_budget.h"
#include "pivot/prefault_allocator.h"
#include "render/html_text.h"
#include "render/plain_table.h"

namespace tabulon {

namespace {

constexpr std::string_view kTooFewRows = "提交的数据不正常，请提交正常的csv数据";
constexpr std::string_view kTableOpen =
    "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n";
constexpr std::string_view kColumnAxis = "Col";
constexpr std::string_view kRowAxis = "Row";

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
    out += "<td>  </td>";
  } else {
    out += "<td> ";
    appendHtmlText<Mode>(out, *value);
    out += "</td>";
  }
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
    appendValueCell<Mode>(out, tab.cells.find(key));
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
    if (tab.cells.size() > 2 * cells) return false;

    std::vector<std::size_t> dotCounts;
    for (const std::string& path : columnPaths) {
      const std::size_t dots = countDots(path);
      bool known = false;
      for (std::size_t d : dotCounts) known = known || d == dots;
      if (known) continue;
      if (dotCounts.size() == kMaxDotCounts) return false;
      dotCounts.push_back(dots);
    }

    // Path → first index with that path; equal paths are chained.
    constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
    std::unordered_map<std::string_view, uint32_t> columnIndex;
    std::vector<uint32_t> columnNext(columns_, kNone);
    columnIndex.reserve(columns_);
    for (std::size_t c = 0; c < columns_; ++c) {
      auto [it, added] = columnIndex.emplace(columnPaths[c], static_cast<uint32_t>(c));
      if (!added) {
        columnNext[c] = it->second;
        it->second = static_cast<uint32_t>(c);
      }
    }
    std::unordered_map<std::string_view, uint32_t> rowIndex;
    std::vector<uint32_t> rowNext(leaves, kNone);
    rowIndex.reserve(leaves);
    for (std::size_t r = 0; r < leaves; ++r) {
      auto [it, added] = rowIndex.emplace(plan.leafPath(r), static_cast<uint32_t>(r));
      if (!added) {
        rowNext[r] = it->second;
        it->second = static_cast<uint32_t>(r);
      }
    }

    charge_.hold(cells * sizeof(Value));
    values_.assign(cells, Value{});
    // Keys of one data row follow each other: remember the last row part.
    std::string lastPrefix;  // the key it lay in is gone by the next call
    uint32_t lastRow = kNone;
    bool haveLast = false;
    tab.cells.forEach([&](std::string_view key, std::string_view value) {
      for (std::size_t dots : dotCounts) {
        // The split lies just after the (dots + 1)-th dot from the end: a
        // row path is never empty and ends in a dot.
        std::size_t at = key.size();
        bool found = true;
        for (std::size_t k = 0; k <= dots; ++k) {
          if (at == 0) {
            found = false;
            break;
          }
          at = key.rfind('.', at - 1);
          if (at == std::string_view::npos) {
            found = false;
            break;
          }
        }
        if (!found) continue;
        const std::string_view prefix = key.substr(0, at + 1);
        auto column = columnIndex.find(key.substr(at + 1));
        if (column == columnIndex.end()) continue;
        if (!haveLast || prefix != lastPrefix) {
          auto row = rowIndex.find(prefix);
          lastRow = row == rowIndex.end() ? kNone : row->second;
          lastPrefix = prefix;
          haveLast = true;
        }
        for (uint32_t r = lastRow; r != kNone; r = rowNext[r]) {
          for (uint32_t c = column->second; c != kNone; c = columnNext[c]) {
            values_[static_cast<std::size_t>(r) * columns_ + c] = Value::of(value);
          }
        }
      }
    });
    return true;
  }

  template <HtmlText Mode>
  void appendRow(std::string& out, std::size_t leaf) const {
    const Value* value = values_.data() + leaf * columns_;
    for (std::size_t c = 0; c < columns_; ++c, ++value) {
      if (value->data == nullptr) {
        out += "<td>  </td>";
      } else {
        out += "<td> ";
        appendHtmlText<Mode>(out, std::string_view(value->data, value->size));
        out += "</td>";
      }
    }
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

  static std::size_t countDots(std::string_view text) {
    std::size_t dots = 0;
    for (char ch : text) dots += ch == '.';
    return dots;
  }

  std::size_t columns_ = 0;
  // Written whole before it is read: large grids are mapped prefaulted.
  std::vector<Value, PrefaultAllocator<Value>> values_;
  ChargedBytes charge_;  // the memory budget's share of values_
};

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

  // Each row leaf writes at least "<td>  </td>" per column leaf.
  const std::size_t wanted = out.size() +
                             plan.leafPathEnds.size() * (columnLeaves.size() * 16 + 64) +
                             plan.members.size() * 32;
  chargeText(charge, out, wanted);
  out.reserve(wanted);
  prefaultPages(out.data() + out.size(), out.capacity() - out.size());
  std::string key;
  std::size_t leaf = 0;
  out += "<tr>";
  for (std::size_t i = 0; i < plan.members.size(); ++i) {
    const DimNode* member = plan.members[i];
    if (member->span() >= 2) {
      out += "<td rowspan=";
      appendNumber(out, member->span());
      out += " class=\"rowhdr\">";
    } else {
      out += "<td class=\"rowhdr\">";
    }
    appendHtmlText<Mode>(out, member->name());
    out += "</td>";
    if (member->span() != 0) continue;
    // A row leaf closes its table row.
    if (scanned) {
      values.appendRow<Mode>(out, leaf);
    } else {
      appendLookedUpCells<Mode>(out, tab, plan.leafPath(leaf), columnPaths, key);
    }
    ++leaf;
    out += "</tr>\n";
    chargeText(charge, out);
    if (i + 1 < plan.members.size()) out += "<tr>\n";
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
  if (tab.rows.size() < 2) return std::string(kTooFewRows);
  const RowRef header = tab.rows[0];
  const long long s = findSeparatorColumn(header, tab.separate);
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
