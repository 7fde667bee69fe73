#include "pivot/group_merge.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "transform_helpers.h"

namespace tabulon {
namespace totals {
namespace {

// The next step's level as the passes make it from key groups.
Level levelOf(const KeyGroups& key) {
  Level next;
  next.firstRow = key.keyRow;
  next.hash = key.hash;
  next.rowCount.assign(key.keyRow.size(), 1);
  return next;
}

// Every step of a labelling pass, found by key grid and by hash alone: the
// same groups in the same order with the same hashes, so that a later step
// may go either way. Tables: small ranges (a grid at every step), a column
// with many texts that makes the first steps too wide for a grid, rows
// holding "合计" (they drop out), header copies and longer rows.
TEST(GroupMergeTest, GridAndHashMakeTheSameKeyGroups) {
  struct Case {
    const char* name;
    std::size_t rows;
    unsigned spread;  // distinct texts of column B (correlated with A)
    bool longRows;
  };
  const Case cases[] = {
      {"small", 200, 3, false},
      {"wide first steps", 3000, 2000, false},
      {"long rows", 300, 5, true},
  };
  for (const Case& c : cases) {
    std::mt19937 random(static_cast<unsigned>(c.rows));
    RowTable table;
    table.setValueColumns({"V"});
    table.push_back(Row{"A", "B", "|", "C", "V"});
    for (std::size_t r = 0; r < c.rows; ++r) {
      const unsigned k = static_cast<unsigned>(random() % c.spread);
      Row row{"a" + std::to_string(k % 7), "b" + std::to_string(k), "-", "c" + std::to_string(random() % 4),
              std::to_string(random() % 100)};
      if (random() % 20 == 0) row[3] = kTotalLabel;
      if (random() % 25 == 0) row = Row(table[0]);
      if (c.longRows && random() % 5 == 0) row.push_back("x" + std::to_string(random() % 3));
      table.push_back(row);
    }
    CrossTab tab;
    runTransform(tab, RowTable{{"A", "B", "|", "C", "V"}, {"a", "b", "-", "c", "1"}}, "V");
    const PassRows rows(tab, table, 1, table.size());
    std::vector<char> labelled(rows.width, 0);
    Level level = rows.rowsLevel;
    for (const std::size_t column : {kNoColumn, std::size_t{3}, std::size_t{1}, std::size_t{0}}) {
      if (column != kNoColumn) labelled[column] = 1;
      const KeyGroups grid = mergeGroups(rows, level, column, labelled, KeyLookup::kGridWhenSmall);
      const KeyGroups hashed = mergeGroups(rows, level, column, labelled, KeyLookup::kHashOnly);
      ASSERT_EQ(grid.parent, hashed.parent) << c.name << ", column " << column;
      ASSERT_EQ(grid.keyRow, hashed.keyRow) << c.name << ", column " << column;
      ASSERT_EQ(grid.hash, hashed.hash) << c.name << ", column " << column;
      level = levelOf(hashed);
    }
  }
}

}  // namespace
}  // namespace totals
}  // namespace tabulon
