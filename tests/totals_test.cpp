#include "pivot/totals.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <clocale>
#include <cstdio>
#include <random>
#include <string>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

const std::string T = kTotalLabel;

// Runs transform on `input` with the SumOption word `sumOption` and returns
// the rows that it appended.
RowTable appendedRows(const RowTable& input, const char* measures, const char* sumOption) {
  CrossTab tab;
  PivotOptions options;
  options.setSumOption(sumOption);
  runTransform(tab, input, measures, options);
  return RowTable(tab.rows().begin() + static_cast<std::ptrdiff_t>(input.size()), tab.rows().end());
}

// A CrossTab whose measure dimension holds "V" alone, for sumGroups.
void placeMeasureV(CrossTab& tab) { runTransform(tab, {{"K", "V"}, {"k", "0"}}, "V"); }

const RowTable kExample = {{"Region", "|", "Quarter", "Amount"},
                           {"North", "", "Q1", "10"},
                           {"North", "", "Q2", "20"},
                           {"South", "", "Q1", "5.50"}};

TEST(TotalsTest, WorkedExamplePerSumOption) {
  const RowTable column = {{"North", "", T, "30"}, {"South", "", T, "5.50"}};
  const RowTable row = {{T, "", "Q1", "15.5"}, {T, "", "Q2", "20"}};
  RowTable both = column;
  both.insert(both.end(), row.begin(), row.end());
  both.push_back({T, "", T, "35.5"});
  EXPECT_EQ(appendedRows(kExample, "Amount", "SumIncRowCol"), both);
  EXPECT_EQ(appendedRows(kExample, "Amount", "SumIncCol"), column);
  EXPECT_EQ(appendedRows(kExample, "Amount", "SumIncRow"), row);
  EXPECT_TRUE(appendedRows(kExample, "Amount", "SumNone").empty());
  EXPECT_TRUE(appendedRows(kExample, "Amount", "SumIncRowCol7").empty());
  EXPECT_TRUE(appendedRows({kExample[0]}, "Amount", "SumIncRowCol").empty());
}

// The measure texts of one group, in row order, and the group's total text.
struct SumCase {
  std::vector<std::string> values;
  std::string total;
};

TEST(TotalsTest, GroupSums) {
  const SumCase cases[] = {
      {{"0.1", "0.2"}, "0.3"},       {{"1e3", "1"}, "1001"},     {{"-1", "1"}, "0"},
      {{" 7", "8kg"}, "15"},         {{"abc", "5"}, "5"},        {{"5.50"}, "5.50"},
      {{"abc"}, "abc"},              {{"", ""}, "0"},            {{"0x10", "\t+1"}, "17"},
      {{"1e", "-"}, "1"},            {{"-2.5", "0.25"}, "-2.25"}, {{"99.5", "0.5"}, "100"},
      {{"-0", "-0"}, "0"},           {{"-0.0000001", "0"}, "0"}, {{"inf", "1"}, "inf"},
      {{"1,5", "1"}, "2"},           {{"12.5", "0.0000004"}, "12.5"},
      // Each partial sum is rounded before the next row is added.
      {{"0.0000004", "0.0000004", "0.0000004", "0.0000004"}, "0.000001"},
  };
  for (const SumCase& c : cases) {
    CrossTab tab;
    placeMeasureV(tab);
    RowTable list = {{"K", "V"}};
    for (const std::string& v : c.values) list.push_back({"k", v});
    const RowTable result = tab.sumGroups(list);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[1], Row({"k", c.total})) << c.values[0];
  }
}

std::string printfText(double value) {
  std::string text(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.6f", value)) + 1, '\0');
  text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), "%.6f", value)));
  while (!text.empty() && text.back() == '0') {
    text.pop_back();
    if (!text.empty() && text.back() == '.') {
      text.pop_back();
      break;
    }
  }
  return text == "-0" ? "0" : text;
}

