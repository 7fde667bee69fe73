#include "pivot/pod_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tabulon {
namespace {

uint32_t valueAt(std::size_t buffer, std::size_t i) {
  return static_cast<uint32_t>(i * 2654435761u + buffer);
}

// Buffers that grow side by side go from the heap to mapped blocks of 2 MiB
// extents and, as they hem each other in, grow both in place and by moving;
// each must keep every value it was given.
TEST(PodBufferTest, GrowingKeepsEveryValue) {
  struct Step {
    std::size_t values;  // each buffer's size after the step
    bool byReserve;      // one jump instead of value by value
  };
  const Step steps[] = {
      {1000, false},    {300000, false}, {600000, true},   {1100000, false},
      {2000000, false}, {5000000, true}, {7000000, false},
  };
  std::vector<PodBuffer<uint32_t>> buffers(3);
  for (const Step& step : steps) {
    for (std::size_t b = 0; b < buffers.size(); ++b) {
      PodBuffer<uint32_t>& buffer = buffers[b];
      const std::size_t from = buffer.size();
      if (step.byReserve) buffer.reserve(step.values);
      for (std::size_t i = from; i < step.values; ++i) buffer.push_back(valueAt(b, i));
    }
    for (std::size_t b = 0; b < buffers.size(); ++b) {
      ASSERT_EQ(buffers[b].size(), step.values);
      for (std::size_t i = 0; i < step.values; ++i) {
        ASSERT_EQ(buffers[b][i], valueAt(b, i)) << "buffer " << b << " value " << i;
      }
    }
  }
  PodBuffer<uint32_t> copy(buffers[1]);
  buffers[1].release();
  ASSERT_EQ(copy.size(), steps[6].values);
  EXPECT_EQ(copy.back(), valueAt(1, steps[6].values - 1));
}

}  // namespace
}  // namespace tabulon
