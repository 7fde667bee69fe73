#include "pivot/prefault_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tabulon {
namespace {

// A vector that grows from heap blocks into mapped ones keeps its contents,
// and mapped blocks start zero-filled.
TEST(PrefaultAllocatorTest, GrowsAcrossTheMappingThreshold) {
  const std::size_t count = kPrefaultBytes / sizeof(uint64_t) + 1000;
  std::vector<uint64_t, PrefaultAllocator<uint64_t>> values;
  for (std::size_t i = 0; i < count; ++i) values.push_back(i * 7);
  for (std::size_t i = 0; i < count; i += 4099) ASSERT_EQ(values[i], i * 7);
  EXPECT_EQ(values.back(), (count - 1) * 7);

  std::vector<uint64_t, PrefaultAllocator<uint64_t>> zeros(count);
  for (std::size_t i = 0; i < count; i += 511) ASSERT_EQ(zeros[i], 0u);
}

}  // namespace
}  // namespace tabulon