TEST(TotalsTest, WritesAsPrintfWholeAndLocaleFree) {
  const double values[] = {0.1 + 0.2,  1.0 / 128, 3.0 / 128, 2.5e-7,  123456.0000005,
                           -1234.5678, 1e300 + 1e300, DBL_MAX,  -DBL_MAX, 4.9e-324};
  auto check = [&] {
    std::string out = "stale";
    for (double v : values) {
      writeNumber(v, out);
      EXPECT_EQ(out.find(','), std::string::npos);
    }
    EXPECT_EQ(readNumber("2.5"), 2.5);
    Row total = {"1e300"};
    addToTotal(total, {"1e300"}, 0);
    EXPECT_EQ(total[0].size(), 301u);
    EXPECT_EQ(total[0][0], '2');
    total = {"1.5"};
    addToTotal(total, {" 0.25"}, 0);
    EXPECT_EQ(total[0], "1.75");
  };
  for (double v : values) {
    std::string out;
    writeNumber(v, out);
    EXPECT_EQ(out, printfText(v));
  }
  check();

  // A JVM may switch the process to a locale with a decimal comma.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 missing";
  check();
  std::setlocale(LC_ALL, saved.c_str());
}

// Random texts and values against the C library itself.
TEST(TotalsTest, AgreesWithStrtodAndPrintf) {
  std::mt19937_64 random(11);
  const char* const leads[] = {"", " ", "\t", "-", "+", " -", "0x", "."};
  const char* const tails[] = {"", "e3", "kg", "x1", ",5", "E-2", "."};
  for (int round = 0; round < 20000; ++round) {
    std::string text = leads[random() % 8];
    for (int n = static_cast<int>(random() % 18); n > 0; --n) text += char('0' + random() % 10);
    if (random() % 2) text += '.';
    for (int n = static_cast<int>(random() % 9); n > 0; --n) text += char('0' + random() % 10);
    text += tails[random() % 7];
    const double expected = std::strtod(text.c_str(), nullptr);
    const double read = readNumber(text);
    ASSERT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << text;

    // Millionths read from a text of its own length: nothing after its end
    // (a digit here) is read, and a NUL byte ends it as the end does.
    const std::string padded = text + "7";
    const std::string nul = text + std::string(1, '\0') + "5";
    int64_t whole = 0, ended = 0, cut = 0;
    const bool exact = readMicros(text, uint64_t{1} << 50, whole);
    ASSERT_EQ(readMicros(std::string_view(padded.data(), text.size()), uint64_t{1} << 50, ended),
              exact) << text;
    ASSERT_EQ(readMicros(nul, uint64_t{1} << 50, cut), exact) << text;
    if (exact) {
      ASSERT_EQ(ended, whole) << text;
      ASSERT_EQ(cut, whole) << text;
    }
    // The inline reading of plain texts reads what the general one reads,
    // and the word-wide one what the inline one reads.
    int64_t plain = 0, any = 0, word = 0;
    const bool isPlain = readPlainMicros(text, uint64_t{1} << 50, plain);
    if (isPlain) {
      ASSERT_TRUE(readAnyMicros(text, uint64_t{1} << 50, any)) << text;
      ASSERT_EQ(plain, any) << text;
    }
    const std::string wide = text + "77777777";  // what lies past a text is never read as its own
    if (readShortMicros(std::string_view(wide.data(), text.size()), wide.data() + wide.size(),
                        uint64_t{1} << 50, word)) {
      ASSERT_TRUE(isPlain) << text;
      ASSERT_EQ(word, plain) << text;
    }

    // Dyadic values hit exact ties at the seventh decimal.
    const double sign = random() % 2 ? -1.0 : 1.0;
    const double values[] = {
        sign * static_cast<double>(random() % (1u << 24)) / static_cast<double>(1u << (random() % 31)),
        sign * static_cast<double>(random() % 100000000) * std::pow(10.0, int(random() % 24) - 14),
        expected, read + 0.01 * static_cast<double>(random() % 1000)};
    for (double v : values) {
      std::string out;
      writeNumber(v, out);
      ASSERT_EQ(out, printfText(v)) << v;
    }
  }
}

