// Aggregate option: every cell and total against a reference that groups the
// data rows of random detail tables by hand.
#include "pivot/aggregate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

const std::string T = kTotalLabel;

// A value text and its number in hundredths; `empty` for SQL NULL.
struct Value {
  std::string text;
  long cents = 0;
  bool empty = false;
};

Value randomValue(std::mt19937& random) {
  const int kind = static_cast<int>(random() % 6);
  if (kind == 0) return {"", 0, true};
  const long cents = static_cast<long>(random() % 4001) - 2000;
  char text[32];
  if (kind == 1 && cents % 100 == 0) {
    std::snprintf(text, sizeof text, "%ld", cents / 100);
  } else {
    std::snprintf(text, sizeof text, "%s%ld.%02ld", cents < 0 ? "-" : "", std::labs(cents) / 100,
                  std::labs(cents) % 100);
  }
  return {text, cents, false};
}

// n / 10^6 written plainly: trailing zeros and a bare point dropped.
std::string microText(long long micros) {
  if (micros == 0) return "0";
  std::string text = std::to_string(std::llabs(micros) / 1000000);
  long long fraction = std::llabs(micros) % 1000000;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 6 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return micros < 0 ? "-" + text : text;
}

std::string reference(Aggregate kind, const std::vector<const Value*>& values) {
  if (kind == Aggregate::kCount) return std::to_string(values.size());
  std::vector<const Value*> present;
  for (const Value* v : values) {
    if (!v->empty) present.push_back(v);
  }
  if (present.empty()) return "";
  if (present.size() == 1) return present[0]->text;
  long sum = 0, low = present[0]->cents, high = low;
  for (const Value* v : present) {
    sum += v->cents;
    low = std::min(low, v->cents);
    high = std::max(high, v->cents);
  }
  switch (kind) {
    case Aggregate::kSum: return microText(sum * 10000LL);
    case Aggregate::kMin: return microText(low * 10000LL);
    case Aggregate::kMax: return microText(high * 10000LL);
    default:
      return microText(std::llround(static_cast<long double>(sum) * 10000 / present.size()));
  }
}

struct DetailRow {
  std::string r1, r2, c1;
  Value amount, cost;
};

// The key of a cell: the member (or "合计") of each dimension and the measure.
std::string keyOf(const std::string& r1, const std::string& r2, const std::string& c1,
                  const std::string& measure) {
  return r1 + "." + r2 + "." + c1 + "." + measure + ".";
}

void checkTable(Aggregate kind, const char* word, const char* sumOption, const char* sumPos,
                const std::vector<DetailRow>& data) {
  CrossTab tab;
  PivotOptions options;
  options.setAggregate(word);
  options.setSumOption(sumOption);
  options.setSumPos(sumPos);
  RowTable table;
  table.push_back({"R1", "R2", "|", "C1", "Amount", "Cost"});
  for (const DetailRow& d : data) table.push_back({d.r1, d.r2, "", d.c1, d.amount.text, d.cost.text});
  runTransform(tab, std::move(table), "Amount,Cost", options);

  const bool rowTotals = options.sumOption == SumOption::kRows || options.sumOption == SumOption::kBoth;
  const bool columnTotals =
      options.sumOption == SumOption::kColumns || options.sumOption == SumOption::kBoth;
  // Every cell the options make, with the rows it covers.
  std::map<std::string, std::pair<std::vector<const Value*>, std::vector<const Value*>>> cells;
  for (const DetailRow& d : data) {
    std::vector<std::pair<std::string, std::string>> rowKeys = {{d.r1, d.r2}};
    if (rowTotals) rowKeys.insert(rowKeys.end(), {{d.r1, T}, {T, T}});
    std::vector<std::string> columnKeys = {d.c1};
    if (columnTotals) columnKeys.push_back(T);
    for (const auto& [r1, r2] : rowKeys) {
      for (const std::string& c1 : columnKeys) {
        auto& cell = cells[keyOf(r1, r2, c1, "")];
        cell.first.push_back(&d.amount);
        cell.second.push_back(&d.cost);
      }
    }
  }
  for (const auto& [key, rows] : cells) {
    const std::string prefix = key.substr(0, key.size() - 1);
    const auto amount = tab.cells().find(prefix + "Amount.");
    const auto cost = tab.cells().find(prefix + "Cost.");
    ASSERT_TRUE(amount && cost) << word << " " << sumOption << " " << key;
    EXPECT_EQ(*amount, reference(kind, rows.first)) << word << " " << sumOption << " " << key;
    EXPECT_EQ(*cost, reference(kind, rows.second)) << word << " " << sumOption << " " << key;
  }
  EXPECT_EQ(tab.cells().size(), 2 * cells.size()) << word << " " << sumOption;
}

