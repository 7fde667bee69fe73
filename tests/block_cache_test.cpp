#include "pivot/block_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "pivot/pod_buffer.h"
#include "pivot/prefault_allocator.h"

namespace tabulon {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(BlockCacheTest, AGivenBlockServesTheNextFittingRequest) {
  block_cache::keepBlocks(true);
  block_cache::drop();
  struct Case {
    std::size_t given;
    std::size_t asked;
    bool reused;
  };
  const Case cases[] = {
      {4 * kMiB, 4 * kMiB, true},   // the same size
      {3 * kMiB, 2 * kMiB, true},   // larger, within half again
      {4 * kMiB, 2 * kMiB, false},  // more than half again the request
      {2 * kMiB, 3 * kMiB, false},  // too small
  };
  for (const Case& c : cases) {
    std::size_t size = c.given;
    bool reused = true;
    void* block = block_cache::take(size, reused);
    EXPECT_FALSE(reused);
    std::memset(block, 0x5A, size);
    block_cache::give(block, size);
    std::size_t asked = c.asked;
    void* again = block_cache::take(asked, reused);
    EXPECT_EQ(reused, c.reused) << c.given << " for " << c.asked;
    if (reused) {
      EXPECT_EQ(again, block);
      EXPECT_EQ(asked, c.given);
      EXPECT_EQ(static_cast<unsigned char*>(again)[c.given - 1], 0x5A);  // old contents
    }
    block_cache::give(again, asked);
    block_cache::drop();
  }
  // Not keeping: a given block is unmapped, the next request maps afresh.
  block_cache::keepBlocks(false);
  std::size_t size = kMiB;
  bool reused = true;
  void* block = block_cache::take(size, reused);
  block_cache::give(block, size);
  void* fresh = block_cache::take(size, reused);
  EXPECT_FALSE(reused);
  block_cache::give(fresh, size);
}

TEST(BlockCacheTest, ReusedBlocksKeepTheirUsersContracts) {
  block_cache::keepBlocks(true);
  block_cache::drop();
  // A prefaulted block is zero-filled even when it was used before.
  for (int round = 0; round < 2; ++round) {
    auto* p = static_cast<unsigned char*>(mapPrefaulted(3 * kMiB + 100));
    for (std::size_t i = 0; i < 3 * kMiB + 100; i += 4093) ASSERT_EQ(p[i], 0) << round;
    std::memset(p, 0xFF, 3 * kMiB + 100);
    unmapPrefaulted(p, 3 * kMiB + 100);
  }
  // Buffers that grow into cached blocks keep every value, as a vector does.
  std::mt19937 random(3);
  for (int round = 0; round < 4; ++round) {
    PodBuffer<uint32_t> buffer;
    std::vector<uint32_t> model;
    const std::size_t count = (random() % 6 + 1) * kMiB / 4 * 3;
    for (std::size_t i = 0; i < count; ++i) {
      const uint32_t v = static_cast<uint32_t>(random());
      buffer.push_back(v);
      model.push_back(v);
    }
    ASSERT_EQ(buffer.size(), model.size());
    ASSERT_EQ(std::memcmp(buffer.data(), model.data(), model.size() * sizeof(uint32_t)), 0) << round;
  }
  block_cache::drop();
  block_cache::keepBlocks(false);
}

}  // namespace
}  // namespace tabulon
