#include "request/options.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/memory_budget.h"

namespace tabulon {
namespace {

// The option text that the library's usage message offers.
constexpr char kUsageOptions[] =
    "SumOption=SumNone/SumIncRow/SumIncCol/SunIncRowCol&SumPos=SumFirst/SumLast&"
    "RowColSort=ColSort/RowSort&Separate=|/||/$&Measures=ma,mb&GridFrame=[]";

TEST(OptionValueTest, FindsTheFirstPlainSubstring) {
  struct Case {
    std::string text, key, value;
  };
  const Case cases[] = {
      {"", "Measures", ""},
      {"Measures=a,b", "Measures", "a,b"},
      {"Measures=a,b&", "Measures", "a,b"},
      {"Measures=", "Measures", ""},
      {"Measures=&SumPos=SumLast", "Measures", ""},
      {"SumPos=SumLast&SumOption=SumIncCol", "SumOption", "SumIncCol"},
      // First occurrence wins.
      {"SumPos=SumFirst&SumPos=SumLast", "SumPos", "SumFirst"},
      // Found inside a longer key and inside another pair's value.
      {"XSumPos=SumLast", "SumPos", "SumLast"},
      {"GridFrame=Measures=x&Measures=y", "Measures", "x"},
      // A value may hold "=" but ends at the first "&".
      {"GridFrame=a=b&c", "GridFrame", "a=b"},
      // Nothing is trimmed or decoded.
      {"Measures= a + b%2C ", "Measures", " a + b%2C "},
      {"Measures=ma,mb\r\n", "Measures", "ma,mb\r\n"},
      // Keys are case-sensitive; "=" must follow the key.
      {"measures=a", "Measures", ""},
      {"Measures a&Measures", "Measures", ""},
      {"Separate=&Measures=a", "Separate", ""},
      {"Separate=&Measures=a", "Measures", "a"},
      // Bytes outside ASCII and NUL are ordinary bytes.
      {std::string("Measures=\xE9\x94\x80\0x&", 14), "Measures", std::string("\xE9\x94\x80\0x", 5)},
      {kUsageOptions, "SumOption", "SumNone/SumIncRow/SumIncCol/SunIncRowCol"},
      {kUsageOptions, "GridFrame", "[]"},
      {kUsageOptions, "Separate", "|/||/$"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(optionValue(c.text, c.key), c.value) << "text: " << c.text << " key: " << c.key;
  }
}

// The engine's options of a request text, but the measures.
struct Applied {
  SumOption sumOption;
  SumPos sumPos;
  bool rowSort;
  std::string separate;
  std::string gridFrame;
};

Applied applyText(const std::string& text) {
  const PivotOptions options = pivotOptions(readOptions(text));
  return {options.sumOption, options.sumPos, options.rowSort, options.separate, options.gridFrame};
}

TEST(PivotOptionsTest, WordsTextsAndConditions) {
  constexpr SumOption kNone = SumOption::kNone, kRows = SumOption::kRows;
  constexpr SumOption kColumns = SumOption::kColumns, kBoth = SumOption::kBoth;
  constexpr SumPos kFirst = SumPos::kFirst, kLast = SumPos::kLast;
  struct Case {
    std::string text;
    Applied expected;
  };
  const std::string ten = "row:[],col";    // 10 bytes: not applied
  const std::string eleven = "row:[],col:";  // 11 bytes: applied
  ASSERT_EQ(ten.size(), 10u);
  ASSERT_EQ(eleven.size(), 11u);
  const Case cases[] = {
      {"", {kNone, kFirst, false, "|", ""}},
      {kUsageOptions, {kNone, kFirst, true, "|/||/$", ""}},
      // Words are compared whole: a prefix of another word is its own word.
      {"SumOption=SumIncRowCol", {kBoth, kFirst, false, "|", ""}},
      {"SumOption=SumIncRow", {kRows, kFirst, false, "|", ""}},
      {"SumOption=SumIncCol", {kColumns, kFirst, false, "|", ""}},
      {"SumOption=SumNone", {kNone, kFirst, false, "|", ""}},
      {"SumOption=SumIncRowColX", {kNone, kFirst, false, "|", ""}},
      {"SumOption=sumincrow", {kNone, kFirst, false, "|", ""}},
      {"SumOption=SumIncRow ", {kNone, kFirst, false, "|", ""}},
      {"SumPos=SumLast&SumOption=SumIncCol", {kColumns, kLast, false, "|", ""}},
      {"SumPos=SumFirst", {kNone, kFirst, false, "|", ""}},
      {"SumPos=Last", {kNone, kFirst, false, "|", ""}},
      // Rows are sorted when the RowColSort text contains "Row".
      {"RowColSort=RowSort", {kNone, kFirst, true, "|", ""}},
      {"RowColSort=ColSort", {kNone, kFirst, false, "|", ""}},
      {"RowColSort=SortRows", {kNone, kFirst, true, "|", ""}},
      {"RowColSort=rowsort", {kNone, kFirst, false, "|", ""}},
      // An empty Separate keeps "|"; any other text is stored unchanged.
      {"Separate=", {kNone, kFirst, false, "|", ""}},
      {"Separate=&Measures=a", {kNone, kFirst, false, "|", ""}},
      {"Separate= $ ", {kNone, kFirst, false, " $ ", ""}},
      // GridFrame: applied only when longer than 10 bytes.
      {"GridFrame=[]", {kNone, kFirst, false, "|", ""}},
      {"GridFrame=" + ten, {kNone, kFirst, false, "|", ""}},
      {"GridFrame=" + eleven, {kNone, kFirst, false, "|", eleven}},
      {"GridFrame=row:[R],col:[a[x,y],b]&Separate=$",
       {kNone, kFirst, false, "$", "row:[R],col:[a[x,y],b]"}},
  };
  for (const Case& c : cases) {
    const Applied got = applyText(c.text);
    EXPECT_EQ(got.sumOption, c.expected.sumOption) << c.text;
    EXPECT_EQ(got.sumPos, c.expected.sumPos) << c.text;
    EXPECT_EQ(got.rowSort, c.expected.rowSort) << c.text;
    EXPECT_EQ(got.separate, c.expected.separate) << c.text;
    EXPECT_EQ(got.gridFrame, c.expected.gridFrame) << c.text;
  }
}

// The Measures value as the engine receives it: a comma list whose last
// piece loses its line end.
TEST(MeasuresOptionTest, ReachesTheEngineAsAList) {
  struct Case {
    std::string text;
    std::vector<std::string> measures;
  };
  const Case cases[] = {
      {"Measures=ma,mb\r\n", {"ma", "mb"}},
      {"Measures=ma,mb\r\n&SumPos=SumLast", {"ma", "mb"}},
      {"Measures=a,,b", {"a", "", "b"}},
      {"Measures=ma,", {"ma", ""}},
      {"Measures=ma,mb,ma", {"ma", "mb"}},
      {"Measures= ma", {" ma"}},
      {"Measures=a,b&", {"a", "b"}},
      {"Measures=", {}},
      {"measures=ma", {}},
      {kUsageOptions, {"ma", "mb"}},
  };
  for (const Case& c : cases) {
    CrossTab tab;
    tab.transform({{"A", "|", "C", "ma", "mb"}, {"a", "|", "c", "1", "2"}},
                  pivotOptions(readOptions(c.text)));
    std::vector<std::string> names;
    for (const DimNode* child : tab.measureDimension()->children()) {
      names.emplace_back(child->name());
    }
    EXPECT_EQ(names, c.measures) << c.text;
  }
}

// Option text of any content is never an error: every value read is a
// piece of the text and the separator text is never empty.
TEST(OptionsRobustnessTest, ArbitraryTextGivesDefinedValues) {
  const std::vector<std::string> pieces = {
      "Measures=", "SumOption=", "SumPos=", "Separate=", "GridFrame=", "RowColSort=",
      "SumIncRow", "SumLast",   "&",       "=",         "a,",         "\r\n",
      std::string(1, '\0'),     "\xFF",    "row:[",     "]",          "Col"};
  std::mt19937 random(20240607);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    const RequestOptions values = readOptions(text);
    for (const std::string* value : {&values.measures, &values.sumOption, &values.sumPos,
                                     &values.rowColSort, &values.separate, &values.gridFrame}) {
      EXPECT_NE(text.find(*value), std::string::npos) << text;
      EXPECT_EQ(value->find('&'), std::string::npos) << text;
    }
    EXPECT_FALSE(applyText(text).separate.empty()) << text;
  }
}

TEST(MemoryLimitOptionTest, BytesOrPowersOf1024) {
  struct Case {
    std::string value;
    std::optional<std::uint64_t> bytes;
  };
  const Case cases[] = {
      {"0", 0},
      {"1048576", 1048576},
      {"64K", 65536},
      {"3M", 3145728},
      {"2G", 2147483648},
      {"18446744073709551615", 18446744073709551615ULL},
      {"16777215G", 18014397435740160ULL},
      {"", std::nullopt},
      {"K", std::nullopt},
      {"18446744073709551616", std::nullopt},  // one past 2^64 - 1
      {"17179869184G", std::nullopt},          // 2^64 bytes
      {"64k", std::nullopt},
      {"64KB", std::nullopt},
      {" 64", std::nullopt},
      {"-1", std::nullopt},
      {"1.5G", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parseMemoryLimit(c.value), c.bytes) << c.value;
  EXPECT_EQ(requestMemoryLimit("Measures=a&MemoryLimit=5M&SumPos=SumLast"), 5u << 20);
  EXPECT_EQ(requestMemoryLimit("MemoryLimit=lots"), defaultMemoryLimit());
  EXPECT_TRUE(readOptions("MemoryLimit=").hasMemoryLimit);
  EXPECT_FALSE(readOptions("Memory=1").hasMemoryLimit);
}

}  // namespace
}  // namespace tabulon
