// Many threads transforming their own requests at once must each get the
// text that the same request gives alone: the engine shares nothing but
// constant tables between requests.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "request/transform_request.h"

namespace tabulon {
namespace {

struct Shape {
  RowTable rows;
  std::string options;
};

std::vector<Shape> shapes() {
  RowTable sales{{"Region", "City", "|", "Year", "Quarter", "Sales", "Cost"}};
  const char* regions[] = {"华东", "华南", "西北"};
  const char* quarters[] = {"四季度", "一季度", "三季度", "二季度"};
  for (int c = 0; c < 30; ++c) {
    for (int q = 0; q < 4; ++q) {
      sales.push_back({regions[c % 3], "城市" + std::to_string(c), "", std::to_string(2019 + c % 2),
                       quarters[q], std::to_string(c * 4 + q) + ".5", std::to_string(q)});
    }
  }
  return {
      {sales, "Measures=Sales,Cost"},
      {sales, "Measures=Sales,Cost&SumOption=SumIncRowCol&SumPos=SumLast&RowColSort=RowSort"},
      {sales, "Measures=Sales&SumOption=SumIncCol&GridFrame=row:[Region,City],col:[2020[二季度[Sales]]]"},
      {sales, "Measures=Cost&SumOption=SumIncRow&Separate=Quarter"},
      {{{"Name", "Qty"}, {"a", "1"}, {"b", "2"}}, ""},
      {{}, "Measures=x"},
  };
}

TEST(ConcurrencyTest, ThreadsGetTheSameTextsAsOneThread) {
  const std::vector<Shape> all = shapes();
  std::vector<std::string> expected;
  for (const Shape& s : all) expected.push_back(transformRequest(s.rows, s.options));

  constexpr int kThreads = 8;
  constexpr int kRounds = 12;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) {
        const std::size_t i = static_cast<std::size_t>(t + r) % all.size();
        if (transformRequest(all[i].rows, all[i].options) != expected[i]) ++mismatches[t];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace tabulon
