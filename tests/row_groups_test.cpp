#include "pivot/row_groups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/cut_ids.h"
#include "pivot/dim_node.h"
#include "render/grid_frame.h"
#include "render/html_table.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

// Texts that repeat, are empty, or share their first 49 bytes.
std::string randomText(std::mt19937& random) {
  static const std::string kLong(49, 'x');
  switch (random() % 6) {
    case 0: return "";
    case 1: return kLong + std::to_string(random() % 3);  // one member, three texts
    default: return std::string(1, static_cast<char>('a' + random() % 4));
  }
}

// Header R | C V (V the measure), then `count` rows: mostly full, some
// short or long, some copies of the header; `distinctFirst` rows first
// whose keys never repeat. With `wide`, R and C take one of `wide` pairs of
// texts, too many for a key grid.
RowTable randomTable(std::mt19937& random, std::size_t count, std::size_t distinctFirst,
                     unsigned wide = 0) {
  RowTable rows{{"R", "|", "C", "V"}};
  for (std::size_t r = 0; r < count; ++r) {
    Row row{randomText(random), "-", randomText(random), std::to_string(random() % 100)};
    if (wide != 0) {
      const unsigned k = static_cast<unsigned>(random() % wide);
      row[0] += "r" + std::to_string(k);
      row[2] += "c" + std::to_string(k);
    }
    if (r < distinctFirst) row[0] = "d" + std::to_string(r);
    switch (random() % 12) {
      case 0: row.resize(random() % 4); break;
      case 1: row.push_back(randomText(random)); break;
      case 2: row = {"R", "|", "C", "V"}; break;
      default: break;
    }
    rows.push_back(row);
  }
  return rows;
}

// The key of RowGroups, by texts: the length up to the header's and the cut
// texts at the key positions below it.
std::vector<std::string> keyOf(const RowRef& row, std::size_t width,
                               const std::vector<std::size_t>& positions) {
  const std::size_t p1 = std::min(row.size(), width);
  std::vector<std::string> key{std::to_string(p1)};
  for (std::size_t j : positions) {
    if (j < p1) key.emplace_back(DimNode::cutName(row[j]));
  }
  return key;
}

TEST(RowGroupsTest, GroupsAsTheKeysByTextSayOrLeavesEveryRowAlone) {
  const std::vector<std::size_t> positions{0, 2};
  for (unsigned seed = 1; seed <= 24; ++seed) {
    std::mt19937 random(seed);
    const bool wide = seed > 20;
    const RowTable rows = wide ? randomTable(random, 3000, 0, 400) : randomTable(random, 300, 0);
    CutIds cuts;
    cuts.reset(rows);
    // By texts: the first and last row of each key, in the order of first rows.
    std::map<std::vector<std::string>, std::size_t> index;
    std::vector<std::pair<std::size_t, std::size_t>> expected;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (rows[r] == rows[0]) continue;
      const auto [it, fresh] = index.emplace(keyOf(rows[r], 4, positions), expected.size());
      if (fresh) expected.emplace_back(r, r);
      expected[it->second].second = r;
    }
    // Finer groups known beforehand: rows of one length and one number in
    // every column but the measure; some rows left out.
    KnownGroups known;
    known.first = 1 + seed % 3;
    std::map<std::vector<uint32_t>, uint32_t> finer;
    for (std::size_t r = known.first; r < rows.size(); ++r) {
      std::vector<uint32_t> ids{static_cast<uint32_t>(rows[r].size())};
      for (std::size_t j = 0; j < rows[r].size(); ++j) ids.push_back(j == 3 ? 0 : rows[r].id(j));
      const bool left = rows[r] == rows[0] || r % 5 == 0;
      known.ofRow.push_back(left ? KnownGroups::kNone : finer.emplace(ids, finer.size()).first->second);
    }
    known.count = finer.size();
    for (const std::size_t probe : {std::size_t{8}, RowGroups::kProbeRows})
    for (const KnownGroups* hint : {static_cast<const KnownGroups*>(nullptr), static_cast<const KnownGroups*>(&known)}) {
      RowGroups groups;
      groups.build(rows, cuts, positions, probe, hint);
      std::vector<std::pair<std::size_t, std::size_t>> seen;
      groups.forEach([&](std::size_t first, std::size_t last) { seen.emplace_back(first, last); });
      if (groups.grouped()) {
        EXPECT_EQ(seen, expected) << "seed " << seed;
      } else {
        ASSERT_EQ(seen.size(), rows.size()) << "seed " << seed;
        for (std::size_t r = 0; r < seen.size(); ++r) EXPECT_EQ(seen[r], std::make_pair(r, r));
      }
    }
  }
}

