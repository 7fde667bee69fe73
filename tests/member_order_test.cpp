#include "pivot/member_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pivot/cross_tab.h"

namespace tabulon {
namespace {

std::string names(const std::vector<const DimNode*>& members) {
  std::string out;
  for (const DimNode* m : members) {
    if (!out.empty()) out += ",";
    out += std::string(m->name());
  }
  return out;
}

// Adds the comma-separated `children` below `parent`.
void addChildren(DimNode* parent, const std::string& children) {
  std::vector<std::string> items;
  split(children, ",", items);
  for (const std::string& item : items) parent->getOrAddChild(item);
}

TEST(MemberSortKeyTest, ReplacesEveryTableCharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {"十二月", "A2月"}, {"一季度", "1季度"}, {"东区", "F0区"},   {"2019年", "2019年"},
      {"廿一日", "B1日"}, {"东南", "F0F1"},    {"零卅", "0C"},      {"春夏秋冬", "E0E1E2E3"},
      {"左前上中下后右", "G0G1G2G3G4G5G6"},    {"", ""},            {"\xE4\xB8", "\xE4\xB8"},
      {"\xE4\xE4\xB8\x80", "\xE4" "1"},        {"西北风", "F2F3风"},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(memberSortKey(name), key) << name;
}

TEST(MemberSortKeyTest, TableHas28DistinctAsciiKeys) {
  std::string key;
  for (const OrdinalKey& entry : ordinalKeyTable) {
    EXPECT_EQ(std::string(entry.word).size(), 3u);
    for (const OrdinalKey& other : ordinalKeyTable) {
      EXPECT_EQ(std::string(other.key).find(entry.word), std::string::npos);
    }
    // The one-pass key equals applying replaceAll for every entry.
    key += entry.word;
  }
  std::string slow = key + "x" + key;
  for (const OrdinalKey& entry : ordinalKeyTable) replaceAll(slow, entry.word, entry.key);
  EXPECT_EQ(memberSortKey(key + "x" + key), slow);
}

TEST(ReplaceAllTest, SearchesFromTheStartAfterEachReplacement) {
  struct Case {
    std::string text, from, to, result;
  };
  const Case cases[] = {
      {"aab", "ab", "b", "b"},
      {"一一", "一", "1", "11"},
      {"abc", "", "x", "abc"},
      {"aa", "a", "aa", "aaaa"},  // a replacement holding the word: one pass
  };
  for (Case c : cases) {
    replaceAll(c.text, c.from, c.to);
    EXPECT_EQ(c.text, c.result);
  }
}

struct OrderCase {
  std::string children;
  std::string axis;
  std::string rowColSort;
  std::string gridFrame;
  SumPos sumPos;
  std::string expected;
};

constexpr SumPos kFirst = SumPos::kFirst;
constexpr SumPos kLast = SumPos::kLast;

// A CrossTab whose orderedMembers follow `options`: a transform of no rows
// takes the options and builds nothing.
void takeOptions(CrossTab& tab, const PivotOptions& options) { tab.transform(RowTable(), options); }

TEST(OrderedMembersTest, SortingRulesPerAxis) {
  const OrderCase cases[] = {
      {"十月,十二月,一月,二月,十一月", "Col", "", "", kFirst, "一月,二月,十一月,十二月,十月"},
      {"冬,秋,春,夏", "COL", "", "", kFirst, "春,夏,秋,冬"},
      {"北,西,南,东", "Col", "", "", kFirst, "东,南,西,北"},
      {"右,中,左", "Col", "", "", kFirst, "左,中,右"},
      {"9,10,apple,Apple,汉,一月", "Col", "", "", kFirst, "10,一月,9,Apple,apple,汉"},
      // Columns are not sorted under a layout; rows only with "Row".
      {"b,a", "Col", "", "row:[],col:[x]", kFirst, "b,a"},
      {"b,a", "Col", "RowSort", "", kFirst, "a,b"},
      {"b,a", "Row", "", "", kFirst, "b,a"},
      {"b,a", "Row", "ColSort", "", kFirst, "b,a"},
      {"b,a", "Row", "RowSort", "row:[],col:[x]", kFirst, "a,b"},
      {"b,a", "Row", "xRowx", "", kFirst, "a,b"},
      {"b,a", "row", "", "", kFirst, "a,b"},  // not exactly "Row": column rule
      // The total member goes first or last, sorted or not.
      {"北,合计,东", "Col", "", "", kLast, "东,北,合计"},
      {"北,合计,东", "Col", "", "", kFirst, "合计,东,北"},
      {"b,合计,a", "Row", "", "", kLast, "b,a,合计"},
      {"b,合计,a", "Row", "", "", kFirst, "合计,b,a"},
  };
  for (const OrderCase& c : cases) {
    CrossTab tab;
    PivotOptions options;
    options.setRowColSort(c.rowColSort);
    options.gridFrame = c.gridFrame;
    options.sumPos = c.sumPos;
    takeOptions(tab, options);
    DimNode parent("p");
    addChildren(&parent, c.children);
    EXPECT_EQ(names(tab.orderedMembers(&parent, 1, c.axis)), c.expected)
        << c.children << " " << c.axis << " " << c.rowColSort;
  }
}

TEST(OrderedMembersTest, DepthsOrderEachSiblingGroup) {
  CrossTab tab;
  PivotOptions options;
  options.sumPos = SumPos::kLast;
  takeOptions(tab, options);
  DimNode top("top");
  addChildren(top.getOrAddChild("2021"), "Q2,合计,Q1");
  addChildren(top.getOrAddChild("2020"), "Q4,Q3");
  top.getOrAddChild("合计");
  EXPECT_EQ(names(tab.orderedMembers(&top, 0, "Col")), "top");
  EXPECT_EQ(names(tab.orderedMembers(&top, 1, "Col")), "2020,2021,合计");
  EXPECT_EQ(names(tab.orderedMembers(&top, 2, "Col")), "Q3,Q4,Q1,Q2,合计");
  EXPECT_EQ(names(tab.orderedMembers(&top, 3, "Col")), "");
  DimNode leaf("leaf");
  EXPECT_TRUE(tab.orderedMembers(&leaf, 1, "Col").empty());
  // The tree itself is never reordered.
  EXPECT_EQ(top.children()[0]->name(), "2021");
}

}  // namespace
}  // namespace tabulon
