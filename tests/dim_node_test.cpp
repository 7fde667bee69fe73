#include "pivot/dim_node.h"

#include <gtest/gtest.h>

#include <string>

namespace tabulon {
namespace {

std::string childNames(const DimNode& node) {
  std::string out;
  for (const DimNode* child : node.children()) {
    out += std::string(child->name());
    out += ';';
  }
  return out;
}

TEST(DimNodeTest, FreshRootHasNameAndNoSpan) {
  DimNode root;
  EXPECT_EQ(root.name(), "ROOT");
  EXPECT_EQ(root.span(), 0);
  EXPECT_TRUE(root.children().empty());
  EXPECT_EQ(root.parent(), nullptr);
}

TEST(DimNodeTest, SpansFollowTheWorkedExample) {
  DimNode r;
  DimNode* a = r.getOrAddChild("A");
  DimNode* b = r.getOrAddChild("B");
  a->getOrAddChild("a1");
  a->getOrAddChild("a2");
  EXPECT_EQ(a->span(), 2);
  EXPECT_EQ(b->span(), 0);
  EXPECT_EQ(r.span(), 3);
  b->getOrAddChild("b1");
  EXPECT_EQ(b->span(), 1);
  EXPECT_EQ(r.span(), 3);
  a->getOrAddChild("a3");
  EXPECT_EQ(a->span(), 3);
  EXPECT_EQ(r.span(), 4);
}

TEST(DimNodeTest, GetOrAddChildFindsExistingAndKeepsInsertionOrder) {
  DimNode r;
  DimNode* b = r.getOrAddChild("b");
  r.getOrAddChild("a");
  EXPECT_EQ(r.getOrAddChild("b"), b);
  EXPECT_EQ(childNames(r), "b;a;");
  EXPECT_EQ(r.span(), 2);
  EXPECT_EQ(b->parent(), &r);
  EXPECT_EQ(r.findChild("c"), nullptr);
}

TEST(DimNodeTest, NamesAreCutTo49Bytes) {
  struct Case {
    std::string given;
    std::size_t storedBytes;
  };
  const std::string s49(49, 'x');
  const Case cases[] = {
      {"", 0},
      {s49, 49},
      {s49 + "y", 49},
      {std::string(5000, 'z'), 49},
      // 17 three-byte characters are 51 bytes: the 17th is cut in the middle.
      {[] { std::string s; for (int i = 0; i < 17; ++i) s += "汉"; return s; }(), 49},
  };
  for (const Case& c : cases) {
    DimNode r;
    DimNode* child = r.getOrAddChild(c.given);
    EXPECT_EQ(child->name().size(), c.storedBytes) << c.given.size();
    EXPECT_EQ(r.getOrAddChild(c.given), child);
    EXPECT_EQ(r.findChild(c.given), child);
    EXPECT_EQ(r.children().size(), 1u);
  }
  DimNode r;
  DimNode* first = r.getOrAddChild(s49 + "first");
  EXPECT_EQ(r.getOrAddChild(s49 + "second"), first);
  // An empty text with no bytes behind it, as the row store hands it out.
  DimNode* empty = r.getOrAddChild(std::string_view());
  EXPECT_EQ(empty->name(), "");
  EXPECT_EQ(r.getOrAddChild(""), empty);
}

TEST(DimNodeTest, ClearChildrenLowersAncestorSpans) {
  DimNode r;
  DimNode* a = r.getOrAddChild("A");
  DimNode* b = r.getOrAddChild("B");
  DimNode* deep = a;
  for (int i = 0; i < 10; ++i) deep = deep->getOrAddChild("n" + std::to_string(i));
  a->getOrAddChild("x")->getOrAddChild("y");
  EXPECT_EQ(a->span(), 2);
  EXPECT_EQ(r.span(), 3);
  a->clearChildren();
  EXPECT_EQ(a->span(), 0);
  EXPECT_TRUE(a->children().empty());
  EXPECT_EQ(a->findChild("x"), nullptr);
  EXPECT_EQ(r.span(), 2);  // an emptied node still counts as one
  a->getOrAddChild("again");
  EXPECT_EQ(r.span(), 2);
  EXPECT_EQ(b->span(), 0);
}

TEST(DimNodeTest, WideAndDeepTreesBuildAndDieWithoutRecursion) {
  DimNode r;
  DimNode* wide = r.getOrAddChild("wide");
  for (int i = 0; i < 200000; ++i) wide->getOrAddChild(std::to_string(i));
  EXPECT_EQ(wide->span(), 200000);
  DimNode* node = r.getOrAddChild("deep");
  for (int i = 0; i < 500000; ++i) node = node->getOrAddChild("d");
  EXPECT_EQ(r.span(), 200001);
  r.clearChildren();
  EXPECT_EQ(r.span(), 0);
}

}  // namespace
}  // namespace tabulon
