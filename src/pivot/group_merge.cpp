#include "pivot/group_merge.h"

#include "pivot/dense_key_grid.h"

namespace tabulon {
namespace totals {

namespace {

// mergeGroups by the place of each compared key in a DenseKeyGrid, when the
// ranges of the compared numbers make a grid small enough for the groups
// of `level`; false (and `key` untouched) otherwise. The key groups come
// out as the hash table makes them: numbered in the order of their first
// members, each hash the sum of its compared key terms.
bool mergeInGrid(const PassRows& rows, const Level& level, std::size_t column,
                 const std::vector<std::size_t>& compared, KeyGroups& key) {
  if (level.size() == 0) return false;
  std::vector<uint32_t> low;
  std::vector<uint64_t> range;
  for (std::size_t p : compared) {
    low.push_back(rows.keyLow[p]);
    range.push_back(uint64_t{rows.keyHigh[p]} - rows.keyLow[p] + 1);
  }
  DenseKeyGrid grid;
  if (!grid.reset(low, range, 4 * level.size() + 4096)) return false;
  const std::size_t position = column == kNoColumn ? 0 : rows.positionOf(column);
  const std::size_t width = compared.size();
  const RowTable& store = rows.table;
  // The key columns are all within the header's width here (a row without
  // the cell would hold kAbsent, whose range makes no grid).
  std::vector<std::size_t> columns(width);
  for (std::size_t q = 0; q < width; ++q) columns[q] = rows.keyColumns[compared[q]];
  auto placeOf = [&](std::size_t g) {
    const uint32_t* ids = store.rowIds(rows.dataRows[level.first(g)]);
    return grid.place([&](std::size_t q) { return ids[columns[q]]; });
  };
  // Slots are fetched this many groups ahead; each place is made once, when
  // its slot is fetched, and waits in a ring.
  constexpr std::size_t kAhead = 16;
  uint64_t ring[kAhead];
  for (std::size_t g = 0; g < kAhead && g < level.size(); ++g) ring[g] = placeOf(g);
  for (std::size_t g = 0; g < level.size(); ++g) {
    const uint64_t place = ring[g % kAhead];
    if (g + kAhead < level.size()) {
      ring[g % kAhead] = placeOf(g + kAhead);
      grid.prefetch(ring[g % kAhead]);
    }
    const uint32_t first = level.first(g);
    if (column != kNoColumn && rows.keyAt(first, position) == rows.totalIds[position]) continue;
    const uint32_t slot = grid.findOrAdd(place, key.keyRow.size());
    if (slot == key.keyRow.size()) {
      const uint32_t* ids = store.rowIds(rows.dataRows[first]);
      uint64_t h = 0;
      for (std::size_t q = 0; q < width; ++q) h += PassRows::keyTerm(compared[q], ids[columns[q]]);
      key.keyRow.push_back(first);
      key.hash.push_back(h);
    }
    key.parent[g] = slot;
  }
  return true;
}

}  // namespace

// Merges the groups of `level` whose keys agree once `column` (kNoColumn
// for none) holds the label too. `labelled` flags the columns that hold it,
// `column` included. A group that already holds "合计" in `column` is a
// total that came with the input: it drops out.
KeyGroups mergeGroups(const PassRows& rows, const Level& level, std::size_t column,
                      const std::vector<char>& labelled, KeyLookup lookup) {
  // The key positions still compared: the key columns without the label.
  std::vector<std::size_t> compared;
  for (std::size_t p = 0; p < rows.keyColumns.size(); ++p) {
    const std::size_t j = rows.keyColumns[p];
    if (j >= rows.width || !labelled[j]) compared.push_back(p);
  }
  const RowTable& store = rows.table;
  // The compared key of each key group, end to end, so that comparing
  // reads a small array instead of the first rows scattered in the store.
  const std::size_t width = compared.size();
  std::vector<uint32_t> groupKeys;
  std::vector<uint32_t> candidate(width);
  auto readKey = [&](uint32_t i) {
    const uint32_t r = rows.dataRows[i];
    const std::size_t length = store.rowLength(r);
    const uint32_t* ids = store.rowIds(r);
    for (std::size_t q = 0; q < width; ++q) {
      const std::size_t j = rows.keyColumns[compared[q]];
      candidate[q] = j < length ? ids[j] : PassRows::kAbsent;
    }
  };
  auto sameKey = [&](std::size_t k) {
    const uint32_t* held = groupKeys.data() + k * width;
    for (std::size_t q = 0; q < width; ++q) {
      if (held[q] != candidate[q]) return false;
    }
    return true;
  };
  const std::size_t position = column == kNoColumn ? 0 : rows.positionOf(column);

  KeyGroups key;
  key.parent.assign(level.size(), kNoGroup);
  if (lookup == KeyLookup::kGridWhenSmall && mergeInGrid(rows, level, column, compared, key)) return key;
  GroupTable table;
  const std::vector<uint64_t>& hashes = level.single ? rows.rowHashes() : level.hash;
  // The hash of group g's key with the label in `column`; false when the
  // group drops out.
  auto keyHash = [&](std::size_t g, uint64_t& h) {
    h = hashes[g];
    if (column == kNoColumn) return true;
    const uint32_t id = rows.keyAt(level.first(g), position);
    if (id == rows.totalIds[position]) return false;
    h -= PassRows::keyTerm(position, id);
    return true;
  };
  // Slots are fetched this many groups ahead, and half as many ahead the
  // key of the slot's likely match, which is read from then on. Each hash
  // is made once, when its slot is fetched, and waits in a ring.
  constexpr std::size_t kAhead = 16;
  struct Ahead {
    uint64_t hash;
    bool kept;  // false: the group drops out
  };
  Ahead ring[kAhead];
  for (std::size_t g = 0; g < kAhead && g < level.size(); ++g) {
    ring[g].kept = keyHash(g, ring[g].hash);
  }
  uint32_t previous = kNoGroup;
  uint64_t previousHash = 0;
  for (std::size_t g = 0; g < level.size(); ++g) {
    const Ahead current = ring[g % kAhead];
    Ahead& far = ring[g % kAhead];
    if (g + kAhead < level.size()) {
      far.kept = keyHash(g + kAhead, far.hash);
      if (far.kept) table.prefetch(far.hash);
    }
    const Ahead& near = ring[(g + kAhead / 2) % kAhead];
    if (g + kAhead / 2 < level.size() && near.kept) {
      const uint32_t likely = table.firstCandidate(near.hash);
      if (likely != GroupTable::kEmpty) __builtin_prefetch(groupKeys.data() + likely * width);
    }
    const uint32_t first = level.first(g);
    if (!current.kept) continue;
    const uint64_t h = current.hash;
    // Sorted input brings the members of a group together: try the key
    // group of the previous member before the table.
    readKey(first);
    std::size_t k;
    if (previous != kNoGroup && previousHash == h && sameKey(previous)) {
      k = previous;
    } else {
      k = table.findOrAdd(h, key.keyRow.size(), [&](std::size_t found) { return sameKey(found); });
    }
    if (k == key.keyRow.size()) {
      key.keyRow.push_back(first);
      key.hash.push_back(h);
      groupKeys.insert(groupKeys.end(), candidate.begin(), candidate.end());
    }
    key.parent[g] = static_cast<uint32_t>(k);
    previous = static_cast<uint32_t>(k);
    previousHash = h;
  }
  return key;
}

}  // namespace totals
}  // namespace tabulon