TEST(AggregateTest, EveryCellAndTotalAgainstAReference) {
  const struct {
    Aggregate kind;
    const char* word;
  } kinds[] = {{Aggregate::kSum, "Sum"}, {Aggregate::kCount, "Count"}, {Aggregate::kMin, "Min"},
               {Aggregate::kMax, "Max"}, {Aggregate::kAvg, "Avg"}};
  std::mt19937 random(20261209);
  for (int round = 0; round < 6; ++round) {
    std::vector<DetailRow> data;
    const int rows = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < rows; ++i) {
      data.push_back({std::string(1, static_cast<char>('a' + random() % 3)),
                      std::string(1, static_cast<char>('x' + random() % 2)),
                      "Q" + std::to_string(random() % 3), randomValue(random), randomValue(random)});
    }
    for (const auto& k : kinds) {
      for (const char* sumOption : {"SumNone", "SumIncRow", "SumIncCol", "SumIncRowCol"}) {
        checkTable(k.kind, k.word, sumOption, round % 2 ? "SumLast" : "SumFirst", data);
      }
    }
  }
}

TEST(AggregateTest, States) {
  struct Case {
    const char* word;
    std::vector<std::string> texts;
    std::string expected;
  };
  const Case cases[] = {
      {"Sum", {"0.1", "0.2"}, "0.3"},          {"Sum", {"-0.5", "0.5"}, "0"},
      {"Sum", {"5.50"}, "5.50"},               {"Sum", {"", "5.50", ""}, "5.50"},
      {"Sum", {"", ""}, ""},                   {"Count", {"", ""}, "2"},
      {"Sum", {"1e3", "abc"}, "1000"},         {"Min", {"-1e-9", "3"}, "0"},
      {"Max", {"1.2345678", "1"}, "1.234568"}, {"Avg", {"1", "2", "2"}, "1.666667"},
      {"Avg", {"-1", "-2"}, "-1.5"},           {"Sum", {"1e300", "1e300"}, std::string()},
  };
  for (const Case& c : cases) {
    RowTable table;
    table.push_back({"R", "|", "V"});
    for (const std::string& text : c.texts) table.push_back({"a", "", text});
    CrossTab tab;
    PivotOptions options;
    options.setAggregate(c.word);
    runTransform(tab, std::move(table), "V", options);
    const auto value = tab.cells().find("a.V.");
    ASSERT_TRUE(value) << c.word;
    if (c.expected.empty() && c.texts.size() == 2 && c.texts[0] == "1e300") {
      EXPECT_EQ(value->size(), 301u) << *value;  // 2e300 written whole
    } else {
      EXPECT_EQ(*value, c.expected) << c.word << " " << c.texts.size();
    }
  }
}

TEST(AggregateTest, UnknownWordKeepsTheLastRow) {
  for (const char* word : {"", "sum", "Total", "Sum "}) {
    CrossTab tab;
    PivotOptions options;
    options.setAggregate(word);
    runTransform(tab, {{"R", "|", "V"}, {"a", "", "1"}, {"a", "", "2"}}, "V", options);
    EXPECT_EQ(tab.cells().at("a.V."), "2") << word;
  }
}

}  // namespace
}  // namespace tabulon
