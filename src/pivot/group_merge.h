// Group merging, the one grouping step of the totals: the groups of a step
// whose keys agree once one more column holds the label "合计", found in an
// open-addressing table keyed by the store's text numbers. Internal to the
// totals passes.
#ifndef TABULON_PIVOT_GROUP_MERGE_H_
#define TABULON_PIVOT_GROUP_MERGE_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "pivot/pass_rows.h"

namespace tabulon {
namespace totals {

// How the groups of one step merge into the groups of the next, once a
// column is relabelled: `parent` gives, per group of the step, its group
// in the next step (kNoGroup when it drops out), and per such key group its
// first member's first row and the hash of its key. Key groups are numbered
// in the order of their first members.
struct KeyGroups {
  std::vector<uint32_t> parent;
  std::vector<uint32_t> keyRow;
  std::vector<uint64_t> hash;
};

constexpr std::size_t kNoColumn = std::numeric_limits<std::size_t>::max();

// Whether the groups may be found by their place in a key grid, when the
// numbers' ranges make a small one, or only by hash (which gives the same
// key groups; tests compare the two).
enum class KeyLookup { kGridWhenSmall, kHashOnly };

// Merges the groups of `level` whose keys agree once `column` (kNoColumn
// for none) holds the label too. `labelled` flags the columns that hold it,
// `column` included. A group that already holds "合计" in `column` is a
// total that came with the input: it drops out.
KeyGroups mergeGroups(const PassRows& rows, const Level& level, std::size_t column,
                      const std::vector<char>& labelled, KeyLookup lookup = KeyLookup::kGridWhenSmall);

}  // namespace totals
}  // namespace tabulon

#endif  // TABULON_PIVOT_GROUP_MERGE_H_
