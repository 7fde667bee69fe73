// MemoryBudget: the memory limit of one request.
//
// The structures of a request that grow with its input and output (the
// rows, the dimension tree, the cell map, the totals' tables, the output
// texts) charge the bytes they take to the budget installed on the calling
// thread. A charge past the limit throws MemoryLimitExceeded, a
// std::bad_alloc whose message names the limit: the request unwinds and
// frees its memory before the process itself runs out of address space.
//
// Charges are bounds, not exact counts: structures whose lifetime is the
// request's (rows, tree nodes, texts) stay charged until the budget ends;
// the cell map and the totals' tables release what they free. Without a
// budget on the thread a charge is a test and nothing else.
//
// A budget is installed by constructing it and removed by destroying it, on
// the same thread, in nested order.
#ifndef TABULON_PIVOT_MEMORY_BUDGET_H_
#define TABULON_PIVOT_MEMORY_BUDGET_H_

#include <cstddef>
#include <cstdint>
#include <new>

namespace tabulon {

// The error of a charge past the limit. Copying it allocates nothing.
class MemoryLimitExceeded : public std::bad_alloc {
 public:
  explicit MemoryLimitExceeded(std::uint64_t limit) noexcept;
  const char* what() const noexcept override { return message_; }
  std::uint64_t limit() const noexcept { return limit_; }

 private:
  std::uint64_t limit_;
  char message_[112];
};

class MemoryBudget {
 public:
  // Installs a budget of `limit` bytes as the calling thread's.
  explicit MemoryBudget(std::uint64_t limit) noexcept;
  // Reinstalls the budget that was current before.
  ~MemoryBudget();
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  std::uint64_t limit() const noexcept { return limit_; }
  std::uint64_t used() const noexcept { return used_; }

  // Adds `bytes`; throws MemoryLimitExceeded (adding nothing) past the limit.
  void charge(std::size_t bytes);
  // Takes back `bytes` (never below zero).
  void release(std::size_t bytes) noexcept;

  // The calling thread's budget, or null.
  static MemoryBudget* current() noexcept;
  // True when `budget` is installed on the calling thread, current or outer.
  static bool isInstalled(const MemoryBudget* budget) noexcept;

 private:
  std::uint64_t limit_;
  std::uint64_t used_ = 0;
  MemoryBudget* previous_;
};

// Charges the calling thread's budget, if any.
inline void chargeMemory(std::size_t bytes) {
  if (MemoryBudget* budget = MemoryBudget::current()) budget->charge(bytes);
}

// Bytes held by one structure: charged as it grows, released when it
// shrinks or is destroyed, always to the budget that was current when the
// structure first charged.
class ChargedBytes {
 public:
  ChargedBytes() = default;
  ~ChargedBytes() { hold(0); }
  ChargedBytes(const ChargedBytes&) = delete;
  ChargedBytes& operator=(const ChargedBytes&) = delete;

  // Charges or releases the difference so that `bytes` are held; throws
  // MemoryLimitExceeded (holding what it held) when growth passes the limit.
  void hold(std::size_t bytes);
  std::size_t bytes() const noexcept { return bytes_; }

 private:
  MemoryBudget* budget_ = nullptr;
  std::size_t bytes_ = 0;
};

// The default limit of a request: half of the address space that the
// process may still map (when its address-space limit is finite), and never
// more than the machine's physical memory. Computed anew on each call.
std::uint64_t defaultMemoryLimit();

}  // namespace tabulon

#endif  // TABULON_PIVOT_MEMORY_BUDGET_H_
