#include "pivot/byte_copy.h"

#include <string>

#include <gtest/gtest.h>

namespace tabulon {
namespace {

// Every length around the inline cases' edges: the bytes arrive whole and
// nothing past them is touched.
TEST(ByteCopyTest, CopiesExactlyTheBytesOfEveryLength) {
  std::string source;
  for (int i = 0; i < 40; ++i) source.push_back(static_cast<char>('a' + i % 26));
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string out(48, '#');
    char* end = copyBytes(out.data() + 1, source.data(), n);
    EXPECT_EQ(end, out.data() + 1 + n);
    EXPECT_EQ(out.substr(1, n), source.substr(0, n)) << n;
    EXPECT_EQ(out[0], '#') << n;
    EXPECT_EQ(out.substr(1 + n), std::string(47 - n, '#')) << n;
  }
}

}  // namespace
}  // namespace tabulon
