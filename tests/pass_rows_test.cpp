#include "pivot/pass_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/group_merge.h"
#include "transform_helpers.h"

namespace tabulon {
namespace totals {
namespace {

// Leaves grouped while the rows are read against the grouping step run on
// the rows afterwards: the same rows, key bounds, leaves, leaf sums and
// magnitudes, or no leaves where they do not pay or cannot be summed.
TEST(PassRowsTest, LeavesGroupedWhileReadingMatchTheGroupingStep) {
  struct Case {
    const char* name;
    std::size_t rows;
    unsigned keys;           // distinct texts of column B
    const char* lateText;    // the measure text of row 600, when set
    bool huge;               // measure values whose sums pass the exact bound
    bool longRow;            // one row longer than the header
    bool leaves;             // whether the leaves are made while reading
  };
  const Case cases[] = {
      {"repeating keys", 3000, 5, nullptr, false, false, true},
      {"sums past the exact bound", 3000, 5, nullptr, true, false, true},
      {"a text that is no number of millionths, blocks in", 3000, 5, "1e300", false, false, false},
      {"keys that repeat too little", 20000, 8000, nullptr, false, false, false},
      {"keys that repeat too little in fewer rows than the sample", 3000, 2000, nullptr, false, false,
       false},
      {"rows of two lengths", 3000, 5, nullptr, false, true, false},
  };
  for (const Case& c : cases) {
    std::mt19937 random(7);
    RowTable table;
    table.setValueColumns({"V"});
    table.push_back(Row{"A", "B", "|", "V"});
    for (std::size_t r = 0; r < c.rows; ++r) {
      const unsigned k = static_cast<unsigned>(random() % c.keys);
      const std::string value = c.huge ? std::to_string(random() % 900000000) + ".5"
                                       : std::to_string(random() % 1000) + ".25";
      Row row{"a" + std::to_string(random() % 3), "b" + std::to_string(k), "-", value};
      if (r == 600 && c.lateText != nullptr) row[3] = c.lateText;
      if (r % 97 == 5) row = Row(table[0]);  // header copies take no part
      if (r == 900 && c.longRow) row.push_back("x");
      // The first and the last row alone hold the lowest and the highest
      // number of column B: the key bounds must reach both.
      if (r == 0 || r + 1 == c.rows) row[1] = r == 0 ? "first" : "last";
      table.push_back(row);
    }
    std::vector<uint32_t> fullRows;
    for (uint32_t r = 1; r < table.size(); ++r) {
      if (table[r] != table[0]) fullRows.push_back(r);
    }
    CrossTab tab;
    runTransform(tab, RowTable{{"A", "B", "|", "V"}, {"a", "b", "-", "1"}}, "V");
    const PassRows read(tab, table, 1, table.size(), nullptr, LeafGrouping::kWhileReading);
    const PassRows asked(tab, table, 1, table.size());
    ASSERT_EQ(read.leavesMade, c.leaves) << c.name;
    EXPECT_EQ(read.dataRows, fullRows) << c.name;
    EXPECT_EQ(asked.dataRows, fullRows) << c.name;
    EXPECT_EQ(read.keyLow, asked.keyLow) << c.name;
    EXPECT_EQ(read.keyHigh, asked.keyHigh) << c.name;
    EXPECT_EQ(read.exact, asked.exact) << c.name;
    // The rows' millionths, read again when the leaves held them back.
    EXPECT_EQ(read.rowLevel().micros, asked.rowLevel().micros) << c.name;
    if (!c.leaves) continue;
    const KeyGroups key = mergeGroups(asked, asked.rowLevel(), kNoColumn, std::vector<char>(4, 0));
    EXPECT_EQ(read.leafOfRow, key.parent) << c.name;
    EXPECT_EQ(read.leaves.firstRow, key.keyRow) << c.name;
    EXPECT_EQ(read.leaves.hash, key.hash) << c.name;
    // The sums of each leaf's rows, and their magnitudes while not exact.
    std::vector<uint32_t> count(key.keyRow.size(), 0);
    std::vector<int64_t> micros(key.keyRow.size(), 0);
    std::vector<uint64_t> magnitude(key.keyRow.size(), 0);
    for (std::size_t i = 0; i < key.parent.size(); ++i) {
      const int64_t n = asked.rowLevel().micros[i];
      ++count[key.parent[i]];
      micros[key.parent[i]] += n;
      magnitude[key.parent[i]] += static_cast<uint64_t>(n < 0 ? -n : n);
    }
    EXPECT_EQ(read.leaves.rowCount, count) << c.name;
    EXPECT_EQ(read.leaves.micros, micros) << c.name;
    EXPECT_EQ(read.leaves.magnitude, read.exact ? std::vector<uint64_t>() : magnitude) << c.name;
  }
}

}  // namespace
}  // namespace totals
}  // namespace tabulon
