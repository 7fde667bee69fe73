#include "pivot/cell_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "render/grid_frame.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

std::map<std::string, std::string> cellsOf(const CrossTab& tab) {
  std::map<std::string, std::string> cells;
  tab.cells().forEach([&](std::string_view key, std::string_view value) {
    cells.emplace(std::string(key), std::string(value));
  });
  return cells;
}

// Cells found by position must be the cells that hashing their key texts
// finds: the same keys and values, also when looked up by text. A table
// whose part texts could join into one key text in two ways keeps hashing.
// (A GridFrame text makes the same cells without the member passes that
// number the paths, so by hashing.)
TEST(CellTableTest, DenseKeysHoldWhatHashedKeysHold) {
  struct Case {
    const char* name;
    std::vector<Row> rows;  // header first
    const char* measures;
    bool dense;
  };
  std::vector<Case> cases = {
      {"repeated keys, the last row wins",
       {{"R", "|", "C", "V"}, {"a", "|", "x", "1"}, {"b", "|", "x", "2"}, {"a", "|", "x", "3"},
        {"a", "|", "y", "4"}},
       "V", true},
      {"two measures, two row levels",
       {{"R", "S", "|", "C", "V", "W"}, {"a", "p", "|", "x", "1", "5"}, {"a", "q", "|", "x", "2", "6"},
        {"b", "p", "|", "y", "3", "7"}},
       "V,W", true},
      {"a name without a column beside one with",
       {{"R", "|", "C", "V"}, {"a", "|", "x", "1"}, {"b", "|", "y", "2"}}, "V,U", true},
      {"short rows and a header copy make no cells",
       {{"R", "|", "C", "V"}, {"a", "|", "x", "1"}, {"a", "|"}, {"R", "|", "C", "V"}, {"b", "|", "x", "2"}},
       "V", true},
      {"a dot in a part text",
       {{"R", "|", "C", "V"}, {"a.b", "|", "c", "1"}, {"a", "|", "b.c", "2"}}, "V", false},
      // V's key of the first row and W's key of the second are both "a.V.W.".
      {"measures named at different parts",
       {{"R", "V", "|", "C", "W"}, {"a", "1", "|", "W", "2"}, {"a", "3", "|", "V", "4"}}, "V,W", false},
  };
  // A diagonal: each row its own row and column path, a grid of 10,000
  // slots for 100 keys, far more than the keys need.
  Case diagonal{"a sparse grid", {{"R", "|", "C", "V"}}, "V", false};
  for (int i = 0; i < 100; ++i) {
    diagonal.rows.push_back({"r" + std::to_string(i), "|", "c" + std::to_string(i), std::to_string(i)});
  }
  cases.push_back(diagonal);
  // One column path and one measure: a slot is its row path. Then a grid of
  // 37 row paths and 23 x 2 column keys, whose slots are split by an inverse
  // that is no power of two.
  Case single{"one column key", {{"R", "|", "C", "V"}}, "V", true};
  Case wide{"a wide grid", {{"R", "|", "C", "V", "W"}}, "V,W", true};
  for (int i = 0; i < 37 * 23; ++i) {
    single.rows.push_back({"r" + std::to_string(i % 37), "|", "c", std::to_string(i)});
    wide.rows.push_back({"r" + std::to_string(i % 37), "|", "c" + std::to_string(i % 23),
                         std::to_string(i), std::to_string(-i)});
  }
  cases.push_back(single);
  cases.push_back(wide);
  for (const Case& c : cases) {
    RowTable rows{c.rows[0]};
    for (std::size_t r = 1; r < c.rows.size(); ++r) rows.push_back(c.rows[r]);
    CrossTab dense;
    runTransform(dense, rows, c.measures);
    EXPECT_EQ(dense.cells().dense(), c.dense) << c.name;

    PivotOptions options;
    options.gridFrame = renderGridFrame(dense);
    CrossTab hashed;
    runTransform(hashed, rows, c.measures, options);
    ASSERT_FALSE(hashed.cells().dense()) << c.name;

    const std::map<std::string, std::string> expected = cellsOf(hashed);
    EXPECT_EQ(cellsOf(dense), expected) << c.name;
    EXPECT_EQ(dense.cells().size(), expected.size()) << c.name;
    for (const auto& [key, value] : expected) {
      EXPECT_EQ(dense.cells().find(key), std::optional<std::string_view>(value)) << c.name << " " << key;
    }
    EXPECT_FALSE(dense.cells().contains("no.such.key.")) << c.name;
  }
}

}  // namespace
}  // namespace tabulon