// The cells of long tables, grouped and not, against the last value of each
// key text, and the column members in the order the rows first bring them.
TEST(RowGroupsTest, CellsAndMembersOfLongTablesMatchARowByRowModel) {
  const std::size_t count = RowGroups::kProbeRows + 4000;
  for (const std::size_t distinctFirst : {std::size_t{0}, RowGroups::kProbeRows}) {
    std::mt19937 random(static_cast<unsigned>(distinctFirst + 7));
    RowTable rows = randomTable(random, count, distinctFirst);
    std::map<std::string, std::string> last;
    std::vector<std::string> columnOrder;
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const RowRef row = rows[r];
      if (row == rows[0]) continue;
      if (row.size() > 2) {
        const std::string name(DimNode::cutName(row[2]));
        if (std::find(columnOrder.begin(), columnOrder.end(), name) == columnOrder.end()) {
          columnOrder.push_back(name);
        }
      }
      if (row.size() < 4) continue;
      const std::string key = std::string(DimNode::cutName(row[0])) + "." +
                              std::string(DimNode::cutName(row[2])) + ".V.";
      last[key] = std::string(row[3]);
    }
    CrossTab tab;
    runTransform(tab, std::move(rows), "V");
    ASSERT_EQ(tab.cells().size(), last.size()) << "distinct first " << distinctFirst;
    for (const auto& [key, value] : last) {
      ASSERT_EQ(tab.cells().find(key), std::optional<std::string_view>(value)) << key;
    }
    std::vector<std::string> members;
    for (const DimNode* c : tab.columnHeader()->children()) members.emplace_back(c->name());
    EXPECT_EQ(members, columnOrder) << "distinct first " << distinctFirst;
  }
}

// The member passes find a path by the cut texts at its positions and its
// length. Texts that differ only past the cut must give the same tables as
// one text (totals are not made: they sum by whole texts), and a short row,
// whatever follows it in the store, adds only the members it holds;
// grouped rows and not.
TEST(RowGroupsTest, PathsGoByCutTextsAndLength) {
  const std::string longText(DimNode::kMaxNameBytes, 'x');
  auto render = [](const RowTable& rows) {
    CrossTab tab;
    runTransform(tab, rows, "V");
    return renderHtml(tab) + renderGridFrame(tab);
  };
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 random(seed);
    const std::size_t count = seed % 2 ? 200 : RowGroups::kProbeRows + 100;
    RowTable varied{{"R", "|", "C", "V"}};
    RowTable canonical{{"R", "|", "C", "V"}};
    for (std::size_t r = 0; r < count; ++r) {
      const unsigned rk = static_cast<unsigned>(random() % 3), ck = static_cast<unsigned>(random() % 3);
      const std::string suffix = std::to_string(random() % 4);
      std::string rowName = "r" + std::to_string(random() % 5);
      // Distinct first rows leave the rows ungrouped; the later ones repeat.
      if (seed % 2 == 0 && r < RowGroups::kProbeRows) rowName += "_" + std::to_string(r);
      Row v{rk == 0 ? longText + suffix : rowName, "-", ck == 0 ? longText + suffix : "c" + std::to_string(ck),
            std::to_string(random() % 100)};
      Row c = v;
      if (rk == 0) c[0] = longText + "0";
      if (ck == 0) c[2] = longText + "0";
      if (random() % 9 == 0) v.resize(2), c.resize(2);
      varied.push_back(v);
      canonical.push_back(c);
    }
    ASSERT_EQ(render(varied), render(canonical)) << "seed " << seed;
  }
  // A short row first: its missing column holds no text, whatever the
  // store holds next to it.
  CrossTab tab;
  runTransform(tab, RowTable{{"R", "|", "C", "V"}, {"r1", "-"}, {"r1", "-", "c1", "5"}}, "V");
  ASSERT_EQ(tab.columnHeader()->children().size(), 1u);
  EXPECT_EQ(tab.columnHeader()->children()[0]->name(), "c1");
}

}  // namespace
}  // namespace tabulon
