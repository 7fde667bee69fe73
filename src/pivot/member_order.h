// Member ordering: the display order of the members of a tree level.
//
// A member's sort key is its name with each Chinese ordinal, season,
// direction and position character of `ordinalKeyTable` replaced by an
// ASCII key, so 一月..十二月, 春夏秋冬, 东南西北 and 左..右 sort in their
// natural order. Keys compare as unsigned bytes. The table is a constant:
// it exists before any call and is never written.
#ifndef TABULON_PIVOT_MEMBER_ORDER_H_
#define TABULON_PIVOT_MEMBER_ORDER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tabulon {

struct OrdinalKey {
  const char* word;  // one 3-byte UTF-8 character
  const char* key;   // ASCII
};

inline constexpr std::size_t kOrdinalKeyCount = 28;
extern const OrdinalKey ordinalKeyTable[kOrdinalKeyCount];

// Replaces every occurrence of `from` in `text` by `to`, searching again
// from the start after each replacement.
void replaceAll(std::string& text, std::string_view from, std::string_view to);

// The sort key of a member name (one pass over the name).
std::string memberSortKey(std::string_view name);

}  // namespace tabulon

#endif  // TABULON_PIVOT_MEMBER_ORDER_H_