// Which texts the inline reading takes itself, and the bound on both sides.
TEST(TotalsTest, PlainMicrosTakesPlainTextsWithinTheBound) {
  struct Case {
    const char* text;
    uint64_t bound;
    bool plain;  // read inline
    bool exact;  // read by the general reading
    int64_t micros;
  };
  const uint64_t big = uint64_t{1} << 62;
  const Case cases[] = {
      {"0", big, true, true, 0},
      {"-0", big, true, true, 0},
      {"5.", big, true, true, 5000000},
      {".5", big, true, true, 500000},
      {"-12.000001", big, true, true, -12000001},
      {"99999999999.9999", big, true, true, 99999999999999900},
      {"999999999999999", UINT64_MAX, false, false, 0},  // millionths past 2^64
      {"1234567890123456", big, false, false, 0},
      {"1.2345678", big, false, false, 0},
      {"0.001", 1000, true, true, 1000},
      {"0.001001", 1000, false, false, 0},
      {" 7", big, false, true, 7000000},
      {"+7", big, false, true, 7000000},
      {"7kg", big, false, true, 7000000},
      {"1.5.2", big, false, true, 1500000},
      {"", big, false, true, 0},
      {"-", big, false, true, 0},
      {"-.", big, false, true, 0},
      {"12345678", big, true, true, 12345678000000},
      {"-1234.567", big, true, true, -1234567000},
      {"9.999999", big, true, true, 9999999},
      {"12\xC3\xA9", big, false, true, 12000000},
      {"4\x7F", big, false, true, 4000000},
      {"1..5", big, false, true, 1000000},
      {"/5", big, false, true, 0},
      {":5", big, false, true, 0},
  };
  for (const Case& c : cases) {
    // The word-wide reading may read eight bytes from the first digit on.
    const std::string text = std::string(c.text) + std::string(9, '5');
    int64_t word = 0;
    if (readShortMicros(std::string_view(text.data(), std::strlen(c.text)), text.data() + text.size(),
                        c.bound, word)) {
      EXPECT_TRUE(c.plain) << c.text;
      EXPECT_EQ(word, c.micros) << c.text;
    }
    int64_t plain = 0, read = 0;
    const bool inline_ = readPlainMicros(c.text, c.bound, plain);
    EXPECT_EQ(readAnyMicros(c.text, c.bound, read), c.exact) << c.text;
    EXPECT_EQ(inline_, c.plain) << c.text;
    if (c.plain) {
      EXPECT_EQ(plain, c.micros) << c.text;
    }
    if (c.exact) {
      EXPECT_EQ(read, c.micros) << c.text;
    }
  }
}

TEST(TotalsTest, AddToTotalOutsideRowsChangesNothing) {
  Row total = {"1", "2"};
  for (int i : {-1, 2, 5}) addToTotal(total, {"1", "2", "3"}, i);
  addToTotal(total, {"1"}, 1);
  EXPECT_EQ(total, Row({"1", "2"}));
}

TEST(TotalsTest, RowsThatTakeNoPart) {
  CrossTab tab;
  placeMeasureV(tab);
  const RowTable list = {{"K", "V"},      {"a", "1"},  {"a", "2", "x"}, {"a"},
                         {"a", "4", "x"}, {"K", "V"},  {"a", "3"},      {"K", "5"},
                         {"a", "8", "y"}, {"K", "6"}};
  // Shorter rows and copies of the header are skipped; rows of different
  // lengths never share a group; a row whose key cells equal the header's
  // is summed in its own group.
  const RowTable expected = {{"K", "V"},      {"a", "4"}, {"a", "6", "x"},
                             {"K", "11"},     {"a", "8", "y"}};
  EXPECT_EQ(tab.sumGroups(list), expected);
}

