// The row store against a plain list of lists, on random tables, ragged
// and of one row length: rows shorter and longer than the header, empty
// texts, repeated texts and long texts that share their first 49 bytes.
#include "pivot/row_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "pivot/cross_tab.h"
#include "pivot/cut_ids.h"
#include "pivot/dim_node.h"
#include "pivot/labels.h"
#include "pivot/text_table_reader.h"
#include "transform_helpers.h"

namespace tabulon {
namespace {

using RowList = std::vector<Row>;

// A random table: a few texts per column, repeated, with lengths around
// the 49-byte cut.
RowList randomRows(std::mt19937& random) {
  const std::string longA(49, 'x');
  const std::string pool[] = {"", "a", "b", "合计", "1.5", longA + "1", longA + "2", longA, "a b"};
  RowList rows(1 + random() % 40);
  const std::size_t width = random() % 6;
  // A third of the tables have rows of one length only, which the store
  // keeps without per-row ends until a row of another length comes.
  const bool ragged = random() % 3 != 0;
  for (Row& row : rows) {
    const std::size_t length = ragged && random() % 4 == 0 ? random() % 9 : width;
    for (std::size_t j = 0; j < length; ++j) row.push_back(pool[random() % 9]);
  }
  return rows;
}

void expectSame(const RowTable& table, const RowList& model, int round) {
  ASSERT_EQ(table.size(), model.size()) << round;
  for (std::size_t r = 0; r < model.size(); ++r) {
    ASSERT_EQ(table[r].size(), model[r].size()) << round << " row " << r;
    for (std::size_t j = 0; j < model[r].size(); ++j) {
      ASSERT_EQ(table[r][j], model[r][j]) << round << " row " << r;
      // One number per distinct text of a column, but for value columns.
      if (table.column(j).storesEveryText()) continue;
      ASSERT_EQ(table.find(j, model[r][j]), table[r].id(j)) << round;
    }
    ASSERT_EQ(Row(table[r]), model[r]) << round;
  }
}

// Rows of text numbers written in place, as the batched reader writes them.
void appendIdRows(RowTable& table, const std::vector<uint32_t>& ids,
                  const std::vector<std::size_t>& lengths) {
  std::copy(ids.begin(), ids.end(), table.idRowSpace(ids.size()));
  table.addIdRows(lengths.data(), lengths.size());
}

TEST(RowTableTest, AgreesWithListOfLists) {
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    const RowList model = randomRows(random);
    RowTable one;  // row by row
    RowTable batch;  // in batches
    RowTable numbered;  // in batches of text numbers
    std::vector<std::string_view> cells;
    std::vector<std::size_t> lengths;
    std::vector<uint32_t> ids;
    for (const Row& row : model) {
      const std::vector<std::string_view> views(row.begin(), row.end());
      appendRow(one, views.data(), views.size());
      cells.insert(cells.end(), views.begin(), views.end());
      for (std::size_t j = 0; j < row.size(); ++j) ids.push_back(numbered.intern(j, row[j]));
      lengths.push_back(views.size());
      if (random() % 3 == 0) {
        batch.appendRows(cells.data(), lengths.data(), lengths.size());
        appendIdRows(numbered, ids, lengths);
        cells.clear();
        ids.clear();
        lengths.clear();
      }
    }
    batch.appendRows(cells.data(), lengths.data(), lengths.size());
    appendIdRows(numbered, ids, lengths);
    expectSame(one, model, round);
    expectSame(batch, model, round);
    EXPECT_TRUE(one == batch);
    expectSame(numbered, model, round);

    // Value columns (header "a", "1.5" or a long text cut alike) hold every
    // text apart; rows still compare by their texts.
    RowTable values;
    values.setValueColumns({"a", "1.5", std::string(49, 'x') + "9"});
    if (!model.empty()) {
      lengths.assign(1, model[0].size());
      const std::vector<std::string_view> header(model[0].begin(), model[0].end());
      values.appendRows(header.data(), lengths.data(), 1);
    }
    for (std::size_t r = 1; r < model.size(); ++r) {
      const std::vector<std::string_view> views(model[r].begin(), model[r].end());
      appendRow(values, views.data(), views.size());
    }
    expectSame(values, model, round);
    for (std::size_t a = 0; a < model.size(); ++a) {
      for (std::size_t b = 0; b < model.size(); ++b) {
        ASSERT_EQ(values[a] == values[b], model[a] == model[b]) << round;
      }
    }

    // Copies of rows, from this table and from another.
    RowTable copy = one;
    RowList grown = model;
    for (std::size_t r = 0; r < model.size(); r += 3) {
      copy.push_back(copy[r]);
      copy.push_back(batch[r]);
      grown.push_back(model[r]);
      grown.push_back(model[r]);
    }
    expectSame(copy, grown, round);
    expectSame(one, model, round);  // the source is untouched

    // Cut numbers: equal exactly when the first 49 bytes are.
    CutIds cuts;
    cuts.reset(one);
    for (std::size_t a = 0; a < model.size(); ++a) {
      for (std::size_t b = 0; b < model.size(); ++b) {
        const std::size_t n = std::min(model[a].size(), model[b].size());
        for (std::size_t j = 0; j < n; ++j) {
          const bool same = DimNode::cutName(model[a][j]) == DimNode::cutName(model[b][j]);
          ASSERT_EQ(cuts.of(j, one[a].id(j)) == cuts.of(j, one[b].id(j)), same) << round;
        }
      }
    }
  }
}

// Batches of rows given by their lengths: the rows keep their lengths and
// numbers across the change from rows of one length to rows of several,
// wherever in a batch it comes, also after empty batches and empty rows.
TEST(RowTableTest, BatchesKeepEachRowsLength) {
  const std::vector<std::vector<std::vector<std::size_t>>> cases = {
      {{}, {3, 3}, {3, 3, 4}, {3}},
      {{3, 3}, {}, {2}, {3, 3}},
      {{0, 0}, {0, 3}, {3}},
      {{5, 2, 5}, {5}},
  };
  for (std::size_t c = 0; c < cases.size(); ++c) {
    RowTable table;
    std::vector<std::size_t> expected;
    uint32_t next = 0;
    for (const std::vector<std::size_t>& lengths : cases[c]) {
      std::vector<uint32_t> ids;
      for (std::size_t length : lengths) {
        for (std::size_t j = 0; j < length; ++j) {
          ids.push_back(table.intern(j, std::to_string(next++)));
        }
        expected.push_back(length);
      }
      appendIdRows(table, ids, lengths);
    }
    ASSERT_EQ(table.size(), expected.size()) << c;
    for (std::size_t r = 0, text = 0; r < expected.size(); ++r) {
      ASSERT_EQ(table.rowLength(r), expected[r]) << c << " row " << r;
      for (std::size_t j = 0; j < expected[r]; ++j) EXPECT_EQ(table[r][j], std::to_string(text++));
    }
  }
}

// The rows of a table text, line by line with split(): empty lines skipped,
// TAB until a line of more than 10 bytes without one but with a comma.
RowList referenceRows(const std::string& text) {
  RowList rows;
  std::string delimiter = "\t";
  std::vector<std::string> fields, commaFields;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) line = line.substr(0, line.find('\r'));
    start = end == std::string::npos ? text.size() : end + 1;
    if (line.empty()) continue;
    split(line, delimiter, fields);
    if (fields.size() < 2 && line.size() > 10 && split(line, ",", commaFields) >= 2) {
      fields = commaFields;
      delimiter = ",";
    }
    rows.push_back(fields);
  }
  return rows;
}

