#include "pivot/memory_budget.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "render/html_table.h"
#include "request/transform_request.h"
#include "transform_helpers.h"
#include "worked_example.h"

namespace tabulon {
namespace {

TEST(MemoryBudgetTest, ChargesUpToTheLimitAndNamesIt) {
  MemoryBudget budget(1000);
  EXPECT_EQ(MemoryBudget::current(), &budget);
  chargeMemory(600);
  try {
    chargeMemory(401);
    FAIL() << "no MemoryLimitExceeded";
  } catch (const std::bad_alloc& e) {
    EXPECT_STREQ(e.what(),
                 "native memory limit of the request exceeded: MemoryLimit=1000 bytes");
  }
  EXPECT_EQ(budget.used(), 600u);
  chargeMemory(400);
  {
    ChargedBytes held;
    budget.release(500);
    held.hold(300);
    EXPECT_EQ(budget.used(), 800u);
    EXPECT_THROW(held.hold(501), MemoryLimitExceeded);
    EXPECT_EQ(held.bytes(), 300u);
    held.hold(100);
    EXPECT_EQ(budget.used(), 600u);
    {
      // An inner budget takes the charges; the outer one keeps its holder.
      MemoryBudget inner(10);
      EXPECT_THROW(chargeMemory(11), MemoryLimitExceeded);
      held.hold(200);
      EXPECT_EQ(inner.used(), 0u);
    }
    EXPECT_EQ(budget.used(), 700u);
  }
  EXPECT_EQ(budget.used(), 500u);
}

// A charge that fails inside the tree, the cells or the HTML ends the
// request: the engine's handlers of other errors do not swallow it.
TEST(MemoryBudgetTest, ExhaustionInsideTheEngineReachesTheCaller) {
  RowTable rows{{"R", "|", "C", "m"}};
  for (int i = 0; i < 2000; ++i) rows.push_back({"r" + std::to_string(i), "", "c", "1"});
  {
    CrossTab tab;
    MemoryBudget budget(8 << 10);
    EXPECT_THROW(runTransform(tab, rows, "m"), MemoryLimitExceeded);
  }
  CrossTab tab;
  runTransform(tab, rows, "m");
  const std::string whole = renderHtml(tab);
  for (std::size_t limit : {std::size_t{100}, whole.size() / 2}) {
    MemoryBudget budget(limit);
    EXPECT_THROW(renderHtml(tab), MemoryLimitExceeded) << limit;
  }
  MemoryBudget enough(4 * whole.size());
  EXPECT_EQ(renderHtml(tab), whole);
}

TEST(MemoryBudgetTest, LimitedRequestFailsWholeAndTheNextOneIsRight) {
  const std::string expected = transformRequest(workedExampleRows(), "Measures=Sales");
  RowTable big{{"R", "|", "C", "m"}};
  for (int i = 0; i < 20000; ++i) big.push_back({"r" + std::to_string(i), "", "c", "1"});
  {
    MemoryBudget budget(1 << 20);
    EXPECT_THROW(transformRequest(std::move(big), "Measures=m&MemoryLimit=1M"),
                 MemoryLimitExceeded);
  }
  MemoryBudget budget(1 << 20);
  EXPECT_EQ(transformRequest(workedExampleRows(), "Measures=Sales"), expected);
}

TEST(MemoryBudgetTest, DefaultLimitIsWithinPhysicalMemory) {
  const std::uint64_t physical = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                                 static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t limit = defaultMemoryLimit();
  EXPECT_GT(limit, 0u);
  EXPECT_LE(limit, physical);
}

}  // namespace
}  // namespace tabulon
