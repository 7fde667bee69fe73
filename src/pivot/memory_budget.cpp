#include "pivot/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <limits>

namespace tabulon {

namespace {

thread_local MemoryBudget* currentBudget = nullptr;

// The pages the process has mapped now, in bytes; 0 when unknown.
std::uint64_t mappedBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long long pages = 0;
  const int read = std::fscanf(statm, "%llu", &pages);
  std::fclose(statm);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (read != 1 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace

MemoryLimitExceeded::MemoryLimitExceeded(std::uint64_t limit) noexcept : limit_(limit) {
  std::snprintf(message_, sizeof message_,
                "native memory limit of the request exceeded: MemoryLimit=%" PRIu64 " bytes",
                limit);
}

MemoryBudget::MemoryBudget(std::uint64_t limit) noexcept
    : limit_(limit), previous_(currentBudget) {
  currentBudget = this;
}

MemoryBudget::~MemoryBudget() { currentBudget = previous_; }

MemoryBudget* MemoryBudget::current() noexcept { return currentBudget; }

bool MemoryBudget::isInstalled(const MemoryBudget* budget) noexcept {
  for (const MemoryBudget* b = currentBudget; b != nullptr; b = b->previous_) {
    if (b == budget) return true;
  }
  return false;
}

void MemoryBudget::charge(std::size_t bytes) {
  if (bytes > limit_ - used_ || used_ > limit_) throw MemoryLimitExceeded(limit_);
  used_ += bytes;
}

void MemoryBudget::release(std::size_t bytes) noexcept {
  used_ = bytes > used_ ? 0 : used_ - bytes;
}

void ChargedBytes::hold(std::size_t bytes) {
  if (bytes == bytes_) return;
  if (bytes_ == 0) budget_ = MemoryBudget::current();
  // A budget that has ended (or one of another thread) takes no releases.
  if (budget_ == nullptr || !MemoryBudget::isInstalled(budget_)) {
    bytes_ = bytes;
    return;
  }
  if (bytes > bytes_) {
    budget_->charge(bytes - bytes_);
  } else {
    budget_->release(bytes_ - bytes);
  }
  bytes_ = bytes;
}

std::uint64_t defaultMemoryLimit() {
  std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    limit = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  }
  struct rlimit space;
  if (getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY) {
    const std::uint64_t total = static_cast<std::uint64_t>(space.rlim_cur);
    const std::uint64_t mapped = mappedBytes();
    const std::uint64_t share = mapped < total ? (total - mapped) / 2 : 0;
    if (share < limit) limit = share;
  }
  return limit;
}

}  // namespace tabulon
