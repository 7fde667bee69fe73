#include "pivot/cell_map.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "pivot/memory_budget.h"

namespace tabulon {
namespace {

std::vector<std::pair<std::string, std::string>> contents(const CellMap& cells) {
  std::vector<std::pair<std::string, std::string>> out;
  cells.forEach([&](std::string_view k, std::string_view v) { out.emplace_back(k, v); });
  return out;
}

TEST(CellMapTest, LastValueWinsAndIterationSkipsReplacedOnes) {
  CellMap cells;
  EXPECT_TRUE(cells.empty());
  EXPECT_FALSE(cells.find("a.").has_value());
  cells.insert_or_assign("a.", "1");
  cells.insert_or_assign("", "");
  cells.insert_or_assign("b.", "2");
  cells.insert_or_assign("a.", "3");
  EXPECT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells.at("a."), "3");
  EXPECT_EQ(cells.at(""), "");
  EXPECT_TRUE(cells.contains(""));
  EXPECT_THROW(cells.at("c."), std::out_of_range);
  cells.insert_or_assign("b.", "4");  // replaced after a read
  EXPECT_EQ(contents(cells), (std::vector<std::pair<std::string, std::string>>{
                                 {"", ""}, {"a.", "3"}, {"b.", "4"}}));
  cells.clear();
  EXPECT_EQ(cells.size(), 0u);
  EXPECT_TRUE(contents(cells).empty());
}

// Many inserts, duplicates included, growing the key table at every size
// and load: the map must equal an ordered map fed the same way.
TEST(CellMapTest, BulkInsertsMatchAnOrderedMap) {
  for (int count : {10, 5000, 300000}) {
    CellMap cells;
    std::map<std::string, std::string> expected;
    if (count == 5000) cells.reserve(100);  // grows while entering
    for (int i = 0; i < count; ++i) {
      const std::string key = "k" + std::to_string((i * 7919LL) % (count / 2 + 1)) + ".";
      const std::string value(static_cast<std::size_t>(i % 40), static_cast<char>('a' + i % 26));
      cells.insert_or_assign(key, value);
      expected[key] = value;
    }
    ASSERT_EQ(cells.size(), expected.size()) << count;
    for (const auto& [key, value] : expected) ASSERT_EQ(cells.at(key), value) << key;
    std::map<std::string, std::string> seen;
    cells.forEach([&](std::string_view k, std::string_view v) {
      EXPECT_TRUE(seen.emplace(k, v).second);
    });
    EXPECT_EQ(seen, expected);
  }
}

TEST(CellMapTest, LargeRecordsGetTheirOwnChunk) {
  CellMap cells;
  const std::string big(3 << 20, 'v');
  cells.insert_or_assign("small.", "1");
  cells.insert_or_assign("big.", big);
  cells.insert_or_assign("after.", "2");
  EXPECT_EQ(cells.at("big."), big);
  EXPECT_EQ(cells.at("after."), "2");
  EXPECT_EQ(cells.at("small."), "1");
}

// A charge that fails while a value is stored leaves the map as it was
// before that call: every key it holds is found, once, with its value.
TEST(CellMapTest, FailedChargeLeavesTheMapWhole) {
  CellMap cells;
  std::map<std::string, std::string> expected;
  {
    MemoryBudget budget(64 << 10);
    try {
      for (int i = 0;; ++i) {
        const std::string key = "k" + std::to_string(i % 700) + ".";
        const std::string value(static_cast<std::size_t>(i % 50), 'v');
        cells.insert_or_assign(key, value);
        expected[key] = value;
      }
    } catch (const MemoryLimitExceeded&) {
    }
  }
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(cells.size(), expected.size());
  std::map<std::string, std::string> seen;
  cells.forEach([&](std::string_view k, std::string_view v) { EXPECT_TRUE(seen.emplace(k, v).second); });
  EXPECT_EQ(seen, expected);
  for (const auto& [key, value] : expected) EXPECT_EQ(cells.at(key), value) << key;
}

}  // namespace
}  // namespace tabulon
