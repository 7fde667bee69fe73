#include "pivot/member_order.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"

namespace tabulon {

const OrdinalKey ordinalKeyTable[kOrdinalKeyCount] = {
    {"零", "0"},  {"一", "1"},  {"二", "2"},  {"三", "3"},  {"四", "4"},  {"五", "5"},
    {"六", "6"},  {"七", "7"},  {"八", "8"},  {"九", "9"},  {"十", "A"},  {"廿", "B"},
    {"卅", "C"},  {"春", "E0"}, {"夏", "E1"}, {"秋", "E2"}, {"冬", "E3"}, {"东", "F0"},
    {"南", "F1"}, {"西", "F2"}, {"北", "F3"}, {"左", "G0"}, {"前", "G1"}, {"上", "G2"},
    {"中", "G3"}, {"下", "G4"}, {"后", "G5"}, {"右", "G6"},
};

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  if (to.find(from) != std::string_view::npos) {
    // Searching from the start again would never end: replace each
    // occurrence once, left to right.
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
    return;
  }
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from)) {
    text.replace(at, from.size(), to);
  }
}

namespace {

// The table key of the 3-byte character at `p`, or null.
const char* ordinalKeyAt(const char* p) {
  for (const OrdinalKey& entry : ordinalKeyTable) {
    if (std::memcmp(p, entry.word, 3) == 0) return entry.key;
  }
  return nullptr;
}

}  // namespace

std::string memberSortKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  std::size_t i = 0;
  while (i < name.size()) {
    // Every table word is a 3-byte character with a lead byte 0xE4..0xE9.
    unsigned char lead = static_cast<unsigned char>(name[i]);
    if (lead >= 0xE4 && lead <= 0xE9 && i + 3 <= name.size()) {
      if (const char* mapped = ordinalKeyAt(name.data() + i)) {
        key.append(mapped);
        i += 3;
        continue;
      }
    }
    key.push_back(name[i]);
    ++i;
  }
  return key;
}

namespace {

bool isRowAxis(std::string_view axis) { return axis == "Row"; }

}  // namespace

std::vector<const DimNode*> CrossTab::orderedMembers(const DimNode* node, int depth,
                                                     std::string_view axis) const {
  std::vector<const DimNode*> level{node};
  if (depth <= 0) return level;
  const bool sorted = isRowAxis(axis) ? options_.rowSort : options_.gridFrame.empty();
  std::vector<const DimNode*> next;
  std::vector<std::pair<std::string_view, const DimNode*>> keyed;
  // Level by level: ordering each parent's children and concatenating in
  // parent order equals the recursive definition, without recursion.
  for (int d = 0; d < depth; ++d) {
    next.clear();
    for (const DimNode* parent : level) {
      const std::size_t first = next.size();
      if (sorted) {
        keyed.clear();
        for (const DimNode* child : parent->children()) {
          keyed.emplace_back(child->sortKey(), child);
        }
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
          return a.first < b.first;  // compares bytes as unsigned
        });
        for (const auto& entry : keyed) next.push_back(entry.second);
      } else {
        next.insert(next.end(), parent->children().begin(), parent->children().end());
      }
      // The first member named "合计" goes first or last among its siblings.
      auto begin = next.begin() + static_cast<std::ptrdiff_t>(first);
      auto total = std::find_if(begin, next.end(),
                                [](const DimNode* m) { return m->name() == kTotalLabel; });
      if (total != next.end()) {
        if (options_.sumPos == SumPos::kFirst) {
          std::rotate(begin, total, total + 1);
        } else {
          std::rotate(total, total + 1, next.end());
        }
      }
    }
    level.swap(next);
  }
  return level;
}

}  // namespace tabulon