TEST(TotalsTest, LabellingPasses) {
  struct Case {
    RowTable input;
    const char* sumOption;
    RowTable expected;
  };
  const Case cases[] = {
      // Hierarchical: never (合计, region).
      {{{"Year", "Region", "|", "V"}, {"1", "E", "", "1"}, {"1", "W", "", "2"}, {"2", "E", "", "4"}},
       "SumIncRow",
       {{"1", T, "", "3"}, {"2", T, "", "4"}, {T, T, "", "7"}}},
      // A total that came with the input drops out from its column on.
      {{{"Year", "Region", "|", "V"}, {"1", "E", "", "1"}, {"1", T, "", "9"}, {T, T, "", "20"}},
       "SumIncRow",
       {{"1", T, "", "1"}, {T, T, "", "1"}}},
      // A measure left of the separator is summed, never labelled; no
      // separator: every non-measure column, last to first.
      {{{"V", "A", "B"}, {"1", "a", "x"}, {"2", "a", "y"}}, "SumIncCol", {{"3", "a", T}, {"3", T, T}}},
      {{{"V", "A", "B"}, {"1", "a", "x"}, {"2", "a", "y"}}, "SumIncRow", {}},
      {{{"|", "A", "V"}, {"", "a", "1"}, {"", "b", "2"}}, "SumIncRow", {}},
      {{{"|", "A", "V"}, {"", "a", "1"}, {"", "b", "2"}}, "SumIncRowCol", {{"", T, "3"}}},
      // Only measures right of the separator: just the row totals.
      {{{"A", "|", "V"}, {"a", "", "1"}, {"b", "", "2"}}, "SumIncRowCol", {{T, "", "3"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(appendedRows(c.input, "V", c.sumOption), c.expected) << c.input[0][0];
  }
  // Without measure columns identical rows collapse and nothing is summed.
  EXPECT_EQ(appendedRows({{"A", "B"}, {"a", "1"}, {"a", "1"}, {"b", "2"}}, "V", "SumIncCol"),
            RowTable({{"a", T}, {"b", T}, {T, T}}));
}

// The totals as the straightforward quadratic algorithm computes them: a
// labelled working copy as a plain list of rows, groups found by a linear
// search.
using RowList = std::vector<Row>;

RowList referenceGroups(const CrossTab& tab, const RowList& work) {
  const Row& header = work[0];
  RowList groups;
  for (std::size_t r = 1; r < work.size(); ++r) {
    const Row& row = work[r];
    if (row.size() < header.size() || row == header) continue;
    Row* found = nullptr;
    for (Row& g : groups) {
      bool same = g.size() == row.size();
      for (std::size_t j = 0; same && j < row.size(); ++j) {
        same = (j < header.size() && tab.isMeasureName(header[j])) || g[j] == row[j];
      }
      if (same) found = &g;
      if (same) break;
    }
    if (found == nullptr) groups.push_back(row);
    for (std::size_t j = 0; found != nullptr && j < header.size(); ++j) {
      if (tab.isMeasureName(header[j])) addToTotal(*found, row, static_cast<int>(j));
    }
  }
  return groups;
}

RowList referenceTotals(const CrossTab& tab, RowList work, bool columnSide) {
  RowList out;
  const Row header = work[0];
  const int s = findSeparatorColumn(header, tab.options().separate);
  const int first = columnSide ? static_cast<int>(header.size()) - 1 : s - 1;
  const int last = columnSide ? s + 1 : 0;
  for (int c = first; c >= last; --c) {
    if (tab.isMeasureName(header[c])) continue;
    for (std::size_t r = 1; r < work.size(); ++r) {
      Row& row = work[r];
      if (row.size() < header.size() || row == header) continue;
      if (row[c] == T) row.clear();
      else row[c] = T;
    }
    RowList g = referenceGroups(tab, work);
    out.insert(out.end(), g.begin(), g.end());
  }
  return out;
}

TEST(TotalsTest, MatchesQuadraticReferenceOnRandomTables) {
  std::mt19937 random(7);
  // Two of the three pools hold only texts that are whole millionths, which
  // the passes add up group by group instead of row by row as long as the
  // magnitudes stay small enough; the large ones cross that bound.
  const char* const anyTexts[] = {"a",         "b",          T.c_str(), "1",  "0.5",
                                  "0.0000004", "-0.0000003", "1e300",   "-0", "1e-7"};
  const char* const exactTexts[] = {"a", "b", T.c_str(), "1", "0.5", "12.25", "-3", "", "7.000001", "-0"};
  const char* const largeTexts[] = {"a",           "b",          T.c_str(), "999999999.999999",
                                    "0.000001",    "-123456789.654321",     "100000000.5",
                                    "-0.000003",   "1e3",        "31.4"};
  // Whole millionths whose sums pass the bound in large groups only.
  const char* const mixedTexts[] = {"a", "b", T.c_str(), "300000000.25", "-299999999.75",
                                    "0.000001", "12.5", "", "400000000", "-0"};
  const char* const* const pools[] = {anyTexts, exactTexts, largeTexts, mixedTexts};
  for (int round = 0; round < 800; ++round) {
    const char* const* texts = pools[(round / 4) % 4];
    const char* const measures = round % 4 >= 2 ? "V,D" : "V";
    Row header = {"A", "B", "|", "C", "V", "D"};
    if (round % 5 == 0) header[1] = T;  // relabelled rows may copy the header
    if (round % 3 == 0) header[4] = T;
    RowTable input;
    // Half the rounds store the measure texts apart, as the readers do.
    if (round % 2 == 1) {
      input.setValueColumns(round % 4 >= 2 ? std::vector<std::string>{"V", "D"}
                                           : std::vector<std::string>{"V"});
    }
    input.push_back(header);
    int count = 1 + static_cast<int>(random() % (texts == mixedTexts ? 80 : 30));
    if (round % 50 == 7) count = 700;  // rows read block by block: more than one block
    // Some rounds have rows all as long as the header, whose keys come from
    // two or three texts: their rows repeat keys, which are grouped as they
    // are read.
    const bool repeating = round % 6 == 1;
    if (repeating && count < 700) count += 60;
    for (int r = 0; r < count; ++r) {
      Row row;
      // Rows longer than the header make keys that no key grid holds: half
      // the rounds have none.
      const std::size_t length = repeating ? header.size() : 5 + random() % (round % 8 < 4 ? 3 : 2);
      for (std::size_t j = 0; j < length; ++j) {
        row.push_back(texts[random() % (repeating && j < 4 ? (j == 0 ? 3 : 2) : 10)]);
      }
      if (r % 7 == 3) row = input[0];
      if (r % 7 == 5) row = input[0], row[1] = texts[random() % 10];
      input.push_back(row);
    }
    // Every total the transform appends, in its order.
    CrossTab tab;
    PivotOptions options;
    options.sumOption = SumOption::kBoth;
    runTransform(tab, input, measures, options);
    RowTable expected = input;
    const RowList inputList(input.begin(), input.end());
    const RowList columnTotals = referenceTotals(tab, inputList, true);
    expected.insert(expected.end(), columnTotals.begin(), columnTotals.end());
    const RowList rowTotals = referenceTotals(tab, inputList, false);
    expected.insert(expected.end(), rowTotals.begin(), rowTotals.end());
    RowList cornerInput = {input[0]};
    cornerInput.insert(cornerInput.end(), columnTotals.begin(), columnTotals.end());
    const RowList corner = referenceTotals(tab, cornerInput, false);
    expected.insert(expected.end(), corner.begin(), corner.end());
    ASSERT_EQ(tab.rows(), expected) << "round " << round;
    // sumGroups on its own.
    RowTable groups = {input[0]};
    const RowList found = referenceGroups(tab, inputList);
    groups.insert(groups.end(), found.begin(), found.end());
    ASSERT_EQ(tab.sumGroups(input), groups) << "round " << round;
  }
}

}  // namespace
}  // namespace tabulon
