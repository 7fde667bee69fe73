#include "pivot/dim_node.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(DimNodeTest, FreshRoot) {
  DimNode root;
  EXPECT_EQ(root.name(), "ROOT");
  EXPECT_EQ(root.span(), 0);
}

}  // namespace
}  // namespace tabulon
