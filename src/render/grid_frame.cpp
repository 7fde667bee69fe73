#include "render/grid_frame.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "pivot/labels.h"

namespace tabulon {

namespace {

// Appends one side of `node` to `out`. The list of pending entries
// (members and end marks) is kept as a stack of member lists: the end mark
// of a nested list is the moment its list runs out.
void appendGridFrameSide(std::string& out, const CrossTab& tab, const DimNode* node,
                         bool nested, std::string_view axis) {
  out.push_back('[');
  struct Frame {
    std::vector<const DimNode*> members;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  stack.push_back({tab.orderedMembers(node, 1, axis), 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.members.size()) {
      stack.pop_back();
      if (stack.empty()) break;  // the side's own list: closed below
      // End mark of a nested list.
      out.push_back(']');
      const Frame& outer = stack.back();
      if (outer.next < outer.members.size()) out.push_back(',');
      continue;
    }
    const DimNode* member = top.members[top.next++];
    out.append(member->name());
    if (nested && !member->children().empty()) {
      out.push_back('[');
      std::vector<const DimNode*> children = tab.orderedMembers(member, 1, axis);
      stack.push_back({std::move(children), 0});  // `top` is invalid from here
      continue;
    }
    if (top.next < top.members.size()) out.push_back(',');
  }
  out.push_back(']');
}

// Handles one item of a side (no "," inside). An item holding "[" opens a
// member and its text after that "[" is handled as the very next item.
void handleItem(std::string_view item, DimNode*& current, std::vector<DimNode*>& stack) {
  for (;;) {
    std::size_t open = item.find('[');
    if (open != std::string_view::npos) {
      stack.push_back(current);
      current = current->getOrAddChild(item.substr(0, open));
      item.remove_prefix(open + 1);
      continue;
    }
    std::size_t close = item.find(']');
    if (close == std::string_view::npos) {
      current->getOrAddChild(item);
      return;
    }
    current->getOrAddChild(item.substr(0, close));
    const auto closes = std::count(item.begin() + static_cast<std::ptrdiff_t>(close), item.end(), ']');
    for (std::ptrdiff_t k = 0; k < closes && !stack.empty(); ++k) {
      current = stack.back();
      stack.pop_back();
    }
    return;
  }
}

std::string_view dropTrailingCommas(std::string_view side) {
  while (!side.empty() && side.back() == ',') side.remove_suffix(1);
  return side;
}

}  // namespace

std::string gridFrameSide(const CrossTab& tab, const DimNode* node, bool nested,
                          std::string_view axis) {
  std::string out;
  appendGridFrameSide(out, tab, node, nested, axis);
  return out;
}

std::string renderGridFrame(const CrossTab& tab) {
  std::string out = "row:";
  appendGridFrameSide(out, tab, tab.rowDimension(), false, "Row");
  out += ",col:";
  appendGridFrameSide(out, tab, tab.columnHeader(), true, "Col");
  return out;
}

void parseGridFrameSide(DimNode* parent, std::string_view side) {
  try {
    if (side.empty()) return;
    std::string_view rest = side.substr(1);  // the writer's "["
    if (rest.empty()) return;
    // The splitter's cleaning of the last item: it loses its end from its
    // first CR or LF on.
    const std::size_t lastComma = rest.rfind(',');
    const std::size_t lastStart = lastComma == std::string_view::npos ? 0 : lastComma + 1;
    const std::size_t lineBreak = rest.find_first_of("\r\n", lastStart);
    if (lineBreak != std::string_view::npos) rest = rest.substr(0, lineBreak);

    DimNode* current = parent;
    std::vector<DimNode*> stack{parent};
    std::size_t pos = 0;
    for (;;) {
      const std::size_t comma = rest.find(',', pos);
      if (comma == std::string_view::npos) {
        handleItem(rest.substr(pos), current, stack);
        break;
      }
      handleItem(rest.substr(pos, comma - pos), current, stack);
      pos = comma + 1;
    }
  } catch (const std::bad_alloc&) {
    throw;  // memory exhaustion ends the request
  } catch (const std::exception&) {
    // Dropped: the nodes built so far stay.
  }
}

void applyGridFrame(CrossTab& tab, std::string_view text) {
  const std::size_t rowAt = text.find("row:");
  const std::size_t colAt = text.find("col:");
  if (rowAt == std::string_view::npos || colAt == std::string_view::npos) return;

  tab.columnDimension_->clearChildren();
  tab.columnHeader_->clearChildren();
  tab.rowDimension_->clearChildren();

  // The two markers cannot overlap, so each side lies between them or after
  // the later one.
  constexpr std::size_t kMarker = 4;
  std::string_view rowSide;
  std::string_view colSide;
  if (rowAt < colAt) {
    rowSide = text.substr(rowAt + kMarker, colAt - (rowAt + kMarker));
    colSide = text.substr(colAt + kMarker);
  } else {
    colSide = text.substr(colAt + kMarker, rowAt - (colAt + kMarker));
    rowSide = text.substr(rowAt + kMarker);
  }
  parseGridFrameSide(tab.columnHeader_, dropTrailingCommas(colSide));
  parseGridFrameSide(tab.rowDimension_, dropTrailingCommas(rowSide));
  tab.fillColumnDimension();
}

}  // namespace tabulon
