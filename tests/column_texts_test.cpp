// A column's text numbering against a plain map: texts that agree in their
// first eight bytes, in their length, that hold zero bytes, of lengths
// about the eight-byte head and the 255-byte length mark, enough distinct
// texts to make the index grow many times, and offsets kept narrow so that
// they carry into the high part, by one or more at a text. Texts stored in
// batches read back as the same texts stored one by one.
#include "pivot/column_texts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace tabulon {
namespace {

std::string randomText(std::mt19937& random, std::size_t length, const std::string& alphabet) {
  std::string text(length, '\0');
  for (char& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

TEST(ColumnTextsTest, NumbersAsAPlainMap) {
  const std::string zeroAndA("\0a", 2);
  struct Case {
    const char* name;
    std::size_t distinct;  // texts in the pool
    std::size_t shortest;
    std::size_t longest;
    std::string alphabet;
    std::string prefix;  // shared by every text of the pool
    unsigned offsetBits = 32;  // narrow: the offsets carry past it often
  };
  const Case cases[] = {
      {"tiny lengths, zero bytes", 40, 0, 3, zeroAndA, ""},
      {"about the head", 3000, 5, 11, "ab\x01", ""},
      {"one shared head", 2000, 0, 6, "xyz", "abcdefgh"},
      {"zero-padded heads", 500, 0, 9, zeroAndA, std::string(3, '\0')},
      {"about the length mark", 300, 250, 260, "ab", ""},
      {"many distinct", 60000, 1, 12, "0123456789.", ""},
      {"offsets carried", 400, 0, 40, "ab", "", 8},
      {"texts longer than two carries", 100, 0, 700, "ab", "", 8},
  };
  for (const Case& c : cases) {
    std::mt19937 random(7);
    std::vector<std::string> pool;
    for (std::size_t i = 0; i < c.distinct; ++i) {
      const std::size_t length = c.shortest + random() % (c.longest - c.shortest + 1);
      pool.push_back(c.prefix + randomText(random, length, c.alphabet));
    }
    ColumnTexts column(c.offsetBits);
    ColumnTexts values(c.offsetBits);  // every text apart
    values.storeEveryText();
    ColumnTexts batched(c.offsetBits);  // every text apart, stored in batches
    batched.storeEveryText();
    std::vector<std::string_view> batch;
    std::vector<std::string> stored;
    std::unordered_map<std::string, uint32_t> model;
    for (std::size_t i = 0; i < 3 * c.distinct; ++i) {
      // Runs of one text, as input repeats.
      const std::string& text = pool[random() % pool.size()];
      const uint32_t expected = model.emplace(text, static_cast<uint32_t>(model.size())).first->second;
      ASSERT_EQ(column.intern(text), expected) << c.name << " at " << i;
      ASSERT_EQ(values.intern(text), stored.size()) << c.name;
      stored.push_back(text);
      batch.push_back(pool[&text - pool.data()]);
      if (random() % 16 == 0 || i + 1 == 3 * c.distinct) {
        ASSERT_EQ(batched.appendTexts(batch.data(), batch.size()), stored.size() - batch.size());
        batch.clear();
      }
      if (random() % 4 == 0) {
        ASSERT_EQ(column.intern(text), expected) << c.name;
      }
    }
    ASSERT_EQ(column.size(), model.size()) << c.name;
    for (std::size_t id = 0; id < stored.size(); ++id) {
      ASSERT_EQ(values.text(static_cast<uint32_t>(id)), stored[id]) << c.name;
      ASSERT_EQ(batched.text(static_cast<uint32_t>(id)), stored[id]) << c.name;
    }
    ASSERT_EQ(batched.longest(), values.longest()) << c.name;
    const ColumnTexts copy = column;
    for (const auto& [text, id] : model) {
      ASSERT_EQ(copy.text(id), text) << c.name;
      ASSERT_EQ(copy.find(text), id) << c.name;
    }
    for (int i = 0; i < 200; ++i) {
      const std::string absent = c.prefix + randomText(random, c.longest + 1, c.alphabet) + "!";
      ASSERT_EQ(copy.find(absent), ColumnTexts::kNoText) << c.name;
    }
  }
}

}  // namespace
}  // namespace tabulon