TEST(RowTableTest, TextReadInAnyPiecesGivesTheRowsOfTheWholeText) {
  std::mt19937 random(5);
  const char* const pieces[] = {"a", "\t", ",", "\n", "\r", "bbbbbbbbbbbb", "", "\r\n", "合计"};
  for (int round = 0; round < 600; ++round) {
    std::string text;
    const int parts = static_cast<int>(random() % (round < 300 ? 60 : 400));
    for (int k = 0; k < parts; ++k) text += pieces[random() % 9];
    const RowTable whole = parseText(text);
    RowTable rows;
    TextTableReader reader(rows);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t n = 1 + random() % 7;
      reader.feed(std::string_view(text).substr(at, n));
      at += n;
    }
    reader.finish();
    ASSERT_TRUE(rows == whole) << round << ": " << text;
    ASSERT_EQ(RowList(whole.begin(), whole.end()), referenceRows(text))
        << round << ": " << text;
  }
}

// Cells are keyed by their key texts, also where different texts join to
// the same key or long texts cut to the same name.
TEST(RowTableTest, CellKeysAreTexts) {
  const std::string cut(49, 'n');
  CrossTab tab;
  runTransform(tab,
               {{"A", "B", "|", "C", "m"},
                {"a.b", "c", "", "x", "1"},
                {"a", "b.c", "", "x", "2"},
                {cut + "1", "", "", "x", "3"},
                {cut + "2", "", "", "x", "4"}},
               "m");
  EXPECT_EQ(tab.cells().size(), 2u);
  EXPECT_EQ(tab.cells().at("a.b.c.x.m."), "2");
  EXPECT_EQ(tab.cells().at(cut + "..x.m."), "4");
  EXPECT_FALSE(tab.cells().contains("a.b.c.x.m"));
}

}  // namespace
}  // namespace tabulon
